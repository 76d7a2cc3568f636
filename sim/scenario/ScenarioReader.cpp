#include "sim/scenario/ScenarioReader.h"

#include "sim/common/ExactJson.h"
#include "sim/common/SimMemory.h"
#include "sim/common/SimTextWriter.h"
#include "sim/common/StatusNames.h"

ScenarioReader::ScenarioReader(CHAR8 *Error, UINTN ErrorSize)
    : mError(Error), mErrorSize(ErrorSize) {
  mPath[0] = '\0';
  if (mErrorSize > 0) {
    mError[0] = '\0';
  }
}

ScenarioReader::Scope::Scope(ScenarioReader &Reader, const CHAR8 *Name)
    : mReader(Reader), mLength(Reader.mPathLength) {
  SimTextWriter Writer(Reader.mPath + mLength, PATH_SIZE - mLength);
  if (mLength > 0) {
    Writer.Put('.');
  }
  Writer.AddOneLine(Name, SimStringLength(Name));
  Reader.mPathLength += Writer.Length();
}

ScenarioReader::Scope::Scope(ScenarioReader &Reader, UINTN Index)
    : mReader(Reader), mLength(Reader.mPathLength) {
  SimTextWriter Writer(Reader.mPath + mLength, PATH_SIZE - mLength);
  Writer.Put('[');
  Writer.AddUint(Index);
  Writer.Put(']');
  Reader.mPathLength += Writer.Length();
}

ScenarioReader::Scope::Scope(ScenarioReader &Reader, const CHAR8 *Key, bool AsKey)
    : mReader(Reader), mLength(Reader.mPathLength) {
  (void)AsKey;
  SimTextWriter Writer(Reader.mPath + mLength, PATH_SIZE - mLength);
  Writer.Add("[\"");
  Writer.AddJsonEscaped(Key, SimStringLength(Key), false);
  Writer.Add("\"]");
  Reader.mPathLength += Writer.Length();
}

ScenarioReader::Scope::~Scope() {
  mReader.mPathLength = mLength;
  mReader.mPath[mLength] = '\0';
}

bool ScenarioReader::Fail(const CHAR8 *Problem) { return FailQuoting(Problem, nullptr); }

bool ScenarioReader::FailQuoting(const CHAR8 *Problem, const CHAR8 *Value) {
  SimTextWriter Writer(mError, mErrorSize);
  Writer.Add(mPathLength > 0 ? mPath : "top level");
  Writer.Add(": ");
  Writer.Add(Problem);
  if (Value != nullptr) {
    Writer.Add(" \"");
    Writer.AddJsonEscaped(Value, SimStringLength(Value), false);
    Writer.Put('"');
  }
  return false;
}

bool ScenarioReader::CheckObject(const cJSON *Item, const CHAR8 *const *Known, UINTN KnownCount) {
  if (!cJSON_IsObject(Item)) {
    return Fail("must be an object");
  }
  for (const cJSON *Child = Item->child; Child != nullptr; Child = Child->next) {
    bool IsKnown = false;
    for (UINTN Index = 0; Index < KnownCount && !IsKnown; Index++) {
      IsKnown = SimStringEqual(Child->string, Known[Index]);
    }
    if (!IsKnown) {
      Scope Member(*this, Child->string);
      CHAR8 Problem[200];
      SimTextWriter Writer(Problem, sizeof(Problem));
      Writer.Add("unknown member (known: ");
      for (UINTN Index = 0; Index < KnownCount; Index++) {
        Writer.Add(Index > 0 ? ", " : "");
        Writer.Add(Known[Index]);
      }
      Writer.Put(')');
      return Fail(Problem);
    }
  }
  return CheckNoRepeats(Item, false);
}

bool ScenarioReader::CheckNoRepeats(const cJSON *Object, bool AsKeys) {
  // The search for repeats takes time in the square of the count: keep it
  // bounded for any input.
  UINTN Count = 0;
  for (const cJSON *Child = Object->child; Child != nullptr; Child = Child->next) {
    if (++Count > SCENARIO_MAX_MEMBERS) {
      return Fail("has more than 4096 members");
    }
  }
  for (const cJSON *Child = Object->child; Child != nullptr; Child = Child->next) {
    for (const cJSON *Earlier = Object->child; Earlier != Child; Earlier = Earlier->next) {
      if (SimStringEqual(Earlier->string, Child->string)) {
        if (AsKeys) {
          Scope Member(*this, Child->string, true);
          return Fail("given twice");
        }
        Scope Member(*this, Child->string);
        return Fail("given twice");
      }
    }
  }
  return true;
}

bool ScenarioReader::ReadString(const cJSON *Item, const CHAR8 **Value) {
  if (!cJSON_IsString(Item)) {
    return Fail("must be a string");
  }
  *Value = Item->valuestring;
  return true;
}

bool ScenarioReader::ReadStatus(const cJSON *Item, EFI_STATUS *Status) {
  if (!cJSON_IsString(Item)) {
    return Fail("must be a UEFI status name such as \"EFI_SUCCESS\"");
  }
  if (!StatusFromText(Item->valuestring, Status)) {
    return FailQuoting("unknown status", Item->valuestring);
  }
  return true;
}

bool ScenarioReader::ReadUint(const cJSON *Item, UINT64 Min, UINT64 Max, UINT64 *Value) {
  UINT64 Number = 0;
  if (!ExactJsonNumberToUint(Item, &Number) || Number < Min || Number > Max) {
    CHAR8 Problem[80];
    SimTextWriter Writer(Problem, sizeof(Problem));
    if (Min == 0 && Max == static_cast<UINT64>(-1)) {
      Writer.Add("must be a whole number (0 or more)");
    } else {
      Writer.Add("must be an integer from ");
      Writer.AddUint(Min);
      Writer.Add(" to ");
      Writer.AddUint(Max);
    }
    return Fail(Problem);
  }
  *Value = Number;
  return true;
}
