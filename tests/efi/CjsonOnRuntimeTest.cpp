// cJSON, compiled on the image's run-time as in the image, against the
// host's libcjson on glibc: the same documents and numbers must come out
// byte for byte the same. The host library is loaded with dlopen, so its
// cJSON_* functions stay apart from the ones linked into this test.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "cJSON.h"
#include "tests/efi/FakePool.h"

namespace {

// The host's libcjson, through the few entry points the comparisons need.
class HostCjson {
 public:
  HostCjson() {
    mHandle = dlopen(NVDIMM_HOST_CJSON_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (mHandle == nullptr) {
      return;
    }
    Version = reinterpret_cast<decltype(Version)>(dlsym(mHandle, "cJSON_Version"));
    Parse = reinterpret_cast<decltype(Parse)>(dlsym(mHandle, "cJSON_Parse"));
    Print = reinterpret_cast<decltype(Print)>(dlsym(mHandle, "cJSON_Print"));
    PrintUnformatted =
        reinterpret_cast<decltype(PrintUnformatted)>(dlsym(mHandle, "cJSON_PrintUnformatted"));
    CreateNumber = reinterpret_cast<decltype(CreateNumber)>(dlsym(mHandle, "cJSON_CreateNumber"));
    Delete = reinterpret_cast<decltype(Delete)>(dlsym(mHandle, "cJSON_Delete"));
    Free = reinterpret_cast<decltype(Free)>(dlsym(mHandle, "cJSON_free"));
  }
  ~HostCjson() {
    if (mHandle != nullptr) {
      dlclose(mHandle);
    }
  }
  HostCjson(const HostCjson &) = delete;
  HostCjson &operator=(const HostCjson &) = delete;

  bool Loaded() const {
    return Version && Parse && Print && PrintUnformatted && CreateNumber && Delete && Free;
  }

  const char *(*Version)() = nullptr;
  cJSON *(*Parse)(const char *) = nullptr;
  char *(*Print)(const cJSON *) = nullptr;
  char *(*PrintUnformatted)(const cJSON *) = nullptr;
  cJSON *(*CreateNumber)(double) = nullptr;
  void (*Delete)(cJSON *) = nullptr;
  void (*Free)(void *) = nullptr;

 private:
  void *mHandle = nullptr;
};

struct CJSON_API {
  cJSON *(*Parse)(const char *);
  char *(*Print)(const cJSON *);
  char *(*PrintUnformatted)(const cJSON *);
  cJSON *(*CreateNumber)(double);
  void (*Delete)(cJSON *);
  void (*Free)(void *);
};

// Parses Text and prints it in both layouts, or says where it failed.
std::string Reprint(const CJSON_API &Api, const char *Text) {
  cJSON *Root = Api.Parse(Text);
  if (Root == nullptr) {
    return "<parse error>";
  }
  char *Formatted = Api.Print(Root);
  char *Plain = Api.PrintUnformatted(Root);
  std::string Result = std::string(Formatted != nullptr ? Formatted : "<print error>") + "\n--\n" +
                       (Plain != nullptr ? Plain : "<print error>");
  Api.Free(Formatted);
  Api.Free(Plain);
  Api.Delete(Root);
  return Result;
}

std::string PrintNumber(const CJSON_API &Api, double Value) {
  cJSON *Number = Api.CreateNumber(Value);
  char *Printed = Api.PrintUnformatted(Number);
  std::string Result = Printed != nullptr ? Printed : "<print error>";
  Api.Free(Printed);
  Api.Delete(Number);
  return Result;
}

double FromBits(uint64_t Bits) {
  double Value;
  std::memcpy(&Value, &Bits, sizeof(Value));
  return Value;
}

class CjsonOnRuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(mHost.Loaded()) << "cannot load " << NVDIMM_HOST_CJSON_LIBRARY;
    // The two must really be different code.
    ASSERT_NE(reinterpret_cast<void *>(mHost.Parse), reinterpret_cast<void *>(&cJSON_Parse));
    mHostApi = {mHost.Parse,        mHost.Print,  mHost.PrintUnformatted,
                mHost.CreateNumber, mHost.Delete, mHost.Free};
  }

  HostCjson mHost;
  CJSON_API mHostApi{};
  const CJSON_API mRuntimeApi = {cJSON_Parse,        cJSON_Print,  cJSON_PrintUnformatted,
                                 cJSON_CreateNumber, cJSON_Delete, cJSON_free};
  FakePool mPool;
};

// The version string comes from the run-time's sprintf.
TEST_F(CjsonOnRuntimeTest, VersionMatchesHost) { EXPECT_STREQ(cJSON_Version(), mHost.Version()); }

