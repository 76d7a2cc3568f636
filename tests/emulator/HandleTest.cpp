// The handle database: installation, lookups, protocol-notify registrations.
#include "tests/emulator/EmulatorFixture.h"

namespace {

EFI_GUID mAlpha = {0x0a1f6c2e, 0x5b7d, 0x4e21, {0x8c, 0x3a, 0x61, 0x9e, 0x0d, 0x44, 0x2b, 0x01}};
EFI_GUID mBeta = {0x0a1f6c2e, 0x5b7d, 0x4e21, {0x8c, 0x3a, 0x61, 0x9e, 0x0d, 0x44, 0x2b, 0x02}};
int mFirst, mSecond, mThird;

class HandleTest : public EmulatorTest {
 protected:
  EFI_HANDLE Install(EFI_HANDLE Handle, EFI_GUID &Protocol, VOID *Interface) {
    EXPECT_EQ(Bs->InstallProtocolInterface(&Handle, &Protocol, EFI_NATIVE_INTERFACE, Interface),
              EFI_SUCCESS);
    return Handle;
  }
};

// A null handle makes a new one; a GUID already on the handle, an unknown
// handle or a foreign interface type are refused.
TEST_F(HandleTest, InstallCreatesHandlesAndRefusesDuplicates) {
  EFI_HANDLE Handle = Install(nullptr, mAlpha, &mFirst);
  ASSERT_NE(Handle, nullptr);
  EFI_HANDLE Same = Handle;
  EXPECT_EQ(Bs->InstallProtocolInterface(&Same, &mAlpha, EFI_NATIVE_INTERFACE, &mSecond),
            EFI_INVALID_PARAMETER);
  EFI_HANDLE Bogus = reinterpret_cast<EFI_HANDLE>(&mFirst);
  EXPECT_EQ(Bs->InstallProtocolInterface(&Bogus, &mBeta, EFI_NATIVE_INTERFACE, nullptr),
            EFI_INVALID_PARAMETER);
  EXPECT_EQ(
      Bs->InstallProtocolInterface(&Same, &mBeta, static_cast<EFI_INTERFACE_TYPE>(1), nullptr),
      EFI_INVALID_PARAMETER);

  VOID *Interface = &mThird;
  EXPECT_EQ(Bs->HandleProtocol(Handle, &mAlpha, &Interface), EFI_SUCCESS);
  EXPECT_EQ(Interface, &mFirst);
  EXPECT_EQ(Bs->HandleProtocol(Handle, &mBeta, &Interface), EFI_UNSUPPORTED);
  EXPECT_EQ(Interface, nullptr);
  EXPECT_EQ(Bs->HandleProtocol(Bogus, &mAlpha, &Interface), EFI_INVALID_PARAMETER);
  EXPECT_EQ(Bs->OpenProtocol(Handle, &mAlpha, &Interface, nullptr, nullptr, OPEN_GET_PROTOCOL),
            EFI_SUCCESS);
  EXPECT_EQ(Interface, &mFirst);
}

// LocateProtocol finds the first interface in installation order; removing
// the last protocol of a handle removes the handle.
TEST_F(HandleTest, LocateProtocolAndUninstall) {
  EFI_HANDLE First = Install(nullptr, mAlpha, &mFirst);
  Install(nullptr, mAlpha, &mSecond);
  VOID *Interface = nullptr;
  EXPECT_EQ(Bs->LocateProtocol(&mAlpha, nullptr, &Interface), EFI_SUCCESS);
  EXPECT_EQ(Interface, &mFirst);
  EXPECT_EQ(Bs->UninstallProtocolInterface(First, &mAlpha, &mSecond), EFI_NOT_FOUND);
  EXPECT_EQ(Bs->UninstallProtocolInterface(First, &mAlpha, &mFirst), EFI_SUCCESS);
  EXPECT_EQ(Bs->HandleProtocol(First, &mAlpha, &Interface), EFI_INVALID_PARAMETER);
  EXPECT_EQ(Bs->LocateProtocol(&mAlpha, nullptr, &Interface), EFI_SUCCESS);
  EXPECT_EQ(Interface, &mSecond);
  EXPECT_EQ(Bs->LocateProtocol(&mBeta, nullptr, &Interface), EFI_NOT_FOUND);
  EXPECT_EQ(Interface, nullptr);
  EXPECT_EQ(Bs->LocateProtocol(&mAlpha, nullptr, nullptr), EFI_INVALID_PARAMETER);
}

// A buffer too small gets EFI_BUFFER_TOO_SMALL, the size needed, and the
// handles that fit; bad arguments and empty results have their own status.
TEST_F(HandleTest, LocateHandleFollowsBufferSizeRules) {
  EFI_HANDLE First = Install(nullptr, mAlpha, &mFirst);
  EFI_HANDLE Second = Install(nullptr, mAlpha, &mSecond);
  EFI_HANDLE Buffer[2] = {};
  UINTN Size = sizeof(EFI_HANDLE);
  EXPECT_EQ(Bs->LocateHandle(ByProtocol, &mAlpha, nullptr, &Size, Buffer), EFI_BUFFER_TOO_SMALL);
  EXPECT_EQ(Size, 2 * sizeof(EFI_HANDLE));
  EXPECT_EQ(Buffer[0], First);
  EXPECT_EQ(Buffer[1], nullptr);
  EXPECT_EQ(Bs->LocateHandle(ByProtocol, &mAlpha, nullptr, &Size, Buffer), EFI_SUCCESS);
  EXPECT_EQ(Buffer[1], Second);

  Size = 0;
  EXPECT_EQ(Bs->LocateHandle(ByProtocol, &mAlpha, nullptr, &Size, nullptr), EFI_BUFFER_TOO_SMALL);
  EXPECT_EQ(Bs->LocateHandle(ByProtocol, &mBeta, nullptr, &Size, Buffer), EFI_NOT_FOUND);
  EXPECT_EQ(Bs->LocateHandle(ByProtocol, &mAlpha, nullptr, nullptr, Buffer), EFI_INVALID_PARAMETER);
  EXPECT_EQ(Bs->LocateHandle(ByProtocol, &mAlpha, nullptr, &Size, nullptr), EFI_INVALID_PARAMETER);
  EXPECT_EQ(Bs->LocateHandle(ByProtocol, nullptr, nullptr, &Size, Buffer), EFI_INVALID_PARAMETER);
  EXPECT_EQ(Bs->LocateHandle(ByRegisterNotify, nullptr, nullptr, &Size, Buffer),
            EFI_INVALID_PARAMETER);
  EXPECT_EQ(
      Bs->LocateHandle(static_cast<EFI_LOCATE_SEARCH_TYPE>(7), nullptr, nullptr, &Size, Buffer),
      EFI_INVALID_PARAMETER);
}

// ByProtocol follows the order the protocol was installed in, AllHandles the
// order the handles were made in; the buffer is the caller's allocation.
TEST_F(HandleTest, LocateHandleBufferOrderAndOwnership) {
  EFI_HANDLE Older = Install(nullptr, mBeta, &mFirst);
  EFI_HANDLE Newer = Install(nullptr, mAlpha, &mSecond);
  Install(Older, mAlpha, &mThird);

  SideScope AsDriver(Side::Driver);
  UINTN Count = 0;
  EFI_HANDLE *Buffer = nullptr;
  ASSERT_EQ(Bs->LocateHandleBuffer(ByProtocol, &mAlpha, nullptr, &Count, &Buffer), EFI_SUCCESS);
  ASSERT_EQ(Count, 2u);
  EXPECT_EQ(Buffer[0], Newer);
  EXPECT_EQ(Buffer[1], Older);
  EXPECT_EQ(Machine.DriverAllocationCount(), 1u);
  EXPECT_EQ(Bs->FreePool(Buffer), EFI_SUCCESS);

  ASSERT_EQ(Bs->LocateHandleBuffer(AllHandles, nullptr, nullptr, &Count, &Buffer), EFI_SUCCESS);
  ASSERT_EQ(Count, 2u);
  EXPECT_EQ(Buffer[0], Older);
  EXPECT_EQ(Buffer[1], Newer);
  EXPECT_EQ(Bs->FreePool(Buffer), EFI_SUCCESS);

  Machine.SetFailAllocation(3);
  EXPECT_EQ(Bs->LocateHandleBuffer(AllHandles, nullptr, nullptr, &Count, &Buffer),
            EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(Count, 0u);
  EXPECT_EQ(Buffer, nullptr);
  EXPECT_EQ(Bs->LocateHandleBuffer(ByProtocol, &mBeta, nullptr, &Count, nullptr),
            EFI_INVALID_PARAMETER);
  EFI_GUID Missing = {};
  EXPECT_EQ(Bs->LocateHandleBuffer(ByProtocol, &Missing, nullptr, &Count, &Buffer), EFI_NOT_FOUND);
}

struct NotifyState {
  VOID *Registration = nullptr;
  std::vector<EFI_HANDLE> Seen;
};

// Drains the registration the way drivers do: one new handle per call.
void DrainRegistration(Probe &Self, EFI_EVENT) {
  auto &State = *static_cast<NotifyState *>(Self.Extra);
  EFI_BOOT_SERVICES *Services = Firmware::Instance().BootServices();
  for (;;) {
    EFI_HANDLE Handle = nullptr;
    UINTN Size = sizeof(Handle);
    if (Services->LocateHandle(ByRegisterNotify, nullptr, State.Registration, &Size, &Handle) !=
        EFI_SUCCESS) {
      break;
    }
    State.Seen.push_back(Handle);
  }
}

// An installation signals the events registered for its GUID, at once when
// the TPL allows; each registration hands out every interface once, starting
// with those installed before it, as the DXE core does.
TEST_F(HandleTest, RegistrationHandsOutEachNewHandleOnce) {
  EFI_HANDLE Early = Install(nullptr, mAlpha, &mFirst);
  Probe Watcher = MakeProbe("watcher");
  NotifyState State;
  Watcher.Extra = &State;
  Watcher.Then = DrainRegistration;
  EFI_EVENT Event = MakeEvent(Watcher, TPL_CALLBACK);
  ASSERT_EQ(Bs->RegisterProtocolNotify(&mAlpha, Event, &State.Registration), EFI_SUCCESS);
  EXPECT_EQ(Watcher.Runs, 0);

  Install(nullptr, mBeta, &mSecond);
  EXPECT_EQ(Watcher.Runs, 0);
  EFI_HANDLE Late = Install(nullptr, mAlpha, &mSecond);
  EXPECT_EQ(Watcher.Runs, 1);
  EXPECT_EQ(State.Seen, (std::vector<EFI_HANDLE>{Early, Late}));

  // Held back by the TPL: two installations, one notification.
  Bs->RaiseTPL(TPL_NOTIFY);
  EFI_HANDLE Third = Install(nullptr, mAlpha, &mThird);
  EFI_HANDLE Fourth = Install(nullptr, mAlpha, &mThird);
  Bs->RestoreTPL(TPL_APPLICATION);
  EXPECT_EQ(Watcher.Runs, 2);
  EXPECT_EQ(State.Seen, (std::vector<EFI_HANDLE>{Early, Late, Third, Fourth}));

  VOID *Interface;
  EXPECT_EQ(Bs->LocateProtocol(&mAlpha, State.Registration, &Interface), EFI_NOT_FOUND);
  EXPECT_EQ(Bs->CloseEvent(Event), EFI_SUCCESS);
  EXPECT_EQ(Bs->LocateProtocol(&mAlpha, State.Registration, &Interface), EFI_INVALID_PARAMETER);
  Install(nullptr, mAlpha, &mFirst);
  EXPECT_EQ(Watcher.Runs, 2);
}

// LocateProtocol with a registration also consumes it, and a buffer too
// small for ByRegisterNotify leaves the position where it was.
TEST_F(HandleTest, LocateProtocolConsumesRegistration) {
  Probe Watcher = MakeProbe("watcher");
  VOID *Registration = nullptr;
  ASSERT_EQ(Bs->RegisterProtocolNotify(&mAlpha, MakeEvent(Watcher, TPL_CALLBACK), &Registration),
            EFI_SUCCESS);
  EFI_HANDLE Handle = Install(nullptr, mAlpha, &mFirst);
  UINTN Size = 0;
  EXPECT_EQ(Bs->LocateHandle(ByRegisterNotify, nullptr, Registration, &Size, nullptr),
            EFI_BUFFER_TOO_SMALL);
  VOID *Interface = nullptr;
  EXPECT_EQ(Bs->LocateProtocol(&mAlpha, Registration, &Interface), EFI_SUCCESS);
  EXPECT_EQ(Interface, &mFirst);
  EXPECT_EQ(Bs->LocateProtocol(&mAlpha, Registration, &Interface), EFI_NOT_FOUND);
  EXPECT_EQ(Interface, nullptr);
  EXPECT_EQ(Bs->LocateHandle(ByRegisterNotify, nullptr, Registration, &Size, &Handle),
            EFI_NOT_FOUND);
  EXPECT_EQ(
      Bs->RegisterProtocolNotify(&mAlpha, reinterpret_cast<EFI_EVENT>(&mFirst), &Registration),
      EFI_INVALID_PARAMETER);
}

void CheckBetaPresent(Probe &Self, EFI_EVENT) {
  EFI_HANDLE Handle = nullptr;
  UINTN Size = sizeof(Handle);
  VOID *Interface = nullptr;
  EFI_BOOT_SERVICES *Services = Firmware::Instance().BootServices();
  ASSERT_EQ(Services->LocateHandle(ByProtocol, &mAlpha, nullptr, &Size, &Handle), EFI_SUCCESS);
  Self.Extra = reinterpret_cast<void *>(Services->HandleProtocol(Handle, &mBeta, &Interface));
}

// Several interfaces go on one handle before any notification runs; on a
// failure none stays installed and the handle is given back as it was.
TEST_F(HandleTest, InstallMultipleIsAllOrNothing) {
  Probe Watcher = MakeProbe("watcher");
  Watcher.Then = CheckBetaPresent;
  VOID *Registration = nullptr;
  ASSERT_EQ(Bs->RegisterProtocolNotify(&mAlpha, MakeEvent(Watcher, TPL_CALLBACK), &Registration),
            EFI_SUCCESS);
  EFI_HANDLE Handle = nullptr;
  EXPECT_EQ(
      Bs->InstallMultipleProtocolInterfaces(&Handle, &mAlpha, &mFirst, &mBeta, &mSecond, nullptr),
      EFI_SUCCESS);
  EXPECT_EQ(Watcher.Runs, 1);
  EXPECT_EQ(reinterpret_cast<EFI_STATUS>(Watcher.Extra), EFI_SUCCESS);

  EFI_HANDLE Fresh = nullptr;
  EXPECT_EQ(
      Bs->InstallMultipleProtocolInterfaces(&Fresh, &mBeta, &mThird, &mBeta, &mThird, nullptr),
      EFI_INVALID_PARAMETER);
  EXPECT_EQ(Fresh, nullptr);
  UINTN Size = 0;
  EXPECT_EQ(Bs->LocateHandle(ByProtocol, &mBeta, nullptr, &Size, nullptr), EFI_BUFFER_TOO_SMALL);
  EXPECT_EQ(Size, sizeof(EFI_HANDLE));
}

}  // namespace
