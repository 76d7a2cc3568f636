#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets from the scenario files.

Every body a scenario's Redfish service serves (ActionStatus and the action
resources, JSON values as the service serves them, raw bodies byte for byte)
becomes a seed of the target that reads it: ActionStatus bodies (with the
action's body after a NUL) for fuzz_poll, each action's body for its handler's
target (once alone, once with answer bytes after a NUL that force the
component's outcome), every body for fuzz_json_number and fuzz_rest_exchange,
and the identifiers in them for fuzz_text. Seeds are named by their content,
so a second run changes nothing.

usage: fuzz/seed_corpora.py [OUTPUT_DIR]   (default: fuzz/corpus)
"""
import glob
import hashlib
import json
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ACTION_STATUS = "/redfish/v1/Oem/Velk/Viz/ActionStatus"
HANDLER_TARGETS = {
    "CreateGoal": "fuzz_create_goal",
    "CreateNamespace": "fuzz_create_namespace",
    "DeleteNamespace": "fuzz_delete_namespace",
    "DeletePlatformConfigurationData": "fuzz_delete_pcd",
    "RunDiagnostics": "fuzz_run_diagnostics",
}
IDENTIFIERS = ("Id", "RegionId", "DimmPhysicalId")
MAX_SEED = 4096
MAX_SEEDS = 80
# The answer bytes are read from their end: set flags (all-modules URI,
# forced outcome) and a short forced message at the front.
FORCED_ANSWER = b"\0Forced failure text\xff\x01\x01\x01\x01\x01"
# BoundedFormat formats the driver uses; the last byte selects the helper
# (2: BoundedFormat), the one before it is the buffer size.
FORMAT_SEEDS = [
    b"(UEFI UPDATE - DN): Error to parse Json file - %a\n",
    b"DimmId:0x%4X; Status:%a; ",
    b"%d%X%a\r\n\n\r%%%4X%99X%1000X",
]


class Number(str):
    """A number kept with the spelling the scenario gave it."""


def load(path):
    with open(path, encoding="utf-8") as file:
        return json.load(file, parse_int=Number, parse_float=Number)


def compact(value):
    if isinstance(value, Number):
        return str(value)
    if isinstance(value, dict):
        return "{" + ",".join(json.dumps(k, ensure_ascii=False) + ":" + compact(v)
                              for k, v in value.items()) + "}"
    if isinstance(value, list):
        return "[" + ",".join(compact(v) for v in value) + "]"
    return json.dumps(value, ensure_ascii=False)


def served(value):
    """The body the service serves for a resource value."""
    if isinstance(value, dict) and list(value) == ["raw"] and isinstance(value["raw"], str):
        return value["raw"].encode("utf-8")
    return compact(value).encode("utf-8")


def scenario_seeds(path, add):
    scenario = load(path)
    resources = (scenario.get("redfish") or {}).get("resources") or {}
    bodies = {uri: served(value) for uri, value in resources.items()}
    for body in bodies.values():
        add("fuzz_json_number", body)
        add("fuzz_rest_exchange", body)
    status = resources.get(ACTION_STATUS)
    if not isinstance(status, dict):
        return
    action_uri = status.get("ActionUri")
    action_body = bodies.get(action_uri, b"") if isinstance(action_uri, str) else b""
    add("fuzz_poll", bodies[ACTION_STATUS] + b"\0" + action_body)
    target = HANDLER_TARGETS.get(status.get("ActionName"))
    if target:
        add(target, action_body)
        add(target, action_body + FORCED_ANSWER)
    parameters = resources.get(action_uri) if isinstance(action_uri, str) else None
    if isinstance(parameters, dict):
        for name in IDENTIFIERS:
            if isinstance(parameters.get(name), str):
                text = parameters[name].encode("utf-8")
                add("fuzz_text", text + b"\x00")  # HexToUintn
                add("fuzz_text", text + b"\x01")  # DecimalToUintn


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "fuzz", "corpus")
    seeds = {}

    def add(target, data):
        if len(data) <= MAX_SEED:
            seeds.setdefault(target, {})[hashlib.sha1(data).hexdigest()[:16]] = data

    files = sorted(glob.glob(os.path.join(ROOT, "tests", "scenarios", "**", "*.json"),
                             recursive=True))
    files += sorted(glob.glob(os.path.join(ROOT, "scenarios", "*.json")))
    for path in files:
        scenario_seeds(path, add)
    for text in FORMAT_SEEDS:
        add("fuzz_text", text + bytes([150, 2]))
        add("fuzz_text", text + bytes([20, 2]))
    add("fuzz_text", b"dest\0\0\0\0\0\0more" + bytes([0, 12, 3]))

    for target, entries in sorted(seeds.items()):
        folder = os.path.join(output, target)
        os.makedirs(folder, exist_ok=True)
        # Keep the committed seeds small: the smallest first.
        chosen = sorted(entries.items(), key=lambda item: (len(item[1]), item[0]))[:MAX_SEEDS]
        for name, data in chosen:
            with open(os.path.join(folder, name), "wb") as file:
                file.write(data)
        print(f"{target}: {len(chosen)} seeds")


if __name__ == "__main__":
    main()
