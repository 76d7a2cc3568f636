#include "emulator/Firmware.h"

#include <stdio.h>
#include <stdlib.h>

#include "emulator/Services.h"
#include "platform/Guids.h"

Firmware &Firmware::Instance() {
  static Firmware gMachine;
  return gMachine;
}

Firmware::Firmware() { FillTables(mSystemTable, mBootServices, mRuntimeServices); }

void Firmware::PowerOn() {
  ClearBootState();
  mPool.PowerOn();
  mProblems.Clear();
  mResetHandler = nullptr;
  mResetContext = nullptr;
  mSignalResetGroup = true;
  mCallResetNotifications = false;
  mBoot = 0;
  mInBoot = false;
  FillTables(mSystemTable, mBootServices, mRuntimeServices);
}

void Firmware::BeginBoot() {
  if (mInBoot) {
    EndBoot();
  }
  mBoot++;
  mPool.BeginBoot(mBoot);
  ClearBootState();
  FillTables(mSystemTable, mBootServices, mRuntimeServices);
  mInBoot = true;
  if (mCallResetNotifications) {
    // Installed early in DXE on EDK2, before any step of the boot.
    EFI_HANDLE Handle = nullptr;
    if (EFI_ERROR(mHandles.Install(&Handle, &gEfiResetNotificationProtocolGuid,
                                   EFI_NATIVE_INTERFACE, mResetNotifications.Protocol()))) {
      mProblems.Record("the reset notification protocol could not be installed");
    }
  }
}

void Firmware::SetResetBehaviour(bool SignalGroup, bool CallNotifications) {
  mSignalResetGroup = SignalGroup;
  mCallResetNotifications = CallNotifications;
}

void Firmware::EndBoot() {
  ClearBootState();
  mInBoot = false;
}

void Firmware::SetResetHandler(RESET_HANDLER Handler, void *Context) {
  mResetHandler = Handler;
  mResetContext = Context;
}

void Firmware::ResetSystem(EFI_RESET_TYPE Type) {
  const Side By = mSides.Current();
  if (mSignalResetGroup) {
    // The group's members run at their own TPL: above the caller's at once,
    // the rest never, since the reset does not come back.
    mEvents.QueueGroup(gEfiEventGroupResetSystemGuid);
    mEvents.DispatchPending();
  }
  if (mCallResetNotifications) {
    mResetNotifications.Notify(Type, EFI_SUCCESS);
  }
  if (mResetHandler == nullptr) {
    fprintf(stderr, "nvdimm-emu: ResetSystem called with no reset handler installed\n");
    abort();
  }
  mResetHandler(mResetContext, Type, By);
  fprintf(stderr, "nvdimm-emu: the reset handler returned; a reset never returns\n");
  abort();
}

void Firmware::ClearBootState() {
  mResetNotifications.Reset();
  mEvents.Reset();
  mHandles.Reset();
  mSides.Reset();
}
