// The URIs of the twin's own resources.
#pragma once

#include <string>

constexpr char URI_VERSION[] = "/redfish";
constexpr char URI_ROOT[] = "/redfish/v1";
constexpr char URI_SYSTEMS[] = "/redfish/v1/Systems";
constexpr char URI_SYSTEM[] = "/redfish/v1/Systems/Self";
constexpr char URI_RESET[] = "/redfish/v1/Systems/Self/Actions/ComputerSystem.Reset";
constexpr char URI_SYSTEM_ACTIONS[] = "/redfish/v1/Systems/Self/Actions/";
constexpr char URI_ACTION_PREFIX[] = "/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.";
constexpr char URI_ACTION_STATUS[] = "/redfish/v1/Oem/Velk/Viz/ActionStatus";
constexpr char URI_SESSION_SERVICE[] = "/redfish/v1/SessionService";
constexpr char URI_SESSIONS[] = "/redfish/v1/SessionService/Sessions";
constexpr char URI_TASK_SERVICE[] = "/redfish/v1/TaskService";
constexpr char URI_TASKS[] = "/redfish/v1/TaskService/Tasks";
constexpr char URI_TASK_MONITORS[] = "/redfish/v1/TaskService/TaskMonitors";
constexpr char URI_ACCOUNT_SERVICE[] = "/redfish/v1/AccountService";
constexpr char URI_ACCOUNTS[] = "/redfish/v1/AccountService/Accounts";
constexpr char URI_ROLES[] = "/redfish/v1/AccountService/Roles";
constexpr char URI_REGISTRIES[] = "/redfish/v1/Registries";
constexpr char URI_MEMORY[] = "/redfish/v1/Systems/Self/Memory";
constexpr char URI_MEMORY_DOMAINS[] = "/redfish/v1/Systems/Self/MemoryDomains";

/// The five actions the driver carries out.
constexpr const char *ACTION_NAMES[] = {"CreateGoal", "CreateNamespace", "DeleteNamespace",
                                        "DeletePlatformConfigurationData", "RunDiagnostics"};

/// Whether Text starts with Prefix.
inline bool StartsWith(const std::string &Text, const char *Prefix) {
  return Text.compare(0, std::char_traits<char>::length(Prefix), Prefix) == 0;
}
