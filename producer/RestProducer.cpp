#include "producer/RestProducer.h"

#include "core/BootServices.h"
#include "core/Memory.h"
#include "core/Placement.h"
#include "core/Pool.h"
#include "platform/Guids.h"
#include "producer/ProducerText.h"

namespace {

/// The retry of a service that has not answered yet: once a second.
constexpr UINT64 RETRY_PERIOD = 10000000;
/// "http://" + the authority + a path: the room beyond the path.
constexpr UINTN URL_PREFIX_ROOM = 8 + SERVICE_AUTHORITY_SIZE;
constexpr CHAR16 PROBE_PATH[] = u"/redfish";
/// The producer's own headers a request may carry: Host, Content-Length,
/// Authorization.
constexpr UINTN OWN_HEADERS = 3;

/// The headers the producer writes itself; the caller's versions are left out.
bool IsOwnHeader(const CHAR8 *Name) {
  return AsciiStrEqualNoCase(Name, "Host") || AsciiStrEqualNoCase(Name, "Content-Length") ||
         AsciiStrEqualNoCase(Name, "Connection") || AsciiStrEqualNoCase(Name, "Transfer-Encoding");
}

bool NeedsLength(EFI_HTTP_METHOD Method, UINTN BodyLength) {
  return BodyLength != 0 || Method == HttpMethodPost || Method == HttpMethodPut ||
         Method == HttpMethodPatch;
}

}  // namespace

RestProducer::RestProducer()
    : mRest{{SendReceiveEntry, GetServiceTimeEntry}, this},
      mService{{PRODUCER_SERVICE_REVISION, GetServiceStatusEntry}, this} {}

