#include "redfish/RestExchange.h"

#include "core/Pool.h"
#include "platform/Guids.h"

namespace {

/// Owns what the producer placed in a response message.
class ResponseContents {
 public:
  explicit ResponseContents(EFI_HTTP_MESSAGE &Message) : mMessage(Message) {}
  ~ResponseContents() {
    for (UINTN Index = 0; mMessage.Headers != nullptr && Index < mMessage.HeaderCount; Index++) {
      FreePool(mMessage.Headers[Index].FieldName);
      FreePool(mMessage.Headers[Index].FieldValue);
    }
    FreePool(mMessage.Headers);
    FreePool(mMessage.Body);
    // A producer may answer in a response record of its own instead of the
    // one placed; that record is handed over too. The placed one has its
    // own owner.
    if (mMessage.Data.Response != mPlaced) {
      FreePool(mMessage.Data.Response);
    }
  }
  ResponseContents(const ResponseContents &) = delete;
  ResponseContents &operator=(const ResponseContents &) = delete;

  /// Places Record, owned by the caller, for the producer to fill in.
  void Place(EFI_HTTP_RESPONSE_DATA *Record) {
    mPlaced = Record;
    mMessage.Data.Response = Record;
  }

  /// The status code in the record the message points to after the call;
  /// HTTP_STATUS_UNSUPPORTED_STATUS when the producer left it none.
  EFI_HTTP_STATUS_CODE StatusCode() const {
    return mMessage.Data.Response != nullptr ? mMessage.Data.Response->StatusCode
                                             : HTTP_STATUS_UNSUPPORTED_STATUS;
  }

  /// Hands the body to the caller; it is no longer released here.
  CHAR8 *TakeBody() {
    auto *Body = static_cast<CHAR8 *>(mMessage.Body);
    mMessage.Body = nullptr;
    return Body;
  }

 private:
  EFI_HTTP_MESSAGE &mMessage;
  EFI_HTTP_RESPONSE_DATA *mPlaced = nullptr;
};

/// TRUE when Rest is the REST instance on the one Redfish service handle.
bool IsServiceInstance(const EFI_REST_PROTOCOL *Rest) {
  EFI_HANDLE Handle = nullptr;
  UINTN BufferSize = sizeof(Handle);
  EFI_STATUS Status =
      gBS->LocateHandle(ByProtocol, &gRedfishServiceProtocolGuid, nullptr, &BufferSize, &Handle);
  if (EFI_ERROR(Status)) {
    return false;
  }
  VOID *Instance = nullptr;
  Status = gBS->HandleProtocol(Handle, &gEfiRestProtocolGuid, &Instance);
  return !EFI_ERROR(Status) && Instance == Rest;
}

}  // namespace

EFI_STATUS SendRestRequest(EFI_REST_PROTOCOL *Rest, EFI_HTTP_METHOD Method, const CHAR16 *Uri,
                           HeaderList *Headers, const CHAR8 *Body, UINTN BodyLength,
                           CHAR8 **ResponseBody, UINTN *ResponseBodyLength,
                           EFI_HTTP_STATUS_CODE *StatusCode) {
  if (StatusCode == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  *StatusCode = HTTP_STATUS_UNSUPPORTED_STATUS;
  if (Rest == nullptr || Uri == nullptr || Uri[0] == 0) {
    return EFI_INVALID_PARAMETER;
  }

  EFI_HTTP_MESSAGE Request = {};
  EFI_HTTP_MESSAGE Response = {};
  auto RequestData = PoolPtr<EFI_HTTP_REQUEST_DATA>::AllocateZeroed();
  if (!RequestData) {
    return EFI_OUT_OF_RESOURCES;
  }
  RequestData->Method = Method;
  RequestData->Url = const_cast<CHAR16 *>(Uri);
  Request.Data.Request = RequestData.Get();
  if (Headers != nullptr && Headers->Headers != nullptr) {
    // Only the slots in use go out: a header whose copy could not be
    // allocated leaves its slot free, and a producer must never be handed a
    // header without a name or value. Slots are filled from the front, so
    // the used ones come first.
    UINTN Used = 0;
    while (Used < Headers->Count && Headers->Headers[Used].FieldName != nullptr &&
           Headers->Headers[Used].FieldValue != nullptr) {
      Used++;
    }
    Request.HeaderCount = Used;
    Request.Headers = Used != 0 ? Headers->Headers : nullptr;
  }
  if (Body != nullptr) {
    Request.BodyLength = BodyLength;
    Request.Body = const_cast<CHAR8 *>(Body);
  }

  // Owners are released in reverse order: the response data, then what the
  // producer placed in the response, then the request data.
  ResponseContents Contents(Response);
  auto ResponseData = PoolPtr<EFI_HTTP_RESPONSE_DATA>::AllocateZeroed();
  if (!ResponseData) {
    return EFI_OUT_OF_RESOURCES;
  }
  Contents.Place(ResponseData.Get());

  if (!IsServiceInstance(Rest)) {
    return EFI_NOT_STARTED;
  }

  EFI_STATUS Status = Rest->SendReceive(Rest, &Request, &Response);
  if (!EFI_ERROR(Status)) {
    if (ResponseBody != nullptr) {
      if (ResponseBodyLength != nullptr) {
        *ResponseBodyLength = Response.BodyLength;
      }
      *ResponseBody = Contents.TakeBody();
    }
    *StatusCode = Contents.StatusCode();
  }
  return Status;
}
