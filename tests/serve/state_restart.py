"""serve --state: the twin stopped and started again between issuing an
action and the reset still carries it out, and the NVDIMM model the action
changed is there after the next restart."""

import os
import tempfile

import twin


def test(emu, scenarios):
    scenario = os.path.join(scenarios, "twin.json")
    name, target, parameters, message = twin.FIVE_ACTIONS[0]
    with tempfile.TemporaryDirectory() as scratch:
        state = os.path.join(scratch, "twin.state")
        with twin.Twin(emu, scenario, "--state", state, "--power-off") as server:
            code, headers, body = server.request("POST", twin.ACTIONS + target, parameters)
            assert code == 202
            task = body["@odata.id"]
        assert server.process.returncode == 0
        # Started off, so that only the reset can carry the action out.
        with twin.Twin(emu, scenario, "--state", state, "--power-off") as server:
            assert server.action_status()["Status"] == "Issued"
            assert server.request("GET", task)[2]["TaskState"] == "New"
            assert server.request("POST", twin.RESET, {"ResetType": "ForceRestart"})[0] == 204
            status = server.wait_final()
            assert (status["Status"], status["StatusMessage"]) == ("Success", message), status
        # The namespace is gone for good: deleting it again fails.
        with twin.Twin(emu, scenario, "--state", state, "--power-off") as server:
            assert server.request("GET", task)[2]["TaskState"] == "Completed"
            assert server.request("POST", twin.ACTIONS + target, parameters)[0] == 202
            assert server.request("POST", twin.RESET, {"ResetType": "ForceRestart"})[0] == 204
            status = server.wait_final()
            assert (status["Status"], status["StatusMessage"]) == \
                ("Failed", "(UEFI UPDATE - DN): Namespace 1 does not exist"), status
        # A file that is not a state is refused.
        with open(state, "w") as file:
            file.write("{}")
        try:
            twin.Twin(emu, scenario, "--state", state)
        except RuntimeError as refused:
            assert "is not a state" in str(refused), refused
        else:
            raise AssertionError("a broken state file was accepted")


if __name__ == "__main__":
    twin.main(test)
