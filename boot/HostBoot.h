// Boots on the emulated machine, as nvdimm-emu run, nvdimm-emu serve, the
// fuzzers and the benchmarks all make them. A reset leaves the boot through
// a jump back to where it started (ResetSystem never returns, on real
// hardware or here); the end of a boot is written to the trace (the reset,
// and the memory the driver still holds) and the machine's problems become
// notes; a run of boots stops after MAX_BOOTS_IN_A_ROW.
#pragma once

#include <functional>

#include "emulator/Firmware.h"
#include "sim/platform/PlatformRunner.h"

/// How a stretch of work on the machine ended.
struct RESET_SEEN {
  bool Reset = false;                  ///< it ended in ResetSystem
  EFI_RESET_TYPE Type = EfiResetCold;  ///< with Reset: the reset's type
  Side By = Side::Platform;            ///< with Reset: the side that called ResetSystem
};

/// Runs Body(Context) on the machine, whose reset handler this installs. A
/// ResetSystem inside Body ends it there and returns here: the frames in
/// between are abandoned, their destructors never run, as a reset abandons
/// them. Not reentrant: Body must not call it.
RESET_SEEN RunUntilReset(Firmware &Machine, void (*Body)(void *Context), void *Context);

/// Routes the JSON library's allocations to the emulated pool (the driver
/// installs its own hooks at entry), for the platform running alone.
void InstallPlatformJsonAllocator();

/// Dispatches the driver: its entry point runs on the driver's side.
EFI_STATUS StartDriverOnHost(void *Context, EFI_SYSTEM_TABLE *SystemTable);

/// Dispatches the REST producer (network mode): its entry point runs on the
/// producer's side.
EFI_STATUS StartProducerOnHost(void *Context, EFI_SYSTEM_TABLE *SystemTable);

/// Network mode on the emulated machine: the network interface with the
/// REST producer's Redfish Host Interface record naming Address:Port (the
/// host's own address static, 127.0.0.1/8), and the producer dispatched at
/// the "redfish" step. Without Address, the scenario's own service answers,
/// on a port of the machine's own (the version document /redfish besides).
/// False when the machine's service cannot listen.
[[nodiscard]] bool UseNetwork(Firmware &Machine, PlatformRunner &Runner, const UINT8 *Address,
                              UINT16 Port);

/// The "leak" event: what the driver held at the end of the boot.
void EmitLeak(Trace &Log, const HeldMemory &Held);

/// A scenario's boots on the machine, one after another, counted from the
/// first boot the host ever ran.
class HostBoots {
 public:
  /// Called as each boot begins, with its number and why it runs ("power
  /// on", "reset by the driver", ...), for the readable account.
  using Announce = std::function<void(UINT32 Boot, const char *Why)>;

  /// Machine, Runner, TheScenario and Log must outlive the boots.
  HostBoots(Firmware &Machine, PlatformRunner &Runner, const Scenario &TheScenario, Trace &Log);
  HostBoots(const HostBoots &) = delete;
  HostBoots &operator=(const HostBoots &) = delete;

  void SetAnnounce(Announce Announcer) { mAnnounce = std::move(Announcer); }

  /// Runs the next boot: its number's plan of the scenario, with the driver
  /// dispatched at its "driver" step, then the end of the boot in the trace
  /// (the reset event, the leak event, a note per problem). Returns how it
  /// ended.
  RESET_SEEN RunBoot(const char *Why);

  /// Runs boots until none follows: while Listed, the scenario's listed
  /// boots; always, one more after every reset the driver makes. Stops
  /// after MAX_BOOTS_IN_A_ROW boots with a note.
  void RunBoots(bool Listed, const char *Why);

  /// The number of the last boot that ran (0 before the first); a host that
  /// restores a saved state goes on counting from it.
  [[nodiscard]] UINT32 LastBoot() const { return mLastBoot; }
  void SetLastBoot(UINT32 Boot) { mLastBoot = Boot; }

  /// Whether a boot left the driver holding memory without a reset to
  /// excuse it, or recorded a problem of the machine.
  [[nodiscard]] bool Faulty() const { return mFaulty; }

 private:
  Firmware &mMachine;
  PlatformRunner &mRunner;
  const Scenario &mScenario;
  Trace &mLog;
  Announce mAnnounce;
  UINT32 mLastBoot = 0;
  bool mFaulty = false;
};
