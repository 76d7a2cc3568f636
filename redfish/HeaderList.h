// HeaderList: a small fixed-capacity list of request headers. The list owns
// every name, value and the array, all from boot-services pool.
#pragma once

#include "uefi/Http.h"

struct HeaderList {
  UINTN Count = 0;                     ///< capacity, fixed before HeaderListInit
  EFI_HTTP_HEADER *Headers = nullptr;  ///< Count records; a null name marks a free slot

  HeaderList() = default;
  explicit HeaderList(UINTN Capacity) : Count(Capacity) {}
  ~HeaderList();
  HeaderList(const HeaderList &) = delete;
  HeaderList &operator=(const HeaderList &) = delete;
};

/// Allocates Count zeroed records. EFI_INVALID_PARAMETER when Count is 0,
/// EFI_OUT_OF_RESOURCES when the allocation fails.
[[nodiscard]] EFI_STATUS HeaderListInit(HeaderList *List);

/// Stores copies of Name and Value in the first free slot, or in the slot
/// whose name equals Name without regard to case (replacing its value).
/// EFI_INVALID_PARAMETER for a null argument or a list without its array;
/// EFI_OUT_OF_RESOURCES when no slot is left or a copy fails (a slot whose
/// value copy failed is left empty).
[[nodiscard]] EFI_STATUS HeaderListSet(HeaderList *List, const CHAR8 *Name, const CHAR8 *Value);

/// Releases every name and value present, then the array. Safe to call on a
/// list that was never initialised or was freed already.
void HeaderListFree(HeaderList *List);
