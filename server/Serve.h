// nvdimm-emu serve: a server's twin. The scenario's Redfish service over real
// HTTP for operators' clients, and the host whose firmware runs the driver
// at every boot, its requests going over HTTP to the same listener.
#pragma once

#include <cstdint>
#include <string>

struct ServeOptions {
  std::string ScenarioPath;
  std::string Host = "127.0.0.1";
  int Port = 0;             ///< 0: a free port
  std::string TracePath;    ///< as run's --trace
  std::string StatePath;    ///< empty: no state file
  uint64_t MaxSeconds = 0;  ///< 0: until SIGINT or SIGTERM
  std::string Certificate;  ///< with Key: HTTPS
  std::string Key;
  bool PowerOff = false;  ///< the host starts off: no boot until a reset
  bool Quiet = false;
  bool Qemu = false;           ///< boots run the real images in OVMF under QEMU
  unsigned QemuTimeout = 120;  ///< qemu: seconds a boot may take
  /// qemu: the REST producer over OVMF's network stack carries the driver's
  /// requests, instead of the platform image's REST channel.
  bool Network = false;
};

/// Exit status: 0 after a clean stop, 2 when the scenario, the listening
/// address or the state file cannot be used.
int ServeScenario(const ServeOptions &Options);
