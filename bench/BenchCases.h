// What is measured: the rows (one poll that finds nothing to do and one full
// action of each kind), the body sizes, and for each row at each size the
// driver's run on the emulated machine beside its baseline, the least the
// job can cost: the JSON library parsing the same body and printing the
// same report, with nothing else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "bench/BenchPlatform.h"

enum class BenchKind {
  Poll,
  DeleteNamespace,
  CreateNamespace,
  CreateGoal,
  DeletePcdModule,
  DeletePcdAll,
  RunDiagnostics
};

struct BenchRow {
  const char *Name;
  BenchKind Kind;
  /// The URI of the action's resource; null for the poll.
  const char *ActionUri;
  /// The members the driver reads: of ActionStatus for the poll, of the
  /// action's resource otherwise (null when the action reads none).
  const char *Members;
  /// 0: the body grows by padding members before Members. Otherwise the one
  /// '@' in Members becomes a run of this character as long as the size
  /// asks: the body grows by one parameter's own text.
  char Filler = 0;
};

struct BenchSize {
  const char *Label;
  size_t Bytes;  ///< 0: the members alone
};

extern const BenchRow BENCH_ROWS[];
extern const size_t BENCH_ROW_COUNT;
extern const BenchSize BENCH_SIZES[];
extern const size_t BENCH_SIZE_COUNT;

/// Pool use of one run, charged to the driver's side.
struct BenchPoolUse {
  uint64_t Allocations = 0;
  uint64_t PeakBytes = 0;
};

/// One row at one size, ready to run again and again.
class BenchCase {
 public:
  /// Sets up the machine and platform with the row's documents and runs the
  /// action once, to learn the report the baseline prints.
  BenchCase(const BenchRow &Row, const BenchSize &Size);

  /// "Row/Size", the name both measurements carry.
  const std::string &Name() const { return mName; }

  /// Bytes of the body the action reads (0 when it reads none).
  size_t BodyBytes() const { return mBody.size(); }

  /// One action of the driver. TRUE when it ended in a reset; call Reboot()
  /// before the next one.
  bool RunDriver();
  void Reboot() { mPlatform->Reboot(); }

  /// The baseline once: parse the body (when there is one), build and print
  /// the report (when the action sends one), release both.
  void RunBaseline();

  /// One driver action, and one baseline, with their pool use.
  BenchPoolUse MeasureDriver();
  BenchPoolUse MeasureBaseline();

 private:
  const BenchRow &mRow;
  std::string mName;
  std::unique_ptr<BenchPlatform> mPlatform;
  std::u16string mUri;
  std::string mBody;
  std::string mReportStatus;  // empty: the action sends no report
  std::string mReportMessage;
};
