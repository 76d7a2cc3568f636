// The hand-off block (HOB) list of the PI standard, as far as finding the
// stack that DXE runs on: the firmware publishes the list as a configuration
// table, and one memory-allocation HOB names the stack.
#pragma once

#include "uefi/UefiTables.h"

constexpr UINT16 EFI_HOB_TYPE_MEMORY_ALLOCATION = 0x0002;
constexpr UINT16 EFI_HOB_TYPE_END_OF_HOB_LIST = 0xFFFF;

struct EFI_HOB_GENERIC_HEADER {
  UINT16 HobType;
  UINT16 HobLength;  ///< of the whole HOB, header included
  UINT32 Reserved;
};
static_assert(sizeof(EFI_HOB_GENERIC_HEADER) == 8, "EFI_HOB_GENERIC_HEADER size");

struct EFI_HOB_MEMORY_ALLOCATION_HEADER {
  EFI_GUID Name;  ///< what the memory is for: EFI_HOB_MEMORY_ALLOC_STACK_GUID for the stack
  EFI_PHYSICAL_ADDRESS MemoryBaseAddress;
  UINT64 MemoryLength;
  EFI_MEMORY_TYPE MemoryType;
  UINT8 Reserved[4];
};
static_assert(sizeof(EFI_HOB_MEMORY_ALLOCATION_HEADER) == 40,
              "EFI_HOB_MEMORY_ALLOCATION_HEADER size");

struct EFI_HOB_MEMORY_ALLOCATION_STACK {
  EFI_HOB_GENERIC_HEADER Header;
  EFI_HOB_MEMORY_ALLOCATION_HEADER AllocDescriptor;
};
static_assert(offsetof(EFI_HOB_MEMORY_ALLOCATION_STACK, AllocDescriptor) == 8, "AllocDescriptor");
static_assert(sizeof(EFI_HOB_MEMORY_ALLOCATION_STACK) == 48,
              "EFI_HOB_MEMORY_ALLOCATION_STACK size");

/// The configuration table whose VendorTable is the first HOB.
#define EFI_HOB_LIST_GUID                                                          \
  {                                                                                \
    0x7739f24c, 0x93d7, 0x11d4, { 0x9a, 0x3a, 0x00, 0x90, 0x27, 0x3f, 0xc1, 0x4d } \
  }

#define EFI_HOB_MEMORY_ALLOC_STACK_GUID                                            \
  {                                                                                \
    0x4ed4bf27, 0x4092, 0x42e9, { 0x80, 0x7d, 0x52, 0x7b, 0x1d, 0x00, 0xc9, 0xbd } \
  }
