#include "sim/trace/Trace.h"

#include "sim/common/ExactJson.h"
#include "sim/common/SimMemory.h"
#include "sim/common/SimTextWriter.h"
#include "sim/common/StatusNames.h"

namespace {

bool ContainsNul(const CHAR8 *Bytes, UINTN Length) {
  for (UINTN Index = 0; Index < Length; Index++) {
    if (Bytes[Index] == '\0') {
      return true;
    }
  }
  return false;
}

/// A raw item that takes Text (escaped JSON text) as its value; null, with
/// Text kept, on failure.
cJSON *NewRawItem(SimBlock &Text) {
  cJSON *Item = cJSON_CreateNull();
  if (Item == nullptr) {
    return nullptr;
  }
  Item->type = cJSON_Raw;
  Item->valuestring = Text.Release();
  return Item;
}

/// A raw item holding the escaped JSON string of Bytes.
cJSON *NewEscapedStringItem(const CHAR8 *Bytes, UINTN Length) {
  // Each byte takes at most six characters (\u00xx), plus the quotes and NUL.
  if (Length > (static_cast<UINTN>(-1) - 3) / 6) {
    return nullptr;
  }
  UINTN Size = Length * 6 + 3;
  SimBlock Text(static_cast<CHAR8 *>(cJSON_malloc(Size)));
  if (!Text) {
    return nullptr;
  }
  {
    SimTextWriter Writer(Text.Get(), Size);
    Writer.Put('"');
    Writer.AddJsonEscaped(Bytes, Length, true);
    Writer.Put('"');
  }
  return NewRawItem(Text);
}

/// A number built in memory without exact text: integers exactly, anything
/// else to six decimals.
void WriteApproximateNumber(double Number, SimTextWriter &Writer) {
  if (!(Number > -9.2e18 && Number < 9.2e18)) {
    Writer.Add("null");
    return;
  }
  if (Number < 0) {
    Writer.Put('-');
    Number = -Number;
  }
  auto Whole = static_cast<UINT64>(Number);
  auto Millionths = static_cast<UINT64>((Number - static_cast<double>(Whole)) * 1000000.0 + 0.5);
  if (Millionths >= 1000000) {
    Whole++;
    Millionths -= 1000000;
  }
  Writer.AddUint(Whole);
  if (Millionths == 0) {
    return;
  }
  CHAR8 Fraction[7];
  for (int Index = 5; Index >= 0; Index--) {
    Fraction[Index] = static_cast<CHAR8>('0' + Millionths % 10);
    Millionths /= 10;
  }
  UINTN Length = 6;
  while (Fraction[Length - 1] == '0') {
    Length--;
  }
  Writer.Put('.');
  Writer.AddBytes(Fraction, Length);
}

void WriteValue(const cJSON *Value, SimTextWriter &Writer) {
  if (Value == nullptr) {
    Writer.Add("null");
    return;
  }
  switch (Value->type & 0xFF) {
    case cJSON_False:
      Writer.Add("false");
      return;
    case cJSON_True:
      Writer.Add("true");
      return;
    case cJSON_Number: {
      CHAR8 Text[EXACT_JSON_NUMBER_SIZE];
      if (ExactJsonNumberText(Value, Text)) {
        Writer.Add(Text);
      } else {
        WriteApproximateNumber(Value->valuedouble, Writer);
      }
      return;
    }
    case cJSON_String:
      Writer.Put('"');
      Writer.AddJsonEscaped(Value->valuestring, SimStringLength(Value->valuestring), true);
      Writer.Put('"');
      return;
    case cJSON_Raw:
      Writer.Add(Value->valuestring != nullptr ? Value->valuestring : "null");
      return;
    case cJSON_Array:
    case cJSON_Object: {
      bool IsObject = (Value->type & 0xFF) == cJSON_Object;
      Writer.Put(IsObject ? '{' : '[');
      for (const cJSON *Child = Value->child; Child != nullptr; Child = Child->next) {
        if (Child != Value->child) {
          Writer.Put(',');
        }
        if (IsObject) {
          const CHAR8 *Name = Child->string != nullptr ? Child->string : "";
          Writer.Put('"');
          Writer.AddJsonEscaped(Name, SimStringLength(Name), true);
          Writer.Add("\":");
        }
        WriteValue(Child, Writer);
      }
      Writer.Put(IsObject ? '}' : ']');
      return;
    }
    default:
      Writer.Add("null");
      return;
  }
}

}  // namespace

cJSON *TraceNewBytes(const CHAR8 *Bytes, UINTN Length) {
  if (Bytes == nullptr && Length != 0) {
    return nullptr;
  }
  if (Length != 0 && ContainsNul(Bytes, Length)) {
    return NewEscapedStringItem(Bytes, Length);
  }
  CHAR8 *Copy = SimDuplicateBytes(Length != 0 ? Bytes : "", Length);
  if (Copy == nullptr) {
    return nullptr;
  }
  // The item takes the copy as its value, which saves copying it again.
  cJSON *Item = cJSON_CreateNull();
  if (Item == nullptr) {
    cJSON_free(Copy);
    return nullptr;
  }
  Item->type = cJSON_String;
  Item->valuestring = Copy;
  return Item;
}

