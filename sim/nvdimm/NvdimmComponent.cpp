#include "sim/nvdimm/NvdimmComponent.h"

#include "sim/common/SimMemory.h"
#include "sim/nvdimm/NvdimmText.h"

namespace {

/// The component whose boot is running: the operations carry no instance.
NvdimmComponent *mActive = nullptr;

/// Room for a diagnostics result: a line per module.
constexpr UINTN DIAGNOSTICS_TEXT_SIZE = 1024;

/// The "nvdimm" trace event of one operation: op and args as the operation
/// starts, status (and what follows it) and the TPL the driver called at as
/// it ends. Dropped silently when the trace cannot allocate.
class OperationEvent {
 public:
  OperationEvent(Trace &EventTrace, const PlatformHost &Host, const CHAR8 *Op)
      : mTrace(EventTrace), mEvent(EventTrace.NewEvent("nvdimm")), mTpl(CurrentTpl(Host)) {
    if (mEvent != nullptr && TraceAddString(mEvent, "op", Op)) {
      mArgs = cJSON_AddObjectToObject(mEvent, "args");
    }
  }
  ~OperationEvent() { cJSON_Delete(mEvent); }
  OperationEvent(const OperationEvent &) = delete;
  OperationEvent &operator=(const OperationEvent &) = delete;

  void Uint(const CHAR8 *Name, UINT64 Value) {
    if (mArgs != nullptr) {
      (void)TraceAddUint(mArgs, Name, Value);
    }
  }
  void Bool(const CHAR8 *Name, BOOLEAN Value) {
    if (mArgs != nullptr) {
      (void)TraceAddBool(mArgs, Name, Value != FALSE);
    }
  }
  /// A string argument; a null pointer is written as null.
  void String(const CHAR8 *Name, const CHAR8 *Value) {
    if (mArgs != nullptr) {
      (void)(Value != nullptr ? TraceAddString(mArgs, Name, Value) : TraceAddNull(mArgs, Name));
    }
  }
  /// A DIMM id argument passed by pointer; no pointer is written as null.
  void DimmId(const UINT16 *Value) {
    if (mArgs != nullptr) {
      (void)(Value != nullptr ? TraceAddUint(mArgs, "DimmId", *Value)
                              : TraceAddNull(mArgs, "DimmId"));
    }
  }

  /// Adds the status (and Pending after it, when given), emits the event
  /// and returns Status.
  EFI_STATUS Finish(EFI_STATUS Status, const bool *Pending = nullptr) {
    if (mArgs != nullptr && TraceAddStatus(mEvent, "status", Status) &&
        (Pending == nullptr || TraceAddBool(mEvent, "pending", *Pending)) &&
        TraceAddUint(mEvent, "tpl", mTpl)) {
      mTrace.Emit(mEvent);
      mEvent = nullptr;
    }
    return Status;
  }

 private:
  Trace &mTrace;
  cJSON *mEvent;
  cJSON *mArgs = nullptr;
  EFI_TPL mTpl;
};

/// Writes Text into the caller's ErrorMessage when the operation failed;
/// a success leaves the buffer alone. Returns Status.
EFI_STATUS Report(EFI_STATUS Status, const CHAR8 *Text, CHAR8 *ErrorMessage) {
  if (Status != EFI_SUCCESS && Text != nullptr) {
    NvdimmStrCopy(ErrorMessage, NVDIMM_ERROR_MESSAGE_SIZE, Text);
  }
  return Status;
}

}  // namespace

/// The protocol's functions: each brackets its call as the platform's and
/// passes it to the active component.
struct NvdimmOperations {
  static EFI_STATUS EFIAPI CreateGoal(CHAR8 *ConfigurationLevel, UINT32 MemoryMode, UINT32 Reserved,
                                      CHAR8 *PersistentMemoryType, CHAR8 *ErrorMessage) {
    if (mActive == nullptr) {
      return EFI_NOT_READY;
    }
    PlatformCall Call(mActive->mHost);
    return mActive->CreateGoal(ConfigurationLevel, MemoryMode, Reserved, PersistentMemoryType,
                               ErrorMessage);
  }
  static EFI_STATUS EFIAPI CreateNamespace(UINT32 RegionId, CHAR8 *Name, UINT64 CapacityMiB,
                                           CHAR8 *Mode, CHAR8 *ErrorMessage) {
    if (mActive == nullptr) {
      return EFI_NOT_READY;
    }
    PlatformCall Call(mActive->mHost);
    return mActive->CreateNamespace(RegionId, Name, CapacityMiB, Mode, ErrorMessage);
  }
  static EFI_STATUS EFIAPI DeleteNamespace(UINT16 NamespaceId, CHAR8 *ErrorMessage) {
    if (mActive == nullptr) {
      return EFI_NOT_READY;
    }
    PlatformCall Call(mActive->mHost);
    return mActive->DeleteNamespace(NamespaceId, ErrorMessage);
  }
  static EFI_STATUS EFIAPI DeletePlatformConfigurationData(BOOLEAN AllDimms, UINT16 *DimmId,
                                                           CHAR8 *ErrorMessage,
                                                           DIMM_RESULT_LIST *Results) {
    if (mActive == nullptr) {
      return EFI_NOT_READY;
    }
    PlatformCall Call(mActive->mHost);
    return mActive->DeletePlatformConfigurationData(AllDimms, DimmId, ErrorMessage, Results);
  }
  static EFI_STATUS EFIAPI RunDiagnostics(BOOLEAN AllDimms, UINT16 *DimmId, CHAR8 *Tests,
                                          CHAR8 **ResultMessage) {
    if (mActive == nullptr) {
      return EFI_NOT_READY;
    }
    PlatformCall Call(mActive->mHost);
    return mActive->RunDiagnostics(AllDimms, DimmId, Tests, ResultMessage);
  }
  static EFI_STATUS EFIAPI GetLocalRequestPending(BOOLEAN *Pending) {
    if (mActive == nullptr) {
      return EFI_NOT_READY;
    }
    PlatformCall Call(mActive->mHost);
    return mActive->GetLocalRequestPending(Pending);
  }
};

