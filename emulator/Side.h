// The sides that share one process in nvdimm-emu: the driver under test, the
// simulated platform, and the REST producer over the emulated HTTP stack
// (network mode). Every pool allocation is charged to the side running when
// it is made, so that leaks and injected failures concern the driver alone,
// and the producer's own blocks can be counted apart.
#pragma once

#include <vector>

#include "emulator/Problems.h"

enum class Side { Platform, Driver, Producer };

/// "platform", "driver" or "producer".
const char *SideName(Side Which);

/// Which side is running, and the sides to go back to when calls from the
/// driver into the platform return.
class SideTracker {
 public:
  explicit SideTracker(ProblemLog &Problems) : mProblems(Problems) {}

  [[nodiscard]] Side Current() const { return mCurrent; }
  void Set(Side Which) { mCurrent = Which; }

  /// A call into the platform (or into the REST producer) begins: it runs
  /// until the matching Leave(). Calls nest.
  void Enter(Side Callee = Side::Platform);

  /// The call into the platform returns to the side that made it. A Leave()
  /// without its Enter() is recorded as a problem and changes nothing.
  void Leave();

  /// Back to the platform, with no call open (start and end of every boot).
  void Reset();

 private:
  ProblemLog &mProblems;
  Side mCurrent = Side::Platform;
  std::vector<Side> mCallers;
};
