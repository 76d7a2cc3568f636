// The service's state: its resources and override counters, the protocol
// records that reach it, the final event and the state carried across a
// real reboot. Request handling is in RedfishRest.cpp.
#include "sim/redfish/RedfishService.h"

#include "sim/common/ExactJson.h"

namespace {

void ReleaseResourceArray(SimArray<REDFISH_RESOURCE> &Resources) {
  for (UINTN Index = 0; Index < Resources.Count(); Index++) {
    if (Resources[Index].Uri != nullptr) {
      cJSON_free(Resources[Index].Uri);
    }
    if (Resources[Index].Body != nullptr) {
      cJSON_free(Resources[Index].Body);
    }
  }
  Resources.Reset();
}

/// Copies one resource; false when out of memory (the caller releases what
/// was copied).
bool CopyResource(REDFISH_RESOURCE *To, const CHAR8 *Uri, const CHAR8 *Body, UINTN BodyLength) {
  To->Uri = SimDuplicateBytes(Uri, SimStringLength(Uri));
  To->Body = SimDuplicateBytes(Body, BodyLength);
  To->BodyLength = BodyLength;
  return To->Uri != nullptr && To->Body != nullptr;
}

}  // namespace

RedfishService::RedfishService(const PlatformHost &Host, Trace &Log)
    : mHost(Host),
      mLog(Log),
      mRedfishRest{{SendReceiveEntry, GetServiceTimeEntry}, this},
      mPlainRest{{SendReceiveEntry, GetServiceTimeEntry}, this},
      mServiceProtocol{{1, GetServiceStatusEntry}, this} {}

RedfishService::~RedfishService() { ReleaseResourceArray(mResources); }

bool RedfishService::Load(const REDFISH_CONFIG &Config) {
  ReleaseResourceArray(mResources);
  mOverrides = nullptr;
  mOverrideUses.Reset();
  mServiceStatus = Config.ServiceStatus;
  mHighestTpl = Config.HighestTpl;
  if (!mResources.Allocate(Config.ResourceCount) || !mOverrideUses.Allocate(Config.OverrideCount)) {
    ReleaseResourceArray(mResources);
    return false;
  }
  for (UINTN Index = 0; Index < Config.ResourceCount; Index++) {
    const REDFISH_RESOURCE_SETTING &Setting = Config.Resources[Index];
    if (!CopyResource(&mResources[Index], Setting.Uri, Setting.Body, Setting.BodyLength)) {
      ReleaseResourceArray(mResources);
      mOverrideUses.Reset();
      return false;
    }
  }
  mOverrides = Config.Overrides;
  return true;
}

const REDFISH_RESOURCE *RedfishService::Find(const CHAR8 *Uri) const {
  return Find(Uri, SimStringLength(Uri));
}

const REDFISH_RESOURCE *RedfishService::Find(const CHAR8 *Uri, UINTN UriLength) const {
  for (UINTN Index = 0; Index < mResources.Count(); Index++) {
    if (SimBytesEqualString(Uri, UriLength, mResources[Index].Uri)) {
      return &mResources[Index];
    }
  }
  return nullptr;
}

