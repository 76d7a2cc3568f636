// How deep the stack goes. DXE, BDS, the platform image and every driver it
// starts share one stack that the firmware names in its hand-off blocks
// (128 KiB in OVMF, with no guard page below it). The gauge fills the free
// part below the caller's frame with a pattern and later finds the lowest
// byte that no longer holds it: the high-water mark of everything that ran
// in between, interrupt handlers included.
#pragma once

#include "uefi/UefiTables.h"

class StackGauge {
 public:
  StackGauge() = default;
  StackGauge(const StackGauge &) = delete;
  StackGauge &operator=(const StackGauge &) = delete;

  /// Finds the stack's memory-allocation HOB in SystemTable's HOB list.
  /// False when the firmware publishes no HOB list or names no stack, or
  /// when the caller does not run on that stack; the gauge then measures
  /// nothing.
  [[nodiscard]] bool Locate(const EFI_SYSTEM_TABLE *SystemTable);

  bool Located() const { return mTop != 0; }
  UINTN Base() const { return mBase; }
  UINTN Top() const { return mTop; }

  /// Paints the stack from its base up to just below the caller's frame and
  /// returns the stack pointer it painted below (the mark that depths are
  /// measured from); 0 when the stack was not located.
  UINTN Paint();

  /// The lowest address written since the last Paint: the base itself
  /// when everything was written, which means the stack may have overflowed.
  /// 0 when the stack was not located.
  UINTN LowWater() const;

 private:
  UINTN mBase = 0;
  UINTN mTop = 0;
};
