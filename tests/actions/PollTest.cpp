// Dispatch of an issued action by name, where no scenario reaches: bytes of
// the URI as the request carries them, and a URI that cannot be widened.
#include "actions/Poll.h"
#include "tests/redfish/RedfishFixture.h"

namespace {

class PollTest : public RedfishTest {
 protected:
  NVDIMM_ACTION_PROTOCOL Nvdimm = {};
};

// Bytes above 0x7F of ActionUri become 0xFF80..0xFFFF, one unit per byte.
TEST_F(PollTest, DispatchWidensBySignExtension) {
  Install(Rest);
  Rest.Code = HTTP_STATUS_404_NOT_FOUND;
  UINT64 Before = HeldBlocks();
  EXPECT_EQ(DispatchAction("DeleteNamespace", "/a\xE9\x7F", &Rest.Protocol, &Nvdimm), EFI_SUCCESS);
  ASSERT_EQ(Rest.Requests.size(), 1u);
  EXPECT_EQ(Rest.Requests[0].UrlText, (std::u16string{u'/', u'a', 0xFFE9, 0x007F}));
  EXPECT_EQ(HeldBlocks(), Before);
}

// An unknown name runs nothing; a URI that cannot be widened is reported
// to the caller.
TEST_F(PollTest, DispatchOfUnknownNamesAndWithoutMemory) {
  Install(Rest);
  EXPECT_EQ(DispatchAction("createGoal", "/x", &Rest.Protocol, &Nvdimm), EFI_SUCCESS);
  EXPECT_TRUE(Rest.Requests.empty());
  Machine.SetFailAllocation(Machine.DriverAllocationCount() + 1);
  EXPECT_EQ(DispatchAction("CreateGoal", "/x", &Rest.Protocol, &Nvdimm), EFI_OUT_OF_RESOURCES);
  Machine.SetFailAllocation(0);
  EXPECT_TRUE(Rest.Requests.empty());
}

}  // namespace
