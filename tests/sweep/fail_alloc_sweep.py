#!/usr/bin/env python3
"""Runs scenarios with every driver allocation failing once.

For each scenario it learns how many allocations the driver makes, then runs
it again with --fail-alloc N for every N from 1 to that count, and checks each
run: no crash, exit 0, no leak in a boot that ends without a reset, no pool
misuse, and every report sent is one the driver can legitimately produce.
"""
import json
import os
import re
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

ACTION_STATUS = "/redfish/v1/Oem/Velk/Viz/ActionStatus"
# Every StatusMessage the driver can send: fixed texts, its formats (as
# prefixes), the abort text, or the component's own diagnostics message.
REPORT_PREFIXES = (
    "(UEFI UPDATE): ",
    "(UEFI UPDATE - DN): ",
    "(UEFI UPDATE - CN):",
    "(UEFI UPDATE - CG): ",
    "(UEFI UPDATE-CG):",
    "(UEFI UPDATE - DPCD): ",
    "(UEFI UPDATE - RD)",
    "(UEFI UPDATE - : Remote Redfish Action ABORTED",
)
STATES = ("Success", "Failed", "Inprogress")


def run(emulator, scenario, fail):
    args = [emulator, "run", scenario, "--trace", "-", "--quiet", "--strict"]
    if fail:
        args += ["--fail-alloc", str(fail)]
    return subprocess.run(args, capture_output=True, text=True, timeout=60)


def allocation_count(emulator, scenario):
    result = subprocess.run([emulator, "run", scenario], capture_output=True, text=True,
                            timeout=60)
    match = re.search(r"the driver made (\d+) allocations", result.stdout)
    if result.returncode not in (0, 1) or not match:
        raise RuntimeError(f"{scenario}: baseline run failed: {result.stderr.strip()}")
    return int(match.group(1))


def diagnostics_messages(scenario):
    with open(scenario, encoding="utf-8") as file:
        nvdimm = json.load(file).get("nvdimm") or {}
    message = (nvdimm.get("diagnostics") or {}).get("message")
    return {message} if isinstance(message, str) else set()


def check_run(scenario, fail, result, own_messages):
    where = f"{scenario} --fail-alloc {fail}"
    if result.returncode != 0:
        return f"{where}: exit {result.returncode}: {result.stderr.strip()[:300]}"
    for line in result.stdout.splitlines():
        event = json.loads(line)
        if event["event"] != "rest" or event["method"] != "PATCH":
            continue
        if event["uri"] != ACTION_STATUS:
            return f"{where}: PATCH of {event['uri']}"
        body = json.loads(event["body"])
        state, message = body.get("Status"), body.get("StatusMessage")
        # A member the report could not allocate is left out, nothing else.
        if state is not None and state not in STATES:
            return f"{where}: reported Status {state!r}"
        if message is not None and not message.startswith(REPORT_PREFIXES) \
                and message not in own_messages and not message.startswith("Diagnostics") \
                and message != "":
            return f"{where}: reported StatusMessage {message!r}"
    return None


def main():
    emulator, scenarios = sys.argv[1], sys.argv[2:]
    runs = points = 0
    failures = []
    for scenario in scenarios:
        count = allocation_count(emulator, scenario)
        own = diagnostics_messages(scenario)
        with ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
            results = list(pool.map(lambda n: (n, run(emulator, scenario, n)), range(1, count + 1)))
        for fail, result in results:
            problem = check_run(scenario, fail, result, own)
            if problem:
                failures.append(problem)
        runs += count
        points += count
    print(f"fail-alloc sweep: {len(scenarios)} scenarios, {runs} runs, {points} allocation points")
    for failure in failures[:20]:
        print("FAIL", failure)
    print(f"{runs - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
