#!/usr/bin/env bash
# Every test, after installing what it needs:
#   1. the build (host emulator, tests, firmware images) and all its ctest
#      tests: unit tests, scenario tests, the fail-allocation sweep, the
#      firmware image checks and the differential runs in QEMU/OVMF;
#   2. the unit and scenario tests again under ASan and UBSan;
#   3. clang-tidy and cppcheck on the driver sources;
#   4. a short run of every libFuzzer target.
# Each stage prints a summary line; the first that fails stops the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --tests
# The benchmarks are built too, so that a change that breaks them shows here.
scripts/build.sh -DNVDIMM_BENCHMARKS=ON
ctest --test-dir build --output-on-failure -j"$(nproc)"
scripts/sanitize.sh
scripts/lint.sh
scripts/fuzz.sh "${NVDIMM_FUZZ_SECONDS:-7}"
