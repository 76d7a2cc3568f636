// One boot of the virtual machine as the platform image runs it: the
// scenario's steps for this boot carried out on the real boot services, the
// driver dispatched from its image file with LoadImage and StartImage, and
// the boot's end (a reset, or the last step) written to the trace channel
// with what the next boot needs.
//
// A boot past the scenario's listed ones repeats the last listed one after a
// reset by the driver; a run stops after MAX_BOOTS_IN_A_ROW boots. The image decides
// at the end of each boot whether another one follows, so that the runner on
// the host only carries the state across.
#pragma once

#include "qemu/image/ResetHook.h"
#include "qemu/image/StackGauge.h"
#include "sim/platform/PlatformRunner.h"

class PlatformBoot {
 public:
  /// Runner, Log and the Length bytes of the driver image at Driver must
  /// outlive the boot; Boot is this boot's 1-based number.
  PlatformBoot(EFI_HANDLE ImageHandle, PlatformRunner &Runner, Trace &Log, UINTN BootCount,
               UINT32 Boot, const CHAR8 *Driver, UINTN DriverLength);
  PlatformBoot(const PlatformBoot &) = delete;
  PlatformBoot &operator=(const PlatformBoot &) = delete;

  /// Carries out the boot's steps. A reset ends the boot inside
  /// ResetSystem, and the machine resets; a boot whose steps all ran ends
  /// with a shutdown. Returns only when the boot cannot start (no
  /// platform-specific reset handler to register the reset hook with), with
  /// the status of the call that failed, or EFI_ABORTED when the shutdown
  /// returned.
  EFI_STATUS Run();

  /// At the end of the run, writes the state for a later boot too
  /// (CHANNEL_KEPT_STATE), and no "final" event: nvdimm-emu serve boots the
  /// machine again after an operator's reset, and in network mode the
  /// service the runner answers from holds the resources.
  void KeepStateAtEnd() { mKeepState = true; }

  /// Network mode: the "redfish" step dispatches the REST producer from the
  /// Length bytes at Producer (which outlive the boot).
  void UseProducer(const CHAR8 *Producer, UINTN Length) {
    mProducer = Producer;
    mProducerLength = Length;
  }

 private:
  static EFI_STATUS StartDriver(void *Context, EFI_SYSTEM_TABLE *SystemTable);
  static EFI_STATUS StartProducer(void *Context, EFI_SYSTEM_TABLE *SystemTable);
  /// LoadImage from the Length bytes at Bytes, then StartImage.
  EFI_STATUS Dispatch(const CHAR8 *Bytes, UINTN Length);
  static VOID EFIAPI PlatformResetSystem(EFI_RESET_TYPE ResetType, EFI_STATUS ResetStatus,
                                         UINTN DataSize, VOID *ResetData);
  static void OnReset(void *Context, EFI_RESET_TYPE ResetType);

  /// Writes the end of the boot: the reset event (when Reset), the stack
  /// figures, then either the carried state for the next boot or the final
  /// event.
  void EndBoot(bool Reset, EFI_RESET_TYPE ResetType);
  /// Folds the gauge's current low-water mark into the boot's.
  void TakeLowWater();
  /// Notes how deep the driver's dispatch went, when one is under way.
  void NoteDispatch();
  /// Notes the boot's stack figures.
  void NoteStack();

  EFI_HANDLE mImageHandle;
  PlatformRunner &mRunner;
  Trace &mLog;
  UINTN mBootCount;
  UINT32 mBoot;
  const CHAR8 *mDriver;
  UINTN mDriverLength;
  const CHAR8 *mProducer = nullptr;
  UINTN mProducerLength = 0;
  ResetHook mResetHook;
  StackGauge mGauge;
  /// The platform's own copy of the system table and runtime services,
  /// whose ResetSystem records that the platform is the one resetting.
  EFI_SYSTEM_TABLE mPlatformTable = {};
  EFI_RUNTIME_SERVICES mPlatformRuntime = {};
  bool mPlatformResetting = false;
  bool mKeepState = false;
  UINTN mBootMark = 0;
  UINTN mBootLow = 0;
  /// The stack pointer the gauge painted below when the driver's dispatch
  /// began; 0 outside a dispatch.
  UINTN mDispatchMark = 0;
};
