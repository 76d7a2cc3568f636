// The emulated boot-services pool. Every block is a separate host allocation
// recorded with its size, serial and owning side, so that misuse is caught
// where real firmware would corrupt itself silently: double frees and frees
// of unknown pointers are reported, freed blocks are poisoned and held back
// from the host for a while so that a use after free reads poison, and a
// guard after every block catches writes past its end.
#pragma once

#include <deque>
#include <unordered_map>

#include "emulator/Problems.h"
#include "emulator/Side.h"
#include "uefi/UefiTables.h"

/// What one side holds: how many blocks and how many bytes in all.
struct HeldMemory {
  UINT64 Blocks = 0;
  UINT64 Bytes = 0;
};

class EmulatedPool {
 public:
  static constexpr UINTN BLOCK_ALIGNMENT = 16;
  static constexpr UINTN GUARD_SIZE = 16;
  static constexpr UINT8 FRESH_FILL = 0xA5;
  static constexpr UINT8 POISON_FILL = 0xAF;
  static constexpr UINT8 GUARD_FILL = 0xFD;
  /// The largest block the emulated machine grants.
  static constexpr UINTN MAX_BLOCK_SIZE = 1ULL << 30;
  static constexpr UINTN DEFAULT_QUARANTINE_LIMIT = 64ULL << 20;

  explicit EmulatedPool(ProblemLog &Problems) : mProblems(Problems) {}
  ~EmulatedPool();
  EmulatedPool(const EmulatedPool &) = delete;
  EmulatedPool &operator=(const EmulatedPool &) = delete;

  /// Releases every block and forgets every counter and setting.
  void PowerOn();

  /// Starts boot number Boot. The driver's blocks of the previous boot are
  /// dropped from the accounting and poisoned (they were reported then); the
  /// platform's blocks stay, as the platform's state lives across boots.
  void BeginBoot(UINT32 Boot);

  /// AllocatePool made by side By. EFI_INVALID_PARAMETER for a pool type no
  /// pool can have or a null Buffer (the latter also recorded as a problem);
  /// EFI_OUT_OF_RESOURCES for the injected failure or a block too large.
  /// The block is aligned to BLOCK_ALIGNMENT and filled with FRESH_FILL.
  [[nodiscard]] EFI_STATUS Allocate(EFI_MEMORY_TYPE PoolType, UINTN Size, VOID **Buffer, Side By);

  /// FreePool made by side By. EFI_INVALID_PARAMETER for a null Buffer, and
  /// for a block already freed or never allocated (both recorded).
  [[nodiscard]] EFI_STATUS Free(VOID *Buffer, Side By);

  /// The platform block Block is now held by the driver.
  void HandOver(VOID *Block);

  /// Makes the N-th allocation made by the driver (1-based, counted over the
  /// whole run) fail; 0 injects nothing.
  void SetFailAllocation(UINT64 N) { mFailAt = N; }

  /// How many allocations the driver has made in the run, the failed included.
  [[nodiscard]] UINT64 DriverAllocations() const { return mDriverAllocations; }

  /// The blocks the driver holds in this boot, its context record (the first
  /// block it allocated in this boot) aside.
  [[nodiscard]] HeldMemory DriverHeld() const;

  /// Every block side Which holds.
  [[nodiscard]] HeldMemory Held(Side Which) const;

  /// The most bytes the driver held at once (every block it allocated or was
  /// handed, its context record included) since the last ResetDriverPeak(),
  /// PowerOn() or BeginBoot().
  [[nodiscard]] UINT64 DriverPeakBytes() const { return mDriverPeakBytes; }

  /// Starts a new high-water mark from what the driver holds now.
  void ResetDriverPeak() { mDriverPeakBytes = mDriverBytes; }

  /// Bytes of freed blocks held back from the host before they go back.
  void SetQuarantineLimit(UINTN Bytes);

 private:
  struct Block {
    UINTN Size;
    UINT64 Serial;
    Side Owner;
    UINT32 Boot;
  };
  struct Freed {
    VOID *Address;
    UINTN Size;
    UINT64 Serial;
  };

  void ChargeDriver(UINTN Size);
  void CheckGuard(VOID *Address, const Block &Record);
  void Quarantine(VOID *Address, const Block &Record);
  void TrimQuarantine();

  ProblemLog &mProblems;
  std::unordered_map<VOID *, Block> mLive;
  std::deque<Freed> mQuarantine;
  std::unordered_map<VOID *, UINT64> mQuarantined;  // address -> serial
  UINTN mQuarantineBytes = 0;
  UINTN mQuarantineLimit = DEFAULT_QUARANTINE_LIMIT;
  UINT64 mNextSerial = 1;
  UINT64 mDriverAllocations = 0;
  UINT64 mFailAt = 0;
  UINT32 mBoot = 0;
  UINT64 mContextSerial = 0;  // the driver's first block of this boot
  UINT64 mDriverBytes = 0;    // bytes in the driver's live blocks
  UINT64 mDriverPeakBytes = 0;
};
