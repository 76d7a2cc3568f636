"""Apply time: every OEM action advertises OnReset as the one supported
apply time; a POST that names OnReset, or none, issues the action as the
driver will read it (without the annotation); any other value is refused
with ActionParameterValueNotInList and changes nothing."""

import json
import os

import twin


def test(emu, scenarios):
    with twin.Twin(emu, os.path.join(scenarios, "twin.json"), "--power-off") as server:
        actions = server.request("GET", "/redfish/v1/Systems/Self")[2]["Actions"]["Oem"]
        assert len(actions) == 5
        for name, action in actions.items():
            assert action["@Redfish.OperationApplyTimeSupport"] == \
                {"SupportedValues": ["OnReset"]}, name
        target = twin.ACTIONS + "DeleteNamespace"
        before = server.request("GET", twin.STATUS_URI)[1]["ETag"]
        for value in ("Immediate", "AtMaintenanceWindowStart", 5, None):
            status, _, body = twin.exchange(
                server, "POST", target, json.dumps({"Id": "1", "@Redfish.OperationApplyTime": value}),
                {"Authorization": twin.ADMIN})
            assert status == 400, (value, status)
            assert json.loads(body)["error"]["code"] == \
                twin.BASE + "ActionParameterValueNotInList", body
        assert server.request("GET", twin.STATUS_URI)[1]["ETag"] == before, "a refusal changed it"
        for body in ({"Id": "1", "@Redfish.OperationApplyTime": "OnReset"}, {"Id": "1"}):
            assert server.request("POST", target, body)[0] == 202, body
            assert server.action_status()["Status"] == "Issued"
            stored = server.request("GET", target)[2]
            assert "@Redfish.OperationApplyTime" not in stored and stored["Id"] == "1", stored
            server.request("PATCH", twin.STATUS_URI, {"Status": "Failed"})


if __name__ == "__main__":
    twin.main(test)
