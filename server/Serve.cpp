#include "server/Serve.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <vector>

#include "boot/HostBoot.h"
#include "emulator/PlatformHooks.h"
#include "host/ScenarioFile.h"
#include "host/TraceOutput.h"
#include "server/HttpFrontEnd.h"
#include "server/HttpRest.h"
#include "server/QemuHost.h"
#include "server/RedfishStore.h"
#include "server/StateFile.h"
#include "sim/platform/PlatformRunner.h"

namespace {

std::atomic<bool> mStopAsked{false};

void OnStopSignal(int Signal) {
  (void)Signal;
  mStopAsked = true;
}

/// The readable account: written by the machine's thread (through the trace)
/// and by the listener's threads, one whole line at a time.
struct ACCOUNT {
  std::mutex Lock;
  std::FILE *File = nullptr;
  std::string Pending;  ///< the machine thread's unfinished line
};

void WriteLine(ACCOUNT &Account, const std::string &Line) {
  std::lock_guard<std::mutex> Guard(Account.Lock);
  std::fwrite(Line.data(), 1, Line.size(), Account.File);
  std::fflush(Account.File);
}

/// Trace sink of the account: passes on whole lines only. Only the bytes
/// just added are searched for the line's end, so that a long line costs
/// its length, however many pieces it comes in.
void WriteAccountLines(void *Context, const CHAR8 *Bytes, UINTN Length) {
  auto *Account = static_cast<ACCOUNT *>(Context);
  const void *End = memrchr(Bytes, '\n', Length);
  if (End == nullptr) {
    Account->Pending.append(Bytes, Length);
    return;
  }
  size_t Through = static_cast<size_t>(static_cast<const CHAR8 *>(End) - Bytes) + 1;
  Account->Pending.append(Bytes, Through);
  WriteLine(*Account, Account->Pending);
  Account->Pending.assign(Bytes + Through, Length - Through);
}

void WriteToFile(void *Context, const CHAR8 *Bytes, UINTN Length) {
  std::fwrite(Bytes, 1, Length, static_cast<std::FILE *>(Context));
}

/// Operators' requests waiting to become "http" events: the listener's
/// threads may not touch cJSON, so the machine's thread writes them.
class ExchangeQueue {
 public:
  void Push(const HTTP_EXCHANGE &Exchange) {
    std::lock_guard<std::mutex> Guard(mLock);
    mWaiting.push_back(Exchange);
  }

  void Emit(Trace &Log, UINT32 Boot) {
    std::vector<HTTP_EXCHANGE> Taken;
    {
      std::lock_guard<std::mutex> Guard(mLock);
      Taken.swap(mWaiting);
    }
    Log.SetBoot(Boot);
    for (const HTTP_EXCHANGE &Exchange : Taken) {
      cJSON *Event = Log.NewEvent("http");
      if (Event == nullptr) {
        continue;
      }
      bool Built = TraceAddString(Event, "by", Exchange.ByDriver ? "driver" : "operator") &&
                   TraceAddBytes(Event, "user", Exchange.User.data(), Exchange.User.size()) &&
                   TraceAddString(Event, "method", Exchange.Method.c_str()) &&
                   TraceAddBytes(Event, "path", Exchange.Path.data(), Exchange.Path.size()) &&
                   TraceAddUint(Event, "code", static_cast<UINT64>(Exchange.Code)) &&
                   TraceAddUint(Event, "micros", Exchange.Micros);
      if (Built) {
        Log.Emit(Event);
      } else {
        cJSON_Delete(Event);
      }
    }
  }

