// The simulated Redfish service: the resources it holds (state that lasts
// across boots), EFI_REST_PROTOCOL instances that reach it and its
// REDFISH_SERVICE_PROTOCOL. Every SendReceive call records one "rest" event.
//
// GET of a held resource answers 200 with its body, anything else 404. PATCH
// of a held resource with a JSON object body answers 204 and merges the
// members into it (names matched exactly; members it had keep their place,
// new ones are appended; nested objects are merged the same way); a body that
// is not a JSON object answers 400, a resource not held 404. Other methods
// answer 405. The scenario's overrides are tried first, in order.
#pragma once

#include "platform/RedfishServiceProtocol.h"
#include "sim/common/PlatformHost.h"
#include "sim/common/SimMemory.h"
#include "sim/redfish/RedfishConfig.h"
#include "sim/trace/Trace.h"
#include "uefi/Rest.h"

class RedfishService;

/// The "rest" event of one SendReceive call: the request's method, URI (its
/// UriLength code units, or null without HasUri), headers and body, the HTTP
/// status number when Answered, the EFI status and the caller's TPL.
void TraceRestCall(Trace &Log, const EFI_HTTP_MESSAGE *Request, bool HasUri, UINTN UriLength,
                   bool Answered, UINT32 Code, EFI_STATUS Status, EFI_TPL Tpl);

/// A Redfish service elsewhere, reached over real HTTP by the host (nvdimm-emu
/// serve and run --redfish): it answers the requests that the scenario's
/// overrides leave, in place of the resources held. Send returns false when
/// the request did not reach it; otherwise it sets *Code and *Body (from
/// cJSON_malloc, NUL-terminated, null for no body) and *BodyLength.
struct REDFISH_REMOTE {
  bool (*Send)(void *Context, const EFI_HTTP_MESSAGE *Request, const CHAR8 *Uri, UINTN UriLength,
               UINT32 *Code, CHAR8 **Body, UINTN *BodyLength);
  void *Context;
};

/// A REST protocol record with its way back to the service; the record comes
/// first, so the driver's pointer is also the pointer to this.
struct REDFISH_SIM_REST {
  EFI_REST_PROTOCOL Protocol;
  RedfishService *Service;
};

struct REDFISH_SIM_SERVICE {
  REDFISH_SERVICE_PROTOCOL Protocol;
  RedfishService *Service;
};

/// One resource the service holds; Uri and Body are NUL-terminated blocks
/// from cJSON_malloc.
struct REDFISH_RESOURCE {
  CHAR8 *Uri;
  CHAR8 *Body;
  UINTN BodyLength;
};

class RedfishService {
 public:
  /// Host and Log must outlive the service.
  RedfishService(const PlatformHost &Host, Trace &Log);
  ~RedfishService();
  RedfishService(const RedfishService &) = delete;
  RedfishService &operator=(const RedfishService &) = delete;

  /// Takes the power-on resources (copied) and the overrides (kept by
  /// reference: Config's records must outlive the service). False when out
  /// of memory, with the service left empty.
  [[nodiscard]] bool Load(const REDFISH_CONFIG &Config);

  /// The REST instance and the Redfish service instance that the "redfish"
  /// step installs on one handle.
  EFI_REST_PROTOCOL *RedfishRest() { return &mRedfishRest.Protocol; }
  REDFISH_SERVICE_PROTOCOL *ServiceProtocol() { return &mServiceProtocol.Protocol; }
  /// A second REST instance, for the "rest" step's handle; it answers from
  /// the same resources.
  EFI_REST_PROTOCOL *PlainRest() { return &mPlainRest.Protocol; }

  /// Emits the "final" event: "boots" (Log's current boot number) and every
  /// resource's body text, in the order the resources were given.
  void EmitFinal(Trace &Log) const;

  /// The resources and the override counters as JSON text, to carry them
  /// across a real reboot, from cJSON_malloc. Empty on allocation failure.
  [[nodiscard]] SimBlock SaveState() const;
  /// Restores what SaveState wrote (for the same scenario). False, with the
  /// state unchanged, for text that does not fit.
  [[nodiscard]] bool LoadState(const CHAR8 *Text, UINTN Length);

