#!/usr/bin/env bash
# Runs scenario files with two builds of nvdimm-emu and compares their traces
# byte for byte: the check that a change kept the driver's behaviour.
#
#   scripts/compare-traces.sh [--qemu] OLD_NVDIMM_EMU [NEW_NVDIMM_EMU]
#
# NEW defaults to build/bin/nvdimm-emu. Without --qemu: every scenario file of
# tests/scenarios/ and scenarios/ on the host platform. With --qemu: the QEMU
# differential suite (scenarios/ and tests/qemu/differential-scenarios.txt)
# with --platform qemu, each build booting the images beside its own folder.
# Prints each scenario whose trace differs and ends with "N scenarios, M
# differences"; exits 1 on a difference.
set -euo pipefail
cd "$(dirname "$0")/.."
platform=(--platform host)
if [ "${1:-}" = "--qemu" ]; then
  platform=(--platform qemu)
  shift
fi
if [ "$#" -lt 1 ]; then
  sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
fi
old=$1
new=${2:-build/bin/nvdimm-emu}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

scenarios() {
  if [ "${platform[1]}" = qemu ]; then
    find scenarios -name '*.json' | sort
    grep -v '^#' tests/qemu/differential-scenarios.txt | sed 's|^\(.*\)$|tests/scenarios/\1.json|'
  else
    find tests/scenarios scenarios -name '*.json' | sort
  fi
}

count=0
differences=0
while IFS= read -r scenario; do
  count=$((count + 1))
  # A run that writes no trace must not be compared with the last one's.
  rm -f "$work/old.jsonl" "$work/new.jsonl"
  "$old" run "$scenario" "${platform[@]}" --trace "$work/old.jsonl" --quiet >/dev/null 2>&1 || true
  "$new" run "$scenario" "${platform[@]}" --trace "$work/new.jsonl" --quiet >/dev/null 2>&1 || true
  if [ ! -s "$work/old.jsonl" ] || [ ! -s "$work/new.jsonl" ] ||
     ! cmp -s "$work/old.jsonl" "$work/new.jsonl"; then
    differences=$((differences + 1))
    echo "differs: $scenario"
    diff "$work/old.jsonl" "$work/new.jsonl" 2>&1 | head -n 6 || true
  fi
done < <(scenarios)
echo "$count scenarios, $differences differences"
[ "$differences" -eq 0 ]
