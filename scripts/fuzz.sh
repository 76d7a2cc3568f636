#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and UBSan) into
# build-fuzz and runs each one for SECONDS_PER_TARGET seconds (default 7, a
# minute or so for all nine) on its seed corpus in fuzz/corpus/<target>; new
# inputs go to build-fuzz/corpus/<target>, crashes to
# build-fuzz/artifacts/<target>/. A longer run is the same command with a
# bigger number. Exits non-zero when a target crashes or breaks an invariant.
#
# usage: scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-7}"
shift || true
build="build-fuzz"

mkdir -p "$build/logs"
if ! CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
       -DNVDIMM_FUZZERS=ON -DNVDIMM_TESTS=OFF -DNVDIMM_FIRMWARE=OFF \
       -DNVDIMM_SANITIZE=address,undefined >"$build/logs/build.log" 2>&1; then
  tail -n 20 "$build/logs/build.log" >&2
  echo "fuzz: the configuration failed; see $build/logs/build.log"
  exit 1
fi
# The targets fuzz/CMakeLists.txt defines, as the configuration listed them.
mapfile -t targets <"$build/fuzz-targets.txt"
if [ "$#" -gt 0 ]; then
  targets=("$@")
fi

echo "fuzz: building ${#targets[@]} targets with clang, ASan and UBSan into $build" \
     "(log: $build/logs/build.log)"
if ! cmake --build "$build" -j2 --target "${targets[@]}" >>"$build/logs/build.log" 2>&1; then
  grep -E 'error' "$build/logs/build.log" | head -20 >&2 || true
  echo "fuzz: the build failed; see $build/logs/build.log"
  exit 1
fi

echo "fuzz: running each target for ${seconds}s"
failed=()
total_runs=0
for target in "${targets[@]}"; do
  work="$build/corpus/$target"
  artifacts="$build/artifacts/$target"
  log="$build/logs/$target.log"
  mkdir -p "$work" "$artifacts" "$(dirname "$log")" "fuzz/corpus/$target"
  status=0
  "$build/bin/$target" "$work" "fuzz/corpus/$target" -max_total_time="$seconds" \
    -max_len=4096 -print_final_stats=1 -artifact_prefix="$artifacts/" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  coverage=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1 || true)
  total_runs=$((total_runs + ${runs:-0}))
  if [ "$status" -ne 0 ]; then
    failed+=("$target")
    echo "$target: FAILED after ${runs:-?} runs ($coverage); see $log"
    grep -E 'invariant broken|ERROR: |runtime error' "$log" | head -3 || true
  else
    echo "$target: ${runs:-0} runs, $coverage"
  fi
done

if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzz: ${#failed[@]} of ${#targets[@]} targets failed (${failed[*]}), $total_runs runs"
  exit 1
fi
echo "fuzz: ${#targets[@]} targets, ${seconds}s each, $total_runs runs, no failure"
