#include "emulator/Side.h"

const char *SideName(Side Which) {
  return Which == Side::Driver ? "driver" : Which == Side::Producer ? "producer" : "platform";
}

void SideTracker::Enter(Side Callee) {
  mCallers.push_back(mCurrent);
  mCurrent = Callee;
}

void SideTracker::Leave() {
  if (mCallers.empty()) {
    mProblems.Record("sides: LeavePlatform without a matching EnterPlatform");
    return;
  }
  mCurrent = mCallers.back();
  mCallers.pop_back();
}

void SideTracker::Reset() {
  mCurrent = Side::Platform;
  mCallers.clear();
}
