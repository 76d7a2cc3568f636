// malloc, free and realloc of the run-time on a fake boot-services pool.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "tests/efi/FakePool.h"
#include "tests/efi/RuntimeUnderTest.h"

namespace {

constexpr size_t HEADER_SIZE = 16;

class RuntimeAllocatorTest : public ::testing::Test {
 protected:
  FakePool Pool;
};

// malloc takes one pool block of the size plus its header, and free gives
// exactly that block back.
TEST_F(RuntimeAllocatorTest, MallocAndFreeUseOnePoolBlock) {
  void *Block = EfiRtMalloc(100);
  ASSERT_NE(Block, nullptr);
  EXPECT_EQ(Pool.Allocations(), 1u);
  EXPECT_EQ(Pool.PoolSize(static_cast<char *>(Block) - HEADER_SIZE), 100 + HEADER_SIZE);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(Block) % 8, 0u);
  std::memset(Block, 0x11, 100);
  EfiRtFree(Block);
  EXPECT_EQ(Pool.Frees(), 1u);
  EXPECT_EQ(Pool.LiveBlocks(), 0u);
}

// malloc(0) gives distinct blocks that free accepts.
TEST_F(RuntimeAllocatorTest, MallocZeroGivesUniqueBlocks) {
  void *First = EfiRtMalloc(0);
  void *Second = EfiRtMalloc(0);
  ASSERT_NE(First, nullptr);
  ASSERT_NE(Second, nullptr);
  EXPECT_NE(First, Second);
  EfiRtFree(First);
  EfiRtFree(Second);
  EXPECT_EQ(Pool.LiveBlocks(), 0u);
}

// A size whose header would overflow fails without asking the pool.
TEST_F(RuntimeAllocatorTest, MallocRejectsSizeThatOverflowsHeader) {
  EXPECT_EQ(EfiRtMalloc(SIZE_MAX), nullptr);
  EXPECT_EQ(EfiRtMalloc(SIZE_MAX - HEADER_SIZE + 1), nullptr);
  EXPECT_EQ(Pool.Allocations(), 0u);
}

// A failing pool makes malloc return NULL.
TEST_F(RuntimeAllocatorTest, MallocReturnsNullWhenPoolFails) {
  Pool.FailAllocation(1);
  EXPECT_EQ(EfiRtMalloc(10), nullptr);
  EXPECT_EQ(Pool.LiveBlocks(), 0u);
}

// free(NULL) does not reach the pool.
TEST_F(RuntimeAllocatorTest, FreeNullIsIgnored) {
  EfiRtFree(nullptr);
  EXPECT_EQ(Pool.Frees(), 0u);
}

// realloc(NULL, Size) allocates like malloc.
TEST_F(RuntimeAllocatorTest, ReallocOfNullAllocates) {
  void *Block = EfiRtRealloc(nullptr, 24);
  ASSERT_NE(Block, nullptr);
  EXPECT_EQ(Pool.PoolSize(static_cast<char *>(Block) - HEADER_SIZE), 24 + HEADER_SIZE);
  EfiRtFree(Block);
}

// Growing keeps all old content and releases the old block.
TEST_F(RuntimeAllocatorTest, ReallocGrowKeepsContent) {
  auto *Block = static_cast<unsigned char *>(EfiRtMalloc(40));
  ASSERT_NE(Block, nullptr);
  for (int Index = 0; Index < 40; Index++) {
    Block[Index] = static_cast<unsigned char>(Index + 1);
  }
  auto *Grown = static_cast<unsigned char *>(EfiRtRealloc(Block, 1000));
  ASSERT_NE(Grown, nullptr);
  for (int Index = 0; Index < 40; Index++) {
    ASSERT_EQ(Grown[Index], Index + 1);
  }
  EXPECT_EQ(Pool.LiveBlocks(), 1u);
  EfiRtFree(Grown);
  EXPECT_EQ(Pool.LiveBlocks(), 0u);
}

// Shrinking keeps the part that still fits and reads nothing beyond it.
TEST_F(RuntimeAllocatorTest, ReallocShrinkKeepsPrefix) {
  auto *Block = static_cast<unsigned char *>(EfiRtMalloc(64));
  ASSERT_NE(Block, nullptr);
  std::memset(Block, 0x3C, 64);
  auto *Shrunk = static_cast<unsigned char *>(EfiRtRealloc(Block, 5));
  ASSERT_NE(Shrunk, nullptr);
  EXPECT_EQ(Pool.PoolSize(Shrunk - HEADER_SIZE), 5 + HEADER_SIZE);
  for (int Index = 0; Index < 5; Index++) {
    EXPECT_EQ(Shrunk[Index], 0x3C);
  }
  EfiRtFree(Shrunk);
  EXPECT_EQ(Pool.LiveBlocks(), 0u);
}

// realloc(Block, 0) releases the block and returns NULL.
TEST_F(RuntimeAllocatorTest, ReallocToZeroFrees) {
  void *Block = EfiRtMalloc(8);
  ASSERT_NE(Block, nullptr);
  EXPECT_EQ(EfiRtRealloc(Block, 0), nullptr);
  EXPECT_EQ(Pool.LiveBlocks(), 0u);
}

// When the pool fails, realloc returns NULL and the old block stays whole
// and owned by the caller.
TEST_F(RuntimeAllocatorTest, ReallocFailureKeepsOldBlock) {
  auto *Block = static_cast<unsigned char *>(EfiRtMalloc(16));
  ASSERT_NE(Block, nullptr);
  std::memset(Block, 0x77, 16);
  Pool.FailAllocation(1);
  EXPECT_EQ(EfiRtRealloc(Block, 4096), nullptr);
  EXPECT_EQ(Pool.LiveBlocks(), 1u);
  EXPECT_EQ(Pool.Frees(), 0u);
  for (int Index = 0; Index < 16; Index++) {
    EXPECT_EQ(Block[Index], 0x77);
  }
  EfiRtFree(Block);
  EXPECT_EQ(Pool.LiveBlocks(), 0u);
}

}  // namespace
