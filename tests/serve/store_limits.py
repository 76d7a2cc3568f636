"""What the store keeps is bounded: at most 32 action URIs hold parameters
(the next new one is refused with CreateLimitReachedForResource, an old one
can still be issued again), a stored document of at most 1 MiB
(PayloadTooLarge), 8 MiB of action parameters together
(InsufficientStorage). A boot whose driver reads a large parameter document
still stops at once when asked."""

import json
import os

import twin

PREFIX = twin.ACTIONS + "RunDiagnostics/"


def post(server, path, body):
    status, _, answer = twin.exchange(server, "POST", path, json.dumps(body),
                                      {"Authorization": twin.ADMIN}, timeout=10)
    if status == 202:
        # Ended, so that the next action can be issued.
        server.request("PATCH", twin.STATUS_URI, {"Status": "Failed"})
    return status, json.loads(answer)["error"]["code"] if status >= 400 else None


def test(emu, scenarios):
    scenario = os.path.join(scenarios, "twin.json")
    with twin.Twin(emu, scenario, "--power-off") as server:
        codes = [post(server, f"{PREFIX}X{index}", {"DimmPhysicalId": "0x0001"})
                 for index in range(40)]
        accepted = [code for code in codes if code[0] == 202]
        assert codes[len(accepted):] == [(400, twin.BASE + "CreateLimitReachedForResource")] * \
            (40 - len(accepted)), codes
        assert 25 <= len(accepted) <= 32, len(accepted)
        assert post(server, f"{PREFIX}X0", {"DimmPhysicalId": "0x0002"})[0] == 202

        assert post(server, PREFIX + "X1", {"Pad": "x" * (1 << 20)}) == \
            (413, twin.BASE + "PayloadTooLarge")

    with twin.Twin(emu, scenario, "--power-off") as server:
        pad = "x" * 1000000
        codes = [post(server, f"{PREFIX}Big{index}", {"DimmPhysicalId": "0x0001", "Pad": pad})
                 for index in range(10)]
        assert codes[:8] == [(202, None)] * 8, codes
        assert codes[8:] == [(507, twin.BASE + "InsufficientStorage")] * 2, codes
        # The driver reads one of them at the next boot; the twin then stops
        # when asked (the with statement's end), as quickly as ever.
        server.request("POST", PREFIX + "Big0", {"DimmPhysicalId": "0x0001", "Pad": pad})
        assert server.request("POST", twin.RESET, {"ResetType": "On"})[0] == 204
        server.wait_final(seconds=30)


if __name__ == "__main__":
    twin.main(test)
