"""curl against a twin: every error status with its Redfish error body and
the store unchanged after it, 401 without credentials, a client that goes
away mid-request, and two clients patching at once without losing a change."""

import json
import os
import socket
import subprocess
import tempfile
import threading

import twin

SYSTEM = "/redfish/v1/Systems/Self"


def curl(server, method, path, data=None, user="admin:admin", headers=(), data_file=None):
    """(status, headers as a lower-case dict, body text)."""
    command = ["curl", "-sS", "--max-time", "20", "-X", method, "-D", "-",
               "-o", "/dev/stdout", server.url + path]
    if user:
        command += ["-u", user]
    for header in headers:
        command += ["-H", header]
    if data is not None:
        command += ["--data-binary", data]
    if data_file is not None:
        command += ["--data-binary", "@" + data_file]
    done = subprocess.run(command, capture_output=True, timeout=30)
    assert done.returncode == 0, done.stderr
    head, _, body = done.stdout.decode("latin-1").partition("\r\n\r\n")
    # A 100 Continue comes before the answer.
    while head.startswith("HTTP/1.1 100"):
        head, _, body = body.partition("\r\n\r\n")
    lines = head.split("\r\n")
    fields = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        fields[name.strip().lower()] = value.strip()
    return int(lines[0].split()[1]), fields, body


def etag(server, path):
    status, fields, _ = curl(server, "GET", path)
    assert status == 200
    return fields["etag"]


