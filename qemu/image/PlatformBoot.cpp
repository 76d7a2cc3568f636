#include "qemu/image/PlatformBoot.h"

#include "core/BootServices.h"
#include "qemu/RestChannelFormat.h"
#include "qemu/image/CarriedState.h"
#include "qemu/image/TraceChannel.h"
#include "sim/common/SimTextWriter.h"

namespace {

constexpr UINTN NOTE_SIZE = 240;

// ResetSystem of the platform's own table gets no context: the boot running.
PlatformBoot *mRunning = nullptr;

}  // namespace

PlatformBoot::PlatformBoot(EFI_HANDLE ImageHandle, PlatformRunner &Runner, Trace &Log,
                           UINTN BootCount, UINT32 Boot, const CHAR8 *Driver, UINTN DriverLength)
    : mImageHandle(ImageHandle),
      mRunner(Runner),
      mLog(Log),
      mBootCount(BootCount),
      mBoot(Boot),
      mDriver(Driver),
      mDriverLength(DriverLength) {}

EFI_STATUS PlatformBoot::Run() {
  // The steps reach the firmware through this table: the driver gets the
  // firmware's own from StartImage.
  mPlatformRuntime = *gRT;
  mPlatformRuntime.ResetSystem = PlatformResetSystem;
  mPlatformTable = *gST;
  mPlatformTable.RuntimeServices = &mPlatformRuntime;

  EFI_STATUS Status = mResetHook.Install(OnReset, this);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  mRunning = this;
  if (mGauge.Locate(gST)) {
    mBootMark = mGauge.Paint();
    mBootLow = mBootMark;
  }
  if (mProducer != nullptr) {
    mRunner.UseProducer(StartProducer, this);
  }
  (void)mRunner.RunBoot(mRunner.PlanOf(mBoot), &mPlatformTable, StartDriver, this);
  EndBoot(false, EfiResetShutdown);
  // Boot services end here. The machine goes off through ResetSystem, which
  // still calls the reset notifications: with remote actions disabled the
  // driver's guard asks nothing, and the hook is gone.
  mRunner.DisableRemoteActions();
  mResetHook.Uninstall();
  gRT->ResetSystem(EfiResetShutdown, EFI_SUCCESS, 0, nullptr);
  return EFI_ABORTED;
}

EFI_STATUS PlatformBoot::Dispatch(const CHAR8 *Bytes, UINTN Length) {
  // As the DXE dispatcher does with a driver it found in a firmware volume:
  // load the image from its bytes, then start it. A driver whose entry
  // fails is unloaded by StartImage.
  EFI_HANDLE Image = nullptr;
  EFI_STATUS Status =
      gBS->LoadImage(FALSE, mImageHandle, nullptr, const_cast<CHAR8 *>(Bytes), Length, &Image);
  if (!EFI_ERROR(Status)) {
    UINTN ExitDataSize = 0;
    CHAR16 *ExitData = nullptr;
    Status = gBS->StartImage(Image, &ExitDataSize, &ExitData);
    if (ExitData != nullptr) {
      (void)gBS->FreePool(ExitData);
    }
  }
  return Status;
}

EFI_STATUS PlatformBoot::StartDriver(void *Context, EFI_SYSTEM_TABLE * /*SystemTable*/) {
  auto *Self = static_cast<PlatformBoot *>(Context);
  Self->TakeLowWater();
  Self->mDispatchMark = Self->mGauge.Paint();
  EFI_STATUS Status = Self->Dispatch(Self->mDriver, Self->mDriverLength);
  Self->NoteDispatch();
  return Status;
}

EFI_STATUS PlatformBoot::StartProducer(void *Context, EFI_SYSTEM_TABLE * /*SystemTable*/) {
  auto *Self = static_cast<PlatformBoot *>(Context);
  return Self->Dispatch(Self->mProducer, Self->mProducerLength);
}

