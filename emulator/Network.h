// The emulated machine's network: one network interface whose HTTP service
// binding makes EFI_HTTP_PROTOCOL children over real sockets, behaving as
// EDK2's HttpDxe does for its callers (emulator/HttpChild.h), the SMBIOS
// table the platform publishes (where a Redfish Host Interface record says
// where the service is), and services of the machine's own on 127.0.0.1,
// answered on the machine's thread whenever the network is polled, so that
// the platform and the network never run at once.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "emulator/Problems.h"
#include "http/HttpWire.h"
#include "uefi/ServiceBinding.h"
#include "uefi/UefiTables.h"

class HttpChild;
class EventTable;
class HandleDatabase;

/// How the machine's network is set up; kept from boot to boot.
struct NETWORK_SETUP {
  bool Present = false;  ///< a network interface exists
  /// Its HTTP service binding is there when the boot starts; otherwise it
  /// comes when someone connects the interface (ConnectController).
  bool ConnectedAtBoot = true;
  /// The SMBIOS structures published through an SMBIOS 3.0 entry point
  /// (each with its string set, the end-of-table structure last); empty for
  /// none.
  std::vector<UINT8> Smbios;
  /// How long a response's status and headers may take (HttpDxe's
  /// PcdHttpIoTimeout: 5 s).
  int HeadTimeoutMs = 5000;
};

/// A service of the machine's own: its answer to each request.
using LOCAL_SERVICE = std::function<HttpAnswer(const HttpRequest &Request)>;

class EmulatedNetwork {
 public:
  EmulatedNetwork(ProblemLog &Problems, EventTable &Events, HandleDatabase &Handles);
  ~EmulatedNetwork();
  EmulatedNetwork(const EmulatedNetwork &) = delete;
  EmulatedNetwork &operator=(const EmulatedNetwork &) = delete;

  /// Forgets the setup and the local services (PowerOn).
  void PowerOff();
  void SetUp(NETWORK_SETUP Setup) { mSetup = std::move(Setup); }

  /// Listens on 127.0.0.1 (a free port) for a service of the machine's own;
  /// returns the port, or -1.
  int AddLocalService(LOCAL_SERVICE Service);

  /// Installs the interface (and its HTTP service binding when connected at
  /// boot) on a fresh handle database, and fills Tables with the SMBIOS
  /// table's entry, which stays valid until the next boot.
  void BeginBoot(std::vector<EFI_CONFIGURATION_TABLE> *Tables);
  /// Ends every connection of the boot: a reset ends them.
  void EndBoot();

  /// ConnectController on Controller: the interface gets its HTTP service
  /// binding. EFI_NOT_FOUND for any other handle, as no driver manages it.
  [[nodiscard]] EFI_STATUS Connect(EFI_HANDLE Controller);

  /// Accepts and answers what the local services' clients sent, waiting up
  /// to WaitMilliseconds for something to arrive when nothing has.
  void Pump(int WaitMilliseconds);

  ProblemLog &Problems() { return mProblems; }
  const NETWORK_SETUP &Setup() const { return mSetup; }
  EventTable &Events() { return mEvents; }

 private:
  struct LOCAL_CONNECTION {
    int Socket;
    HttpRequestParser Parser;
    std::string Unsent;
    bool Closing;
  };
  struct LOCAL_LISTENER {
    int Socket;
    LOCAL_SERVICE Service;
    std::vector<std::unique_ptr<LOCAL_CONNECTION>> Connections;
  };
  struct SERVICE_BINDING {
    EFI_SERVICE_BINDING_PROTOCOL Protocol;
    EmulatedNetwork *Network;
  };

  static EFI_STATUS EFIAPI CreateChildEntry(EFI_SERVICE_BINDING_PROTOCOL *This,
                                            EFI_HANDLE *ChildHandle);
  static EFI_STATUS EFIAPI DestroyChildEntry(EFI_SERVICE_BINDING_PROTOCOL *This,
                                             EFI_HANDLE ChildHandle);
  EFI_STATUS CreateChild(EFI_HANDLE *ChildHandle);
  EFI_STATUS DestroyChild(EFI_HANDLE ChildHandle);
  /// Serves one connection's bytes; false when it is over.
  bool Serve(LOCAL_LISTENER &Listener, LOCAL_CONNECTION &Connection);
  void InstallServiceBinding();

  ProblemLog &mProblems;
  EventTable &mEvents;
  HandleDatabase &mHandles;
  NETWORK_SETUP mSetup;
  std::vector<std::unique_ptr<LOCAL_LISTENER>> mListeners;
  SERVICE_BINDING mServiceBinding;
  EFI_HANDLE mNic = nullptr;
  bool mBindingInstalled = false;
  std::map<EFI_HANDLE, std::unique_ptr<HttpChild>> mChildren;
  std::vector<UINT8> mSmbiosEntry;  ///< the 3.0 entry point, then the table
};
