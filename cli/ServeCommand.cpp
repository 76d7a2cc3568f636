#include "cli/ServeCommand.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/CommandLine.h"
#include "server/Serve.h"

namespace {

int ServeUsage() {
  std::fprintf(
      stderr,
      "usage: nvdimm-emu serve SCENARIO.json [--listen HOST:PORT] [--state FILE]\n"
      "                   [--trace FILE] [--max-seconds N] [--tls CERT KEY] [--power-off]\n"
      "                   [--quiet] [--platform host|qemu] [--timeout SECONDS] [--network]\n"
      "  --listen H:P     where to serve Redfish (127.0.0.1:0, 0 picking a free port)\n"
      "  --state FILE     load the store and the NVDIMM model from FILE, save them there\n"
      "  --trace FILE     write the trace as JSON Lines (- for standard output)\n"
      "  --max-seconds N  stop after N seconds\n"
      "  --tls CERT KEY   serve HTTPS with this certificate and key (PEM files)\n"
      "  --power-off      the host starts off: nothing boots until a reset\n"
      "  --quiet          no readable account\n"
      "  --platform P     host (the default), or qemu: every boot runs the real images\n"
      "                   in OVMF\n"
      "  --timeout S      qemu: kill a boot that has not ended after S seconds (120)\n"
      "  --network        qemu: the driver's requests go over OVMF's network stack and\n"
      "                   virtio-net (the REST producer's image), not the image's UART\n");
  return 2;
}

}  // namespace

int ServeMain(int argc, char **argv) {
  if (argc < 3) {
    return ServeUsage();
  }
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
        return ServeUsage();
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
        return ServeUsage();
      }
    } else if (Argument == "--tls" && Index + 2 < argc) {
      Options.Certificate = argv[++Index];
      Options.Key = argv[++Index];
    } else if (Argument == "--power-off") {
      Options.PowerOff = true;
    } else if (Argument == "--quiet") {
      Options.Quiet = true;
    } else if (Argument == "--network") {
      Options.Network = true;
    } else if (Argument == "--platform" && Index + 1 < argc) {
      std::string Platform = argv[++Index];
      if (Platform != "host" && Platform != "qemu") {
        return ServeUsage();
      }
      Options.Qemu = Platform == "qemu";
    } else if (Argument == "--timeout" && Index + 1 < argc) {
      uint64_t Seconds = 0;
      if (!ParseCount(argv[++Index], &Seconds) || Seconds == 0 || Seconds > 86400) {
        return ServeUsage();
      }
      Options.QemuTimeout = static_cast<unsigned>(Seconds);
    } else {
      return ServeUsage();
    }
  }
  if (Options.Network && !Options.Qemu) {
    std::fprintf(stderr, "nvdimm-emu: serve --network goes with --platform qemu\n");
    return 2;
  }
  return ServeScenario(Options);
}
