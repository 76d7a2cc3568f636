// The service's protocol documents: the version document, the service root,
// the OData service document and $metadata (DMTF's schemas by their
// published URIs, and the twin's own OEM schema), and the message
// registries.
#include <set>

#include "server/BaseRegistry.h"
#include "server/RedfishStore.h"
#include "server/StoreTypes.h"
#include "server/StoreUris.h"

namespace {

/// The top-level resources of the service root, as the OData service
/// document and the root list them: (name in ServiceContainer, URI).
const std::pair<const char *, const char *> SINGLETONS[] = {
    {"Systems", URI_SYSTEMS},
    {"Tasks", URI_TASK_SERVICE},
    {"SessionService", URI_SESSION_SERVICE},
    {"AccountService", URI_ACCOUNT_SERVICE},
    {"Registries", URI_REGISTRIES},
    {"Sessions", URI_SESSIONS},
};

/// The twin's own schema: the OEM resources the driver reads and writes
/// and the five actions with their parameters.
constexpr char OEM_SCHEMA[] = R"CSDL(<?xml version="1.0" encoding="UTF-8"?>
<edmx:Edmx xmlns:edmx="http://docs.oasis-open.org/odata/ns/edmx" Version="4.0">
  <edmx:Reference Uri="http://docs.oasis-open.org/odata/odata/v4.0/errata03/csd01/complete/vocabularies/Org.OData.Core.V1.xml">
    <edmx:Include Namespace="Org.OData.Core.V1" Alias="OData"/>
  </edmx:Reference>
  <edmx:Reference Uri="http://redfish.dmtf.org/schemas/v1/Resource_v1.xml">
    <edmx:Include Namespace="Resource"/>
    <edmx:Include Namespace="Resource.v1_0_0"/>
  </edmx:Reference>
  <edmx:Reference Uri="http://redfish.dmtf.org/schemas/v1/ComputerSystem_v1.xml">
    <edmx:Include Namespace="ComputerSystem"/>
  </edmx:Reference>
  <edmx:DataServices>
    <Schema xmlns="http://docs.oasis-open.org/odata/ns/edm" Namespace="VelkActionStatus">
      <EntityType Name="VelkActionStatus" BaseType="Resource.v1_0_0.Resource" Abstract="true">
        <Annotation Term="OData.Description" String="The NVDIMM management action a remote administrator requested, and its outcome as the platform firmware reported it."/>
      </EntityType>
    </Schema>
    <Schema xmlns="http://docs.oasis-open.org/odata/ns/edm" Namespace="VelkActionStatus.v1_0_0">
      <EntityType Name="VelkActionStatus" BaseType="VelkActionStatus.VelkActionStatus" OpenType="true">
        <Property Name="Status" Type="Edm.String">
          <Annotation Term="OData.Description" String="Issued, Inprogress, Success or Failed."/>
        </Property>
        <Property Name="ActionName" Type="Edm.String"/>
        <Property Name="ActionUri" Type="Edm.String"/>
        <Property Name="StatusMessage" Type="Edm.String"/>
      </EntityType>
    </Schema>
    <Schema xmlns="http://docs.oasis-open.org/odata/ns/edm" Namespace="VelkActionParameters">
      <EntityType Name="VelkActionParameters" BaseType="Resource.v1_0_0.Resource" Abstract="true">
        <Annotation Term="OData.Description" String="The parameters of an issued action, as the platform firmware reads them."/>
      </EntityType>
    </Schema>
    <Schema xmlns="http://docs.oasis-open.org/odata/ns/edm" Namespace="VelkActionParameters.v1_0_0">
      <EntityType Name="VelkActionParameters" BaseType="VelkActionParameters.VelkActionParameters" OpenType="true"/>
    </Schema>
    <Schema xmlns="http://docs.oasis-open.org/odata/ns/edm" Namespace="VelkComputerSystem">
      <ComplexType Name="VelkComputerSystem" BaseType="Resource.OemObject" Abstract="true">
        <Annotation Term="OData.Description" String="The system's Velk extensions."/>
      </ComplexType>
    </Schema>
    <Schema xmlns="http://docs.oasis-open.org/odata/ns/edm" Namespace="VelkComputerSystem.v1_0_0">
      <ComplexType Name="VelkComputerSystem" BaseType="VelkComputerSystem.VelkComputerSystem">
        <NavigationProperty Name="ActionStatus" Type="VelkActionStatus.VelkActionStatus" Nullable="false">
          <Annotation Term="OData.Description" String="The NVDIMM action waiting for, or last carried out by, the platform firmware."/>
        </NavigationProperty>
      </ComplexType>
    </Schema>
    <Schema xmlns="http://docs.oasis-open.org/odata/ns/edm" Namespace="VelkMemory">
      <ComplexType Name="VelkMemory" BaseType="Resource.OemObject" Abstract="true">
        <Annotation Term="OData.Description" String="A persistent-memory module's Velk extensions."/>
      </ComplexType>
    </Schema>
    <Schema xmlns="http://docs.oasis-open.org/odata/ns/edm" Namespace="VelkMemory.v1_0_0">
      <ComplexType Name="VelkMemory" BaseType="VelkMemory.VelkMemory">
        <Property Name="PlatformConfigurationData" Type="Edm.Boolean" Nullable="false">
          <Annotation Term="OData.Description" String="Whether the module holds platform configuration data."/>
        </Property>
        <Property Name="GoalPending" Type="Edm.Boolean" Nullable="false">
          <Annotation Term="OData.Description" String="Whether a memory-allocation goal waits for the next boot."/>
        </Property>
        <Property Name="LastDiagnostics" Type="VelkMemory.v1_0_0.Diagnostics">
          <Annotation Term="OData.Description" String="The tests the last diagnostics ran on the module, null before any."/>
        </Property>
      </ComplexType>
      <ComplexType Name="Diagnostics">
        <Property Name="Tests" Type="Collection(Edm.String)"/>
        <Property Name="Failed" Type="Collection(Edm.String)"/>
      </ComplexType>
    </Schema>
    <Schema xmlns="http://docs.oasis-open.org/odata/ns/edm" Namespace="VelkMemoryChunks">
      <ComplexType Name="VelkMemoryChunks" BaseType="Resource.OemObject" Abstract="true">
        <Annotation Term="OData.Description" String="A persistent region's Velk extensions."/>
      </ComplexType>
    </Schema>
    <Schema xmlns="http://docs.oasis-open.org/odata/ns/edm" Namespace="VelkMemoryChunks.v1_0_0">
      <ComplexType Name="VelkMemoryChunks" BaseType="VelkMemoryChunks.VelkMemoryChunks">
        <Property Name="Namespaces" Type="Collection(VelkMemoryChunks.v1_0_0.Namespace)">
          <Annotation Term="OData.Description" String="The namespaces in the region."/>
        </Property>
      </ComplexType>
      <ComplexType Name="Namespace">
        <Property Name="Id" Type="Edm.String" Nullable="false"/>
        <Property Name="Name" Type="Edm.String"/>
        <Property Name="CapacityMiB" Type="Edm.Int64"/>
        <Property Name="Mode" Type="Edm.String"/>
      </ComplexType>
    </Schema>
    <Schema xmlns="http://docs.oasis-open.org/odata/ns/edm" Namespace="VIZ">
      <Action Name="CreateGoal" IsBound="true">
        <Parameter Name="ComputerSystem" Type="ComputerSystem.Actions"/>
        <Parameter Name="ConfigurationLevel" Type="Edm.String" Nullable="false"/>
        <Parameter Name="MemoryMode" Type="Edm.Int64" Nullable="false"/>
        <Parameter Name="Reserved" Type="Edm.Int64" Nullable="false"/>
        <Parameter Name="PersistentMemoryType" Type="Edm.String" Nullable="false"/>
      </Action>
      <Action Name="CreateNamespace" IsBound="true">
        <Parameter Name="ComputerSystem" Type="ComputerSystem.Actions"/>
        <Parameter Name="RegionId" Type="Edm.String" Nullable="false"/>
        <Parameter Name="Name" Type="Edm.String" Nullable="false"/>
        <Parameter Name="Mode" Type="Edm.String" Nullable="false"/>
        <Parameter Name="CapacityMiB" Type="Edm.Int64" Nullable="false"/>
      </Action>
      <Action Name="DeleteNamespace" IsBound="true">
        <Parameter Name="ComputerSystem" Type="ComputerSystem.Actions"/>
        <Parameter Name="Id" Type="Edm.String" Nullable="false"/>
      </Action>
      <Action Name="DeletePlatformConfigurationData" IsBound="true">
        <Parameter Name="ComputerSystem" Type="ComputerSystem.Actions"/>
        <Parameter Name="DimmPhysicalId" Type="Edm.String"/>
      </Action>
      <Action Name="RunDiagnostics" IsBound="true">
        <Parameter Name="ComputerSystem" Type="ComputerSystem.Actions"/>
        <Parameter Name="ExecuteAll" Type="Edm.Boolean"/>
        <Parameter Name="QuickTest" Type="Edm.Boolean"/>
        <Parameter Name="ConfigTest" Type="Edm.Boolean"/>
        <Parameter Name="SecurityTest" Type="Edm.Boolean"/>
        <Parameter Name="FwTest" Type="Edm.Boolean"/>
        <Parameter Name="DimmPhysicalId" Type="Edm.String"/>
      </Action>
    </Schema>
  </edmx:DataServices>
</edmx:Edmx>
)CSDL";

