// What the QEMU runner (nvdimm-emu run --platform qemu) and the twin's QEMU
// host (nvdimm-emu serve --platform qemu) share: where the images are, and a
// run of boots of the virtual machine with each boot's channel records taken
// in order (trace lines, account lines, the state carried to the next boot,
// the end of the run).
#pragma once

#include <functional>
#include <string>

#include "qemu/runner/QemuMachine.h"

/// The folder nvdimm-emu was started from, with a trailing slash.
std::string ProgramFolder();

/// The images a build puts beside nvdimm-emu's folder: the platform image
/// and the driver's image.
std::string DefaultPlatformImage();
std::string DefaultDriverImage();
std::string DefaultProducerImage();

/// Where a run of boots sends what the platform image writes.
struct QEMU_BOOT_SINK {
  /// Before boot Number starts (for the account); may be empty.
  std::function<void(unsigned Number)> BeforeBoot;
  /// Around the machine's run of boot Number (the twin's relay); may be empty.
  std::function<void(unsigned Number)> MachineStarting;
  std::function<void(unsigned Number)> MachineStopped;
  /// One trace line; false, with the problem in Problem, stops the run.
  std::function<bool(const std::string &Line, std::string *Problem)> Event;
  /// One line of the readable account.
  std::function<void(const std::string &Line)> Account;
};

/// Boots Machine, boot *Boot + 1 first, until the platform image says the
/// run is over, for at most MAX_BOOTS_IN_A_ROW boots. *State is the state
/// carried into the first boot, and receives the one to carry into a later
/// boot; *Boot the last boot's number. False with the problem, naming the
/// boot and ending with the firmware console's last lines, in Problem.
[[nodiscard]] bool RunQemuBoots(QemuMachine &Machine, const QEMU_BOOT_SINK &Sink, unsigned *Boot,
                                std::string *State, std::string *Problem);
