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

/// Trace sink of the account: passes on whole lines only.
void WriteAccountLines(void *Context, const CHAR8 *Bytes, UINTN Length) {
  auto *Account = static_cast<ACCOUNT *>(Context);
  Account->Pending.append(Bytes, Length);
  size_t End = Account->Pending.rfind('\n');
  if (End != std::string::npos) {
    WriteLine(*Account, Account->Pending.substr(0, End + 1));
    Account->Pending.erase(0, End + 1);
  }
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

/// The scenario's "accounts": [{"user": ..., "password": ...}, ...].
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
    if (!Entry.is_object() || Entry.size() != 2 || !Entry.contains("user") ||
        !Entry.contains("password") || !Entry["user"].is_string() ||
        !Entry["password"].is_string() || Entry["user"].get<std::string>().empty()) {
      *Problem = Path + ": not an object with a non-empty \"user\" and a \"password\" string";
      return false;
    }
    Accounts->push_back({Entry["user"].get<std::string>(), Entry["password"].get<std::string>()});
  }
  return true;
}

bool IsLoopback(const std::string &Host) {
  return Host == "localhost" || Host == "::1" || Host.compare(0, 4, "127.") == 0;
}

void SaveMachine(PlatformRunner &Runner, UINT32 Boot, Trace &Log, StateFile *State,
                 RedfishStore &Store) {
  if (State == nullptr) {
    return;
  }
  char *Nvdimm = Runner.Nvdimm().SaveState();
  State->SetMachine(Nvdimm != nullptr ? Nvdimm : "", Boot);
  cJSON_free(Nvdimm);
  if (!State->Write(Store, true)) {
    Log.Note("the state file cannot be written");
  }
}

}  // namespace

