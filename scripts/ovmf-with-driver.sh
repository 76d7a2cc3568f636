#!/usr/bin/env bash
# The driver dispatched from flash by EDK2's DXE dispatcher, as on a product:
#   1. builds OVMF from Debian's edk2 source package (OvmfPkgX64, RELEASE,
#      GCC5, 4 MiB flash) with NvdimmRemoteActionPkg's binary module added to
#      its DXE firmware volume through the package's .dsc and .fdf include
#      files. iSCSI and the shell are left out, the two parts that would bring
#      OpenSSL into the build (Debian's patches make the shell need secure
#      boot's libraries);
#   2. runs the demo scenarios (and tests/edk2/scenarios/, written for the
#      order of a driver in flash) in QEMU on that firmware, where the platform
#      image only installs the platform's protocols: the runner is handed a
#      driver image that does nothing, so every request and report in the
#      trace comes from the copy of the driver the firmware dispatched;
#   3. runs each scenario on the host emulator too, once as written and once
#      with the driver dispatched before the boot's other steps, as from
#      flash, and compares the traces' rest, nvdimm, reset and final events;
#   4. runs one scenario on Debian's own OVMF with the do-nothing image as a
#      control: without the driver in flash, nothing may reach the service.
# Not part of CI: the OVMF build takes a long while on two cores.
#
#   scripts/ovmf-with-driver.sh [--rebuild] [SCENARIO...]
#
# Work and results go to build/ovmf/ (the firmware in
# build/ovmf/edk2/Build/OvmfX64/RELEASE_GCC5/FV/, traces and a summary in
# build/ovmf/runs/). Exit status 0 when OVMF was built, every scenario met its
# expect on the host, OVMF gave the same events as the host with the driver
# first, and the control reached no service.
set -euo pipefail
cd "$(dirname "$0")/.."
Root=$(pwd)
Work=$Root/build/ovmf
Rebuild=0
if [ "${1:-}" = --rebuild ]; then
  Rebuild=1
  shift