 private:
  std::mutex mLock;
  std::vector<HTTP_EXCHANGE> mWaiting;
};

/// The "final" event, from the store's documents.
void EmitFinal(Trace &Log, RedfishStore &Store) {
  cJSON *Event = Log.NewEvent("final");
  if (Event == nullptr || !TraceAddUint(Event, "boots", Log.Boot())) {
    cJSON_Delete(Event);
    return;
  }
  cJSON *Resources = cJSON_CreateObject();
  if (!TraceAddItem(Event, "resources", Resources)) {
    cJSON_Delete(Event);
    return;
  }
  for (const auto &Document : Store.Documents()) {
    if (!TraceAddBytes(Resources, Document.first.c_str(), Document.second.data(),
                       Document.second.size())) {
      cJSON_Delete(Event);
      return;
    }
  }
  Log.Emit(Event);
}

/// The scenario's "accounts": [{"user": ..., "password": ..., "role": ...}, ...],
/// the role Administrator, Operator or ReadOnly (Administrator when left out).
bool ReadAccounts(const std::string &Text, std::vector<StoreAccount> *Accounts,
                  std::string *Problem) {
  auto Root = nlohmann::json::parse(Text, nullptr, false);
  if (!Root.is_object() || !Root.contains("accounts")) {
    return true;
  }
  const auto &List = Root["accounts"];
  if (!List.is_array() || List.empty()) {
    *Problem = "accounts: not a non-empty array";
    return false;
  }
  for (size_t Index = 0; Index < List.size(); Index++) {
    const auto &Entry = List[Index];
    std::string Path = "accounts[" + std::to_string(Index) + "]";
    bool HasRole = Entry.is_object() && Entry.contains("role");
    if (!Entry.is_object() || Entry.size() != (HasRole ? 3u : 2u) || !Entry.contains("user") ||
        !Entry.contains("password") || !Entry["user"].is_string() ||
        !Entry["password"].is_string() || Entry["user"].get<std::string>().empty()) {
      *Problem = Path +
                 ": not an object with a non-empty \"user\", a \"password\" string and "
                 "optionally a \"role\"";
      return false;
    }
    ROLE Role = ROLE::Administrator;
    if (HasRole) {
      const auto &Name = Entry["role"];
      if (Name == "Administrator") {
        Role = ROLE::Administrator;
      } else if (Name == "Operator") {
        Role = ROLE::Operator;
      } else if (Name == "ReadOnly") {
        Role = ROLE::ReadOnly;
      } else {
        *Problem = Path + ".role: not Administrator, Operator or ReadOnly";
        return false;
      }
    }
    for (const StoreAccount &Known : *Accounts) {
      if (Known.User == Entry["user"].get<std::string>()) {
        *Problem = Path + ".user: named twice";
        return false;
      }
    }
    Accounts->push_back(
        {Entry["user"].get<std::string>(), Entry["password"].get<std::string>(), Role});
  }
  return true;
}

bool IsLoopback(const std::string &Host) {
  return Host == "localhost" || Host == "::1" || Host.compare(0, 4, "127.") == 0;
}

/// Where the twin listens and how its own host reaches it.
struct LISTENER {
  std::string Scheme;   ///< "http" or "https"
  std::string Shown;    ///< the host as a URL writes it ([::1], 127.0.0.1, ...)
  std::string BaseUrl;  ///< what the host's REST producer connects to
};

/// The twin: the emulated host (its scenario, platform, boots and trace),
/// the store, the listener in front of it, the REST producer through which
/// the host's driver reaches the listener, and the boots in QEMU instead of
/// the emulated machine with --platform qemu. Each step returns 0 or the
/// exit status of a twin that cannot go on.
class Twin {
 public:
  explicit Twin(const ServeOptions &Options) : mOptions(Options) {}
  ~Twin();
  Twin(const Twin &) = delete;
  Twin &operator=(const Twin &) = delete;

  /// The scenario, its accounts, the trace, the platform and the store, with
  /// the state file's contents when there is one.
  int Load();
  /// Binds the listener, starts it, and connects the host to it.
  int Listen();
  /// Boots at power on, then at every operator's reset, until a signal or
  /// --max-seconds; then writes the final event and the state.
  int Serve();

 private:
  int Fail(int Status, const std::string &Problem) const;
  [[nodiscard]] bool LoadAccounts(const std::string &Text, std::vector<StoreAccount> *Accounts);
  [[nodiscard]] bool LoadState();
  void OnAnswered(const HTTP_EXCHANGE &Exchange);
  [[nodiscard]] bool RunBoots(bool Listed, const char *Why);
  void SaveMachine();
  /// The store's inventory from the NVDIMM component's state text.
  void ShowInventory(const char *Model);

