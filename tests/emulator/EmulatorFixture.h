// The fixture shared by the emulator's tests: a powered-on machine in its
// first boot, and a probe that records what a notify function saw.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulator/Firmware.h"
#include "platform/Guids.h"

/// What one notify function saw each time it ran.
struct Probe {
  const char *Name;
  std::vector<std::string> *Log;
  EFI_TPL Tpl = 0;
  Side RanAs = Side::Platform;
  int Runs = 0;
  void (*Then)(Probe &Self, EFI_EVENT Event) = nullptr;
  void *Extra = nullptr;
};

inline VOID EFIAPI ProbeNotify(EFI_EVENT Event, VOID *Context) {
  auto &Self = *static_cast<Probe *>(Context);
  Firmware &Machine = Firmware::Instance();
  Self.Runs++;
  Self.Tpl = Machine.CurrentTpl();
  Self.RanAs = Machine.CurrentSide();
  Self.Log->push_back(Self.Name);
  if (Self.Then != nullptr) {
    Self.Then(Self, Event);
  }
}

class EmulatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Machine.PowerOn();
    Machine.BeginBoot();
  }

  // Tests that expect problems take them; anything left is unexpected.
  void TearDown() override { EXPECT_EQ(Machine.TakeProblems(), std::vector<std::string>{}); }

  /// A signal event at Tpl whose notify function is Target's probe.
  EFI_EVENT MakeEvent(Probe &Target, EFI_TPL Tpl, UINT32 Type = EVT_NOTIFY_SIGNAL,
                      const EFI_GUID *Group = nullptr) {
    EFI_EVENT Event = nullptr;
    EXPECT_EQ(Bs->CreateEventEx(Type, Tpl, ProbeNotify, &Target, Group, &Event), EFI_SUCCESS);
    return Event;
  }

  Probe MakeProbe(const char *Name) { return Probe{Name, &Log}; }

  Firmware &Machine = Firmware::Instance();
  EFI_BOOT_SERVICES *const Bs = Machine.BootServices();
  EFI_RUNTIME_SERVICES *const Rt = Machine.RuntimeServices();
  std::vector<std::string> Log;
};
