// `nvdimm-emu run SCENARIO --platform qemu`: the scenario in real firmware.
// Each boot is one run of QEMU with OVMF, booting the platform image
// (qemu/image/) from a FAT disk; the image runs the boot's steps and
// dispatches the driver's PE32+ image with LoadImage and StartImage. The
// runner collects the trace from the image's channel, prints the readable
// account the image wrote, carries the state across a reset to the next
// boot's disk, and checks the scenario's expectations on the events, as the
// host run does. There are no "leak" events: the firmware's pool does not
// tell who holds what.
#pragma once

#include <string>

/// Exit status of a run whose virtual machine or platform image failed: a
/// tool or image missing, QEMU failing or running out of time, the image
/// reporting that it could not run the boot.
constexpr int QEMU_PLATFORM_FAILED = 3;

struct QemuOptions {
  std::string ScenarioPath;
  std::string TracePath;          ///< as run's --trace: "" none, "-" standard output
  bool Quiet = false;             ///< no readable account
  std::string PlatformImage;      ///< empty: DefaultPlatformImage()
  std::string DriverImage;        ///< empty: DefaultDriverImage()
  std::string KeepDirectory;      ///< empty: a temporary work directory, removed at the end
  unsigned TimeoutSeconds = 120;  ///< for each boot
  /// Network mode: the REST producer's image (empty: DefaultProducerImage())
  /// carries the driver's requests over OVMF's network stack and virtio-net
  /// to the runner, which answers them from the scenario's service; the
  /// guest's own address is static, or by DHCP with NetworkByDhcp. Without
  /// HostInterface OVMF gets no Redfish Host Interface record: the producer
  /// then needs its variable or its patched-in configuration.
  bool Network = false;
  bool NetworkByDhcp = false;
  bool HostInterface = true;
  std::string ProducerImage;
};

/// Runs Options.ScenarioPath in QEMU. Exit status as the host run's (0, 1
/// when the expectations do not hold, 2 for a scenario that cannot be used,
/// or one that injects allocation failures, which only the host can do),
/// or QEMU_PLATFORM_FAILED.
int RunScenarioInQemu(const QemuOptions &Options);
