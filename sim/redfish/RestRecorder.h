// The trace of a REST producer that is not the simulated service's own: in
// network mode the platform dispatches the REST producer over the HTTP stack,
// and its SendReceive calls are what the driver's requests meet. The
// recorder watches for EFI_REST_PROTOCOL installations (a notification at
// TPL_NOTIFY, which runs before any at TPL_CALLBACK: before the driver can
// use the new instance) and interposes on each new instance's SendReceive:
// it brackets the call for the host's accounting, hands the answer's blocks
// over to the caller, and writes the same "rest" event the simulated
// service writes.
#pragma once

#include "sim/common/PlatformHost.h"
#include "sim/redfish/RedfishService.h"

/// How many REST instances one boot may interpose on.
constexpr UINTN REST_RECORDER_SLOTS = 8;

class RestRecorder {
 public:
  /// Host and Log must outlive the recorder.
  RestRecorder(const PlatformHost &Host, Trace &Log) : mHost(Host), mLog(Log) {}
  RestRecorder(const RestRecorder &) = delete;
  RestRecorder &operator=(const RestRecorder &) = delete;

  /// Starts watching, for the boot now starting (the previous boot's
  /// instances are forgotten). Skip, when given, is an instance left alone
  /// (the simulated service's own, which writes its events itself).
  [[nodiscard]] EFI_STATUS Watch(EFI_BOOT_SERVICES *BootServices, const EFI_REST_PROTOCOL *Skip);

 private:
  static VOID EFIAPI OnRestInstalled(EFI_EVENT Event, VOID *Context);
  static EFI_STATUS EFIAPI RecordedSendReceive(EFI_REST_PROTOCOL *This, EFI_HTTP_MESSAGE *Request,
                                               EFI_HTTP_MESSAGE *Response);
  void HandOverAnswer(const EFI_HTTP_MESSAGE *Response, const EFI_HTTP_RESPONSE_DATA *Placed);

  const PlatformHost &mHost;
  Trace &mLog;
  EFI_BOOT_SERVICES *mBootServices = nullptr;
  const EFI_REST_PROTOCOL *mSkip = nullptr;
  VOID *mRegistration = nullptr;
};
