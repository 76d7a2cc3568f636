#include "redfish/HeaderList.h"

#include "core/Pool.h"

HeaderList::~HeaderList() { HeaderListFree(this); }

EFI_STATUS HeaderListInit(HeaderList *List) {
  if (List == nullptr || List->Count == 0) {
    return EFI_INVALID_PARAMETER;
  }
  auto Headers = PoolPtr<EFI_HTTP_HEADER>::AllocateZeroed(List->Count);
  if (!Headers) {
    return EFI_OUT_OF_RESOURCES;
  }
  List->Headers = Headers.Release();
  return EFI_SUCCESS;
}

EFI_STATUS HeaderListSet(HeaderList *List, const CHAR8 *Name, const CHAR8 *Value) {
  if (List == nullptr || Name == nullptr || Value == nullptr ||
      (List->Count != 0 && List->Headers == nullptr)) {
    return EFI_INVALID_PARAMETER;
  }
  EFI_HTTP_HEADER *Slot = nullptr;
  for (UINTN Index = 0; Index < List->Count; Index++) {
    EFI_HTTP_HEADER &Candidate = List->Headers[Index];
    if (Candidate.FieldName == nullptr || AsciiStrEqualNoCase(Candidate.FieldName, Name)) {
      Slot = &Candidate;
      break;
    }
  }
  if (Slot == nullptr) {
    return EFI_OUT_OF_RESOURCES;
  }
  if (Slot->FieldName == nullptr) {
    Slot->FieldName = AsciiStrDuplicate(Name).Release();
    if (Slot->FieldName == nullptr) {
      return EFI_OUT_OF_RESOURCES;
    }
  }
  PoolPtr<CHAR8> OldValue(Slot->FieldValue);
  Slot->FieldValue = AsciiStrDuplicate(Value).Release();
  if (Slot->FieldValue == nullptr) {
    FreePool(Slot->FieldName);
    Slot->FieldName = nullptr;
    return EFI_OUT_OF_RESOURCES;
  }
  return EFI_SUCCESS;
}

void HeaderListFree(HeaderList *List) {
  if (List == nullptr || List->Headers == nullptr) {
    return;
  }
  for (UINTN Index = 0; Index < List->Count; Index++) {
    FreePool(List->Headers[Index].FieldName);
    FreePool(List->Headers[Index].FieldValue);
  }
  FreePool(List->Headers);
  List->Headers = nullptr;
}
