#!/usr/bin/env python3
"""Runs scenarios with every driver allocation failing once.

For each scenario it runs it once as it stands (the baseline, which must pass
with --strict) to learn how many allocations the driver makes, then runs it
again with --fail-alloc N for every N from 1 to that count, and checks each
run:

- no crash, exit status 0 (--strict: no leak in a boot that ends without a
  reset, no pool misuse, no unsupported service);
- the N-th allocation was made (the run is deterministic up to it), so that
  allocation point really was covered;
- every request is a GET or a PATCH of ActionStatus, and every PATCH carries
  the headers Content-Type, Content-Length (its body's length) and
  OData-Version in that order (one whose copy could not be allocated is left
  out), and a body in the JSON library's formatted layout holding
  Status and StatusMessage (either may be left out when its copy could not
  be allocated, nothing else);
- every report is one the driver can legitimately send: its Status is
  "Success", "Failed" or "Inprogress", its StatusMessage is one of the
  driver's texts for that Status (or, after RunDiagnostics, the component's
  own result message), and it does not lie: "Success" and "Inprogress" only
  after the NVDIMM operation returned EFI_SUCCESS (or for the completion of
  a goal), "Failed" never right after an operation that succeeded, and a
  parse failure names a position only where the baseline's parse failed at
  that position too (a parse that ran out of memory has none);
- an action is performed at most once per boot: the same NVDIMM operation
  with the same arguments does not come twice in one boot unless a report
  landed in between, and a report sent again (after the first did not land)
  repeats the first one.

It prints how many scenarios, runs and allocation points it covered.

usage: fail_alloc_sweep.py NVDIMM_EMU SCENARIO.json...
"""
import json
import os
import re
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

ACTION_STATUS = "/redfish/v1/Oem/Velk/Viz/ActionStatus"
RUN_TIMEOUT = 120
GOAL_COMPLETED = "(UEFI UPDATE): CreateGoal performed Successfully"
NULL_POSITION = "<null string>"
ABORT_PREFIX = "(UEFI UPDATE - : Remote Redfish Action ABORTED"

# Every text the driver reports, with the Status it goes with. Failure texts
# carry ErrorMessage (79 characters at most) or a parse position, and are cut
# to their buffer (149 characters, 79 for RunDiagnostics' parse message, 499
# for the all-modules erase).
REPORTS = [
    ("Success", re.compile(r"\(UEFI UPDATE\): (DeleteNamespace|CreateNamespace|"
                           r"DeletePlatformConfigurationData|CreateGoal) performed Successfully\Z")),
    ("Inprogress", re.compile(r"\(UEFI UPDATE\): CreateGoal Configuration applied and Reset\Z")),
    ("Failed", re.compile(r"\(UEFI UPDATE - DN\): Invalid Parameters for DeleteNameSpace\Z")),
    ("Failed", re.compile(r"\(UEFI UPDATE - CN\): Invalid Parameters for CreateNamespace\Z")),
    ("Failed", re.compile(r"\(UEFI UPDATE - CG\): Invalid Parameters for CreateGoal\Z")),
    ("Failed", re.compile(r"\(UEFI UPDATE - DPCD\): Invalid Parameters for "
                          r"DeletePlatformConfiguration\Z")),
    ("Failed", re.compile(r"\(UEFI UPDATE - : Remote Redfish Action ABORTED because of pending "
                          r"request from Local User\Z")),
    ("Failed", re.compile(r"\(UEFI UPDATE - (DN|CN|CG)\): Error to parse Json file - .{0,102}\Z",
                          re.S)),
    ("Failed", re.compile(r"\(UEFI UPDATE - DPCD\): Error to parse Json file : .{0,100}\Z", re.S)),
    ("Failed", re.compile(r"\(UEFI UPDATE - RD\)Error to parse Json file : .{0,34}\Z", re.S)),
    ("Failed", re.compile(r"\(UEFI UPDATE - DN\): [^\x00]{0,79}\Z", re.S)),
    ("Failed", re.compile(r"\(UEFI UPDATE - CN\):[^\x00]{0,79}\Z", re.S)),
    ("Failed", re.compile(r"\(UEFI UPDATE-CG\):[^\x00]{0,79}\Z", re.S)),
    ("Failed", re.compile(r"\(UEFI UPDATE - DPCD\): [^\x00]{0,79}\Z", re.S)),
    # A goal whose reset came back: the still-empty message.
    ("Failed", re.compile(r"\Z")),
]
# The all-modules erase, for either outcome: whole result lines, cut to 499.
ERASE_ALL = re.compile(r"\(UEFI UPDATE - DPCD\): [^\x00]{0,477}\Z", re.S)
PARSE_FAILURE = re.compile(r"\(UEFI UPDATE - (DN|CN|CG|DPCD|RD)\) ?:? ?Error to parse Json file")


