// Paths of the driver's entry and notification functions that no scenario
// can reach, because the platform would have to misbehave in ways real
// firmware does not: an event that cannot be created, a notification called
// without its context.
#include "actions/Poll.h"
#include "driver/Driver.h"
#include "tests/redfish/RedfishFixture.h"

namespace {

EFI_STATUS EFIAPI FailingCreateEventEx(UINT32, EFI_TPL, EFI_EVENT_NOTIFY, const VOID *,
                                       const EFI_GUID *, EFI_EVENT *) {
  return EFI_OUT_OF_RESOURCES;
}

int mPendingQueries = 0;
EFI_STATUS EFIAPI LocalRequestPending(BOOLEAN *Pending) {
  mPendingQueries++;
  *Pending = TRUE;
  return EFI_SUCCESS;
}

class DriverPathsTest : public RedfishTest {
 protected:
  void SetUp() override {
    RedfishTest::SetUp();
    mPendingQueries = 0;
    Nvdimm.Enabled = 1;
    Nvdimm.GetLocalRequestPending = LocalRequestPending;
  }

  NVDIMM_ACTION_PROTOCOL Nvdimm = {};
};

// The entry fails when the reset-group event cannot be created: its notify
// events are closed, so nothing of the unloaded image runs afterwards.
TEST_F(DriverPathsTest, FailedEntryLeavesNothingRegistered) {
  EFI_BOOT_SERVICES Boot = *Machine.BootServices();
  Boot.CreateEventEx = FailingCreateEventEx;
  EFI_SYSTEM_TABLE System = *Machine.SystemTable();
  System.BootServices = &Boot;
  EXPECT_EQ(DriverEntry(nullptr, &System), EFI_OUT_OF_RESOURCES);
  gBS = Machine.BootServices();
  {
    SideScope Platform(Side::Platform);
    EFI_HANDLE Handle = nullptr;
    ASSERT_EQ(gBS->InstallProtocolInterface(&Handle, &gNvdimmActionProtocolGuid,
                                            EFI_NATIVE_INTERFACE, &Nvdimm),
              EFI_SUCCESS);
    Install(Rest);
    Handle = nullptr;
    ASSERT_EQ(gBS->InstallProtocolInterface(&Handle, &gLocalRequestTriggerGuid,
                                            EFI_NATIVE_INTERFACE, nullptr),
              EFI_SUCCESS);
  }
  EXPECT_TRUE(Rest.Requests.empty());
  EXPECT_EQ(mPendingQueries, 0);
}

VOID EFIAPI NoNotification(EFI_EVENT, VOID *) {}

// A notification or poll without its context does nothing: with the NVDIMM
// component (a local request pending) and the service installed, no REST
// request is made, the component is not asked, nothing is allocated and the
// event that fired stays open.
TEST_F(DriverPathsTest, NullContexts) {
  {
    SideScope Platform(Side::Platform);
    EFI_HANDLE Handle = nullptr;
    ASSERT_EQ(gBS->InstallProtocolInterface(&Handle, &gNvdimmActionProtocolGuid,
                                            EFI_NATIVE_INTERFACE, &Nvdimm),
              EFI_SUCCESS);
  }
  Install(Rest);
  EFI_EVENT Event = nullptr;
  ASSERT_EQ(gBS->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, NoNotification, nullptr, &Event),
            EFI_SUCCESS);
  UINT64 Allocations = Machine.DriverAllocationCount();
  ActionContext Empty = {};
  // The service is there but not recorded in the context: nothing to poll.
  ActionContext WithoutService = {};
  WithoutService.Nvdimm = &Nvdimm;
  WithoutService.Rest = &Rest.Protocol;
  EXPECT_EQ(PollActionStatus(nullptr), EFI_INVALID_PARAMETER);
  EXPECT_EQ(PollActionStatus(&WithoutService), EFI_INVALID_PARAMETER);
  OnServiceNotify(Event, nullptr);
  OnLocalRequestCheck(Event, nullptr);
  // Nothing located yet: the guard has no component to ask.
  OnLocalRequestCheck(Event, &Empty);
  EXPECT_TRUE(Rest.Requests.empty());
  EXPECT_EQ(mPendingQueries, 0);
  EXPECT_EQ(Machine.DriverAllocationCount(), Allocations);
  EXPECT_TRUE(Machine.Events().IsEvent(Event));
  EXPECT_EQ(Empty.Aborted, 0);
  EXPECT_EQ(gBS->CloseEvent(Event), EFI_SUCCESS);
}

// An NVDIMM protocol installed without an interface is not there: discovery
// reports EFI_NOT_FOUND and leaves the context and Found alone.
TEST_F(DriverPathsTest, NvdimmWithoutInterfaceIsNotFound) {
  {
    SideScope Platform(Side::Platform);
    EFI_HANDLE Handle = nullptr;
    ASSERT_EQ(gBS->InstallProtocolInterface(&Handle, &gNvdimmActionProtocolGuid,
                                            EFI_NATIVE_INTERFACE, nullptr),
              EFI_SUCCESS);
  }
  Install(Rest);
  ActionContext Context = {};
  BOOLEAN Found = FALSE;
  EXPECT_EQ(DiscoverServices(&Found, &Context), EFI_NOT_FOUND);
  EXPECT_EQ(Found, FALSE);
  EXPECT_EQ(Context.Nvdimm, nullptr);
  EXPECT_EQ(Context.Rest, nullptr);
  EXPECT_TRUE(Rest.Requests.empty());
}

// Once the guard has acted it closes the event that fired and forgets it in
// the context; a failed entry could otherwise close it a second time.
TEST_F(DriverPathsTest, GuardClosesItsEventOnceItActed) {
  Install(Rest);
  Rest.Body = R"({"Status": "Issued"})";
  EFI_EVENT Event = nullptr;
  ASSERT_EQ(gBS->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, NoNotification, nullptr, &Event),
            EFI_SUCCESS);
  ActionContext Context = {};
  Context.Nvdimm = &Nvdimm;
  Context.Rest = &Rest.Protocol;
  Context.NotifyEvents[1] = Event;
  OnLocalRequestCheck(Event, &Context);
  EXPECT_EQ(Context.Aborted, 1);
  EXPECT_EQ(mPendingQueries, 1);
  ASSERT_EQ(Rest.Requests.size(), 2u);
  EXPECT_EQ(Rest.Requests[1].Method, HttpMethodPatch);
  EXPECT_FALSE(Machine.Events().IsEvent(Event));
  EXPECT_EQ(Context.NotifyEvents[1], nullptr);
}

}  // namespace
