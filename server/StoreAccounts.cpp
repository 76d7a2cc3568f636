// Accounts and roles: the AccountService with its lockout settings, the
// ManagerAccounts (the scenario's, and those an administrator creates or
// deletes; name, password, role, enabled and a required password change
// writable, a lockout clearable), and the three predefined roles.
#include "server/BaseRegistry.h"
#include "server/RedfishStore.h"
#include "server/StoreTypes.h"
#include "server/StoreUris.h"

namespace {

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
constexpr size_t MAX_USER_NAME = 64;
/// Accounts the service keeps at most.
constexpr size_t MAX_ACCOUNTS = 32;

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
  return Applied();
}

std::string RedfishStore::AccountUri(const ACCOUNT &Account) const {
  return std::string(URI_ACCOUNTS) + "/" + Account.Id;
}

int RedfishStore::AccountById(const std::string &Id) const {
  for (size_t Index = 0; Index < mAccounts.size(); Index++) {
    if (mAccounts[Index].Id == Id) {
      return static_cast<int>(Index);
    }
  }
  return -1;
}

std::string RedfishStore::AccountBody(size_t Index) const {
  const ACCOUNT &Account = mAccounts[Index];
  auto Lock = mAccountFailures.find(Account.User);
  bool LockedNow = Lock != mAccountFailures.end() && Now() < Lock->second.LockedUntil;
  Json Body = {{"@odata.id", AccountUri(Account)},
               {"@odata.type", TYPE_ACCOUNT},
               {"Id", Account.Id},
               {"Name", "User Account"},
               {"UserName", Account.User},
               {"Password", nullptr},
               {"RoleId", RoleName(Account.Role)},
               {"Enabled", Account.Enabled},
               {"Locked", LockedNow},
               {"PasswordChangeRequired", Account.PasswordChangeRequired},
               {"AccountTypes", Json::array({"Redfish"})},
               {"Links", {{"Role", Link(std::string(URI_ROLES) + "/" + RoleName(Account.Role))}}}};
  return Dump(Body);
}

StoreResponse RedfishStore::ServeAccounts(CALL &Call) {
  Json Members = Json::array();
  for (const ACCOUNT &Account : mAccounts) {
    Members.push_back(Link(AccountUri(Account)));
  }
  Json Body = {{"@odata.id", URI_ACCOUNTS},
               {"@odata.type", TYPE_ACCOUNT_COLLECTION},
               {"Name", "Accounts Collection"},
               {"Members@odata.count", Members.size()},
               {"Members", Members}};
  return Generated(Call, Dump(Body));
}

namespace {

/// A user name that Basic credentials can carry: 1 to 64 printable ASCII
/// characters without ':'.
bool UserNameValid(const std::string &Name) {
  if (Name.empty() || Name.size() > MAX_USER_NAME) {
    return false;
  }
  for (char Byte : Name) {
    if (Byte < 0x21 || Byte > 0x7e || Byte == ':') {
      return false;
    }
  }
  return true;
}

bool PasswordValid(const std::string &Password) {
  return Password.size() >= MIN_PASSWORD && Password.size() <= MAX_PASSWORD;
}

}  // namespace

bool RedfishStore::LastAdministrator(size_t Index) const {
  auto Administers = [](const ACCOUNT &Account) {
    return Account.Role == ROLE::Administrator && Account.Enabled;
  };
  if (!Administers(mAccounts[Index])) {
    return false;
  }
  for (size_t Other = 0; Other < mAccounts.size(); Other++) {
    if (Other != Index && Administers(mAccounts[Other])) {
      return false;
    }
  }
  return true;
}

StoreResponse RedfishStore::ServeAccount(CALL &Call) {
  int Index = AccountById(Call.Segments[0]);
  if (Index < 0) {
    return Failure(404, "ResourceNotFound", {"ManagerAccount", Call.Segments[0]});
  }
  // ConfigureSelf opens one's own account only.
  bool Own = mAccounts[Index].User == Call.User;
  if (!Own && !Call.ByDriver && Call.Role != ROLE::Administrator) {
    return Failure(403, "InsufficientPrivilege");
  }
  return Generated(Call, AccountBody(static_cast<size_t>(Index)));
}