fi
Scenarios=("$@")
if [ "${#Scenarios[@]}" -eq 0 ]; then
  mapfile -t Scenarios < <(ls scenarios/*.json tests/edk2/scenarios/*.json)
fi

Now() { date +%s; }
Say() { echo "ovmf-with-driver: $*"; }
Started=$(Now)

scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target nvdimm-emu driver-image platform-image edk2-package >/dev/null
Package=$Root/build/edk2/NvdimmRemoteActionPkg

# 1. OVMF with the driver in flash.
Tree=$Work/edk2
Fd=$Tree/Build/OvmfX64/RELEASE_GCC5/FV/OVMF_CODE.fd
if [ "$Rebuild" = 1 ] || [ ! -f "$Fd" ] || [ "$Package/NvdimmRemoteActionDxe/X64/NvdimmRemoteActionDxe.efi" -nt "$Fd" ]; then
  T=$(Now)
  bash edk2/fetch-edk2.sh "$Work" all
  Say "edk2 source $(cat "$Tree/.debian-version") unpacked in $(( $(Now) - T )) s"

  T=$(Now)
  make -C "$Tree/BaseTools/Source/C" -j2 >"$Work/basetools.log" 2>&1
  Say "BaseTools built in $(( $(Now) - T )) s"

  # The platform description gains the package's include files, next to
  # NetworkPkg's, as an integrator adds them.
  python3 - "$Tree/OvmfPkg" <<'EOF'
import sys
ovmf = sys.argv[1]
edits = {
    "OvmfPkgX64.dsc": [
        ("!include NetworkPkg/NetworkDefines.dsc.inc\n",
         "!include NvdimmRemoteActionPkg/NvdimmRemoteActionDefines.dsc.inc\n"),
        ("!include NetworkPkg/NetworkComponents.dsc.inc\n",
         "!include NvdimmRemoteActionPkg/NvdimmRemoteActionComponents.dsc.inc\n"),
    ],
    "OvmfPkgX64.fdf": [
        ("!include NetworkPkg/Network.fdf.inc\n",
         "!include NvdimmRemoteActionPkg/NvdimmRemoteAction.fdf.inc\n"),
    ],
}
for name, pairs in edits.items():
    path = ovmf + "/" + name
    text = open(path).read()
    for anchor, line in pairs:
        if line in text:
            continue
        if text.count(anchor) != 1:
            sys.exit("%s: no single line %r to add the package after" % (path, anchor.strip()))
        text = text.replace(anchor, anchor + line)
    open(path, "w").write(text)
EOF

  T=$(Now)
  rm -rf "$Tree/Build/OvmfX64" "$Work/Conf"
  mkdir -p "$Work/Conf"
  (
    export WORKSPACE=$Tree CONF_PATH=$Work/Conf PACKAGES_PATH=$Tree:$Root/build/edk2
    cd "$Tree"
    set +u
    . ./edksetup.sh BaseTools >/dev/null
    set -u
    build -p OvmfPkg/OvmfPkgX64.dsc -a X64 -t GCC5 -b RELEASE -n 2 \
      -D FD_SIZE_4MB -D NETWORK_ISCSI_ENABLE=FALSE -D BUILD_SHELL=FALSE
  ) >"$Work/build.log" 2>&1 || {
    tail -30 "$Work/build.log"
    Say "the OVMF build failed; see $Work/build.log"
    exit 1
  }
  Say "OVMF built in $(( $(Now) - T )) s: $(ls "$Tree/Build/OvmfX64/RELEASE_GCC5/X64/"*.efi | wc -l) module images"
fi
Say "firmware: $Fd"

# The firmware volume must hold the driver under the module's FILE_GUID.
Volume=$("$Tree/BaseTools/Source/C/bin/VolInfo" "$Tree/Build/OvmfX64/RELEASE_GCC5/FV/DXEFV.Fv" 2>&1 || true)
if ! grep -q "8F5390FC-03E2-433A-A7FF-27A9D3D9E418" <<<"$Volume"; then
  Say "DXEFV.Fv does not hold NvdimmRemoteActionDxe"
  exit 1
fi
Say "DXEFV.Fv holds NvdimmRemoteActionDxe (8F5390FC-03E2-433A-A7FF-27A9D3D9E418)"

# 2. A driver image that does nothing, for the runner's driver step, and a
# qemu-system-x86_64 that boots the firmware built above in place of
# Debian's (the runner finds QEMU through PATH and uses Debian's OVMF).
Noop=$Work/noop
mkdir -p "$Noop" "$Work/bin"
cat >"$Noop/NoopDriver.c" <<'EOF'
/* Returns at once: the driver is already running, dispatched from flash. */
typedef unsigned long long UINTN;
__attribute__((ms_abi)) UINTN NoopEntry(void *ImageHandle, void *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  return 0;
}
EOF
clang-14 --target=x86_64-unknown-windows -ffreestanding -mno-red-zone -O2 -c \
  "$Noop/NoopDriver.c" -o "$Noop/NoopDriver.obj"
lld-link-14 /nologo /machine:x64 /dll /subsystem:efi_boot_service_driver /entry:NoopEntry \
  /nodefaultlib /base:0 /out:"$Noop/NoopDriver.efi" "$Noop/NoopDriver.obj"

cat >"$Work/bin/qemu-system-x86_64" <<EOF
#!/usr/bin/env bash
# QEMU on the OVMF built by scripts/ovmf-with-driver.sh.
Arguments=()
for Argument in "\$@"; do
  case "\$Argument" in
    *file=/usr/share/OVMF/OVMF_CODE_4M.fd) Argument="\${Argument%%file=*}file=$Fd" ;;
  esac
  Arguments+=("\$Argument")
done
exec /usr/bin/qemu-system-x86_64 "\${Arguments[@]}"
EOF
chmod +x "$Work/bin/qemu-system-x86_64"

