#!/usr/bin/env python3
"""Checks the tree's include rule: which folder may include which.

Every folder includes only the folders below it (docs/architecture.md draws
them). The driver's folders include downwards only; the simulated platform
builds on the driver's base (uefi, platform, core) and is itself layered, as
the REST producer stands on that base alone; the host folders stand on the
HTTP wire code, the emulated platform and the simulated one, the command line
on top; tests, fuzzers and benchmarks may include anything but each
other. An include of a project file that breaks the rule is printed as

    FILE:LINE: FOLDER may not include TARGET (FOLDER includes: ...)

and the check fails. Prints one summary line; exits 1 on a break.

usage: scripts/include_rule.py [FILE ...]   (default: every source file)
"""
import os
import re
import subprocess
import sys

BASE = ["uefi", "platform", "core"]
DRIVER = BASE + ["text", "redfish", "actions", "driver"]
# The REST producer's image, on the driver's base only.
PRODUCER = ["producer"]
SIM = ["sim/common", "sim/trace", "sim/nvdimm", "sim/redfish", "sim/scenario", "sim/platform"]
HOST = ["http", "emulator", "host", "boot", "report", "qemu/runner", "server", "cli"]
FIRMWARE = ["qemu", "efi", "qemu/image"]

# The folders each folder may include, besides itself.
ALLOWED = {
    # The driver: downwards only.
    "uefi": [],
    "platform": ["uefi"],
    "core": ["platform", "uefi"],
    "text": ["core", "platform", "uefi"],
    "redfish": ["text", "core", "platform", "uefi"],
    "actions": ["redfish", "text", "core", "platform", "uefi"],
    "driver": ["actions", "redfish", "text", "core", "platform", "uefi"],
    # The REST producer, freestanding beside the driver.
    "producer": BASE,
    # The simulated platform, freestanding, on the driver's base.
    "sim/common": BASE,
    "sim/trace": BASE + ["sim/common"],
    "sim/nvdimm": BASE + ["sim/common", "sim/trace"],
    "sim/redfish": BASE + ["sim/common", "sim/trace"],
    "sim/scenario": BASE + ["sim/common", "sim/trace", "sim/nvdimm", "sim/redfish"],
    "sim/platform": BASE + SIM[:-1],
    # The firmware images' own parts: the channel formats, the C run-time,
    # the platform image.
    "qemu": BASE,
    "efi": BASE,
    "qemu/image": BASE + SIM + ["qemu", "efi"],
    # The host side, from the emulated UEFI platform up to the command line.
    "http": [],
    "emulator": BASE + ["sim/common", "http"],
    "host": BASE + SIM + ["http"],
    "boot": DRIVER + PRODUCER + SIM + ["http", "emulator", "host"],
    "report": BASE + SIM,
    "qemu/runner": BASE + SIM + ["qemu", "http", "host"],
    "server": DRIVER + PRODUCER + SIM + ["qemu", "http", "emulator", "host", "boot", "qemu/runner"],
    "cli": DRIVER + PRODUCER + SIM + ["qemu"] + HOST[:-1],
    # The proof: anything below, never one another.
    "tests": DRIVER + PRODUCER + SIM + FIRMWARE + HOST + ["tests", "edk2"],
    "fuzz": DRIVER + PRODUCER + SIM + FIRMWARE + HOST,
    "bench": DRIVER + PRODUCER + SIM + FIRMWARE + HOST,
}

SOURCE = re.compile(r"\.(c|cc|cpp|h|hpp|inc)$")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def folder(path):
    """The folder the rule knows a path by: sim/<part>, qemu/<part>, tests/...,
    or the top folder."""
    parts = path.split("/")
    if len(parts) > 2 and parts[0] in ("sim", "qemu") and "/".join(parts[:2]) in ALLOWED:
        return "/".join(parts[:2])
    return parts[0]


def sources(root):
    listed = subprocess.run(["git", "ls-files", "--cached", "--others", "--exclude-standard"],
                            cwd=root, capture_output=True, text=True, check=True).stdout.split()
    return [path for path in listed if SOURCE.search(path)]


def main(argv):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    files = [os.path.relpath(os.path.abspath(path), root) for path in argv[1:]] or sources(root)
    breaks = 0
    checked = 0
    for path in files:
        source_folder = folder(path)
        if source_folder not in ALLOWED:
            continue
        checked += 1
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as text:
            for number, line in enumerate(text, 1):
                match = INCLUDE.match(line)
                if not match or "/" not in match.group(1):
                    continue
                target = match.group(1)
                if not os.path.exists(os.path.join(root, target)):
                    continue  # a system or EDK2 header, not the project's
                target_folder = folder(target)
                if target_folder == source_folder or target_folder in ALLOWED[source_folder]:
                    continue
                if source_folder == "tests" and target_folder == "tests":
                    continue
                breaks += 1
                allowed = ", ".join(ALLOWED[source_folder]) or "nothing"
                print(f"{path}:{number}: {source_folder} may not include {target} "
                      f"({source_folder} includes: {allowed})")
    if breaks:
        print(f"include rule: {breaks} includes break the rule in {checked} files")
        return 1
    print(f"include rule: {checked} files, every include goes downwards")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
