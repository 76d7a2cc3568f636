#include <string>

#include "sim/common/StatusNames.h"
#include "tests/sim/SimTestSupport.h"

namespace {

class TraceTest : public ::testing::Test {
 protected:
  std::string Lines;
  std::string Account;
  Trace Log{StringSink(Lines), StringSink(Account)};
};

// Keys in insertion order, no spaces, escapes as JSON needs, high bytes as
// \u00xx, 64-bit integers exact, a line feed after the event.
TEST_F(TraceTest, WritesOneExactJsonLinePerEvent) {
  Log.SetBoot(2);
  cJSON *Event = Log.NewEvent("probe");
  ASSERT_NE(Event, nullptr);
  ASSERT_TRUE(TraceAddUint(Event, "max", 18446744073709551615ULL));
  ASSERT_TRUE(TraceAddString(Event, "text", "q\"b\\s/\b\f\n\r\t\x01\x7f"));
  ASSERT_TRUE(TraceAddString(Event, "utf8", "\xc3\xa9"));
  ASSERT_TRUE(TraceAddBytes(Event, "nul", "a\0b", 3));
  ASSERT_TRUE(TraceAddBool(Event, "yes", true));
  ASSERT_TRUE(TraceAddNull(Event, "none"));
  ASSERT_TRUE(TraceAddStatus(Event, "status", EFI_DEVICE_ERROR));
  cJSON *Pair = cJSON_CreateArray();
  ASSERT_TRUE(TraceAddItem(Event, "pair", Pair));
  ASSERT_TRUE(TraceAddString(Pair, nullptr, "\xff"));
  ASSERT_TRUE(TraceAddUint(Pair, nullptr, 0));
  Log.Emit(Event);

  EXPECT_EQ(Lines,
            "{\"boot\":2,\"event\":\"probe\",\"max\":18446744073709551615,"
            "\"text\":\"q\\\"b\\\\s/\\b\\f\\n\\r\\t\\u0001\x7f\",\"utf8\":\"\\u00c3\\u00a9\","
            "\"nul\":\"a\\u0000b\",\"yes\":true,\"none\":null,\"status\":\"EFI_DEVICE_ERROR\","
            "\"pair\":[\"\\u00ff\",0]}\n");
  // The kept event holds the raw bytes, not their escapes.
  const cJSON *Kept = cJSON_GetArrayItem(Log.Events(), 0);
  EXPECT_STREQ(cJSON_GetObjectItem(Kept, "utf8")->valuestring, "\xc3\xa9");
}

// Events are kept in emission order, also when no sink is attached.
TEST(TraceEvents, AreKeptInOrderWithoutSinks) {
  Trace Log(NoSink(), NoSink());
  Log.Emit(Log.NewEvent("first"));
  Log.SetBoot(3);
  Log.Emit(Log.NewEvent("second"));
  Log.Emit(nullptr);
  ASSERT_EQ(cJSON_GetArraySize(Log.Events()), 2);
  const cJSON *Second = cJSON_GetArrayItem(Log.Events(), 1);
  EXPECT_STREQ(cJSON_GetObjectItem(Second, "event")->valuestring, "second");
  EXPECT_STREQ(cJSON_GetObjectItem(Second, "boot")->valuestring, "3");
}

// Without keeping, events still reach both sinks but are not held; those
// kept before stay, and keeping again appends after them. A trace that
// neither keeps nor writes builds no event.
TEST(TraceEvents, NotKeptAreWrittenAndReleased) {
  std::string Lines;
  std::string Account;
  Trace Log(StringSink(Lines), StringSink(Account));
  Log.Emit(Log.NewEvent("kept"));
  Log.KeepEvents(false);
  Log.Emit(Log.NewEvent("dropped"));
  Log.KeepEvents(true);
  Log.Emit(Log.NewEvent("again"));
  EXPECT_EQ(Lines,
            "{\"boot\":1,\"event\":\"kept\"}\n{\"boot\":1,\"event\":\"dropped\"}\n"
            "{\"boot\":1,\"event\":\"again\"}\n");
  EXPECT_NE(Account.find("dropped"), std::string::npos);
  ASSERT_EQ(cJSON_GetArraySize(Log.Events()), 2);
  EXPECT_STREQ(cJSON_GetObjectItem(cJSON_GetArrayItem(Log.Events(), 1), "event")->valuestring,
               "again");

  // With no sink either, nothing would see an event: none is built.
  Trace Silent(NoSink(), NoSink());
  Silent.KeepEvents(false);
  EXPECT_EQ(Silent.NewEvent("unseen"), nullptr);
  Silent.Emit(nullptr);
  EXPECT_EQ(Silent.Events(), nullptr);
}

// One readable line per event, bodies on one line, and notes as given; what a
// reset abandons reads as held at reset, what a boot ends with as a leak.
TEST_F(TraceTest, WritesAReadableAccount) {
  cJSON *Get = Log.NewEvent("rest");
  TraceAddString(Get, "method", "GET");
  TraceAddString(Get, "uri", "/redfish/v1/Oem/Velk/Viz/ActionStatus");
  TraceAddItem(Get, "headers", cJSON_CreateArray());
  TraceAddNull(Get, "body");
  TraceAddUint(Get, "code", 200);
  TraceAddStatus(Get, "status", EFI_SUCCESS);
  Log.Emit(Get);
  cJSON *Patch = Log.NewEvent("rest");
  TraceAddString(Patch, "method", "PATCH");
  TraceAddString(Patch, "uri", "/s");
  TraceAddString(Patch, "body", "{\n\t\"Status\":\t\"Success\"\x1b\n}");
  TraceAddNull(Patch, "code");
  TraceAddStatus(Patch, "status", EFI_TIMEOUT);
  Log.Emit(Patch);
  cJSON *Nvdimm = Log.NewEvent("nvdimm");
  TraceAddString(Nvdimm, "op", "CreateNamespace");
  cJSON *Args = cJSON_CreateObject();
  TraceAddItem(Nvdimm, "args", Args);
  TraceAddUint(Args, "RegionId", 1);
  TraceAddString(Args, "Name", "ns one");
  TraceAddStatus(Nvdimm, "status", EFI_SUCCESS);
  TraceAddBool(Nvdimm, "pending", false);
  Log.Emit(Nvdimm);
  cJSON *Reset = Log.NewEvent("reset");
  TraceAddString(Reset, "type", "warm");
  TraceAddString(Reset, "by", "driver");
  Log.Emit(Reset);
  cJSON *Leak = Log.NewEvent("leak");
  TraceAddUint(Leak, "blocks", 0);
  TraceAddUint(Leak, "bytes", 0);
  Log.Emit(Leak);
  Log.Note("boot 2");
  Log.SetBoot(2);
  cJSON *Leak2 = Log.NewEvent("leak");
  TraceAddUint(Leak2, "blocks", 3);
  TraceAddUint(Leak2, "bytes", 120);
  Log.Emit(Leak2);
  cJSON *Final = Log.NewEvent("final");
  TraceAddUint(Final, "boots", 1);
  cJSON *Resources = cJSON_CreateObject();
  TraceAddItem(Final, "resources", Resources);
  TraceAddString(Resources, "/s", "{\"Status\":\"Success\"}");
  Log.Emit(Final);

  EXPECT_EQ(Account,
            "  REST GET /redfish/v1/Oem/Velk/Viz/ActionStatus -> 200 EFI_SUCCESS\n"
            "  REST PATCH /s body {\\n\\t\"Status\":\\t\"Success\"\\x1B\\n} -> no response "
            "EFI_TIMEOUT\n"
            "  NVDIMM CreateNamespace RegionId=1 Name=\"ns one\" -> EFI_SUCCESS pending=false\n"
            "  reset warm by driver\n"
            "  held at reset: 0 blocks, 0 bytes (a reset ends the boot; nothing is released)\n"
            "boot 2\n"
            "  leak: 3 blocks, 120 bytes\n"
            "final: 1 boot\n"
            "  /s {\"Status\":\"Success\"}\n");
}

// Every named status reads back to itself; other values are hex text.
TEST(StatusNames, NameAndValueRoundTrip) {
  const EFI_STATUS Named[] = {EFI_SUCCESS,
                              EFI_LOAD_ERROR,
                              EFI_INVALID_PARAMETER,
                              EFI_NOT_READY,
                              EFI_TIMEOUT,
                              EFI_PROTOCOL_ERROR,
                              EFI_HTTP_ERROR,
                              EFI_END_OF_FILE,
                              EFI_WARN_UNKNOWN_GLYPH,
                              EFI_WARN_RESET_REQUIRED};
  for (EFI_STATUS Status : Named) {
    CHAR8 Text[STATUS_TEXT_SIZE];
    StatusText(Status, Text);
    EFI_STATUS Back = 1;
    ASSERT_TRUE(StatusFromText(Text, &Back)) << Text;
    EXPECT_EQ(Back, Status) << Text;
  }
  EXPECT_STREQ(StatusName(EFI_NOT_READY), "EFI_NOT_READY");
  EXPECT_STREQ(StatusName(EFI_WARN_STALE_DATA), "EFI_WARN_STALE_DATA");
  EXPECT_EQ(StatusName(EncodeError(29)), nullptr);

  CHAR8 Text[STATUS_TEXT_SIZE];
  StatusText(EncodeError(0x63), Text);
  EXPECT_STREQ(Text, "0x8000000000000063");
  StatusText(EncodeWarning(0x2A), Text);
  EXPECT_STREQ(Text, "0x2A");

  EFI_STATUS Status = 0;
  ASSERT_TRUE(StatusFromText("0x800000000000001d", &Status));
  EXPECT_EQ(Status, EncodeError(29));
  EXPECT_FALSE(StatusFromText("EFI_BOGUS", &Status));
  EXPECT_FALSE(StatusFromText("efi_success", &Status));
  EXPECT_FALSE(StatusFromText("0x", &Status));
  EXPECT_FALSE(StatusFromText("0x10000000000000000", &Status));
  EXPECT_FALSE(StatusFromText("0x12g", &Status));
}

}  // namespace
