"""The scenario's accounts: they replace admin/admin, sessions log in and out
with them, and without them serve refuses any address but loopback."""

import json
import os
import subprocess
import tempfile

import twin


def test(emu, scenarios):
    with open(os.path.join(scenarios, "twin.json")) as file:
        scenario = json.load(file)
    with tempfile.TemporaryDirectory() as scratch:
        # Refused before anything listens. The address is a documentation
        # one that this machine does not have, so that even a server missing
        # the check could not listen beyond loopback (it fails to bind).
        refused = subprocess.run([emu, "serve", os.path.join(scenarios, "twin.json"),
                                  "--listen", "192.0.2.1:0", "--max-seconds", "5"],
                                 capture_output=True, text=True, timeout=30)
        assert refused.returncode == 2 and "accounts" in refused.stderr, refused

        scenario["accounts"] = [{"user": "operator", "password": "secret"}]
        path = os.path.join(scratch, "accounts.json")
        with open(path, "w") as file:
            json.dump(scenario, file)
        with twin.Twin(emu, path, "--power-off") as server:
            for user, code in ((("operator", "secret"), 200), (("admin", "admin"), 401),
                               (("operator", "wrong"), 401)):
                assert server.request("GET", "/redfish/v1/Systems", user=user)[0] == code, user
            for body, code in (({"UserName": "admin", "Password": "admin"}, 401),
                               ({"UserName": "operator"}, 400),
                               ({"UserName": "operator", "Password": "secret"}, 201)):
                login = server.request("POST", "/redfish/v1/SessionService/Sessions", body,
                                       user=None)
                assert login[0] == code, (body, login)
            token = {"X-Auth-Token": login[1]["X-Auth-Token"]}
            session = login[1]["Location"]
            assert login[2]["Id"] == session.rsplit("/", 1)[1]
            assert server.request("GET", twin.STATUS_URI, user=None, headers=token)[0] == 200
            assert server.request("DELETE", session, user=None, headers=token)[0] == 204
            assert server.request("GET", twin.STATUS_URI, user=None, headers=token)[0] == 401

        for accounts in ([], [{"user": "", "password": "x"}], [{"user": "u"}], "operator"):
            scenario["accounts"] = accounts
            with open(path, "w") as file:
                json.dump(scenario, file)
            done = subprocess.run([emu, "serve", path, "--max-seconds", "5"],
                                  capture_output=True, text=True, timeout=30)
            assert done.returncode == 2 and "accounts" in done.stderr, (accounts, done)


if __name__ == "__main__":
    twin.main(test)
