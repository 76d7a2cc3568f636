"""The property names and JSON types of the DMTF schema versions the twin's
documents claim (Redfish 2025.4), for the properties the twin serves and
those a document of the type may carry beside them. Our own table of facts
read from DMTF's published JSON schemas; no schema file is copied.

Type codes: s string, i integer, n number, b boolean, l a link
({"@odata.id": ...}), e:NAME a string from ENUMS[NAME], o:NAME an object
of DEFINITIONS[NAME], o an object not checked further (Oem, Actions), a:X
an array of X; a trailing ? allows null.
"""

ENUMS = {
    "Health": ["OK", "Warning", "Critical"],
    "State": ["Enabled", "Disabled", "StandbyOffline", "StandbySpare", "InTest", "Starting",
              "Absent", "UnavailableOffline", "Deferring", "Quiesced", "Updating", "Qualified",
              "Degraded"],
    "SystemType": ["Physical", "Virtual", "OS", "PhysicallyPartitioned", "VirtuallyPartitioned",
                   "Composed", "DPU"],
    "PowerState": ["On", "Off", "PoweringOn", "PoweringOff", "Paused"],
    "BootSourceOverrideEnabled": ["Disabled", "Once", "Continuous"],
    "BootSource": ["None", "Pxe", "Floppy", "Cd", "Usb", "Hdd", "BiosSetup", "Utilities", "Diags",
                   "UefiShell", "UefiTarget", "SDCard", "UefiHttp", "RemoteDrive", "UefiBootNext",
                   "Recovery"],
    "BootSourceOverrideMode": ["Legacy", "UEFI"],
    "MemoryMirroring": ["System", "DIMM", "Hybrid", "None"],
    "MemoryType": ["DRAM", "NVDIMM_N", "NVDIMM_F", "NVDIMM_P", "IntelOptane", "Cache"],
    "MemoryDeviceType": ["DDR", "DDR2", "DDR3", "DDR4", "DDR4_SDRAM", "DDR4E_SDRAM",
                         "LPDDR4_SDRAM", "DDR3_SDRAM", "LPDDR3_SDRAM", "DDR2_SDRAM",
                         "DDR2_SDRAM_FB_DIMM", "DDR2_SDRAM_FB_DIMM_PROBE", "DDR_SGRAM",
                         "DDR_SDRAM", "ROM", "SDRAM", "EDO", "FastPageMode", "PipelinedNibble",
                         "Logical", "HBM", "HBM2", "HBM2E", "HBM3", "GDDR", "GDDR2", "GDDR3",
                         "GDDR4", "GDDR5", "GDDR5X", "GDDR6", "GDDR7", "DDR5", "OEM",
                         "LPDDR5_SDRAM", "DDR5_MRDIMM"],
    "OperatingMemoryModes": ["Volatile", "PMEM", "Block"],
    "MemoryMedia": ["DRAM", "NAND", "Intel3DXPoint", "Proprietary"],
    "MemoryClassification": ["Volatile", "ByteAccessiblePersistent", "Block"],
    "SecurityStates": ["Enabled", "Disabled", "Unlocked", "Locked", "Frozen", "Passphraselimit"],
    "AddressRangeType": ["Volatile", "PMEM", "Block"],
    "TaskState": ["New", "Starting", "Running", "Suspended", "Interrupted", "Pending", "Stopping",
                  "Completed", "Killed", "Exception", "Service", "Cancelling", "Cancelled"],
    "OverWritePolicy": ["Manual", "Oldest"],
    "SessionTypes": ["HostConsole", "ManagerConsole", "IPMI", "KVMIP", "OEM", "Redfish",
                     "VirtualMedia", "WebUI", "OutboundConnection"],
    "LocalAccountAuth": ["Enabled", "Disabled", "Fallback", "LocalFirst"],
    "AccountTypes": ["Redfish", "SNMP", "OEM", "HostConsole", "ManagerConsole", "IPMI", "KVMIP",
                     "VirtualMedia", "WebUI", "ControlPanel"],
    "PrivilegeType": ["Login", "ConfigureManager", "ConfigureUsers", "ConfigureSelf",
                      "ConfigureComponents", "NoAuth", "ConfigureCompositionInfrastructure",
                      "AdministrateSystems", "OperateSystems", "AdministrateStorage",
                      "OperateStorageBackup"],
}

COMMON = {"@odata.id": "s", "@odata.type": "s", "@odata.context": "s", "@odata.etag": "s",
          "Id": "s", "Name": "s", "Description": "s?", "Oem": "o"}
COLLECTION = {"@odata.id": "s", "@odata.type": "s", "@odata.context": "s", "Name": "s",
              "Description": "s?", "Members": "a:l", "Members@odata.count": "i", "Oem": "o"}

