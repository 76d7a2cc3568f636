// Running the tools of the QEMU platform (mtools, qemu-system-x86_64) as
// child processes, each bounded in time.
#pragma once

#include <string>
#include <vector>

struct ProcessResult {
  bool Started = false;   ///< false: the program could not be run at all
  bool TimedOut = false;  ///< killed after its time ran out
  int ExitStatus = -1;    ///< exit status; -N when killed by signal N
};

/// Runs Argv (Argv[0] looked up in PATH) with standard input from /dev/null
/// and standard output and error appended to OutputPath. Waits at most
/// TimeoutSeconds (0: no limit), then kills the process and reports
/// TimedOut. The child also dies if this process does, so that no virtual
/// machine outlives its runner.
ProcessResult RunProcess(const std::vector<std::string> &Argv, const std::string &OutputPath,
                         unsigned TimeoutSeconds);

/// The whole text of a file; empty when it cannot be read.
std::string ReadWholeFile(const std::string &Path);

/// The last Count lines of Text, each cut to 200 bytes, without terminal
/// escape sequences and with other control characters shown as '.', for
/// error messages.
std::string LastLines(const std::string &Text, size_t Count);
