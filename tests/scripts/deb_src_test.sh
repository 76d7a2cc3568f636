#!/usr/bin/env bash
# scripts/deb-src.sh derives its deb-src entries from the machine's own
# sources: one-line and deb822 entries of this release, with their URIs,
# suites, components and keys; comments, other releases, other vendors'
# suites, disabled stanzas, stanzas that have their deb-src already and its
# own file left out. Run on a copy of an apt directory, in its dry-run mode.
set -euo pipefail
script="$(dirname "$0")/../../scripts/deb-src.sh"
apt=$(mktemp -d)
trap 'rm -rf "$apt"' EXIT
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
mkdir -p "$apt/sources.list.d"
cat >"$apt/sources.list" <<EOF
# deb http://commented.example/debian $codename main
deb http://mirror.example/debian $codename main contrib # a comment
deb [ arch=amd64 signed-by=/usr/share/keyrings/x.gpg ] http://mirror.example/debian-security $codename-security main
deb-src http://source.example/debian $codename main
deb https://vendor.example/apt vendor-$codename main
deb http://old.example/debian oldrelease main
EOF
cat >"$apt/sources.list.d/debian.sources" <<EOF
Types: deb
# a comment inside a stanza
URIs: http://proxy.local:3142/debian
Suites: $codename $codename-updates sid
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: http://disabled.example/debian
Suites: $codename
Components: main
Enabled: no

Types: deb deb-src
URIs: http://both.example/debian
Suites: $codename
Components: main
EOF
cat >"$apt/sources.list.d/inline-key.sources" <<EOF
Types: deb
URIs: http://key.example/debian
Suites: $codename/updates
Components: main non-free-firmware
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mQINBF
 -----END PGP PUBLIC KEY BLOCK-----
EOF
cat >"$apt/sources.list.d/nvdimm-deb-src.sources" <<EOF
Types: deb-src
URIs: http://own-file.example/debian
Suites: $codename
EOF

expected=$(cat <<EOF
Types: deb-src
URIs: http://mirror.example/debian
Suites: $codename
Components: main contrib

Types: deb-src
URIs: http://mirror.example/debian-security
Suites: $codename-security
Components: main
Signed-By: /usr/share/keyrings/x.gpg

Types: deb-src
URIs: http://proxy.local:3142/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://key.example/debian
Suites: $codename/updates
Components: main non-free-firmware
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mQINBF
 -----END PGP PUBLIC KEY BLOCK-----
EOF
)
actual=$(NVDIMM_APT_DIR="$apt" NVDIMM_DEB_SRC_DRY_RUN=1 "$script" cjson)
if [ "$actual" != "$expected" ]; then
  echo "deb-src.sh derived:"
  echo "$actual"
  echo "--- expected:"
  echo "$expected"
  exit 1
fi
echo "deb-src.sh: the derived entries are as expected"
