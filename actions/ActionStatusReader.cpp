#include "actions/ActionStatusReader.h"

#include "actions/ActionRecord.h"
#include "core/Memory.h"
#include "redfish/ActionStatusClient.h"

namespace {

const CHAR8 *StringMember(const cJSON *Document, const CHAR8 *Name) {
  const cJSON *Item = cJSON_GetObjectItem(Document, Name);
  return cJSON_IsString(Item) ? Item->valuestring : nullptr;
}

}  // namespace

EFI_STATUS ActionStatusReader::Read(EFI_REST_PROTOCOL *Rest, const ActionRecord &Record) {
  UINTN Length = 0;
  EFI_STATUS Status = GetResource(Rest, ACTION_STATUS_URI, mBody.Receive(), &Length);
  if (EFI_ERROR(Status) || Length == 0 || !mBody) {
    return Status;
  }
  mDocument.Reset(cJSON_Parse(mBody.Get()));
  if (!mDocument) {
    return EFI_LOAD_ERROR;
  }
  const CHAR8 *State = StringMember(mDocument.Get(), "Status");
  if (State == nullptr) {
    return Status;
  }
  if (AsciiStrEqual(State, "Issued")) {
    mActionName = StringMember(mDocument.Get(), "ActionName");
    mActionUri = StringMember(mDocument.Get(), "ActionUri");
    mKind = mActionName == nullptr || mActionUri == nullptr      ? ACTION_STATUS_KIND::Issued
            : RecordHoldsAction(Record, mActionName, mActionUri) ? ACTION_STATUS_KIND::KeptAction
                                                                 : ACTION_STATUS_KIND::IssuedAction;
  } else if (AsciiStrEqual(State, "Inprogress") &&
             cJSON_GetObjectItem(mDocument.Get(), "ActionName") != nullptr) {
    mKind = ACTION_STATUS_KIND::Inprogress;
  }
  return Status;
}
