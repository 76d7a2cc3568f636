// Checked reading of the NVDIMM component's JSON members (the scenario's
// "nvdimm" member and the saved model state). Every reader names the member
// it rejects by its full path ("nvdimm.model.regions[1].capacityMiB").
#pragma once

#include <cJSON.h>

#include "sim/nvdimm/NvdimmText.h"
#include "uefi/UefiBaseType.h"

/// One step of a member path, kept on the stack of the readers: a member
/// name, or (Name null) an array index.
struct NvdimmJsonPath {
  const NvdimmJsonPath *Parent;
  const CHAR8 *Name;
  UINTN Index;
};

/// Starts an error text "<path>: " in Error and returns Error, so that the
/// caller appends the problem.
NvdimmMessage &NvdimmJsonError(NvdimmMessage &Error, const NvdimmJsonPath &Path);

/// Checks that Value is an object whose members are all among Names
/// (compared without regard to case, as the lookups are). False with an
/// error naming the first unknown member otherwise.
[[nodiscard]] bool NvdimmJsonCheckObject(const cJSON *Value, const CHAR8 *const *Names,
                                         UINTN NameCount, const NvdimmJsonPath &Path,
                                         NvdimmMessage &Error);

/// Reads the boolean member Name of Object into *Value; an absent or null
/// member leaves *Value as it is.
[[nodiscard]] bool NvdimmJsonReadBool(const cJSON *Object, const CHAR8 *Name, bool *Value,
                                      const NvdimmJsonPath &Path, NvdimmMessage &Error);

/// Reads a whole number from Min to Max into *Value, exactly as written when
/// the document keeps number texts (ExactJson), else from its double. An absent or null member is
/// an error when Required, and otherwise leaves *Value as it is.
[[nodiscard]] bool NvdimmJsonReadUint(const cJSON *Object, const CHAR8 *Name, UINT64 Min,
                                      UINT64 Max, bool Required, UINT64 *Value,
                                      const NvdimmJsonPath &Path, NvdimmMessage &Error);

/// Checks an array element (or any value) the same way as NvdimmJsonReadUint.
[[nodiscard]] bool NvdimmJsonUintValue(const cJSON *Item, UINT64 Min, UINT64 Max, UINT64 *Value,
                                       const NvdimmJsonPath &Path, NvdimmMessage &Error);

/// Reads a string member of at most MaxLength bytes into *Value (a pointer
/// into the document). Absent or null: an error when Required, else *Value
/// is left as it is.
[[nodiscard]] bool NvdimmJsonReadString(const cJSON *Object, const CHAR8 *Name, UINTN MaxLength,
                                        bool Required, const CHAR8 **Value,
                                        const NvdimmJsonPath &Path, NvdimmMessage &Error);

/// Reads an array member (absent or null: an empty array, *Array null) of at
/// most MaxCount elements.
[[nodiscard]] bool NvdimmJsonReadArray(const cJSON *Object, const CHAR8 *Name, UINTN MaxCount,
                                       const cJSON **Array, const NvdimmJsonPath &Path,
                                       NvdimmMessage &Error);
