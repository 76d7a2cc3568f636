"""python3-sushy against a twin: session login, the system, an action POST,
reset_system, the task's state after the action, and an ETag-guarded PATCH
that the twin refuses with 412 while the ETag is stale."""

import json
import os
import tempfile
import time

import sushy
from sushy import auth

import twin


def test(emu, scenarios):
    scenario = os.path.join(scenarios, "twin.json")
    with tempfile.TemporaryDirectory() as scratch, \
            twin.Twin(emu, scenario, "--trace", os.path.join(scratch, "trace.jsonl")) as server:
        root = sushy.Sushy(server.url + "/redfish/v1", auth=auth.SessionAuth("admin", "admin"))
        assert root.get_system_collection().members_identities == ("/redfish/v1/Systems/Self",)
        system = root.get_system("/redfish/v1/Systems/Self")
        assert system.identity == "Self"
        assert system.power_state == sushy.PowerState.ON
        assert sushy.ResetType.FORCE_RESTART in system.get_allowed_reset_system_values()

        # The boot override through sushy's own ETag-guarded PATCH.
        system.set_system_boot_options(sushy.BootSource.PXE,
                                       enabled=sushy.BootSourceOverrideEnabled.ONCE)
        system.refresh()
        assert system.boot.target == sushy.BootSource.PXE

        name, target, parameters, message = twin.FIVE_ACTIONS[0]
        posted = root._conn.post(twin.ACTIONS + target, data=parameters)
        assert posted.status_code == 202
        task_uri = posted.json()["@odata.id"]  # Location names its monitor
        assert root._conn.get(task_uri).json()["TaskState"] == "New"
        system.reset_system(sushy.ResetType.FORCE_RESTART)
        deadline = time.monotonic() + 30
        task = root._conn.get(task_uri).json()
        while task["TaskState"] in ("New", "Running") and time.monotonic() < deadline:
            time.sleep(0.05)
            task = root._conn.get(task_uri).json()
        assert task["TaskState"] == "Completed", task
        assert task["Messages"][-1]["Message"] == message

        # A stale ETag: the twin answers 412 and changes nothing; sushy then
        # retries the way it does (strong ETag, then none), which applies.
        stale = root._conn.get(twin.STATUS_URI).headers["ETag"]
        root._conn.patch(twin.STATUS_URI, data={"Note": "first"}, etag=stale)
        root._conn.patch(twin.STATUS_URI, data={"Note": "second"}, etag="W/" + stale)
        assert root._conn.get(twin.STATUS_URI).json()["Note"] == "second"
        root._conn._session.close()
        server.stop()
        with open(os.path.join(scratch, "trace.jsonl")) as trace:
            events = [json.loads(line) for line in trace]
        codes = [event["code"] for event in events
                 if event["event"] == "http" and event["method"] == "PATCH" and
                 event["path"] == twin.STATUS_URI]
        # first: 204 with the current ETag; second: weak and strong stale 412, then none 204.
        assert codes == [204, 412, 412, 204], codes


if __name__ == "__main__":
    twin.main(test)
