#!/usr/bin/env bash
# Makes sure `apt-get source PACKAGE` can work on this machine.
#
#   scripts/deb-src.sh PACKAGE
#
# When apt knows no source package of that name, the deb-src entries are
# derived from the machine's own Debian sources: every `deb` entry of this
# release (suites named after its codename: bookworm, bookworm-updates,
# bookworm-security, ...) in /etc/apt/sources.list and sources.list.d/*.list
# (one-line style) and sources.list.d/*.sources (deb822 style), with the same
# URIs, suites, components and key, as `Types: deb-src`. So a machine behind
# its own mirror or proxy fetches sources from where it fetches packages. The
# entries go into /etc/apt/sources.list.d/nvdimm-deb-src.sources, written only
# if that file does not exist yet, and shown before they are added; then
# `apt-get update` runs (only then). The distribution's own files are never
# edited. Run as root when something must be added.
#
# NVDIMM_APT_DIR (default /etc/apt) and NVDIMM_DEB_SRC_DRY_RUN=1 (print the
# entries that would be added, change nothing) exist for the tests.
set -euo pipefail

if [ "$#" -ne 1 ]; then
  echo "usage: scripts/deb-src.sh PACKAGE" >&2
  exit 2
fi
package=$1
apt_dir=${NVDIMM_APT_DIR:-/etc/apt}
dry_run=${NVDIMM_DEB_SRC_DRY_RUN:-0}
target="$apt_dir/sources.list.d/nvdimm-deb-src.sources"

if [ "$dry_run" != 1 ] && apt-get source --print-uris --only-source "$package" >/dev/null 2>&1; then
  exit 0
fi

codename=
if [ -r /etc/os-release ]; then
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
fi
if [ -z "$codename" ]; then
  echo "deb-src: this machine's release has no codename in /etc/os-release" >&2
  exit 1
fi

# The deb822 stanzas of every `deb` entry of this release, one-line entries
# first, in the order apt reads its files.
derive() {
  local files=()
  [ -f "$apt_dir/sources.list" ] && files+=("$apt_dir/sources.list")
  local file
  for file in "$apt_dir"/sources.list.d/*.list "$apt_dir"/sources.list.d/*.sources; do
    [ -f "$file" ] && [ "$file" != "$target" ] && files+=("$file")
  done
  [ "${#files[@]}" -gt 0 ] || return 0
  awk -v codename="$codename" '
    function ours(suite) {
      return suite == codename || index(suite, codename "-") == 1 || index(suite, codename "/") == 1
    }
    function emit(uris, suites, components, signed, trusted,    n, list, i, kept) {
      n = split(suites, list, /[ \t]+/)
      kept = ""
      for (i = 1; i <= n; i++) {
        if (list[i] != "" && ours(list[i])) kept = kept (kept == "" ? "" : " ") list[i]
      }
      if (kept == "" || uris == "") return
      if (printed++) print ""
      print "Types: deb-src"
      print "URIs: " uris
      print "Suites: " kept
      if (components != "") print "Components: " components
      # A key written into the entry starts on the next line.
      if (signed != "") print "Signed-By:" (substr(signed, 1, 1) == "\n" ? "" : " ") signed
      if (trusted != "") print "Trusted: " trusted
    }
    function trim(text) { sub(/^[ \t]+/, "", text); sub(/[ \t]+$/, "", text); return text }
    # deb822: fields of one stanza; a continuation line belongs to the field before it.
    function flush(    types, n, list, i, has) {
      if (!stanza) return
      stanza = 0
      if (tolower(field["enabled"]) == "no") { delete field; return }
      n = split(field["types"], list, /[ \t]+/)
      has = 0
      # An entry that already has its deb-src needs none of ours.
      for (i = 1; i <= n; i++) {
        if (list[i] == "deb" && has == 0) has = 1
        if (list[i] == "deb-src") has = -1
      }
      if (has == 1) emit(field["uris"], field["suites"], field["components"], field["signed-by"],
                    field["trusted"])
      delete field
    }
    FNR == 1 { flush(); deb822 = FILENAME ~ /\.sources$/ }
    deb822 {
      if ($0 ~ /^#/) next
      if ($0 ~ /^[ \t]*$/) { flush(); next }
      if ($0 ~ /^[ \t]/) { if (last != "") field[last] = field[last] "\n" $0; next }
      colon = index($0, ":")
      if (colon == 0) next
      last = tolower(trim(substr($0, 1, colon - 1)))
      field[last] = trim(substr($0, colon + 1))
      stanza = 1
      next
    }
    {
      line = $0
      sub(/#.*/, "", line)
      line = trim(line)
      if (line !~ /^deb[ \t]/) next
      line = trim(substr(line, 4))
      signed = ""; trusted = ""
      if (substr(line, 1, 1) == "[") {
        close_at = index(line, "]")
        if (close_at == 0) next
        n = split(substr(line, 2, close_at - 2), options, /[ \t]+/)
        for (i = 1; i <= n; i++) {
          if (options[i] ~ /^signed-by=/) signed = substr(options[i], 11)
          if (options[i] ~ /^trusted=/) trusted = substr(options[i], 9)
        }
        line = trim(substr(line, close_at + 1))
      }
      n = split(line, words, /[ \t]+/)
      if (n < 2) next
      components = ""
      for (i = 3; i <= n; i++) components = components (i > 3 ? " " : "") words[i]
      emit(words[1], words[2], components, signed, trusted)
    }
    END { flush() }
  ' "${files[@]}"
}

entries=$(derive)

if [ "$dry_run" = 1 ]; then
  printf '%s\n' "$entries"
  exit 0
fi

if [ -f "$target" ]; then
  echo "deb-src: apt has no source package $package, although $target exists;" \
       "run apt-get update, or check that file" >&2
  exit 1
fi
if [ -z "$entries" ]; then
  echo "deb-src: apt has no source package $package, and no deb entry for $codename was found" \
       "in $apt_dir/sources.list or $apt_dir/sources.list.d/ to derive a deb-src entry from" >&2
  exit 1
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "deb-src: apt has no source package $package; run this as root to add deb-src entries" \
       "to $target" >&2
  exit 1
fi

# Everything goes to standard error: the build's configure step, which calls
# this through efi/fetch-cjson.sh, keeps its standard output quiet.
{
  echo "deb-src: apt has no source package $package; adding to $target the source entries" \
       "of this machine's own Debian sources:"
  printf '%s\n' "$entries" | sed 's/^/  /'
} >&2
printf '%s\n' "$entries" >"$target"
echo "deb-src: apt-get update" >&2
apt-get update -q >&2
