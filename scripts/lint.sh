#!/usr/bin/env bash
# Static analysis of the driver sources (core text redfish driver actions
# platform, with the uefi headers they include): clang-tidy with the checks
# of .clang-tidy, and cppcheck with the suppressions of .cppcheck-suppressions.
# Any finding of either fails the run. Findings are printed; the last line is
# a one-line summary. The compile commands come from build-asan, configured
# here (nothing is built).
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-asan
dirs=(core text redfish driver actions platform)

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNVDIMM_SANITIZE=address,undefined -DNVDIMM_FIRMWARE=OFF >/dev/null
mapfile -t sources < <(find "${dirs[@]}" -name '*.cpp' | sort)

# One clang-tidy process per file: clang-tidy 14 carries the va_list
# analyzer's state from one file to the next and then reports va_arg calls
# that are fine.
tidy_log=$(mktemp)
cppcheck_log=$(mktemp)
trap 'rm -f "$tidy_log" "$cppcheck_log"' EXIT
tidy_status=0
printf '%s\n' "${sources[@]}" |
  xargs -P2 -I{} clang-tidy -p "$build" --quiet {} >"$tidy_log" 2>/dev/null || tidy_status=$?
tidy_findings=$(grep -cE '(warning|error): ' "$tidy_log" || true)

cppcheck_status=0
cppcheck --enable=warning,style,performance,portability --std=c++17 --language=c++ \
  --inline-suppr --quiet --suppressions-list=.cppcheck-suppressions --error-exitcode=1 \
  -I . -I /usr/include/cjson --template='{file}:{line}: {severity}: {message} [{id}]' \
  "${dirs[@]}" >"$cppcheck_log" 2>&1 || cppcheck_status=$?
cppcheck_findings=$(grep -cE ': (error|warning|style|performance|portability): ' \
  "$cppcheck_log" || true)

cat "$tidy_log" "$cppcheck_log"
if [ "$tidy_status" -ne 0 ] || [ "$tidy_findings" -ne 0 ] || [ "$cppcheck_status" -ne 0 ] ||
   [ "$cppcheck_findings" -ne 0 ]; then
  echo "lint: FAILED: clang-tidy $tidy_findings findings, cppcheck $cppcheck_findings findings" \
       "in ${#sources[@]} driver sources"
  exit 1
fi
echo "lint: ${#sources[@]} driver sources clean under clang-tidy and cppcheck"
