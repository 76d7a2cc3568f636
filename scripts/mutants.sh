#!/usr/bin/env bash
# The mutation check: applies each mutant of tests/mutants/mutants.txt to the
# working tree, one at a time, rebuilds what the change touches in its own
# build directory (build-mutants, host only, no firmware images), runs the
# host tests that exercise driver code and prints
#
#   caught: <id> (<first failing test>)     or     SURVIVED: <id>
#
# ending with "N caught, M survived". A survivor marked "equivalent" in the
# list prints "survived (equivalent): <id>" and counts among the survived,
# but only unmarked survivors make the exit status non-zero; an equivalent
# mutant that is caught anyway is reported so that its mark can go. A
# mutant that does not build is a broken entry: "BROKEN: <id>", exit 2.
#
# The tests run per mutant: the unit tests of the driver (text_tests,
# redfish_tests, actions_tests, driver_tests, platform_tests) and of the REST
# producer (producer_tests), each stopping at its first failure, and every
# scenario test through nvdimm-emu --strict (ctest, --stop-on-failure). Not run: the fail-allocation sweep (about 30 s
# a mutant), the QEMU tests, and the tests of the emulator, the simulated
# platform and the image's C run-time, which hold no driver code.
#
# The mutated file is always restored (also on Ctrl-C or an error), with a
# fresh time stamp so that the next build compiles it again; do not edit the
# tree while the check runs, as every build takes what the tree holds. The
# whole list takes about 10 minutes on two cores (120 mutants, 9 min in the
# loop); a mutant of a header used everywhere (core/Owner.h) takes a minute.
# Too slow for .ci/run: run it before submitting driver changes.
# NVDIMM_CJSON_SOURCE_DIR, when set, is passed to the configuration.
#
# usage: scripts/mutants.sh [-j N] [-l LIST] [ID...]
#   ID       run only these mutants (default: all of the list)
#   -j N     build and ctest parallelism (default 2)
#   -l LIST  another list file
#   --check  only check that every entry applies (exactly one match each)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=2
list=tests/mutants/mutants.txt
check_only=0
ids=()
while [ "$#" -gt 0 ]; do
  case "$1" in
    -j) jobs="$2"; shift 2 ;;
    -j*) jobs="${1#-j}"; shift ;;
    -l) list="$2"; shift 2 ;;
    --check) check_only=1; shift ;;
    -h|--help) sed -n '2,34p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "mutants: unknown option $1" >&2; exit 2 ;;
    *) ids+=("$1"); shift ;;
  esac
done
build="build-mutants"
tool=(python3 "$root/scripts/mutants_list.py" "$list")

# Validates the whole list first: a missing or ambiguous original stops here.
if ! "${tool[@]}" check; then
  exit 2
fi
if [ "$check_only" -eq 1 ]; then
  exit 0
fi
mapfile -t selected < <("${tool[@]}" ids "${ids[@]}") || exit 2
[ "${#selected[@]}" -gt 0 ] || { echo "mutants: no mutant selected" >&2; exit 2; }

unit_tests=(text_tests redfish_tests actions_tests driver_tests platform_tests producer_tests)
targets=(nvdimm-emu "${unit_tests[@]}")
mkdir -p "$build/logs"
echo "mutants: configuring and building $build"
if ! { cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNVDIMM_FIRMWARE=OFF \
         ${NVDIMM_CJSON_SOURCE_DIR:+-DNVDIMM_CJSON_SOURCE_DIR=$NVDIMM_CJSON_SOURCE_DIR} &&
       cmake --build "$build" -j"$jobs" --target "${targets[@]}"; } >"$build/logs/build.log" 2>&1; then
  echo "mutants: the unmutated tree does not build; see $build/logs/build.log" >&2
  exit 2
fi

backup=""
current_file=""
restore() {
  if [ -n "$current_file" ] && [ -n "$backup" ]; then
    # A fresh time stamp, so that the next build compiles the file again.
    cp "$backup" "$current_file"
    rm -f "$backup"
  fi
  current_file=""
  backup=""
}
on_exit() {
  restore
  # Leave the build matching the tree, so that the next run starts clean.
  cmake --build "$build" -j"$jobs" --target "${targets[@]}" >>"$build/logs/build.log" 2>&1 || true
}
trap on_exit EXIT
trap 'echo "mutants: interrupted" >&2; exit 130' INT TERM

# Runs the tests; prints the first failing test and returns 1, or returns 0.
run_tests() {
  local log="$1" test first
  for test in "${unit_tests[@]}"; do
    if ! timeout 120 "$build/bin/$test" --gtest_fail_fast >"$log" 2>&1; then
      first=$(sed -n 's/^\[  FAILED  \] \([^ ,]*\).*/\1/p' "$log" | head -1)
      if [ -z "$first" ]; then
        # No verdict: the test that was running when the process died.
        first="$(sed -n 's/^\[ RUN      \] //p' "$log" | tail -1) (crashed)"
      fi
      echo "$test $first"
      return 1
    fi
  done
  if ! (cd "$build" && ctest -R '^(tests/)?scenarios/' -j"$jobs" --stop-on-failure \
          --timeout 60 --output-on-failure) >"$log" 2>&1; then
    first=$(sed -n 's/^ *[0-9]* - \(.*\) (.*)$/\1/p' "$log" | head -1)
    [ -n "$first" ] || first=$(grep -m1 -oE 'Test +#[0-9]+: [^ ]+ .*(Failed|Exception|Timeout)' "$log" |
                                 sed -E 's/Test +#[0-9]+: ([^ ]+).*/\1/' || true)
    echo "${first:-ctest failed}"
    return 1
  fi
  return 0
}

start=$(date +%s)
caught=0
survived=0
equivalent=0
broken=0
for id in "${selected[@]}"; do
  file=$("${tool[@]}" file "$id")
  is_equivalent=$("${tool[@]}" equivalent "$id")
  backup=$(mktemp "${TMPDIR:-/tmp}/mutant.XXXXXX")
  cp "$file" "$backup"
  current_file="$file"
  if ! "${tool[@]}" apply "$id"; then
    restore
    exit 2
  fi
  log="$build/logs/$id.log"
  if ! cmake --build "$build" -j"$jobs" --target "${targets[@]}" >"$log" 2>&1; then
    result="BROKEN: $id (does not build; see $log)"
    broken=$((broken + 1))
  elif first=$(run_tests "$log.tests"); then
    if [ "$is_equivalent" = yes ]; then
      result="survived (equivalent): $id"
      equivalent=$((equivalent + 1))
      survived=$((survived + 1))
    else
      result="SURVIVED: $id"
      survived=$((survived + 1))
    fi
  else
    result="caught: $id ($first)"
    caught=$((caught + 1))
    if [ "$is_equivalent" = yes ]; then
      result="$result -- marked equivalent, yet caught"
    fi
  fi
  restore
  echo "$result"
done

elapsed=$(( $(date +%s) - start ))
echo "mutants: ${#selected[@]} mutants in $((elapsed / 60)) min $((elapsed % 60)) s;" \
     "$equivalent of the survivors marked equivalent, $broken broken"
echo "$caught caught, $survived survived"
if [ "$broken" -ne 0 ]; then
  exit 2
fi
[ "$survived" -eq "$equivalent" ]