def run(emulator, scenario, fail=0):
    args = [emulator, "run", scenario, "--trace", "-", "--strict"]
    if fail:
        args += ["--fail-alloc", str(fail)]
    try:
        return subprocess.run(args, capture_output=True, timeout=RUN_TIMEOUT)
    except subprocess.TimeoutExpired:
        return None


def allocations_made(result):
    match = re.search(rb"the driver made (\d+) allocations", result.stderr)
    return int(match.group(1)) if match else None


def json_escaped(text):
    """A string as the JSON library prints it (bytes 0x80 and up unchanged)."""
    short = {'"': '\\"', "\\": "\\\\", "\b": "\\b", "\f": "\\f", "\n": "\\n", "\r": "\\r",
             "\t": "\\t"}
    out = []
    for char in text:
        if char in short:
            out.append(short[char])
        elif ord(char) < 0x20:
            out.append("\\u%04x" % ord(char))
        else:
            out.append(char)
    return '"' + "".join(out) + '"'


def read_report(event):
    """(Status or None, StatusMessage or None), or a problem text."""
    if event.get("uri") != ACTION_STATUS:
        return f"PATCH of {event.get('uri')!r}"
    body = event.get("body")
    if not isinstance(body, str):
        return "PATCH without a body"
    headers = [["Content-Type", "application/json;charset=utf-8"],
               ["Content-Length", str(len(body.encode("latin-1")))],
               ["OData-Version", "4.0"]]
    # A header whose copy could not be allocated is left out; the others
    # keep their order.
    sent = event.get("headers") or []
    if any(pair not in headers for pair in sent) or sent != sorted(sent, key=headers.index) \
            or len(set(map(tuple, sent))) != len(sent):
        return f"PATCH with headers {sent!r}"
    try:
        members = json.loads(body, object_pairs_hook=list)
    except ValueError:
        return f"PATCH body that is not JSON: {body!r}"
    if not isinstance(members, list) or any(not isinstance(v, str) for _, v in members):
        return f"PATCH body that is not an object of strings: {body!r}"
    names = [name for name, _ in members]
    if names not in (["Status", "StatusMessage"], ["Status"], ["StatusMessage"], []):
        return f"PATCH body with members {names!r}"
    layout = "{\n" + ",\n".join(f"\t{json_escaped(n)}:\t{json_escaped(v)}" for n, v in members)
    layout += "\n}" if members else "}"
    if body != layout:
        return f"PATCH body not in the formatted layout: {body!r}"
    values = dict(members)
    return values.get("Status"), values.get("StatusMessage")


