#include "emulator/Side.h"

const char *SideName(Side Which) { return Which == Side::Driver ? "driver" : "platform"; }

void SideTracker::Enter() {
  mCallers.push_back(mCurrent);
  mCurrent = Side::Platform;
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
