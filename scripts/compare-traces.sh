#!/usr/bin/env bash
# Runs every scenario file with two builds of nvdimm-emu and compares their
# traces byte for byte: the check that a change kept the driver's behaviour.
#
#   scripts/compare-traces.sh OLD_NVDIMM_EMU [NEW_NVDIMM_EMU]
#
# NEW defaults to build/bin/nvdimm-emu. Prints each scenario whose trace
# differs and ends with "N scenarios, M differences"; exits 1 on a difference.
set -uo pipefail
cd "$(dirname "$0")/.."
old=$1
new=${2:-build/bin/nvdimm-emu}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
count=0
differences=0
while IFS= read -r scenario; do
  count=$((count + 1))
  "$old" run "$scenario" --trace "$work/old.jsonl" --quiet >/dev/null 2>&1
  "$new" run "$scenario" --trace "$work/new.jsonl" --quiet >/dev/null 2>&1
  if ! cmp -s "$work/old.jsonl" "$work/new.jsonl"; then
    differences=$((differences + 1))
    echo "differs: $scenario"
    diff "$work/old.jsonl" "$work/new.jsonl" | head -n 6
  fi
done < <(find tests/scenarios scenarios -name '*.json' | sort)
echo "$count scenarios, $differences differences"
[ "$differences" -eq 0 ]
