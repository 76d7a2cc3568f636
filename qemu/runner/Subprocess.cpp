#include "qemu/runner/Subprocess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

/// Child side: redirect, arrange to die with the parent, exec. Only
/// async-signal-safe calls between fork and exec.
[[noreturn]] void ExecChild(char *const *Argv, const char *OutputPath, pid_t Parent) {
  (void)prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != Parent) {
    _exit(127);
  }
  int Input = open("/dev/null", O_RDONLY);
  int Output = open(OutputPath, O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (Input < 0 || Output < 0 || dup2(Input, 0) < 0 || dup2(Output, 1) < 0 || dup2(Output, 2) < 0) {
    _exit(127);
  }
  execvp(Argv[0], Argv);
  _exit(127);
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string> &Argv, const std::string &OutputPath,
                         unsigned TimeoutSeconds) {
  ProcessResult Result;
  std::vector<char *> Pointers;
  for (const std::string &Argument : Argv) {
    Pointers.push_back(const_cast<char *>(Argument.c_str()));
  }
  Pointers.push_back(nullptr);

  pid_t Parent = getpid();
  pid_t Child = fork();
  if (Child < 0) {
    return Result;
  }
  if (Child == 0) {
    ExecChild(Pointers.data(), OutputPath.c_str(), Parent);
  }

  auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(TimeoutSeconds);
  int Status = 0;
  for (;;) {
    pid_t Done = waitpid(Child, &Status, WNOHANG);
    if (Done == Child) {
      break;
    }
    if (Done < 0) {
      return Result;
    }
    if (TimeoutSeconds != 0 && std::chrono::steady_clock::now() >= Deadline) {
      (void)kill(Child, SIGKILL);
      (void)waitpid(Child, &Status, 0);
      Result.Started = true;
      Result.TimedOut = true;
      return Result;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (WIFEXITED(Status)) {
    Result.ExitStatus = WEXITSTATUS(Status);
    // 127 is what the child exits with when exec fails.
    Result.Started = Result.ExitStatus != 127;
  } else if (WIFSIGNALED(Status)) {
    Result.Started = true;
    Result.ExitStatus = -WTERMSIG(Status);
  }
  return Result;
}

std::string ReadWholeFile(const std::string &Path) {
  std::ifstream File(Path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>());
}

std::string LastLines(const std::string &Text, size_t Count) {
  size_t End = Text.size();
  while (End > 0 && Text[End - 1] == '\n') {
    End--;
  }
  size_t Start = End;
  for (size_t Found = 0; Start > 0 && Found < Count;) {
    Start--;
    if (Text[Start] == '\n' && ++Found == Count) {
      Start++;
      break;
    }
  }
  std::string Lines;
  size_t LineLength = 0;
  for (size_t Index = Start; Index < End; Index++) {
    char Byte = Text[Index];
    // The firmware console is a terminal: its escape sequences are dropped.
    if (Byte == '\x1b' && Index + 1 < End && Text[Index + 1] == '[') {
      Index += 2;
      while (Index < End && !std::isalpha(static_cast<unsigned char>(Text[Index]))) {
        Index++;
      }
      continue;
    }
    if (Byte == '\r') {
      continue;
    }
    if (Byte == '\n') {
      Lines += '\n';
      LineLength = 0;
      continue;
    }
    if (LineLength++ >= 200) {
      continue;
    }
    Lines += (static_cast<unsigned char>(Byte) < 0x20 || Byte == 0x7F) ? '.' : Byte;
  }
  return Lines;
}
