#!/usr/bin/env bash
# Unpacks Debian's cJSON source package into a directory, so the firmware image
# builds the same cJSON release as the host's libcjson-dev without a copy of it
# in the repository.
#
#   fetch-cjson.sh DESTINATION VERSION
#
# DESTINATION receives the unpacked tree as DESTINATION/cjson (cJSON.c and
# cJSON.h at its top); VERSION is the upstream release the host's header
# declares (1.7.15 on bookworm). A tree already there is reused. When apt has
# no source entry, scripts/deb-src.sh derives one from the machine's own
# Debian sources into a file of its own; the distribution's own files are
# never edited.
set -euo pipefail

Destination=$1
Version=$2
Tree="$Destination/cjson"
Scripts="$(cd "$(dirname "$0")/../scripts" && pwd)"

if [ -f "$Tree/cJSON.c" ] && [ -f "$Tree/cJSON.h" ]; then
  exit 0
fi

Sudo=
if [ "$(id -u)" != 0 ]; then
  Sudo=sudo
fi

if ! command -v dpkg-source >/dev/null 2>&1; then
  $Sudo apt-get update
  $Sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends dpkg-dev
fi

if ! apt-get source --print-uris --only-source cjson >/dev/null 2>&1; then
  $Sudo "$Scripts/deb-src.sh" cjson
fi

# As root, apt downloads as its own user _apt, which must be able to write
# where it downloads; else it warns "Download is performed unsandboxed as
# root". So the download goes to a directory of its own that _apt owns.
Work=$(mktemp -d "${TMPDIR:-/tmp}/nvdimm-cjson.XXXXXX")
trap 'rm -rf "$Work"' EXIT
if [ "$(id -u)" = 0 ] && id _apt >/dev/null 2>&1; then
  chown _apt "$Work"
fi
echo "fetch-cjson.sh: apt-get source cjson in $Work, for $Tree" >&2
# The Debian revision of the installed libcjson-dev when the archive still
# has it, so both builds carry the same patches; else the newest one.
Installed=$(dpkg-query -W -f='${source:Version}' libcjson-dev 2>/dev/null || true)
if [ -z "$Installed" ] || ! (cd "$Work" && apt-get source -q --only-source "cjson=$Installed" >&2); then
  (cd "$Work" && apt-get source -q --only-source cjson >&2)
fi

Unpacked=$(find "$Work" -mindepth 1 -maxdepth 1 -type d -name 'cjson-*' | head -n 1)
if [ -z "$Unpacked" ] || [ ! -f "$Unpacked/cJSON.c" ]; then
  echo "fetch-cjson.sh: apt-get source cjson left no cJSON.c in $Work" >&2
  exit 1
fi

# The release must match the header the host build compiles against.
HeaderVersion() {
  sed -n "s/^#define CJSON_VERSION_$1 \\([0-9]*\\).*/\\1/p" "$Unpacked/cJSON.h"
}
Have="$(HeaderVersion MAJOR).$(HeaderVersion MINOR).$(HeaderVersion PATCH)"
if [ "$Have" != "$Version" ]; then
  echo "fetch-cjson.sh: Debian's cJSON source is release $Have, the host header $Version" >&2
  exit 1
fi

rm -rf "$Tree"
mkdir -p "$Destination"
mv "$Unpacked" "$Tree"
