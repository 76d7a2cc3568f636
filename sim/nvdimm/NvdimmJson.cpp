#include "sim/nvdimm/NvdimmJson.h"

#include "sim/common/ExactJson.h"

namespace {

void AddPath(NvdimmMessage &Error, const NvdimmJsonPath *Path) {
  if (Path == nullptr) {
    return;
  }
  AddPath(Error, Path->Parent);
  if (Path->Name == nullptr) {
    Error.Add("[").AddDecimal(Path->Index).Add("]");
    return;
  }
  if (Path->Parent != nullptr) {
    Error.Add(".");
  }
  Error.Add(Path->Name);
}

/// The member Name of Object, or null when it is absent or JSON null.
const cJSON *Member(const cJSON *Object, const CHAR8 *Name) {
  const cJSON *Item = cJSON_GetObjectItem(Object, Name);
  return cJSON_IsNull(Item) ? nullptr : Item;
}

bool Missing(const NvdimmJsonPath &Path, NvdimmMessage &Error) {
  NvdimmJsonError(Error, Path).Add("missing");
  return false;
}

}  // namespace

NvdimmMessage &NvdimmJsonError(NvdimmMessage &Error, const NvdimmJsonPath &Path) {
  Error.Clear();
  AddPath(Error, &Path);
  return Error.Add(": ");
}

bool NvdimmJsonCheckObject(const cJSON *Value, const CHAR8 *const *Names, UINTN NameCount,
                           const NvdimmJsonPath &Path, NvdimmMessage &Error) {
  if (!cJSON_IsObject(Value)) {
    NvdimmJsonError(Error, Path).Add("not an object");
    return false;
  }
  for (const cJSON *Child = Value->child; Child != nullptr; Child = Child->next) {
    bool Known = false;
    for (UINTN Index = 0; Index < NameCount && !Known; Index++) {
      Known = NvdimmStrEqualNoCase(Child->string, Names[Index]);
    }
    if (!Known) {
      NvdimmJsonPath ChildPath = {&Path, Child->string != nullptr ? Child->string : "", 0};
      NvdimmJsonError(Error, ChildPath).Add("unknown member");
      return false;
    }
  }
  return true;
}

bool NvdimmJsonReadBool(const cJSON *Object, const CHAR8 *Name, bool *Value,
                        const NvdimmJsonPath &Path, NvdimmMessage &Error) {
  NvdimmJsonPath ItemPath = {&Path, Name, 0};
  const cJSON *Item = Member(Object, Name);
  if (Item == nullptr) {
    return true;
  }
  if (!cJSON_IsBool(Item)) {
    NvdimmJsonError(Error, ItemPath).Add("not true or false");
    return false;
  }
  *Value = cJSON_IsTrue(Item);
  return true;
}

bool NvdimmJsonUintValue(const cJSON *Item, UINT64 Min, UINT64 Max, UINT64 *Value,
                         const NvdimmJsonPath &Path, NvdimmMessage &Error) {
  UINT64 Number = 0;
  if (!ExactJsonNumberToUint(Item, &Number) || Number < Min || Number > Max) {
    NvdimmJsonError(Error, Path).Add("not a whole number from ").AddDecimal(Min);
    Error.Add(" to ").AddDecimal(Max);
    return false;
  }
  *Value = Number;
  return true;
}

bool NvdimmJsonReadUint(const cJSON *Object, const CHAR8 *Name, UINT64 Min, UINT64 Max,
                        bool Required, UINT64 *Value, const NvdimmJsonPath &Path,
                        NvdimmMessage &Error) {
  NvdimmJsonPath ItemPath = {&Path, Name, 0};
  const cJSON *Item = Member(Object, Name);
  if (Item == nullptr) {
    return Required ? Missing(ItemPath, Error) : true;
  }
  return NvdimmJsonUintValue(Item, Min, Max, Value, ItemPath, Error);
}

bool NvdimmJsonReadString(const cJSON *Object, const CHAR8 *Name, UINTN MaxLength, bool Required,
                          const CHAR8 **Value, const NvdimmJsonPath &Path, NvdimmMessage &Error) {
  NvdimmJsonPath ItemPath = {&Path, Name, 0};
  const cJSON *Item = Member(Object, Name);
  if (Item == nullptr) {
    return Required ? Missing(ItemPath, Error) : true;
  }
  if (!cJSON_IsString(Item) || Item->valuestring == nullptr) {
    NvdimmJsonError(Error, ItemPath).Add("not a string");
    return false;
  }
  if (NvdimmStrLen(Item->valuestring, MaxLength + 1) > MaxLength) {
    NvdimmJsonError(Error, ItemPath).Add("longer than ").AddDecimal(MaxLength).Add(" bytes");
    return false;
  }
  *Value = Item->valuestring;
  return true;
}

bool NvdimmJsonReadArray(const cJSON *Object, const CHAR8 *Name, UINTN MaxCount,
                         const cJSON **Array, const NvdimmJsonPath &Path, NvdimmMessage &Error) {
  NvdimmJsonPath ItemPath = {&Path, Name, 0};
  const cJSON *Item = Member(Object, Name);
  *Array = nullptr;
  if (Item == nullptr) {
    return true;
  }
  if (!cJSON_IsArray(Item)) {
    NvdimmJsonError(Error, ItemPath).Add("not an array");
    return false;
  }
  if (static_cast<UINTN>(cJSON_GetArraySize(Item)) > MaxCount) {
    NvdimmJsonError(Error, ItemPath).Add("more than ").AddDecimal(MaxCount).Add(" entries");
    return false;
  }
  *Array = Item;
  return true;
}
