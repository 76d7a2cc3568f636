#!/usr/bin/env bash
# The main job: installs what the build needs (scripts/setup.sh), builds
# nvdimm-emu alone (the emulator; scripts/build.sh builds everything) and runs
# the CreateGoal demo, whose action completes across the driver's own warm
# reset (two boots). It writes the run's trace and a page that draws it as a
# sequence diagram, says where, and ends with one line on what happened. Pass
# another scenario file to run that one instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
echo "demo: building nvdimm-emu into build/"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target nvdimm-emu
scenario="${1:-scenarios/create-goal.json}"
trace=build/demo-trace.jsonl
page=build/demo-report.html
echo "demo: running $scenario"
status=0
build/bin/nvdimm-emu run "$scenario" --trace "$trace" --report "$page" || status=$?
if [ "$status" -eq 2 ]; then
  exit 2
fi
echo "demo: the trace (JSON Lines) is in $trace; its sequence diagram in $page (open it in a browser)"
if [ "$status" -ne 0 ]; then
  echo "demo: the run differs from what $scenario expects (see above)"
fi
# The outcome line only: the page is already written.
build/bin/nvdimm-emu report "$trace" -o /dev/null
exit "$status"
