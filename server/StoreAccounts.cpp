// Accounts and roles: the AccountService with its lockout settings, one
// ManagerAccount per account of the scenario (its password and role
// writable, a lockout clearable), and the three predefined roles.
#include "server/BaseRegistry.h"
#include "server/RedfishStore.h"
#include "server/StoreTypes.h"
#include "server/StoreUris.h"

namespace {

Json Link(const std::string &Uri) { return Json{{"@odata.id", Uri}}; }

struct ROLE_DEFINITION {
  ROLE Role;
  const char *Id;
  std::vector<const char *> Privileges;
};
const ROLE_DEFINITION ROLES[] = {
    {ROLE::Administrator,
     "Administrator",
     {"Login", "ConfigureManager", "ConfigureUsers", "ConfigureSelf", "ConfigureComponents"}},
    {ROLE::Operator, "Operator", {"Login", "ConfigureSelf", "ConfigureComponents"}},
    {ROLE::ReadOnly, "ReadOnly", {"Login", "ConfigureSelf"}},
};

constexpr size_t MIN_PASSWORD = 1;
constexpr size_t MAX_PASSWORD = 128;

}  // namespace

const char *RoleName(ROLE Role) {
  for (const ROLE_DEFINITION &Definition : ROLES) {
    if (Definition.Role == Role) {
      return Definition.Id;
    }
  }
  return "ReadOnly";
}

bool ParseRole(const std::string &Name, ROLE *Role) {
  for (const ROLE_DEFINITION &Definition : ROLES) {
    if (Name == Definition.Id) {
      *Role = Definition.Role;
      return true;
    }
  }
  return false;
}

std::string RedfishStore::AccountServiceBody() const {
  Json Body = {{"@odata.id", URI_ACCOUNT_SERVICE},
               {"@odata.type", TYPE_ACCOUNT_SERVICE},
               {"Id", "AccountService"},
               {"Name", "Account Service"},
               {"ServiceEnabled", true},
               {"LocalAccountAuth", "Enabled"},
               {"MinPasswordLength", MIN_PASSWORD},
               {"MaxPasswordLength", MAX_PASSWORD},
               {"AccountLockoutThreshold", mLimits.LockoutThreshold},
               {"AccountLockoutDuration", mLimits.LockoutSeconds},
               {"AccountLockoutCounterResetAfter", mLimits.LockoutResetSeconds},
               {"AccountLockoutCounterResetEnabled", true},
               {"AuthFailureLoggingThreshold", 0},
               {"SupportedAccountTypes", Json::array({"Redfish"})},
               {"Accounts", Link(URI_ACCOUNTS)},
               {"Roles", Link(URI_ROLES)}};
  return Dump(Body);
}

StoreResponse RedfishStore::ServeAccountService(CALL &Call) {
  return Generated(Call, AccountServiceBody());
}

StoreResponse RedfishStore::PatchAccountService(CALL &Call) {
  if (!Call.Request.IfMatch.empty() &&
      !IfMatchHolds(Call.Request.IfMatch, EntityTag(AccountServiceBody()))) {
    return Failure(412, "PreconditionFailed");
  }
  Json Patch;
  if (ReadObjectBody(Call.Request.Body, &Patch) != BODY_READ::Object) {
    return Failure(400, "MalformedJSON");
  }
  STORE_LIMITS Changed = mLimits;
  Json Current = ParseStored(AccountServiceBody());
  for (auto Member = Patch.begin(); Member != Patch.end(); ++Member) {
    const std::string &Name = Member.key();
    unsigned *Setting = Name == "AccountLockoutThreshold"           ? &Changed.LockoutThreshold
                        : Name == "AccountLockoutDuration"          ? &Changed.LockoutSeconds
                        : Name == "AccountLockoutCounterResetAfter" ? &Changed.LockoutResetSeconds
                                                                    : nullptr;
    if (Setting == nullptr) {
      return Failure(400, Current.contains(Name) ? "PropertyNotWritable" : "PropertyUnknown",
                     {Name});
    }
    if (!Member->is_number_integer()) {
      return Failure(400, "PropertyValueTypeError", {Dump(*Member), Name});
    }
    int64_t Value = Member->get<int64_t>();
    if (Value < 0 || Value > 86400) {
      return Failure(400, "PropertyValueOutOfRange", {Dump(*Member), Name});
    }
    *Setting = static_cast<unsigned>(Value);
  }
  // A lockout must last at least as long as failures are counted.
  if (Changed.LockoutSeconds != 0 && Changed.LockoutSeconds < Changed.LockoutResetSeconds) {
    return Failure(400, "PropertyValueOutOfRange",
                   {std::to_string(Changed.LockoutSeconds), "AccountLockoutDuration"});
  }
  mLimits = Changed;
  StoreResponse Response;
  Response.Code = 204;
  Response.Changed = true;
  return Response;
}

std::string RedfishStore::AccountBody(size_t Index) const {
  const ACCOUNT &Account = mAccounts[Index];
  std::string Id = std::to_string(Index + 1);
  auto Lock = mAccountFailures.find(Account.User);
  bool LockedNow = Lock != mAccountFailures.end() && Now() < Lock->second.LockedUntil;
  Json Body = {{"@odata.id", std::string(URI_ACCOUNTS) + "/" + Id},
               {"@odata.type", TYPE_ACCOUNT},
               {"Id", Id},
               {"Name", "User Account"},
               {"UserName", Account.User},
               {"Password", nullptr},
               {"RoleId", RoleName(Account.Role)},
               {"Enabled", true},
               {"Locked", LockedNow},
               {"AccountTypes", Json::array({"Redfish"})},
               {"Links", {{"Role", Link(std::string(URI_ROLES) + "/" + RoleName(Account.Role))}}}};
  return Dump(Body);
}