int ServeScenario(const ServeOptions &Options) {
  Firmware &Machine = Firmware::Instance();
  Machine.PowerOn();
  InstallPlatformJsonAllocator();

  std::string Text;
  auto TheScenario = std::make_unique<Scenario>();
  if (!ReadScenarioFile(Options.ScenarioPath, &Text, TheScenario.get())) {
    return 2;
  }
  std::vector<StoreAccount> Accounts;
  std::string Problem;
  if (!ReadAccounts(Text, &Accounts, &Problem)) {
    std::fprintf(stderr, "nvdimm-emu: %s: %s\n", Options.ScenarioPath.c_str(), Problem.c_str());
    return 2;
  }
  if (Accounts.empty()) {
    if (!IsLoopback(Options.Host)) {
      std::fprintf(stderr,
                   "nvdimm-emu: %s: listening on %s needs the scenario's \"accounts\"; without "
                   "them only loopback is served\n",
                   Options.ScenarioPath.c_str(), Options.Host.c_str());
      return 2;
    }
    Accounts.push_back({"admin", "admin"});
  }

  if (Options.Qemu && !Options.StatePath.empty()) {
    std::fprintf(stderr, "nvdimm-emu: --state works on the host platform only\n");
    return 2;
  }

  TraceFilePointer TraceFile;
  if (!OpenTraceOutput(Options.TracePath, &TraceFile)) {
    return 2;
  }
  auto Account = std::make_unique<ACCOUNT>();
  Account->File = AccountStream(Options.TracePath);
  TraceSink Lines = {TraceFile ? WriteToFile : nullptr, TraceFile.get()};
  TraceSink AccountSink = {Options.Quiet ? nullptr : WriteAccountLines, Account.get()};
  auto Log = std::make_unique<Trace>(Lines, AccountSink);
  // The operators' requests go to the trace file only: the account has
  // their line already.
  auto HttpLog = std::make_unique<Trace>(Lines, TraceSink{nullptr, nullptr});
  Log->KeepEvents(false);
  HttpLog->KeepEvents(false);

  PlatformHost Host = EmulatorPlatformHost();
  auto Runner = std::make_unique<PlatformRunner>(*TheScenario, Host, *Log);
  if (!Runner->PowerOn()) {
    std::fprintf(stderr, "nvdimm-emu: out of memory loading the Redfish service\n");
    return 2;
  }
  ResetSystemMode ResetMode = TheScenario->Parts().ResetSystem();
  Machine.SetResetBehaviour(ResetMode != ResetSystemMode::Notifications,
                            ResetMode != ResetSystemMode::Group);
  std::vector<std::pair<std::string, std::string>> Resources;
  const REDFISH_CONFIG &Config = TheScenario->Parts().Redfish();
  for (UINTN Index = 0; Index < Config.ResourceCount; Index++) {
    Resources.emplace_back(
        Config.Resources[Index].Uri,
        std::string(Config.Resources[Index].Body, Config.Resources[Index].BodyLength));
  }
  auto Store = std::make_unique<RedfishStore>(std::move(Resources), std::move(Accounts));

  auto Boots = std::make_unique<HostBoots>(Machine, *Runner, *TheScenario, *Log);
  if (!Options.Quiet) {
    ACCOUNT &BootLines = *Account;
    Boots->SetAnnounce([&BootLines](UINT32 Boot, const char *Why) {
      WriteLine(BootLines, "boot " + std::to_string(Boot) + " (" + Why + ")\n");
    });
  }
  std::unique_ptr<StateFile> State;
  if (!Options.StatePath.empty()) {
    State = std::make_unique<StateFile>(Options.StatePath);
    std::string Nvdimm;
    uint32_t Boot = 0;
    bool Found = false;
    if (!State->Load(*Store, &Nvdimm, &Boot, &Found, &Problem) ||
        (Found && !Runner->Nvdimm().LoadState(Nvdimm.c_str()))) {
      std::fprintf(stderr, "nvdimm-emu: %s: %s\n", Options.StatePath.c_str(),
                   Problem.empty() ? "holds an NVDIMM model that does not read" : Problem.c_str());
      return 2;
    }
    Boots->SetLastBoot(Boot);
  }

  ExchangeQueue Exchanges;
  ACCOUNT &AccountLines = *Account;
  bool Quiet = Options.Quiet;
  // Without a trace file the operators' requests leave no event behind.
  bool Tracing = static_cast<bool>(TraceFile);
  StateFile *StatePointer = State.get();
  RedfishStore &StoreRef = *Store;
  HttpFrontEnd FrontEnd(
      *Store,
      [&Exchanges, &AccountLines, Quiet, Tracing](const HTTP_EXCHANGE &Exchange) {
        if (!Quiet) {
          char Time[32];
          std::snprintf(Time, sizeof(Time), "%.2f ms", static_cast<double>(Exchange.Micros) / 1000);
          WriteLine(AccountLines, std::string("http ") +
                                      (Exchange.ByDriver ? "driver" : "operator") +
                                      (Exchange.User.empty() ? "" : " " + Exchange.User) + ": " +
                                      Exchange.Method + " " + Exchange.Path + " " +
                                      std::to_string(Exchange.Code) + " " + Time + "\n");
        }
        if (!Exchange.ByDriver && Tracing) {
          Exchanges.Push(Exchange);
        }
      },
      [StatePointer, &StoreRef] {
        if (StatePointer != nullptr) {
          (void)StatePointer->Write(StoreRef, false);
        }
      });
  int Port = FrontEnd.Bind(Options.Host, Options.Port, Options.Certificate, Options.Key, &Problem);
  if (Port < 0) {
    std::fprintf(stderr, "nvdimm-emu: %s\n", Problem.c_str());
    return 2;
  }
  std::string Scheme = Options.Certificate.empty() ? "http" : "https";
  std::string Shown =
      Options.Host.find(':') != std::string::npos ? "[" + Options.Host + "]" : Options.Host;
  std::fprintf(stdout, "listening on %s://%s:%d\n", Scheme.c_str(), Shown.c_str(), Port);
  std::fflush(stdout);
  FrontEnd.Start();

  // The platform's REST producer reaches the store through the listener.
  std::string Near = Options.Host == "0.0.0.0" ? "127.0.0.1" : Shown;
  HttpRest Producer(Scheme + "://" + Near + ":" + std::to_string(Port), Store->DriverToken(), "",
                    "");
  HostBoots &TheBoots = *Boots;
  Producer.BeforeSend(
      [&Exchanges, &TheBoots, &HttpLog] { Exchanges.Emit(*HttpLog, TheBoots.LastBoot()); });
  Runner->Service().SetRemote(Producer.Remote());

  // With --platform qemu every boot is a QEMU run of the real images.
  std::unique_ptr<QemuHost> Qemu;
  if (Options.Qemu) {
    Qemu = std::make_unique<QemuHost>(TraceFile.get(), [&AccountLines](const std::string &Line) {
      WriteLine(AccountLines, Line + "\n");
    });
    QemuHostSetup Setup;
    Setup.ScenarioPath = Options.ScenarioPath;
    Setup.BaseUrl = Scheme + "://" + Near + ":" + std::to_string(Port);
    Setup.DriverToken = Store->DriverToken();
    Setup.Account = !Options.Quiet;
    Setup.TimeoutSeconds = Options.QemuTimeout;
    if (!Qemu->Prepare(Setup, &Problem)) {
      std::fprintf(stderr, "nvdimm-emu: qemu: %s\n", Problem.c_str());
      FrontEnd.Stop();
      return 3;
    }
  }
  auto RunBoots = [&](bool Listed, const char *Why) {
    if (!Qemu) {
      Boots->RunBoots(Listed, Why);
      SaveMachine(*Runner, Boots->LastBoot(), *Log, State.get(), *Store);
      return true;
    }
    unsigned Boot = Boots->LastBoot();
    bool Ran = Qemu->RunBoots(&Boot, Why, &Problem);
    Boots->SetLastBoot(Boot);
    if (!Ran) {
      std::fprintf(stderr, "nvdimm-emu: qemu: %s\n", Problem.c_str());
    }
    return Ran;
  };

  mStopAsked = false;
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
  auto Deadline = Options.MaxSeconds != 0
                      ? std::chrono::steady_clock::now() + std::chrono::seconds(Options.MaxSeconds)
                      : std::chrono::steady_clock::time_point::max();

  if (Options.PowerOff) {
    Store->PowerOff();
  }
  int Result = 0;
  if (Store->PoweredOn() && !RunBoots(true, "power on")) {
    Result = 3;
    mStopAsked = true;
  }
  while (!mStopAsked && std::chrono::steady_clock::now() < Deadline) {
    auto Until =
        std::min(Deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(100));
    bool Boot = Store->WaitForBoot(Until);
    Exchanges.Emit(*HttpLog, Boots->LastBoot());
    if (Boot && !RunBoots(false, "reset by the operator")) {
      Result = 3;
      break;
    }
  }

  Producer.Close();
  FrontEnd.Stop();
  Exchanges.Emit(*HttpLog, Boots->LastBoot());
  Log->SetBoot(Boots->LastBoot());
  EmitFinal(*Log, *Store);
  SaveMachine(*Runner, Boots->LastBoot(), *Log, State.get(), *Store);
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  std::fflush(nullptr);
  Runner->Service().SetRemote(nullptr);
  Boots.reset();
  Runner.reset();
  HttpLog.reset();
  Log.reset();
  TheScenario.reset();
  cJSON_InitHooks(nullptr);
  return Result;
}
