"""Accounts an administrator creates, changes and deletes: a POST to the
collection (or its Members) gives 201 with Location, the account logs in at
its role and keeps its Id after others go; refusals change nothing (a taken
name, a missing required property, a ReadOnly caller, the last
Administrator); deleting or disabling an account ends its sessions; an
account that must change its password may only log in (told so), read
itself, change its password and log out; created accounts survive --state.
Also the protocol rules these requests meet: a $ query parameter is 501, a
PATCH of annotations only is NoOperation."""

import os
import tempfile

import twin

ACCOUNTS = "/redfish/v1/AccountService/Accounts"
SESSIONS = "/redfish/v1/SessionService/Sessions"


def message(reply):
    return reply[2]["error"]["@Message.ExtendedInfo"][0]["MessageId"].rsplit(".", 1)[1]


def login(server, user, password):
    reply = server.request("POST", SESSIONS, {"UserName": user, "Password": password}, user=None)
    return reply, {"X-Auth-Token": reply[1]["X-Auth-Token"]} if reply[0] == 201 else None


def test(emu, scenarios):
    with tempfile.TemporaryDirectory() as scratch:
        state = os.path.join(scratch, "state.json")
        scenario = os.path.join(scenarios, "twin.json")
        with twin.Twin(emu, scenario, "--power-off", "--state", state) as server:
            created = server.request("POST", ACCOUNTS + "/Members",
                                     {"UserName": "viewer", "Password": "pw-1",
                                      "RoleId": "ReadOnly"})
            assert created[0] == 201, created
            viewer = created[1]["Location"]
            assert created[2]["@odata.id"] == viewer and created[2]["RoleId"] == "ReadOnly"
            assert server.request("GET", twin.STATUS_URI, user=("viewer", "pw-1"))[0] == 200
            assert server.request("GET", viewer, user=("viewer", "pw-1"))[0] == 200

            # Refused, each leaving the collection as it was.
            members = server.request("GET", ACCOUNTS)[2]["Members"]
            refusals = [
                ({"UserName": "viewer", "Password": "x", "RoleId": "Operator"},
                 ("admin", "admin"), 400, "ResourceAlreadyExists"),
                ({"UserName": "nobody", "Password": "x"}, ("admin", "admin"), 400,
                 "PropertyMissing"),
                ({"UserName": "a:b", "Password": "x", "RoleId": "Operator"}, ("admin", "admin"),
                 400, "PropertyValueFormatError"),
                ({"UserName": "p", "Password": "", "RoleId": "Operator"}, ("admin", "admin"),
                 400, "PasswordIncorrectLength"),
                ({"UserName": "p", "Password": "x", "RoleId": "Root"}, ("admin", "admin"), 400,
                 "PropertyValueNotInList"),
                ({"UserName": "p", "Password": "x", "RoleId": "Operator"}, ("viewer", "pw-1"),
                 403, "InsufficientPrivilege"),
            ]
            for body, user, code, key in refusals:
                reply = server.request("POST", ACCOUNTS, body, user=user)
                assert (reply[0], message(reply)) == (code, key), (body, reply)
            assert server.request("GET", ACCOUNTS)[2]["Members"] == members
            for method, body in (("DELETE", None), ("PATCH", {"RoleId": "Operator"}),
                                 ("PATCH", {"Enabled": False})):
                reply = server.request(method, ACCOUNTS + "/1", body)
                assert (reply[0], message(reply)) == (409, "ResourceInUse"), (method, reply)

            # A required password change: the session opens with the message,
            # then only the account itself and its password are reachable.
            assert server.request("PATCH", viewer, {"PasswordChangeRequired": True})[0] == 204
            reply, token = login(server, "viewer", "pw-1")
            assert [m["MessageId"].rsplit(".", 1)[1]
                    for m in reply[2]["@Message.ExtendedInfo"]] == ["PasswordChangeRequired"]
            for method, path, body, code in (("GET", twin.STATUS_URI, None, 403),
                                             ("GET", SESSIONS, None, 403),
                                             ("GET", viewer, None, 200),
                                             ("PATCH", viewer, {"Password": "pw-2"}, 204),
                                             ("GET", SESSIONS, None, 200)):
                got = server.request(method, path, body, user=None, headers=token)
                assert got[0] == code, (method, path, got)
                if code == 403:
                    assert message(got) == "PasswordChangeRequired", got

            # Annotations only change nothing; a $ parameter is not supported.
            reply = server.request("PATCH", viewer, {"@odata.id": viewer})
            assert (reply[0], message(reply)) == (400, "NoOperation"), reply
            for query in ("?$rpvunknown", "?$select=Id", "?only&%24expand=.", "?x=1&$top=2"):
                reply = server.request("GET", "/redfish/v1/" + query)
                assert (reply[0], message(reply)) == (501, "QueryParameterUnsupported"), query
            assert server.request("GET", "/redfish/v1/?only=1")[0] == 200

            # Disabled: its session ends and it can no longer log in.
            assert server.request("PATCH", viewer, {"Enabled": False})[0] == 204
            assert server.request("GET", twin.STATUS_URI, user=None, headers=token)[0] == 401
            assert login(server, "viewer", "pw-2")[0][0] == 401
            assert server.request("PATCH", viewer, {"Enabled": True})[0] == 204
            second = server.request("POST", ACCOUNTS, {"UserName": "op", "Password": "pw-3",
                                                       "RoleId": "Operator"})[1]["Location"]

        with twin.Twin(emu, scenario, "--power-off", "--state", state) as server:
            assert server.request("GET", viewer, user=("viewer", "pw-2"))[0] == 200
            reply, token = login(server, "op", "pw-3")
            assert server.request("DELETE", viewer)[0] == 204
            assert server.request("GET", viewer)[0] == 404
            assert server.request("GET", twin.STATUS_URI, user=("viewer", "pw-2"))[0] == 401
            # Ids are never reused: the next account gets a new one.
            third = server.request("POST", ACCOUNTS, {"UserName": "viewer", "Password": "pw-4",
                                                      "RoleId": "ReadOnly"})[1]["Location"]
            assert third not in (viewer, second), third
            assert server.request("GET", second, user=None, headers=token)[0] == 200
            assert server.request("DELETE", second)[0] == 204
            assert server.request("GET", twin.STATUS_URI, user=None, headers=token)[0] == 401
            assert server.request("GET", reply[1]["Location"])[0] == 404


if __name__ == "__main__":
    twin.main(test)