def check_reports(events, baseline_reports, where):
    """The reports of one run, checked; returns (problem or None, reports)."""
    reports = []
    last_op = None  # the NVDIMM operation since the previous report, in this boot
    last_report = None  # the previous report of this boot
    unlanded = set()  # operations of this boot since the last report that landed
    boot = None
    for event in events:
        kind = event.get("event")
        if event.get("boot") != boot:
            boot, last_op, last_report, unlanded = event.get("boot"), None, None, set()
        if kind == "nvdimm" and event.get("op") != "GetLocalRequestPending":
            key = (event.get("op"), json.dumps(event.get("args"), sort_keys=True))
            if key in unlanded:
                return f"{where}: {event.get('op')} performed twice in boot {boot}", reports
            unlanded.add(key)
            last_op = event
            continue
        if kind != "rest":
            continue
        if event.get("method") not in ("GET", "PATCH"):
            return f"{where}: a {event.get('method')} request", reports
        if event["method"] == "GET":
            continue
        report = read_report(event)
        if isinstance(report, str):
            return f"{where}: {report}", reports
        state, message = report
        reports.append(report)
        if event.get("code") in (200, 204) and event.get("status") == "EFI_SUCCESS":
            unlanded = set()
        op, last_op = last_op, None
        # A report sent again, with no operation since: the same report (a
        # member whose copy could not be allocated may be missing from one).
        resent = last_report is not None and all(
            mine == theirs or None in (mine, theirs)
            for mine, theirs in zip((state, message), last_report))
        last_report = report
        if op is None and resent:
            continue
        succeeded = op is not None and op.get("status") == "EFI_SUCCESS"
        diagnostics = op is not None and op.get("op") == "RunDiagnostics"
        erase_all = (op is not None and op.get("op") == "DeletePlatformConfigurationData"
                     and op.get("args", {}).get("AllDimms") is True)
        if state not in (None, "Success", "Failed", "Inprogress"):
            return f"{where}: reported Status {state!r}", reports
        # No lie: the Status follows the operation's outcome.
        # (A completion whose StatusMessage could not be allocated has none.)
        completion = state == "Success" and op is None and message in (GOAL_COMPLETED, None)
        if state in ("Success", "Inprogress") and not succeeded and not completion:
            return f"{where}: {state!r} without a successful operation ({message!r})", reports
        if state == "Inprogress" and op is not None and op.get("op") != "CreateGoal":
            return f"{where}: 'Inprogress' after {op.get('op')}", reports
        # The guard may fail an action whose own report could not be sent.
        if state == "Failed" and succeeded and op.get("op") != "CreateGoal" \
                and not (message or "").startswith(ABORT_PREFIX):
            return f"{where}: 'Failed' after a successful {op.get('op')} ({message!r})", reports
        if message is None:
            continue
        # The text is one the driver sends with that Status.
        if diagnostics or (erase_all and ERASE_ALL.match(message)):
            continue
        if not any((state is None or state == s) and pattern.match(message)
                   for s, pattern in REPORTS):
            return f"{where}: reported {state!r} with {message!r}", reports
        if PARSE_FAILURE.match(message) and not message.rstrip("\r\n").endswith(NULL_POSITION) \
                and baseline_reports is not None \
                and message not in [text for _, text in baseline_reports]:
            return f"{where}: a parse failure the baseline does not have: {message!r}", reports
    return None, reports


def sweep(emulator, scenario):
    """Returns (runs, allocation points, problems) for one scenario."""
    baseline = run(emulator, scenario)
    if baseline is None or baseline.returncode != 0:
        detail = "timed out" if baseline is None else baseline.stderr.decode(errors="replace")
        return 0, 0, [f"{scenario}: the baseline run fails: {detail.strip()[-300:]}"]
    count = allocations_made(baseline)
    events = [json.loads(line) for line in baseline.stdout.splitlines()]
    problem, baseline_reports = check_reports(events, None, f"{scenario} (baseline)")
    problems = [problem] if problem else []
    if count is None:
        return 0, 0, [f"{scenario}: the baseline run does not say how many allocations it made"]

    def one(fail):
        where = f"{scenario} --fail-alloc {fail}"
        result = run(emulator, scenario, fail)
        if result is None:
            return f"{where}: timed out"
        if result.returncode != 0:
            detail = result.stderr.decode(errors="replace").strip().splitlines()
            return f"{where}: exit {result.returncode}: {detail[-1] if detail else ''}"
        made = allocations_made(result)
        if made is None or made < fail:
            return f"{where}: the run made {made} allocations, so allocation {fail} never failed"
        try:
            run_events = [json.loads(line) for line in result.stdout.splitlines()]
        except ValueError:
            return f"{where}: the trace is not JSON Lines"
        return check_reports(run_events, baseline_reports, where)[0]

    with ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        problems += [p for p in pool.map(one, range(1, count + 1)) if p]
    return count + 1, count, problems


def main():
    if len(sys.argv) < 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    emulator, scenarios = sys.argv[1], sys.argv[2:]
    runs = points = 0
    problems = []
    for scenario in scenarios:
        scenario_runs, scenario_points, scenario_problems = sweep(emulator, scenario)
        runs += scenario_runs
        points += scenario_points
        problems += scenario_problems
    for problem in problems[:30]:
        print("FAIL", problem)
    print(f"fail-alloc sweep: {len(scenarios)} scenarios, {runs} runs, "
          f"{points} allocation points, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
