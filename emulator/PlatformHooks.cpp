#include "emulator/PlatformHooks.h"

#include "emulator/Firmware.h"

void EmulatorEnterPlatform(void * /*Context*/) { Firmware::Instance().EnterPlatform(); }

void EmulatorLeavePlatform(void * /*Context*/) { Firmware::Instance().LeavePlatform(); }

void EmulatorHandOver(void * /*Context*/, void *Block) { Firmware::Instance().HandOver(Block); }

PlatformHost EmulatorPlatformHost() {
  PlatformHost Host = {};
  Host.BootServices = Firmware::Instance().BootServices();
  Host.EnterPlatform = EmulatorEnterPlatform;
  Host.LeavePlatform = EmulatorLeavePlatform;
  Host.HandOver = EmulatorHandOver;
  Host.Context = nullptr;
  return Host;
}
