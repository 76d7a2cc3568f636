#include "bench/BenchPlatform.h"

#include <valgrind/callgrind.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "boot/HostBoot.h"
#include "core/BootServices.h"
#include "core/Json.h"
#include "emulator/Firmware.h"
#include "emulator/PlatformHooks.h"

namespace {

constexpr size_t ERROR_SIZE = 512;

// Platform time: the clock runs from the outermost call into the platform
// to its return.
unsigned mPlatformDepth = 0;
std::chrono::steady_clock::time_point mPlatformStart;
uint64_t mPlatformNanoseconds = 0;

// Callgrind: collecting a measured region, and whether platform calls in it
// are left out.
bool mCollecting = false;
bool mWithoutPlatform = false;

void BenchEnterPlatform(void *Context) {
  if (mPlatformDepth++ == 0) {
    if (mCollecting && mWithoutPlatform) {
      CALLGRIND_TOGGLE_COLLECT;
    }
    mPlatformStart = std::chrono::steady_clock::now();
  }
  EmulatorEnterPlatform(Context);
}

void BenchLeavePlatform(void *Context) {
  EmulatorLeavePlatform(Context);
  if (--mPlatformDepth == 0) {
    mPlatformNanoseconds +=
        static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                  std::chrono::steady_clock::now() - mPlatformStart)
                                  .count());
    if (mCollecting && mWithoutPlatform) {
      CALLGRIND_TOGGLE_COLLECT;
    }
  }
}

struct ACTION_RUN {
  void (*Action)(BenchPlatform &Platform, void *Argument);
  BenchPlatform *Platform;
  void *Argument;
};

void RunActionBody(void *Context) {
  auto *Run = static_cast<ACTION_RUN *>(Context);
  Run->Action(*Run->Platform, Run->Argument);
}

void StartAsDriver(Firmware &Machine) {
  gST = Machine.SystemTable();
  gBS = Machine.BootServices();
  gRT = Machine.RuntimeServices();
  Machine.SetSide(Side::Driver);
}

}  // namespace

BenchPlatform::BenchPlatform(const std::string &ScenarioText) {
  Firmware &Machine = Firmware::Instance();
  Machine.PowerOn();
  Machine.Pool().SetQuarantineLimit(0);
  gBS = Machine.BootServices();
  // One allocator serves the platform and the driver: the pool charges
  // each block to the side running.
  InstallJsonAllocator();

  mScenario = std::make_unique<Scenario>();
  char Error[ERROR_SIZE] = {};
  if (!mScenario->Read(ScenarioText.data(), ScenarioText.size(), Error, sizeof(Error))) {
    std::fprintf(stderr, "bench: scenario refused: %s\n", Error);
    std::exit(2);
  }
  mLog = std::make_unique<Trace>(TraceSink{nullptr, nullptr}, TraceSink{nullptr, nullptr});
  mLog->KeepEvents(false);
  mHost = EmulatorPlatformHost();
  mHost.EnterPlatform = BenchEnterPlatform;
  mHost.LeavePlatform = BenchLeavePlatform;
  mRunner = std::make_unique<PlatformRunner>(*mScenario, mHost, *mLog);
  if (!mRunner->PowerOn()) {
    std::fprintf(stderr, "bench: out of memory loading the Redfish service\n");
    std::exit(2);
  }
  Reboot();
}

BenchPlatform::~BenchPlatform() {
  Firmware &Machine = Firmware::Instance();
  Machine.SetSide(Side::Platform);
  Machine.EndBoot();
  mRunner.reset();
  mLog.reset();
  mScenario.reset();
  (void)Machine.TakeProblems();
}

bool BenchPlatform::Run(void (*Action)(BenchPlatform &Platform, void *Argument), void *Argument) {
  ACTION_RUN Run = {Action, this, Argument};
  return RunUntilReset(Firmware::Instance(), RunActionBody, &Run).Reset;
}

void BenchPlatform::Reboot() {
  Firmware &Machine = Firmware::Instance();
  mPlatformDepth = 0;
  Machine.SetSide(Side::Platform);
  Machine.BeginBoot();
  (void)mRunner->RunBoot(mRunner->PlanOf(1), Machine.SystemTable(), nullptr, nullptr);
  mContext.Nvdimm = mRunner->Nvdimm().BeginBoot();
  mContext.Service = mRunner->Service().ServiceProtocol();
  mContext.Rest = mRunner->Service().RedfishRest();
  StartAsDriver(Machine);
}

std::string BenchPlatform::ResourceBody(const char *Uri) const {
  const REDFISH_RESOURCE *Resource = mRunner->Service().Find(Uri);
  return Resource != nullptr ? std::string(Resource->Body, Resource->BodyLength) : std::string();
}

uint64_t PlatformNanoseconds() { return mPlatformNanoseconds; }

void ResetPlatformNanoseconds() { mPlatformNanoseconds = 0; }

void CallgrindStart(bool WithoutPlatform) {
  mWithoutPlatform = WithoutPlatform;
  mCollecting = true;
  CALLGRIND_TOGGLE_COLLECT;
}

void CallgrindStop() {
  CALLGRIND_TOGGLE_COLLECT;
  mCollecting = false;
}

void CallgrindDump(const std::string &Name) { CALLGRIND_DUMP_STATS_AT(Name.c_str()); }
