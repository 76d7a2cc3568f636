#include "emulator/Network.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "emulator/Events.h"
#include "emulator/Firmware.h"
#include "emulator/Handles.h"
#include "emulator/HttpChild.h"
#include "platform/Guids.h"

namespace {

/// The network interface's simple network protocol: only its GUID counts.
struct SIMPLE_NETWORK_MARKER {
  UINT64 Revision;
};
SIMPLE_NETWORK_MARKER mSimpleNetwork = {0x00010000};

constexpr size_t READ_CHUNK = 65536;

/// An SMBIOS 3.0 entry point for a structure table at Table of Length bytes.
std::vector<UINT8> SmbiosEntryPoint(const UINT8 *Table, size_t Length) {
  std::vector<UINT8> Entry(0x18, 0);
  std::memcpy(Entry.data(), "_SM3_", 5);
  Entry[6] = 0x18;  // its length
  Entry[7] = 3;     // version 3.0
  Entry[8] = 0;
  Entry[10] = 1;  // entry point revision
  for (size_t Byte = 0; Byte < 4; Byte++) {
    Entry[0x0C + Byte] = static_cast<UINT8>(Length >> (8 * Byte));
  }
  auto Address = reinterpret_cast<uint64_t>(Table);
  for (size_t Byte = 0; Byte < 8; Byte++) {
    Entry[0x10 + Byte] = static_cast<UINT8>(Address >> (8 * Byte));
  }
  UINT8 Sum = 0;
  for (UINT8 Byte : Entry) {
    Sum = static_cast<UINT8>(Sum + Byte);
  }
  Entry[5] = static_cast<UINT8>(0x100 - Sum);
  return Entry;
}

}  // namespace

EmulatedNetwork::EmulatedNetwork(ProblemLog &Problems, EventTable &Events, HandleDatabase &Handles)
    : mProblems(Problems),
      mEvents(Events),
      mHandles(Handles),
      mServiceBinding{{CreateChildEntry, DestroyChildEntry}, this} {}

EmulatedNetwork::~EmulatedNetwork() { PowerOff(); }

void EmulatedNetwork::PowerOff() {
  EndBoot();
  for (auto &Listener : mListeners) {
    for (auto &Connection : Listener->Connections) {
      close(Connection->Socket);
    }
    close(Listener->Socket);
  }
  mListeners.clear();
  mSetup = NETWORK_SETUP();
}

int EmulatedNetwork::AddLocalService(LOCAL_SERVICE Service) {
  int Socket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (Socket < 0) {
    return -1;
  }
  sockaddr_in Address = {};
  Address.sin_family = AF_INET;
  Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t Size = sizeof(Address);
  if (bind(Socket, reinterpret_cast<sockaddr *>(&Address), sizeof(Address)) != 0 ||
      listen(Socket, 16) != 0 ||
      getsockname(Socket, reinterpret_cast<sockaddr *>(&Address), &Size) != 0) {
    close(Socket);
    return -1;
  }
  auto Listener = std::make_unique<LOCAL_LISTENER>();
  Listener->Socket = Socket;
  Listener->Service = std::move(Service);
  mListeners.push_back(std::move(Listener));
  return ntohs(Address.sin_port);
}

void EmulatedNetwork::InstallServiceBinding() {
  if (mBindingInstalled || mNic == nullptr) {
    return;
  }
  EFI_HANDLE Nic = mNic;
  if (EFI_ERROR(mHandles.Install(&Nic, &gEfiHttpServiceBindingProtocolGuid, EFI_NATIVE_INTERFACE,
                                 &mServiceBinding.Protocol))) {
    mProblems.Record("network: the HTTP service binding could not be installed");
    return;
  }
  mBindingInstalled = true;
}

void EmulatedNetwork::BeginBoot(std::vector<EFI_CONFIGURATION_TABLE> *Tables) {
  EndBoot();
  if (!mSetup.Smbios.empty()) {
    // One block: the entry point first, the structure table after it.
    mSmbiosEntry.assign(0x18, 0);
    mSmbiosEntry.insert(mSmbiosEntry.end(), mSetup.Smbios.begin(), mSetup.Smbios.end());
    std::vector<UINT8> Entry = SmbiosEntryPoint(mSmbiosEntry.data() + 0x18, mSetup.Smbios.size());
    std::copy(Entry.begin(), Entry.end(), mSmbiosEntry.begin());
    Tables->push_back({gEfiSmbios3TableGuid, mSmbiosEntry.data()});
  }
  if (!mSetup.Present) {
    return;
  }
  mNic = nullptr;
  if (EFI_ERROR(mHandles.Install(&mNic, &gEfiSimpleNetworkProtocolGuid, EFI_NATIVE_INTERFACE,
                                 &mSimpleNetwork))) {
    mProblems.Record("network: the network interface could not be installed");
    mNic = nullptr;
    return;
  }
  if (mSetup.ConnectedAtBoot) {
    InstallServiceBinding();
  }
}

void EmulatedNetwork::EndBoot() {
  mChildren.clear();
  mNic = nullptr;
  mBindingInstalled = false;
  for (auto &Listener : mListeners) {
    for (auto &Connection : Listener->Connections) {
      close(Connection->Socket);
    }
    Listener->Connections.clear();
  }
}

