#include "fuzz/FuzzMachine.h"

#include "boot/HostBoot.h"
#include "core/BootServices.h"
#include "core/Json.h"
#include "platform/Guids.h"

namespace {

struct DRIVER_RUN {
  Firmware *Machine;
  void (*Body)(void *Context);
  void *Context;
};

void RunDriverBody(void *Context) {
  auto *Run = static_cast<DRIVER_RUN *>(Context);
  Run->Machine->SetSide(Side::Driver);
  Run->Body(Run->Context);
}

}  // namespace

FuzzMachine::FuzzMachine() : mMachine(Firmware::Instance()) {
  mMachine.PowerOn();
  mMachine.BeginBoot();
  // What the driver's entry records before anything else.
  gST = mMachine.SystemTable();
  gBS = mMachine.BootServices();
  gRT = mMachine.RuntimeServices();
  InstallJsonAllocator();
}

FuzzMachine::~FuzzMachine() {
  mMachine.EndBoot();
  mMachine.PowerOn();
}

VOID *FuzzMachine::AllocateContext(UINTN Size) {
  SideScope Driver(Side::Driver);
  VOID *Block = nullptr;
  FUZZ_CHECK(!EFI_ERROR(gBS->AllocatePool(EfiBootServicesData, Size, &Block)),
             "the context record cannot be allocated");
  auto *Bytes = static_cast<UINT8 *>(Block);
  for (UINTN Index = 0; Index < Size; Index++) {
    Bytes[Index] = 0;
  }
  return Block;
}

bool FuzzMachine::RunAsDriver(void (*Body)(void *Context), void *Context) {
  DRIVER_RUN Run = {&mMachine, Body, Context};
  RESET_SEEN Seen = RunUntilReset(mMachine, RunDriverBody, &Run);
  // After a reset the jump skipped every destructor on the way, a side's
  // scope included.
  mMachine.SetSide(Side::Platform);
  return Seen.Reset;
}

void FuzzMachine::CheckClean(bool AfterReset) {
  HeldMemory Held = mMachine.DriverHeld();
  FUZZ_CHECK(AfterReset || Held.Blocks == 0, "the driver leaked %llu blocks (%llu bytes)",
             static_cast<unsigned long long>(Held.Blocks),
             static_cast<unsigned long long>(Held.Bytes));
  for (const std::string &Problem : mMachine.TakeProblems()) {
    FuzzFail("the machine recorded a problem: %s", Problem.c_str());
  }
}

FuzzPlatform::FuzzPlatform(const REDFISH_CONFIG &Redfish, const NvdimmConfig &Nvdimm)
    : mHost(EmulatorPlatformHost()),
      mLog(TraceSink{nullptr, nullptr}, TraceSink{nullptr, nullptr}),
      mService(mHost, mLog),
      mNvdimm(Nvdimm, mHost, mLog) {
  FUZZ_CHECK(mService.Load(Redfish), "the Redfish service cannot be loaded");
  mRecord = mNvdimm.BeginBoot();
  EFI_HANDLE ServiceHandle = nullptr;
  FUZZ_CHECK(gBS->InstallMultipleProtocolInterfaces(
                 &ServiceHandle, &gEfiRestProtocolGuid, mService.RedfishRest(),
                 &gRedfishServiceProtocolGuid, mService.ServiceProtocol(), nullptr) == EFI_SUCCESS,
             "the Redfish service handle cannot be installed");
  EFI_HANDLE NvdimmHandle = nullptr;
  FUZZ_CHECK(gBS->InstallProtocolInterface(&NvdimmHandle, &gNvdimmActionProtocolGuid,
                                           EFI_NATIVE_INTERFACE, mRecord) == EFI_SUCCESS,
             "the NVDIMM action protocol cannot be installed");
}

std::u16string FuzzWiden(const std::string &Uri) {
  std::u16string Wide;
  for (char Byte : Uri) {
    Wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(Byte)));
  }
  return Wide;
}
