// The service's entry documents: the version document and the service root.
#include "server/BaseRegistry.h"
#include "server/RedfishStore.h"
#include "server/StoreUris.h"

namespace {

Json Link(const std::string &Uri) { return Json{{"@odata.id", Uri}}; }

}  // namespace

StoreResponse RedfishStore::ServeVersion(CALL &Call) {
  return Generated(Call, Dump(Json{{"v1", "/redfish/v1/"}}));
}

StoreResponse RedfishStore::ServeRoot(CALL &Call) {
  Json Root = {{"@odata.id", URI_ROOT},
               {"@odata.type", "#ServiceRoot.v1_5_0.ServiceRoot"},
               {"Id", "RootService"},
               {"Name", "Root Service"},
               {"RedfishVersion", "1.6.0"},
               {"UUID", mUuid},
               {"Systems", Link(URI_SYSTEMS)},
               {"SessionService", Link(URI_SESSION_SERVICE)},
               {"Tasks", Link(URI_TASK_SERVICE)},
               {"Links", {{"Sessions", Link(URI_SESSIONS)}}}};
  return Generated(Call, Dump(Root));
}
