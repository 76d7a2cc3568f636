#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12. Run as root.
# Packages already present are left alone, so a second run is quick.
set -euo pipefail

packages=(
  cmake make g++ clang lld llvm libclang-rt-14-dev
  libcjson-dev googletest libgtest-dev libbenchmark-dev
  dpkg-dev valgrind clang-tidy cppcheck python3
  qemu-system-x86 ovmf mtools dosfstools libfuzzer-14-dev
  libcpp-httplib-dev libssl-dev zlib1g-dev libbrotli-dev nlohmann-json3-dev pkg-config
  redfishtool python3-sushy curl wrk openssl
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages (${missing[*]}); run this script as root" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
