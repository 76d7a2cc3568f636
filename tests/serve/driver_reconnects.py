"""The driver's requests survive a kept-alive connection the service has
closed. Over TLS to the twin after the host was idle longer than the host
listener keeps a connection: two idle boots and an action, every driver
request answered (no EFI_DEVICE_ERROR in the trace). And, to make the race
certain, run --redfish against a scripted service (HTTP and HTTPS) that
closes its first connection when the second request arrives on it: the
request goes once more on a fresh connection and the action completes."""

import json
import os
import socket
import ssl
import subprocess
import tempfile
import threading
import time

import twin

ISSUED = {"Status": "Issued", "ActionName": "DeleteNamespace",
          "ActionUri": "/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.DeleteNamespace"}


class ClosingService:
    """Answers as a minimal Redfish service; its first connection is closed,
    unanswered, when its second request has arrived."""

    def __init__(self, context=None):
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        self.context = context
        self.status = dict(ISSUED)
        self.connections = 0
        self.stop = False
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        self.listener.settimeout(0.2)
        while not self.stop:
            try:
                client, _ = self.listener.accept()
            except socket.timeout:
                continue
            self.connections += 1
            if self.context:
                client = self.context.wrap_socket(client, server_side=True)
            threading.Thread(target=self.talk, args=(client, self.connections),
                             daemon=True).start()

    def talk(self, client, number):
        reader = client.makefile("rb")
        served = 0
        with client:
            while True:
                line = reader.readline()
                if not line:
                    return
                method, path, _ = line.decode().split(" ", 2)
                length = 0
                while True:
                    header = reader.readline().decode()
                    if header in ("\r\n", ""):
                        break
                    if header.lower().startswith("content-length:"):
                        length = int(header.split(":")[1])
                body = reader.read(length) if length else b""
                if number == 1 and served == 1:
                    return  # closed, unanswered, as an idle close that crossed it
                served += 1
                if method == "PATCH":
                    self.status.update(json.loads(body))
                    client.sendall(b"HTTP/1.1 204 No Content\r\n\r\n")
                    continue
                document = self.status if path.endswith("ActionStatus") else {"Id": "1"}
                text = json.dumps(document).encode()
                client.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                               b"Content-Length: %d\r\n\r\n" % len(text) + text)


def test(emu, scenarios):
    scenario = os.path.join(scenarios, "twin.json")
    name, target, parameters, message = twin.FIVE_ACTIONS[0]
    with tempfile.TemporaryDirectory() as scratch:
        cert, key = os.path.join(scratch, "cert.pem"), os.path.join(scratch, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                        "-subj", "/CN=127.0.0.1", "-keyout", key, "-out", cert],
                       check=True, capture_output=True, timeout=60)
        trace = os.path.join(scratch, "trace.jsonl")
        with twin.Twin(emu, scenario, "--tls", cert, key, "--trace", trace) as server:
            for _ in range(2):
                time.sleep(3)  # the host listener closes idle connections after 2 s
                # An idle boot: nothing pending.
                done = subprocess.run(
                    ["curl", "-sk", "--max-time", "5", "-u", "admin:admin", "-d",
                     '{"ResetType": "ForceRestart"}', server.url + twin.RESET],
                    capture_output=True, timeout=30)
                assert done.returncode == 0
            time.sleep(3)
            done = subprocess.run(["curl", "-sk", "--max-time", "5", "-u", "admin:admin", "-d",
                                   json.dumps(parameters), server.url + twin.ACTIONS + target],
                                  capture_output=True, timeout=30)
            assert done.returncode == 0
            time.sleep(3)
            subprocess.run(["curl", "-sk", "--max-time", "5", "-u", "admin:admin", "-d",
                            '{"ResetType": "ForceRestart"}', server.url + twin.RESET],
                           capture_output=True, timeout=30, check=True)
            deadline = time.monotonic() + 20
            while "http driver: PATCH " + twin.STATUS_URI not in server.account():
                assert time.monotonic() < deadline, server.account()
                time.sleep(0.1)
        events = [json.loads(line) for line in open(trace)]
    rests = [event for event in events if event["event"] == "rest"]
    failed = [event for event in rests if event["status"] != "EFI_SUCCESS"]
    assert not failed, failed
    assert len({event["boot"] for event in rests}) == 4, rests
    final = [event for event in events if event["event"] == "final"][0]
    status = json.loads(final["resources"][twin.STATUS_URI])
    assert status.get("StatusMessage") == message, status

    with tempfile.TemporaryDirectory() as scratch:
        cert, key = os.path.join(scratch, "cert.pem"), os.path.join(scratch, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                        "-subj", "/CN=127.0.0.1", "-keyout", key, "-out", cert],
                       check=True, capture_output=True, timeout=60)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        for scheme, tls in (("http", None), ("https", context)):
            service = ClosingService(tls)
            trace = os.path.join(scratch, scheme + ".jsonl")
            done = subprocess.run([emu, "run", os.path.join(scenarios, "delete-namespace.json"),
                                   "--quiet", "--trace", trace, "--redfish",
                                   f"{scheme}://127.0.0.1:{service.port}"],
                                  capture_output=True, text=True, timeout=60)
            service.stop = True
            rests = [json.loads(line) for line in open(trace)
                     if json.loads(line)["event"] == "rest"]
            assert [event["status"] for event in rests] == ["EFI_SUCCESS"] * len(rests), \
                (scheme, rests)
            assert service.connections >= 2, (scheme, service.connections)
            assert service.status["Status"] == "Success", (scheme, service.status, done.stderr)


if __name__ == "__main__":
    twin.main(test)
