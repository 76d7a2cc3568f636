// The two sides that share one process in nvdimm-emu: the driver under test
// and the simulated platform. Every pool allocation is charged to the side
// running when it is made, so that leaks and injected failures concern the
// driver alone.
#pragma once

#include <vector>

#include "emulator/Problems.h"

enum class Side { Platform, Driver };

/// "platform" or "driver".
const char *SideName(Side Which);

/// Which side is running, and the sides to go back to when calls from the
/// driver into the platform return.
class SideTracker {
 public:
  explicit SideTracker(ProblemLog &Problems) : mProblems(Problems) {}

  [[nodiscard]] Side Current() const { return mCurrent; }
  void Set(Side Which) { mCurrent = Which; }

  /// A call into the platform begins: the platform runs until the matching
  /// Leave(). Calls nest.
  void Enter();

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
