"""serve --platform qemu --network: the driver's requests go from the real
driver through the REST producer's image, OVMF's HTTP, TCP and IP drivers
and virtio-net, over QEMU's restricted user network, to the twin.
redfishtool issues DeleteNamespace, resets the system and reads "Success";
every request the driver made in that boot (the trace's "rest" events)
reached the twin from the guest, in order (its account's "http driver
(guest)" lines). Then CreateGoal, which completes across its warm reset."""

import json
import os
import re
import tempfile
import time

import twin


def run_action(server, index):
    """Issues FIVE_ACTIONS[index] with redfishtool, resets, waits for its report."""
    _, target, parameters, message = twin.FIVE_ACTIONS[index]
    # -N: the action's task monitor waits for the reset; do not follow it.
    twin.redfishtool(server, "-N", "raw", "POST", twin.ACTIONS + target, "-d",
                     json.dumps(parameters))
    twin.redfishtool(server, "Systems", "-I", "Self", "reset", "ForceRestart")
    deadline = time.monotonic() + 180
    status = json.loads(twin.redfishtool(server, "raw", "GET", twin.STATUS_URI))
    while status["Status"] not in twin.FINAL and time.monotonic() < deadline:
        time.sleep(0.5)
        status = json.loads(twin.redfishtool(server, "raw", "GET", twin.STATUS_URI))
    assert (status["Status"], status.get("StatusMessage")) == ("Success", message), \
        f"{status}\n{server.account()}"


def guest_requests(account, boot):
    """(method, path) of the account's driver lines of one boot."""
    section = account.split(f"boot {boot} (", 1)[1].split(f"\nboot {boot + 1} (", 1)[0]
    return re.findall(r"^http driver \(guest\): (\S+) (\S+) \d+ ", section, re.M)


def test(emu, scenarios):
    with tempfile.TemporaryDirectory() as folder:
        trace = os.path.join(folder, "trace.jsonl")
        with twin.Twin(emu, os.path.join(scenarios, "twin.json"), "--platform", "qemu",
                       "--network", "--timeout", "120", "--trace", trace,
                       max_seconds=500) as server:
            deadline = time.monotonic() + 180
            while "driver: entry returned" not in server.account():
                assert time.monotonic() < deadline, server.account()
                time.sleep(0.2)
            run_action(server, 0)
            # The boot's account reaches the server when the boot ends.
            deadline = time.monotonic() + 120
            while "\nboot 2 (" not in server.account() or \
                    "driver: entry returned" not in server.account().split("\nboot 2 (")[1]:
                assert time.monotonic() < deadline, server.account()
                time.sleep(0.5)
            run_action(server, 4)
            deadline = time.monotonic() + 120
            while "\nboot 4 (" not in server.account() and time.monotonic() < deadline:
                time.sleep(0.5)
            account = server.account()
        events = [json.loads(line) for line in open(trace)]

    assert "NVDIMM DeleteNamespace NamespaceId=1 -> EFI_SUCCESS" in account, account
    assert "boot 4 (" in account, "CreateGoal's warm reset gave no boot 4:\n" + account
    assert not [line for line in account.splitlines()
                if line.startswith("http driver") and "(guest): " not in line], \
        "a driver request that did not come from the guest:\n" + account
    for boot in (1, 2, 3, 4):
        traced = [(e["method"], e["uri"]) for e in events
                  if e.get("event") == "rest" and e.get("boot") == boot]
        assert traced, f"boot {boot}: the driver made no request\n{account}"
        assert guest_requests(account, boot) == traced, \
            f"boot {boot}: the twin did not get the driver's requests from the guest:\n" \
            f"{traced}\n{account}"


if __name__ == "__main__":
    twin.main(test)
