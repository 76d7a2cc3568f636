// The virtual machine of `nvdimm-emu run --platform qemu`: a work directory
// with a FAT boot disk (the platform image as \EFI\BOOT\BOOTX64.EFI, the
// driver image, the scenario and the options), a copy of OVMF's variable
// store, and one QEMU run per boot, whose trace channel lands in a file.
#pragma once

#include <string>
#include <vector>

struct QemuSetup {
  std::string Directory;      ///< the work directory; created when missing
  std::string PlatformImage;  ///< NvdimmPlatform.efi
  std::string DriverImage;    ///< NvdimmRemoteActionDxe.efi
  std::string ScenarioPath;
  bool Account = true;          ///< whether the image writes the readable account
  unsigned TimeoutSeconds = 0;  ///< for each boot; 0: no limit
  /// nvdimm-emu serve: the Unix socket of the REST channel
  /// (qemu/RestChannelFormat.h), which QEMU listens on; empty: no channel.
  std::string RestSocket;
  /// Network mode: the Unix socket, listened on by the runner, that QEMU's
  /// restricted user network forwards the guest's connections to
  /// 10.0.2.100:80 to; empty: no network. The REST producer's image then
  /// goes on the disk, and QEMU gives OVMF a Redfish Host Interface record
  /// naming that address, with the host's own 10.0.2.15/24 (or, with
  /// NetworkByDhcp, an address by DHCP); without HostInterface there is no
  /// record, and the producer finds the service as its image configures it.
  /// Each boot's frames go to network-BOOT.pcap in Directory.
  std::string NetworkSocket;
  std::string ProducerImage;
  bool NetworkByDhcp = false;
  bool HostInterface = true;
};

/// The guest's view of the network mode: the service's address and port,
/// the host's static address.
constexpr const char *GUEST_SERVICE_ADDRESS = "10.0.2.100";
constexpr int GUEST_SERVICE_PORT = 80;

class QemuMachine {
 public:
  /// Checks the tools and the firmware, makes the work directory and writes
  /// the boot disk. False with one line in Error when something is missing
  /// or a tool fails.
  [[nodiscard]] bool Prepare(const QemuSetup &Setup, std::string *Error);

  /// Puts the state carried from the previous boot on the disk as
  /// state.json (an empty State removes it).
  [[nodiscard]] bool PutState(const std::string &State, std::string *Error);

  /// Boots the machine for boot number Number and waits until it stops (the
  /// platform image resets it or shuts it down) or the time runs out.
  /// Channel receives the bytes the image wrote to the trace channel. False
  /// with a message when QEMU could not run, failed, or was killed after its
  /// time ran out.
  [[nodiscard]] bool Boot(unsigned Number, std::string *Channel, std::string *Error);

  /// The last lines the firmware wrote on its console in boot Number.
  std::string ConsoleTail(unsigned Number) const;

 private:
  [[nodiscard]] bool Tool(const std::vector<std::string> &Argv, std::string *Error) const;
  /// Writes the Redfish Host Interface record QEMU hands to OVMF.
  [[nodiscard]] bool WriteHostInterface(std::string *Error);

  QemuSetup mSetup;
  std::string mDisk;
  std::string mVars;
  std::string mCode;  ///< OVMF's code, as pflash; empty with mBios
  std::string mBios;  ///< OVMF as one -bios file, when the split files are missing
  std::string mToolLog;
  std::string mHostInterface;
  bool mHasState = false;
};