DEFINITIONS = {
    "Status": {"State": "e:State?", "Health": "e:Health?", "HealthRollup": "e:Health?",
               "Oem": "o"},
    "RootLinks": {"Sessions": "l", "ManagerProvidingService": "l", "Oem": "o"},
    "ProtocolFeaturesSupported": {"ExcerptQuery": "b", "FilterQuery": "b", "OnlyMemberQuery": "b",
                                  "SelectQuery": "b", "ExpandQuery": "o:Expand",
                                  "MultipleHTTPRequests": "b", "TopSkipQuery": "b"},
    "Expand": {"ExpandAll": "b", "Levels": "b", "Links": "b", "MaxLevels": "i", "NoLinks": "b"},
    "Boot": {"BootSourceOverrideEnabled": "e:BootSourceOverrideEnabled?",
             "BootSourceOverrideTarget": "e:BootSource?",
             "BootSourceOverrideMode": "e:BootSourceOverrideMode?",
             "UefiTargetBootSourceOverride": "s?", "BootOrder": "a:s", "BootNext": "s?"},
    "MemorySummary": {"MemoryMirroring": "e:MemoryMirroring?", "Metrics": "l",
                      "Status": "o:Status", "TotalSystemMemoryGiB": "n?",
                      "TotalSystemPersistentMemoryGiB": "n?"},
    "RegionSet": {"MasterPassphraseEnabled": "b?",
                  "MemoryClassification": "e:MemoryClassification?", "OffsetMiB": "i?",
                  "PassphraseEnabled": "b?", "RegionId": "s?", "SizeMiB": "i?"},
    "MemoryLocation": {"Channel": "i?", "MemoryController": "i?", "Slot": "i?", "Socket": "i?"},
    "HealthData": {"AlarmTrips": "o", "DataLossDetected": "b?", "LastShutdownSuccess": "b?",
                   "PerformanceDegraded": "b?", "PredictedMediaLifeLeftPercent": "n?",
                   "RemainingSpareBlockPercentage": "n?"},
    "MemorySet": {"MemorySet": "a:l", "MemorySet@odata.count": "i"},
    "InterleaveSet": {"Memory": "l", "MemoryLevel": "i?", "OffsetMiB": "i?", "RegionId": "s?",
                      "SizeMiB": "i?"},
    "Message": {"@odata.type": "s", "Message": "s", "MessageArgs": "a:s", "MessageId": "s",
                "MessageSeverity": "e:Health", "Oem": "o", "RelatedProperties": "a:s",
                "Resolution": "s", "Severity": "s"},
    "Payload": {"HttpHeaders": "a:s", "HttpOperation": "s", "JsonBody": "s", "TargetUri": "s"},
    "AccountLinks": {"Role": "l", "Oem": "o"},
    "RegistryLocation": {"ArchiveFile": "s", "ArchiveUri": "s", "Language": "s",
                         "PublicationUri": "s", "Uri": "s"},
}

