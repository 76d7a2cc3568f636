#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, with apt-get, as
# root, one group of packages after another, saying which and how far it got.
# Packages already present are left alone, so a second run is quick. apt's
# full output goes to a log whose name it prints.
#
#   scripts/setup.sh            what the build and the demo need
#   scripts/setup.sh --tests    also what only the tests need (a browser)
set -euo pipefail

groups=(
  "build:cmake make g++ clang lld llvm libclang-rt-14-dev dpkg-dev python3"
  "libraries:libcjson-dev googletest libgtest-dev libbenchmark-dev"
  "checks:valgrind clang-tidy clang-format cppcheck shellcheck libfuzzer-14-dev"
  "QEMU and OVMF:qemu-system-x86 ovmf mtools dosfstools"
  "EDK2 tools (firmware-volume test, OVMF from source):uuid-dev xz-utils nasm acpica-tools"
  "Redfish server and clients:libcpp-httplib-dev libssl-dev zlib1g-dev libbrotli-dev nlohmann-json3-dev pkg-config redfishtool python3-sushy curl wrk openssl"
)
if [ "${1:-}" = "--tests" ]; then
  # The report's tests render a page in headless Chromium.
  groups+=("browser for the report tests:chromium")
elif [ "$#" -gt 0 ]; then
  echo "usage: scripts/setup.sh [--tests]" >&2
  exit 2
fi

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# The packages of each group that are missing, as "name:package package".
todo=()
for group in "${groups[@]}"; do
  missing=()
  for package in ${group#*:}; do
    installed "$package" || missing+=("$package")
  done
  [ "${#missing[@]}" -eq 0 ] || todo+=("${group%%:*}:${missing[*]}")
done
[ "${#todo[@]}" -gt 0 ] || exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing packages (${todo[*]}); run this script as root" >&2
  exit 1
fi
log=${TMPDIR:-/tmp}/nvdimm-setup.log
: >"$log"
export DEBIAN_FRONTEND=noninteractive

# Runs apt-get with its output in the log; every 25 packages it has set up,
# a line says so, so that a long install is never silent for long.
apt_get() {
  local status=0 count=0 line
  # With pipefail, status is apt-get's when it fails.
  apt-get "$@" 2>&1 | tee -a "$log" | while IFS= read -r line; do
    case "$line" in
      "Setting up "*)
        count=$((count + 1))
        if [ $((count % 25)) -eq 0 ]; then
          echo "setup:   $count packages set up so far (${line#Setting up })"
        fi
        ;;
    esac
  done || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 15 "$log" >&2
    echo "setup: apt-get $1 failed; its output is in $log" >&2
    exit 1
  fi
}

echo "setup: apt-get update (apt's output: $log)"
apt_get update -q
requested=0
for entry in "${todo[@]}"; do
  name=${entry%%:*}
  packages=${entry#*:}
  echo "setup: installing $name: $packages"
  start=$SECONDS
  # shellcheck disable=SC2086
  apt_get install -y -q --no-install-recommends $packages
  # shellcheck disable=SC2086
  set -- $packages
  requested=$((requested + $#))
  echo "setup: $name installed ($((SECONDS - start)) s)"
done
echo "setup: $requested packages installed, with what they depend on, in ${SECONDS} s"
