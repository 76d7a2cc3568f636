// One SendReceive call: check the request, decide the answer (overrides
// first, then the service's own), hand the response over to the driver and
// record the "rest" event.
#include "sim/common/ExactJson.h"
#include "sim/common/HttpNames.h"
#include "sim/common/MergeObject.h"
#include "sim/common/SimTextWriter.h"
#include "sim/redfish/RedfishService.h"

struct RedfishService::ANSWER {
  bool NoResponse = false;          // a transport failure: SendReceive returns Status
  EFI_STATUS Status = EFI_SUCCESS;  // with a response too: what SendReceive returns
  UINT32 Code = 0;
  bool RawCode = false;  // the response record gets StatusCode as it stands
  UINT32 StatusCode = 0;
  bool OwnRecord = false;       // the code goes in a response record of the producer's own
  const CHAR8 *Body = nullptr;  // borrowed; null: no body
  UINTN BodyLength = 0;
  SimBlock Merged;  // an accepted PATCH: the resource's new body
  UINTN MergedLength = 0;
  REDFISH_RESOURCE *Target = nullptr;
};

namespace {

constexpr CHAR8 mNotFoundBody[] =
    "{\"error\":{\"code\":\"Base.1.8.ResourceMissingAtURI\","
    "\"message\":\"The resource at the URI was not found.\"}}";
constexpr CHAR8 mBadRequestBody[] =
    "{\"error\":{\"code\":\"Base.1.8.MalformedJSON\","
    "\"message\":\"The request body is not a JSON object.\"}}";
constexpr CHAR8 mNotAllowedBody[] =
    "{\"error\":{\"code\":\"Base.1.8.GeneralError\","
    "\"message\":\"The method is not allowed on the URI.\"}}";

/// cJSON under the merge rule of sim/common/MergeObject.h: members move from
/// the patch into the target.
struct CjsonTree {
  using Node = cJSON;
  using Cursor = cJSON *;
  static Cursor Begin(Node *Object) { return Object->child; }
  static bool AtEnd(Node *Object, Cursor Member) {
    (void)Object;
    return Member == nullptr;
  }
  static Cursor After(Cursor Member) { return Member->next; }
  static const CHAR8 *Name(Cursor Member) { return Member->string; }
  static Node *Value(Cursor Member) { return Member; }
  static bool IsObject(const Node *Value) { return cJSON_IsObject(Value) != 0; }
  static Node *Find(Node *Object, const CHAR8 *Name) {
    for (cJSON *Child = Object->child; Child != nullptr; Child = Child->next) {
      if (Child->string != nullptr && SimStringEqual(Child->string, Name)) {
        return Child;
      }
    }
    return nullptr;
  }
  static void Put(Node *Target, Node *Existing, Node *Patch, Cursor Member) {
    cJSON *Taken = cJSON_DetachItemViaPointer(Patch, Member);
    if (Existing != nullptr) {
      cJSON_ReplaceItemViaPointer(Target, Existing, Taken);
    } else {
      // Appending to an object is appending to its child list; the member
      // keeps its name.
      cJSON_AddItemToArray(Target, Taken);
    }
  }
};

/// Copies Text into a fresh block handed to the driver.
CHAR8 *DriverCopy(const PlatformHost &Host, const CHAR8 *Text, UINTN Length) {
  auto *Copy = static_cast<CHAR8 *>(AllocateForDriver(Host, Length + 1));
  if (Copy != nullptr) {
    SimCopyBytes(Copy, Text, Length);
    Copy[Length] = '\0';
  }
  return Copy;
}

/// Blocks allocated for a response; released unless handed over.
class ResponseBlocks {
 public:
  explicit ResponseBlocks(const PlatformHost &Host) : mHost(Host) {}
  ~ResponseBlocks() {
    for (UINTN Index = 0; Index < mCount; Index++) {
      (void)mHost.BootServices->FreePool(mBlocks[Index]);
    }
  }
  ResponseBlocks(const ResponseBlocks &) = delete;
  ResponseBlocks &operator=(const ResponseBlocks &) = delete;

  template <typename T>
  T *Keep(T *Block) {
    if (Block != nullptr) {
      mBlocks[mCount++] = Block;
    }
    return Block;
  }
  void HandedOver() { mCount = 0; }

 private:
  const PlatformHost &mHost;
  VOID *mBlocks[8];
  UINTN mCount = 0;
};

}  // namespace

