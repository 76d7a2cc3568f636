// The store's rules that depend on time or on the state file, served
// without HTTP: sessions expire after their timeout of inactivity, failed
// logins lock an account for a while, a change the state file refuses is
// answered 500 and undone, a task ends with the boots that carry it out; and the validators the
// conditional headers and Basic credentials go through.
#include <gtest/gtest.h>

#include "server/RedfishStore.h"
#include "server/StoreJson.h"

namespace {

using Clock = RedfishStore::Clock;

constexpr char STATUS_URI[] = "/redfish/v1/Oem/Velk/Viz/ActionStatus";

class StoreTest : public ::testing::Test {
 protected:
  StoreTest()
      : Store({{STATUS_URI, "{\"Status\":\"Success\"}"}},
              {{"admin", "admin", ROLE::Administrator}, {"viewer", "v", ROLE::ReadOnly}}) {
    Store.UseClock([this] { return Time; });
  }

  StoreResponse Ask(const std::string &Method, const std::string &Path,
                    const std::string &Body = "", const std::string &Token = "",
                    const std::string &Basic = "YWRtaW46YWRtaW4=") {
    StoreRequest Request;
    Request.Method = Method;
    Request.Path = Path;
    Request.Body = Body;
    Request.AuthToken = Token;
    Request.Authorization = Token.empty() && !Basic.empty() ? "Basic " + Basic : "";
    Request.Client = "192.0.2.1";
    return Store.Serve(Request);
  }

  std::string Login(const std::string &User, const std::string &Password) {
    StoreResponse Answer =
        Ask("POST", "/redfish/v1/SessionService/Sessions",
            "{\"UserName\":\"" + User + "\",\"Password\":\"" + Password + "\"}", "", "");
    for (const auto &Header : Answer.Headers) {
      if (Header.first == "X-Auth-Token") {
        return Header.second;
      }
    }
    return "";
  }

  void Pass(int Seconds) { Time += std::chrono::seconds(Seconds); }