# 3. The scenarios on both platforms. The firmware starts the driver before
# BDS starts the platform image, so before any of a boot's steps: the host
# runs each scenario as written (its expect is checked) and again with
# "driver" moved to the front of every boot, the order of a driver in flash.
# The run in OVMF must give the same rest, nvdimm, reset and final events as
# the second host run.
Runs=$Work/runs
rm -rf "$Runs"
mkdir -p "$Runs"
Summary=$Runs/summary.txt
: >"$Summary"
Failures=0
Compare() {
  python3 - "$1" "$2" <<'EOF_PY'
import json, sys
def events(path):
    try:
        lines = open(path).read().splitlines()
    except OSError:
        return None
    kept = []
    for line in lines:
        try:
            event = json.loads(line)
        except ValueError:
            continue
        if event.get("event") in ("rest", "nvdimm", "reset", "final"):
            kept.append(line)
    return kept
a, b = events(sys.argv[1]), events(sys.argv[2])
if a is None or b is None:
    print("no trace")
elif a == b:
    print("same %d events" % len(a))
else:
    first = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
    print("differ from event %d on (%d and %d events)" % (first + 1, len(a), len(b)))
EOF_PY
}
for Scenario in "${Scenarios[@]}"; do
  Name=$(basename "$Scenario" .json)
  T=$(Now)
  python3 - "$Scenario" "$Runs/$Name.driver-first.json" <<'EOF_PY'
import json, sys
scenario = json.load(open(sys.argv[1]))
boots = scenario.get("boots", [["nvdimm", "redfish", "driver"]])
scenario["boots"] = [["driver"] + [step for step in boot if step != "driver"] for boot in boots]
scenario.pop("expect", None)
json.dump(scenario, open(sys.argv[2], "w"), indent=2)
EOF_PY
  Host=0
  build/bin/nvdimm-emu run "$Scenario" --trace "$Runs/$Name.host.jsonl" \
    >"$Runs/$Name.host.txt" 2>&1 || Host=$?
  build/bin/nvdimm-emu run "$Runs/$Name.driver-first.json" \
    --trace "$Runs/$Name.host-driver-first.jsonl" >"$Runs/$Name.host-driver-first.txt" 2>&1 || true
  Flash=0
  PATH=$Work/bin:$PATH build/bin/nvdimm-emu run "$Scenario" --platform qemu \
    --driver-image "$Noop/NoopDriver.efi" --trace "$Runs/$Name.flash.jsonl" \
    --keep "$Runs/$Name.machine" >"$Runs/$Name.flash.txt" 2>&1 || Flash=$?
  Alike=$(Compare "$Runs/$Name.host-driver-first.jsonl" "$Runs/$Name.flash.jsonl")
  AsWritten=$(Compare "$Runs/$Name.host.jsonl" "$Runs/$Name.flash.jsonl")
  Line="$Name: OVMF with the driver in flash against the host with the driver first: $Alike;"
  Line+=" against the host in the scenario's order: $AsWritten; expect met: host $([ "$Host" = 0 ] && echo yes || echo "no ($Host)"), OVMF $([ "$Flash" = 0 ] && echo yes || echo "no ($Flash)"); $(( $(Now) - T )) s"
  echo "$Line" | tee -a "$Summary"
  if [ "$Host" != 0 ] || [[ "$Alike" != same* ]]; then
    Failures=$((Failures + 1))
  fi
done

# 4. Control: Debian's OVMF, which does not hold the driver, with the
# do-nothing image: no request may reach the Redfish service.
Control=${Scenarios[0]}
Status=0
build/bin/nvdimm-emu run "$Control" --platform qemu --driver-image "$Noop/NoopDriver.efi" \
  --trace "$Runs/control.jsonl" >"$Runs/control.txt" 2>&1 || Status=$?
Requests=$(grep -c '"event": *"rest"' "$Runs/control.jsonl" || true)
echo "control ($(basename "$Control" .json) on Debian's OVMF without the driver): exit $Status, $Requests REST requests" | tee -a "$Summary"
if [ "$Requests" != 0 ]; then
  Failures=$((Failures + 1))
fi

Say "$Failures scenario(s) not alike; $(( $(Now) - Started )) s in all; summary in $Summary"
[ "$Failures" = 0 ]
