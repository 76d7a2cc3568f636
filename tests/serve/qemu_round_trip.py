"""serve --platform qemu: the real images in OVMF. redfishtool issues a
DeleteNamespace, resets the system, and reads "Success" that the real driver
reported through the platform image's REST channel. The host boots at start
first, so the operator's boot carries the image's kept state."""

import json
import os
import time

import twin


def test(emu, scenarios):
    name, target, parameters, message = twin.FIVE_ACTIONS[0]
    with twin.Twin(emu, os.path.join(scenarios, "twin.json"), "--platform", "qemu",
                   "--timeout", "120", max_seconds=400) as server:
        deadline = time.monotonic() + 180
        while "driver: entry returned" not in server.account():
            assert time.monotonic() < deadline, server.account()
            time.sleep(0.2)
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
        # A QEMU boot's account reaches the server when the boot ends, which
        # may come after the report the operator has just read.
        deadline = time.monotonic() + 120
        operation = "NVDIMM DeleteNamespace NamespaceId=1 -> EFI_SUCCESS"
        while operation not in server.account() and time.monotonic() < deadline:
            time.sleep(0.5)
        assert "boot 2 (reset by the operator, in QEMU)" in server.account()
        assert operation in server.account(), server.account()


if __name__ == "__main__":
    twin.main(test)