/// "#Memory.v1_23_0.Memory": namespace "Memory", version namespace
/// "Memory.v1_23_0" (empty for an unversioned type).
void TypeNamespaces(const std::string &Type, std::string *Namespace, std::string *Versioned) {
  size_t First = Type.find('.');
  *Namespace = Type.substr(1, First - 1);
  size_t Last = Type.rfind('.');
  *Versioned = Last > First ? Type.substr(1, Last - 1) : "";
}

}  // namespace

std::string SchemaLinkOf(const std::string &Type) {
  if (Type.size() < 2 || Type[0] != '#') {
    return "";
  }
  std::string Namespace;
  std::string Versioned;
  TypeNamespaces(Type, &Namespace, &Versioned);
  if (Namespace.compare(0, 4, "Velk") == 0) {
    return URI_OEM_SCHEMA;
  }
  return "http://redfish.dmtf.org/schemas/v1/" + (Versioned.empty() ? Namespace : Versioned) +
         ".json";
}

StoreResponse RedfishStore::ServeVersion(CALL &Call) {
  return Generated(Call, Dump(Json{{"v1", "/redfish/v1/"}}));
}

StoreResponse RedfishStore::ServeRoot(CALL &Call) {
  Json Root = {
      {"@odata.id", URI_ROOT},
      {"@odata.type", TYPE_SERVICE_ROOT},
      {"Id", "RootService"},
      {"Name", "Root Service"},
      {"RedfishVersion", "1.20.0"},
      {"UUID", mUuid},
      {"Vendor", "Velk"},
      {"Product", "nvdimm-emu serve"},
      {"Systems", Link(URI_SYSTEMS)},
      {"Tasks", Link(URI_TASK_SERVICE)},
      {"SessionService", Link(URI_SESSION_SERVICE)},
      {"AccountService", Link(URI_ACCOUNT_SERVICE)},
      {"Registries", Link(URI_REGISTRIES)},
      {"ProtocolFeaturesSupported",
       {{"ExcerptQuery", false},
        {"FilterQuery", false},
        {"OnlyMemberQuery", false},
        {"SelectQuery", false},
        {"ExpandQuery",
         {{"ExpandAll", false}, {"Levels", false}, {"Links", false}, {"NoLinks", false}}}}},
      {"Links", {{"Sessions", Link(URI_SESSIONS)}}}};
  return Generated(Call, Dump(Root));
}