cJSON *TraceNewCodeUnits(const CHAR16 *Units, UINTN Length) {
  bool Wide = false;
  for (UINTN Index = 0; Index < Length; Index++) {
    Wide = Wide || Units[Index] > 0xFF;
  }
  // Each unit takes at most six characters, plus the quotes and the NUL.
  if (Length > (static_cast<UINTN>(-1) - 3) / 6) {
    return nullptr;
  }
  SimBlock Text(static_cast<CHAR8 *>(cJSON_malloc(Wide ? Length * 6 + 3 : Length + 1)));
  if (!Text) {
    return nullptr;
  }
  if (!Wide) {
    for (UINTN Index = 0; Index < Length; Index++) {
      Text.Get()[Index] = static_cast<CHAR8>(Units[Index]);
    }
    return TraceNewBytes(Text.Get(), Length);
  }
  {
    SimTextWriter Writer(Text.Get(), Length * 6 + 3);
    Writer.Put('"');
    for (UINTN Index = 0; Index < Length; Index++) {
      if (Units[Index] > 0xFF) {
        Writer.AddUnicodeEscape(Units[Index]);
      } else {
        auto Byte = static_cast<CHAR8>(Units[Index]);
        Writer.AddJsonEscaped(&Byte, 1, true);
      }
    }
    Writer.Put('"');
  }
  return NewRawItem(Text);
}

cJSON *TraceNewUint(UINT64 Value) {
  CHAR8 Digits[24];
  SimTextWriter Writer(Digits, sizeof(Digits));
  Writer.AddUint(Value);
  return cJSON_CreateRaw(Digits);
}

bool TraceAddItem(cJSON *Object, const CHAR8 *Name, cJSON *Item) {
  if (Item == nullptr) {
    return false;
  }
  bool Added = cJSON_IsArray(Object)
                   ? cJSON_AddItemToArray(Object, Item)
                   : Object != nullptr && cJSON_AddItemToObject(Object, Name, Item);
  if (!Added) {
    cJSON_Delete(Item);
    return false;
  }
  return true;
}

bool TraceAddUint(cJSON *Object, const CHAR8 *Name, UINT64 Value) {
  return TraceAddItem(Object, Name, TraceNewUint(Value));
}

bool TraceAddBytes(cJSON *Object, const CHAR8 *Name, const CHAR8 *Bytes, UINTN Length) {
  return TraceAddItem(Object, Name, TraceNewBytes(Bytes, Length));
}

bool TraceAddString(cJSON *Object, const CHAR8 *Name, const CHAR8 *String) {
  if (String == nullptr) {
    return TraceAddNull(Object, Name);
  }
  return TraceAddBytes(Object, Name, String, SimStringLength(String));
}

bool TraceAddStatus(cJSON *Object, const CHAR8 *Name, EFI_STATUS Status) {
  CHAR8 Text[STATUS_TEXT_SIZE];
  StatusText(Status, Text);
  return TraceAddString(Object, Name, Text);
}

bool TraceAddBool(cJSON *Object, const CHAR8 *Name, bool Value) {
  return TraceAddItem(Object, Name, cJSON_CreateBool(Value));
}

bool TraceAddNull(cJSON *Object, const CHAR8 *Name) {
  return TraceAddItem(Object, Name, cJSON_CreateNull());
}

void TraceWriteJsonTo(const cJSON *Value, SimTextWriter &Writer) { WriteValue(Value, Writer); }

void TraceWriteJson(const cJSON *Value, const TraceSink &Sink) {
  SimTextWriter Writer(Sink);
  WriteValue(Value, Writer);
}

Trace::Trace(TraceSink Lines, TraceSink Account) : mLines(Lines), mAccount(Account) {}

Trace::~Trace() { cJSON_Delete(mEvents); }

cJSON *Trace::NewEvent(const CHAR8 *Kind) {
  if (!mKeepEvents && mLines.Write == nullptr && mAccount.Write == nullptr) {
    return nullptr;
  }
  cJSON *Event = cJSON_CreateObject();
  if (Event == nullptr) {
    return nullptr;
  }
  if (!TraceAddUint(Event, "boot", mBoot) || !TraceAddString(Event, "event", Kind)) {
    cJSON_Delete(Event);
    return nullptr;
  }
  return Event;
}

void Trace::Emit(cJSON *Event) {
  if (Event == nullptr) {
    return;
  }
  if (mLines.Write != nullptr) {
    SimTextWriter Writer(mLines);
    WriteValue(Event, Writer);
    Writer.Put('\n');
  }
  const cJSON *Kind = cJSON_GetObjectItemCaseSensitive(Event, "event");
  if (cJSON_IsString(Kind) && SimStringEqual(Kind->valuestring, "reset")) {
    mResetBoot = mBoot;
  }
  TraceWriteAccount(Event, mResetBoot == mBoot, mAccount);
  if (!mKeepEvents) {
    cJSON_Delete(Event);
    return;
  }
  if (mEvents == nullptr) {
    mEvents = cJSON_CreateArray();
  }
  if (mEvents == nullptr || !cJSON_AddItemToArray(mEvents, Event)) {
    cJSON_Delete(Event);
  }
}

void Trace::Note(const CHAR8 *Text) {
  SimTextWriter Writer(mAccount);
  Writer.Add(Text);
  Writer.Put('\n');
}
