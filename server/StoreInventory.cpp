// The NVDIMMs in the standard inventory, read-only, from the NVDIMM model
// as the last boot left it: one Memory per module (with its MemoryMetrics),
// one MemoryDomain per socket whose MemoryChunks are the persistent regions
// on its modules, each region's namespaces under Oem.Velk, and the system's
// MemorySummary.
#include <cstdio>

#include "server/BaseRegistry.h"
#include "server/RedfishStore.h"
#include "server/StoreTypes.h"
#include "server/StoreUris.h"

namespace {

std::string Hex(uint64_t Value, int Digits) {
  char Text[24];
  std::snprintf(Text, sizeof(Text), "%0*llX", Digits, static_cast<unsigned long long>(Value));
  return Text;
}

/// "Dimm0001" for module 0x0001, "Region2" for region 2, "Socket0".
std::string MemoryId(uint64_t Module) { return "Dimm" + Hex(Module, 4); }
std::string ChunkId(uint64_t Region) { return "Region" + std::to_string(Region); }
std::string DomainId(uint64_t Socket) { return "Socket" + std::to_string(Socket); }
std::string MemoryUri(uint64_t Module) { return std::string(URI_MEMORY) + "/" + MemoryId(Module); }

/// The model's parts, with the share each region takes of each module.
struct INVENTORY {
  Json Modules = Json::array();
  Json Regions = Json::array();
  Json Namespaces = Json::array();
  Json Goal;

  explicit INVENTORY(const std::string &State) {
    Json Parsed = ParseStored(State);
    if (!Parsed.is_object() || !Parsed.contains("model") || !Parsed["model"].is_object()) {
      return;
    }
    const Json &Model = Parsed["model"];
    Modules = Model.value("modules", Json::array());
    Regions = Model.value("regions", Json::array());
    Namespaces = Model.value("namespaces", Json::array());
    Goal = Model.value("goal", Json());
  }

  const Json *Module(const std::string &Id) const {
    for (const Json &Entry : Modules) {
      if (MemoryId(Entry.value("id", 0ull)) == Id) {
        return &Entry;
      }
    }
    return nullptr;
  }

  /// The region interleaves its capacity evenly over its modules.
  static uint64_t Share(const Json &Region) {
    size_t Count = Region.value("modules", Json::array()).size();
    return Count == 0 ? 0 : Region.value("capacityMiB", 0ull) / Count;
  }

  static bool Holds(const Json &Region, uint64_t Module) {
    for (const Json &Id : Region.value("modules", Json::array())) {
      if (Id == Module) {
        return true;
      }
    }
    return false;
  }

  uint64_t Socket(uint64_t Module) const {
    for (const Json &Entry : Modules) {
      if (Entry.value("id", 0ull) == Module) {
        return Entry.value("socket", 0ull);
      }
    }
    return 0;
  }

  /// The regions whose modules all sit in Socket.
  std::vector<const Json *> RegionsOf(uint64_t Socket) const {
    std::vector<const Json *> Found;
    for (const Json &Region : Regions) {
      const Json Ids = Region.value("modules", Json::array());
      if (!Ids.empty() && this->Socket(Ids[0].get<uint64_t>()) == Socket) {
        Found.push_back(&Region);
      }
    }
    return Found;
  }

  std::vector<uint64_t> Sockets() const {
    std::vector<uint64_t> Found;
    for (const Json &Entry : Modules) {
      uint64_t Socket = Entry.value("socket", 0ull);
      if (std::find(Found.begin(), Found.end(), Socket) == Found.end()) {
        Found.push_back(Socket);
      }
    }
    return Found;
  }
};

}  // namespace