StoreResponse RedfishStore::ServeOData(CALL &Call) {
  Json Value = Json::array({{{"name", "Service"}, {"kind", "Singleton"}, {"url", "/redfish/v1/"}}});
  for (const auto &[Name, Uri] : SINGLETONS) {
    Value.push_back({{"name", Name}, {"kind", "Singleton"}, {"url", Uri}});
  }
  return Generated(Call, Dump(Json{{"@odata.context", "/redfish/v1/$metadata"}, {"value", Value}}));
}

StoreResponse RedfishStore::ServeMetadata(CALL &Call) {
  // One reference per schema file, with the unversioned namespace and the
  // version served; ServiceRoot also with the newest version that declares
  // its ServiceContainer.
  std::map<std::string, std::set<std::string>> Files;
  for (const char *Type : ALL_TYPES) {
    std::string Namespace;
    std::string Versioned;
    TypeNamespaces(Type, &Namespace, &Versioned);
    Files[Namespace].insert(Namespace);
    if (!Versioned.empty()) {
      Files[Namespace].insert(Versioned);
    }
  }
  Files["ServiceRoot"].insert("ServiceRoot.v1_19_0");
  Files["Resource"] = {"Resource", "Resource.v1_23_0"};
  Files["Settings"] = {"Settings", "Settings.v1_4_0"};
  std::string Text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<edmx:Edmx xmlns:edmx=\"http://docs.oasis-open.org/odata/ns/edmx\" Version=\"4.0\">\n";
  for (const auto &[File, Namespaces] : Files) {
    Text += "  <edmx:Reference Uri=\"http://redfish.dmtf.org/schemas/v1/" + File + "_v1.xml\">\n";
    for (const std::string &Namespace : Namespaces) {
      Text += "    <edmx:Include Namespace=\"" + Namespace + "\"/>\n";
    }
    Text += "  </edmx:Reference>\n";
  }
  Text +=
      "  <edmx:Reference Uri=\"http://redfish.dmtf.org/schemas/v1/RedfishExtensions_v1.xml\">\n"
      "    <edmx:Include Namespace=\"RedfishExtensions.v1_0_0\" Alias=\"Redfish\"/>\n"
      "  </edmx:Reference>\n"
      "  <edmx:Reference Uri=\"" +
      std::string(URI_OEM_SCHEMA) +
      "\">\n"
      "    <edmx:Include Namespace=\"VelkActionStatus\"/>\n"
      "    <edmx:Include Namespace=\"VelkActionStatus.v1_0_0\"/>\n"
      "    <edmx:Include Namespace=\"VelkActionParameters\"/>\n"
      "    <edmx:Include Namespace=\"VelkActionParameters.v1_0_0\"/>\n"
      "    <edmx:Include Namespace=\"VelkComputerSystem\"/>\n"
      "    <edmx:Include Namespace=\"VelkComputerSystem.v1_0_0\"/>\n"
      "    <edmx:Include Namespace=\"VelkMemory\"/>\n"
      "    <edmx:Include Namespace=\"VelkMemory.v1_0_0\"/>\n"
      "    <edmx:Include Namespace=\"VelkMemoryChunks\"/>\n"
      "    <edmx:Include Namespace=\"VelkMemoryChunks.v1_0_0\"/>\n"
      "    <edmx:Include Namespace=\"VIZ\"/>\n"
      "  </edmx:Reference>\n"
      "  <edmx:DataServices>\n"
      "    <Schema xmlns=\"http://docs.oasis-open.org/odata/ns/edm\" Namespace=\"Service\">\n"
      "      <EntityContainer Name=\"Service\" Extends=\"ServiceRoot.v1_19_0.ServiceContainer\"/>\n"
      "    </Schema>\n"
      "  </edmx:DataServices>\n"
      "</edmx:Edmx>\n";
  StoreResponse Response = Generated(Call, Text);
  Response.ContentType = "application/xml";
  return Response;
}

