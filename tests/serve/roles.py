"""Accounts, roles and privileges, as DMTF's privilege registry maps them:
a ReadOnly account reads everything but cannot issue an action, reset,
PATCH or log others out; an Operator can issue and reset but not configure
sessions or accounts; an Administrator can. Each account has its role
(Administrator when the scenario names none), the three predefined roles
are there, and an account's own password can be changed by itself."""

import base64
import json
import os
import tempfile

import twin


def basic(user, password):
    return {"Authorization": "Basic " + base64.b64encode(f"{user}:{password}".encode()).decode()}


def test(emu, scenarios):
    with open(os.path.join(scenarios, "twin.json")) as file:
        scenario = json.load(file)
    scenario["accounts"] = [{"user": "admin", "password": "admin"},
                            {"user": "op", "password": "op", "role": "Operator"},
                            {"user": "view", "password": "view", "role": "ReadOnly"}]
    with tempfile.TemporaryDirectory() as scratch:
        path = os.path.join(scratch, "roles.json")
        with open(path, "w") as file:
            json.dump(scenario, file)
        with twin.Twin(emu, path, "--power-off") as server:
            roles = json.loads(twin.exchange(server, "GET", "/redfish/v1/AccountService/Roles",
                                             headers=basic("view", "view"))[2])
            assert sorted(m["@odata.id"].rsplit("/", 1)[1] for m in roles["Members"]) == \
                ["Administrator", "Operator", "ReadOnly"]
            accounts = {}
            for index in (1, 2, 3):
                document = json.loads(twin.exchange(
                    server, "GET", f"/redfish/v1/AccountService/Accounts/{index}",
                    headers=basic("admin", "admin"))[2])
                assert document["Password"] is None
                accounts[document["UserName"]] = document["RoleId"]
            assert accounts == {"admin": "Administrator", "op": "Operator", "view": "ReadOnly"}

            session = twin.exchange(server, "POST", "/redfish/v1/SessionService/Sessions",
                                    json.dumps({"UserName": "admin", "Password": "admin"}))[1]
            admin_session = session["Location"]
            action = twin.ACTIONS + "DeleteNamespace"
            # method, path, body, the status for view, op and admin
            cases = [
                ("GET", twin.STATUS_URI, None, (200, 200, 200)),
                ("GET", "/redfish/v1/Systems/Self/Memory/Dimm0001", None, (200, 200, 200)),
                ("GET", "/redfish/v1/AccountService/Accounts/1", None, (403, 403, 200)),
                ("GET", "/redfish/v1/AccountService/Accounts/3", None, (200, 403, 200)),
                ("PATCH", twin.STATUS_URI, {"Note": 1}, (403, 204, 204)),
                ("PATCH", "/redfish/v1/Systems/Self",
                 {"Boot": {"BootSourceOverrideTarget": "Pxe"}}, (403, 204, 204)),
                ("PATCH", "/redfish/v1/SessionService", {"SessionTimeout": 600}, (403, 403, 204)),
                ("PATCH", "/redfish/v1/AccountService", {"AccountLockoutThreshold": 6},
                 (403, 403, 204)),
                ("POST", action, {"Id": "9"}, (403, 202, 409)),
                ("POST", twin.RESET, {"ResetType": "ForceOff"}, (403, 204, 204)),
                ("GET", admin_session, None, (403, 403, 200)),
                ("DELETE", admin_session, None, (403, 403, 204)),
            ]
            for method, uri, body, expected in cases:
                for user, code in zip(("view", "op", "admin"), expected):
                    status, _, text = twin.exchange(
                        server, method, uri, None if body is None else json.dumps(body),
                        basic(user, user if user != "admin" else "admin"))
                    assert status == code, (method, uri, user, status, text[:200])
                    if status == 403:
                        assert json.loads(text)["error"]["code"] == \
                            twin.BASE + "InsufficientPrivilege"
            # One's own password: ConfigureSelf.
            status, _, _ = twin.exchange(server, "PATCH", "/redfish/v1/AccountService/Accounts/3",
                                         json.dumps({"Password": "new-view"}),
                                         basic("view", "view"))
            assert status == 204
            assert twin.exchange(server, "GET", twin.STATUS_URI,
                                 headers=basic("view", "new-view"))[0] == 200
            assert twin.exchange(server, "GET", twin.STATUS_URI,
                                 headers=basic("view", "view"))[0] == 401
            # ... but not another's, nor one's own role.
            for body, index in (({"Password": "x"}, 2), ({"RoleId": "Administrator"}, 3)):
                status = twin.exchange(server, "PATCH",
                                       f"/redfish/v1/AccountService/Accounts/{index}",
                                       json.dumps(body), basic("view", "new-view"))[0]
                assert status == 403, (body, status)


if __name__ == "__main__":
    twin.main(test)
