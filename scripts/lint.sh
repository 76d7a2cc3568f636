#!/usr/bin/env bash
# The tree's checks that build nothing:
#   1. the include rule of the folders (scripts/include_rule.py): the driver's
#      folders include downwards only, the host's from emulator/ up to cli/;
#   2. the layout of every C and C++ source (clang-format with .clang-format);
#   3. the scripts: shellcheck, and each one starting with set -euo pipefail;
#   4. static analysis of the firmware sources (the driver's core text redfish
#      driver actions platform, the REST producer's producer, with the uefi
#      headers they include): clang-tidy with the
#      checks of .clang-tidy, and cppcheck with the suppressions of
#      .cppcheck-suppressions.
# Any finding fails the run. Findings are printed, each stage ends with a
# summary line, the last line sums up. The compile commands come from
# build-asan, configured here (nothing is built).
set -euo pipefail
cd "$(dirname "$0")/.."
build="build-asan"
dirs=(core text redfish driver actions platform producer)

failed=()

# 1. Which folder may include which.
python3 scripts/include_rule.py || failed+=("include rule")

# 2. The house layout.
mapfile -t formatted < <(git ls-files --cached --others --exclude-standard -- \
  '*.c' '*.cpp' '*.h')
unformatted=()
for source in "${formatted[@]}"; do
  clang-format --dry-run -Werror "$source" >/dev/null 2>&1 || unformatted+=("$source")
done
if [ "${#unformatted[@]}" -ne 0 ]; then
  printf 'not in the house layout (clang-format -i FILE): %s\n' "${unformatted[@]}"
  failed+=("layout")
fi
echo "layout: ${#formatted[@]} sources, ${#unformatted[@]} not formatted"

# 3. The scripts.
mapfile -t scripts < <(git ls-files --cached --others --exclude-standard -- '*.sh' .ci/run)
unsafe=()
for script in "${scripts[@]}"; do
  grep -qx 'set -euo pipefail' "$script" || unsafe+=("$script")
done
if [ "${#unsafe[@]}" -ne 0 ]; then
  printf 'does not set -euo pipefail: %s\n' "${unsafe[@]}"
  failed+=("scripts")
fi
if ! shellcheck -S warning "${scripts[@]}"; then
  failed+=("shellcheck")
fi
echo "scripts: ${#scripts[@]} checked, ${#unsafe[@]} without set -euo pipefail"

# 4. Static analysis of the firmware images' sources.
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
  failed+=("static analysis")
fi
echo "static analysis: clang-tidy $tidy_findings findings, cppcheck $cppcheck_findings findings" \
     "in ${#sources[@]} firmware sources"

if [ "${#failed[@]}" -ne 0 ]; then
  echo "lint: FAILED: ${failed[*]}"
  exit 1
fi
echo "lint: includes, layout and scripts in order; ${#sources[@]} firmware sources clean under" \
     "clang-tidy and cppcheck"
