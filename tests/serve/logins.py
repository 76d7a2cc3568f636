"""Failed logins cost the attacker: after 5 wrong passwords an account is
locked (its right password refused too, for AccountLockoutDuration) while
other accounts and the driver go on; a client address that fails 20 times
is refused whatever it sends, for a minute, while other addresses are
served."""

import base64
import json
import os
import tempfile
import time

import twin

SESSIONS = "/redfish/v1/SessionService/Sessions"


def login(server, user, password, source):
    return twin.exchange(server, "POST", SESSIONS,
                         json.dumps({"UserName": user, "Password": password}),
                         {"Content-Type": "application/json"}, source=source)[0]


def basic(server, user, password, source):
    pair = base64.b64encode(f"{user}:{password}".encode()).decode()
    return twin.exchange(server, "GET", twin.STATUS_URI, headers={"Authorization": "Basic " + pair},
                         source=source)[0]


def test(emu, scenarios):
    with open(os.path.join(scenarios, "twin.json")) as file:
        scenario = json.load(file)
    scenario["accounts"] = [{"user": "admin", "password": "admin"},
                            {"user": "operator", "password": "op-secret"}]
    with tempfile.TemporaryDirectory() as scratch:
        path = os.path.join(scratch, "accounts.json")
        with open(path, "w") as file:
            json.dump(scenario, file)
        with twin.Twin(emu, path, "--power-off") as server:
            statuses = [login(server, "admin", f"guess{n}", "127.0.0.5") for n in range(100)]
            assert statuses == [401] * 100, statuses
            # Locked: the right password does not help, from any address.
            assert login(server, "admin", "admin", "127.0.0.6") == 401
            assert basic(server, "admin", "admin", "127.0.0.6") == 401
            # The other account, and the driver, are not held up.
            assert login(server, "operator", "op-secret", "127.0.0.6") == 201
            name, target, parameters, message = twin.FIVE_ACTIONS[0]
            assert basic(server, "operator", "op-secret", "127.0.0.6") == 200
            status, _, _ = twin.exchange(
                server, "POST", twin.ACTIONS + target, json.dumps(parameters),
                {"Authorization": "Basic " + base64.b64encode(b"operator:op-secret").decode()})
            assert status == 202
            status, _, _ = twin.exchange(
                server, "POST", twin.RESET, json.dumps({"ResetType": "On"}),
                {"Authorization": "Basic " + base64.b64encode(b"operator:op-secret").decode()})
            assert status == 204
            assert wait_driver(server), "the driver did not report"
            # 100 failures from 127.0.0.5: that address is refused even with
            # an account that works elsewhere.
            assert login(server, "operator", "op-secret", "127.0.0.5") == 401
            assert basic(server, "operator", "op-secret", "127.0.0.5") == 401
            assert basic(server, "operator", "op-secret", "127.0.0.7") == 200


def wait_driver(server):
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        if "http driver: PATCH " + twin.STATUS_URI + " 204" in server.account():
            return True
        time.sleep(0.05)
    return False


if __name__ == "__main__":
    twin.main(test)
