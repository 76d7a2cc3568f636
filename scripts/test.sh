#!/usr/bin/env bash
# Every test: unit and scenario tests, the firmware image checks, and the
# runs that need QEMU. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
ctest --test-dir build --output-on-failure -j"$(nproc)"