TYPES = {
    "ServiceRoot": ("v1_20_0", ["Links", "@odata.id", "@odata.type", "Id", "Name"], dict(
        COMMON, Links="o:RootLinks", RedfishVersion="s", UUID="s?", Systems="l", Tasks="l",
        SessionService="l", AccountService="l", Registries="l", JsonSchemas="l", Product="s?",
        Vendor="s?", ProtocolFeaturesSupported="o:ProtocolFeaturesSupported")),
    "ComputerSystem": ("v1_27_0", ["@odata.id", "@odata.type", "Id", "Name"], dict(
        COMMON, Status="o:Status", Links="o", Actions="o", SystemType="e:SystemType",
        PowerState="e:PowerState?", Boot="o:Boot", MemorySummary="o:MemorySummary",
        Memory="l", MemoryDomains="l", UUID="s?", HostName="s?", Manufacturer="s?",
        Model="s?", SerialNumber="s?")),
    "Memory": ("v1_23_0", ["@odata.id", "@odata.type", "Id", "Name"], dict(
        COMMON, Status="o:Status", Links="o", Actions="o", MemoryType="e:MemoryType?",
        MemoryDeviceType="e:MemoryDeviceType?", CapacityMiB="i?",
        OperatingMemoryModes="a:e:OperatingMemoryModes", PersistentRegionSizeLimitMiB="i?",
        PersistentRegionNumberLimit="i?", PersistentRegionSizeMaxMiB="i?",
        AllocationAlignmentMiB="i?", AllocationIncrementMiB="i?", Regions="a:o:RegionSet",
        SecurityState="e:SecurityStates?", Metrics="l", MemoryLocation="o:MemoryLocation",
        MemoryMedia="a:e:MemoryMedia", NonVolatileSizeMiB="i?", VolatileSizeMiB="i?",
        Manufacturer="s?", SerialNumber="s?", PartNumber="s?")),
    "MemoryMetrics": ("v1_8_0", ["@odata.id", "@odata.type", "Id", "Name"], dict(
        COMMON, Actions="o", BlockSizeBytes="i?", HealthData="o:HealthData", CurrentPeriod="o",
        LifeTime="o")),
    "MemoryDomain": ("v1_5_1", ["@odata.id", "@odata.type", "Id", "Name"], dict(
        COMMON, Status="o:Status", Links="o", Actions="o", AllowsMemoryChunkCreation="b?",
        AllowsBlockProvisioning="b?", AllowsMirroring="b?", AllowsSparing="b?",
        InterleavableMemorySets="a:o:MemorySet", MemoryChunks="l", MemorySizeMiB="i?",
        MinMemoryChunkSizeMiB="i?", MemoryChunkIncrementMiB="i?")),
    "MemoryChunks": ("v1_6_2", ["AddressRangeType", "@odata.id", "@odata.type", "Id", "Name"],
                     dict(COMMON, Status="o:Status", Links="o", Actions="o",
                          MemoryChunkSizeMiB="i?", AddressRangeType="e:AddressRangeType?",
                          AddressRangeOffsetMiB="i?", IsMirrorEnabled="b?", IsSpare="b?",
                          InterleaveSets="a:o:InterleaveSet")),
    "SessionService": ("v1_2_0", ["@odata.id", "@odata.type", "Id", "Name"], dict(
        COMMON, Status="o:Status", Actions="o", ServiceEnabled="b?", SessionTimeout="i",
        Sessions="l", AbsoluteSessionTimeout="i", AbsoluteSessionTimeoutEnabled="b")),
    "Session": ("v1_8_0", ["@odata.id", "@odata.type", "Id", "Name"], dict(
        COMMON, Links="o", Actions="o", UserName="s?", Password="s?", Token="s?",
        SessionType="e:SessionTypes?", CreatedTime="s?", ClientOriginIPAddress="s?",
        Context="s?", Roles="a:s", ExpirationTime="s")),
    "AccountService": ("v1_18_1", ["@odata.id", "@odata.type", "Id", "Name"], dict(
        COMMON, Status="o:Status", Actions="o", ServiceEnabled="b?",
        AuthFailureLoggingThreshold="i", MinPasswordLength="i", MaxPasswordLength="i",
        AccountLockoutThreshold="i?", AccountLockoutDuration="i?",
        AccountLockoutCounterResetAfter="i", AccountLockoutCounterResetEnabled="b",
        Accounts="l", Roles="l", LocalAccountAuth="e:LocalAccountAuth",
        SupportedAccountTypes="a:e:AccountTypes")),
    "ManagerAccount": ("v1_14_1", ["@odata.id", "@odata.type", "Id", "Name", "AccountTypes"],
                       dict(COMMON, Links="o:AccountLinks", Actions="o", UserName="s",
                            Password="s?", RoleId="s", Enabled="b", Locked="b",
                            AccountTypes="a:e:AccountTypes", PasswordChangeRequired="b?")),
    "Role": ("v1_3_3", ["@odata.id", "@odata.type", "Id", "Name", "RoleId"], dict(
        COMMON, Actions="o", RoleId="s", IsPredefined="b",
        AssignedPrivileges="a:e:PrivilegeType", OemPrivileges="a:s", AlternateRoleId="s",
        Restricted="b")),
    "TaskService": ("v1_3_0", ["@odata.id", "@odata.type", "Id", "Name"], dict(
        COMMON, Status="o:Status", Actions="o", ServiceEnabled="b?", Tasks="l", DateTime="s?",
        CompletedTaskOverWritePolicy="e:OverWritePolicy", LifeCycleEventOnTaskStateChange="b",
        TaskAutoDeleteTimeoutMinutes="i", TaskMonitorAutoExpirySeconds="i?")),
    "Task": ("v1_7_4", ["@odata.id", "@odata.type", "Id", "Name"], dict(
        COMMON, Links="o", Actions="o", TaskState="e:TaskState", TaskStatus="e:Health",
        StartTime="s", EndTime="s", TaskMonitor="s", Messages="a:o:Message",
        Payload="o:Payload", PercentComplete="i?", HidePayload="b")),
    "MessageRegistryFile": ("v1_1_5", ["Languages", "Registry", "Location", "@odata.id",
                                       "@odata.type", "Id", "Name"],
                            dict(COMMON, Actions="o", Languages="a:s", Registry="s",
                                 Location="a:o:RegistryLocation")),
}

COLLECTIONS = ["ComputerSystemCollection", "MemoryCollection", "MemoryDomainCollection",
               "MemoryChunksCollection", "SessionCollection", "ManagerAccountCollection",
               "RoleCollection", "TaskCollection", "MessageRegistryFileCollection"]
