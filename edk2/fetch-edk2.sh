#!/usr/bin/env bash
# Unpacks Debian's edk2 source package (EDK2 2022.11, bookworm's Debian
# revision 6) and keeps only the parts of the tree a caller needs.
#
#   fetch-edk2.sh DESTINATION [PART...]
#
# DESTINATION receives the tree as DESTINATION/edk2; PART names top-level
# files or folders of the tree to keep (MdePkg, BaseTools, edksetup.sh, ...),
# "all" keeps everything. Without a PART only MdePkg is kept. A tree already
# there that holds every requested part is reused, so the download happens
# once per build tree. The Debian version unpacked is written to
# DESTINATION/edk2/.debian-version.
set -euo pipefail

# The release every check of this package is made against. Debian's security
# updates of bookworm (2022.11-6+deb12uN) keep the upstream release and the
# revision, so any of them is accepted; another release is refused.
PinnedUpstream=2022.11
PinnedRevision=6

if [ $# -lt 1 ]; then
  echo "usage: fetch-edk2.sh DESTINATION [PART...]" >&2
  exit 2
fi
mkdir -p "$1"
Destination=$(cd "$1" && pwd)
shift
if [ $# -eq 0 ]; then
  set -- MdePkg
fi
Tree="$Destination/edk2"
Stamp="$Tree/.parts"

Have() {
  [ -f "$Stamp" ] || return 1
  grep -qx all "$Stamp" && return 0
  for Part in "$@"; do
    grep -qx "$Part" "$Stamp" || return 1
  done
}

if Have "$@"; then
  exit 0
fi
# A new fetch keeps what the tree held before as well.
if [ -f "$Stamp" ]; then
  for Old in $(cat "$Stamp"); do
    case " $* " in
      *" $Old "*) ;;
      *) set -- "$@" "$Old" ;;
    esac
  done
fi

# apt must know a source entry for edk2. scripts/deb-src.sh adds one derived
# from the machine's configured mirrors when it is missing.
Root=$(cd "$(dirname "$0")/.." && pwd)
if ! apt-get source --print-uris edk2 >/dev/null 2>&1; then
  if [ -x "$Root/scripts/deb-src.sh" ]; then
    "$Root/scripts/deb-src.sh" edk2
  fi
fi
if ! apt-get source --print-uris edk2 >/dev/null 2>&1; then
  echo "fetch-edk2.sh: apt has no source entry for edk2; add a deb-src line for bookworm" \
       "(scripts/deb-src.sh edk2 does it when present)" >&2
  exit 1
fi

# apt downloads as the _apt user: a folder it may write to avoids the
# "unsandboxed" warning.
Work=$(mktemp -d "$Destination/edk2-download.XXXXXX")
trap 'rm -rf "$Work"' EXIT
chmod 777 "$Work"
(cd "$Work" && apt-get source --only-source edk2 >"$Work/apt.log" 2>&1) || {
  cat "$Work/apt.log" >&2
  echo "fetch-edk2.sh: apt-get source edk2 failed" >&2
  exit 1
}

Unpacked=$(find "$Work" -mindepth 1 -maxdepth 1 -type d -name 'edk2-*' | head -n 1)
if [ -z "$Unpacked" ] || [ ! -f "$Unpacked/debian/changelog" ]; then
  echo "fetch-edk2.sh: apt-get source edk2 left no source tree in $Work" >&2
  exit 1
fi
Version=$(sed -n '1s/^edk2 (\([^)]*\)).*/\1/p' "$Unpacked/debian/changelog")
case "$Version" in
  "$PinnedUpstream-$PinnedRevision" | "$PinnedUpstream-$PinnedRevision+"*) ;;
  *)
    echo "fetch-edk2.sh: Debian's edk2 source is $Version; this project is checked against" \
         "$PinnedUpstream-$PinnedRevision" >&2
    exit 1
    ;;
esac

rm -rf "$Tree"
mkdir -p "$Tree"
case " $* " in
  *" all "*) set -- all ;;
esac
if [ "$*" = all ]; then
  rmdir "$Tree"
  mv "$Unpacked" "$Tree"
else
  for Part in "$@"; do
    if [ ! -e "$Unpacked/$Part" ]; then
      echo "fetch-edk2.sh: the edk2 source has no $Part" >&2
      exit 1
    fi
    mv "$Unpacked/$Part" "$Tree/$Part"
  done
  cp "$Unpacked/License.txt" "$Tree/License.txt"
fi
echo "$Version" >"$Tree/.debian-version"
printf '%s\n' "$@" >"$Stamp"
