// One benchmark's machine: the emulated UEFI machine powered on, the
// simulated platform of a scenario installed as a boot of nvdimm-emu would
// install it, and the driver's view of it (gST, gBS, gRT, the JSON
// allocator, an ActionContext), so that a benchmark can call the driver's
// functions directly and repeatedly.
//
// The platform's share of the time is measured at its protocol entries, and
// under callgrind it can be left out of the instruction counts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "driver/Driver.h"
#include "sim/common/PlatformHost.h"
#include "sim/platform/PlatformRunner.h"

class BenchPlatform {
 public:
  /// Powers the machine on (releasing whatever an earlier BenchPlatform left
  /// in the pool), reads ScenarioText and runs its first boot. The caller
  /// then runs as the driver. Exits the process if the scenario is refused.
  explicit BenchPlatform(const std::string &ScenarioText);
  ~BenchPlatform();
  BenchPlatform(const BenchPlatform &) = delete;
  BenchPlatform &operator=(const BenchPlatform &) = delete;

  /// The context the driver's entry would have built; owned here.
  ActionContext *Context() { return &mContext; }

  /// Runs Action(Argument) as the driver. TRUE when it reset the platform:
  /// the blocks its abandoned frames held stay in the pool until Reboot().
  bool Run(void (*Action)(BenchPlatform &Platform, void *Argument), void *Argument);

  /// Starts the next boot after a reset: the driver's blocks of the boot are
  /// dropped, the platform is installed again, the caller runs as the driver.
  void Reboot();

  /// The body the service holds at Uri now; empty if none.
  std::string ResourceBody(const char *Uri) const;

 private:
  std::unique_ptr<Scenario> mScenario;
  std::unique_ptr<Trace> mLog;
  PlatformHost mHost = {};
  std::unique_ptr<PlatformRunner> mRunner;
  ActionContext mContext = {};
};

/// Nanoseconds spent inside platform protocol calls since the last reset.
uint64_t PlatformNanoseconds();
void ResetPlatformNanoseconds();

/// Callgrind collection (no effect outside valgrind): Start and Stop bracket
/// a measured region; with WithoutPlatform, platform protocol calls inside
/// it are not collected. Dump writes the counts so far under Name and
/// zeroes them.
void CallgrindStart(bool WithoutPlatform);
void CallgrindStop();
void CallgrindDump(const std::string &Name);