EFI_STATUS RedfishService::SendReceive(const EFI_HTTP_MESSAGE *Request,
                                       EFI_HTTP_MESSAGE *Response) {
  const EFI_TPL Tpl = CurrentTpl(mHost);
  const EFI_HTTP_REQUEST_DATA *Data = Request != nullptr ? Request->Data.Request : nullptr;
  bool Valid = Data != nullptr && Data->Url != nullptr && Response != nullptr &&
               Response->Data.Response != nullptr &&
               (Request->HeaderCount == 0 || Request->Headers != nullptr) &&
               (Request->BodyLength == 0 || Request->Body != nullptr);

  // The URL narrowed to bytes (the low byte of each code unit), for matching
  // and for the trace.
  SimBlock Uri;
  UINTN UriLength = 0;
  if (Data != nullptr && Data->Url != nullptr) {
    while (Data->Url[UriLength] != 0) {
      UriLength++;
    }
    Uri.Reset(static_cast<CHAR8 *>(cJSON_malloc(UriLength + 1)));
    if (!Uri) {
      Record(Request, nullptr, 0, false, 0, EFI_OUT_OF_RESOURCES, Tpl);
      return EFI_OUT_OF_RESOURCES;
    }
    for (UINTN Index = 0; Index <= UriLength; Index++) {
      Uri.Get()[Index] = static_cast<CHAR8>(Data->Url[Index] & 0xFF);
    }
  }
  if (!Valid) {
    Record(Request, Uri.Get(), UriLength, false, 0, EFI_INVALID_PARAMETER, Tpl);
    return EFI_INVALID_PARAMETER;
  }
  if (Tpl > mHighestTpl) {
    // A producer whose network cannot run at the caller's TPL: no answer,
    // and no override is used up.
    Record(Request, Uri.Get(), UriLength, false, 0, EFI_ACCESS_DENIED, Tpl);
    return EFI_ACCESS_DENIED;
  }

  ANSWER Result;
  EFI_STATUS Status = EFI_OUT_OF_RESOURCES;
  bool Answered = false;
  if (Answer(Request, Data->Method, Uri.Get(), UriLength, static_cast<const CHAR8 *>(Request->Body),
             Request->BodyLength, &Result)) {
    Status = Result.NoResponse ? Result.Status : HandOver(Result, Response);
    Answered = Status == EFI_SUCCESS && !Result.NoResponse;
    if (Answered) {
      // A producer that fails the call may still have filled the response.
      Status = Result.Status;
    }
  }
  if (Answered && Result.Target != nullptr) {
    cJSON_free(Result.Target->Body);
    Result.Target->BodyLength = Result.MergedLength;
    Result.Target->Body = Result.Merged.Release();
  }
  Record(Request, Uri.Get(), UriLength, Answered, Result.Code, Status, Tpl);
  return Status;
}

bool RedfishService::AnswerHttp(EFI_HTTP_METHOD Method, const CHAR8 *Uri, UINTN UriLength,
                                const CHAR8 *Body, UINTN BodyLength, UINT32 *Code,
                                const CHAR8 **AnswerBody, UINTN *AnswerLength) {
  ANSWER Result;
  if (!Answer(nullptr, Method, Uri, UriLength, Body, BodyLength, &Result) || Result.NoResponse) {
    return false;
  }
  // An overridden PATCH changes no resource: its merge is dropped.
  if (Result.Target != nullptr) {
    cJSON_free(Result.Target->Body);
    Result.Target->BodyLength = Result.MergedLength;
    Result.Target->Body = Result.Merged.Release();
  }
  *Code = Result.Code;
  *AnswerBody = Result.Body;
  *AnswerLength = Result.Body != nullptr ? Result.BodyLength : 0;
  return true;
}

bool RedfishService::Answer(const EFI_HTTP_MESSAGE *Request, EFI_HTTP_METHOD Method,
                            const CHAR8 *Uri, UINTN UriLength, const CHAR8 *Body, UINTN BodyLength,
                            ANSWER *Result) {
  const REDFISH_OVERRIDE_SETTING *Override = nullptr;
  for (UINTN Index = 0; Index < mOverrideUses.Count() && Override == nullptr; Index++) {
    const REDFISH_OVERRIDE_SETTING &Candidate = mOverrides[Index];
    if ((Candidate.AnyMethod || Candidate.Method == Method) &&
        (Candidate.Uri == nullptr || SimBytesEqualString(Uri, UriLength, Candidate.Uri)) &&
        (!Candidate.Limited || mOverrideUses[Index] < Candidate.Times)) {
      Override = &Candidate;
      mOverrideUses[Index]++;
    }
  }
  if (Override != nullptr && Override->HasTransport) {
    Result->Status = Override->Transport;
    if (!Override->HasCode && !Override->HasStatusCode && !Override->HasBody) {
      Result->NoResponse = true;
      return true;
    }
  }
  if (mRemote != nullptr) {
    AnswerRemote(Request, Uri, UriLength, Result);
    if (Result->NoResponse) {
      return true;
    }
  } else if (!AnswerService(Method, Uri, UriLength, Body, BodyLength, Result)) {
    return false;
  }
  if (Override != nullptr) {
    // An overridden request changes no resource.
    Result->Target = nullptr;
    if (Override->HasCode) {
      Result->Code = Override->Code;
    }
    Result->OwnRecord = Override->OwnRecord;
    if (Override->HasStatusCode) {
      // The trace names the number such a value stands for, 0 for none.
      Result->RawCode = true;
      Result->StatusCode = Override->StatusCode;
      Result->Code = HttpStatusNumberOf(Override->StatusCode);
    }
    if (Override->HasBody) {
      Result->Body = Override->Body;
      Result->BodyLength = Override->BodyLength;
    }
  }
  return true;
}