StoreResponse RedfishStore::ServeAccounts(CALL &Call) {
  Json Members = Json::array();
  for (size_t Index = 0; Index < mAccounts.size(); Index++) {
    Members.push_back(Link(std::string(URI_ACCOUNTS) + "/" + std::to_string(Index + 1)));
  }
  Json Body = {{"@odata.id", URI_ACCOUNTS},
               {"@odata.type", TYPE_ACCOUNT_COLLECTION},
               {"Name", "Accounts Collection"},
               {"Members@odata.count", Members.size()},
               {"Members", Members}};
  return Generated(Call, Dump(Body));
}

namespace {

/// The account index of an Id ("1" is the first); false for none.
bool AccountIndex(const std::string &Id, size_t Count, size_t *Index) {
  if (Id.empty() || Id.size() > 6 || Id.find_first_not_of("0123456789") != std::string::npos ||
      Id[0] == '0') {
    return false;
  }
  size_t Number = std::stoul(Id);
  *Index = Number - 1;
  return Number >= 1 && Number <= Count;
}

}  // namespace

StoreResponse RedfishStore::ServeAccount(CALL &Call) {
  size_t Index = 0;
  if (!AccountIndex(Call.Segments[0], mAccounts.size(), &Index)) {
    return Failure(404, "ResourceNotFound", {"ManagerAccount", Call.Segments[0]});
  }
  // ConfigureSelf opens one's own account only.
  bool Own = mAccounts[Index].User == Call.User;
  if (!Own && !Call.ByDriver && Call.Role != ROLE::Administrator) {
    return Failure(403, "InsufficientPrivilege");
  }
  return Generated(Call, AccountBody(Index));
}

StoreResponse RedfishStore::PatchAccount(CALL &Call) {
  size_t Index = 0;
  if (!AccountIndex(Call.Segments[0], mAccounts.size(), &Index)) {
    return Failure(404, "ResourceNotFound", {"ManagerAccount", Call.Segments[0]});
  }
  bool Own = mAccounts[Index].User == Call.User;
  bool Users = Call.ByDriver || Call.Role == ROLE::Administrator;
  if (!Own && !Users) {
    return Failure(403, "InsufficientPrivilege");
  }
  if (!Call.Request.IfMatch.empty() &&
      !IfMatchHolds(Call.Request.IfMatch, EntityTag(AccountBody(Index)))) {
    return Failure(412, "PreconditionFailed");
  }
  Json Patch;
  if (ReadObjectBody(Call.Request.Body, &Patch) != BODY_READ::Object) {
    return Failure(400, "MalformedJSON");
  }
  ACCOUNT Changed = mAccounts[Index];
  bool Unlock = false;
  Json Current = ParseStored(AccountBody(Index));
  for (auto Member = Patch.begin(); Member != Patch.end(); ++Member) {
    const std::string &Name = Member.key();
    if (Name == "Password") {
      // Its own password with ConfigureSelf, anyone's with ConfigureUsers.
      if (!Member->is_string()) {
        return Failure(400, "PropertyValueTypeError", {Dump(*Member), Name});
      }
      const std::string Password = Member->get<std::string>();
      if (Password.size() < MIN_PASSWORD || Password.size() > MAX_PASSWORD) {
        return Failure(400, "PropertyValueError", {Name});
      }
      Changed.Salt = NewToken();
      Changed.PasswordHash = Sha256Hex(Changed.Salt + Password);
    } else if (Name == "RoleId" && Users) {
      ROLE Role = ROLE::ReadOnly;
      if (!Member->is_string() || !ParseRole(Member->get<std::string>(), &Role)) {
        return Failure(400, "PropertyValueNotInList", {Dump(*Member), Name});
      }
      Changed.Role = Role;
    } else if (Name == "Locked" && Users) {
      // The service locks; an administrator can only clear the lockout.
      if (*Member != false) {
        return Failure(400, "PropertyValueNotInList", {Dump(*Member), Name});
      }
      Unlock = true;
    } else if (Name == "RoleId" || Name == "Locked") {
      return Failure(403, "InsufficientPrivilege");
    } else {
      return Failure(400, Current.contains(Name) ? "PropertyNotWritable" : "PropertyUnknown",
                     {Name});
    }
  }
  mAccounts[Index] = Changed;
  if (Unlock) {
    mAccountFailures.erase(Changed.User);
  }
  StoreResponse Response;
  Response.Code = 204;
  Response.Changed = true;
  return Response;
}

StoreResponse RedfishStore::ServeRoles(CALL &Call) {
  Json Members = Json::array();
  for (const ROLE_DEFINITION &Definition : ROLES) {
    Members.push_back(Link(std::string(URI_ROLES) + "/" + Definition.Id));
  }
  Json Body = {{"@odata.id", URI_ROLES},
               {"@odata.type", TYPE_ROLE_COLLECTION},
               {"Name", "Roles Collection"},
               {"Members@odata.count", Members.size()},
               {"Members", Members}};
  return Generated(Call, Dump(Body));
}

StoreResponse RedfishStore::ServeRole(CALL &Call) {
  for (const ROLE_DEFINITION &Definition : ROLES) {
    if (Call.Segments[0] != Definition.Id) {
      continue;
    }
    Json Body = {{"@odata.id", Call.Path},
                 {"@odata.type", TYPE_ROLE},
                 {"Id", Definition.Id},
                 {"Name", std::string(Definition.Id) + " Role"},
                 {"RoleId", Definition.Id},
                 {"IsPredefined", true},
                 {"AssignedPrivileges", Definition.Privileges},
                 {"OemPrivileges", Json::array()}};
    return Generated(Call, Dump(Body));
  }
  return Failure(404, "ResourceNotFound", {"Role", Call.Segments[0]});
}
