#include "bench/BenchCases.h"

#include <cJSON.h>

#include <cstdio>
#include <cstdlib>

#include "actions/Handlers.h"
#include "actions/Poll.h"
#include "bench/BenchBodies.h"
#include "emulator/Firmware.h"

namespace {

constexpr const char *ACTION_STATUS_URI_TEXT = "/redfish/v1/Oem/Velk/Viz/ActionStatus";
constexpr const char *DIAGNOSTICS_MESSAGE =
    "DIMM 0x0001: Quick passed, Config passed, Security passed, Fw passed";

const char *ActionName(BenchKind Kind) {
  switch (Kind) {
    case BenchKind::DeleteNamespace:
      return "DeleteNamespace";
    case BenchKind::CreateNamespace:
      return "CreateNamespace";
    case BenchKind::CreateGoal:
      return "CreateGoal";
    case BenchKind::DeletePcdModule:
    case BenchKind::DeletePcdAll:
      return "DeletePlatformConfigurationData";
    case BenchKind::RunDiagnostics:
      return "RunDiagnostics";
    case BenchKind::Poll:
      break;
  }
  return "DeleteNamespace";
}

ACTION_HANDLER HandlerOf(BenchKind Kind) {
  switch (Kind) {
    case BenchKind::DeleteNamespace:
      return DeleteNamespaceAction;
    case BenchKind::CreateNamespace:
      return CreateNamespaceAction;
    case BenchKind::CreateGoal:
      return CreateGoalAction;
    case BenchKind::DeletePcdModule:
    case BenchKind::DeletePcdAll:
      return DeletePlatformConfigurationDataAction;
    case BenchKind::RunDiagnostics:
      return RunDiagnosticsAction;
    case BenchKind::Poll:
      break;
  }
  return nullptr;
}

struct DriverRun {
  BenchKind Kind;
  const CHAR16 *Uri;
};

void RunAction(BenchPlatform &Platform, void *Argument) {
  const auto &Run = *static_cast<const DriverRun *>(Argument);
  ActionContext *Context = Platform.Context();
  if (Run.Kind == BenchKind::Poll) {
    (void)PollActionStatus(Context);
    return;
  }
  HandlerOf(Run.Kind)(Run.Uri, Context->Rest, Context->Nvdimm, &Context->Record);
}

std::u16string Widen(const char *Text) {
  std::u16string Wide;
  for (; *Text != '\0'; Text++) {
    Wide += static_cast<char16_t>(static_cast<unsigned char>(*Text));
  }
  return Wide;
}

std::string StringMember(const cJSON *Object, const char *Name) {
  const cJSON *Item = cJSON_GetObjectItemCaseSensitive(Object, Name);
  return cJSON_IsString(Item) ? Item->valuestring : "";
}

}  // namespace

const BenchRow BENCH_ROWS[] = {
    {"Poll", BenchKind::Poll, nullptr,
     "\"Status\":\"Success\",\"StatusMessage\":\"(UEFI UPDATE): DeleteNamespace performed "
     "Successfully\",\"ActionName\":\"DeleteNamespace\",\"ActionUri\":\"/redfish/v1/Systems/Self/"
     "Actions/Oem/Velk/VIZ.DeleteNamespace\""},
    {"DeleteNamespace", BenchKind::DeleteNamespace,
     "/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.DeleteNamespace", "\"Id\":\"12\""},
    {"CreateNamespace", BenchKind::CreateNamespace,
     "/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.CreateNamespace",
     "\"RegionId\":\"0x1\",\"Name\":\"namespace1\",\"Mode\":\"fsdax\",\"CapacityMiB\":16384"},
    {"CreateGoal", BenchKind::CreateGoal,
     "/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.CreateGoal",
     "\"ConfigurationLevel\":\"Platform\",\"MemoryMode\":0,\"Reserved\":0,"
     "\"PersistentMemoryType\":\"AppDirect\""},
    {"DeletePcdModule", BenchKind::DeletePcdModule,
     "/redfish/v1/Systems/Self/Memory/Dimm1/Actions/Oem/Velk/VIZ.DeletePlatformConfigurationData",
     "\"DimmPhysicalId\":\"0x0001\""},
    {"DeletePcdAll", BenchKind::DeletePcdAll,
     "/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.DeletePlatformConfigurationData", nullptr},
    {"CreateNamespaceLongName", BenchKind::CreateNamespace,
     "/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.CreateNamespace",
     "\"RegionId\":\"0x1\",\"Name\":\"n@\",\"Mode\":\"fsdax\",\"CapacityMiB\":16384", 'n'},
    {"DeletePcdModuleLongId", BenchKind::DeletePcdModule,
     "/redfish/v1/Systems/Self/Memory/Dimm1/Actions/Oem/Velk/VIZ.DeletePlatformConfigurationData",
     "\"DimmPhysicalId\":\"0x@1\"", '0'},
    {"RunDiagnostics", BenchKind::RunDiagnostics,
     "/redfish/v1/Systems/Self/Memory/Dimm1/Actions/Oem/Velk/VIZ.RunDiagnostics",
     "\"ExecuteAll\":false,\"QuickTest\":true,\"ConfigTest\":true,\"SecurityTest\":true,"
     "\"FwTest\":true,\"DimmPhysicalId\":\"0x0001\""},
};
const size_t BENCH_ROW_COUNT = sizeof(BENCH_ROWS) / sizeof(BENCH_ROWS[0]);

