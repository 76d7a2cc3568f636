#include "emulator/Handles.h"

#include <algorithm>

#include "emulator/Tokens.h"

void HandleDatabase::Reset() {
  mHandles.clear();
  mInstalled.clear();
  mRegistrations.clear();
}

EFI_STATUS HandleDatabase::Install(EFI_HANDLE *Handle, const EFI_GUID *Protocol,
                                   EFI_INTERFACE_TYPE InterfaceType, VOID *Interface) {
  if (Handle == nullptr || Protocol == nullptr || InterfaceType != EFI_NATIVE_INTERFACE) {
    return EFI_INVALID_PARAMETER;
  }
  EFI_HANDLE Target = *Handle;
  if (Target != nullptr) {
    if (!IsHandle(Target) || Find(Target, *Protocol) != nullptr) {
      return EFI_INVALID_PARAMETER;
    }
  } else {
    Target = MakeToken(HANDLE_TOKEN_TAG, mNextSerial++);
    mHandles.push_back(Target);
  }
  mInstalled.push_back(Installed{*Protocol, Target, Interface, mNextSerial++});
  *Handle = Target;
  for (const NotifyEntry &Entry : mRegistrations) {
    if (CompareGuid(Entry.Protocol, *Protocol)) {
      mEvents.QueueSignal(Entry.Event);
    }
  }
  return EFI_SUCCESS;
}

EFI_STATUS HandleDatabase::Uninstall(EFI_HANDLE Handle, const EFI_GUID *Protocol, VOID *Interface) {
  if (Protocol == nullptr || !IsHandle(Handle)) {
    return EFI_INVALID_PARAMETER;
  }
  auto It = std::find_if(mInstalled.begin(), mInstalled.end(), [&](const Installed &Entry) {
    return Entry.Handle == Handle && Entry.Interface == Interface &&
           CompareGuid(Entry.Protocol, *Protocol);
  });
  if (It == mInstalled.end()) {
    return EFI_NOT_FOUND;
  }
  // Registrations hold a serial, not a place in the list, so they need no
  // adjusting when an interface leaves.
  mInstalled.erase(It);
  const bool Empty = std::none_of(mInstalled.begin(), mInstalled.end(),
                                  [&](const Installed &Entry) { return Entry.Handle == Handle; });
  if (Empty) {
    mHandles.erase(std::find(mHandles.begin(), mHandles.end(), Handle));
  }
  return EFI_SUCCESS;
}

EFI_STATUS HandleDatabase::Open(EFI_HANDLE Handle, const EFI_GUID *Protocol, VOID **Interface,
                                UINT32 Attributes) {
  if (Protocol == nullptr || (Attributes != OPEN_TEST_PROTOCOL && Interface == nullptr) ||
      !IsHandle(Handle)) {
    return EFI_INVALID_PARAMETER;
  }
  switch (Attributes) {
    case OPEN_BY_HANDLE_PROTOCOL:
    case OPEN_GET_PROTOCOL:
    case OPEN_TEST_PROTOCOL:
      break;
    case OPEN_BY_CHILD_CONTROLLER:
    case OPEN_BY_DRIVER:
    case OPEN_BY_DRIVER | OPEN_EXCLUSIVE:
    case OPEN_EXCLUSIVE:
      mProblems.Record("unsupported OpenProtocol attributes 0x%x", Attributes);
      *Interface = nullptr;
      return EFI_UNSUPPORTED;
    default:
      return EFI_INVALID_PARAMETER;
  }
  const Installed *Entry = Find(Handle, *Protocol);
  if (Attributes != OPEN_TEST_PROTOCOL) {
    *Interface = Entry == nullptr ? nullptr : Entry->Interface;
  }
  return Entry == nullptr ? EFI_UNSUPPORTED : EFI_SUCCESS;
}

EFI_STATUS HandleDatabase::RegisterNotify(const EFI_GUID *Protocol, EFI_EVENT Event,
                                          VOID **Registration) {
  if (Protocol == nullptr || Registration == nullptr || !mEvents.IsEvent(Event)) {
    return EFI_INVALID_PARAMETER;
  }
  VOID *Key = MakeToken(REGISTRATION_TOKEN_TAG, mNextSerial++);
  mRegistrations.push_back(NotifyEntry{Key, *Protocol, Event, 0});
  *Registration = Key;
  return EFI_SUCCESS;
}

