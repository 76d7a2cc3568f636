// The readable account: one compact line per event, for a person who wants
// to see what the driver did.
//
//   REST GET /redfish/v1/Oem/Velk/Viz/ActionStatus -> 200 EFI_SUCCESS
//   REST PATCH /redfish/v1/Oem/Velk/Viz/ActionStatus body {...} -> 204 EFI_SUCCESS
//   NVDIMM DeleteNamespace NamespaceId=12 -> EFI_SUCCESS
//   reset warm by driver
//   held at reset: 27 blocks, 1125 bytes (a reset ends the boot; nothing is released)
//   leak: 0 blocks, 0 bytes            (a boot that ended without a reset)
// final: 1 boot
//   /redfish/v1/Oem/Velk/Viz/ActionStatus {"Status":"Success",...}
#include "sim/common/SimMemory.h"
#include "sim/common/SimTextWriter.h"
#include "sim/trace/Trace.h"

namespace {

const cJSON *Member(const cJSON *Event, const CHAR8 *Name) {
  return cJSON_GetObjectItemCaseSensitive(Event, Name);
}

bool IsKind(const cJSON *Event, const CHAR8 *Kind) {
  const cJSON *Item = Member(Event, "event");
  return cJSON_IsString(Item) && SimStringEqual(Item->valuestring, Kind);
}

/// A value as it reads best in running text: strings without quotes.
void AddPlain(SimTextWriter &Writer, const cJSON *Item) {
  if (Item == nullptr) {
    Writer.Put('-');
  } else if (cJSON_IsString(Item)) {
    Writer.AddOneLine(Item->valuestring, SimStringLength(Item->valuestring));
  } else {
    TraceWriteJsonTo(Item, Writer);
  }
}

/// A value in a Name=Value list: strings quoted, so that spaces show.
void AddQuoted(SimTextWriter &Writer, const cJSON *Item) {
  if (cJSON_IsString(Item)) {
    Writer.Put('"');
    Writer.AddOneLine(Item->valuestring, SimStringLength(Item->valuestring));
    Writer.Put('"');
  } else {
    TraceWriteJsonTo(Item, Writer);
  }
}

/// " Name=Value" for every member of Object but those listed in Skip.
void AddMembers(SimTextWriter &Writer, const cJSON *Object, const CHAR8 *const *Skip,
                UINTN SkipCount) {
  if (!cJSON_IsObject(Object)) {
    return;
  }
  for (const cJSON *Child = Object->child; Child != nullptr; Child = Child->next) {
    bool Skipped = Child->string == nullptr;
    for (UINTN Index = 0; Index < SkipCount; Index++) {
      Skipped = Skipped || SimStringEqual(Child->string, Skip[Index]);
    }
    if (!Skipped) {
      Writer.Put(' ');
      Writer.Add(Child->string);
      Writer.Put('=');
      AddQuoted(Writer, Child);
    }
  }
}

void AddRest(SimTextWriter &Writer, const cJSON *Event) {
  Writer.Add("  REST ");
  AddPlain(Writer, Member(Event, "method"));
  Writer.Put(' ');
  AddPlain(Writer, Member(Event, "uri"));
  const cJSON *Body = Member(Event, "body");
  if (Body != nullptr && !cJSON_IsNull(Body)) {
    Writer.Add(" body ");
    AddPlain(Writer, Body);
  }
  Writer.Add(" -> ");
  const cJSON *Code = Member(Event, "code");
  if (Code == nullptr || cJSON_IsNull(Code)) {
    Writer.Add("no response");
  } else {
    AddPlain(Writer, Code);
  }
  Writer.Put(' ');
  AddPlain(Writer, Member(Event, "status"));
}

void AddNvdimm(SimTextWriter &Writer, const cJSON *Event) {
  static const CHAR8 *const Known[] = {"boot", "event", "op", "args", "status"};
  Writer.Add("  NVDIMM ");
  AddPlain(Writer, Member(Event, "op"));
  AddMembers(Writer, Member(Event, "args"), nullptr, 0);
  Writer.Add(" -> ");
  AddPlain(Writer, Member(Event, "status"));
  AddMembers(Writer, Event, Known, sizeof(Known) / sizeof(Known[0]));
}

void AddFinal(SimTextWriter &Writer, const cJSON *Event) {
  Writer.Add("final: ");
  const cJSON *Boots = Member(Event, "boots");
  AddPlain(Writer, Boots);
  bool One = cJSON_IsRaw(Boots) && SimStringEqual(Boots->valuestring, "1");
  Writer.Add(One ? " boot" : " boots");
  const cJSON *Resources = Member(Event, "resources");
  if (!cJSON_IsObject(Resources)) {
    return;
  }
  for (const cJSON *Resource = Resources->child; Resource != nullptr; Resource = Resource->next) {
    Writer.Add("\n  ");
    Writer.AddOneLine(Resource->string, SimStringLength(Resource->string));
    Writer.Put(' ');
    AddPlain(Writer, Resource);
  }
}

}  // namespace

void TraceWriteAccount(const cJSON *Event, bool AfterReset, const TraceSink &Sink) {
  static const CHAR8 *const Envelope[] = {"boot", "event"};
  if (Sink.Write == nullptr || !cJSON_IsObject(Event)) {
    return;
  }
  SimTextWriter Writer(Sink);
  if (IsKind(Event, "rest")) {
    AddRest(Writer, Event);
  } else if (IsKind(Event, "nvdimm")) {
    AddNvdimm(Writer, Event);
  } else if (IsKind(Event, "reset")) {
    Writer.Add("  reset ");
    AddPlain(Writer, Member(Event, "type"));
    Writer.Add(" by ");
    AddPlain(Writer, Member(Event, "by"));
  } else if (IsKind(Event, "leak")) {
    // What a reset abandons is not a leak: the boot ends there, and with it
    // every allocation of boot services.
    Writer.Add(AfterReset ? "  held at reset: " : "  leak: ");
    AddPlain(Writer, Member(Event, "blocks"));
    Writer.Add(" blocks, ");
    AddPlain(Writer, Member(Event, "bytes"));
    Writer.Add(AfterReset ? " bytes (a reset ends the boot; nothing is released)" : " bytes");
  } else if (IsKind(Event, "final")) {
    AddFinal(Writer, Event);
  } else {
    Writer.Add("  ");
    AddPlain(Writer, Member(Event, "event"));
    AddMembers(Writer, Event, Envelope, sizeof(Envelope) / sizeof(Envelope[0]));
  }
  Writer.Put('\n');
}
