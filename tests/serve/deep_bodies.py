"""One request must never crash the twin: a JSON body nested 100,000 deep
(and one just past the limit) on every route that parses a body is refused
with a Redfish error and changes nothing; 64 levels are accepted."""

import os

import twin

SYSTEM = "/redfish/v1/Systems/Self"
SESSIONS = "/redfish/v1/SessionService/Sessions"
DEEP = '{"a":' * 100000 + "1" + "}" * 100000


def test(emu, scenarios):
    scenario = os.path.join(scenarios, "twin.json")
    with twin.Twin(emu, scenario, "--power-off") as server:
        # Deep bodies, on every route that parses one.
        before = twin.request(server, "GET", twin.STATUS_URI)[1]["ETag"]
        for method, path, user in (("PATCH", twin.STATUS_URI, True), ("PATCH", SYSTEM, True),
                                   ("POST", twin.ACTIONS + "DeleteNamespace", True),
                                   ("POST", twin.RESET, True), ("POST", SESSIONS, False),
                                   ("PATCH", "/redfish/v1/SessionService", True)):
            for body in (DEEP, "[" * 65 + "]" * 65):
                status, _, answer = twin.request(server, method, path, body, user=user)
                assert (status, twin.error_id(answer)) == (400, twin.BASE + "MalformedJSON"), \
                    f"{method} {path}: {status} {answer[:200]}"
        assert twin.request(server, "GET", twin.STATUS_URI)[1]["ETag"] == before
        # 64 levels are the limit, not past it.
        status, _, _ = twin.request(server, "PATCH", twin.STATUS_URI,
                               '{"N":' + "[" * 63 + "]" * 63 + "}")
        assert status == 204, status

        assert server.process.poll() is None, "the twin died"


if __name__ == "__main__":
    twin.main(test)