EFI_STATUS HandleDatabase::Search(EFI_LOCATE_SEARCH_TYPE SearchType, const EFI_GUID *Protocol,
                                  VOID *SearchKey, std::vector<EFI_HANDLE> &Found) const {
  Found.clear();
  switch (SearchType) {
    case AllHandles:
      Found = mHandles;
      break;
    case ByRegisterNotify: {
      const NotifyEntry *Entry = FindRegistration(SearchKey);
      if (Entry == nullptr) {
        return EFI_INVALID_PARAMETER;
      }
      const Installed *Next = NextFor(*Entry);
      if (Next != nullptr) {
        Found.push_back(Next->Handle);
      }
      break;
    }
    case ByProtocol:
      if (Protocol == nullptr) {
        return EFI_INVALID_PARAMETER;
      }
      for (const Installed &Entry : mInstalled) {
        if (CompareGuid(Entry.Protocol, *Protocol)) {
          Found.push_back(Entry.Handle);
        }
      }
      break;
    default:
      return EFI_INVALID_PARAMETER;
  }
  return Found.empty() ? EFI_NOT_FOUND : EFI_SUCCESS;
}

void HandleDatabase::Consume(VOID *Key) {
  for (NotifyEntry &Entry : mRegistrations) {
    if (Entry.Key == Key) {
      const Installed *Next = NextFor(Entry);
      if (Next != nullptr) {
        Entry.Position = Next->Serial;
      }
      return;
    }
  }
}

EFI_STATUS HandleDatabase::LocateProtocol(const EFI_GUID *Protocol, VOID *Key, VOID **Interface) {
  if (Interface == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  if (Protocol == nullptr) {
    return EFI_NOT_FOUND;
  }
  *Interface = nullptr;
  const Installed *Entry = nullptr;
  if (Key == nullptr) {
    auto It = std::find_if(mInstalled.begin(), mInstalled.end(), [&](const Installed &Candidate) {
      return CompareGuid(Candidate.Protocol, *Protocol);
    });
    Entry = It == mInstalled.end() ? nullptr : &*It;
  } else {
    const NotifyEntry *Notify = FindRegistration(Key);
    if (Notify == nullptr) {
      return EFI_INVALID_PARAMETER;
    }
    Entry = NextFor(*Notify);
    if (Entry != nullptr) {
      Consume(Key);
    }
  }
  if (Entry == nullptr) {
    return EFI_NOT_FOUND;
  }
  *Interface = Entry->Interface;
  return EFI_SUCCESS;
}

void HandleDatabase::ForgetEvent(EFI_EVENT Event) {
  mRegistrations.erase(
      std::remove_if(mRegistrations.begin(), mRegistrations.end(),
                     [&](const NotifyEntry &Entry) { return Entry.Event == Event; }),
      mRegistrations.end());
}

bool HandleDatabase::IsHandle(EFI_HANDLE Handle) const {
  return Handle != nullptr && std::find(mHandles.begin(), mHandles.end(), Handle) != mHandles.end();
}

const HandleDatabase::Installed *HandleDatabase::Find(EFI_HANDLE Handle,
                                                      const EFI_GUID &Protocol) const {
  for (const Installed &Entry : mInstalled) {
    if (Entry.Handle == Handle && CompareGuid(Entry.Protocol, Protocol)) {
      return &Entry;
    }
  }
  return nullptr;
}

const HandleDatabase::Installed *HandleDatabase::NextFor(const NotifyEntry &Entry) const {
  for (const Installed &Candidate : mInstalled) {
    if (Candidate.Serial > Entry.Position && CompareGuid(Candidate.Protocol, Entry.Protocol)) {
      return &Candidate;
    }
  }
  return nullptr;
}

const HandleDatabase::NotifyEntry *HandleDatabase::FindRegistration(const VOID *Key) const {
  if (Key == nullptr) {
    return nullptr;
  }
  for (const NotifyEntry &Entry : mRegistrations) {
    if (Entry.Key == Key) {
      return &Entry;
    }
  }
  return nullptr;
}