void PlatformBoot::NoteDispatch() {
  if (mDispatchMark == 0) {
    return;
  }
  UINTN Low = mGauge.LowWater();
  if (Low < mBootLow) {
    mBootLow = Low;
  }
  CHAR8 Note[NOTE_SIZE];
  SimTextWriter Writer(Note, sizeof(Note));
  Writer.Add("stack: dispatching the driver (LoadImage, StartImage, its entry) went ");
  Writer.AddUint(mDispatchMark - Low);
  Writer.Add(" bytes below the platform's frame");
  mLog.Note(Note);
  mDispatchMark = 0;
}

VOID EFIAPI PlatformBoot::PlatformResetSystem(EFI_RESET_TYPE ResetType, EFI_STATUS ResetStatus,
                                              UINTN DataSize, VOID *ResetData) {
  if (mRunning != nullptr) {
    mRunning->mPlatformResetting = true;
  }
  gRT->ResetSystem(ResetType, ResetStatus, DataSize, ResetData);
}

void PlatformBoot::OnReset(void *Context, EFI_RESET_TYPE ResetType) {
  static_cast<PlatformBoot *>(Context)->EndBoot(true, ResetType);
}

void PlatformBoot::TakeLowWater() {
  UINTN Low = mGauge.LowWater();
  if (Low != 0 && Low < mBootLow) {
    mBootLow = Low;
  }
}

void PlatformBoot::NoteStack() {
  if (!mGauge.Located()) {
    mLog.Note("stack: the firmware names no stack in its hand-off blocks; not measured");
    return;
  }
  CHAR8 Note[NOTE_SIZE];
  SimTextWriter Writer(Note, sizeof(Note));
  Writer.Add("stack: ");
  Writer.AddUint(mGauge.Top() - mGauge.Base());
  Writer.Add(" bytes at ");
  Writer.AddHex(mGauge.Base());
  Writer.Add("; at its deepest this boot used ");
  Writer.AddUint(mGauge.Top() - mBootLow);
  Writer.Add(" (");
  Writer.AddUint(mBootMark - mBootLow);
  Writer.Add(" below the platform's frame), ");
  Writer.AddUint(mBootLow - mGauge.Base());
  Writer.Add(" never touched");
  if (mBootLow <= mGauge.Base()) {
    Writer.Add(": every byte was written, the stack may have overflowed");
  }
  mLog.Note(Note);
}

void PlatformBoot::EndBoot(bool Reset, EFI_RESET_TYPE ResetType) {
  bool ByDriver = Reset && !mPlatformResetting;
  if (Reset) {
    EmitResetEvent(mLog, ResetType, ByDriver);
  }
  // A reset from within the driver's entry ends the dispatch here.
  NoteDispatch();
  TakeLowWater();
  NoteStack();

  bool Listed = mBoot < mBootCount;
  if (Listed || ByDriver) {
    if (mBoot < MAX_BOOTS_IN_A_ROW) {
      SimBlock State = SaveCarriedState(mRunner, mBoot + 1,
                                        !Reset     ? nullptr
                                        : ByDriver ? "driver"
                                                   : "platform");
      if (!State) {
        ChannelWriteRecord(CHANNEL_FAILURE, "out of memory saving the state for the next boot");
        return;
      }
      ChannelWriteRecord(CHANNEL_NEXT_BOOT, State.Get());
      return;
    }
    NoteBootLimit(mLog);
  }
  if (mKeepState) {
    // The twin's store, not this image's copy, holds the resources: no
    // "final" event here.
    SimBlock State = SaveCarriedState(mRunner, mBoot + 1, nullptr);
    if (!State) {
      ChannelWriteRecord(CHANNEL_FAILURE, "out of memory saving the state for a later boot");
      return;
    }
    ChannelWriteRecord(CHANNEL_KEPT_STATE, State.Get());
    ChannelWriteRecord(CHANNEL_RUN_OVER, "");
    return;
  }
  mRunner.Finish();
  ChannelWriteRecord(CHANNEL_RUN_OVER, "");
}