const BenchSize BENCH_SIZES[] = {
    {"min", 0}, {"1KiB", 1 << 10}, {"64KiB", 64 << 10}, {"1MiB", 1 << 20}, {"8MiB", 8 << 20},
};
const size_t BENCH_SIZE_COUNT = sizeof(BENCH_SIZES) / sizeof(BENCH_SIZES[0]);

BenchCase::BenchCase(const BenchRow &Row, const BenchSize &Size)
    : mRow(Row), mName(std::string(Row.Name) + "/" + Size.Label) {
  std::string ActionStatus;
  std::string ActionUri;
  if (Row.Kind == BenchKind::Poll) {
    ActionStatus = PaddedObject(Row.Members, Size.Bytes);
    mBody = ActionStatus;
  } else {
    ActionStatus = std::string("{\"Status\":\"Issued\",\"ActionName\":\"") + ActionName(Row.Kind) +
                   "\",\"ActionUri\":\"" + Row.ActionUri + "\"}";
    mUri = Widen(Row.ActionUri);
    if (Row.Members != nullptr) {
      ActionUri = Row.ActionUri;
      mBody = Row.Filler != 0 ? GrownObject(Row.Members, Row.Filler, Size.Bytes)
                              : PaddedObject(Row.Members, Size.Bytes);
    }
  }
  mPlatform = std::make_unique<BenchPlatform>(
      BenchScenario(ActionStatus, ActionUri, mBody, DIAGNOSTICS_MESSAGE));
  if (!ActionUri.empty() && mPlatform->ResourceBody(ActionUri.c_str()) != mBody) {
    std::fprintf(stderr, "bench: %s: the service does not serve the body as given\n",
                 mName.c_str());
    std::exit(2);
  }

  // The first action leaves its report in ActionStatus, and every later one
  // the same report.
  if (RunDriver()) {
    Reboot();
  }
  if (Row.Kind != BenchKind::Poll) {
    std::string Report = mPlatform->ResourceBody(ACTION_STATUS_URI_TEXT);
    cJSON *Document = cJSON_Parse(Report.c_str());
    mReportStatus = StringMember(Document, "Status");
    mReportMessage = StringMember(Document, "StatusMessage");
    cJSON_Delete(Document);
    if (mReportStatus.empty() || mReportStatus == "Issued") {
      std::fprintf(stderr, "bench: %s: the action reported nothing\n", mName.c_str());
      std::exit(2);
    }
  }
}

bool BenchCase::RunDriver() {
  DriverRun Run = {mRow.Kind, reinterpret_cast<const CHAR16 *>(mUri.c_str())};
  return mPlatform->Run(RunAction, &Run);
}

void BenchCase::RunBaseline() {
  cJSON *Document = nullptr;
  if (!mBody.empty()) {
    Document = cJSON_Parse(mBody.c_str());
    if (Document == nullptr) {
      std::fprintf(stderr, "bench: %s: the body does not parse\n", mName.c_str());
      std::exit(2);
    }
  }
  if (!mReportStatus.empty()) {
    cJSON *Report = cJSON_CreateObject();
    cJSON_AddItemToObject(Report, "Status", cJSON_CreateString(mReportStatus.c_str()));
    cJSON_AddItemToObject(Report, "StatusMessage", cJSON_CreateString(mReportMessage.c_str()));
    char *Printed = cJSON_Print(Report);
    cJSON_free(Printed);
    cJSON_Delete(Report);
  }
  cJSON_Delete(Document);
}

BenchPoolUse BenchCase::MeasureDriver() {
  Firmware &Machine = Firmware::Instance();
  BenchPoolUse Use;
  Machine.ResetDriverPeak();
  uint64_t Before = Machine.DriverAllocationCount();
  bool Reset = RunDriver();
  Use.Allocations = Machine.DriverAllocationCount() - Before;
  Use.PeakBytes = Machine.DriverPeakBytes();
  if (Reset) {
    Reboot();
  }
  return Use;
}

BenchPoolUse BenchCase::MeasureBaseline() {
  Firmware &Machine = Firmware::Instance();
  BenchPoolUse Use;
  Machine.ResetDriverPeak();
  uint64_t Before = Machine.DriverAllocationCount();
  RunBaseline();
  Use.Allocations = Machine.DriverAllocationCount() - Before;
  Use.PeakBytes = Machine.DriverPeakBytes();
  return Use;
}
