// The platform image: a UEFI application that OVMF boots from the runner's
// disk as \EFI\BOOT\BOOTX64.EFI. It reads the scenario, the options and (after
// a reset) the carried state from that disk, builds the simulated platform
// of nvdimm-emu, and runs one boot of the scenario on the firmware's real
// boot services; the driver is dispatched from NvdimmRemoteActionDxe.efi on
// the same disk. Everything it reports goes out on the trace channel.
#include "core/BootServices.h"
#include "qemu/image/BootVolume.h"
#include "qemu/image/CarriedState.h"
#include "qemu/image/PlatformBoot.h"
#include "qemu/image/PoolObject.h"
#include "qemu/image/RestChannel.h"
#include "qemu/image/TraceChannel.h"
#include "sim/common/SimTextWriter.h"
#include "sim/common/StatusNames.h"

// The tables this image runs on; the C run-time's allocator reaches the pool
// through gBS.
EFI_SYSTEM_TABLE *gST = nullptr;
EFI_BOOT_SERVICES *gBS = nullptr;
EFI_RUNTIME_SERVICES *gRT = nullptr;

namespace {

constexpr UINTN FAILURE_SIZE = 512;

struct FILE_BYTES {
  SimBlock Bytes;
  UINTN Length = 0;
};

/// "<What>: <status name>" into Failure; returns false.
bool Failed(CHAR8 (&Failure)[FAILURE_SIZE], const CHAR8 *What, EFI_STATUS Status) {
  SimTextWriter Writer(Failure, sizeof(Failure));
  Writer.Add(What);
  Writer.Add(": ");
  Writer.Add(StatusName(Status));
  return false;
}

/// Reads a file the runner must have put on the disk.
bool ReadRequired(BootVolume &Volume, const CHAR16 *Name, const CHAR8 *What, FILE_BYTES *File,
                  CHAR8 (&Failure)[FAILURE_SIZE]) {
  EFI_STATUS Status = Volume.ReadFile(Name, &File->Bytes, &File->Length);
  return !EFI_ERROR(Status) || Failed(Failure, What, Status);
}

/// Reads a file that may be absent (then File stays empty).
bool ReadOptional(BootVolume &Volume, const CHAR16 *Name, const CHAR8 *What, FILE_BYTES *File,
                  CHAR8 (&Failure)[FAILURE_SIZE]) {
  EFI_STATUS Status = Volume.ReadFile(Name, &File->Bytes, &File->Length);
  return !EFI_ERROR(Status) || Status == EFI_NOT_FOUND || Failed(Failure, What, Status);
}

/// The options' "account" switch; on without options.
bool AccountWanted(const FILE_BYTES &Options) {
  if (!Options.Bytes) {
    return true;
  }
  SimJson Document(cJSON_Parse(Options.Bytes.Get()));
  return !cJSON_IsFalse(cJSON_GetObjectItemCaseSensitive(Document.Get(), "account"));
}

/// The options' "rest" switch (nvdimm-emu serve): off without options.
bool RestWanted(const FILE_BYTES &Options) {
  if (!Options.Bytes) {
    return false;
  }
  SimJson Document(cJSON_Parse(Options.Bytes.Get()));
  return cJSON_IsTrue(cJSON_GetObjectItemCaseSensitive(Document.Get(), CHANNEL_REST_OPTION));
}

/// The options' "network" switch: off without options.
bool NetworkWanted(const FILE_BYTES &Options) {
  if (!Options.Bytes) {
    return false;
  }
  SimJson Document(cJSON_Parse(Options.Bytes.Get()));
  return cJSON_IsTrue(cJSON_GetObjectItemCaseSensitive(Document.Get(), CHANNEL_NETWORK_OPTION));
}

/// Runs this boot. Returns only when it cannot, with the reason in Failure.
void RunPlatform(EFI_HANDLE ImageHandle, CHAR8 (&Failure)[FAILURE_SIZE]) {
  BootVolume Volume;
  EFI_STATUS Status = Volume.Open(ImageHandle);
  if (EFI_ERROR(Status)) {
    Failed(Failure, "the boot volume cannot be opened", Status);
    return;
  }
  FILE_BYTES ScenarioFile;
  FILE_BYTES Options;
  FILE_BYTES State;
  FILE_BYTES Driver;
  FILE_BYTES Producer;
  if (!ReadRequired(Volume, u"" CHANNEL_SCENARIO_FILE, CHANNEL_SCENARIO_FILE, &ScenarioFile,
                    Failure) ||
      !ReadOptional(Volume, u"" CHANNEL_OPTIONS_FILE, CHANNEL_OPTIONS_FILE, &Options, Failure) ||
      !ReadOptional(Volume, u"" CHANNEL_STATE_FILE, CHANNEL_STATE_FILE, &State, Failure) ||
      !ReadRequired(Volume, u"" CHANNEL_DRIVER_FILE, CHANNEL_DRIVER_FILE, &Driver, Failure)) {
    return;
  }
  const bool Network = NetworkWanted(Options);
  if (Network &&
      !ReadRequired(Volume, u"" CHANNEL_PRODUCER_FILE, CHANNEL_PRODUCER_FILE, &Producer, Failure)) {
    return;
  }

  PoolObject<Scenario> TheScenario = MakePoolObject<Scenario>();
  CHAR8 Error[FAILURE_SIZE] = {};
  if (!TheScenario ||
      !TheScenario->Read(ScenarioFile.Bytes.Get(), ScenarioFile.Length, Error, sizeof(Error))) {
    SimTextWriter Writer(Failure, sizeof(Failure));
    Writer.Add(CHANNEL_SCENARIO_FILE ": ");
    Writer.Add(TheScenario ? Error : "out of memory");
    return;
  }

  ChannelLineSink Lines(CHANNEL_EVENT);
  ChannelLineSink Account(CHANNEL_ACCOUNT);
  TraceSink AccountSink = AccountWanted(Options) ? Account.Sink() : TraceSink{nullptr, nullptr};
  // No hooks: in firmware each image has its own JSON library and pool
  // accounting, so nothing needs to tell the platform's allocations apart.
  PlatformHost Host = {gBS, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  PoolObject<Trace> Log = MakePoolObject<Trace>(Lines.Sink(), AccountSink);
  PoolObject<PlatformRunner> Runner =
      Log ? MakePoolObject<PlatformRunner>(*TheScenario, Host, *Log) : PoolObject<PlatformRunner>();
  if (!Runner || !Runner->PowerOn()) {
    Failed(Failure, "the platform cannot be built", EFI_OUT_OF_RESOURCES);
    return;
  }
  UINT32 Boot = 1;
  if (State.Bytes &&
      !LoadCarriedState(State.Bytes.Get(), State.Length, *Runner, &Boot, Error, sizeof(Error))) {
    SimTextWriter Writer(Failure, sizeof(Failure));
    Writer.Add(CHANNEL_STATE_FILE ": ");
    Writer.Add(Error);
    return;
  }
  Log->SetBoot(Boot);

  PoolObject<PlatformBoot> ThisBoot =
      MakePoolObject<PlatformBoot>(ImageHandle, *Runner, *Log, TheScenario->Parts().BootCount(),
                                   Boot, Driver.Bytes.Get(), Driver.Length);
  if (!ThisBoot) {
    Failed(Failure, "the boot cannot be built", EFI_OUT_OF_RESOURCES);
    return;
  }
  // In network mode the REST producer carries the driver's requests over
  // OVMF's own network stack; with the REST channel the simulated service's
  // go to the twin's store.
  RestChannel Rest;
  if (Network) {
    ThisBoot->UseProducer(Producer.Bytes.Get(), Producer.Length);
    ThisBoot->KeepStateAtEnd();
  } else if (RestWanted(Options)) {
    Rest.Open();
    Runner->Service().SetRemote(Rest.Remote());
    ThisBoot->KeepStateAtEnd();
  }
  Status = ThisBoot->Run();
  Failed(Failure,
         Status == EFI_ABORTED
             ? "the machine did not shut down at the end of the boot"
             : "the reset hook cannot be registered (no platform-specific reset handler protocol)",
         Status);
}

}  // namespace

extern "C" EFI_STATUS EFIAPI PlatformMain(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  gST = SystemTable;
  gBS = SystemTable->BootServices;
  gRT = SystemTable->RuntimeServices;
  // The boot manager arms a five-minute watchdog before it starts a boot
  // option; a long scenario must not be cut short by it.
  (void)gBS->SetWatchdogTimer(0, 0, 0, nullptr);

  CHAR8 Failure[FAILURE_SIZE] = {};
  RunPlatform(ImageHandle, Failure);
  ChannelWriteRecord(CHANNEL_FAILURE, Failure);
  gRT->ResetSystem(EfiResetShutdown, EFI_ABORTED, 0, nullptr);
  return EFI_ABORTED;
}