StoreResponse RedfishStore::PatchAccount(CALL &Call) {
  int Found = AccountById(Call.Segments[0]);
  if (Found < 0) {
    return Failure(404, "ResourceNotFound", {"ManagerAccount", Call.Segments[0]});
  }
  size_t Index = static_cast<size_t>(Found);
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
  StoreResponse Refusal;
  if (!ReadPatch(Call.Request.Body, &Patch, &Refusal)) {
    return Refusal;
  }
  ACCOUNT Changed = mAccounts[Index];
  bool Unlock = false;
  Json Current = ParseStored(AccountBody(Index));
  // Its own password with ConfigureSelf; the rest, and anyone's, with
  // ConfigureUsers. Everything is checked before anything changes.
  for (auto Member = Patch.begin(); Member != Patch.end(); ++Member) {
    const std::string &Name = Member.key();
    bool Managed = Name == "UserName" || Name == "RoleId" || Name == "Enabled" ||
                   Name == "Locked" || Name == "PasswordChangeRequired";
    if (Managed && !Users) {
      return Failure(403, "InsufficientPrivilege");
    }
    if (Name == "Password") {
      if (!Member->is_string()) {
        return Failure(400, "PropertyValueTypeError", {Dump(*Member), Name});
      }
      const std::string Password = Member->get<std::string>();
      if (!PasswordValid(Password)) {
        return Failure(400, "PasswordIncorrectLength");
      }
      Changed.Salt = NewToken();
      Changed.PasswordHash = Sha256Hex(Changed.Salt + Password);
      // A password changed by its owner is the change asked for.
      Changed.PasswordChangeRequired = Changed.PasswordChangeRequired && !Own;
    } else if (Name == "UserName") {
      if (!Member->is_string() || !UserNameValid(Member->get<std::string>())) {
        return Failure(400, "PropertyValueFormatError", {Dump(*Member), Name});
      }
      const ACCOUNT *Other = FindAccount(Member->get<std::string>());
      if (Other != nullptr && Other->Id != Changed.Id) {
        return Failure(400, "ResourceAlreadyExists",
                       {"ManagerAccount", Name, Member->get<std::string>()});
      }
      Changed.User = Member->get<std::string>();
    } else if (Name == "RoleId") {
      ROLE Role = ROLE::ReadOnly;
      if (!Member->is_string() || !ParseRole(Member->get<std::string>(), &Role)) {
        return Failure(400, "PropertyValueNotInList", {Dump(*Member), Name});
      }
      Changed.Role = Role;
    } else if (Name == "Enabled" || Name == "PasswordChangeRequired") {
      if (!Member->is_boolean()) {
        return Failure(400, "PropertyValueTypeError", {Dump(*Member), Name});
      }
      (Name == "Enabled" ? Changed.Enabled : Changed.PasswordChangeRequired) = Member->get<bool>();
    } else if (Name == "Locked") {
      // The service locks; an administrator can only clear the lockout.
      if (*Member != false) {
        return Failure(400, "PropertyValueNotInList", {Dump(*Member), Name});
      }
      Unlock = true;
    } else {
      return Failure(400, Current.contains(Name) ? "PropertyNotWritable" : "PropertyUnknown",
                     {Name});
    }
  }
  // No change may leave the service without an administrator who can log in.
  if (!(Changed.Role == ROLE::Administrator && Changed.Enabled) && LastAdministrator(Index)) {
    return Failure(409, "ResourceInUse");
  }
  const std::string Previous = mAccounts[Index].User;
  if (Unlock || Changed.User != Previous) {
    mAccountFailures.erase(Previous);
  }
  // A disabled or renamed account's sessions end with it.
  if (!Changed.Enabled || Changed.User != Previous) {
    EndSessionsOf(Previous);
  }
  mAccounts[Index] = Changed;
  return Applied();
}