NvdimmComponent::NvdimmComponent(const NvdimmConfig &Config, const PlatformHost &Host,
                                 Trace &EventTrace)
    : mConfig(Config), mHost(Host), mTrace(EventTrace) {
  NvdimmZero(&mProtocol, sizeof(mProtocol));
  NvdimmZero(mResults, sizeof(mResults));
  NvdimmMessage Ignored(nullptr, 0);
  if (Config.Model == nullptr || !mModel.FromJson(Config.Model, {nullptr, "model", 0}, Ignored)) {
    mModel.SetDefault();
  }
}

NvdimmComponent::~NvdimmComponent() {
  if (mActive == this) {
    mActive = nullptr;
  }
}

NVDIMM_ACTION_PROTOCOL *NvdimmComponent::BeginBoot() {
  mModel.ApplyGoal();
  NvdimmZero(&mProtocol, sizeof(mProtocol));
  mProtocol.Enabled = mConfig.Enabled ? 1 : 0;
  mProtocol.ResetPending = 0;
  mProtocol.CreateGoal = NvdimmOperations::CreateGoal;
  mProtocol.CreateNamespace = NvdimmOperations::CreateNamespace;
  mProtocol.DeleteNamespace = NvdimmOperations::DeleteNamespace;
  mProtocol.DeletePlatformConfigurationData = NvdimmOperations::DeletePlatformConfigurationData;
  mProtocol.RunDiagnostics = NvdimmOperations::RunDiagnostics;
  mProtocol.GetLocalRequestPending = NvdimmOperations::GetLocalRequestPending;
  mActive = this;
  return &mProtocol;
}

char *NvdimmComponent::SaveState() const {
  SimJson State(cJSON_CreateObject());
  cJSON *Model = mModel.ToJson();
  if (!State || Model == nullptr || !cJSON_AddItemToObject(State.Get(), "model", Model)) {
    cJSON_Delete(Model);
    return nullptr;
  }
  if (cJSON_AddBoolToObject(State.Get(), "localRequest", mLocalRequest) == nullptr) {
    return nullptr;
  }
  return cJSON_PrintUnformatted(State.Get());
}

bool NvdimmComponent::LoadState(const char *State) {
  static const CHAR8 *const StateMembers[] = {"model", "localRequest"};
  if (State == nullptr) {
    return false;
  }
  SimJson Document(cJSON_Parse(State));
  NvdimmJsonPath Path = {nullptr, "state", 0};
  NvdimmMessage Ignored(nullptr, 0);
  bool LocalRequest = false;
  NvdimmModel Model;
  if (!NvdimmJsonCheckObject(Document.Get(), StateMembers, 2, Path, Ignored) ||
      !NvdimmJsonReadBool(Document.Get(), "localRequest", &LocalRequest, Path, Ignored) ||
      !Model.FromJson(cJSON_GetObjectItem(Document.Get(), "model"), {&Path, "model", 0}, Ignored)) {
    return false;
  }
  mModel = Model;
  mLocalRequest = LocalRequest;
  return true;
}