// Documents of every value kind, escapes and malformed input reprint as on
// the host, and every pool block comes back.
TEST_F(CjsonOnRuntimeTest, DocumentsReprintAsOnHost) {
  const char *Documents[] = {
      "{\"Status\":\"Issued\",\"ActionName\":\"CreateGoal\",\"ActionUri\":\"/redfish/v1/Systems/"
      "1\"}",
      "{\"Count\":3,\"Ratio\":-0.5,\"Big\":1e300,\"Tiny\":5e-324,\"Id\":12345678901234567890,\"Z\":"
      "-0}",
      "[true,false,null,0.1,0.2,0.30000000000000004,1e21,123e-7,-1.5E+10,2.5e-400,1e400]",
      "{\"Text\":\"a\\u0001\\\"\\u00e9\\ud83d\\ude00\\t\\/"
      "\\\\\",\"Empty\":\"\",\"Nested\":{\"A\":[[],{}]}}",
      "  { \"Spaced\" : [ 1 , 2 ] }  ",
      "{\"A\":-x}",
      "[1,2",
      "\"unterminated",
      "01",
      "-",
      "1.e5",
      "[.5]"};
  for (const char *Document : Documents) {
    EXPECT_EQ(Reprint(mRuntimeApi, Document), Reprint(mHostApi, Document)) << Document;
  }
  EXPECT_EQ(mPool.LiveBlocks(), 0u);
}

// Numbers print as the host prints them: edge values and random bit
// patterns, through cJSON's %1.15g / sscanf / %1.17g sequence.
TEST_F(CjsonOnRuntimeTest, NumbersPrintAsOnHost) {
  std::vector<double> Values = {0.0,
                                -0.0,
                                1.0,
                                -1.0,
                                0.1,
                                1e300,
                                5e-324,
                                1.7976931348623157e308,
                                INFINITY,
                                NAN,
                                2147483647.0,
                                -2147483648.0,
                                9007199254740993.0};
  std::mt19937_64 Random(7);
  for (int Count = 0; Count < 50000; Count++) {
    Values.push_back(FromBits(Random()));
  }
  for (double Value : Values) {
    ASSERT_EQ(PrintNumber(mRuntimeApi, Value), PrintNumber(mHostApi, Value)) << Value;
  }
  EXPECT_EQ(mPool.LiveBlocks(), 0u);
}

// Numbers parse to the same double as on the host, through the run-time's
// strtod.
TEST_F(CjsonOnRuntimeTest, NumbersParseAsOnHost) {
  std::mt19937_64 Random(8);
  for (int Count = 0; Count < 20000; Count++) {
    char Text[64];
    std::snprintf(Text, sizeof(Text), "%.*g", static_cast<int>(1 + Random() % 20),
                  FromBits(Random()));
    cJSON *Ours = cJSON_Parse(Text);
    cJSON *Theirs = mHost.Parse(Text);
    ASSERT_EQ(Ours == nullptr, Theirs == nullptr) << Text;
    if (Ours != nullptr) {
      EXPECT_EQ(std::memcmp(&Ours->valuedouble, &Theirs->valuedouble, sizeof(double)), 0) << Text;
      EXPECT_EQ(Ours->valueint, Theirs->valueint) << Text;
    }
    cJSON_Delete(Ours);
    mHost.Delete(Theirs);
  }
  EXPECT_EQ(mPool.LiveBlocks(), 0u);
}

// Member lookup ignores case through the run-time's tolower.
TEST_F(CjsonOnRuntimeTest, LookupIgnoresCase) {
  cJSON *Root = cJSON_Parse("{\"ActionName\":\"RunDiagnostics\"}");
  ASSERT_NE(Root, nullptr);
  EXPECT_STREQ(cJSON_GetStringValue(cJSON_GetObjectItem(Root, "actionNAME")), "RunDiagnostics");
  EXPECT_EQ(cJSON_GetObjectItemCaseSensitive(Root, "actionname"), nullptr);
  cJSON_Delete(Root);
  EXPECT_EQ(mPool.LiveBlocks(), 0u);
}

// A failed allocation anywhere in a parse or a print releases everything
// taken so far.
TEST_F(CjsonOnRuntimeTest, FailedAllocationReleasesAll) {
  const char *Document =
      "{\"A\":[1,2.5,\"x\"],\"B\":{\"C\":null},\"D\":\"long text to grow the buffer\"}";
  for (size_t Failing = 1; Failing <= 20; Failing++) {
    mPool.FailAllocation(Failing);
    cJSON *Root = cJSON_Parse(Document);
    if (Root != nullptr) {
      cJSON_free(cJSON_Print(Root));
      cJSON_Delete(Root);
    }
    EXPECT_EQ(mPool.LiveBlocks(), 0u) << "allocation " << Failing;
  }
}

}  // namespace