  /// Sends the requests to Remote (null: answers them here again). Remote
  /// must outlive its use.
  void SetRemote(const REDFISH_REMOTE *Remote) { mRemote = Remote; }
  /// Replaces each held resource's body by what the remote service answers
  /// to a GET of its URI (kept when it does not answer 200), so that the
  /// "final" event shows the remote state.
  void RefreshFromRemote();

  /// Answers one request that came over HTTP (network mode) as SendReceive
  /// would: the overrides first, then the resources (a PATCH merged in),
  /// without a "rest" event and without handing anything over. *Code is the
  /// HTTP status, *Body (borrowed until the next request; null for none)
  /// and *BodyLength the body. FALSE when no answer can go over HTTP (an
  /// override that gives a transport status alone) or out of memory: the
  /// connection is then closed unanswered.
  [[nodiscard]] bool AnswerHttp(EFI_HTTP_METHOD Method, const CHAR8 *Uri, UINTN UriLength,
                                const CHAR8 *Body, UINTN BodyLength, UINT32 *Code,
                                const CHAR8 **AnswerBody, UINTN *AnswerLength);

  /// The resource held at Uri, or null.
  const REDFISH_RESOURCE *Find(const CHAR8 *Uri) const;
  const REDFISH_RESOURCE *Find(const CHAR8 *Uri, UINTN UriLength) const;

 private:
  struct ANSWER;

  static EFI_STATUS EFIAPI SendReceiveEntry(EFI_REST_PROTOCOL *This, EFI_HTTP_MESSAGE *Request,
                                            EFI_HTTP_MESSAGE *Response);
  static EFI_STATUS EFIAPI GetServiceTimeEntry(EFI_REST_PROTOCOL *This, EFI_TIME *Time);
  static EFI_STATUS EFIAPI GetServiceStatusEntry(REDFISH_SERVICE_PROTOCOL *This, UINT64 Reserved,
                                                 UINT64 *Status);

  EFI_STATUS SendReceive(const EFI_HTTP_MESSAGE *Request, EFI_HTTP_MESSAGE *Response);
  /// Decides the answer to one request (false when out of memory); a PATCH
  /// that it accepts leaves the merged body in Result, to be stored only once
  /// the answer is handed over. AnswerService leaves out the overrides.
  bool Answer(const EFI_HTTP_MESSAGE *Request, EFI_HTTP_METHOD Method, const CHAR8 *Uri,
              UINTN UriLength, const CHAR8 *Body, UINTN BodyLength, ANSWER *Result);
  bool AnswerService(EFI_HTTP_METHOD Method, const CHAR8 *Uri, UINTN UriLength, const CHAR8 *Body,
                     UINTN BodyLength, ANSWER *Result);
  void AnswerRemote(const EFI_HTTP_MESSAGE *Request, const CHAR8 *Uri, UINTN UriLength,
                    ANSWER *Result);
  EFI_STATUS HandOver(const ANSWER &Result, EFI_HTTP_MESSAGE *Response);
  void Record(const EFI_HTTP_MESSAGE *Request, const CHAR8 *Uri, UINTN UriLength, bool Answered,
              UINT32 Code, EFI_STATUS Status, EFI_TPL Tpl);
  void ReleaseResources();

  const PlatformHost &mHost;
  Trace &mLog;
  REDFISH_SIM_REST mRedfishRest;
  REDFISH_SIM_REST mPlainRest;
  REDFISH_SIM_SERVICE mServiceProtocol;
  SimArray<REDFISH_RESOURCE> mResources;
  const REDFISH_OVERRIDE_SETTING *mOverrides = nullptr;
  SimArray<UINT64> mOverrideUses;
  EFI_STATUS mServiceStatus = EFI_SUCCESS;
  EFI_TPL mHighestTpl = TPL_HIGH_LEVEL;
  const REDFISH_REMOTE *mRemote = nullptr;
};
