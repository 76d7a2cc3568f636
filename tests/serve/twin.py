"""Starts and stops nvdimm-emu serve for the serve tests.

Every server listens on 127.0.0.1 with a port of its own choosing, is bounded
by --max-seconds and stopped by its process id.
"""

import base64
import http.client
import json
import os
import select
import signal
import socket
import subprocess
import sys
import threading
import time
import urllib.request

STATUS_URI = "/redfish/v1/Oem/Velk/Viz/ActionStatus"
ACTIONS = "/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ."
RESET = "/redfish/v1/Systems/Self/Actions/ComputerSystem.Reset"
FINAL = ("Success", "Failed")
# The MessageId prefix of the Base registry the twin answers with.
BASE = "Base.1.24."


class Twin:
    """One nvdimm-emu serve process; use it in a with statement."""

    def __init__(self, emu, scenario, *options, max_seconds=90):
        self.command = [emu, "serve", scenario, "--listen", "127.0.0.1:0",
                        "--max-seconds", str(max_seconds), *options]
        self.lines = []
        self.process = subprocess.Popen(self.command, stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, text=True)
        ready, _, _ = select.select([self.process.stdout], [], [], 20)
        first = self.process.stdout.readline() if ready else ""
        if not first.startswith("listening on "):
            self.stop()
            raise RuntimeError(f"no listening line from {self.command}: {first!r}")
        self.url = first.split()[-1]
        self.port = int(self.url.rsplit(":", 1)[1])
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.append(line)

    def stop(self):
        """SIGTERM by process id; the exit status (SIGKILL after 15 s)."""
        if self.process.poll() is None:
            os.kill(self.process.pid, signal.SIGTERM)
        try:
            return self.process.wait(timeout=15)
        except subprocess.TimeoutExpired:
            os.kill(self.process.pid, signal.SIGKILL)
            self.process.wait()
            raise

    def __enter__(self):
        return self

    def __exit__(self, kind, *exc):
        code = self.stop()
        if hasattr(self, "reader"):
            self.reader.join(timeout=5)
        # A crash, a sanitizer's report or a leak at exit fails the test.
        if kind is None:
            assert code == 0, f"{self.command} exited with {code}:\n{self.account()}"

    def account(self):
        return "".join(self.lines)

    def request(self, method, path, body=None, user=("admin", "admin"), headers=None):
        """(status, headers, parsed JSON or None) of one request."""
        request = urllib.request.Request(self.url + path, method=method,
                                         data=None if body is None else json.dumps(body).encode())
        if user:
            import base64
            pair = base64.b64encode(f"{user[0]}:{user[1]}".encode()).decode()
            request.add_header("Authorization", "Basic " + pair)
        for name, value in (headers or {}).items():
            request.add_header(name, value)
        try:
            with urllib.request.urlopen(request, timeout=10) as response:
                text = response.read()
                return response.status, response.headers, json.loads(text) if text else None
        except urllib.error.HTTPError as error:
            text = error.read()
            return error.code, error.headers, json.loads(text) if text else None

    def action_status(self, user=("admin", "admin")):
        return self.request("GET", STATUS_URI, user=user)[2]

    def wait_final(self, seconds=30):
        """ActionStatus once its Status is Success or Failed."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            status = self.action_status()
            if status.get("Status") in FINAL:
                return status
            time.sleep(0.05)
        raise AssertionError(f"ActionStatus not final after {seconds} s: {status}")


ADMIN = "Basic " + base64.b64encode(b"admin:admin").decode()


def exchange(server, method, path, body=None, headers=None, source="127.0.0.1", timeout=10):
    """(status, headers dict, body bytes) of one request on a fresh
    connection from the loopback address `source`."""
    connection = http.client.HTTPConnection("127.0.0.1", server.port, timeout=timeout,
                                            source_address=(source, 0))
    try:
        connection.request(method, path, body=body, headers=headers or {})
        answer = connection.getresponse()
        return answer.status, dict(answer.getheaders()), answer.read()
    finally:
        connection.close()


def request(server, method, path, body=None, headers=None, user=True):
    """exchange() of a JSON body (when there is one), as admin unless `user`
    is false."""
    fields = {"Content-Type": "application/json"} if body is not None else {}
    if user:
        fields["Authorization"] = ADMIN
    fields.update(headers or {})
    return exchange(server, method, path, body, fields)


def redfishtool(server, *arguments):
    """Debian's redfishtool against the twin as admin over plain HTTP; its
    standard output (it must succeed)."""
    command = ["redfishtool", "-r", f"127.0.0.1:{server.port}", "-u", "admin", "-p", "admin",
               "-S", "Never", *arguments]
    done = subprocess.run(command, capture_output=True, text=True, timeout=60)
    assert done.returncode == 0, f"{command}: {done.returncode}\n{done.stdout}\n{done.stderr}"
    return done.stdout


def error_id(body):
    """The MessageId of a Redfish error body."""
    return json.loads(body)["error"]["code"]


def raw(server, data, source="127.0.0.1", timeout=5):
    """Sends bytes on a fresh connection and returns everything read until
    the server closes it or `timeout` seconds pass without a byte."""
    with socket.create_connection(("127.0.0.1", server.port), timeout=timeout,
                                  source_address=(source, 0)) as client:
        client.sendall(data)
        received = b""
        try:
            while True:
                piece = client.recv(65536)
                if not piece:
                    break
                received += piece
        except socket.timeout:
            pass
        return received


# The five actions on the default platform: target (with its sub-path),
# parameters and the message the driver reports.
FIVE_ACTIONS = [
    ("DeleteNamespace", "DeleteNamespace", {"Id": "1"},
     "(UEFI UPDATE): DeleteNamespace performed Successfully"),
    ("CreateNamespace", "CreateNamespace",
     {"RegionId": "0x1", "Name": "db-log", "Mode": "fsdax", "CapacityMiB": 8192},
     "(UEFI UPDATE): CreateNamespace performed Successfully"),
    ("DeletePlatformConfigurationData", "DeletePlatformConfigurationData/Dimm0011",
     {"DimmPhysicalId": "0x0011"},
     "(UEFI UPDATE): DeletePlatformConfigurationData performed Successfully"),
    ("RunDiagnostics", "RunDiagnostics/Dimm0001",
     {"QuickTest": True, "FwTest": True, "DimmPhysicalId": "0x0001"},
     "Diagnostics Quick,Fw: DIMM 0x0001 passed"),
    ("CreateGoal", "CreateGoal",
     {"ConfigurationLevel": "Platform", "MemoryMode": 0, "Reserved": 0,
      "PersistentMemoryType": "AppDirect"},
     "(UEFI UPDATE): CreateGoal performed Successfully"),
]


def main(test):
    """Runs test(emu, scenario_dir) with the command line's arguments."""
    emu, scenarios = sys.argv[1], sys.argv[2]
    # Tests that use a self-signed certificate must not have these override
    # verify=False; none of the tests need them.
    for name in ("REQUESTS_CA_BUNDLE", "CURL_CA_BUNDLE"):
        os.environ.pop(name, None)
    # Every request goes to 127.0.0.1 directly, whatever proxy is set.
    os.environ["NO_PROXY"] = os.environ["no_proxy"] = "127.0.0.1,localhost"
    test(emu, scenarios)
    print("ok")
