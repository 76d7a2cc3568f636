#include "sim/redfish/RestRecorder.h"

#include "platform/Guids.h"
#include "sim/common/HttpNames.h"

namespace {

// The interposed instances. The interposed function gets only the instance,
// so the way back to its original and to the recorder is looked up here: one
// recorder of the process at a time, a boot at a time (zeroed storage, no
// constructor).
RestRecorder *mRecorderOfSlots = nullptr;
struct INTERPOSED {
  EFI_REST_PROTOCOL *Instance;
  EFI_REST_SEND_RECEIVE Original;
};
INTERPOSED mSlots[REST_RECORDER_SLOTS];

}  // namespace

EFI_STATUS RestRecorder::Watch(EFI_BOOT_SERVICES *BootServices, const EFI_REST_PROTOCOL *Skip) {
  for (auto &Slot : mSlots) {
    Slot.Instance = nullptr;
    Slot.Original = nullptr;
  }
  mRecorderOfSlots = this;
  mBootServices = BootServices;
  mSkip = Skip;
  EFI_EVENT Event = nullptr;
  EFI_STATUS Status =
      BootServices->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_NOTIFY, OnRestInstalled, this, &Event);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  return BootServices->RegisterProtocolNotify(&gEfiRestProtocolGuid, Event, &mRegistration);
}

VOID EFIAPI RestRecorder::OnRestInstalled(EFI_EVENT Event, VOID *Context) {
  (void)Event;
  auto *Recorder = static_cast<RestRecorder *>(Context);
  for (;;) {
    EFI_REST_PROTOCOL *Instance = nullptr;
    if (EFI_ERROR(Recorder->mBootServices->LocateProtocol(&gEfiRestProtocolGuid,
                                                          Recorder->mRegistration,
                                                          reinterpret_cast<VOID **>(&Instance))) ||
        Instance == nullptr) {
      return;
    }
    if (Instance == Recorder->mSkip || Instance->SendReceive == RecordedSendReceive) {
      continue;
    }
    for (auto &Slot : mSlots) {
      if (Slot.Instance == nullptr) {
        Slot.Instance = Instance;
        Slot.Original = Instance->SendReceive;
        Instance->SendReceive = RecordedSendReceive;
        break;
      }
    }
  }
}

void RestRecorder::HandOverAnswer(const EFI_HTTP_MESSAGE *Response,
                                  const EFI_HTTP_RESPONSE_DATA *Placed) {
  if (mHost.HandOver == nullptr) {
    return;
  }
  if (Response->Data.Response != nullptr && Response->Data.Response != Placed) {
    mHost.HandOver(mHost.Context, Response->Data.Response);
  }
  if (Response->Headers != nullptr) {
    for (UINTN Index = 0; Index < Response->HeaderCount; Index++) {
      if (Response->Headers[Index].FieldName != nullptr) {
        mHost.HandOver(mHost.Context, Response->Headers[Index].FieldName);
      }
      if (Response->Headers[Index].FieldValue != nullptr) {
        mHost.HandOver(mHost.Context, Response->Headers[Index].FieldValue);
      }
    }
    mHost.HandOver(mHost.Context, Response->Headers);
  }
  if (Response->Body != nullptr) {
    mHost.HandOver(mHost.Context, Response->Body);
  }
}

EFI_STATUS EFIAPI RestRecorder::RecordedSendReceive(EFI_REST_PROTOCOL *This,
                                                    EFI_HTTP_MESSAGE *Request,
                                                    EFI_HTTP_MESSAGE *Response) {
  RestRecorder *Recorder = mRecorderOfSlots;
  EFI_REST_SEND_RECEIVE Original = nullptr;
  for (const auto &Slot : mSlots) {
    if (Slot.Instance == This) {
      Original = Slot.Original;
    }
  }
  if (Recorder == nullptr || Original == nullptr) {
    return EFI_DEVICE_ERROR;
  }
  const PlatformHost &Host = Recorder->mHost;
  // The recorder is the platform's: its trace event is the platform's memory.
  PlatformCall Platform(Host);
  const EFI_TPL Tpl = CurrentTpl(Host);
  const EFI_HTTP_RESPONSE_DATA *Placed = Response != nullptr ? Response->Data.Response : nullptr;
  if (Host.EnterProducer != nullptr) {
    Host.EnterProducer(Host.Context);
  }
  EFI_STATUS Status = Original(This, Request, Response);
  bool Answered = !EFI_ERROR(Status) && Response != nullptr && Response->Data.Response != nullptr;
  if (Answered) {
    // Handed over inside the call, so that the producer's count after it
    // shows what it kept for itself.
    Recorder->HandOverAnswer(Response, Placed);
  }
  if (Host.LeaveProducer != nullptr) {
    Host.LeaveProducer(Host.Context);
  }
  const EFI_HTTP_REQUEST_DATA *Data = Request != nullptr ? Request->Data.Request : nullptr;
  UINTN UriLength = 0;
  while (Data != nullptr && Data->Url != nullptr && Data->Url[UriLength] != 0) {
    UriLength++;
  }
  UINT32 Code = Answered ? HttpStatusNumberOf(Response->Data.Response->StatusCode) : 0;
  TraceRestCall(Recorder->mLog, Request, Data != nullptr && Data->Url != nullptr, UriLength,
                Answered, Code, Status, Tpl);
  return Status;
}
