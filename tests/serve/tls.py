"""serve --tls: HTTPS with a self-signed certificate, for the operator (curl,
sushy with verify=False) and for the driver's own requests, which then go
over TLS to the same listener; plain HTTP to it fails."""

import os
import subprocess
import tempfile
import time

import sushy

import twin


def test(emu, scenarios):
    scenario = os.path.join(scenarios, "twin.json")
    with tempfile.TemporaryDirectory() as scratch:
        cert, key = os.path.join(scratch, "cert.pem"), os.path.join(scratch, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                        "-subj", "/CN=127.0.0.1", "-keyout", key, "-out", cert],
                       check=True, capture_output=True, timeout=60)
        with twin.Twin(emu, scenario, "--tls", cert, key, "--power-off") as server:
            assert server.url.startswith("https://127.0.0.1:"), server.url
            plain = subprocess.run(["curl", "-s", "--max-time", "5", "-o", "/dev/null", "-w",
                                    "%{http_code}", server.url.replace("https", "http", 1) +
                                    "/redfish/v1"], capture_output=True, text=True, timeout=30)
            assert plain.stdout != "200", plain
            root = sushy.Sushy(server.url + "/redfish/v1", username="admin", password="admin",
                               verify=False)
            system = root.get_system("/redfish/v1/Systems/Self")
            assert system.power_state == sushy.PowerState.OFF
            name, target, parameters, message = twin.FIVE_ACTIONS[0]
            assert root._conn.post(twin.ACTIONS + target, data=parameters).status_code == 202
            system.reset_system(sushy.ResetType.ON)
            done = subprocess.run(["curl", "-s", "-k", "--max-time", "5", "-u", "admin:admin",
                                   server.url + twin.STATUS_URI], capture_output=True,
                                  text=True, timeout=30)
            for _ in range(200):
                status = root._conn.get(twin.STATUS_URI).json()
                if status["Status"] in twin.FINAL:
                    break
                time.sleep(0.05)
            assert status.get("StatusMessage") == message, status
            assert done.returncode == 0 and '"Status"' in done.stdout, done
            assert "http driver: PATCH " + twin.STATUS_URI + " 204" in server.account()


if __name__ == "__main__":
    twin.main(test)
