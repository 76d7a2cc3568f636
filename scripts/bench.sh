#!/usr/bin/env bash
# What the driver costs per action on the emulated machine, beside the least
# the job can cost (the JSON library parsing the same body and printing the
# same report), at every body size; and the firmware image's size. Builds
# what it needs into build-bench/ (Release) and prints the tables.
#
#   scripts/bench.sh [--callgrind] [--filter SUBSTRING] [--repetitions N]
#                    [--min-time SECONDS] [--out DIR]
#
#   --callgrind     also count instructions per case under valgrind's
#                   callgrind (figures that a busy machine does not move)
#   --filter        only the cases whose "Row/Size" name holds SUBSTRING
#                   (e.g. "Poll/", "/1MiB", "CreateGoal/min")
#   --repetitions   timed repetitions per case, whose medians are shown (5)
#   --min-time      seconds each repetition runs at least (0.2)
#   --out           where the raw results go (build-bench/bench-results)
set -euo pipefail
cd "$(dirname "$0")/.."

callgrind=0
filter=""
repetitions=5
min_time=0.2
build="build-bench"
out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --callgrind) callgrind=1 ;;
    --filter) filter=$2; shift ;;
    --repetitions) repetitions=$2; shift ;;
    --min-time) min_time=$2; shift ;;
    --out) out=$2; shift ;;
    -h|--help) sed -n '2,16p' "$0"; exit 0 ;;
    *) echo "bench.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done
out=${out:-$build/bench-results}

scripts/setup.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DNVDIMM_BENCHMARKS=ON >/dev/null
targets=(nvdimm-bench)
if cmake --build "$build" --target help 2>/dev/null | grep -q 'driver-image'; then
  targets+=(driver-image)
fi
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null

mkdir -p "$out"
bench="$PWD/$build/bin/nvdimm-bench"
echo "bench.sh: timing (${repetitions} repetitions per case)..." >&2
if ! "$bench" --benchmark_filter="${filter:-.}" --benchmark_repetitions="$repetitions" \
    --benchmark_min_time="$min_time" --benchmark_report_aggregates_only=true \
    --benchmark_out="$out/time.json" --benchmark_out_format=json >"$out/time.log" 2>&1; then
  cat "$out/time.log" >&2
  exit 1
fi

report=(python3 bench/report.py --time "$out/time.json")
if [ "$callgrind" = 1 ]; then
  echo "bench.sh: counting instructions under callgrind..." >&2
  rm -rf "$out/callgrind"
  mkdir -p "$out/callgrind"
  (cd "$out/callgrind" &&
    valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file=callgrind.out.%p \
      "$bench" --callgrind "$filter" >sizes.txt 2>valgrind.log)
  report+=(--callgrind "$out/callgrind")
fi
image="$build/efi/NvdimmRemoteActionDxe.efi"
if [ -f "$image" ]; then
  report+=(--image "$image" --map "${image%.efi}.map")
  # The driver's own objects linked as the image is (efi/CMakeLists.txt),
  # cJSON and the C run-time left out and their symbols left unresolved:
  # the image's size without them.
  lld_link=$(command -v lld-link-14 || command -v lld-link || true)
  if [ -n "$lld_link" ] && [ -f "${image%.efi}.rsp" ]; then
    grep -v -E '/(cjson_|efi_runtime_)[^/]*$' "${image%.efi}.rsp" >"$out/driver-alone.rsp"
    if "$lld_link" /nologo /machine:x64 /dll /driver /subsystem:efi_boot_service_driver \
        /entry:DriverEntry /nodefaultlib /opt:ref /opt:icf /align:32 /filealign:32 /base:0 \
        /nxcompat:no /debug:none /timestamp:0 /force:unresolved /out:"$out/driver-alone.efi" \
        @"$out/driver-alone.rsp" >/dev/null 2>&1; then
      report+=(--driver-alone "$out/driver-alone.efi")
    fi
  fi
fi
"${report[@]}"
