#!/usr/bin/env bash
# Builds the unit tests, the scenario tests and the fail-allocation sweep with
# clang, AddressSanitizer and UndefinedBehaviorSanitizer into build-asan and
# runs them with ctest. Tests labelled qemu are left out: they run the
# firmware image under QEMU, which the sanitizers do not reach. Any report
# of either sanitizer fails its test (-fno-sanitize-recover=all, leak checks
# on). Prints a line per step as it goes (the build every quarter, the tests
# every 50) and ends with one summary line; exits non-zero when the build or
# a test fails.
#
# usage: scripts/sanitize.sh [CTEST_ARGS...]   (e.g. -R scenarios/)
set -euo pipefail
cd "$(dirname "$0")/.."
build="build-asan"
log="$build/sanitize.log"
mkdir -p "$build"

# Lines of cmake's build output ("[ 42%] Building ...") reduced to one line
# per quarter of the build.
build_progress() {
  awk '/^\[ *[0-9]+%\]/ { p = substr($0, 2, index($0, "%") - 2) + 0
         while (p >= next_mark + 25 && next_mark < 100) { next_mark += 25
           printf "sanitize:   building: %d%%\n", next_mark; fflush() } }'
}

echo "sanitize: building the tests with clang, ASan and UBSan into $build (log: $log)"
status=0
{ CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DNVDIMM_SANITIZE=address,undefined -DNVDIMM_FIRMWARE=OFF -DNVDIMM_TESTS=ON &&
  cmake --build "$build" -j2; } 2>&1 | tee "$log" | build_progress || status=$?
if [ "$status" -ne 0 ]; then
  grep -E 'error|Error' "$log" | head -20 >&2 || true
  echo "sanitize: the build failed; see $log"
  exit 1
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
count=$(ctest --test-dir "$build" -LE qemu -N "$@" | sed -n 's/^Total Tests: //p')
echo "sanitize: running ${count:-the} tests (qemu tests left out)"
status=0
ctest --test-dir "$build" -LE qemu --output-on-failure -j2 "$@" 2>&1 | tee -a "$log" |
  awk -v total="${count:-?}" '/ Test +#[0-9]+: / { done++
       if (done % 50 == 0) { printf "sanitize:   %d of %s tests run\n", done, total; fflush() } }' ||
  status=$?

summary=$(grep -E '^[0-9]+% tests passed' "$log" | tail -1)
if [ "$status" -ne 0 ]; then
  grep -E '^\s+[0-9]+ - ' "$log" | head -20 >&2 || true
  echo "sanitize: FAILED under ASan+UBSan: ${summary:-ctest did not finish}; see $log"
  exit 1
fi
echo "sanitize: ${summary:-no tests} under ASan+UBSan (qemu tests left out)"
