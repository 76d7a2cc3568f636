#!/usr/bin/env python3
"""Every scenario on the host, then in the host's network mode (run
--network --strict: the REST producer on the emulated HTTP stack, the
scenario's service answering over loopback HTTP): the two must give the same
rest, nvdimm, reset, final and leak events, as JSON lines, and the same exit
status, except for the scenarios of inexpressible.txt, which must differ.

    compare_network.py NVDIMM_EMU PROJECT_ROOT
"""
import glob
import json
import os
import subprocess
import sys

COMPARED = ("rest", "nvdimm", "reset", "final", "leak")


def events(emu, arguments):
    done = subprocess.run([emu, "run", *arguments, "--trace", "-", "--quiet"],
                          capture_output=True, text=True, timeout=120)
    lines = []
    for line in done.stdout.splitlines():
        if line.startswith("{") and json.loads(line).get("event") in COMPARED:
            lines.append(line)
    return done.returncode, lines, done.stderr.strip()


def main(argv):
    emu, root = argv[1], argv[2]
    listed = {}
    for line in open(os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                  "inexpressible.txt")):
        if line.strip() and not line.startswith("#"):
            name, reason = line.split(":", 1)
            listed[name.strip()] = reason.strip()
    scenarios = sorted(glob.glob(os.path.join(root, "scenarios", "*.json")) +
                       glob.glob(os.path.join(root, "tests", "scenarios", "**", "*.json"),
                                 recursive=True))
    problems, same = [], 0
    for path in scenarios:
        name = os.path.relpath(path, root)[:-len(".json")]
        host = events(emu, [path])
        network = events(emu, [path, "--network", "--strict"])
        agree = host[:2] == network[:2]
        same += agree
        if agree and name in listed:
            problems.append("%s: listed as inexpressible (%s) but agrees" % (name, listed[name]))
        elif not agree and name not in listed:
            first = next((i for i, (a, b) in enumerate(zip(host[1], network[1])) if a != b),
                         min(len(host[1]), len(network[1])))
            problems.append("%s: exit %d on the host, %d in network mode; event %d:\n  host: %s\n"
                            "  network: %s\n  %s" % (
                                name, host[0], network[0], first + 1,
                                host[1][first] if first < len(host[1]) else "(none)",
                                network[1][first] if first < len(network[1]) else "(none)",
                                network[2]))
    for name in sorted(set(listed) - {os.path.relpath(p, root)[:-5] for p in scenarios}):
        problems.append("%s: listed but gone" % name)
    print("%d of %d scenarios agree in network mode, %d listed as inexpressible"
          % (same, len(scenarios), len(listed)))
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