  const ServeOptions &mOptions;
  std::unique_ptr<Scenario> mScenario;
  TraceFilePointer mTraceFile;
  std::unique_ptr<ACCOUNT> mAccount;
  std::unique_ptr<Trace> mLog;
  /// The operators' requests go to the trace file only: the account has
  /// their line already.
  std::unique_ptr<Trace> mHttpLog;
  PlatformHost mHost = {};
  std::unique_ptr<PlatformRunner> mRunner;
  std::unique_ptr<RedfishStore> mStore;
  std::unique_ptr<HostBoots> mBoots;
  std::unique_ptr<StateFile> mState;
  ExchangeQueue mExchanges;
  std::unique_ptr<HttpFrontEnd> mFrontEnd;
  LISTENER mListener;
  std::unique_ptr<HttpRest> mProducer;
  std::unique_ptr<QemuHost> mQemu;
};

Twin::~Twin() {
  if (mFrontEnd) {
    mFrontEnd->Stop();
  }
  if (mRunner) {
    mRunner->Service().SetRemote(nullptr);
  }
}

int Twin::Fail(int Status, const std::string &Problem) const {
  std::fprintf(stderr, "nvdimm-emu: %s\n", Problem.c_str());
  return Status;
}

bool Twin::LoadAccounts(const std::string &Text, std::vector<StoreAccount> *Accounts) {
  std::string Problem;
  if (!ReadAccounts(Text, Accounts, &Problem)) {
    Fail(2, mOptions.ScenarioPath + ": " + Problem);
    return false;
  }
  if (!Accounts->empty()) {
    return true;
  }
  if (!IsLoopback(mOptions.Host)) {
    Fail(2, mOptions.ScenarioPath + ": listening on " + mOptions.Host +
                " needs the scenario's \"accounts\"; without them only loopback is served");
    return false;
  }
  Accounts->push_back({"admin", "admin"});
  return true;
}

bool Twin::LoadState() {
  mState = std::make_unique<StateFile>(mOptions.StatePath);
  std::string Nvdimm;
  std::string Problem;
  uint32_t Boot = 0;
  bool Found = false;
  if (!mState->Load(*mStore, &Nvdimm, &Boot, &Found, &Problem) ||
      (Found && !mRunner->Nvdimm().LoadState(Nvdimm.c_str()))) {
    Fail(2, mOptions.StatePath + ": " +
                (Problem.empty() ? "holds an NVDIMM model that does not read" : Problem));
    return false;
  }
  mBoots->SetLastBoot(Boot);
  // The machine's part as it stands now, so that a write before the first
  // boot ends (or one cut short by a crash) holds a model that reads.
  char *Model = mRunner->Nvdimm().SaveState();
  mState->SetMachine(Model != nullptr ? Model : "", Boot);
  cJSON_free(Model);
  // From here every change the store acknowledges is in the file first.
  StateFile *State = mState.get();
  mStore->SetPersist([State](const std::string &Snapshot, std::string *Why) {
    return State->WriteSnapshot(Snapshot, Why);
  });
  return true;
}

int Twin::Load() {
  Firmware &Machine = Firmware::Instance();
  Machine.PowerOn();
  InstallPlatformJsonAllocator();

  std::string Text;
  mScenario = std::make_unique<Scenario>();
  if (!ReadScenarioFile(mOptions.ScenarioPath, &Text, mScenario.get())) {
    return 2;
  }
  std::vector<StoreAccount> Accounts;
  if (!LoadAccounts(Text, &Accounts)) {
    return 2;
  }
  if (mOptions.Qemu && !mOptions.StatePath.empty()) {
    return Fail(2, "--state works on the host platform only");
  }

  if (!OpenTraceOutput(mOptions.TracePath, &mTraceFile)) {
    return 2;
  }
  mAccount = std::make_unique<ACCOUNT>();
  mAccount->File = AccountStream(mOptions.TracePath);
  TraceSink Lines = {mTraceFile ? WriteToFile : nullptr, mTraceFile.get()};
  TraceSink AccountSink = {mOptions.Quiet ? nullptr : WriteAccountLines, mAccount.get()};
  mLog = std::make_unique<Trace>(Lines, AccountSink);
  mHttpLog = std::make_unique<Trace>(Lines, TraceSink{nullptr, nullptr});
  mLog->KeepEvents(false);
  mHttpLog->KeepEvents(false);

  mHost = EmulatorPlatformHost();
  mRunner = std::make_unique<PlatformRunner>(*mScenario, mHost, *mLog);
  if (!mRunner->PowerOn()) {
    return Fail(2, "out of memory loading the Redfish service");
  }
  ResetSystemMode ResetMode = mScenario->Parts().ResetSystem();
  Machine.SetResetBehaviour(ResetMode != ResetSystemMode::Notifications,
                            ResetMode != ResetSystemMode::Group);
  std::vector<std::pair<std::string, std::string>> Resources;
  const REDFISH_CONFIG &Config = mScenario->Parts().Redfish();
  for (UINTN Index = 0; Index < Config.ResourceCount; Index++) {
    Resources.emplace_back(
        Config.Resources[Index].Uri,
        std::string(Config.Resources[Index].Body, Config.Resources[Index].BodyLength));
  }
  mStore = std::make_unique<RedfishStore>(std::move(Resources), std::move(Accounts));

  mBoots = std::make_unique<HostBoots>(Machine, *mRunner, *mScenario, *mLog);
  ACCOUNT &BootLines = *mAccount;
  RedfishStore &Store = *mStore;
  bool Quiet = mOptions.Quiet;
  mBoots->SetAnnounce([&BootLines, &Store, Quiet](UINT32 Boot, const char *Why) {
    Store.BootStarted();
    if (!Quiet) {
      WriteLine(BootLines, "boot " + std::to_string(Boot) + " (" + Why + ")\n");
    }
  });
  if (!mOptions.StatePath.empty() && !LoadState()) {
    return 2;
  }
  // The inventory before the first boot: the model as it starts.
  char *Model = mRunner->Nvdimm().SaveState();
  ShowInventory(Model);
  cJSON_free(Model);
  return 0;
}

void Twin::OnAnswered(const HTTP_EXCHANGE &Exchange) {
  std::string Problem = mStore->TakePersistProblem();
  if (!Problem.empty()) {
    // The change was refused (500) and undone: say why, always.
    std::fprintf(stderr, "nvdimm-emu: %s: %s\n", mOptions.StatePath.c_str(), Problem.c_str());
    WriteLine(*mAccount, "state: " + Problem + "; " + Exchange.Method + " " + Exchange.Path +
                             " refused and undone\n");
  }
  if (!mOptions.Quiet) {
    char Time[32];
    std::snprintf(Time, sizeof(Time), "%.2f ms", static_cast<double>(Exchange.Micros) / 1000);
    // From the guest, a request that is not the driver's is the REST
    // producer's (its probe of the version document).
    const char *Who = Exchange.ByDriver ? "driver" : Exchange.FromGuest ? "producer" : "operator";
    WriteLine(*mAccount,
              std::string("http ") + Who + (Exchange.User.empty() ? "" : " " + Exchange.User) +
                  (Exchange.FromGuest ? " (guest)" : "") + ": " + Exchange.Method + " " +
                  Exchange.Path + " " + std::to_string(Exchange.Code) + " " + Time + "\n");
  }
  // Without a trace file the operators' requests leave no event behind.
  if (!Exchange.ByDriver && mTraceFile) {
    mExchanges.Push(Exchange);
  }
}

int Twin::Listen() {
  mFrontEnd = std::make_unique<HttpFrontEnd>(
      *mStore, [this](const HTTP_EXCHANGE &Exchange) { OnAnswered(Exchange); });
  std::string Problem;
  int Port =
      mFrontEnd->Bind(mOptions.Host, mOptions.Port, mOptions.Certificate, mOptions.Key, &Problem);
  if (Port < 0) {
    return Fail(2, Problem);
  }
  mListener.Scheme = mOptions.Certificate.empty() ? "http" : "https";
  mListener.Shown =
      mOptions.Host.find(':') != std::string::npos ? "[" + mOptions.Host + "]" : mOptions.Host;
  std::fprintf(stdout, "listening on %s://%s:%d\n", mListener.Scheme.c_str(),
               mListener.Shown.c_str(), Port);
  std::fflush(stdout);
  mFrontEnd->Start();

  // The platform's REST producer reaches the store through the host's own
  // listener, where no operator's connection can hold it up.
  mListener.BaseUrl = mListener.Scheme + "://127.0.0.1:" + std::to_string(mFrontEnd->HostPort());
  mProducer = std::make_unique<HttpRest>(mListener.BaseUrl, mStore->DriverToken(), "", "");
  mProducer->BeforeSend([this] { mExchanges.Emit(*mHttpLog, mBoots->LastBoot()); });
  mRunner->Service().SetRemote(mProducer->Remote());
  if (!mOptions.Qemu) {
    return 0;
  }

  // With --platform qemu every boot is a QEMU run of the real images.
  ACCOUNT &AccountLines = *mAccount;
  mQemu = std::make_unique<QemuHost>(mTraceFile.get(), [&AccountLines](const std::string &Line) {
    WriteLine(AccountLines, Line + "\n");
  });
  QemuHostSetup Setup;
  Setup.ScenarioPath = mOptions.ScenarioPath;
  Setup.BaseUrl = mListener.BaseUrl;
  Setup.DriverToken = mStore->DriverToken();
  Setup.Account = !mOptions.Quiet;
  Setup.TimeoutSeconds = mOptions.QemuTimeout;
  Setup.Network = mOptions.Network;
  Setup.Store = mStore.get();
  Setup.Answered = [this](const HTTP_EXCHANGE &Exchange) { OnAnswered(Exchange); };
  Setup.BootStarting = [this] { mStore->BootStarted(); };
  return mQemu->Prepare(Setup, &Problem) ? 0 : Fail(3, "qemu: " + Problem);
}

void Twin::SaveMachine() {
  if (!mState) {
    return;
  }
  char *Nvdimm = mRunner->Nvdimm().SaveState();
  mState->SetMachine(Nvdimm != nullptr ? Nvdimm : "", mBoots->LastBoot());
  cJSON_free(Nvdimm);
  std::string Problem;
  if (!mState->Write(*mStore, &Problem)) {
    std::fprintf(stderr, "nvdimm-emu: %s: %s\n", mOptions.StatePath.c_str(), Problem.c_str());
    mLog->Note(("the state file cannot be written: " + Problem).c_str());
  }
}

void Twin::ShowInventory(const char *Model) {
  if (Model != nullptr) {
    mStore->SetInventory(Model);
  }
}

bool Twin::RunBoots(bool Listed, const char *Why) {
  if (!mQemu) {
    mBoots->RunBoots(Listed, Why);
    char *Model = mRunner->Nvdimm().SaveState();
    ShowInventory(Model);
    cJSON_free(Model);
    mStore->BootEnded();
    SaveMachine();
    return true;
  }
  unsigned Boot = mBoots->LastBoot();
  std::string Problem;
  bool Ran = mQemu->RunBoots(&Boot, Why, &Problem);
  mBoots->SetLastBoot(Boot);
  std::string Model = mQemu->NvdimmState();
  ShowInventory(Model.empty() ? nullptr : Model.c_str());
  mStore->BootEnded();
  if (!Ran) {
    Fail(3, "qemu: " + Problem);
  }
  return Ran;
}

int Twin::Serve() {
  mStopAsked = false;
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
  auto Deadline = mOptions.MaxSeconds != 0
                      ? std::chrono::steady_clock::now() + std::chrono::seconds(mOptions.MaxSeconds)
                      : std::chrono::steady_clock::time_point::max();
  if (mOptions.PowerOff) {
    mStore->PowerOff();
  }
  int Result = 0;
  if (mStore->PoweredOn() && !RunBoots(true, "power on")) {
    Result = 3;
    mStopAsked = true;
  }
  while (!mStopAsked && std::chrono::steady_clock::now() < Deadline) {
    auto Until =
        std::min(Deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(100));
    bool Boot = mStore->WaitForBoot(Until);
    mExchanges.Emit(*mHttpLog, mBoots->LastBoot());
    if (Boot && !RunBoots(false, "reset by the operator")) {
      Result = 3;
      break;
    }
  }

  mProducer->Close();
  mFrontEnd->Stop();
  mExchanges.Emit(*mHttpLog, mBoots->LastBoot());
  mLog->SetBoot(mBoots->LastBoot());
  EmitFinal(*mLog, *mStore);
  SaveMachine();
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  std::fflush(nullptr);
  return Result;
}

}  // namespace

int ServeScenario(const ServeOptions &Options) {
  auto TheTwin = std::make_unique<Twin>(Options);
  int Result = TheTwin->Load();
  if (Result == 0) {
    Result = TheTwin->Listen();
  }
  if (Result == 0) {
    Result = TheTwin->Serve();
  }
  // The platform's parts release pool memory through the JSON library's
  // hooks: they go first.
  TheTwin.reset();
  cJSON_InitHooks(nullptr);
  return Result;
}