Json RedfishStore::MemorySummary() const {
  INVENTORY Inventory(mInventory);
  uint64_t Total = 0;
  for (const Json &Module : Inventory.Modules) {
    Total += Module.value("capacityMiB", 0ull);
  }
  uint64_t Persistent = 0;
  for (const Json &Region : Inventory.Regions) {
    Persistent += Region.value("capacityMiB", 0ull);
  }
  return Json{{"TotalSystemMemoryGiB", static_cast<double>(Total) / 1024},
              {"TotalSystemPersistentMemoryGiB", static_cast<double>(Persistent) / 1024},
              {"MemoryMirroring", "None"}};
}

StoreResponse RedfishStore::ServeMemoryCollection(CALL &Call) {
  INVENTORY Inventory(mInventory);
  Json Members = Json::array();
  for (const Json &Module : Inventory.Modules) {
    Members.push_back(Link(MemoryUri(Module.value("id", 0ull))));
  }
  Json Body = {{"@odata.id", URI_MEMORY},
               {"@odata.type", TYPE_MEMORY_COLLECTION},
               {"Name", "Memory Module Collection"},
               {"Members@odata.count", Members.size()},
               {"Members", Members}};
  return Generated(Call, Dump(Body));
}

StoreResponse RedfishStore::ServeMemory(CALL &Call) {
  INVENTORY Inventory(mInventory);
  const Json *Module = Inventory.Module(Call.Segments[0]);
  if (Module == nullptr) {
    return Failure(404, "ResourceNotFound", {"Memory", Call.Segments[0]});
  }
  uint64_t Id = Module->value("id", 0ull);
  uint64_t Capacity = Module->value("capacityMiB", 0ull);
  bool Locked = Module->value("locked", false);
  Json Regions = Json::array();
  uint64_t Offset = 0;
  for (const Json &Region : Inventory.Regions) {
    if (!INVENTORY::Holds(Region, Id)) {
      continue;
    }
    uint64_t Share = INVENTORY::Share(Region);
    Regions.push_back({{"RegionId", "0x" + Hex(Region.value("id", 0ull), 1)},
                       {"MemoryClassification", "ByteAccessiblePersistent"},
                       {"OffsetMiB", Offset},
                       {"SizeMiB", Share},
                       {"PassphraseEnabled", Locked}});
    Offset += Share;
  }
  // Health is what the module's last diagnostics found: OK before any.
  std::string Health = "OK";
  Json Diagnosed = Module->value("diagnosed", Json());
  if (Diagnosed.is_object() && !Diagnosed.value("failed", Json::array()).empty()) {
    Health = "Warning";
  }
  Json LastDiagnostics = nullptr;
  if (Diagnosed.is_object()) {
    LastDiagnostics = {{"Tests", Diagnosed.value("tests", Json::array())},
                       {"Failed", Diagnosed.value("failed", Json::array())}};
  }
  bool GoalPending = false;
  if (Inventory.Goal.is_object()) {
    for (const Json &Waiting : Inventory.Goal.value("modules", Json::array())) {
      GoalPending = GoalPending || Waiting == Id;
    }
  }
  Json Body = {{"@odata.id", Call.Path},
               {"@odata.type", TYPE_MEMORY},
               {"Id", Call.Segments[0]},
               {"Name", "NVDIMM 0x" + Hex(Id, 4)},
               {"MemoryType", "IntelOptane"},
               {"MemoryDeviceType", "DDR4"},
               {"MemoryMedia", Json::array({"Intel3DXPoint"})},
               {"CapacityMiB", Capacity},
               {"NonVolatileSizeMiB", Capacity},
               {"OperatingMemoryModes", Json::array({"Volatile", "PMEM"})},
               {"PersistentRegionSizeLimitMiB", Capacity},
               {"PersistentRegionSizeMaxMiB", Capacity},
               {"PersistentRegionNumberLimit", 16},
               {"AllocationAlignmentMiB", 1},
               {"AllocationIncrementMiB", 1},
               {"Regions", Regions},
               {"SecurityState", Locked ? "Locked" : "Disabled"},
               {"MemoryLocation", {{"Socket", Module->value("socket", 0ull)}}},
               {"Status", {{"State", "Enabled"}, {"Health", Health}}},
               {"Metrics", Link(Call.Path + "/MemoryMetrics")},
               {"Oem",
                {{"Velk",
                  {{"@odata.type", "#VelkMemory.v1_0_0.VelkMemory"},
                   {"PlatformConfigurationData", Module->value("pcd", true)},
                   {"GoalPending", GoalPending},
                   {"LastDiagnostics", LastDiagnostics}}}}}};
  return Generated(Call, Dump(Body));
}