EFI_STATUS EFIAPI RestProducer::SendReceiveEntry(EFI_REST_PROTOCOL *This, EFI_HTTP_MESSAGE *Request,
                                                 EFI_HTTP_MESSAGE *Response) {
  if (This == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  return reinterpret_cast<PRODUCER_REST *>(This)->Producer->SendReceive(Request, Response);
}

EFI_STATUS EFIAPI RestProducer::GetServiceTimeEntry(EFI_REST_PROTOCOL *This, EFI_TIME *Time) {
  (void)This;
  (void)Time;
  return EFI_UNSUPPORTED;
}

// The protocol's signature: Status is the caller's to write into.
EFI_STATUS EFIAPI
RestProducer::GetServiceStatusEntry(REDFISH_SERVICE_PROTOCOL *This, UINT64 Reserved,
                                    UINT64 *Status) {  // NOLINT(readability-non-const-parameter)
  (void)Reserved;
  (void)Status;
  if (This == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  return reinterpret_cast<PRODUCER_SERVICE *>(This)->Producer->ServiceStatus();
}

EFI_STATUS RestProducer::Send(EFI_HTTP_METHOD Method, const CHAR16 *Path,
                              const EFI_HTTP_HEADER *Headers, UINTN HeaderCount, VOID *Body,
                              UINTN BodyLength, HTTP_ANSWER *Answer) {
  UINTN PathLength = 0;
  while (Path[PathLength] != 0) {
    PathLength++;
  }
  auto Url = PoolPtr<CHAR16>::AllocateZeroed(URL_PREFIX_ROOM + 3 * PathLength + 1);
  auto Sent = PoolPtr<EFI_HTTP_HEADER>::AllocateZeroed(HeaderCount + OWN_HEADERS);
  if (!Url || !Sent) {
    return EFI_OUT_OF_RESOURCES;
  }
  // The stack takes only absolute URLs: "http://" + authority + path.
  UINTN At = 0;
  const CHAR8 *Parts[] = {"http://", mLocation.Authority};
  for (const CHAR8 *Part : Parts) {
    for (; *Part != '\0'; Part++) {
      Url[At++] = static_cast<CHAR16>(*Part);
    }
  }
  // The path as a URI: a byte a request line cannot carry (a control
  // character, space, or one above 0x7F) as %XX. A code unit above 0xFF
  // stands for its low byte, as HttpDxe's conversion takes it (in a DEBUG
  // build that conversion ASSERTs instead): a CHAR8 path widened with its
  // sign gives such units.
  static constexpr CHAR8 HEX[] = "0123456789ABCDEF";
  for (UINTN Index = 0; Index < PathLength; Index++) {
    CHAR16 Unit = Path[Index];
    UINT8 Byte = static_cast<UINT8>(Unit);
    if (Unit > 0x20 && Unit < 0x7F) {
      Url[At++] = Unit;
    } else {
      Url[At++] = u'%';
      Url[At++] = static_cast<CHAR16>(HEX[Byte >> 4]);
      Url[At++] = static_cast<CHAR16>(HEX[Byte & 0xF]);
    }
  }

  // The caller's headers, then Host, Content-Length and Authorization, which
  // the stack does not add; the stack copies them all before Request returns.
  static constexpr CHAR8 HOST[] = "Host";
  static constexpr CHAR8 CONTENT_LENGTH[] = "Content-Length";
  static constexpr CHAR8 AUTHORIZATION[] = "Authorization";
  UINTN Count = 0;
  bool HasAuthorization = false;
  for (UINTN Index = 0; Index < HeaderCount; Index++) {
    const EFI_HTTP_HEADER &Header = Headers[Index];
    if (Header.FieldName == nullptr || Header.FieldValue == nullptr ||
        IsOwnHeader(Header.FieldName)) {
      continue;
    }
    HasAuthorization = HasAuthorization || AsciiStrEqualNoCase(Header.FieldName, AUTHORIZATION);
    Sent[Count++] = Header;
  }
  Sent[Count++] = {const_cast<CHAR8 *>(HOST), mLocation.Authority};
  // Sent points into Length until the exchange is over: it lives as long.
  // cppcheck-suppress variableScope
  CHAR8 Length[24] = {};
  if (NeedsLength(Method, BodyLength)) {
    TEXT_BUILDER(Length, sizeof(Length)).AddDecimal(BodyLength);
    Sent[Count++] = {const_cast<CHAR8 *>(CONTENT_LENGTH), Length};
  }
  if (!HasAuthorization && mAuthorization[0] != '\0') {
    Sent[Count++] = {const_cast<CHAR8 *>(AUTHORIZATION), mAuthorization};
  }
  HTTP_ASK Ask = {Method, Url.Get(), Count, Sent.Get(), BodyLength, Body};
  EFI_STATUS Status = mChannel.Exchange(Ask, mLocation.TimeoutMs, Answer);
  if (Status == EFI_SUCCESS) {
    mAnswered = true;
  }
  return Status;
}

EFI_STATUS RestProducer::SendReceive(EFI_HTTP_MESSAGE *Request, EFI_HTTP_MESSAGE *Response) {
  // The network stack raises to TPL_CALLBACK inside; above it, nothing may go
  // near the network (a raise that lowers, then a wait that never ends).
  EFI_TPL Tpl = gBS->RaiseTPL(TPL_HIGH_LEVEL);
  gBS->RestoreTPL(Tpl);
  if (Tpl > TPL_CALLBACK) {
    return EFI_ACCESS_DENIED;
  }
  const EFI_HTTP_REQUEST_DATA *Data = Request != nullptr ? Request->Data.Request : nullptr;
  if (Data == nullptr || Data->Url == nullptr || Data->Url[0] != u'/' || Response == nullptr ||
      (Request->HeaderCount != 0 && Request->Headers == nullptr) ||
      (Request->BodyLength != 0 && Request->Body == nullptr)) {
    return EFI_INVALID_PARAMETER;
  }
  if (!mOpen) {
    return EFI_NOT_READY;
  }
  HTTP_ANSWER Answer = {};
  EFI_STATUS Status = Send(Data->Method, Data->Url, Request->Headers, Request->HeaderCount,
                           Request->Body, Request->BodyLength, &Answer);
  if (Status != EFI_SUCCESS) {
    return Status;
  }
  // The caller placed a record for the status; one it did not place is
  // allocated, and released by the caller with the rest.
  EFI_HTTP_RESPONSE_DATA *Record = Response->Data.Response;
  if (Record == nullptr) {
    Record = static_cast<EFI_HTTP_RESPONSE_DATA *>(AllocateZeroPool(sizeof(*Record)));
    if (Record == nullptr) {
      FreeHeaders(Answer.Headers, Answer.HeaderCount);
      FreePool(Answer.Body);
      return EFI_OUT_OF_RESOURCES;
    }
  }
  Record->StatusCode = Answer.StatusCode;
  Response->Data.Response = Record;
  Response->HeaderCount = Answer.HeaderCount;
  Response->Headers = Answer.Headers;
  Response->BodyLength = Answer.BodyLength;
  Response->Body = Answer.Body;
  return EFI_SUCCESS;
}

bool RestProducer::Probe() {
  static constexpr CHAR8 ACCEPT[] = "Accept";
  static constexpr CHAR8 JSON[] = "application/json";
  const EFI_HTTP_HEADER Headers[] = {{const_cast<CHAR8 *>(ACCEPT), const_cast<CHAR8 *>(JSON)}};
  HTTP_ANSWER Answer = {};
  EFI_STATUS Status = Send(HttpMethodGet, PROBE_PATH, Headers, 1, nullptr, 0, &Answer);
  FreeHeaders(Answer.Headers, Answer.HeaderCount);
  FreePool(Answer.Body);
  return Status == EFI_SUCCESS;
}

VOID EFIAPI RestProducer::OnRetry(EFI_EVENT Event, VOID *Context) {
  auto *Producer = static_cast<RestProducer *>(Context);
  if (!Producer->mAnswered) {
    // A host address taken by DHCP arrives late; the stack takes it only on
    // a fresh configuration.
    Producer->mChannel.Reset();
    if (!Producer->Probe()) {
      return;
    }
  }
  (void)gBS->SetTimer(Event, TimerCancel, 0);
  (void)gBS->CloseEvent(Event);
  Producer->mRetry = nullptr;
  (void)gBS->InstallProtocolInterface(&Producer->mHandle, &gRedfishReadyGuid, EFI_NATIVE_INTERFACE,
                                      nullptr);
}

EFI_STATUS RestProducer::Begin(EFI_HANDLE Nic) {
  EFI_STATUS Status = mChannel.Open(Nic, mLocation);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  mOpen = true;
  // A service that answers at once is announced whole: the REST protocol,
  // the service protocol and Redfish-ready together.
  bool Answered = Probe();
  mHandle = nullptr;
  Status = gBS->InstallMultipleProtocolInterfaces(
      &mHandle, &gEfiRestProtocolGuid, &mRest.Protocol, &gRedfishServiceProtocolGuid,
      &mService.Protocol, Answered ? &gRedfishReadyGuid : nullptr, nullptr, nullptr);
  if (EFI_ERROR(Status)) {
    mChannel.Close();
    mOpen = false;
    return Status;
  }
  if (Answered) {
    return EFI_SUCCESS;
  }
  // Installed: from here the producer stays, with or without its retries (a
  // timer that cannot be made leaves the service to be found by a later
  // request).
  if (gBS->CreateEvent(EVT_TIMER | EVT_NOTIFY_SIGNAL, TPL_CALLBACK, OnRetry, this, &mRetry) ==
      EFI_SUCCESS) {
    (void)gBS->SetTimer(mRetry, TimerPeriodic, RETRY_PERIOD);
  }
  return EFI_SUCCESS;
}

namespace {

/// The first handle with the HTTP service binding; false when there is none.
bool FirstHttpService(EFI_HANDLE *Nic) {
  UINTN Count = 0;
  EFI_HANDLE *Handles = nullptr;
  bool Found = gBS->LocateHandleBuffer(ByProtocol, &gEfiHttpServiceBindingProtocolGuid, nullptr,
                                       &Count, &Handles) == EFI_SUCCESS &&
               Count != 0;
  if (Found) {
    *Nic = Handles[0];
  }
  FreePool(Handles);
  return Found;
}

/// Connects every handle that carries Protocol, with what is below it.
void ConnectEvery(EFI_GUID *Protocol) {
  UINTN Count = 0;
  EFI_HANDLE *Handles = nullptr;
  if (gBS->LocateHandleBuffer(ByProtocol, Protocol, nullptr, &Count, &Handles) == EFI_SUCCESS) {
    for (UINTN Index = 0; Index < Count; Index++) {
      (void)gBS->ConnectController(Handles[Index], nullptr, nullptr, TRUE);
    }
  }
  FreePool(Handles);
}

}  // namespace

EFI_STATUS RestProducer::FindNetwork(EFI_HANDLE *Nic) {
  // A boot that connected only the devices it boots from left the network
  // interfaces without their stack, or without a driver at all: the
  // interfaces are connected, then, failing that, the PCI devices.
  // cppcheck-suppress constVariable ; LocateHandleBuffer takes the GUIDs writable
  EFI_GUID *const Below[] = {&gEfiSimpleNetworkProtocolGuid, &gEfiPciIoProtocolGuid};
  if (FirstHttpService(Nic)) {
    return EFI_SUCCESS;
  }
  for (EFI_GUID *Protocol : Below) {
    ConnectEvery(Protocol);
    if (FirstHttpService(Nic)) {
      return EFI_SUCCESS;
    }
  }
  return EFI_NOT_FOUND;
}

VOID EFIAPI RestProducer::OnNetworkInstalled(EFI_EVENT Event, VOID *Context) {
  auto *Producer = static_cast<RestProducer *>(Context);
  EFI_HANDLE Nic = nullptr;
  if (Producer->mOpen || EFI_ERROR(Producer->FindNetwork(&Nic))) {
    return;
  }
  (void)gBS->CloseEvent(Event);
  Producer->mNetworkEvent = nullptr;
  (void)Producer->Begin(Nic);
}

EFI_STATUS RestProducer::Start() {
  EFI_STATUS Status = FindServiceLocation(gST, &mLocation);
  if (EFI_ERROR(Status)) {
    return EFI_NOT_FOUND;
  }
  if (mLocation.Credentials[0] != '\0') {
    TEXT_BUILDER Text(mAuthorization, sizeof(mAuthorization));
    Text.Add("Basic ");
    Text.AddBase64(mLocation.Credentials, AsciiStrLen(mLocation.Credentials));
  }
  EFI_HANDLE Nic = nullptr;
  if (!EFI_ERROR(FindNetwork(&Nic))) {
    return Begin(Nic);
  }
  // The network stack comes later: the producer begins when its HTTP
  // service is installed.
  Status =
      gBS->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, OnNetworkInstalled, this, &mNetworkEvent);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  Status = gBS->RegisterProtocolNotify(&gEfiHttpServiceBindingProtocolGuid, mNetworkEvent,
                                       &mNetworkRegistration);
  if (EFI_ERROR(Status)) {
    (void)gBS->CloseEvent(mNetworkEvent);
    mNetworkEvent = nullptr;
  }
  return Status;
}

extern "C" EFI_STATUS EFIAPI RestProducerEntry(EFI_HANDLE ImageHandle,
                                               EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  gST = SystemTable;
  gBS = SystemTable->BootServices;
  gRT = SystemTable->RuntimeServices;
  VOID *Block = AllocateZeroPool(sizeof(RestProducer));
  if (Block == nullptr) {
    return EFI_OUT_OF_RESOURCES;
  }
  auto *Producer = new (Block) RestProducer();
  EFI_STATUS Status = Producer->Start();
  if (EFI_ERROR(Status)) {
    // Nothing was installed nor registered: the image may be unloaded.
    Producer->~RestProducer();
    FreePool(Block);
  }
  return Status;
}
