// The schema versions the twin's documents claim: DMTF's published schemas
// of release 2025.4 (each version defines every property the twin serves of
// that type) and the twin's own OEM schema. $metadata, the Link headers and
// the documents take them from here.
#pragma once

constexpr char TYPE_SERVICE_ROOT[] = "#ServiceRoot.v1_20_0.ServiceRoot";
constexpr char TYPE_SYSTEM_COLLECTION[] = "#ComputerSystemCollection.ComputerSystemCollection";
constexpr char TYPE_SYSTEM[] = "#ComputerSystem.v1_27_0.ComputerSystem";
constexpr char TYPE_MEMORY_COLLECTION[] = "#MemoryCollection.MemoryCollection";
constexpr char TYPE_MEMORY[] = "#Memory.v1_23_0.Memory";
constexpr char TYPE_MEMORY_METRICS[] = "#MemoryMetrics.v1_8_0.MemoryMetrics";
constexpr char TYPE_MEMORY_DOMAIN_COLLECTION[] = "#MemoryDomainCollection.MemoryDomainCollection";
constexpr char TYPE_MEMORY_DOMAIN[] = "#MemoryDomain.v1_5_1.MemoryDomain";
constexpr char TYPE_MEMORY_CHUNKS_COLLECTION[] = "#MemoryChunksCollection.MemoryChunksCollection";
constexpr char TYPE_MEMORY_CHUNKS[] = "#MemoryChunks.v1_6_2.MemoryChunks";
constexpr char TYPE_SESSION_SERVICE[] = "#SessionService.v1_2_0.SessionService";
constexpr char TYPE_SESSION_COLLECTION[] = "#SessionCollection.SessionCollection";
constexpr char TYPE_SESSION[] = "#Session.v1_8_0.Session";
constexpr char TYPE_ACCOUNT_SERVICE[] = "#AccountService.v1_18_1.AccountService";
constexpr char TYPE_ACCOUNT_COLLECTION[] = "#ManagerAccountCollection.ManagerAccountCollection";
constexpr char TYPE_ACCOUNT[] = "#ManagerAccount.v1_14_1.ManagerAccount";
constexpr char TYPE_ROLE_COLLECTION[] = "#RoleCollection.RoleCollection";
constexpr char TYPE_ROLE[] = "#Role.v1_3_3.Role";
constexpr char TYPE_TASK_SERVICE[] = "#TaskService.v1_3_0.TaskService";
constexpr char TYPE_TASK_COLLECTION[] = "#TaskCollection.TaskCollection";
constexpr char TYPE_TASK[] = "#Task.v1_7_4.Task";
constexpr char TYPE_REGISTRY_FILE_COLLECTION[] =
    "#MessageRegistryFileCollection.MessageRegistryFileCollection";
constexpr char TYPE_REGISTRY_FILE[] = "#MessageRegistryFile.v1_1_5.MessageRegistryFile";
constexpr char TYPE_MESSAGE_REGISTRY[] = "#MessageRegistry.v1_6_0.MessageRegistry";
constexpr char TYPE_MESSAGE[] = "#Message.v1_3_0.Message";
/// The OEM types, defined by the twin's own schema (/redfish/v1/Schemas/Velk_v1.xml).
constexpr char TYPE_ACTION_STATUS[] = "#VelkActionStatus.v1_0_0.VelkActionStatus";
constexpr char TYPE_ACTION_PARAMETERS[] = "#VelkActionParameters.v1_0_0.VelkActionParameters";
constexpr char URI_OEM_SCHEMA[] = "/redfish/v1/Schemas/Velk_v1.xml";

/// Every type above, for $metadata.
constexpr const char *ALL_TYPES[] = {TYPE_SERVICE_ROOT,
                                     TYPE_SYSTEM_COLLECTION,
                                     TYPE_SYSTEM,
                                     TYPE_MEMORY_COLLECTION,
                                     TYPE_MEMORY,
                                     TYPE_MEMORY_METRICS,
                                     TYPE_MEMORY_DOMAIN_COLLECTION,
                                     TYPE_MEMORY_DOMAIN,
                                     TYPE_MEMORY_CHUNKS_COLLECTION,
                                     TYPE_MEMORY_CHUNKS,
                                     TYPE_SESSION_SERVICE,
                                     TYPE_SESSION_COLLECTION,
                                     TYPE_SESSION,
                                     TYPE_ACCOUNT_SERVICE,
                                     TYPE_ACCOUNT_COLLECTION,
                                     TYPE_ACCOUNT,
                                     TYPE_ROLE_COLLECTION,
                                     TYPE_ROLE,
                                     TYPE_TASK_SERVICE,
                                     TYPE_TASK_COLLECTION,
                                     TYPE_TASK,
                                     TYPE_REGISTRY_FILE_COLLECTION,
                                     TYPE_REGISTRY_FILE,
                                     TYPE_MESSAGE_REGISTRY,
                                     TYPE_MESSAGE};
