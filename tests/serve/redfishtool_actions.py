"""redfishtool drives each of the five actions on a twin, as an operator
would: POST the action with its parameters, reset the system, read
ActionStatus until it is final. Once with Basic authentication, once with a
session; CreateGoal goes across the driver's own warm reset."""

import json
import os
import time

import twin


def read_status(server, auth):
    return json.loads(twin.redfishtool(server, "-A", auth, "raw", "GET", twin.STATUS_URI))


def test(emu, scenarios):
    scenario = os.path.join(scenarios, "twin.json")
    for auth in ("Basic", "Session"):
        for name, target, parameters, message in twin.FIVE_ACTIONS:
            with twin.Twin(emu, scenario) as server:
                # -N: the 202's task monitor stays 202 until a reset
                # carries the action out; redfishtool would wait on it.
                twin.redfishtool(server, "-A", auth, "-N", "raw", "POST", twin.ACTIONS + target,
                                 "-d", json.dumps(parameters))
                task = json.loads(twin.redfishtool(server, "-A", auth, "raw", "GET",
                                                   "/redfish/v1/TaskService/Tasks/1"))
                assert task["TaskState"] == "New", task
                issued = read_status(server, auth)
                assert (issued["Status"], issued["ActionName"]) == ("Issued", name), issued
                twin.redfishtool(server, "-A", auth, "Systems", "-I", "Self", "reset",
                                 "ForceRestart")
                deadline = time.monotonic() + 30
                status = read_status(server, auth)
                while status["Status"] not in twin.FINAL and time.monotonic() < deadline:
                    time.sleep(0.05)
                    status = read_status(server, auth)
                assert (status["Status"], status.get("StatusMessage")) == ("Success", message), \
                    f"{auth} {name}: {status}\n{server.account()}"
                # The task ends with the boot, a moment after the report.
                uri = task["@odata.id"]
                task = json.loads(twin.redfishtool(server, "-A", auth, "raw", "GET", uri))
                while task["TaskState"] == "Running" and time.monotonic() < deadline:
                    time.sleep(0.05)
                    task = json.loads(twin.redfishtool(server, "-A", auth, "raw", "GET", uri))
                assert task["TaskState"] == "Completed", task
                assert [m["Message"] for m in task["Messages"]] == \
                    [f"The task with Id '{task['Id']}' has completed.", message], task
                account = server.account()
            if name == "CreateGoal":
                # The operator's reset, then the driver's own warm reset.
                assert "reset by the operator" in account and "reset by the driver" in account, \
                    account
            if auth == "Session":
                assert "http operator admin: POST /redfish/v1/SessionService/Sessions 201" \
                    in account, account


if __name__ == "__main__":
    twin.main(test)