EFI_STATUS NvdimmComponent::CreateGoal(CHAR8 *ConfigurationLevel, UINT32 MemoryMode,
                                       UINT32 Reserved, CHAR8 *PersistentMemoryType,
                                       CHAR8 *ErrorMessage) {
  OperationEvent Event(mTrace, mHost, "CreateGoal");
  Event.String("ConfigurationLevel", ConfigurationLevel);
  Event.Uint("MemoryMode", MemoryMode);
  Event.Uint("Reserved", Reserved);
  Event.String("PersistentMemoryType", PersistentMemoryType);
  if (ErrorMessage == nullptr) {
    return Event.Finish(EFI_INVALID_PARAMETER);
  }
  if (mConfig.CreateGoal.Forced) {
    return Event.Finish(
        Report(mConfig.CreateGoal.Status, mConfig.CreateGoal.Message, ErrorMessage));
  }
  CHAR8 Text[NVDIMM_ERROR_MESSAGE_SIZE];
  NvdimmMessage Error(Text, sizeof(Text));
  NvdimmGoal Goal;
  EFI_STATUS Status =
      NvdimmParseGoal(ConfigurationLevel, MemoryMode, Reserved, PersistentMemoryType, &Goal, Error);
  if (Status == EFI_SUCCESS) {
    Status = mModel.CreateGoal(Goal, Error);
  }
  return Event.Finish(Report(Status, Text, ErrorMessage));
}

EFI_STATUS NvdimmComponent::CreateNamespace(UINT32 RegionId, CHAR8 *Name, UINT64 CapacityMiB,
                                            CHAR8 *Mode, CHAR8 *ErrorMessage) {
  OperationEvent Event(mTrace, mHost, "CreateNamespace");
  Event.Uint("RegionId", RegionId);
  Event.String("Name", Name);
  Event.Uint("CapacityMiB", CapacityMiB);
  Event.String("Mode", Mode);
  if (ErrorMessage == nullptr) {
    return Event.Finish(EFI_INVALID_PARAMETER);
  }
  const NvdimmForcedResult &Forced = mConfig.CreateNamespace;
  if (Forced.Forced) {
    return Event.Finish(Report(Forced.Status, Forced.Message, ErrorMessage));
  }
  CHAR8 Text[NVDIMM_ERROR_MESSAGE_SIZE];
  NvdimmMessage Error(Text, sizeof(Text));
  UINT16 Id = 0;
  EFI_STATUS Status = mModel.CreateNamespace(RegionId, Name, CapacityMiB, Mode, &Id, Error);
  return Event.Finish(Report(Status, Text, ErrorMessage));
}

EFI_STATUS NvdimmComponent::DeleteNamespace(UINT16 NamespaceId, CHAR8 *ErrorMessage) {
  OperationEvent Event(mTrace, mHost, "DeleteNamespace");
  Event.Uint("NamespaceId", NamespaceId);
  if (ErrorMessage == nullptr) {
    return Event.Finish(EFI_INVALID_PARAMETER);
  }
  const NvdimmForcedResult &Forced = mConfig.DeleteNamespace;
  if (Forced.Forced) {
    return Event.Finish(Report(Forced.Status, Forced.Message, ErrorMessage));
  }
  CHAR8 Text[NVDIMM_ERROR_MESSAGE_SIZE];
  NvdimmMessage Error(Text, sizeof(Text));
  EFI_STATUS Status = mModel.DeleteNamespace(NamespaceId, Error);
  return Event.Finish(Report(Status, Text, ErrorMessage));
}

EFI_STATUS NvdimmComponent::EraseAllModules(UINTN *Count, NvdimmMessage &Error) {
  EFI_STATUS Status = EFI_SUCCESS;
  if (mModel.ModuleCount == 0) {
    Error.Add("No DIMMs to erase");
    Status = EFI_NOT_FOUND;
  }
  for (UINTN Index = 0; Index < mModel.ModuleCount; Index++) {
    CHAR8 ModuleText[NVDIMM_ERROR_MESSAGE_SIZE];
    NvdimmMessage ModuleError(ModuleText, sizeof(ModuleText));
    UINT16 Id = mModel.Modules[Index].Id;
    EFI_STATUS Erased = mModel.EraseModule(Index, ModuleError);
    mResults[Index].DimmId = Id;
    NvdimmStrCopy(mResults[Index].Status, NVDIMM_RESULT_STATUS_SIZE,
                  Erased == EFI_SUCCESS ? "Success" : "Failed");
    if (Erased != EFI_SUCCESS && Status == EFI_SUCCESS) {
      Status = Erased;
      Error.Add(ModuleText);
    }
  }
  *Count = mModel.ModuleCount;
  return Status;
}

