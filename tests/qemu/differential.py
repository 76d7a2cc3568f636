#!/usr/bin/env python3
"""Runs one scenario on both platforms and compares their traces.

    differential.py NVDIMM_EMU SCENARIO [--timeout SECONDS]

The host run (the emulated machine) and the QEMU run (OVMF with the driver's
real image) must agree:

  - on every "rest", "nvdimm", "reset" and "final" event, compared as the
    exact JSON lines the trace writer wrote, in order ("leak" events are
    the host's alone);
  - on the exit status, which is 0 for a scenario whose "expect" holds: the
    expectations are checked on each platform's own events.

Exits 0 when they agree, 1 with the first difference otherwise.
"""
import json
import os
import subprocess
import sys
import tempfile

COMPARED = ("rest", "nvdimm", "reset", "final")


def run(command, trace):
    result = subprocess.run(command + ["--quiet", "--trace", trace],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    with open(trace, "rb") as lines:
        events = [line.rstrip(b"\n") for line in lines
                  if json.loads(line).get("event") in COMPARED]
    return result.returncode, result.stderr.strip(), events


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    emulator, scenario = argv[1], argv[2]
    extra = argv[3:]
    with tempfile.TemporaryDirectory(prefix="nvdimm-differential-") as folder:
        host_status, host_error, host = run([emulator, "run", scenario],
                                            os.path.join(folder, "host.jsonl"))
        qemu_status, qemu_error, qemu = run([emulator, "run", scenario, "--platform", "qemu"] + extra,
                                            os.path.join(folder, "qemu.jsonl"))
    failed = False
    if qemu_status != host_status or qemu_status != 0:
        print("exit status: host %d, qemu %d" % (host_status, qemu_status))
        for name, error in (("host", host_error), ("qemu", qemu_error)):
            if error:
                print("%s: %s" % (name, error))
        failed = True
    for index in range(max(len(host), len(qemu))):
        left = host[index] if index < len(host) else b"(none)"
        right = qemu[index] if index < len(qemu) else b"(none)"
        if left != right:
            print("event %d of %s differs:" % (index + 1, "/".join(COMPARED)))
            print("  host: " + left.decode("utf-8", "replace"))
            print("  qemu: " + right.decode("utf-8", "replace"))
            failed = True
            break
    if not failed:
        print("%d events agree" % len(host))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
