#include "qemu/runner/QemuMachine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "qemu/ChannelFormat.h"
#include "qemu/RestChannelFormat.h"
#include "qemu/runner/Subprocess.h"
#include "sim/platform/HostInterface.h"

namespace {

constexpr const char *QEMU = "qemu-system-x86_64";
constexpr const char *OVMF_CODE = "/usr/share/OVMF/OVMF_CODE_4M.fd";
constexpr const char *OVMF_VARS = "/usr/share/OVMF/OVMF_VARS_4M.fd";
constexpr const char *OVMF_WHOLE = "/usr/share/ovmf/OVMF.fd";
/// Tools such as mformat answer at once; this only guards against a hang.
constexpr unsigned TOOL_TIMEOUT_SECONDS = 60;
constexpr unsigned long long MIB = 1024ULL * 1024;

bool IsFile(const std::string &Path) {
  struct stat Info = {};
  return stat(Path.c_str(), &Info) == 0 && S_ISREG(Info.st_mode);
}

unsigned long long FileSize(const std::string &Path) {
  struct stat Info = {};
  return stat(Path.c_str(), &Info) == 0 ? static_cast<unsigned long long>(Info.st_size) : 0;
}

bool Fail(std::string *Error, const std::string &Message) {
  *Error = Message;
  return false;
}

bool CopyFile(const std::string &From, const std::string &To) {
  std::string Bytes = ReadWholeFile(From);
  std::FILE *File = std::fopen(To.c_str(), "wb");
  if (File == nullptr) {
    return false;
  }
  bool Written = std::fwrite(Bytes.data(), 1, Bytes.size(), File) == Bytes.size();
  return std::fclose(File) == 0 && Written && !Bytes.empty();
}

}  // namespace

bool QemuMachine::Tool(const std::vector<std::string> &Argv, std::string *Error) const {
  ProcessResult Result = RunProcess(Argv, mToolLog, TOOL_TIMEOUT_SECONDS);
  if (!Result.Started) {
    return Fail(Error, Argv[0] + " cannot be run: is it installed? (scripts/setup.sh installs it)");
  }
  if (Result.TimedOut || Result.ExitStatus != 0) {
    std::string Command;
    for (const std::string &Argument : Argv) {
      Command += (Command.empty() ? "" : " ") + Argument;
    }
    return Fail(Error, Command + " failed:\n" + LastLines(ReadWholeFile(mToolLog), 5));
  }
  return true;
}

