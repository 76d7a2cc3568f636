"""What standard clients rely on: python3-sushy's get_task_service() through
the service root's Tasks link; a session that survives a restart with
--state, as a BMC's sessions do, while the state file holds no token a
reader could use."""

import json
import os
import tempfile

import sushy
from sushy import auth

import twin


def test(emu, scenarios):
    scenario = os.path.join(scenarios, "twin.json")
    with tempfile.TemporaryDirectory() as scratch:
        state = os.path.join(scratch, "twin.state")
        with twin.Twin(emu, scenario, "--state", state, "--power-off") as server:
            root = sushy.Sushy(server.url + "/redfish/v1",
                               auth=auth.SessionAuth("admin", "admin"))
            tasks = root.get_task_service()
            assert tasks.identity == "TaskService"
            assert tasks.tasks.members_identities == ()
            status, headers, _ = twin.exchange(
                server, "POST", "/redfish/v1/SessionService/Sessions",
                json.dumps({"UserName": "admin", "Password": "admin"}),
                {"Content-Type": "application/json"})
            assert status == 201
            token = headers["X-Auth-Token"]
            root._conn._session.close()
        with open(state) as file:
            assert token not in file.read(), "the state file holds a session token"
        with twin.Twin(emu, scenario, "--state", state, "--power-off") as server:
            status = twin.exchange(server, "GET", twin.STATUS_URI,
                                   headers={"X-Auth-Token": token})[0]
            assert status == 200, "the session did not survive the restart"
            status = twin.exchange(server, "GET", twin.STATUS_URI,
                                   headers={"X-Auth-Token": token[:-1] +
                                            ("1" if token.endswith("0") else "0")})[0]
            assert status == 401


if __name__ == "__main__":
    twin.main(test)
