#include "sim/scenario/Expect.h"

#include "sim/common/ExactJson.h"
#include "sim/common/SimMemory.h"
#include "sim/common/SimTextWriter.h"
#include "sim/trace/Trace.h"

namespace {

/// Values in messages are cut to this many bytes.
constexpr UINTN SHOWN_VALUE_SIZE = 160;

/// The member path of a difference, grown and shrunk as the comparison
/// descends.
class DiffPath {
 public:
  explicit DiffPath(const CHAR8 *Start) {
    SimTextWriter Writer(mText, sizeof(mText));
    Writer.Add(Start);
    mLength = Writer.Length();
  }
  UINTN Mark() const { return mLength; }
  void Restore(UINTN Mark) {
    mLength = Mark;
    mText[mLength] = '\0';
  }
  void AddName(const CHAR8 *Name) {
    SimTextWriter Writer(mText + mLength, sizeof(mText) - mLength);
    Writer.Put('.');
    Writer.AddOneLine(Name, SimStringLength(Name));
    mLength += Writer.Length();
  }
  void AddKey(const CHAR8 *Key) {
    SimTextWriter Writer(mText + mLength, sizeof(mText) - mLength);
    Writer.Add("[\"");
    Writer.AddJsonEscaped(Key, SimStringLength(Key), true);
    Writer.Add("\"]");
    mLength += Writer.Length();
  }
  void AddIndex(UINTN Index) {
    SimTextWriter Writer(mText + mLength, sizeof(mText) - mLength);
    Writer.Put('[');
    Writer.AddUint(Index);
    Writer.Put(']');
    mLength += Writer.Length();
  }
  const CHAR8 *Text() const { return mText; }

 private:
  CHAR8 mText[256];
  UINTN mLength = 0;
};

/// Compares expected values with actual ones and reports the first
/// difference into the error line.
class Comparer {
 public:
  /// Subset: objects need only the expected members. Holder names the other
  /// side in messages ("the trace has", "the service holds").
  Comparer(bool Subset, const CHAR8 *Holder, CHAR8 *Error, UINTN ErrorSize)
      : mSubset(Subset), mHolder(Holder), mError(Error), mErrorSize(ErrorSize) {}

  bool Compare(const cJSON *Expected, const cJSON *Actual, DiffPath &Path) {
    if (cJSON_IsObject(Expected) && cJSON_IsObject(Actual)) {
      return CompareObjects(Expected, Actual, Path);
    }
    if (cJSON_IsArray(Expected) && cJSON_IsArray(Actual)) {
      return CompareArrays(Expected, Actual, Path);
    }
    if (!Equal(Expected, Actual)) {
      SimTextWriter Writer(mError, mErrorSize);
      Writer.Add(Path.Text());
      Writer.Add(": expected ");
      AddValue(Writer, Expected);
      Writer.Add(" but ");
      Writer.Add(mHolder);
      Writer.Put(' ');
      AddValue(Writer, Actual);
      return false;
    }
    return true;
  }

  static void AddValue(SimTextWriter &Writer, const cJSON *Value) {
    CHAR8 Shown[SHOWN_VALUE_SIZE];
    SimTextWriter ValueWriter(Shown, sizeof(Shown));
    TraceWriteJsonTo(Value, ValueWriter);
    Writer.Add(Shown);
    if (ValueWriter.Truncated()) {
      Writer.Add("...");
    }
  }

 private:
  /// Compares an expected string with a raw string item of the trace: a URI
  /// with code units above 0xFF, written with \uxxxx escapes, reads back as
  /// the same characters the expected string holds. A raw item that holds a
  /// NUL byte (\u0000) matches no expected string.
  static bool RawStringEqual(const CHAR8 *Expected, const CHAR8 *Raw) {
    UINTN Length = SimStringLength(Raw);
    if (Length == 0 || Raw[0] != '"' || ContainsNulEscape(Raw, Length)) {
      return false;
    }
    SimJson Decoded(ExactJsonParse(Raw, Length, nullptr, 0));
    return cJSON_IsString(Decoded.Get()) && SimStringEqual(Expected, Decoded.Get()->valuestring);
  }