bool QemuMachine::Prepare(const QemuSetup &Setup, std::string *Error) {
  mSetup = Setup;
  std::vector<const std::string *> Images = {&Setup.PlatformImage, &Setup.DriverImage};
  if (!Setup.NetworkSocket.empty()) {
    Images.push_back(&Setup.ProducerImage);
  }
  for (const std::string *Image : Images) {
    if (!IsFile(*Image)) {
      return Fail(Error, *Image +
                             ": no such image; build the targets platform-image and "
                             "driver-image, or name the image with --platform-image or "
                             "--driver-image");
    }
  }
  if (IsFile(OVMF_CODE) && IsFile(OVMF_VARS)) {
    mCode = OVMF_CODE;
  } else if (IsFile(OVMF_WHOLE)) {
    mBios = OVMF_WHOLE;
  } else {
    return Fail(Error, std::string("no OVMF firmware at ") + OVMF_CODE + " or " + OVMF_WHOLE +
                           " (apt-get install ovmf)");
  }
  if (mkdir(Setup.Directory.c_str(), 0755) != 0 && errno != EEXIST) {
    return Fail(Error, Setup.Directory + ": cannot be made");
  }
  mDisk = Setup.Directory + "/disk.img";
  mToolLog = Setup.Directory + "/tools.log";
  std::remove(mDisk.c_str());
  if (!mCode.empty()) {
    // The machine keeps its variable store across the boots of one run, as
    // a real one keeps its flash.
    mVars = Setup.Directory + "/OVMF_VARS.fd";
    if (!CopyFile(OVMF_VARS, mVars)) {
      return Fail(Error, mVars + ": cannot be written");
    }
  }

  // Room for the files, for a carried state as large as the scenario's
  // resources, and for FAT's own structures; FAT16 with 512-byte sectors.
  unsigned long long Content = FileSize(Setup.PlatformImage) + FileSize(Setup.DriverImage) +
                               4 * FileSize(Setup.ScenarioPath);
  unsigned long long DiskMiB = 32 + (Content + MIB - 1) / MIB;
  std::FILE *Disk = std::fopen(mDisk.c_str(), "wb");
  if (Disk == nullptr) {
    return Fail(Error, mDisk + ": cannot be written");
  }
  std::fclose(Disk);
  if (truncate(mDisk.c_str(), static_cast<off_t>(DiskMiB * MIB)) != 0) {
    return Fail(Error, mDisk + ": cannot be sized");
  }
  std::string Options = Setup.Directory + "/" CHANNEL_OPTIONS_FILE;
  std::FILE *OptionsFile = std::fopen(Options.c_str(), "wb");
  if (OptionsFile == nullptr) {
    return Fail(Error, Options + ": cannot be written");
  }
  std::fprintf(OptionsFile,
               "{\"account\": %s, \"" CHANNEL_REST_OPTION "\": %s, \"" CHANNEL_NETWORK_OPTION
               "\": %s}\n",
               Setup.Account ? "true" : "false", Setup.RestSocket.empty() ? "false" : "true",
               Setup.NetworkSocket.empty() ? "false" : "true");
  std::fclose(OptionsFile);
  if (!Setup.NetworkSocket.empty() && Setup.HostInterface && !WriteHostInterface(Error)) {
    return false;
  }

  return Tool({"mformat", "-i", mDisk, "-T", std::to_string(DiskMiB * 2048), "-h", "64", "-s", "32",
               "-v", "NVDIMMEMU", "::"},
              Error) &&
         Tool({"mmd", "-i", mDisk, "::/EFI", "::/EFI/BOOT"}, Error) &&
         Tool({"mcopy", "-i", mDisk, Setup.PlatformImage, "::/EFI/BOOT/BOOTX64.EFI"}, Error) &&
         Tool({"mcopy", "-i", mDisk, Setup.DriverImage, "::/" CHANNEL_DRIVER_FILE}, Error) &&
         (Setup.NetworkSocket.empty() ||
          Tool({"mcopy", "-i", mDisk, Setup.ProducerImage, "::/" CHANNEL_PRODUCER_FILE}, Error)) &&
         Tool({"mcopy", "-i", mDisk, Setup.ScenarioPath, "::/" CHANNEL_SCENARIO_FILE}, Error) &&
         Tool({"mcopy", "-i", mDisk, Options, "::/" CHANNEL_OPTIONS_FILE}, Error);
}

bool QemuMachine::WriteHostInterface(std::string *Error) {
  // The guest's view: the service at 10.0.2.100:80, which the user network
  // forwards to the runner's socket; the host at 10.0.2.15/24, SLIRP's
  // first address, unless it asks DHCP.
  HOST_INTERFACE Interface = {{10, 0, 2, 100},
                              GUEST_SERVICE_PORT,
                              !mSetup.NetworkByDhcp,
                              {10, 0, 2, 15},
                              {255, 255, 255, 0}};
  UINT8 Record[HOST_INTERFACE_RECORD_SIZE] = {};
  UINTN Length = BuildHostInterfaceRecord(Interface, false, Record, sizeof(Record));
  mHostInterface = mSetup.Directory + "/host-interface.bin";
  std::FILE *File = std::fopen(mHostInterface.c_str(), "wb");
  bool Written = File != nullptr && Length != 0 && std::fwrite(Record, 1, Length, File) == Length;
  if (File != nullptr && std::fclose(File) != 0) {
    Written = false;
  }
  return Written || Fail(Error, mHostInterface + ": cannot be written");
}

bool QemuMachine::PutState(const std::string &State, std::string *Error) {
  if (mHasState) {
    if (!Tool({"mdel", "-i", mDisk, "::/" CHANNEL_STATE_FILE}, Error)) {
      return false;
    }
    mHasState = false;
  }
  if (State.empty()) {
    return true;
  }
  std::string Path = mSetup.Directory + "/" CHANNEL_STATE_FILE;
  std::FILE *File = std::fopen(Path.c_str(), "wb");
  if (File == nullptr) {
    return Fail(Error, Path + ": cannot be written");
  }
  bool Written = std::fwrite(State.data(), 1, State.size(), File) == State.size();
  if (std::fclose(File) != 0 || !Written) {
    return Fail(Error, Path + ": cannot be written");
  }
  if (!Tool({"mcopy", "-i", mDisk, Path, "::/" CHANNEL_STATE_FILE}, Error)) {
    return false;
  }
  mHasState = true;
  return true;
}

