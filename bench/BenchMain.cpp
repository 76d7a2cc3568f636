// nvdimm-bench: what one action of the driver costs on the emulated machine,
// beside its baseline. Every case is two benchmarks, "driver/Row/Size" and
// "baseline/Row/Size"; a driver benchmark also reports the body's bytes, the
// driver's pool allocations and peak pool bytes for one action, and the
// platform's share of the time.
//
//   nvdimm-bench [--benchmark_* flags]      Google Benchmark timing
//   nvdimm-bench --callgrind [SUBSTRING]    one run of each case (whose name
//       holds SUBSTRING) under valgrind --tool=callgrind --collect-atstart=no,
//       dumping "driver/<case>" (everything the action executes),
//       "driver-only/<case>" (the same without the platform's protocol calls)
//       and "baseline/<case>"
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "bench/BenchCases.h"

namespace {

/// A row reads no body: only its natural size is measured.
bool HasSizes(const BenchRow &Row) { return Row.Members != nullptr; }

void DriverBenchmark(benchmark::State &State, const BenchRow *Row, const BenchSize *Size) {
  BenchCase Case(*Row, *Size);
  BenchPoolUse Use = Case.MeasureDriver();
  ResetPlatformNanoseconds();
  for (auto _ : State) {
    if (Case.RunDriver()) {
      // The reset ended the boot; starting the next one is not the action's.
      State.PauseTiming();
      Case.Reboot();
      State.ResumeTiming();
    }
  }
  State.counters["BodyBytes"] = static_cast<double>(Case.BodyBytes());
  State.counters["Allocations"] = static_cast<double>(Use.Allocations);
  State.counters["PeakBytes"] = static_cast<double>(Use.PeakBytes);
  State.counters["PlatformSeconds"] = benchmark::Counter(
      static_cast<double>(PlatformNanoseconds()) * 1e-9, benchmark::Counter::kAvgIterations);
}

void BaselineBenchmark(benchmark::State &State, const BenchRow *Row, const BenchSize *Size) {
  BenchCase Case(*Row, *Size);
  BenchPoolUse Use = Case.MeasureBaseline();
  for (auto _ : State) {
    Case.RunBaseline();
  }
  State.counters["BodyBytes"] = static_cast<double>(Case.BodyBytes());
  State.counters["Allocations"] = static_cast<double>(Use.Allocations);
  State.counters["PeakBytes"] = static_cast<double>(Use.PeakBytes);
}

void RegisterCases() {
  for (size_t RowIndex = 0; RowIndex < BENCH_ROW_COUNT; RowIndex++) {
    const BenchRow *Row = &BENCH_ROWS[RowIndex];
    for (size_t SizeIndex = 0; SizeIndex < BENCH_SIZE_COUNT; SizeIndex++) {
      const BenchSize *Size = &BENCH_SIZES[SizeIndex];
      if (SizeIndex > 0 && !HasSizes(*Row)) {
        break;
      }
      std::string Name = std::string(Row->Name) + "/" + Size->Label;
      benchmark::RegisterBenchmark(("driver/" + Name).c_str(), DriverBenchmark, Row, Size)
          ->Unit(benchmark::kMicrosecond);
      benchmark::RegisterBenchmark(("baseline/" + Name).c_str(), BaselineBenchmark, Row, Size)
          ->Unit(benchmark::kMicrosecond);
    }
  }
}

int RunCallgrind(const char *Filter) {
  for (size_t RowIndex = 0; RowIndex < BENCH_ROW_COUNT; RowIndex++) {
    const BenchRow &Row = BENCH_ROWS[RowIndex];
    for (size_t SizeIndex = 0; SizeIndex < BENCH_SIZE_COUNT; SizeIndex++) {
      if (SizeIndex > 0 && !HasSizes(Row)) {
        break;
      }
      std::string Name = std::string(Row.Name) + "/" + BENCH_SIZES[SizeIndex].Label;
      if (Filter != nullptr && Name.find(Filter) == std::string::npos) {
        continue;
      }
      // The constructor's own run warms the driver's path up.
      BenchCase Case(Row, BENCH_SIZES[SizeIndex]);
      for (bool WithoutPlatform : {false, true}) {
        CallgrindStart(WithoutPlatform);
        bool Reset = Case.RunDriver();
        CallgrindStop();
        CallgrindDump((WithoutPlatform ? "driver-only/" : "driver/") + Name);
        if (Reset) {
          Case.Reboot();
        }
      }
      Case.RunBaseline();
      CallgrindStart(false);
      Case.RunBaseline();
      CallgrindStop();
      CallgrindDump("baseline/" + Name);
      std::printf("%s %zu\n", Name.c_str(), Case.BodyBytes());
      std::fflush(stdout);
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  // The host heap keeps what it was given: otherwise every action's freed
  // tree goes back to the system and the next one page-faults it in again,
  // a cost of the host's allocator that would swamp the action's own.
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_MXFAST, 0);
  if (argc >= 2 && std::strcmp(argv[1], "--callgrind") == 0) {
    return RunCallgrind(argc >= 3 ? argv[2] : nullptr);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  RegisterCases();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