  static bool ContainsNulEscape(const CHAR8 *Text, UINTN Length) {
    for (UINTN Index = 0; Index + 6 <= Length; Index++) {
      if (Text[Index] == '\\' && SimBytesEqualString(Text + Index, 6, "\\u0000")) {
        return true;
      }
      Index += Text[Index] == '\\' ? 1 : 0;  // an escaped byte is no escape of its own
    }
    return false;
  }

  static bool Equal(const cJSON *Expected, const cJSON *Actual) {
    if (ExactJsonIsNumber(Expected)) {
      return ExactJsonIsNumber(Actual) && ExactJsonNumbersEqual(Expected, Actual);
    }
    if (cJSON_IsString(Expected)) {
      if (cJSON_IsRaw(Actual)) {
        return RawStringEqual(Expected->valuestring, Actual->valuestring);
      }
      return cJSON_IsString(Actual) && SimStringEqual(Expected->valuestring, Actual->valuestring);
    }
    return (Expected->type & 0xFF) == (Actual->type & 0xFF) &&
           (cJSON_IsBool(Expected) || cJSON_IsNull(Expected));
  }

  bool CompareObjects(const cJSON *Expected, const cJSON *Actual, DiffPath &Path) {
    UINTN Mark = Path.Mark();
    for (const cJSON *Member = Expected->child; Member != nullptr; Member = Member->next) {
      const cJSON *Other = cJSON_GetObjectItemCaseSensitive(Actual, Member->string);
      Path.AddName(Member->string);
      if (Other == nullptr) {
        SimTextWriter Writer(mError, mErrorSize);
        Writer.Add(Path.Text());
        Writer.Add(": expected ");
        AddValue(Writer, Member);
        Writer.Add(" but ");
        Writer.Add(mHolder);
        Writer.Add(" no such member");
        return false;
      }
      if (!Compare(Member, Other, Path)) {
        return false;
      }
      Path.Restore(Mark);
    }
    for (const cJSON *Member = Actual->child; !mSubset && Member != nullptr;
         Member = Member->next) {
      if (cJSON_GetObjectItemCaseSensitive(Expected, Member->string) == nullptr) {
        SimTextWriter Writer(mError, mErrorSize);
        Writer.Add(Path.Text());
        Writer.Add(": ");
        Writer.Add(mHolder);
        Writer.Add(" a member \"");
        Writer.AddJsonEscaped(Member->string, SimStringLength(Member->string), true);
        Writer.Add("\" that is not expected");
        return false;
      }
    }
    return true;
  }

  bool CompareArrays(const cJSON *Expected, const cJSON *Actual, DiffPath &Path) {
    UINTN Mark = Path.Mark();
    const cJSON *Other = Actual->child;
    UINTN Index = 0;
    for (const cJSON *Item = Expected->child; Item != nullptr && Other != nullptr;
         Item = Item->next, Other = Other->next, Index++) {
      Path.AddIndex(Index);
      if (!Compare(Item, Other, Path)) {
        return false;
      }
      Path.Restore(Mark);
    }
    int ExpectedCount = cJSON_GetArraySize(Expected);
    int ActualCount = cJSON_GetArraySize(Actual);
    if (ExpectedCount != ActualCount) {
      SimTextWriter Writer(mError, mErrorSize);
      Writer.Add(Path.Text());
      Writer.Add(": expected a list of ");
      Writer.AddUint(static_cast<UINT64>(ExpectedCount));
      Writer.Add(" but ");
      Writer.Add(mHolder);
      Writer.Add(" one of ");
      Writer.AddUint(static_cast<UINT64>(ActualCount));
      return false;
    }
    return true;
  }