std::string QemuMachine::ConsoleTail(unsigned Number) const {
  return LastLines(ReadWholeFile(mSetup.Directory + "/console-" + std::to_string(Number) + ".log"),
                   8);
}

bool QemuMachine::Boot(unsigned Number, std::string *Channel, std::string *Error) {
  std::string Suffix = std::to_string(Number);
  std::string ChannelPath = mSetup.Directory + "/channel-" + Suffix + ".bin";
  std::string ConsolePath = mSetup.Directory + "/console-" + Suffix + ".log";
  std::string QemuLog = mSetup.Directory + "/qemu-" + Suffix + ".log";
  for (const std::string *Path : {&ChannelPath, &ConsolePath, &QemuLog}) {
    std::remove(Path->c_str());
  }
  // No monitor, the console on the first serial port into a file, the trace
  // channel on its own debug port. No network but in network mode (OVMF
  // would try PXE first), and then one that reaches nothing but the
  // runner's socket: restricted user networking with one forward.
  std::vector<std::string> Argv = {QEMU, "-accel", "tcg",         "-no-reboot", "-nographic",
                                   "-m", "256",    "-nodefaults", "-monitor",   "none"};
  if (mSetup.NetworkSocket.empty()) {
    Argv.insert(Argv.end(), {std::string("-net"), std::string("none")});
  } else {
    Argv.insert(Argv.end(), {"-netdev",
                             std::string("user,id=n0,restrict=on,ipv6=off,guestfwd=tcp:") +
                                 GUEST_SERVICE_ADDRESS + ":" + std::to_string(GUEST_SERVICE_PORT) +
                                 "-unix:" + mSetup.NetworkSocket,
                             "-device", "virtio-net-pci,netdev=n0,romfile=",
                             // Every frame the guest sends or receives, for whoever keeps the
                             // work directory.
                             "-object",
                             "filter-dump,id=capture,netdev=n0,file=" + mSetup.Directory +
                                 "/network-" + Suffix + ".pcap"});
    if (mSetup.HostInterface) {
      Argv.insert(Argv.end(), {"-smbios", "file=" + mHostInterface});
    }
  }
  if (!mCode.empty()) {
    Argv.insert(Argv.end(), {"-drive", "if=pflash,format=raw,unit=0,readonly=on,file=" + mCode,
                             "-drive", "if=pflash,format=raw,unit=1,file=" + mVars});
  } else {
    Argv.insert(Argv.end(), {"-bios", mBios});
  }
  Argv.insert(Argv.end(),
              {"-drive", "file=" + mDisk + ",format=raw,if=ide,index=0,media=disk", "-serial",
               "file:" + ConsolePath, "-chardev", "file,id=trace,path=" + ChannelPath, "-device",
               "isa-debugcon,iobase=" + std::to_string(TRACE_CHANNEL_PORT) + ",chardev=trace"});

  if (!mSetup.RestSocket.empty()) {
    // The REST channel: a UART at a port OVMF leaves alone, on a socket.
    char Port[8];
    std::snprintf(Port, sizeof(Port), "0x%x", REST_CHANNEL_PORT);
    Argv.insert(Argv.end(),
                {"-chardev", "socket,id=rest,path=" + mSetup.RestSocket + ",server=on,wait=off",
                 "-device", std::string("isa-serial,chardev=rest,irq=5,iobase=") + Port});
  }
  ProcessResult Result = RunProcess(Argv, QemuLog, mSetup.TimeoutSeconds);
  *Channel = ReadWholeFile(ChannelPath);
  std::string Boot = "boot " + Suffix + ": ";
  if (!Result.Started) {
    return Fail(Error, Boot + QEMU +
                           " cannot be run: is qemu-system-x86 installed? "
                           "(scripts/setup.sh installs it)");
  }
  if (Result.TimedOut) {
    return Fail(Error, Boot + "QEMU did not stop within " + std::to_string(mSetup.TimeoutSeconds) +
                           " seconds and was killed; the firmware console ended with:\n" +
                           ConsoleTail(Number));
  }
  if (Result.ExitStatus != 0) {
    return Fail(Error, Boot + "QEMU failed (exit status " + std::to_string(Result.ExitStatus) +
                           "):\n" + LastLines(ReadWholeFile(QemuLog), 5));
  }
  return true;
}
