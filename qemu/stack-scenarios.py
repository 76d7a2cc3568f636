#!/usr/bin/env python3
"""Writes the scenarios that measure the driver's stack inside OVMF.

    qemu/stack-scenarios.py OUTDIR [--bom] [DEPTH ...]

For each DEPTH (default: 64 128 256 512 1000) it writes two scenarios whose
body nests arrays DEPTH levels deep, the outer object included (with --bom,
each body starts with a UTF-8 byte-order mark, which the JSON library skips):

  action-status-DEPTH.json    in ActionStatus (the poll parses it; the guard
                              would too)
  action-resource-DEPTH.json  in the resource of a DeleteNamespace action
                              (the handler frame parses it)

and large-bodies.json, whose ActionStatus and action resource are each about
4 MiB (one long string member). Run each with

    build/bin/nvdimm-emu run FILE --platform qemu

and read the "stack:" lines of the account. The scenarios carry no
expectations: they measure, they do not judge.
"""
import json
import os
import sys

STATUS_URI = "/redfish/v1/Oem/Velk/Viz/ActionStatus"
ACTION_URI = "/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.DeleteNamespace"
LARGE = 4 * 1024 * 1024


def nested(depth):
    """Arrays nested depth - 1 levels, the value of a member of an object."""
    return "[" * (depth - 1) + "]" * (depth - 1)


def scenario(description, status_body, action_body):
    return {
        "description": description,
        "redfish": {
            "resources": {
                STATUS_URI: {"raw": status_body},
                ACTION_URI: {"raw": action_body},
            }
        },
        "boots": [["nvdimm", "redfish", "driver"]],
    }


def status(extra=""):
    return ('{"Status":"Issued","ActionName":"DeleteNamespace","ActionUri":"%s"%s}'
            % (ACTION_URI, extra))


def write(folder, name, content):
    with open(os.path.join(folder, name), "w", encoding="utf-8") as out:
        json.dump(content, out)
        out.write("\n")


def main(argv):
    if len(argv) < 2:
        sys.stderr.write(__doc__)
        return 2
    folder = argv[1]
    rest = argv[2:]
    bom = "\ufeff" if "--bom" in rest else ""
    depths = [int(d) for d in rest if d != "--bom"] or [64, 128, 256, 512, 1000]
    os.makedirs(folder, exist_ok=True)
    for depth in depths:
        write(folder, "action-status-%d.json" % depth,
              scenario("ActionStatus nests %d levels deep" % depth,
                       bom + status(',"Deep":' + nested(depth)), '{"Id":"1"}'))
        write(folder, "action-resource-%d.json" % depth,
              scenario("The action's resource nests %d levels deep" % depth, status(),
                       bom + '{"Id":"1","Deep":' + nested(depth) + "}"))
    write(folder, "large-bodies.json",
          scenario("ActionStatus and the action's resource of about 4 MiB each",
                   status(',"Padding":"' + "x" * LARGE + '"'),
                   '{"Id":"1","Padding":"' + "y" * LARGE + '"}'))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
