// The tables: layout, completeness, unsupported services, memory helpers,
// and a fresh machine state at every boot.
#include <string.h>

#include <string>

#include "tests/emulator/EmulatorFixture.h"

namespace {

using TableTest = EmulatorTest;

template <typename TABLE>
bool CrcMatches(EFI_BOOT_SERVICES *Services, TABLE &Table) {
  TABLE Copy = Table;
  Copy.Hdr.CRC32 = 0;
  UINT32 Crc = 0;
  return Services->CalculateCrc32(&Copy, sizeof(Copy), &Crc) == EFI_SUCCESS &&
         Crc == Table.Hdr.CRC32;
}

// Every service slot holds a function, every header its signature and CRC.
TEST_F(TableTest, TablesAreCompleteAndSealed) {
  EFI_SYSTEM_TABLE *System = Machine.SystemTable();
  EXPECT_EQ(System->Hdr.Signature, EFI_SYSTEM_TABLE_SIGNATURE);
  EXPECT_EQ(System->Hdr.HeaderSize, sizeof(EFI_SYSTEM_TABLE));
  EXPECT_EQ(std::u16string(System->FirmwareVendor), u"nvdimm-emu");
  EXPECT_EQ(System->ConOut, nullptr);
  EXPECT_EQ(System->BootServices, Bs);
  EXPECT_EQ(System->RuntimeServices, Rt);
  EXPECT_EQ(Bs->Hdr.Signature, EFI_BOOT_SERVICES_SIGNATURE);
  EXPECT_EQ(Rt->Hdr.Signature, EFI_RUNTIME_SERVICES_SIGNATURE);
  EXPECT_TRUE(CrcMatches(Bs, *System));
  EXPECT_TRUE(CrcMatches(Bs, *Bs));
  EXPECT_TRUE(CrcMatches(Bs, *Rt));

  auto *BootSlots = reinterpret_cast<VOID **>(&Bs->RaiseTPL);
  for (UINTN Index = 0; Index < (sizeof(*Bs) - sizeof(Bs->Hdr)) / sizeof(VOID *); Index++) {
    if (&BootSlots[Index] != &Bs->Reserved) {
      EXPECT_NE(BootSlots[Index], nullptr) << "boot services slot " << Index;
    }
  }
  auto *RuntimeSlots = reinterpret_cast<VOID **>(&Rt->GetTime);
  for (UINTN Index = 0; Index < (sizeof(*Rt) - sizeof(Rt->Hdr)) / sizeof(VOID *); Index++) {
    EXPECT_NE(RuntimeSlots[Index], nullptr) << "runtime services slot " << Index;
  }
}

// A service not emulated says so by name and returns EFI_UNSUPPORTED.
TEST_F(TableTest, UnsupportedServicesReportThemselves) {
  EXPECT_EQ(Bs->SetWatchdogTimer(0, 0, 0, nullptr), EFI_UNSUPPORTED);
  EXPECT_EQ(Bs->UninstallMultipleProtocolInterfaces(nullptr, nullptr), EFI_UNSUPPORTED);
  EXPECT_EQ(Rt->SetVariable(nullptr, nullptr, 0, 0, nullptr), EFI_UNSUPPORTED);
  EXPECT_EQ(Machine.TakeProblems(),
            (std::vector<std::string>{
                "unsupported boot service SetWatchdogTimer called",
                "unsupported boot service UninstallMultipleProtocolInterfaces called",
                "unsupported runtime service SetVariable called"}));
}

// CalculateCrc32 is the standard CRC-32; CopyMem allows overlap.
TEST_F(TableTest, MemoryServices) {
  char Digits[] = "123456789";
  UINT32 Crc = 0;
  EXPECT_EQ(Bs->CalculateCrc32(Digits, 9, &Crc), EFI_SUCCESS);
  EXPECT_EQ(Crc, 0xCBF43926u);
  EXPECT_EQ(Bs->CalculateCrc32(Digits, 0, &Crc), EFI_INVALID_PARAMETER);
  Bs->CopyMem(Digits + 2, Digits, 5);
  EXPECT_STREQ(Digits, "121234589");
  Bs->SetMem(Digits, 3, 'x');
  EXPECT_STREQ(Digits, "xxx234589");
}

VOID EFIAPI Ignore(EFI_EVENT, VOID *) {}

// A new boot forgets handles, events and TPL, and restores the tables.
TEST_F(TableTest, EveryBootStartsAfresh) {
  static EFI_GUID Protocol = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  EFI_HANDLE Handle = nullptr;
  ASSERT_EQ(Bs->InstallProtocolInterface(&Handle, &Protocol, EFI_NATIVE_INTERFACE, nullptr),
            EFI_SUCCESS);
  EFI_EVENT Event = nullptr;
  ASSERT_EQ(Bs->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, Ignore, nullptr, &Event), EFI_SUCCESS);
  Bs->RaiseTPL(TPL_NOTIFY);
  Bs->FreePool = nullptr;

  Machine.BeginBoot();
  EXPECT_EQ(Machine.BootNumber(), 2u);
  EXPECT_NE(Bs->FreePool, nullptr);
  EXPECT_EQ(Machine.CurrentTpl(), TPL_APPLICATION);
  VOID *Interface;
  EXPECT_EQ(Bs->HandleProtocol(Handle, &Protocol, &Interface), EFI_INVALID_PARAMETER);
  EXPECT_EQ(Bs->SignalEvent(Event), EFI_INVALID_PARAMETER);
}

}  // namespace