StoreResponse RedfishStore::ServeOemSchema(CALL &Call) {
  StoreResponse Response = Generated(Call, OEM_SCHEMA);
  Response.ContentType = "application/xml";
  return Response;
}

StoreResponse RedfishStore::ServeRegistries(CALL &Call) {
  Json Members = Json::array();
  for (const MESSAGE_REGISTRY &Registry : MessageRegistries()) {
    Members.push_back(Link(std::string(URI_REGISTRIES) + "/" + Registry.Prefix));
  }
  Json Body = {{"@odata.id", URI_REGISTRIES},
               {"@odata.type", TYPE_REGISTRY_FILE_COLLECTION},
               {"Name", "Message Registry File Collection"},
               {"Members@odata.count", Members.size()},
               {"Members", Members}};
  return Generated(Call, Dump(Body));
}

StoreResponse RedfishStore::ServeRegistryFile(CALL &Call) {
  for (const MESSAGE_REGISTRY &Registry : MessageRegistries()) {
    if (Call.Segments[0] != Registry.Prefix) {
      continue;
    }
    std::string Version = Registry.Version;
    std::string Id = std::string(Registry.Prefix) + "." + Version;
    Json Location = {{"Language", "en"},
                     {"Uri", std::string(URI_REGISTRIES) + "/" + Registry.Prefix + "/" + Id}};
    if (std::string(Registry.Owner) == "DMTF") {
      Location["PublicationUri"] = "http://redfish.dmtf.org/registries/" + Id + ".json";
    }
    Json Body = {
        {"@odata.id", Call.Path},
        {"@odata.type", TYPE_REGISTRY_FILE},
        {"Id", Registry.Prefix},
        {"Name", std::string(Registry.Name) + " File"},
        {"Languages", Json::array({"en"})},
        {"Registry", std::string(Registry.Prefix) + "." + Version.substr(0, Version.rfind('.'))},
        {"Location", Json::array({Location})}};
    return Generated(Call, Dump(Body));
  }
  return Failure(404, "ResourceNotFound", {"MessageRegistryFile", Call.Segments[0]});
}

StoreResponse RedfishStore::ServeRegistry(CALL &Call) {
  for (const MESSAGE_REGISTRY &Registry : MessageRegistries()) {
    if (Call.Segments[0] == Registry.Prefix &&
        Call.Segments[1] == std::string(Registry.Prefix) + "." + Registry.Version) {
      return Generated(Call, Dump(RegistryDocument(Registry)));
    }
  }
  return Failure(404, "ResourceNotFound", {"MessageRegistry", Call.Segments[1]});
}
