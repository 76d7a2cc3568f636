"""The HTTP framing and conditional-header cases standard clients send,
read as RFC 9110 and 9112 say: pipelined requests answered in order, an
absent body read as empty, a body read as JSON whatever its Content-Type,
413 before the body of an oversized one, If-Match lists, weak
If-None-Match; and the property values and credentials the twin takes:
allowable values only, Base64 as it is written."""

import base64
import json
import os
import socket

import twin

SYSTEM = "/redfish/v1/Systems/Self"
SESSIONS = "/redfish/v1/SessionService/Sessions"


def test(emu, scenarios):
    scenario = os.path.join(scenarios, "twin.json")
    with twin.Twin(emu, scenario, "--power-off") as server:
        # Three pipelined requests in one write: three answers, in order.
        get = (f"GET {{}} HTTP/1.1\r\nHost: x\r\nAuthorization: {twin.ADMIN}\r\n\r\n")
        data = (get.format("/redfish/v1") + get.format("/redfish/v1/Systems") +
                get.format("/redfish/v1/Nothing")).encode()
        answers = twin.raw(server, data, timeout=2).split(b"HTTP/1.1 ")[1:]
        assert [a[:3] for a in answers] == [b"200", b"200", b"404"], answers

        # A POST without body or Content-Length has an empty body.
        head = (f"POST {twin.ACTIONS}DeleteNamespace HTTP/1.1\r\nHost: x\r\n"
                f"Authorization: {twin.ADMIN}\r\nConnection: close\r\n\r\n")
        assert twin.raw(server, head.encode()).startswith(b"HTTP/1.1 202"), "empty POST refused"
        twin.request(server, "PATCH", twin.STATUS_URI, '{"Status": "Failed"}')

        # A body over 8,192 bytes sent as curl -d sends it (a form type).
        big = json.dumps({"Id": "1", "Pad": "x" * 20000})
        status, _, answer = twin.request(server, "POST", twin.ACTIONS + "DeleteNamespace", big,
                                    {"Content-Type": "application/x-www-form-urlencoded"})
        assert status == 202, (status, answer[:200])
        twin.request(server, "PATCH", twin.STATUS_URI, '{"Status": "Failed"}')

        # A Content-Length over the limit: 413 without waiting for the body.
        with socket.create_connection(("127.0.0.1", server.port), timeout=3) as client:
            client.sendall((f"PATCH {twin.STATUS_URI} HTTP/1.1\r\nHost: x\r\n"
                            f"Authorization: {twin.ADMIN}\r\n"
                            f"Content-Length: {20 << 20}\r\n\r\n").encode())
            assert client.recv(4096).startswith(b"HTTP/1.1 413"), "no 413 before the body"

        # Conditional headers.
        cases = [  # If-Match of a PATCH (TAG: the current ETag), its status
            ('"0000000000000000", TAG', 204),
            ('"0000000000000000"', 412),
            ("W/TAG", 412),  # If-Match compares strongly
            ("*", 204),
        ]
        for condition, expected in cases:
            tag = twin.request(server, "GET", twin.STATUS_URI)[1]["ETag"]
            headers = {"If-Match": condition.replace("TAG", tag)}
            status = twin.request(server, "PATCH", twin.STATUS_URI, '{"Note": 1}', headers)[0]
            assert status == expected, (headers, status)
        tag = twin.request(server, "GET", twin.STATUS_URI)[1]["ETag"]
        for header in (tag, "W/" + tag, f'"x", W/{tag}'):
            status = twin.request(server, "GET", twin.STATUS_URI, None, {"If-None-Match": header})[0]
            assert status == 304, (header, status)

        # Allowable values, and Base64 as it is written.
        status, _, answer = twin.request(server, "PATCH", SYSTEM,
                                    '{"Boot": {"BootSourceOverrideTarget": "Floppy"}}')
        assert (status, twin.error_id(answer)) == (400, twin.BASE + "PropertyValueNotInList"), status
        garbage = "Basic " + base64.b64encode(b"admin:admin").decode() + "!!garbage"
        status = twin.request(server, "GET", twin.STATUS_URI, None, {"Authorization": garbage},
                         user=False)[0]
        assert status == 401, status
        assert server.process.poll() is None, "the twin died"


if __name__ == "__main__":
    twin.main(test)