EFI_STATUS NvdimmComponent::DeletePlatformConfigurationData(BOOLEAN AllDimms, UINT16 *DimmId,
                                                            CHAR8 *ErrorMessage,
                                                            DIMM_RESULT_LIST *Results) {
  OperationEvent Event(mTrace, mHost, "DeletePlatformConfigurationData");
  Event.Bool("AllDimms", AllDimms);
  Event.DimmId(DimmId);
  if (ErrorMessage == nullptr) {
    return Event.Finish(EFI_INVALID_PARAMETER);
  }
  if (Results == nullptr || (!AllDimms && DimmId == nullptr)) {
    const CHAR8 *Text = Results == nullptr ? "Result list missing" : "DIMM id missing";
    return Event.Finish(Report(EFI_INVALID_PARAMETER, Text, ErrorMessage));
  }
  const NvdimmForcedResult &Forced = mConfig.DeletePlatformConfigurationData;
  CHAR8 Text[NVDIMM_ERROR_MESSAGE_SIZE];
  NvdimmMessage Error(Text, sizeof(Text));
  EFI_STATUS Status = Forced.Status;
  if (!AllDimms) {
    if (!Forced.Forced) {
      UINTN Index = mModel.FindModule(*DimmId);
      if (Index == mModel.ModuleCount) {
        Error.Add("DIMM ").AddHex(*DimmId).Add(" not found");
      }
      Status = Index == mModel.ModuleCount ? EFI_NOT_FOUND : mModel.EraseModule(Index, Error);
    }
    return Event.Finish(Report(Status, Forced.Forced ? Forced.Message : Text, ErrorMessage));
  }
  UINTN Count = 0;
  if (Forced.Forced) {
    // The model stays as it is; each module reports the forced outcome.
    for (; Count < mModel.ModuleCount; Count++) {
      mResults[Count].DimmId = mModel.Modules[Count].Id;
      NvdimmStrCopy(mResults[Count].Status, NVDIMM_RESULT_STATUS_SIZE,
                    Status == EFI_SUCCESS ? "Success" : "Failed");
    }
  } else {
    Status = EraseAllModules(&Count, Error);
  }
  if (mConfig.HasPcdResults) {
    for (Count = 0; Count < mConfig.PcdResultCount; Count++) {
      mResults[Count].DimmId = mConfig.PcdResults[Count].Id;
      NvdimmStrCopy(mResults[Count].Status, NVDIMM_RESULT_STATUS_SIZE,
                    mConfig.PcdResults[Count].Status);
    }
  }
  Results->Count = Count;
  Results->Results = mResults;
  return Event.Finish(Report(Status, Forced.Forced ? Forced.Message : Text, ErrorMessage));
}

CHAR8 *NvdimmComponent::HandOverText(const CHAR8 *Text) const {
  UINTN Length = NvdimmStrLen(Text, static_cast<UINTN>(-2));
  if (mHost.BootServices == nullptr) {
    return nullptr;
  }
  auto *Block = static_cast<CHAR8 *>(AllocateForDriver(mHost, Length + 1));
  if (Block != nullptr) {
    NvdimmStrCopy(Block, Length + 1, Text);
  }
  return Block;
}

EFI_STATUS NvdimmComponent::RunDiagnostics(BOOLEAN AllDimms, UINT16 *DimmId, CHAR8 *Tests,
                                           CHAR8 **ResultMessage) {
  OperationEvent Event(mTrace, mHost, "RunDiagnostics");
  Event.Bool("AllDimms", AllDimms);
  Event.DimmId(DimmId);
  Event.String("Tests", Tests);
  if (ResultMessage == nullptr) {
    return Event.Finish(EFI_INVALID_PARAMETER);
  }
  CHAR8 Text[DIAGNOSTICS_TEXT_SIZE];
  NvdimmMessage Result(Text, sizeof(Text));
  const CHAR8 *Message = Text;
  EFI_STATUS Status = EFI_INVALID_PARAMETER;
  UINT8 Set = 0;
  if (Tests == nullptr) {
    Result.Add("Diagnostics test list missing");
  } else if (!AllDimms && DimmId == nullptr) {
    Result.Add("DIMM id missing");
  } else if (mConfig.DiagnosticsForced) {
    Status = mConfig.DiagnosticsStatus;
    Message = mConfig.DiagnosticsMessage;
  } else {
    Status = NvdimmParseTests(Tests, &Set, Result);
    if (Status == EFI_SUCCESS) {
      Status = mModel.RunDiagnostics(AllDimms != FALSE, DimmId != nullptr ? *DimmId : 0x00FF, Set,
                                     Result);
    }
  }
  if (Message != nullptr) {
    CHAR8 *Block = HandOverText(Message);
    if (Block == nullptr) {
      return Event.Finish(EFI_OUT_OF_RESOURCES);
    }
    *ResultMessage = Block;
  }
  return Event.Finish(Status);
}

EFI_STATUS NvdimmComponent::GetLocalRequestPending(BOOLEAN *Pending) {
  OperationEvent Event(mTrace, mHost, "GetLocalRequestPending");
  bool Waiting = mConfig.LocalRequestPending || mLocalRequest;
  if (Pending == nullptr) {
    return Event.Finish(EFI_INVALID_PARAMETER, &Waiting);
  }
  *Pending = Waiting ? TRUE : FALSE;
  return Event.Finish(mConfig.LocalRequestStatus, &Waiting);
}