EFI_STATUS EFIAPI RedfishService::SendReceiveEntry(EFI_REST_PROTOCOL *This,
                                                   EFI_HTTP_MESSAGE *Request,
                                                   EFI_HTTP_MESSAGE *Response) {
  // Without This there is no service to answer, nor a trace to record in.
  if (This == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  RedfishService *Service = reinterpret_cast<REDFISH_SIM_REST *>(This)->Service;
  PlatformCall Call(Service->mHost);
  return Service->SendReceive(Request, Response);
}

EFI_STATUS EFIAPI RedfishService::GetServiceTimeEntry(EFI_REST_PROTOCOL *This, EFI_TIME *Time) {
  (void)Time;
  if (This == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  PlatformCall Call(reinterpret_cast<REDFISH_SIM_REST *>(This)->Service->mHost);
  return EFI_UNSUPPORTED;
}

EFI_STATUS EFIAPI RedfishService::GetServiceStatusEntry(REDFISH_SERVICE_PROTOCOL *This,
                                                        UINT64 Reserved, UINT64 *Status) {
  (void)Reserved;
  (void)Status;
  if (This == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  RedfishService *Service = reinterpret_cast<REDFISH_SIM_SERVICE *>(This)->Service;
  PlatformCall Call(Service->mHost);
  return Service->mServiceStatus;
}

void RedfishService::EmitFinal(Trace &Log) const {
  SimJson Event(Log.NewEvent("final"));
  if (!TraceAddUint(Event.Get(), "boots", Log.Boot())) {
    return;
  }
  cJSON *Resources = cJSON_CreateObject();
  if (!TraceAddItem(Event.Get(), "resources", Resources)) {
    return;
  }
  for (UINTN Index = 0; Index < mResources.Count(); Index++) {
    const REDFISH_RESOURCE &Resource = mResources[Index];
    if (!TraceAddBytes(Resources, Resource.Uri, Resource.Body, Resource.BodyLength)) {
      return;
    }
  }
  Log.Emit(Event.Release());
}

SimBlock RedfishService::SaveState() const {
  SimJson State(cJSON_CreateObject());
  cJSON *Resources = cJSON_AddArrayToObject(State.Get(), "resources");
  cJSON *Uses = cJSON_AddArrayToObject(State.Get(), "overrideUses");
  bool Built = Resources != nullptr && Uses != nullptr;
  for (UINTN Index = 0; Built && Index < mResources.Count(); Index++) {
    cJSON *Pair = cJSON_CreateArray();
    Built = cJSON_AddItemToArray(Resources, Pair) &&
            cJSON_AddItemToArray(Pair, cJSON_CreateString(mResources[Index].Uri)) &&
            cJSON_AddItemToArray(Pair, cJSON_CreateString(mResources[Index].Body));
  }
  for (UINTN Index = 0; Built && Index < mOverrideUses.Count(); Index++) {
    Built = cJSON_AddItemToArray(Uses, TraceNewUint(mOverrideUses[Index]));
  }
  return SimBlock(Built ? cJSON_PrintUnformatted(State.Get()) : nullptr);
}

bool RedfishService::LoadState(const CHAR8 *Text, UINTN Length) {
  SimJson State(ExactJsonParse(Text, Length, nullptr, 0));
  const cJSON *Resources = cJSON_GetObjectItemCaseSensitive(State.Get(), "resources");
  const cJSON *Uses = cJSON_GetObjectItemCaseSensitive(State.Get(), "overrideUses");
  SimArray<REDFISH_RESOURCE> NewResources;
  SimArray<UINT64> NewUses;
  bool Loaded = cJSON_IsArray(Resources) && cJSON_IsArray(Uses) &&
                static_cast<UINTN>(cJSON_GetArraySize(Uses)) == mOverrideUses.Count() &&
                NewResources.Allocate(static_cast<UINTN>(cJSON_GetArraySize(Resources))) &&
                NewUses.Allocate(mOverrideUses.Count());
  UINTN Index = 0;
  for (const cJSON *Pair = Loaded ? Resources->child : nullptr; Loaded && Pair != nullptr;
       Pair = Pair->next, Index++) {
    const cJSON *Uri = cJSON_GetArrayItem(Pair, 0);
    const cJSON *Body = cJSON_GetArrayItem(Pair, 1);
    Loaded = cJSON_GetArraySize(Pair) == 2 && cJSON_IsString(Uri) && cJSON_IsString(Body) &&
             CopyResource(&NewResources[Index], Uri->valuestring, Body->valuestring,
                          SimStringLength(Body->valuestring));
  }
  Index = 0;
  for (const cJSON *Use = Loaded ? Uses->child : nullptr; Loaded && Use != nullptr;
       Use = Use->next, Index++) {
    Loaded = ExactJsonNumberToUint(Use, &NewUses[Index]);
  }
  if (Loaded) {
    mResources.Swap(NewResources);
    mOverrideUses.Swap(NewUses);
  }
  ReleaseResourceArray(NewResources);
  return Loaded;
}
