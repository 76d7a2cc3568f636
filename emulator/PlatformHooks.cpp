#include "emulator/PlatformHooks.h"

#include "emulator/Firmware.h"

void EmulatorEnterPlatform(void * /*Context*/) { Firmware::Instance().EnterPlatform(); }

void EmulatorLeavePlatform(void * /*Context*/) { Firmware::Instance().LeavePlatform(); }

void EmulatorHandOver(void * /*Context*/, void *Block) { Firmware::Instance().HandOver(Block); }

void EmulatorEnterProducer(void * /*Context*/) { Firmware::Instance().EnterProducer(); }

void EmulatorLeaveProducer(void * /*Context*/) { Firmware::Instance().LeaveProducer(); }

PlatformHost EmulatorPlatformHost() {
  PlatformHost Host = {};
  Host.BootServices = Firmware::Instance().BootServices();
  Host.EnterPlatform = EmulatorEnterPlatform;
  Host.LeavePlatform = EmulatorLeavePlatform;
  Host.HandOver = EmulatorHandOver;
  Host.EnterProducer = EmulatorEnterProducer;
  Host.LeaveProducer = EmulatorLeaveProducer;
  Host.Context = nullptr;
  return Host;
}