  bool mSubset;
  const CHAR8 *mHolder;
  CHAR8 *mError;
  UINTN mErrorSize;
};

bool IsKind(const cJSON *Event, const CHAR8 *Kind) {
  const cJSON *Item = cJSON_GetObjectItemCaseSensitive(Event, "event");
  return cJSON_IsString(Item) && SimStringEqual(Item->valuestring, Kind);
}

/// The next event of Kind from Event on, or null.
const cJSON *NextOfKind(const cJSON *Event, const CHAR8 *Kind) {
  while (Event != nullptr && !IsKind(Event, Kind)) {
    Event = Event->next;
  }
  return Event;
}

/// Whether Event has every member of Filter, compared as expected members
/// are; a null Filter takes every event.
bool Selected(const cJSON *Filter, const cJSON *Event) {
  if (Filter == nullptr) {
    return true;
  }
  CHAR8 Unused[8];
  DiffPath Path("");
  Comparer Compare(true, "", Unused, sizeof(Unused));
  return Compare.Compare(Filter, Event, Path);
}

/// The next event of Kind from Event on that Filter takes, or null.
const cJSON *NextSelected(const cJSON *Event, const CHAR8 *Kind, const cJSON *Filter) {
  Event = NextOfKind(Event, Kind);
  while (Event != nullptr && !Selected(Filter, Event)) {
    Event = NextOfKind(Event->next, Kind);
  }
  return Event;
}

/// Matches the listed events of Kind one for one with the trace's events of
/// Kind that Filter (the kind's member of "only", or null) takes.
bool CheckKind(const cJSON *ExpectedEvents, const CHAR8 *Kind, const cJSON *Filter,
               const cJSON *Events, CHAR8 *Error, UINTN ErrorSize) {
  CHAR8 Start[200];
  {
    SimTextWriter Writer(Start, sizeof(Start));
    Writer.Add("expect.events[");
    Writer.AddOneLine(Kind, SimStringLength(Kind));
    if (Filter != nullptr) {
      Writer.Add(" only ");
      Comparer::AddValue(Writer, Filter);
    }
    Writer.Put(']');
  }
  DiffPath Path(Start);
  UINTN Mark = Path.Mark();
  Comparer Compare(true, "the trace has", Error, ErrorSize);
  const cJSON *Expected =
      NextOfKind(ExpectedEvents != nullptr ? ExpectedEvents->child : nullptr, Kind);
  const cJSON *Actual = NextSelected(Events != nullptr ? Events->child : nullptr, Kind, Filter);
  UINTN Index = 0;
  for (; Expected != nullptr && Actual != nullptr;
       Expected = NextOfKind(Expected->next, Kind),
       Actual = NextSelected(Actual->next, Kind, Filter)) {
    Path.AddIndex(Index++);
    if (!Compare.Compare(Expected, Actual, Path)) {
      return false;
    }
    Path.Restore(Mark);
  }
  UINTN ExpectedCount = Index;
  UINTN ActualCount = Index;
  for (; Expected != nullptr; Expected = NextOfKind(Expected->next, Kind)) {
    ExpectedCount++;
  }
  for (; Actual != nullptr; Actual = NextSelected(Actual->next, Kind, Filter)) {
    ActualCount++;
  }
  if (ExpectedCount != ActualCount) {
    SimTextWriter Writer(Error, ErrorSize);
    Writer.Add(Path.Text());
    Writer.Add(": expected ");
    Writer.AddUint(ExpectedCount);
    Writer.Add(ExpectedCount == 1 ? " event, the trace has " : " events, the trace has ");
    Writer.AddUint(ActualCount);
    return false;
  }
  return true;
}

/// Checks each kind listed in ExpectedEvents (may be null), then each kind of
/// Only (may be null) that is not listed: of those, no event may be taken.
bool CheckEvents(const cJSON *ExpectedEvents, const cJSON *Only, const cJSON *Events, CHAR8 *Error,
                 UINTN ErrorSize) {
  const cJSON *First = ExpectedEvents != nullptr ? ExpectedEvents->child : nullptr;
  for (const cJSON *Event = First; Event != nullptr; Event = Event->next) {
    const CHAR8 *Kind = cJSON_GetObjectItemCaseSensitive(Event, "event")->valuestring;
    // Each kind once, in the order it is first named.
    if (NextOfKind(First, Kind) == Event &&
        !CheckKind(ExpectedEvents, Kind, cJSON_GetObjectItemCaseSensitive(Only, Kind), Events,
                   Error, ErrorSize)) {
      return false;
    }
  }
  for (const cJSON *Filter = Only != nullptr ? Only->child : nullptr; Filter != nullptr;
       Filter = Filter->next) {
    if (NextOfKind(First, Filter->string) == nullptr &&
        !CheckKind(nullptr, Filter->string, Filter, Events, Error, ErrorSize)) {
      return false;
    }
  }
  return true;
}

bool CheckNone(const cJSON *None, const cJSON *Events, CHAR8 *Error, UINTN ErrorSize) {
  UINTN Index = 0;
  for (const cJSON *Kind = None->child; Kind != nullptr; Kind = Kind->next, Index++) {
    UINTN Count = 0;
    const cJSON *Event = NextOfKind(Events != nullptr ? Events->child : nullptr, Kind->valuestring);
    for (; Event != nullptr; Event = NextOfKind(Event->next, Kind->valuestring)) {
      Count++;
    }
    if (Count > 0) {
      SimTextWriter Writer(Error, ErrorSize);
      Writer.Add("expect.none[");
      Writer.AddUint(Index);
      Writer.Add("]: expected no \"");
      Writer.AddOneLine(Kind->valuestring, SimStringLength(Kind->valuestring));
      Writer.Add("\" events, the trace has ");
      Writer.AddUint(Count);
      return false;
    }
  }
  return true;
}

bool CheckFinal(const cJSON *Final, const cJSON *Events, CHAR8 *Error, UINTN ErrorSize) {
  const cJSON *FinalEvent = nullptr;
  for (const cJSON *Event = NextOfKind(Events != nullptr ? Events->child : nullptr, "final");
       Event != nullptr; Event = NextOfKind(Event->next, "final")) {
    FinalEvent = Event;
  }
  const cJSON *Resources = cJSON_GetObjectItemCaseSensitive(FinalEvent, "resources");
  if (!cJSON_IsObject(Resources)) {
    SimTextWriter Writer(Error, ErrorSize);
    Writer.Add("expect.final: the trace has no final event with resources");
    return false;
  }
  Comparer Compare(false, "the service holds", Error, ErrorSize);
  for (const cJSON *Expected = Final->child; Expected != nullptr; Expected = Expected->next) {
    DiffPath Path("expect.final");
    Path.AddKey(Expected->string);
    const cJSON *Body = cJSON_GetObjectItemCaseSensitive(Resources, Expected->string);
    SimJson Actual(
        cJSON_IsString(Body)
            ? ExactJsonParse(Body->valuestring, SimStringLength(Body->valuestring), nullptr, 0)
            : nullptr);
    if (!Actual) {
      SimTextWriter Writer(Error, ErrorSize);
      Writer.Add(Path.Text());
      if (Body == nullptr) {
        Writer.Add(": the service holds no such resource");
      } else {
        Writer.Add(": the service's body is not JSON: ");
        Comparer::AddValue(Writer, Body);
      }
      return false;
    }
    if (!Compare.Compare(Expected, Actual.Get(), Path)) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool CheckExpectations(const cJSON *Expect, const cJSON *Events, CHAR8 *Error, UINTN ErrorSize) {
  if (ErrorSize > 0) {
    Error[0] = '\0';
  }
  if (Expect == nullptr) {
    return true;
  }
  const cJSON *ExpectedEvents = cJSON_GetObjectItemCaseSensitive(Expect, "events");
  const cJSON *None = cJSON_GetObjectItemCaseSensitive(Expect, "none");
  const cJSON *Only = cJSON_GetObjectItemCaseSensitive(Expect, "only");
  const cJSON *Final = cJSON_GetObjectItemCaseSensitive(Expect, "final");
  return CheckEvents(ExpectedEvents, Only, Events, Error, ErrorSize) &&
         (None == nullptr || CheckNone(None, Events, Error, ErrorSize)) &&
         (Final == nullptr || CheckFinal(Final, Events, Error, ErrorSize));
}
