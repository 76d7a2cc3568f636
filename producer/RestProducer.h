// The REST producer: EFI_REST_PROTOCOL over the EFI_HTTP_PROTOCOL of the
// platform's network interface, for a Redfish service at a fixed IPv4
// address (producer/ServiceLocation.h says where). It installs, on one
// handle of its own, EFI_REST_PROTOCOL and REDFISH_SERVICE_PROTOCOL, and
// RedfishReadyGuid once the service has answered; until then
// GetServiceStatus says EFI_NOT_READY, and a timer tries the service again
// every second.
//
// SendReceive takes a request whose URL is a path ("/redfish/v1/..."), sends
// it to the service as an absolute URL with Host, Content-Length and the
// configured credentials added, and hands the answer over as pool memory the
// caller releases. Above TPL_CALLBACK it refuses at once with
// EFI_ACCESS_DENIED, without any network I/O: EDK2's network stack raises
// the TPL to TPL_CALLBACK inside, which a caller at TPL_NOTIFY would turn
// into a lowering (an ASSERT in a DEBUG build) and a hang.
#pragma once

#include "platform/RedfishServiceProtocol.h"
#include "producer/HttpChannel.h"
#include "uefi/Rest.h"

class RestProducer;

/// The installed records, each followed by the way back to the producer.
struct PRODUCER_REST {
  EFI_REST_PROTOCOL Protocol;
  RestProducer *Producer;
};

struct PRODUCER_SERVICE {
  REDFISH_SERVICE_PROTOCOL Protocol;
  RestProducer *Producer;
};

/// The revision the producer's REDFISH_SERVICE_PROTOCOL carries.
constexpr UINT64 PRODUCER_SERVICE_REVISION = 0x00010000;

class RestProducer {
 public:
  RestProducer();
  RestProducer(const RestProducer &) = delete;
  RestProducer &operator=(const RestProducer &) = delete;

  /// Reads the configuration, finds the network interface (connecting the
  /// interfaces when no HTTP service is there yet, or waiting for one to be
  /// installed), opens the HTTP child and asks the service once.
  /// EFI_NOT_FOUND when no configuration names a service; otherwise
  /// EFI_SUCCESS or the failing call's status.
  [[nodiscard]] EFI_STATUS Start();

  /// EFI_REST_PROTOCOL.SendReceive, as the header says.
  [[nodiscard]] EFI_STATUS SendReceive(EFI_HTTP_MESSAGE *Request, EFI_HTTP_MESSAGE *Response);

  /// EFI_SUCCESS once the service has answered, EFI_NOT_READY before.
  [[nodiscard]] EFI_STATUS ServiceStatus() const { return mAnswered ? EFI_SUCCESS : EFI_NOT_READY; }

  /// Where the service is.
  [[nodiscard]] const REDFISH_SERVICE_LOCATION &Location() const { return mLocation; }

 private:
  static EFI_STATUS EFIAPI SendReceiveEntry(EFI_REST_PROTOCOL *This, EFI_HTTP_MESSAGE *Request,
                                            EFI_HTTP_MESSAGE *Response);
  static EFI_STATUS EFIAPI GetServiceTimeEntry(EFI_REST_PROTOCOL *This, EFI_TIME *Time);
  static EFI_STATUS EFIAPI GetServiceStatusEntry(REDFISH_SERVICE_PROTOCOL *This, UINT64 Reserved,
                                                 UINT64 *Status);
  static VOID EFIAPI OnRetry(EFI_EVENT Event, VOID *Context);
  static VOID EFIAPI OnNetworkInstalled(EFI_EVENT Event, VOID *Context);

  /// The first handle with the HTTP service binding, after connecting the
  /// network interfaces when there is none yet.
  [[nodiscard]] static EFI_STATUS FindNetwork(EFI_HANDLE *Nic);
  /// Opens the channel on Nic, asks the service, installs the protocols.
  [[nodiscard]] EFI_STATUS Begin(EFI_HANDLE Nic);
  /// GET /redfish: TRUE when the service answered, whatever it said.
  bool Probe();
  /// One exchange through the channel with the producer's own headers added.
  [[nodiscard]] EFI_STATUS Send(EFI_HTTP_METHOD Method, const CHAR16 *Path,
                                const EFI_HTTP_HEADER *Headers, UINTN HeaderCount, VOID *Body,
                                UINTN BodyLength, HTTP_ANSWER *Answer);

  REDFISH_SERVICE_LOCATION mLocation = {};
  /// "Basic <base64 of user:password>", empty without credentials.
  CHAR8 mAuthorization[8 + (SERVICE_CREDENTIALS_SIZE + 2) / 3 * 4 + 1] = {};
  HttpChannel mChannel;
  PRODUCER_REST mRest;
  PRODUCER_SERVICE mService;
  EFI_HANDLE mHandle = nullptr;
  EFI_EVENT mRetry = nullptr;
  EFI_EVENT mNetworkEvent = nullptr;
  VOID *mNetworkRegistration = nullptr;
  bool mAnswered = false;
  bool mOpen = false;
};

/// The image's entry point: makes the one producer and starts it. The
/// producer lives until boot services end.
extern "C" EFI_STATUS EFIAPI RestProducerEntry(EFI_HANDLE ImageHandle,
                                               EFI_SYSTEM_TABLE *SystemTable);
