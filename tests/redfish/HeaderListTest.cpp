// HeaderList: fixed capacity, case-insensitive replacement, ownership.
#include "redfish/HeaderList.h"
#include "tests/redfish/RedfishFixture.h"

namespace {

using HeaderListTest = RedfishTest;

// A capacity of 0 is refused; otherwise Count zeroed slots are allocated.
TEST_F(HeaderListTest, InitAllocatesZeroedSlots) {
  HeaderList Empty(0);
  EXPECT_EQ(HeaderListInit(&Empty), EFI_INVALID_PARAMETER);
  HeaderList List(3);
  ASSERT_EQ(HeaderListInit(&List), EFI_SUCCESS);
  for (UINTN Index = 0; Index < 3; Index++) {
    EXPECT_EQ(List.Headers[Index].FieldName, nullptr);
    EXPECT_EQ(List.Headers[Index].FieldValue, nullptr);
  }
}

// A name set again in another case replaces the value in its slot.
TEST_F(HeaderListTest, SameNameInOtherCaseReplacesValue) {
  HeaderList List(2);
  ASSERT_EQ(HeaderListInit(&List), EFI_SUCCESS);
  ASSERT_EQ(HeaderListSet(&List, "Content-Type", "text/plain"), EFI_SUCCESS);
  ASSERT_EQ(HeaderListSet(&List, "content-type", "application/json"), EFI_SUCCESS);
  EXPECT_STREQ(List.Headers[0].FieldName, "Content-Type");
  EXPECT_STREQ(List.Headers[0].FieldValue, "application/json");
  EXPECT_EQ(List.Headers[1].FieldName, nullptr);
}

// A full list refuses a new name; a list without its array refuses all.
TEST_F(HeaderListTest, RefusesBeyondCapacityAndBadArguments) {
  HeaderList List(2);
  ASSERT_EQ(HeaderListInit(&List), EFI_SUCCESS);
  ASSERT_EQ(HeaderListSet(&List, "A", "1"), EFI_SUCCESS);
  ASSERT_EQ(HeaderListSet(&List, "B", "2"), EFI_SUCCESS);
  EXPECT_EQ(HeaderListSet(&List, "C", "3"), EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(HeaderListSet(&List, nullptr, "3"), EFI_INVALID_PARAMETER);
  EXPECT_EQ(HeaderListSet(&List, "A", nullptr), EFI_INVALID_PARAMETER);
  HeaderList NoArray(2);
  EXPECT_EQ(HeaderListSet(&NoArray, "A", "1"), EFI_INVALID_PARAMETER);
  HeaderList NoCapacity(0);
  EXPECT_EQ(HeaderListSet(&NoCapacity, "A", "1"), EFI_OUT_OF_RESOURCES);
}

// A value that cannot be copied leaves the slot empty and nothing leaked,
// whether the name was fresh or already there.
TEST_F(HeaderListTest, FailedValueCopyEmptiesTheSlot) {
  UINT64 Before = HeldBlocks();
  {
    HeaderList List(2);
    ASSERT_EQ(HeaderListInit(&List), EFI_SUCCESS);
    ASSERT_EQ(HeaderListSet(&List, "Accept", "a"), EFI_SUCCESS);
    // Replacing: the value copy is the next allocation.
    Machine.SetFailAllocation(Machine.DriverAllocationCount() + 1);
    EXPECT_EQ(HeaderListSet(&List, "ACCEPT", "b"), EFI_OUT_OF_RESOURCES);
    EXPECT_EQ(List.Headers[0].FieldName, nullptr);
    EXPECT_EQ(List.Headers[0].FieldValue, nullptr);
    // A fresh name: its copy succeeds, the value copy fails.
    Machine.SetFailAllocation(Machine.DriverAllocationCount() + 2);
    EXPECT_EQ(HeaderListSet(&List, "OData-Version", "4.0"), EFI_OUT_OF_RESOURCES);
    EXPECT_EQ(List.Headers[0].FieldName, nullptr);
    // The name copy itself fails.
    Machine.SetFailAllocation(Machine.DriverAllocationCount() + 1);
    EXPECT_EQ(HeaderListSet(&List, "OData-Version", "4.0"), EFI_OUT_OF_RESOURCES);
    Machine.SetFailAllocation(0);
    EXPECT_EQ(HeaderListSet(&List, "OData-Version", "4.0"), EFI_SUCCESS);
  }
  HeaderListFree(nullptr);
  EXPECT_EQ(HeldBlocks(), Before);
}

// Free releases every name, value and the array, and may be repeated.
TEST_F(HeaderListTest, FreeReleasesEverything) {
  UINT64 Before = HeldBlocks();
  HeaderList List(3);
  ASSERT_EQ(HeaderListInit(&List), EFI_SUCCESS);
  ASSERT_EQ(HeaderListSet(&List, "A", "1"), EFI_SUCCESS);
  ASSERT_EQ(HeaderListSet(&List, "B", "2"), EFI_SUCCESS);
  EXPECT_EQ(HeldBlocks(), Before + 5);
  HeaderListFree(&List);
  EXPECT_EQ(List.Headers, nullptr);
  HeaderListFree(&List);
  EXPECT_EQ(HeldBlocks(), Before);
}

}  // namespace
