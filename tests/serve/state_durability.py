"""Nothing acknowledged may be lost with --state. A change the state file
cannot take is refused (500, InternalError), undone and logged, and goes
through once the file can be written again; a symbolic link where the old
temporary name or the state file itself is written is never written
through; and after kill -9 during a stream of PATCHes every acknowledged
one is there on restart, with no temporary file left behind."""

import glob
import json
import os
import random
import shutil
import signal
import tempfile
import threading
import time

import twin


def patch(server, member, value):
    status, _, body = twin.exchange(server, "PATCH", twin.STATUS_URI,
                                    json.dumps({member: value}),
                                    {"Authorization": twin.ADMIN}, timeout=5)
    return status, body


def test(emu, scenarios):
    scenario = os.path.join(scenarios, "twin.json")
    with tempfile.TemporaryDirectory() as scratch:
        # The file cannot be written: the change is refused and undone.
        folder = os.path.join(scratch, "state")
        os.mkdir(folder)
        state = os.path.join(folder, "twin.state")
        with twin.Twin(emu, scenario, "--state", state, "--power-off") as server:
            assert patch(server, "Kept", 1)[0] == 204
            shutil.rmtree(folder)
            status, body = patch(server, "Lost", 1)
            assert status == 500, f"acknowledged ({status}) though the state cannot be written"
            assert json.loads(body)["error"]["code"] == twin.BASE + "InternalError", body
            assert "Lost" not in server.action_status(), "a refused change stayed"
            deadline = time.monotonic() + 5  # the account line comes on its own thread
            while "cannot create a temporary file" not in server.account():
                assert time.monotonic() < deadline, server.account()
                time.sleep(0.02)
            os.mkdir(folder)
            assert patch(server, "Later", 1)[0] == 204
        with open(state) as file:
            kept = json.load(file)["store"]["documents"]
        status_document = json.loads(dict(kept)[twin.STATUS_URI])
        assert status_document.get("Later") == 1 and "Lost" not in status_document

        # Symbolic links are replaced, never written through.
        victim = os.path.join(scratch, "victim")
        with open(victim, "w") as file:
            file.write("precious")
        linked = os.path.join(scratch, "linked.state")
        elsewhere = os.path.join(scratch, "elsewhere")
        os.symlink(victim, linked + ".new")  # the fixed name writes used to go to
        os.symlink(elsewhere, linked)  # a state file that is a dangling link
        with twin.Twin(emu, scenario, "--state", linked, "--power-off") as server:
            assert patch(server, "Note", 1)[0] == 204
        with open(victim) as file:
            assert file.read() == "precious", "the state was written through a link"
        assert not os.path.exists(elsewhere), "the state was written through a link"
        assert not os.path.islink(linked) and json.load(open(linked))["store"]

        # kill -9 in the middle of writes.
        state = os.path.join(scratch, "killed.state")
        acknowledged = []
        for run in range(5):
            server = twin.Twin(emu, scenario, "--state", state, "--power-off", "--quiet")
            stop = threading.Event()

            def writer():
                index = 0
                while not stop.is_set():
                    try:
                        status, _ = patch(server, f"R{run}_{index}", index)
                    except OSError:
                        return
                    if status == 204:
                        acknowledged.append(f"R{run}_{index}")
                    index += 1

            thread = threading.Thread(target=writer)
            thread.start()
            time.sleep(random.uniform(0.2, 0.8))
            os.kill(server.process.pid, signal.SIGKILL)
            server.process.wait()
            stop.set()
            thread.join(timeout=10)
        assert acknowledged, "no PATCH was acknowledged"
        with twin.Twin(emu, scenario, "--state", state, "--power-off") as server:
            document = server.action_status()
            lost = [name for name in acknowledged if name not in document]
            assert not lost, f"acknowledged and lost: {lost[:5]} of {len(lost)}"
            assert not glob.glob(state + ".*"), glob.glob(state + ".*")


if __name__ == "__main__":
    twin.main(test)