def test(emu, scenarios):
    scenario = os.path.join(scenarios, "twin.json")
    with twin.Twin(emu, scenario) as server, tempfile.TemporaryDirectory() as scratch:
        big = os.path.join(scratch, "big.json")
        with open(big, "wb") as file:
            file.write(b'{"Pad":"' + b"x" * (16 << 20) + b'"}')
        status_tag = etag(server, twin.STATUS_URI)
        issue = twin.ACTIONS + "DeleteNamespace"
        # method, path, body, user, headers, body file, status, message id, Allow
        cases = [
            ("GET", "/redfish/v1/Nothing", None, "admin:admin", [], None, 404,
             "ResourceNotFound", None),
            ("PATCH", twin.STATUS_URI, '{"Status": ', "admin:admin", [], None, 400,
             "MalformedJSON", None),
            ("PATCH", twin.STATUS_URI, '["Status"]', "admin:admin", [], None, 400,
             "MalformedJSON", None),
            ("PATCH", SYSTEM, '{"Colour": "blue"}', "admin:admin", [], None, 400,
             "PropertyUnknown", None),
            ("PATCH", SYSTEM, '{"Boot": {"Colour": "blue"}}', "admin:admin", [], None, 400,
             "PropertyUnknown", None),
            ("PATCH", twin.STATUS_URI, '{"Status": "Issued"}', "admin:admin",
             ['If-Match: "0000000000000000"'], None, 412, "PreconditionFailed", None),
            ("POST", twin.ACTIONS + "FormatModule", "{}", "admin:admin", [], None, 400,
             "ActionNotSupported", None),
            ("POST", twin.RESET, '{"ResetType": "Explode"}', "admin:admin", [], None, 400,
             "ActionParameterValueNotInList", None),
            ("GET", "/redfish/v1/Systems", None, None, [], None, 401, "NoValidSession", None),
            ("GET", twin.STATUS_URI, None, "admin:wrong", [], None, 401, "NoValidSession", None),
            ("GET", twin.STATUS_URI, None, None, ["X-Auth-Token: 0123"], None, 401,
             "NoValidSession", None),
            ("DELETE", "/redfish/v1/Systems", None, "admin:admin", [], None, 405,
             "OperationNotAllowed", "GET, HEAD"),
            ("PUT", twin.STATUS_URI, "{}", "admin:admin", [], None, 405,
             "OperationNotAllowed", "GET, HEAD, PATCH"),
            ("PATCH", twin.STATUS_URI, None, "admin:admin", [], big, 413, "PayloadTooLarge", None),
            ("POST", issue, None, "admin:admin", [], big, 413, "PayloadTooLarge", None),
        ]
        for method, path, data, user, headers, data_file, code, message, allow in cases:
            case = f"{method} {path} {headers}"
            status, fields, body = curl(server, method, path, data, user, headers, data_file)
            assert status == code, f"{case}: {status} {body}"
            error = json.loads(body)["error"]
            assert error["code"] == twin.BASE + message, f"{case}: {error}"
            assert error["message"], case
            assert error["@Message.ExtendedInfo"][0]["MessageId"] == error["code"], case
            if code == 401:
                assert fields["www-authenticate"].startswith("Basic"), case
            assert fields.get("allow") == allow, f"{case}: {fields}"
        assert etag(server, twin.STATUS_URI) == status_tag, "an error changed ActionStatus"
        assert server.action_status() == {"@odata.id": twin.STATUS_URI,
                                          "@odata.type": "#VelkActionStatus.v1_0_0."
                                                         "VelkActionStatus",
                                          "Id": "ActionStatus", "Name": "Action Status"}

        # The current ETag: 304 for If-None-Match, and a PATCH under it applies.
        status, _, _ = curl(server, "GET", twin.STATUS_URI, headers=[f"If-None-Match: {status_tag}"])
        assert status == 304
        status, fields, _ = curl(server, "PATCH", twin.STATUS_URI, '{"Note": "one"}',
                                 headers=[f"If-Match: {status_tag}"])
        assert status == 204
        assert fields["etag"] == etag(server, twin.STATUS_URI) != status_tag
        status, _, _ = curl(server, "PATCH", twin.STATUS_URI, '{"Note": "two"}',
                            headers=[f"If-Match: {status_tag}"])
        assert status == 412
        assert server.action_status()["Note"] == "one"

        # An action waiting: a second one is refused and changes nothing.
        status, fields, _ = curl(server, "POST", issue, '{"Id": "1"}')
        assert (status, fields["location"]) == (202, "/redfish/v1/TaskService/TaskMonitors/1")
        waiting = etag(server, twin.STATUS_URI)
        status, _, body = curl(server, "POST", twin.ACTIONS + "CreateNamespace", '{"Name": "x"}')
        assert status == 409 and json.loads(body)["error"]["code"] == twin.BASE + "ResourceInUse"
        assert etag(server, twin.STATUS_URI) == waiting
        status, _, _ = curl(server, "GET", twin.ACTIONS + "CreateNamespace")
        assert status == 404

        # A client that sends half a request and goes away changes nothing.
        for partial in (b"PATCH " + twin.STATUS_URI.encode() +
                        b" HTTP/1.1\r\nHost: x\r\nAuthorization: Basic YWRtaW46YWRtaW4=\r\n"
                        b"Content-Length: 100\r\n\r\n{\"Status\": \"Failed\"",
                        b"PATCH " + twin.STATUS_URI.encode() + b" HTTP/1.1\r\nHost: x\r\n"):
            with socket.create_connection(("127.0.0.1", server.port), timeout=5) as client:
                client.sendall(partial)
        assert etag(server, twin.STATUS_URI) == waiting

        # Two clients at once, each adding its own members one PATCH at a
        # time: every member of both is there afterwards.
        def patches(client, count):
            config = os.path.join(scratch, f"client{client}.curl")
            with open(config, "w") as file:
                for index in range(count):
                    if index:
                        file.write("next\n")
                    file.write(f'url = "{server.url}{twin.STATUS_URI}"\nrequest = PATCH\n'
                               f'user = "admin:admin"\nsilent\noutput = /dev/null\n'
                               f'data = "{{\\"C{client}_{index}\\": {index}}}"\n')
            subprocess.run(["curl", "-K", config], check=True, timeout=120)

        clients = [threading.Thread(target=patches, args=(client, 150)) for client in (1, 2)]
        for client in clients:
            client.start()
        for client in clients:
            client.join()
        members = server.action_status()
        for client in (1, 2):
            for index in range(150):
                assert members.get(f"C{client}_{index}") == index, f"C{client}_{index} lost"
        assert server.process.poll() is None, "the server died"


if __name__ == "__main__":
    twin.main(test)
