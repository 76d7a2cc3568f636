#include "actions/ActionFrame.h"

#include "actions/ActionRecord.h"
#include "actions/JsonNumber.h"
#include "redfish/ActionStatusClient.h"
#include "text/TextHelpers.h"

const CHAR8 *OutcomeStatusText(EFI_STATUS Status) {
  return Status == EFI_SUCCESS ? "Success" : "Failed";
}

const CHAR8 *ComponentMessage(CHAR8 (&ErrorMessage)[NVDIMM_ERROR_MESSAGE_SIZE]) {
  ErrorMessage[NVDIMM_ERROR_MESSAGE_SIZE - 1] = '\0';
  return ErrorMessage;
}

bool ActionFrameBase::Load(const CHAR8 *ParseFormat) {
  UINTN Length = 0;
  EFI_STATUS Status = GetResource(mRest, mUri, mBody.Receive(), &Length);
  if (EFI_ERROR(Status) || Length == 0 || !mBody) {
    return false;
  }
  ClearJsonAllocationFailure();
  mDocument.Reset(cJSON_Parse(mBody.Get()));
  if (!mDocument) {
    // A parse that ran out of memory has no meaningful position.
    const CHAR8 *Position = JsonAllocationFailed() ? nullptr : cJSON_GetErrorPtr();
    ReportFormatted("Failed", ParseFormat, Position);
    return false;
  }
  return true;
}

const CHAR8 *ActionFrameBase::String(const CHAR8 *Name) const {
  const cJSON *Item = cJSON_GetObjectItem(mDocument.Get(), Name);
  return cJSON_IsString(Item) ? Item->valuestring : nullptr;
}

PoolPtr<CHAR8> ActionFrameBase::CopyString(const CHAR8 *Name) const {
  const CHAR8 *Value = String(Name);
  return Value != nullptr ? AsciiStrDuplicate(Value) : PoolPtr<CHAR8>();
}

UINT64 ActionFrameBase::Integer(const CHAR8 *Name, UINT64 Absent) const {
  const cJSON *Item = cJSON_GetObjectItem(mDocument.Get(), Name);
  UINT64 Value = 0;
  return JsonIntegerValue(mBody.Get(), mDocument.Get(), Item, &Value) ? Value : Absent;
}

bool ActionFrameBase::IsTrue(const CHAR8 *Name) const {
  return cJSON_IsTrue(cJSON_GetObjectItem(mDocument.Get(), Name)) != 0;
}

void ActionFrameBase::ReportFormatted(const CHAR8 *StatusText, const CHAR8 *Format,
                                      const CHAR8 *Argument) {
  BoundedFormat(mMessage, mMessageSize, Format, Argument);
  ReportText(StatusText, mMessage);
}

void ActionFrameBase::ReportText(const CHAR8 *StatusText, const CHAR8 *Text) {
  (void)ReportAction(mRest, mRecord, StatusText, Text);
}

void ActionFrameBase::ReportOutcome(EFI_STATUS Status, const CHAR8 *SuccessText,
                                    const CHAR8 *FailureFormat,
                                    CHAR8 (&ErrorMessage)[NVDIMM_ERROR_MESSAGE_SIZE]) {
  if (Status != EFI_SUCCESS) {
    ReportFormatted("Failed", FailureFormat, ComponentMessage(ErrorMessage));
    return;
  }
  ReportText("Success", SuccessText);
}
