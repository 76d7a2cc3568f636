// Shared pieces of the simulated-platform tests: a pool of boot services over
// malloc that counts and can fail allocations, a host record that counts the
// platform crossings, trace sinks into strings, and scenario reading.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

#include "sim/common/ExactJson.h"
#include "sim/common/PlatformHost.h"
#include "sim/scenario/Scenario.h"
#include "sim/trace/Trace.h"

/// AllocatePool and FreePool over malloc, and a TPL that stays at
/// TPL_APPLICATION (the trace asks for it); every other service is null, so
/// a call to one crashes the test at once.
class FakePool {
 public:
  FakePool() {
    mCurrent = this;
    Services.AllocatePool = Allocate;
    Services.FreePool = Free;
    Services.RaiseTPL = Raise;
    Services.RestoreTPL = Restore;
  }
  ~FakePool() {
    for (void *Block : mLive) {
      std::free(Block);
    }
    mCurrent = nullptr;
  }

  EFI_BOOT_SERVICES Services = {};
  /// 1-based number of the allocation to fail; 0: none.
  unsigned FailAt = 0;
  unsigned Allocations = 0;

  size_t LiveBlocks() const { return mLive.size(); }

 private:
  static EFI_STATUS EFIAPI Allocate(EFI_MEMORY_TYPE, UINTN Size, VOID **Buffer) {
    if (++mCurrent->Allocations == mCurrent->FailAt) {
      return EFI_OUT_OF_RESOURCES;
    }
    *Buffer = std::malloc(Size == 0 ? 1 : Size);
    mCurrent->mLive.insert(*Buffer);
    return EFI_SUCCESS;
  }
  static EFI_STATUS EFIAPI Free(VOID *Buffer) {
    EXPECT_EQ(mCurrent->mLive.erase(Buffer), 1U) << "FreePool of a block not allocated";
    std::free(Buffer);
    return EFI_SUCCESS;
  }

  static EFI_TPL EFIAPI Raise(EFI_TPL) { return TPL_APPLICATION; }
  static VOID EFIAPI Restore(EFI_TPL) {}

  static inline FakePool *mCurrent = nullptr;
  std::set<void *> mLive;
};

/// A host over a FakePool that counts entries, leaves and blocks handed over.
struct CountingHost {
  explicit CountingHost(FakePool &Pool)
      : Host{&Pool.Services, Enter, Leave, HandOver, nullptr, nullptr, this} {}

  PlatformHost Host;
  int Depth = 0;
  int Entries = 0;
  int HandedOver = 0;

 private:
  static void Enter(void *Context) {
    auto *Self = static_cast<CountingHost *>(Context);
    Self->Depth++;
    Self->Entries++;
  }
  static void Leave(void *Context) { static_cast<CountingHost *>(Context)->Depth--; }
  static void HandOver(void *Context, void *) {
    static_cast<CountingHost *>(Context)->HandedOver++;
  }
};

/// A trace sink that appends to a string.
inline TraceSink StringSink(std::string &Text) {
  return {[](void *Context, const CHAR8 *Bytes, UINTN Length) {
            static_cast<std::string *>(Context)->append(Bytes, Length);
          },
          &Text};
}

inline TraceSink NoSink() { return {nullptr, nullptr}; }

/// A scenario's document and every member read but "nvdimm".
struct ReadScenario {
  explicit ReadScenario(const std::string &Text) {
    Document.Reset(ExactJsonParse(Text.data(), Text.size(), Error, sizeof(Error)));
    Read = Document && Parts.Read(Document.Get(), Error, sizeof(Error));
  }

  SimJson Document;
  ScenarioParts Parts;
  CHAR8 Error[256] = {};
  bool Read = false;
};

/// The error line a scenario text is refused with, or "" when it is read.
inline std::string ScenarioError(const std::string &Text) {
  ReadScenario Scenario(Text);
  return Scenario.Read ? std::string() : std::string(Scenario.Error);
}