StoreResponse RedfishStore::ServeMemoryMetrics(CALL &Call) {
  INVENTORY Inventory(mInventory);
  const Json *Module = Inventory.Module(Call.Segments[0]);
  if (Module == nullptr) {
    return Failure(404, "ResourceNotFound", {"Memory", Call.Segments[0]});
  }
  Json Diagnosed = Module->value("diagnosed", Json());
  bool Degraded = Diagnosed.is_object() && !Diagnosed.value("failed", Json::array()).empty();
  Json Body = {{"@odata.id", Call.Path},
               {"@odata.type", TYPE_MEMORY_METRICS},
               {"Id", "MemoryMetrics"},
               {"Name", "NVDIMM 0x" + Hex(Module->value("id", 0ull), 4) + " Metrics"},
               {"BlockSizeBytes", 256},
               {"HealthData",
                {{"RemainingSpareBlockPercentage", 100},
                 {"LastShutdownSuccess", true},
                 {"DataLossDetected", false},
                 {"PerformanceDegraded", Degraded},
                 {"PredictedMediaLifeLeftPercent", 100}}}};
  return Generated(Call, Dump(Body));
}

StoreResponse RedfishStore::ServeMemoryDomains(CALL &Call) {
  INVENTORY Inventory(mInventory);
  Json Members = Json::array();
  for (uint64_t Socket : Inventory.Sockets()) {
    Members.push_back(Link(std::string(URI_MEMORY_DOMAINS) + "/" + DomainId(Socket)));
  }
  Json Body = {{"@odata.id", URI_MEMORY_DOMAINS},
               {"@odata.type", TYPE_MEMORY_DOMAIN_COLLECTION},
               {"Name", "Memory Domain Collection"},
               {"Members@odata.count", Members.size()},
               {"Members", Members}};
  return Generated(Call, Dump(Body));
}

namespace {

/// The socket a domain Id names; false for none of the model's.
bool DomainSocket(const INVENTORY &Inventory, const std::string &Id, uint64_t *Socket) {
  for (uint64_t Candidate : Inventory.Sockets()) {
    if (DomainId(Candidate) == Id) {
      *Socket = Candidate;
      return true;
    }
  }
  return false;
}

}  // namespace

StoreResponse RedfishStore::ServeMemoryDomain(CALL &Call) {
  INVENTORY Inventory(mInventory);
  uint64_t Socket = 0;
  if (!DomainSocket(Inventory, Call.Segments[0], &Socket)) {
    return Failure(404, "ResourceNotFound", {"MemoryDomain", Call.Segments[0]});
  }
  Json Set = Json::array();
  uint64_t Size = 0;
  for (const Json &Module : Inventory.Modules) {
    if (Module.value("socket", 0ull) == Socket) {
      Set.push_back(Link(MemoryUri(Module.value("id", 0ull))));
      Size += Module.value("capacityMiB", 0ull);
    }
  }
  Json Body = {{"@odata.id", Call.Path},
               {"@odata.type", TYPE_MEMORY_DOMAIN},
               {"Id", Call.Segments[0]},
               {"Name", "Persistent memory of socket " + std::to_string(Socket)},
               {"AllowsMemoryChunkCreation", false},
               {"AllowsBlockProvisioning", false},
               {"AllowsMirroring", false},
               {"AllowsSparing", false},
               {"MemorySizeMiB", Size},
               {"InterleavableMemorySets",
                Json::array({{{"MemorySet", Set}, {"MemorySet@odata.count", Set.size()}}})},
               {"MemoryChunks", Link(Call.Path + "/MemoryChunks")},
               {"Status", {{"State", "Enabled"}, {"Health", "OK"}}}};
  return Generated(Call, Dump(Body));
}

