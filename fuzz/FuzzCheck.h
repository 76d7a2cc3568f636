// How a fuzz target reports a broken invariant, and two small text helpers
// shared by the targets.
#pragma once

#include <string>

/// Stops the fuzzer on a broken invariant: prints the message and aborts, so
/// that libFuzzer keeps the input as a crash.
[[noreturn]] void FuzzFail(const char *Format, ...) __attribute__((format(printf, 1, 2)));

#define FUZZ_CHECK(Condition, ...) \
  do {                             \
    if (!(Condition)) {            \
      FuzzFail(__VA_ARGS__);       \
    }                              \
  } while (0)

/// Text cut as BoundedFormat cuts it into a buffer of Size bytes (Size > 0).
std::string FuzzCut(const std::string &Text, size_t Size);

/// Text up to its first NUL, as a C string sees it.
std::string FuzzCString(const std::string &Text);
