// nvdimm-emu: runs the driver on an emulated UEFI platform described by a
// scenario file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "emulator/HostPlatform.h"
#include "emulator/QemuRunner.h"
#include "server/Serve.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: nvdimm-emu run SCENARIO.json [--trace FILE] [--fail-alloc N] [--strict] "
               "[--quiet]\n"
               "                   [--platform host|qemu] [--timeout SECONDS] [--keep DIR]\n"
               "                   [--platform-image FILE] [--driver-image FILE]\n"
               "  --trace FILE     write the trace as JSON Lines (- for standard output)\n"
               "  --fail-alloc N   make the driver's N-th memory allocation fail (1-based)\n"
               "  --strict         exit 1 when the driver leaks or misuses the machine\n"
               "  --quiet          no readable account\n"
               "  --platform P     host (the default): the emulated machine; qemu: OVMF in QEMU,\n"
               "                   running the driver's real image (exit 3 when QEMU fails)\n"
               "  --timeout S      qemu: kill a boot that has not ended after S seconds (120)\n"
               "  --keep DIR       qemu: keep the disk, firmware console and channel in DIR\n"
               "  --platform-image FILE, --driver-image FILE\n"
               "                   qemu: the images to boot (default: beside the build's bin/)\n"
               "  --redfish URL    send the driver's requests to the Redfish service at URL\n"
               "  --user U --password P   its account (Basic authentication)\n"
               "       nvdimm-emu serve SCENARIO.json [--listen HOST:PORT] [--state FILE]\n"
               "                   [--trace FILE] [--max-seconds N] [--tls CERT KEY] [--power-off]\n"
               "                   [--quiet] [--platform host|qemu] [--timeout SECONDS]\n"
               "  --listen H:P     where to serve Redfish (127.0.0.1:0, 0 picking a free port)\n"
               "  --state FILE     load the store and the NVDIMM model from FILE, save them there\n"
               "  --max-seconds N  stop after N seconds\n"
               "  --tls CERT KEY   serve HTTPS with this certificate and key (PEM files)\n"
               "  --power-off      the host starts off: nothing boots until a reset\n");
  return 2;
}

bool ParseCount(const char *Text, uint64_t *Value) {
  char *End = nullptr;
  if (Text[0] < '0' || Text[0] > '9') {
    return false;
  }
  unsigned long long Parsed = std::strtoull(Text, &End, 10);
  if (*End != '\0') {
    return false;
  }
  *Value = Parsed;
  return true;
}

int Serve(int argc, char **argv) {
  ServeOptions Options;
  Options.ScenarioPath = argv[2];
  for (int Index = 3; Index < argc; Index++) {
    std::string Argument = argv[Index];
    if (Argument == "--listen" && Index + 1 < argc) {
      std::string Listen = argv[++Index];
      size_t Colon = Listen.rfind(':');
      uint64_t Port = 0;
      if (Colon == std::string::npos || !ParseCount(Listen.c_str() + Colon + 1, &Port) ||
          Port > 65535) {
        return Usage();
      }
      Options.Host = Listen.substr(0, Colon);
      if (Options.Host.size() > 2 && Options.Host.front() == '[' && Options.Host.back() == ']') {
        Options.Host = Options.Host.substr(1, Options.Host.size() - 2);
      }
      Options.Port = static_cast<int>(Port);
    } else if (Argument == "--state" && Index + 1 < argc) {
      Options.StatePath = argv[++Index];
    } else if (Argument == "--trace" && Index + 1 < argc) {
      Options.TracePath = argv[++Index];
    } else if (Argument == "--max-seconds" && Index + 1 < argc) {
      if (!ParseCount(argv[++Index], &Options.MaxSeconds)) {
        return Usage();
      }
    } else if (Argument == "--tls" && Index + 2 < argc) {
      Options.Certificate = argv[++Index];
      Options.Key = argv[++Index];
    } else if (Argument == "--power-off") {
      Options.PowerOff = true;
    } else if (Argument == "--quiet") {
      Options.Quiet = true;
    } else if (Argument == "--platform" && Index + 1 < argc) {
      std::string Platform = argv[++Index];
      if (Platform != "host" && Platform != "qemu") {
        return Usage();
      }
      Options.Qemu = Platform == "qemu";
    } else if (Argument == "--timeout" && Index + 1 < argc) {
      uint64_t Seconds = 0;
      if (!ParseCount(argv[++Index], &Seconds) || Seconds == 0 || Seconds > 86400) {
        return Usage();
      }
      Options.QemuTimeout = static_cast<unsigned>(Seconds);
    } else {
      return Usage();
    }
  }
  return ServeScenario(Options);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc >= 3 && std::strcmp(argv[1], "serve") == 0) {
    return Serve(argc, argv);
  }
  if (argc < 3 || std::strcmp(argv[1], "run") != 0) {
    return Usage();
  }
  RunOptions Options;
  QemuOptions Qemu;
  bool InQemu = false;
  Options.ScenarioPath = argv[2];
  for (int Index = 3; Index < argc; Index++) {
    std::string Argument = argv[Index];
    if (Argument == "--trace" && Index + 1 < argc) {
      Options.TracePath = argv[++Index];
    } else if (Argument == "--fail-alloc" && Index + 1 < argc) {
      if (!ParseCount(argv[++Index], &Options.FailAllocation)) {
        return Usage();
      }
    } else if (Argument == "--strict") {
      Options.Strict = true;
    } else if (Argument == "--quiet") {
      Options.Quiet = true;
    } else if (Argument == "--platform" && Index + 1 < argc) {
      std::string Platform = argv[++Index];
      if (Platform != "host" && Platform != "qemu") {
        return Usage();
      }
      InQemu = Platform == "qemu";
    } else if (Argument == "--timeout" && Index + 1 < argc) {
      uint64_t Seconds = 0;
      if (!ParseCount(argv[++Index], &Seconds) || Seconds == 0 || Seconds > 86400) {
        return Usage();
      }
      Qemu.TimeoutSeconds = static_cast<unsigned>(Seconds);
    } else if (Argument == "--keep" && Index + 1 < argc) {
      Qemu.KeepDirectory = argv[++Index];
    } else if (Argument == "--platform-image" && Index + 1 < argc) {
      Qemu.PlatformImage = argv[++Index];
    } else if (Argument == "--driver-image" && Index + 1 < argc) {
      Qemu.DriverImage = argv[++Index];
    } else if (Argument == "--redfish" && Index + 1 < argc) {
      Options.RedfishUrl = argv[++Index];
    } else if (Argument == "--user" && Index + 1 < argc) {
      Options.RedfishUser = argv[++Index];
    } else if (Argument == "--password" && Index + 1 < argc) {
      Options.RedfishPassword = argv[++Index];
    } else {
      return Usage();
    }
  }
  if (InQemu && !Options.RedfishUrl.empty()) {
    std::fprintf(stderr, "nvdimm-emu: --redfish runs on the host platform only\n");
    return 2;
  }
  return InQemu ? RunScenarioInQemu(Options, Qemu) : RunScenario(Options);
}