StoreResponse RedfishStore::ServeMemoryChunksCollection(CALL &Call) {
  INVENTORY Inventory(mInventory);
  uint64_t Socket = 0;
  if (!DomainSocket(Inventory, Call.Segments[0], &Socket)) {
    return Failure(404, "ResourceNotFound", {"MemoryDomain", Call.Segments[0]});
  }
  Json Members = Json::array();
  for (const Json *Region : Inventory.RegionsOf(Socket)) {
    Members.push_back(Link(Call.Path + "/" + ChunkId(Region->value("id", 0ull))));
  }
  Json Body = {{"@odata.id", Call.Path},
               {"@odata.type", TYPE_MEMORY_CHUNKS_COLLECTION},
               {"Name", "Memory Chunk Collection"},
               {"Members@odata.count", Members.size()},
               {"Members", Members}};
  return Generated(Call, Dump(Body));
}

StoreResponse RedfishStore::ServeMemoryChunk(CALL &Call) {
  INVENTORY Inventory(mInventory);
  uint64_t Socket = 0;
  if (!DomainSocket(Inventory, Call.Segments[0], &Socket)) {
    return Failure(404, "ResourceNotFound", {"MemoryDomain", Call.Segments[0]});
  }
  for (const Json *Region : Inventory.RegionsOf(Socket)) {
    uint64_t Id = Region->value("id", 0ull);
    if (ChunkId(Id) != Call.Segments[1]) {
      continue;
    }
    Json Sets = Json::array();
    uint64_t Share = INVENTORY::Share(*Region);
    for (const Json &Module : Region->value("modules", Json::array())) {
      // Where the region starts on the module: after the regions before it.
      uint64_t Offset = 0;
      for (const Json &Other : Inventory.Regions) {
        if (&Other == Region) {
          break;
        }
        Offset += INVENTORY::Holds(Other, Module.get<uint64_t>()) ? INVENTORY::Share(Other) : 0;
      }
      Sets.push_back({{"Memory", Link(MemoryUri(Module.get<uint64_t>()))},
                      {"RegionId", "0x" + Hex(Id, 1)},
                      {"OffsetMiB", Offset},
                      {"SizeMiB", Share}});
    }
    Json Namespaces = Json::array();
    for (const Json &Namespace : Inventory.Namespaces) {
      if (Namespace.value("region", 0ull) == Id) {
        Namespaces.push_back({{"Id", std::to_string(Namespace.value("id", 0ull))},
                              {"Name", Namespace.value("name", std::string())},
                              {"CapacityMiB", Namespace.value("capacityMiB", 0ull)},
                              {"Mode", Namespace.value("mode", std::string())}});
      }
    }
    Json Body = {{"@odata.id", Call.Path},
                 {"@odata.type", TYPE_MEMORY_CHUNKS},
                 {"Id", Call.Segments[1]},
                 {"Name", "Persistent region 0x" + Hex(Id, 1)},
                 {"MemoryChunkSizeMiB", Region->value("capacityMiB", 0ull)},
                 {"AddressRangeType", "PMEM"},
                 {"IsMirrorEnabled", false},
                 {"IsSpare", false},
                 {"InterleaveSets", Sets},
                 {"Status", {{"State", "Enabled"}, {"Health", "OK"}}},
                 {"Oem",
                  {{"Velk",
                    {{"@odata.type", "#VelkMemoryChunks.v1_0_0.VelkMemoryChunks"},
                     {"Namespaces", Namespaces}}}}}};
    return Generated(Call, Dump(Body));
  }
  return Failure(404, "ResourceNotFound", {"MemoryChunks", Call.Segments[1]});
}
