#!/usr/bin/env bash
# The main job: builds nvdimm-emu and runs the CreateGoal demo, whose action
# completes across the driver's own warm reset (two boots). Pass another
# scenario file to run that one instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
scenario="${1:-scenarios/create-goal.json}"
exec build/bin/nvdimm-emu run "$scenario" --trace build/demo-trace.jsonl
