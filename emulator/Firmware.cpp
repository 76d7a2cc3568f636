#include "emulator/Firmware.h"

#include <stdio.h>
#include <stdlib.h>

#include "emulator/Services.h"
#include "platform/Guids.h"

Firmware &Firmware::Instance() {
  static Firmware gMachine;
  return gMachine;
}

Firmware::Firmware() { FillTables(mSystemTable, mBootServices, mRuntimeServices); }

void Firmware::PowerOn() {
  ClearBootState();
  mNetwork.PowerOff();
  mVariables.clear();
  mPool.PowerOn();
  mProblems.Clear();
  mResetHandler = nullptr;
  mResetContext = nullptr;
  mSignalResetGroup = true;
  mCallResetNotifications = false;
  mBoot = 0;
  mInBoot = false;
  FillTables(mSystemTable, mBootServices, mRuntimeServices);
}

void Firmware::BeginBoot() {
  if (mInBoot) {
    EndBoot();
  }
  mBoot++;
  mPool.BeginBoot(mBoot);
  ClearBootState();
  FillTables(mSystemTable, mBootServices, mRuntimeServices);
  mInBoot = true;
  mNetwork.BeginBoot(&mConfigurationTables);
  PublishConfigurationTables();
  if (mCallResetNotifications) {
    // Installed early in DXE on EDK2, before any step of the boot.
    EFI_HANDLE Handle = nullptr;
    if (EFI_ERROR(mHandles.Install(&Handle, &gEfiResetNotificationProtocolGuid,
                                   EFI_NATIVE_INTERFACE, mResetNotifications.Protocol()))) {
      mProblems.Record("the reset notification protocol could not be installed");
    }
  }
}

void Firmware::SetResetBehaviour(bool SignalGroup, bool CallNotifications) {
  mSignalResetGroup = SignalGroup;
  mCallResetNotifications = CallNotifications;
}

void Firmware::EndBoot() {
  ClearBootState();
  mInBoot = false;
}

void Firmware::SetResetHandler(RESET_HANDLER Handler, void *Context) {
  mResetHandler = Handler;
  mResetContext = Context;
}

void Firmware::ResetSystem(EFI_RESET_TYPE Type) {
  const Side By = mSides.Current();
  if (mSignalResetGroup) {
    // The group's members run at their own TPL: above the caller's at once,
    // the rest never, since the reset does not come back.
    mEvents.QueueGroup(gEfiEventGroupResetSystemGuid);
    mEvents.DispatchPending();
  }
  if (mCallResetNotifications) {
    mResetNotifications.Notify(Type, EFI_SUCCESS);
  }
  if (mResetHandler == nullptr) {
    fprintf(stderr, "nvdimm-emu: ResetSystem called with no reset handler installed\n");
    abort();
  }
  mResetHandler(mResetContext, Type, By);
  fprintf(stderr, "nvdimm-emu: the reset handler returned; a reset never returns\n");
  abort();
}

void Firmware::ClearBootState() {
  mProducerBlocksAtEntry.clear();
  mNetwork.EndBoot();
  mConfigurationTables.clear();
  mResetNotifications.Reset();
  mEvents.Reset();
  mHandles.Reset();
  mSides.Reset();
}

void Firmware::PublishConfigurationTables() {
  mSystemTable.NumberOfTableEntries = mConfigurationTables.size();
  mSystemTable.ConfigurationTable =
      mConfigurationTables.empty() ? nullptr : mConfigurationTables.data();
  mSystemTable.Hdr.CRC32 = 0;
  mSystemTable.Hdr.CRC32 = Crc32(&mSystemTable, sizeof(mSystemTable));
}

EFI_STATUS Firmware::InstallConfigurationTable(const EFI_GUID *Guid, VOID *Table) {
  if (Guid == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  for (auto It = mConfigurationTables.begin(); It != mConfigurationTables.end(); ++It) {
    if (CompareGuid(It->VendorGuid, *Guid)) {
      if (Table == nullptr) {
        mConfigurationTables.erase(It);
      } else {
        It->VendorTable = Table;
      }
      PublishConfigurationTables();
      return EFI_SUCCESS;
    }
  }
  if (Table == nullptr) {
    return EFI_NOT_FOUND;
  }
  mConfigurationTables.push_back({*Guid, Table});
  PublishConfigurationTables();
  return EFI_SUCCESS;
}

namespace {

std::string GuidKey(const EFI_GUID &Guid) {
  return std::string(reinterpret_cast<const char *>(&Guid), sizeof(Guid));
}

}  // namespace

void Firmware::SetVariable(const std::u16string &Name, const EFI_GUID &Guid, std::string Data) {
  mVariables[{Name, GuidKey(Guid)}] = std::move(Data);
}

EFI_STATUS Firmware::GetVariable(const CHAR16 *Name, const EFI_GUID *Guid, UINT32 *Attributes,
                                 UINTN *DataSize, VOID *Data) const {
  if (Name == nullptr || Guid == nullptr || DataSize == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  auto It = mVariables.find({std::u16string(Name), GuidKey(*Guid)});
  if (It == mVariables.end()) {
    return EFI_NOT_FOUND;
  }
  if (*DataSize < It->second.size()) {
    *DataSize = It->second.size();
    return EFI_BUFFER_TOO_SMALL;
  }
  if (Data == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  std::copy(It->second.begin(), It->second.end(), static_cast<char *>(Data));
  *DataSize = It->second.size();
  if (Attributes != nullptr) {
    // As a variable the platform set for boot services.
    *Attributes = 0x00000002 | 0x00000004;
  }
  return EFI_SUCCESS;
}

void Firmware::EnterProducer() {
  mProducerBlocksAtEntry.push_back(mPool.Held(Side::Producer).Blocks);
  mSides.Enter(Side::Producer);
}

void Firmware::LeaveProducer() {
  mSides.Leave();
  if (mProducerBlocksAtEntry.empty()) {
    mProblems.Record("sides: LeaveProducer without a matching EnterProducer");
    return;
  }
  UINT64 Before = mProducerBlocksAtEntry.back();
  mProducerBlocksAtEntry.pop_back();
  UINT64 After = mPool.Held(Side::Producer).Blocks;
  if (After > Before) {
    mProblems.Record(
        "REST producer: it holds %llu more pool blocks after a SendReceive than "
        "before (its answer handed over)",
        static_cast<unsigned long long>(After - Before));
  }
}
