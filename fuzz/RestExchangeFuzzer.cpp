// Fuzz target of the REST exchange (SendRestRequest, GetResource,
// PatchActionStatus) against a REST producer that the input drives: the
// status SendReceive returns, the status code (any 32-bit value, named by
// EFI_HTTP_STATUS_CODE or not), where it puts it (the record the driver
// placed, a record of its own, or none), any number of headers with names
// and values present or null, a body or none with a length that need not be
// its own, a second Redfish service handle, or a REST instance that is not
// the service's. Everything the producer hands over comes from the platform's
// pool as the driver's, so that the leak check sees whatever the driver
// fails to release; the results must be exactly what the exchange's rules
// give for that answer.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>

#include "core/Pool.h"
#include "fuzz/FuzzMachine.h"
#include "platform/Guids.h"
#include "redfish/ActionStatusClient.h"
#include "redfish/RestExchange.h"

namespace {

constexpr EFI_STATUS mStatuses[] = {EFI_SUCCESS,          EFI_SUCCESS, EFI_WARN_STALE_DATA,
                                    EFI_DEVICE_ERROR,     EFI_TIMEOUT, EFI_OUT_OF_RESOURCES,
                                    0x8000000000000063ULL};
constexpr UINT32 mCodes[] = {HTTP_STATUS_200_OK,
                             HTTP_STATUS_204_NO_CONTENT,
                             HTTP_STATUS_201_CREATED,
                             HTTP_STATUS_404_NOT_FOUND,
                             HTTP_STATUS_UNSUPPORTED_STATUS,
                             44,
                             0xFFFFFFFF};

/// Where the producer puts the status code.
enum class Record { Placed, OwnRecord, NoRecord, Untouched };

struct Answer {
  EFI_STATUS Status = EFI_SUCCESS;
  UINT32 Code = HTTP_STATUS_200_OK;
  Record Where = Record::Placed;
  bool HeadersArray = false;
  std::vector<std::pair<std::string, std::string>> Headers;  ///< "\x01" stands for null
  UINTN HeaderCount = 0;
  bool HasBody = false;
  std::string Body;
  UINTN BodyLength = 0;
};

/// What the producer received and handed over.
struct Exchange {
  bool Called = false;
  EFI_HTTP_METHOD Method = HttpMethodGet;
  std::u16string Url;
  std::vector<std::pair<std::string, std::string>> Headers;
  bool HasBody = false;
  std::string Body;
  VOID *BodyHandedOver = nullptr;
};

struct FakeRest {
  EFI_REST_PROTOCOL Protocol;
  const PlatformHost *Host;
  const Answer *Reply;
  Exchange *Seen;
};

constexpr const char *NULL_MARK = "\x01";

CHAR8 *HandOverText(const PlatformHost &Host, const std::string &Text) {
  if (Text == NULL_MARK) {
    return nullptr;
  }
  auto *Block = static_cast<CHAR8 *>(AllocateForDriver(Host, Text.size() + 1));
  FUZZ_CHECK(Block != nullptr, "the producer's pool is exhausted");
  std::memcpy(Block, Text.c_str(), Text.size() + 1);
  return Block;
}

EFI_STATUS EFIAPI FakeSendReceive(EFI_REST_PROTOCOL *This, EFI_HTTP_MESSAGE *Request,
                                  EFI_HTTP_MESSAGE *Response) {
  auto *Rest = reinterpret_cast<FakeRest *>(This);
  PlatformCall Call(*Rest->Host);
  const Answer &Reply = *Rest->Reply;
  Exchange &Seen = *Rest->Seen;
  FUZZ_CHECK(!Seen.Called, "SendReceive called twice for one request");
  FUZZ_CHECK(Request != nullptr && Request->Data.Request != nullptr &&
                 Request->Data.Request->Url != nullptr && Response != nullptr &&
                 Response->Data.Response != nullptr && Response->Headers == nullptr &&
                 Response->Body == nullptr,
             "a request message the producer cannot use");
  Seen.Called = true;
  Seen.Method = Request->Data.Request->Method;
  Seen.Url = reinterpret_cast<const char16_t *>(Request->Data.Request->Url);
  for (UINTN Index = 0; Index < Request->HeaderCount; Index++) {
    const EFI_HTTP_HEADER &Header = Request->Headers[Index];
    Seen.Headers.emplace_back(Header.FieldName != nullptr ? Header.FieldName : NULL_MARK,
                              Header.FieldValue != nullptr ? Header.FieldValue : NULL_MARK);
  }
  Seen.HasBody = Request->Body != nullptr;
  if (Seen.HasBody) {
    Seen.Body.assign(static_cast<const char *>(Request->Body), Request->BodyLength);
  }

  if (Reply.HeadersArray) {
    UINTN Slots = Reply.Headers.empty() ? 1 : Reply.Headers.size();
    auto *Headers = static_cast<EFI_HTTP_HEADER *>(
        AllocateForDriver(*Rest->Host, Slots * sizeof(EFI_HTTP_HEADER)));
    FUZZ_CHECK(Headers != nullptr, "the producer's pool is exhausted");
    std::memset(Headers, 0, Slots * sizeof(EFI_HTTP_HEADER));
    for (size_t Index = 0; Index < Reply.Headers.size(); Index++) {
      Headers[Index].FieldName = HandOverText(*Rest->Host, Reply.Headers[Index].first);
      Headers[Index].FieldValue = HandOverText(*Rest->Host, Reply.Headers[Index].second);
    }
    Response->Headers = Headers;
  }
  Response->HeaderCount = Reply.HeaderCount;
  if (Reply.HasBody) {
    Response->Body = HandOverText(*Rest->Host, Reply.Body);
    Seen.BodyHandedOver = Response->Body;
  }
  Response->BodyLength = Reply.BodyLength;
  switch (Reply.Where) {
    case Record::Placed:
      Response->Data.Response->StatusCode = static_cast<EFI_HTTP_STATUS_CODE>(Reply.Code);
      break;
    case Record::OwnRecord: {
      auto *Own = static_cast<EFI_HTTP_RESPONSE_DATA *>(
          AllocateForDriver(*Rest->Host, sizeof(EFI_HTTP_RESPONSE_DATA)));
      FUZZ_CHECK(Own != nullptr, "the producer's pool is exhausted");
      Own->StatusCode = static_cast<EFI_HTTP_STATUS_CODE>(Reply.Code);
      Response->Data.Response = Own;
      break;
    }
    case Record::NoRecord:
      Response->Data.Response = nullptr;
      break;
    case Record::Untouched:
      break;
  }
  return Reply.Status;
}

Answer ReadAnswer(FuzzedDataProvider &Data) {
  Answer Reply;
  Reply.Status = Data.PickValueInArray(mStatuses);
  Reply.Code = Data.ConsumeBool() ? Data.ConsumeIntegral<UINT32>() : Data.PickValueInArray(mCodes);
  Reply.Where = static_cast<Record>(Data.ConsumeIntegralInRange<int>(0, 3));
  Reply.HeadersArray = Data.ConsumeBool();
  size_t Count = Reply.HeadersArray ? Data.ConsumeIntegralInRange<size_t>(0, 6) : 0;
  for (size_t Index = 0; Index < Count; Index++) {
    std::string Name =
        Data.ConsumeBool() ? NULL_MARK : FuzzCString(Data.ConsumeRandomLengthString(40));
    std::string Value =
        Data.ConsumeBool() ? NULL_MARK : FuzzCString(Data.ConsumeRandomLengthString(40));
    Reply.Headers.emplace_back(Name, Value);
  }
  // An array holds exactly its count (an empty one still has a slot); a
  // count without an array has nothing to release.
  Reply.HeaderCount =
      Reply.HeadersArray ? Reply.Headers.size() : Data.ConsumeIntegralInRange<UINTN>(0, 6);
  Reply.HasBody = Data.ConsumeBool();
  Reply.Body = FuzzCString(Data.ConsumeRandomLengthString(2000));
  Reply.BodyLength = Data.ConsumeBool() ? Reply.Body.size() : Data.ConsumeIntegral<UINTN>();
  if (!Reply.HasBody && Data.ConsumeBool()) {
    Reply.BodyLength = 0;
  }
  return Reply;
}

/// The status code the driver must see: the one in the record the message
/// points to after the exchange, 0 without a completed exchange.
UINT32 ExpectedCode(const Answer &Reply, const Exchange &Seen) {
  if (!Seen.Called || EFI_ERROR(Reply.Status)) {
    return HTTP_STATUS_UNSUPPORTED_STATUS;
  }
  return Reply.Where == Record::Placed || Reply.Where == Record::OwnRecord
             ? Reply.Code
             : HTTP_STATUS_UNSUPPORTED_STATUS;
}

std::string PrintedReport(const std::string &State, const std::string &Message) {
  cJSON *Report = cJSON_CreateObject();
  cJSON_AddItemToObject(Report, "Status", cJSON_CreateString(State.c_str()));
  cJSON_AddItemToObject(Report, "StatusMessage", cJSON_CreateString(Message.c_str()));
  char *Printed = cJSON_Print(Report);
  std::string Text = Printed;
  cJSON_free(Printed);
  cJSON_Delete(Report);
  return Text;
}

struct Operation {
  int Kind;
  FakeRest *Rest;
  std::string State;
  std::string Message;
  bool AskBody;
  bool AskLength;
  bool EmptyUri;
  EFI_HTTP_METHOD Method;
  EFI_STATUS Status;
  CHAR8 *Body;
  UINTN Length;
  EFI_HTTP_STATUS_CODE Code;
};

const CHAR16 mUri[] = u"/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.DeleteNamespace";

void RunOperation(void *Context) {
  auto *Op = static_cast<Operation *>(Context);
  EFI_REST_PROTOCOL *Rest = &Op->Rest->Protocol;
  if (Op->Kind == 0) {
    Op->Status = GetResource(Rest, mUri, &Op->Body, &Op->Length);
  } else if (Op->Kind == 1) {
    Op->Status = PatchActionStatus(Rest, Op->State.c_str(), Op->Message.c_str());
  } else {
    Op->Status = SendRestRequest(Rest, Op->Method, Op->EmptyUri ? u"" : mUri, nullptr, nullptr, 0,
                                 Op->AskBody ? &Op->Body : nullptr,
                                 Op->AskLength ? &Op->Length : nullptr, &Op->Code);
  }
  // The caller owns a body it was handed.
  FreePool(Op->Body);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Bytes, size_t Length) {
  FuzzedDataProvider Data(Bytes, Length);
  Answer Reply = ReadAnswer(Data);
  int Instance = Data.ConsumeIntegralInRange<int>(0, 5);  // 4: a second service, 5: another REST
  Operation Op = {};
  Op.Kind = Data.ConsumeIntegralInRange<int>(0, 2);
  Op.State = FuzzCString(Data.ConsumeRandomLengthString(20));
  Op.Message = FuzzCString(Data.ConsumeRandomLengthString(300));
  Op.AskBody = Data.ConsumeBool();
  Op.AskLength = Data.ConsumeBool();
  Op.EmptyUri = Data.ConsumeIntegralInRange<int>(0, 15) == 0;
  Op.Method = static_cast<EFI_HTTP_METHOD>(Data.ConsumeIntegralInRange<int>(0, HttpMethodMax - 1));
  Op.Code = static_cast<EFI_HTTP_STATUS_CODE>(0x5A5A5A5A);
  Op.Length = 0x5A5A;

  FuzzMachine Machine;
  PlatformHost Host = EmulatorPlatformHost();
  Exchange Seen;
  FakeRest Service = {{FakeSendReceive, nullptr}, &Host, &Reply, &Seen};
  FakeRest Other = Service;
  REDFISH_SERVICE_PROTOCOL ServiceProtocol = {1, nullptr};
  EFI_HANDLE Handle = nullptr;
  FUZZ_CHECK(gBS->InstallMultipleProtocolInterfaces(&Handle, &gEfiRestProtocolGuid,
                                                    &Service.Protocol, &gRedfishServiceProtocolGuid,
                                                    &ServiceProtocol, nullptr) == EFI_SUCCESS,
             "the service handle cannot be installed");
  if (Instance == 4) {
    EFI_HANDLE Second = nullptr;
    FUZZ_CHECK(gBS->InstallMultipleProtocolInterfaces(&Second, &gEfiRestProtocolGuid,
                                                      &Other.Protocol, &gRedfishServiceProtocolGuid,
                                                      &ServiceProtocol, nullptr) == EFI_SUCCESS,
               "the second service handle cannot be installed");
  }
  Op.Rest = Instance == 5 ? &Other : &Service;
  (void)Machine.AllocateContext(sizeof(UINT64));
  Op.Body = nullptr;
  (void)Machine.RunAsDriver(RunOperation, &Op);
  Machine.CheckClean(false);

  bool Reachable = Instance < 4 && !(Op.Kind == 2 && Op.EmptyUri);
  FUZZ_CHECK(Seen.Called == Reachable, "SendReceive %s called", Seen.Called ? "was" : "was not");
  UINT32 Code = ExpectedCode(Reply, Seen);
  bool Handed = Seen.Called && !EFI_ERROR(Reply.Status);
  if (Op.Kind == 0) {
    EFI_STATUS Expected = Code == HTTP_STATUS_200_OK ? Reply.Status : EFI_PROTOCOL_ERROR;
    FUZZ_CHECK(Op.Status == Expected, "GetResource returned %llx, expected %llx",
               static_cast<unsigned long long>(Op.Status),
               static_cast<unsigned long long>(Expected));
    bool Given = Code == HTTP_STATUS_200_OK;
    FUZZ_CHECK(Op.Body == (Given ? Seen.BodyHandedOver : nullptr) &&
                   Op.Length == (Given ? Reply.BodyLength : 0x5A5A),
               "GetResource handed over the wrong body or length");
    FUZZ_CHECK(!Seen.Called || (Seen.Method == HttpMethodGet && !Seen.HasBody &&
                                Seen.Headers == (std::vector<std::pair<std::string, std::string>>{
                                                    {"Accept", "application/json;charset=utf-8"},
                                                    {"OData-Version", "4.0"}})),
               "GetResource sent a wrong request");
  } else if (Op.Kind == 1) {
    EFI_STATUS Expected = Code == HTTP_STATUS_200_OK || Code == HTTP_STATUS_204_NO_CONTENT
                              ? Reply.Status
                              : EFI_PROTOCOL_ERROR;
    FUZZ_CHECK(Op.Status == Expected, "PatchActionStatus returned %llx, expected %llx",
               static_cast<unsigned long long>(Op.Status),
               static_cast<unsigned long long>(Expected));
    std::string Printed = PrintedReport(Op.State, Op.Message);
    FUZZ_CHECK(!Seen.Called ||
                   (Seen.Method == HttpMethodPatch &&
                    Seen.Url == u"/redfish/v1/Oem/Velk/Viz/ActionStatus" && Seen.Body == Printed &&
                    Seen.Headers == (std::vector<std::pair<std::string, std::string>>{
                                        {"Content-Type", "application/json;charset=utf-8"},
                                        {"Content-Length", std::to_string(Printed.size())},
                                        {"OData-Version", "4.0"}})),
               "PatchActionStatus sent a wrong request");
  } else {
    EFI_STATUS Expected = Op.EmptyUri   ? EFI_INVALID_PARAMETER
                          : Seen.Called ? Reply.Status
                                        : EFI_NOT_STARTED;
    FUZZ_CHECK(Op.Status == Expected && static_cast<UINT32>(Op.Code) == Code,
               "SendRestRequest returned %llx code %u, expected %llx code %u",
               static_cast<unsigned long long>(Op.Status), static_cast<unsigned>(Op.Code),
               static_cast<unsigned long long>(Expected), static_cast<unsigned>(Code));
    FUZZ_CHECK(!Seen.Called || (Seen.Method == Op.Method && Seen.Headers.empty() && !Seen.HasBody),
               "SendRestRequest sent a wrong request");
    bool Given = Handed && Op.AskBody;
    FUZZ_CHECK(Op.Body == (Given ? Seen.BodyHandedOver : nullptr) &&
                   Op.Length == (Given && Op.AskLength ? Reply.BodyLength : 0x5A5A),
               "SendRestRequest handed over the wrong body or length");
  }
  return 0;
}
