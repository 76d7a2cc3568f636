"""run --redfish URL against a second nvdimm-emu serve of the same scenario:
every demo scenario gives the same trace as run without it, its
expectations included."""

import glob
import json
import os
import subprocess
import tempfile

import twin


def events(path):
    with open(path) as trace:
        return [json.loads(line) for line in trace]


def test(emu, scenarios):
    with tempfile.TemporaryDirectory() as scratch:
        for scenario in sorted(glob.glob(os.path.join(scenarios, "*.json"))):
            local = os.path.join(scratch, "local.jsonl")
            remote = os.path.join(scratch, "remote.jsonl")
            done = subprocess.run([emu, "run", scenario, "--quiet", "--trace", local],
                                  timeout=60)
            assert done.returncode == 0, scenario
            with twin.Twin(emu, scenario, "--power-off", "--quiet") as server:
                done = subprocess.run([emu, "run", scenario, "--quiet", "--trace", remote,
                                       "--redfish", server.url, "--user", "admin",
                                       "--password", "admin"], timeout=60)
            assert done.returncode == 0, f"{scenario}: its expectations failed over HTTP"
            assert events(local) == events(remote), scenario
        # Without the account the service refuses the driver, and the run
        # says so.
        scenario = os.path.join(scenarios, "delete-namespace.json")
        with twin.Twin(emu, scenario, "--power-off", "--quiet") as server:
            done = subprocess.run([emu, "run", scenario, "--quiet", "--redfish", server.url],
                                  timeout=60, capture_output=True, text=True)
        assert done.returncode == 1, done


if __name__ == "__main__":
    twin.main(test)
