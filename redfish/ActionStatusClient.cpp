#include "redfish/ActionStatusClient.h"

#include "core/Json.h"
#include "core/Pool.h"
#include "redfish/RestExchange.h"
#include "text/TextHelpers.h"

const CHAR16 ACTION_STATUS_URI[] = u"/redfish/v1/Oem/Velk/Viz/ActionStatus";

namespace {

constexpr const CHAR8 *JSON_MEDIA_TYPE = "application/json;charset=utf-8";
constexpr const CHAR8 *ODATA_VERSION = "4.0";
constexpr UINTN GET_HEADER_CAPACITY = 2;
constexpr UINTN PATCH_HEADER_CAPACITY = 3;
constexpr UINTN CONTENT_LENGTH_SIZE = 10;

/// Adds a string member; a member that cannot be allocated is left out.
void AddStringMember(cJSON *Object, const CHAR8 *Name, const CHAR8 *Value) {
  cJSON *Item = cJSON_CreateString(Value);
  if (Item != nullptr && !cJSON_AddItemToObject(Object, Name, Item)) {
    cJSON_Delete(Item);
  }
}

}  // namespace

EFI_STATUS GetResource(EFI_REST_PROTOCOL *Rest, const CHAR16 *Uri, CHAR8 **Body, UINTN *Length) {
  HeaderList Headers(GET_HEADER_CAPACITY);
  EFI_STATUS Status = HeaderListInit(&Headers);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  (void)HeaderListSet(&Headers, "Accept", JSON_MEDIA_TYPE);
  (void)HeaderListSet(&Headers, "OData-Version", ODATA_VERSION);

  PoolPtr<CHAR8> ResponseBody;
  UINTN ResponseLength = 0;
  EFI_HTTP_STATUS_CODE StatusCode = HTTP_STATUS_UNSUPPORTED_STATUS;
  Status = SendRestRequest(Rest, HttpMethodGet, Uri, &Headers, nullptr, 0, ResponseBody.Receive(),
                           &ResponseLength, &StatusCode);
  if (StatusCode != HTTP_STATUS_200_OK) {
    return EFI_PROTOCOL_ERROR;
  }
  if (Body != nullptr) {
    *Body = ResponseBody.Release();
  }
  if (Length != nullptr) {
    *Length = ResponseLength;
  }
  return Status;
}

EFI_STATUS PatchActionStatus(EFI_REST_PROTOCOL *Rest, const CHAR8 *StatusText,
                             const CHAR8 *Message) {
  JsonDocument Report(cJSON_CreateObject());
  if (!Report) {
    return EFI_OUT_OF_RESOURCES;
  }
  AddStringMember(Report.Get(), "Status", StatusText);
  AddStringMember(Report.Get(), "StatusMessage", Message);
  JsonText Printed(cJSON_Print(Report.Get()));
  if (!Printed) {
    return EFI_OUT_OF_RESOURCES;
  }

  HeaderList Headers(PATCH_HEADER_CAPACITY);
  EFI_STATUS Status = HeaderListInit(&Headers);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  UINTN BodyLength = AsciiStrLen(Printed.Get());
  CHAR8 ContentLength[CONTENT_LENGTH_SIZE] = {};
  BoundedFormat(ContentLength, sizeof(ContentLength), "%d", static_cast<INT32>(BodyLength));
  (void)HeaderListSet(&Headers, "Content-Type", JSON_MEDIA_TYPE);
  (void)HeaderListSet(&Headers, "Content-Length", ContentLength);
  (void)HeaderListSet(&Headers, "OData-Version", ODATA_VERSION);

  EFI_HTTP_STATUS_CODE StatusCode = HTTP_STATUS_UNSUPPORTED_STATUS;
  Status = SendRestRequest(Rest, HttpMethodPatch, ACTION_STATUS_URI, &Headers, Printed.Get(),
                           BodyLength, nullptr, nullptr, &StatusCode);
  if (StatusCode != HTTP_STATUS_200_OK && StatusCode != HTTP_STATUS_204_NO_CONTENT) {
    return EFI_PROTOCOL_ERROR;
  }
  return Status;
}