bool RedfishService::AnswerService(EFI_HTTP_METHOD Method, const CHAR8 *Uri, UINTN UriLength,
                                   const CHAR8 *Body, UINTN BodyLength, ANSWER *Result) {
  const REDFISH_RESOURCE *Held = Find(Uri, UriLength);
  if (Held == nullptr) {
    Result->Code = 404;
    Result->Body = mNotFoundBody;
  } else if (Method == HttpMethodGet) {
    Result->Code = 200;
    Result->Body = Held->Body;
    Result->BodyLength = Held->BodyLength;
    return true;
  } else if (Method != HttpMethodPatch) {
    Result->Code = 405;
    Result->Body = mNotAllowedBody;
  } else {
    SimJson Patch(ExactJsonParse(Body, BodyLength, nullptr, 0));
    if (!cJSON_IsObject(Patch.Get())) {
      Result->Code = 400;
      Result->Body = mBadRequestBody;
    } else {
      // A body that is not an object (a broken raw one) has nothing to keep.
      SimJson Merged(ExactJsonParse(Held->Body, Held->BodyLength, nullptr, 0));
      if (cJSON_IsObject(Merged.Get())) {
        MergeObject<CjsonTree>(Merged.Get(), Patch.Get());
      } else {
        Merged.Reset(Patch.Release());
      }
      ExactJsonNumbersToRaw(Merged.Get());
      Result->Merged.Reset(cJSON_PrintUnformatted(Merged.Get()));
      if (!Result->Merged) {
        return false;
      }
      Result->MergedLength = SimStringLength(Result->Merged.Get());
      Result->Target = const_cast<REDFISH_RESOURCE *>(Held);
      Result->Code = 204;
      return true;
    }
  }
  Result->BodyLength = SimStringLength(Result->Body);
  return true;
}

void RedfishService::AnswerRemote(const EFI_HTTP_MESSAGE *Request, const CHAR8 *Uri,
                                  UINTN UriLength, ANSWER *Result) {
  CHAR8 *Body = nullptr;
  UINTN BodyLength = 0;
  UINT32 Code = 0;
  if (!mRemote->Send(mRemote->Context, Request, Uri, UriLength, &Code, &Body, &BodyLength)) {
    // Nothing came back: what a producer whose network failed reports.
    Result->NoResponse = true;
    Result->Status = EFI_DEVICE_ERROR;
    return;
  }
  // The answer's body lives in Merged, which without a Target stores nothing.
  Result->Merged.Reset(Body);
  Result->Code = Code;
  Result->Body = Body;
  Result->BodyLength = BodyLength;
}

void RedfishService::RefreshFromRemote() {
  static CHAR16 mNoUrl[] = {0};
  for (UINTN Index = 0; mRemote != nullptr && Index < mResources.Count(); Index++) {
    REDFISH_RESOURCE &Resource = mResources[Index];
    EFI_HTTP_REQUEST_DATA Data = {HttpMethodGet, mNoUrl};
    EFI_HTTP_MESSAGE Request = {};
    Request.Data.Request = &Data;
    CHAR8 *Body = nullptr;
    UINTN BodyLength = 0;
    UINT32 Code = 0;
    if (!mRemote->Send(mRemote->Context, &Request, Resource.Uri, SimStringLength(Resource.Uri),
                       &Code, &Body, &BodyLength)) {
      continue;
    }
    if (Code == 200 && Body != nullptr) {
      cJSON_free(Resource.Body);
      Resource.Body = Body;
      Resource.BodyLength = BodyLength;
    } else if (Body != nullptr) {
      cJSON_free(Body);
    }
  }
}

