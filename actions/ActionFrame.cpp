#include "actions/ActionFrame.h"

#include "actions/JsonNumber.h"
#include "core/JsonDepth.h"
#include "redfish/ActionStatusClient.h"
#include "text/TextHelpers.h"

bool ActionResource::Load(EFI_REST_PROTOCOL *Rest, const CHAR16 *Uri, const CHAR8 *ParseFormat,
                          CHAR8 *Message, UINTN MessageSize) {
  UINTN Length = 0;
  EFI_STATUS Status = GetResource(Rest, Uri, mBody.Receive(), &Length);
  if (EFI_ERROR(Status) || Length == 0 || !mBody) {
    return false;
  }
  ClearJsonAllocationFailure();
  mDocument.Reset(JsonParseWithinDepth(mBody.Get()));
  if (!mDocument) {
    // A parse that ran out of memory has no meaningful position.
    const CHAR8 *Position = JsonAllocationFailed() ? nullptr : JsonParseErrorPosition();
    ReportFailure(Rest, Message, MessageSize, ParseFormat, Position);
    return false;
  }
  return true;
}

const CHAR8 *ActionResource::String(const CHAR8 *Name) const {
  const cJSON *Item = cJSON_GetObjectItem(mDocument.Get(), Name);
  return cJSON_IsString(Item) ? Item->valuestring : nullptr;
}

PoolPtr<CHAR8> ActionResource::CopyString(const CHAR8 *Name) const {
  const CHAR8 *Value = String(Name);
  return Value != nullptr ? AsciiStrDuplicate(Value) : PoolPtr<CHAR8>();
}

UINT64 ActionResource::Integer(const CHAR8 *Name, UINT64 Absent) const {
  const cJSON *Item = cJSON_GetObjectItem(mDocument.Get(), Name);
  UINT64 Value = 0;
  return JsonIntegerValue(mBody.Get(), mDocument.Get(), Item, &Value) ? Value : Absent;
}

bool ActionResource::Switch(const CHAR8 *Name) const {
  return cJSON_IsTrue(cJSON_GetObjectItem(mDocument.Get(), Name)) != 0;
}

void ReportFailure(EFI_REST_PROTOCOL *Rest, CHAR8 *Message, UINTN MessageSize,
                   const CHAR8 *Format, const CHAR8 *Argument) {
  BoundedFormat(Message, MessageSize, Format, Argument);
  (void)PatchActionStatus(Rest, "Failed", Message);
}

void TerminateErrorMessage(CHAR8 (&ErrorMessage)[NVDIMM_ERROR_MESSAGE_SIZE]) {
  ErrorMessage[NVDIMM_ERROR_MESSAGE_SIZE - 1] = '\0';
}
