// The pool: misuse detection, poisoning, failure injection, the driver's
// holdings.
#include <string.h>

#include "tests/emulator/EmulatorFixture.h"

namespace {

class PoolTest : public EmulatorTest {
 protected:
  VOID *Allocate(UINTN Size) {
    VOID *Block = nullptr;
    EXPECT_EQ(Bs->AllocatePool(EfiBootServicesData, Size, &Block), EFI_SUCCESS);
    return Block;
  }
};

// Every block is 16-byte aligned, whatever its size.
TEST_F(PoolTest, BlocksAreAligned) {
  for (UINTN Size : {0, 1, 7, 24, 100, 4097}) {
    EXPECT_EQ(reinterpret_cast<uintptr_t>(Allocate(Size)) % 16, 0u) << Size;
  }
}

// A second FreePool of a block, a pointer the pool never gave out and a null
// Buffer for AllocatePool are refused and reported.
TEST_F(PoolTest, MisuseIsReported) {
  VOID *Block = Allocate(40);
  EXPECT_EQ(Bs->FreePool(Block), EFI_SUCCESS);
  {
    SideScope AsDriver(Side::Driver);
    EXPECT_EQ(Bs->FreePool(Block), EFI_INVALID_PARAMETER);
  }
  int Local = 0;
  EXPECT_EQ(Bs->FreePool(&Local), EFI_INVALID_PARAMETER);
  EXPECT_EQ(Bs->AllocatePool(EfiBootServicesData, 8, nullptr), EFI_INVALID_PARAMETER);
  EXPECT_EQ(Bs->FreePool(nullptr), EFI_INVALID_PARAMETER);
  char Unknown[128];
  snprintf(Unknown, sizeof(Unknown), "pool: FreePool of unknown pointer %p by the platform",
           static_cast<void *>(&Local));
  EXPECT_EQ(
      Machine.TakeProblems(),
      (std::vector<std::string>{"pool: FreePool of block #1, already freed, by the driver", Unknown,
                                "pool: AllocatePool with a null Buffer by the platform"}));
  EXPECT_EQ(Bs->AllocatePool(EfiConventionalMemory, 8, &Block), EFI_INVALID_PARAMETER);
}

// Freed memory reads as poison; a write past the end is reported at free.
TEST_F(PoolTest, FreedMemoryIsPoisonedAndOverrunsAreCaught) {
  auto *Bytes = static_cast<UINT8 *>(Allocate(24));
  memset(Bytes, 0x11, 24);
  EXPECT_EQ(Bs->FreePool(Bytes), EFI_SUCCESS);
  for (UINTN Index = 0; Index < 24; Index++) {
    ASSERT_EQ(Bytes[Index], 0xAF) << Index;
  }
  Bytes = static_cast<UINT8 *>(Allocate(5));
  Bytes[5] = 0;
  EXPECT_EQ(Bs->FreePool(Bytes), EFI_SUCCESS);
  EXPECT_EQ(
      Machine.TakeProblems(),
      (std::vector<std::string>{"pool: block #2 (5 bytes, platform) was written past its end"}));
}

// The N-th driver allocation of the run fails, counted across boots;
// platform allocations neither count nor fail.
TEST_F(PoolTest, FailureInjectionCountsDriverAllocationsAcrossBoots) {
  Machine.SetFailAllocation(3);
  VOID *Block = nullptr;
  {
    SideScope AsDriver(Side::Driver);
    Allocate(8);
    Allocate(8);
  }
  Allocate(8);
  Machine.BeginBoot();
  Allocate(8);
  {
    SideScope AsDriver(Side::Driver);
    EXPECT_EQ(Bs->AllocatePool(EfiBootServicesData, 8, &Block), EFI_OUT_OF_RESOURCES);
    EXPECT_EQ(Block, nullptr);
    Allocate(8);
  }
  EXPECT_EQ(Machine.DriverAllocationCount(), 4u);
}

// What the driver holds excludes its first block of the boot, includes what
// the platform handed over, and starts afresh each boot.
TEST_F(PoolTest, DriverHeldExcludesContextRecord) {
  Machine.SetFailAllocation(1);
  VOID *Body = Allocate(100);
  VOID *Failed = nullptr;
  VOID *Context, *Kept, *Freed;
  {
    SideScope AsDriver(Side::Driver);
    EXPECT_EQ(Bs->AllocatePool(EfiBootServicesData, 8, &Failed), EFI_OUT_OF_RESOURCES);
    Context = Allocate(64);
    Kept = Allocate(30);
    Freed = Allocate(50);
    EXPECT_EQ(Bs->FreePool(Freed), EFI_SUCCESS);
  }
  EXPECT_EQ(Machine.DriverHeld().Blocks, 1u);
  EXPECT_EQ(Machine.DriverHeld().Bytes, 30u);
  Machine.HandOver(Body);
  EXPECT_EQ(Machine.DriverHeld().Blocks, 2u);
  EXPECT_EQ(Machine.DriverHeld().Bytes, 130u);

  Machine.EndBoot();
  EXPECT_EQ(Machine.DriverHeld().Bytes, 130u);
  Machine.BeginBoot();
  EXPECT_EQ(Machine.DriverHeld().Blocks, 0u);
  EXPECT_EQ(static_cast<UINT8 *>(Kept)[0], 0xAF);
  {
    SideScope AsDriver(Side::Driver);
    Allocate(16);
    Allocate(16);
  }
  EXPECT_EQ(Machine.DriverHeld().Blocks, 1u);
  // The previous boot's context record is gone with that boot.
  Machine.HandOver(Context);
  char Stale[128];
  snprintf(Stale, sizeof(Stale), "pool: HandOver of unknown pointer %p", Context);
  EXPECT_EQ(Machine.TakeProblems(), std::vector<std::string>{Stale});
}

// The driver's high-water mark counts its own blocks (context included) and
// what the platform handed over, not the platform's blocks; a reset starts
// it from what the driver holds, and a new boot from nothing.
TEST_F(PoolTest, DriverPeakBytesIsTheHighWaterMark) {
  VOID *Body = Allocate(1000);
  VOID *First, *Second;
  {
    SideScope AsDriver(Side::Driver);
    First = Allocate(100);
    Second = Allocate(50);
    EXPECT_EQ(Machine.DriverPeakBytes(), 150u);
    EXPECT_EQ(Bs->FreePool(Second), EFI_SUCCESS);
    Allocate(20);
  }
  EXPECT_EQ(Machine.DriverPeakBytes(), 150u);
  Machine.HandOver(Body);
  EXPECT_EQ(Machine.DriverPeakBytes(), 1120u);
  // A block the driver holds counts off when the platform frees it too.
  EXPECT_EQ(Bs->FreePool(Body), EFI_SUCCESS);
  Machine.ResetDriverPeak();
  EXPECT_EQ(Machine.DriverPeakBytes(), 120u);
  {
    SideScope AsDriver(Side::Driver);
    EXPECT_EQ(Bs->FreePool(First), EFI_SUCCESS);
    Allocate(60);
  }
  EXPECT_EQ(Machine.DriverPeakBytes(), 120u);
  Machine.ResetDriverPeak();
  EXPECT_EQ(Machine.DriverPeakBytes(), 80u);

  Machine.BeginBoot();
  EXPECT_EQ(Machine.DriverPeakBytes(), 0u);
  {
    SideScope AsDriver(Side::Driver);
    Allocate(8);
  }
  EXPECT_EQ(Machine.DriverPeakBytes(), 8u);
  Machine.PowerOn();
  EXPECT_EQ(Machine.DriverPeakBytes(), 0u);
}

// Calls into the platform nest and return to the side that made them.
TEST_F(PoolTest, PlatformCallsNest) {
  Machine.SetSide(Side::Driver);
  Machine.EnterPlatform();
  Machine.EnterPlatform();
  Allocate(8);
  Machine.LeavePlatform();
  EXPECT_EQ(Machine.CurrentSide(), Side::Platform);
  Machine.LeavePlatform();
  EXPECT_EQ(Machine.CurrentSide(), Side::Driver);
  EXPECT_EQ(Machine.DriverAllocationCount(), 0u);
  Machine.LeavePlatform();
  EXPECT_EQ(Machine.TakeProblems(),
            (std::vector<std::string>{"sides: LeavePlatform without a matching EnterPlatform"}));
}

}  // namespace