EFI_STATUS RedfishService::HandOver(const ANSWER &Result, EFI_HTTP_MESSAGE *Response) {
  static constexpr const CHAR8 *HeaderText[][2] = {{"OData-Version", "4.0"},
                                                   {"Content-Type", "application/json"}};
  UINTN HeaderCount = Result.Body != nullptr ? 2 : 1;
  ResponseBlocks Blocks(mHost);
  auto *Headers = Blocks.Keep(static_cast<EFI_HTTP_HEADER *>(
      AllocateForDriver(mHost, HeaderCount * sizeof(EFI_HTTP_HEADER))));
  if (Headers == nullptr) {
    return EFI_OUT_OF_RESOURCES;
  }
  for (UINTN Index = 0; Index < HeaderCount; Index++) {
    const CHAR8 *Name = HeaderText[Index][0];
    const CHAR8 *Value = HeaderText[Index][1];
    Headers[Index].FieldName = Blocks.Keep(DriverCopy(mHost, Name, SimStringLength(Name)));
    Headers[Index].FieldValue = Blocks.Keep(DriverCopy(mHost, Value, SimStringLength(Value)));
    if (Headers[Index].FieldName == nullptr || Headers[Index].FieldValue == nullptr) {
      return EFI_OUT_OF_RESOURCES;
    }
  }
  CHAR8 *Body = nullptr;
  if (Result.Body != nullptr) {
    Body = Blocks.Keep(DriverCopy(mHost, Result.Body, Result.BodyLength));
    if (Body == nullptr) {
      return EFI_OUT_OF_RESOURCES;
    }
  }
  EFI_HTTP_RESPONSE_DATA *Record = Response->Data.Response;
  if (Result.OwnRecord) {
    // The record the caller placed is left untouched.
    Record = Blocks.Keep(static_cast<EFI_HTTP_RESPONSE_DATA *>(
        AllocateForDriver(mHost, sizeof(EFI_HTTP_RESPONSE_DATA))));
    if (Record == nullptr) {
      return EFI_OUT_OF_RESOURCES;
    }
  }
  Blocks.HandedOver();
  Record->StatusCode = Result.RawCode ? static_cast<EFI_HTTP_STATUS_CODE>(Result.StatusCode)
                                      : HttpStatusCodeOf(Result.Code);
  Response->Data.Response = Record;
  Response->HeaderCount = HeaderCount;
  Response->Headers = Headers;
  Response->Body = Body;
  Response->BodyLength = Body != nullptr ? Result.BodyLength : 0;
  return EFI_SUCCESS;
}

void TraceRestCall(Trace &Log, const EFI_HTTP_MESSAGE *Request, bool HasUri, UINTN UriLength,
                   bool Answered, UINT32 Code, EFI_STATUS Status, EFI_TPL Tpl) {
  SimJson Event(Log.NewEvent("rest"));
  const EFI_HTTP_REQUEST_DATA *Data = Request != nullptr ? Request->Data.Request : nullptr;
  CHAR8 MethodNumber[24];
  const CHAR8 *Method = nullptr;
  if (Data != nullptr) {
    Method = HttpMethodName(Data->Method);
    if (Method == nullptr) {
      SimTextWriter Writer(MethodNumber, sizeof(MethodNumber));
      Writer.AddUint(Data->Method);
      Method = MethodNumber;
    }
  }
  // The URI as the code units the driver passed.
  bool Built = TraceAddString(Event.Get(), "method", Method) &&
               (HasUri ? TraceAddItem(Event.Get(), "uri", TraceNewCodeUnits(Data->Url, UriLength))
                       : TraceAddNull(Event.Get(), "uri"));
  // Made only for an event that takes it: TraceAddItem owns it from there.
  cJSON *Headers = Built ? cJSON_CreateArray() : nullptr;
  Built = Built && TraceAddItem(Event.Get(), "headers", Headers);
  if (Built && Request != nullptr && Request->Headers != nullptr) {
    for (UINTN Index = 0; Built && Index < Request->HeaderCount; Index++) {
      cJSON *Pair = cJSON_CreateArray();
      Built = cJSON_AddItemToArray(Headers, Pair) &&
              TraceAddString(Pair, nullptr, Request->Headers[Index].FieldName) &&
              TraceAddString(Pair, nullptr, Request->Headers[Index].FieldValue);
    }
  }
  bool HasBody = Request != nullptr && Request->Body != nullptr;
  Built =
      Built &&
      (HasBody ? TraceAddBytes(Event.Get(), "body", static_cast<const CHAR8 *>(Request->Body),
                               Request->BodyLength)
               : TraceAddNull(Event.Get(), "body")) &&
      (Answered ? TraceAddUint(Event.Get(), "code", Code) : TraceAddNull(Event.Get(), "code")) &&
      TraceAddStatus(Event.Get(), "status", Status) && TraceAddUint(Event.Get(), "tpl", Tpl);
  if (Built) {
    Log.Emit(Event.Release());
  }
}

void RedfishService::Record(const EFI_HTTP_MESSAGE *Request, const CHAR8 *Uri, UINTN UriLength,
                            bool Answered, UINT32 Code, EFI_STATUS Status, EFI_TPL Tpl) {
  TraceRestCall(mLog, Request, Uri != nullptr, UriLength, Answered, Code, Status, Tpl);
}
