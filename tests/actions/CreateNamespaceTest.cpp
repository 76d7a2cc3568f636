// The order of CreateNamespace's parameter copies, which only an allocation
// failure makes visible: a failure injected at the N-th allocation must hit
// the copy that a platform's sweep expects there.
#include <string>
#include <vector>

#include "actions/Handlers.h"
#include "tests/redfish/RedfishFixture.h"

namespace {

std::vector<UINTN> mSizes;        // every AllocatePool size, in order
std::vector<UINTN> mSizesAtCall;  // those before the component's call
std::string mName;
std::string mMode;

EFI_STATUS EFIAPI RecordingAllocatePool(EFI_MEMORY_TYPE Type, UINTN Size, VOID **Buffer) {
  mSizes.push_back(Size);
  return Firmware::Instance().BootServices()->AllocatePool(Type, Size, Buffer);
}

EFI_STATUS EFIAPI RecordCreate(UINT32, CHAR8 *Name, UINT64, CHAR8 *Mode, CHAR8 *) {
  mSizesAtCall = mSizes;
  mName = Name;
  mMode = Mode;
  return EFI_SUCCESS;
}

class CreateNamespaceTest : public RedfishTest {
 protected:
  void SetUp() override {
    RedfishTest::SetUp();
    mSizes.clear();
    mSizesAtCall.clear();
    Nvdimm.Enabled = 1;
    Nvdimm.CreateNamespace = RecordCreate;
    Recording = *Machine.BootServices();
    Recording.AllocatePool = RecordingAllocatePool;
  }

  void TearDown() override {
    gBS = Machine.BootServices();
    RedfishTest::TearDown();
  }

  NVDIMM_ACTION_PROTOCOL Nvdimm = {};
  EFI_BOOT_SERVICES Recording = {};
};

// Name is copied before Mode, each into (length + 1) bytes, and these are
// the last two allocations before the component is called.
TEST_F(CreateNamespaceTest, CopiesNameThenMode) {
  Install(Rest);
  // Lengths no other allocation of the handler has: 19 and 6 bytes.
  Rest.Body = R"({"RegionId":"1","Name":"pmem-namespace-one","Mode":"fsdax","CapacityMiB":1024})";
  gBS = &Recording;
  CreateNamespaceAction(u"/ns", &Rest.Protocol, &Nvdimm);
  gBS = Machine.BootServices();
  EXPECT_EQ(mName, "pmem-namespace-one");
  EXPECT_EQ(mMode, "fsdax");
  ASSERT_GE(mSizesAtCall.size(), 2u);
  EXPECT_EQ((std::vector<UINTN>(mSizesAtCall.end() - 2, mSizesAtCall.end())),
            (std::vector<UINTN>{19, 6}));
}

}  // namespace
