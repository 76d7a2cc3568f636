// nvdimm-emu run on the host platform: the simulated platform on the emulated
// machine, the driver dispatched at the "driver" step, a reset ending a boot
// the way a real one does, and the trace written as the run goes.
#pragma once

#include <cstdint>
#include <string>

struct RunOptions {
  std::string ScenarioPath;
  std::string TracePath;        ///< empty: no trace file; "-": standard output
  uint64_t FailAllocation = 0;  ///< 0: no failure injected
  bool Strict = false;          ///< leaks and pool misuse fail the run
  bool Quiet = false;           ///< no readable account
  std::string RedfishUrl;       ///< the driver's requests go there over HTTP ("": the scenario's)
  std::string RedfishUser;      ///< with RedfishUrl: Basic authentication
  std::string RedfishPassword;
  /// Network mode: the REST producer over the emulated HTTP stack reaches
  /// the scenario's service (or RedfishUrl's) over loopback HTTP.
  bool Network = false;
};

/// Exit status of a run: 0 when the scenario ran to its end, 1 when its
/// expectations did not hold (or, with Strict, the driver leaked or misused
/// the machine), 2 when the scenario file cannot be used.
int RunScenario(const RunOptions &Options);