  Clock::time_point Time = Clock::time_point() + std::chrono::hours(1);
  RedfishStore Store;
};

TEST_F(StoreTest, SessionsExpireAfterTheirTimeoutOfInactivity) {
  ASSERT_EQ(Ask("PATCH", "/redfish/v1/SessionService", "{\"SessionTimeout\": 60}").Code, 204);
  for (const char *Refused : {"29", "86401", "\"60\""}) {
    EXPECT_EQ(Ask("PATCH", "/redfish/v1/SessionService",
                  std::string("{\"SessionTimeout\": ") + Refused + "}")
                  .Code,
              400)
        << Refused;
  }
  std::string Token = Login("admin", "admin");
  ASSERT_FALSE(Token.empty());
  Pass(50);
  EXPECT_EQ(Ask("GET", STATUS_URI, "", Token).Code, 200) << "in use, the session lives on";
  Pass(50);
  EXPECT_EQ(Ask("GET", STATUS_URI, "", Token).Code, 200);
  Pass(61);
  EXPECT_EQ(Ask("GET", STATUS_URI, "", Token).Code, 401) << "idle past its timeout";
}

TEST_F(StoreTest, FailedLoginsLockTheAccountForAWhile) {
  for (int Attempt = 0; Attempt < 4; Attempt++) {
    EXPECT_TRUE(Login("admin", "wrong").empty());
  }
  Pass(61);  // older failures no longer count
  for (int Attempt = 0; Attempt < 4; Attempt++) {
    EXPECT_TRUE(Login("admin", "wrong").empty());
  }
  EXPECT_FALSE(Login("admin", "admin").empty()) << "eight failures, never five in a minute";
  for (int Attempt = 0; Attempt < 5; Attempt++) {
    EXPECT_TRUE(Login("admin", "wrong").empty());
  }
  EXPECT_TRUE(Login("admin", "admin").empty()) << "locked";
  EXPECT_EQ(Ask("GET", STATUS_URI).Code, 401) << "Basic authentication locked too";
  EXPECT_FALSE(Login("viewer", "v").empty()) << "only that account";
  Pass(61);
  EXPECT_FALSE(Login("admin", "admin").empty()) << "unlocked after the duration";
}

TEST_F(StoreTest, AChangeTheStateFileRefusesIsUndone) {
  bool Writable = false;
  Store.SetPersist([&Writable](const std::string &, std::string *Problem) {
    *Problem = "the disk is full";
    return Writable;
  });
  uint64_t Version = 0;
  const std::string Before = Store.Snapshot(&Version);
  struct CASE {
    const char *Method;
    const char *Path;
    const char *Body;
  };
  const CASE Cases[] = {
      {"PATCH", STATUS_URI, "{\"Status\":\"Failed\"}"},
      {"POST", "/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.DeleteNamespace", "{\"Id\":\"1\"}"},
      {"POST", "/redfish/v1/Systems/Self/Actions/ComputerSystem.Reset",
       "{\"ResetType\":\"ForceRestart\"}"},
      {"PATCH", "/redfish/v1/Systems/Self", "{\"Boot\":{\"BootSourceOverrideTarget\":\"Pxe\"}}"},
      {"POST", "/redfish/v1/SessionService/Sessions",
       "{\"UserName\":\"admin\",\"Password\":\"admin\"}"},
  };
  for (const CASE &Case : Cases) {
    SCOPED_TRACE(std::string(Case.Method) + " " + Case.Path);
    StoreResponse Answer = Ask(Case.Method, Case.Path, Case.Body);
    EXPECT_EQ(Answer.Code, 500);
    EXPECT_NE(Answer.Body.find("InternalError"), std::string::npos) << Answer.Body;
    EXPECT_EQ(Store.Snapshot(&Version), Before);
    EXPECT_EQ(Store.TakePersistProblem(), "the disk is full");
  }
  EXPECT_FALSE(Store.WaitForBoot(Clock::now())) << "a refused reset must not boot";
  Writable = true;
  EXPECT_EQ(Ask("PATCH", STATUS_URI, "{\"Status\":\"Failed\"}").Code, 204);
  EXPECT_NE(Store.Snapshot(&Version), Before);
}

TEST_F(StoreTest, ATaskEndsWithTheRunOfBootsThatCarriedItOut) {
  auto TaskState = [this] {
    Json Task = ParseStored(Ask("GET", "/redfish/v1/TaskService/Tasks/1").Body);
    return Task.value("TaskState", std::string("(none)"));
  };
  ASSERT_EQ(
      Ask("POST", "/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.DeleteNamespace", "{\"Id\":\"1\"}")
          .Code,
      202);
  EXPECT_EQ(TaskState(), "New");
  Store.BootStarted();
  EXPECT_EQ(TaskState(), "Running");
  // Reported while the boots go on: the inventory is not yet what the
  // action made, so neither the task nor its monitor is done.
  ASSERT_EQ(Ask("PATCH", STATUS_URI, "{\"Status\":\"Success\"}", Store.DriverToken()).Code, 204);
  EXPECT_EQ(TaskState(), "Running");
  EXPECT_EQ(Ask("GET", "/redfish/v1/TaskService/TaskMonitors/1").Code, 202);
  Store.BootEnded();
  EXPECT_EQ(TaskState(), "Completed");
  EXPECT_EQ(Ask("GET", "/redfish/v1/TaskService/TaskMonitors/1").Code, 200);
}

TEST(StoreValidators, ConditionalHeadersAndBase64) {
  const std::string Tag = "\"abc\"";
  struct CONDITION {
    const char *Header;
    bool IfMatch;      // holds as If-Match
    bool IfNoneMatch;  // holds as If-None-Match
  };
  const CONDITION Conditions[] = {
      {"\"abc\"", true, false},
      {"W/\"abc\"", false, false},
      {"\"x\", \"abc\"", true, false},
      {"\"x\",W/\"abc\"", false, false},
      {"*", true, false},
      {"\"x\"", false, true},
      {"\"abc", false, true},
  };
  for (const CONDITION &Condition : Conditions) {
    EXPECT_EQ(IfMatchHolds(Condition.Header, Tag), Condition.IfMatch) << Condition.Header;
    EXPECT_EQ(IfNoneMatchHolds(Condition.Header, Tag), Condition.IfNoneMatch) << Condition.Header;
  }
  std::string Decoded;
  EXPECT_TRUE(DecodeBase64("YWRtaW46YWRtaW4=", &Decoded));
  EXPECT_EQ(Decoded, "admin:admin");
  for (const char *Broken :
       {"YWRtaW46YWRtaW4=!!", "YWRtaW46YWRtaW4", "YW=taW46", "YWRtaW46YWRtaW5=", ""}) {
    EXPECT_FALSE(DecodeBase64(Broken, &Decoded)) << Broken;
  }
  EXPECT_EQ(JsonNesting("{\"a\":\"[[[[\",\"b\":[[1]]}", 64), 3u) << "brackets in strings";
  EXPECT_EQ(JsonNesting(std::string(100000, '['), 64), 65u) << "stops past the limit";
}

}  // namespace
