#include "qemu/runner/QemuBoots.h"

#include <filesystem>
#include <vector>

#include "qemu/ChannelFormat.h"
#include "qemu/RestChannelFormat.h"
#include "qemu/runner/ChannelReader.h"
#include "sim/platform/PlatformRunner.h"

namespace {

/// How one boot's records ended.
enum class BootEnd { NextBoot, RunOver };

/// Takes one boot's records in order. They end with the next boot's state
/// or the end of the run; nothing may follow. False with the problem.
bool TakeBoot(const std::vector<ChannelRecord> &Records, const QEMU_BOOT_SINK &Sink, BootEnd *End,
              std::string *State, std::string *Problem) {
  bool Ended = false;
  for (const ChannelRecord &Record : Records) {
    if (Ended) {
      *Problem = "the platform image wrote past the boot's end";
      return false;
    }
    switch (Record.Tag) {
      case CHANNEL_EVENT:
        if (!Sink.Event(Record.Payload, Problem)) {
          return false;
        }
        break;
      case CHANNEL_ACCOUNT:
        Sink.Account(Record.Payload);
        break;
      case CHANNEL_NEXT_BOOT:
        *State = Record.Payload;
        *End = BootEnd::NextBoot;
        Ended = true;
        break;
      case CHANNEL_KEPT_STATE:
        *State = Record.Payload;
        break;
      case CHANNEL_RUN_OVER:
        *End = BootEnd::RunOver;
        Ended = true;
        break;
      case CHANNEL_FAILURE:
        *Problem = "the platform image failed: " + Record.Payload;
        return false;
      default:
        *Problem =
            "the trace channel holds a record of unknown kind '" + std::string(1, Record.Tag) + "'";
        return false;
    }
  }
  if (!Ended) {
    *Problem = "the machine stopped before the platform image finished the boot";
    return false;
  }
  return true;
}

}  // namespace

std::string ProgramFolder() {
  std::error_code Ignored;
  std::filesystem::path Program = std::filesystem::read_symlink("/proc/self/exe", Ignored);
  return Program.empty() ? std::string("./") : Program.parent_path().string() + "/";
}

std::string DefaultPlatformImage() { return ProgramFolder() + "../qemu/NvdimmPlatform.efi"; }

std::string DefaultDriverImage() { return ProgramFolder() + "../efi/NvdimmRemoteActionDxe.efi"; }

std::string DefaultProducerImage() { return ProgramFolder() + "../efi/NvdimmRestHttpDxe.efi"; }

bool RunQemuBoots(QemuMachine &Machine, const QEMU_BOOT_SINK &Sink, unsigned *Boot,
                  std::string *State, std::string *Problem) {
  for (unsigned InRow = 1; InRow <= MAX_BOOTS_IN_A_ROW; InRow++) {
    unsigned Number = ++*Boot;
    if (Sink.BeforeBoot) {
      Sink.BeforeBoot(Number);
    }
    std::string Channel;
    if (!Machine.PutState(*State, Problem)) {
      return false;
    }
    if (Sink.MachineStarting) {
      Sink.MachineStarting(Number);
    }
    bool Booted = Machine.Boot(Number, &Channel, Problem);
    if (Sink.MachineStopped) {
      Sink.MachineStopped(Number);
    }
    if (!Booted) {
      return false;
    }
    std::vector<ChannelRecord> Records;
    BootEnd End = BootEnd::RunOver;
    if (!SplitChannel(Channel, &Records, Problem) ||
        !TakeBoot(Records, Sink, &End, State, Problem)) {
      *Problem = "boot " + std::to_string(Number) + ": " + *Problem +
                 "; the firmware console ended with:\n" + Machine.ConsoleTail(Number);
      return false;
    }
    if (End == BootEnd::RunOver) {
      return true;
    }
  }
  *Problem = "the platform image asked for more than " + std::to_string(MAX_BOOTS_IN_A_ROW) +
             " boots in a row";
  return false;
}
