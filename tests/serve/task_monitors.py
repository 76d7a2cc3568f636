"""Task monitors as standard clients follow them: an action's POST answers
202 with Location naming its monitor and Retry-After; the monitor answers
202 with the task until the action is final, then the final response once
(the outcome as a Redfish message), then 404; the task itself answers 200
with TaskMonitor, StartTime, EndTime, TaskState and the driver's report in
Messages. Followed across DeleteNamespace's reset and CreateGoal's two
boots; a DELETE of the monitor before any boot cancels the action, later
it is refused; tasks and monitors survive a restart with --state."""

import json
import os
import tempfile
import time

import twin

HEADERS = {"Authorization": twin.ADMIN}


def post(server, index):
    name, target, parameters, message = twin.FIVE_ACTIONS[index]
    status, headers, body = twin.exchange(server, "POST", twin.ACTIONS + target,
                                          json.dumps(parameters), HEADERS)
    assert status == 202 and "Retry-After" in headers, (status, headers)
    monitor = headers["Location"]
    assert monitor.startswith("/redfish/v1/TaskService/TaskMonitors/"), monitor
    task = json.loads(body)
    assert task["TaskMonitor"] == monitor and task["TaskState"] == "New", task
    return monitor, task["@odata.id"], message


def get(server, path):
    status, headers, body = twin.exchange(server, "GET", path, headers=HEADERS)
    return status, json.loads(body) if body else None


def follow(server, monitor):
    """Polls the monitor until it stops answering 202; that answer."""
    deadline = time.monotonic() + 30
    while True:
        status, body = get(server, monitor)
        if status != 202:
            return status, body
        assert body["TaskState"] in ("New", "Pending", "Running"), body
        assert time.monotonic() < deadline, body
        time.sleep(0.05)


def reset(server):
    assert server.request("POST", twin.RESET, {"ResetType": "ForceRestart"})[0] == 204


def test(emu, scenarios):
    scenario = os.path.join(scenarios, "twin.json")
    with twin.Twin(emu, scenario, "--power-off") as server:
        for index in (0, 4):  # DeleteNamespace; CreateGoal, two boots
            monitor, task_uri, message = post(server, index)
            assert get(server, monitor)[0] == 202
            reset(server)
            status, final = follow(server, monitor)
            assert status == 200, (status, final)
            assert [m["MessageArgs"] for m in final["@Message.ExtendedInfo"][1:]] == [[message]]
            assert get(server, monitor)[0] == 404, "the final response is given once"
            status, task = get(server, task_uri)
            assert status == 200 and task["TaskState"] == "Completed", task
            assert task["TaskStatus"] == "OK" and task["StartTime"] <= task["EndTime"], task
            assert task["Messages"][-1]["Message"] == message, task
        assert "reset by the driver" in server.account(), "CreateGoal's second boot"

        # Cancelled before any boot: the driver then finds nothing to do.
        monitor, task_uri, _ = post(server, 1)
        status, _, _ = twin.exchange(server, "DELETE", monitor, headers=HEADERS)
        assert status == 204
        assert get(server, task_uri)[1]["TaskState"] == "Cancelled"
        assert get(server, monitor)[0] == 404
        status_document = server.action_status()
        assert status_document["Status"] != "Issued" and \
            "cancelled" in status_document["StatusMessage"], status_document
        reset(server)
        time.sleep(0.5)
        assert get(server, task_uri)[1]["TaskState"] == "Cancelled"
        assert "NVDIMM CreateNamespace" not in server.account()

        # Once a boot has carried the action out, the monitor cannot cancel.
        monitor, task_uri, _ = post(server, 3)
        reset(server)
        server.wait_final()
        status, _, body = twin.exchange(server, "DELETE", monitor, headers=HEADERS)
        assert status == 409 and json.loads(body)["error"]["code"] == twin.BASE + "ResourceInUse"

    with tempfile.TemporaryDirectory() as scratch:
        state = os.path.join(scratch, "twin.state")
        with twin.Twin(emu, scenario, "--state", state, "--power-off") as server:
            monitor, task_uri, message = post(server, 0)
        with twin.Twin(emu, scenario, "--state", state, "--power-off") as server:
            status, task = get(server, monitor)
            assert status == 202 and task["TaskState"] == "New", (status, task)
            reset(server)
            assert follow(server, monitor)[0] == 200
        with twin.Twin(emu, scenario, "--state", state, "--power-off") as server:
            assert get(server, monitor)[0] == 404
            assert get(server, task_uri)[1]["TaskState"] == "Completed"


if __name__ == "__main__":
    twin.main(test)