EFI_STATUS EmulatedNetwork::Connect(EFI_HANDLE Controller) {
  if (Controller == nullptr || Controller != mNic) {
    return EFI_NOT_FOUND;
  }
  InstallServiceBinding();
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI EmulatedNetwork::CreateChildEntry(EFI_SERVICE_BINDING_PROTOCOL *This,
                                                    EFI_HANDLE *ChildHandle) {
  if (This == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  return reinterpret_cast<SERVICE_BINDING *>(This)->Network->CreateChild(ChildHandle);
}

EFI_STATUS EFIAPI EmulatedNetwork::DestroyChildEntry(EFI_SERVICE_BINDING_PROTOCOL *This,
                                                     EFI_HANDLE ChildHandle) {
  if (This == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  return reinterpret_cast<SERVICE_BINDING *>(This)->Network->DestroyChild(ChildHandle);
}

EFI_STATUS EmulatedNetwork::CreateChild(EFI_HANDLE *ChildHandle) {
  if (ChildHandle == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  // The child record needs its handle, which the installation makes: a
  // placeholder goes first.
  auto Child = std::make_unique<HttpChild>(*this, nullptr);
  EFI_HANDLE Handle = *ChildHandle;
  EFI_STATUS Status =
      mHandles.Install(&Handle, &gEfiHttpProtocolGuid, EFI_NATIVE_INTERFACE, Child->Protocol());
  if (EFI_ERROR(Status)) {
    return Status;
  }
  *ChildHandle = Handle;
  mChildren[Handle] = std::move(Child);
  return EFI_SUCCESS;
}

EFI_STATUS EmulatedNetwork::DestroyChild(EFI_HANDLE ChildHandle) {
  auto It = mChildren.find(ChildHandle);
  if (It == mChildren.end()) {
    return EFI_UNSUPPORTED;
  }
  EFI_STATUS Status =
      mHandles.Uninstall(ChildHandle, &gEfiHttpProtocolGuid, It->second->Protocol());
  if (EFI_ERROR(Status)) {
    return Status;
  }
  mChildren.erase(It);
  return EFI_SUCCESS;
}

bool EmulatedNetwork::Serve(LOCAL_LISTENER &Listener, LOCAL_CONNECTION &Connection) {
  char Buffer[READ_CHUNK];
  for (;;) {
    ssize_t Read = recv(Connection.Socket, Buffer, sizeof(Buffer), MSG_DONTWAIT);
    if (Read == 0) {
      return false;
    }
    if (Read < 0) {
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        return false;
      }
      break;
    }
    size_t Offset = 0;
    while (Offset < static_cast<size_t>(Read) && !Connection.Closing) {
      Offset += Connection.Parser.Feed(Buffer + Offset, static_cast<size_t>(Read) - Offset);
      if (Connection.Parser.State() == HttpRequestParser::STATE::Error) {
        HttpAnswer Refusal;
        Refusal.Code = Connection.Parser.ErrorCode();
        Refusal.Fields.push_back({"Connection", "close"});
        Connection.Unsent +=
            HttpResponseText(Refusal.Code, Refusal.Fields, Connection.Parser.ErrorText(), false);
        Connection.Closing = true;
      } else if (Connection.Parser.State() == HttpRequestParser::STATE::Done) {
        HttpRequest Request = Connection.Parser.Take();
        HttpAnswer Answer;
        {
          // The machine's own service is the platform's.
          SideScope Platform(Side::Platform);
          Answer = Listener.Service(Request);
        }
        if (Answer.Drop) {
          return false;
        }
        if (!Request.KeepAlive()) {
          Answer.Fields.push_back({"Connection", "close"});
          Connection.Closing = true;
        }
        Connection.Unsent +=
            HttpResponseText(Answer.Code, Answer.Fields, Answer.Body, Request.Method == "HEAD");
      }
    }
  }
  while (!Connection.Unsent.empty()) {
    ssize_t Wrote = send(Connection.Socket, Connection.Unsent.data(), Connection.Unsent.size(),
                         MSG_NOSIGNAL | MSG_DONTWAIT);
    if (Wrote <= 0) {
      if (Wrote < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        return true;
      }
      return false;
    }
    Connection.Unsent.erase(0, static_cast<size_t>(Wrote));
  }
  return !Connection.Closing;
}

void EmulatedNetwork::Pump(int WaitMilliseconds) {
  if (mListeners.empty()) {
    return;
  }
  std::vector<pollfd> Watched;
  for (auto &Listener : mListeners) {
    Watched.push_back({Listener->Socket, POLLIN, 0});
    for (auto &Connection : Listener->Connections) {
      Watched.push_back({Connection->Socket,
                         static_cast<short>(POLLIN | (Connection->Unsent.empty() ? 0 : POLLOUT)),
                         0});
    }
  }
  if (poll(Watched.data(), Watched.size(), WaitMilliseconds) <= 0) {
    return;
  }
  for (auto &Listener : mListeners) {
    for (;;) {
      int Accepted = accept4(Listener->Socket, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (Accepted < 0) {
        break;
      }
      int On = 1;
      (void)setsockopt(Accepted, IPPROTO_TCP, TCP_NODELAY, &On, sizeof(On));
      auto Connection = std::make_unique<LOCAL_CONNECTION>();
      Connection->Socket = Accepted;
      Connection->Closing = false;
      Listener->Connections.push_back(std::move(Connection));
    }
    for (size_t Index = 0; Index < Listener->Connections.size();) {
      LOCAL_CONNECTION &Connection = *Listener->Connections[Index];
      if (Serve(*Listener, Connection)) {
        Index++;
        continue;
      }
      close(Connection.Socket);
      Listener->Connections.erase(Listener->Connections.begin() +
                                  static_cast<std::ptrdiff_t>(Index));
    }
  }
}
