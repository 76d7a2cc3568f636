// Where a run writes its trace and its readable account, on either platform:
// the trace to a file or standard output, the account to standard output, or
// to standard error when the trace takes standard output.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

struct TraceFileCloser {
  void operator()(std::FILE *File) const {
    if (File != nullptr && File != stdout) {
      std::fclose(File);
    }
  }
};

using TraceFilePointer = std::unique_ptr<std::FILE, TraceFileCloser>;

/// Opens TracePath ("" for none, "-" for standard output) into *File.
/// False, with a line on standard error, when the file cannot be written.
bool OpenTraceOutput(const std::string &TracePath, TraceFilePointer *File);

/// The stream of the readable account for a run writing its trace to
/// TracePath.
std::FILE *AccountStream(const std::string &TracePath);
