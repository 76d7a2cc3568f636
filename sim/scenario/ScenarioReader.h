// Checked reads of scenario members, each failure reported as one line
// "<member path>: <problem>" (for example
// `redfish.responses[0].code: must be an integer from 100 to 999`).
#pragma once

#include <cJSON.h>

#include "uefi/UefiBaseType.h"

/// The most members one object of a scenario may have.
constexpr UINTN SCENARIO_MAX_MEMBERS = 4096;

class ScenarioReader {
 public:
  /// Failures are written into Error (ErrorSize bytes, cut to fit).
  ScenarioReader(CHAR8 *Error, UINTN ErrorSize);
  ScenarioReader(const ScenarioReader &) = delete;
  ScenarioReader &operator=(const ScenarioReader &) = delete;

  /// Extends the member path while it lives: by a member name (".name"), an
  /// index ("[2]") or an object key written as a string ("[\"/uri\"]").
  class Scope {
   public:
    Scope(ScenarioReader &Reader, const CHAR8 *Name);
    Scope(ScenarioReader &Reader, UINTN Index);
    Scope(ScenarioReader &Reader, const CHAR8 *Key, bool AsKey);
    ~Scope();
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;

   private:
    ScenarioReader &mReader;
    UINTN mLength;
  };

  /// Reports Problem at the current path; always returns false.
  bool Fail(const CHAR8 *Problem);
  /// Reports `Problem "Value"` at the current path; always returns false.
  bool FailQuoting(const CHAR8 *Problem, const CHAR8 *Value);

  /// Checks that Item is an object whose members are all among Known, each
  /// given once. Reports the first unknown or repeated member by its path.
  [[nodiscard]] bool CheckObject(const cJSON *Item, const CHAR8 *const *Known, UINTN KnownCount);
  /// Checks that no two members of Object share a name; AsKeys writes the
  /// repeated name as a key (for maps such as "resources").
  [[nodiscard]] bool CheckNoRepeats(const cJSON *Object, bool AsKeys);

  [[nodiscard]] bool ReadString(const cJSON *Item, const CHAR8 **Value);
  /// A status by its UEFI name (or hex text).
  [[nodiscard]] bool ReadStatus(const cJSON *Item, EFI_STATUS *Status);
  /// An integer from Min to Max, any exact spelling.
  [[nodiscard]] bool ReadUint(const cJSON *Item, UINT64 Min, UINT64 Max, UINT64 *Value);

 private:
  static constexpr UINTN PATH_SIZE = 256;

  CHAR8 mPath[PATH_SIZE];
  UINTN mPathLength = 0;
  CHAR8 *mError;
  UINTN mErrorSize;
};

/// The member named exactly Name, or null.
inline const cJSON *ScenarioMember(const cJSON *Object, const CHAR8 *Name) {
  return cJSON_GetObjectItemCaseSensitive(Object, Name);
}