StoreResponse RedfishStore::CreateAccount(CALL &Call) {
  Json Body;
  BODY_READ Read = ReadObjectBody(Call.Request.Body, &Body);
  if (Read != BODY_READ::Object && Read != BODY_READ::Empty) {
    return Failure(400, "MalformedJSON");
  }
  for (const char *Needed : {"UserName", "Password", "RoleId"}) {
    if (!Body.contains(Needed)) {
      return Failure(400, "PropertyMissing", {Needed});
    }
  }
  ACCOUNT Account;
  Account.Id = std::to_string(mNextAccount);
  for (auto Member = Body.begin(); Member != Body.end(); ++Member) {
    const std::string &Name = Member.key();
    if (Name == "UserName") {
      if (!Member->is_string() || !UserNameValid(Member->get<std::string>())) {
        return Failure(400, "PropertyValueFormatError", {Dump(*Member), Name});
      }
      Account.User = Member->get<std::string>();
    } else if (Name == "Password") {
      if (!Member->is_string()) {
        return Failure(400, "PropertyValueTypeError", {Dump(*Member), Name});
      }
      if (!PasswordValid(Member->get<std::string>())) {
        return Failure(400, "PasswordIncorrectLength");
      }
      Account.Salt = NewToken();
      Account.PasswordHash = Sha256Hex(Account.Salt + Member->get<std::string>());
    } else if (Name == "RoleId") {
      if (!Member->is_string() || !ParseRole(Member->get<std::string>(), &Account.Role)) {
        return Failure(400, "PropertyValueNotInList", {Dump(*Member), Name});
      }
    } else if (Name == "Enabled" || Name == "PasswordChangeRequired") {
      if (!Member->is_boolean()) {
        return Failure(400, "PropertyValueTypeError", {Dump(*Member), Name});
      }
      (Name == "Enabled" ? Account.Enabled : Account.PasswordChangeRequired) = Member->get<bool>();
    } else if (Name.find('@') == std::string::npos) {
      return Failure(400, "PropertyUnknown", {Name});
    }
  }
  if (FindAccount(Account.User) != nullptr) {
    return Failure(400, "ResourceAlreadyExists", {"ManagerAccount", "UserName", Account.User});
  }
  if (mAccounts.size() >= MAX_ACCOUNTS) {
    return Failure(400, "CreateLimitReachedForResource");
  }
  mNextAccount++;
  mAccounts.push_back(Account);
  // A new name starts with no failures counted against it.
  mAccountFailures.erase(Account.User);
  StoreResponse Response;
  Response.Code = 201;
  Response.Changed = true;
  Response.Body = AccountBody(mAccounts.size() - 1);
  Response.Headers.emplace_back("Location", AccountUri(Account));
  Response.Headers.emplace_back("ETag", EntityTag(Response.Body));
  return Response;
}

StoreResponse RedfishStore::DeleteAccount(CALL &Call) {
  int Found = AccountById(Call.Segments[0]);
  if (Found < 0) {
    return Failure(404, "ResourceNotFound", {"ManagerAccount", Call.Segments[0]});
  }
  size_t Index = static_cast<size_t>(Found);
  if (LastAdministrator(Index)) {
    return Failure(409, "ResourceInUse");
  }
  const std::string User = mAccounts[Index].User;
  EndSessionsOf(User);
  mAccountFailures.erase(User);
  mAccounts.erase(mAccounts.begin() + static_cast<std::ptrdiff_t>(Index));
  return Applied();
}

bool RedfishStore::PasswordChangeRefused(const CALL &Call, const std::string &Method,
                                         StoreResponse *Refusal) const {
  const ACCOUNT *Account = Call.ByDriver ? nullptr : FindAccount(Call.User);
  if (Account == nullptr || !Account->PasswordChangeRequired) {
    return false;
  }
  const std::string Uri = AccountUri(*Account);
  bool Own = Call.Path == Uri;
  bool OwnSession =
      !Call.SessionId.empty() && Call.Path == std::string(URI_SESSIONS) + "/" + Call.SessionId;
  if ((Own && (Method == "GET" || Method == "PATCH")) || (OwnSession && Method == "DELETE")) {
    return false;
  }
  *Refusal = Failure(403, "PasswordChangeRequired", {Uri});
  return true;
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
