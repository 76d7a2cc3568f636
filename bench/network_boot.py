#!/usr/bin/env python3
"""What the network mode costs a boot in OVMF under TCG: the REST producer
over OVMF's HTTP and TCP drivers and virtio-net, beside the platform image's
UART channel.

    bench/network_boot.py NVDIMM_EMU [--runs N]

Two measurements, each repeated N times (default 3), medians printed:

1. `nvdimm-emu serve scenarios/twin.json --platform qemu [--network]`: boot 1
   finds nothing pending; an operator then issues DeleteNamespace and resets,
   and boot 2 carries it out. The twin prints each request it answers as it
   answers it; the script notes when each of the driver's lines arrives, and
   gives the time from the driver's first request of a boot to its last, and
   how many there were, for the UART channel and for the network.
2. `nvdimm-emu run scenarios/delete-namespace.json --platform qemu --network
   --keep DIR`, with the guest's address static and by DHCP: QEMU's capture
   of the guest's frames (DIR/network-1.pcap) gives the TCP connections the
   guest opened to the service, and the time from the interface's first
   frame to the service's first HTTP answer.

Only loopback and QEMU's restricted user network are used; every process is
bounded in time and stopped by its process id.
"""
import json
import os
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
STATUS = "/redfish/v1/Oem/Velk/Viz/ActionStatus"
DELETE = "/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.DeleteNamespace"
RESET = "/redfish/v1/Systems/Self/Actions/ComputerSystem.Reset"
SERVICE = bytes([10, 0, 2, 100])


class Serve:
    """One serve process whose stdout lines are kept with their arrival time."""

    def __init__(self, emu, network):
        self.command = [emu, "serve", os.path.join(ROOT, "scenarios", "twin.json"),
                        "--listen", "127.0.0.1:0", "--max-seconds", "400",
                        "--platform", "qemu"] + (["--network"] if network else [])
        self.process = subprocess.Popen(self.command, stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, text=True)
        first = self.process.stdout.readline()
        if not first.startswith("listening on "):
            self.stop()
            raise RuntimeError("%s: %r" % (self.command, first))
        self.url = first.split()[-1]
        self.lines = []
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.append((time.monotonic(), line.rstrip("\n")))

    def stop(self):
        if self.process.poll() is None:
            os.kill(self.process.pid, signal.SIGTERM)
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            os.kill(self.process.pid, signal.SIGKILL)
            self.process.wait()

    def request(self, method, path, body=None):
        request = urllib.request.Request(self.url + path, method=method,
                                         data=None if body is None else json.dumps(body).encode())
        request.add_header("Authorization", "Basic YWRtaW46YWRtaW4=")
        with urllib.request.urlopen(request, timeout=10) as answer:
            text = answer.read()
            return json.loads(text) if text else None

    def wait_for(self, predicate, seconds):
        deadline = time.monotonic() + seconds
        while not predicate():
            if time.monotonic() > deadline:
                raise RuntimeError("timed out:\n" + "\n".join(l for _, l in self.lines))
            time.sleep(0.1)

    def boot_ended(self, boot):
        """The boot's account (which comes at its end) has arrived."""
        text = "\n".join(line for _, line in self.lines)
        if "boot %d (" % boot not in text:
            return False
        return "driver: entry returned" in text.split("boot %d (" % boot, 1)[1]

    def driver_requests(self, boot):
        """Arrival times of the driver's request lines of one boot."""
        times, inside = [], False
        for moment, line in self.lines:
            if line.startswith("boot "):
                inside = line.startswith("boot %d (" % boot)
            elif inside and line.startswith("http driver"):
                times.append(moment)
        return times


def serve_run(emu, network):
    """{boot: (requests, seconds from the first to the last)} of one twin."""
    twin = Serve(emu, network)
    try:
        twin.wait_for(lambda: twin.boot_ended(1), 180)
        twin.request("POST", DELETE, {"Id": "1"})
        twin.request("POST", RESET, {"ResetType": "ForceRestart"})
        twin.wait_for(lambda: twin.boot_ended(2), 180)
        status = twin.request("GET", STATUS)
        if status.get("Status") != "Success":
            raise RuntimeError("DeleteNamespace did not succeed: %s" % status)
        result = {}
        for boot in (1, 2):
            times = twin.driver_requests(boot)
            result[boot] = (len(times), times[-1] - times[0] if times else 0.0)
        return result
    finally:
        twin.stop()


def frames(path):
    """(seconds, frame bytes) of a pcap file."""
    data = open(path, "rb").read()
    magic = struct.unpack_from("<I", data, 0)[0]
    scale = 1e9 if magic == 0xA1B23C4D else 1e6
    offset = 24
    while offset + 16 <= len(data):
        seconds, fraction, kept, _ = struct.unpack_from("<IIII", data, offset)
        offset += 16
        yield seconds + fraction / scale, data[offset:offset + kept]
        offset += kept


def capture_figures(path):
    """(connections to the service, seconds from the first frame to the first
    HTTP answer) of one boot's capture."""
    first = None
    connections = 0
    answered = None
    for moment, frame in frames(path):
        first = moment if first is None else first
        if len(frame) < 34 or struct.unpack_from(">H", frame, 12)[0] != 0x0800 or frame[23] != 6:
            continue
        tcp = 14 + (frame[14] & 15) * 4
        flags = frame[tcp + 13]
        payload = frame[tcp + (frame[tcp + 12] >> 4) * 4:]
        if frame[30:34] == SERVICE and flags & 0x12 == 0x02:
            connections += 1
        if frame[26:30] == SERVICE and payload.startswith(b"HTTP/1.") and answered is None:
            answered = moment
    return connections, (answered - first) if answered is not None and first is not None else None


def run_capture(emu, address):
    with tempfile.TemporaryDirectory(prefix="nvdimm-bench-net-") as folder:
        done = subprocess.run([emu, "run", os.path.join(ROOT, "scenarios", "delete-namespace.json"),
                               "--platform", "qemu", "--network", "--guest-address", address,
                               "--keep", folder, "--quiet"], capture_output=True, text=True,
                              timeout=300)
        if done.returncode != 0:
            raise RuntimeError(done.stderr)
        return capture_figures(os.path.join(folder, "network-1.pcap"))


def main(argv):
    if len(argv) < 2:
        sys.stderr.write(__doc__)
        return 2
    emu = argv[1]
    runs = int(argv[argv.index("--runs") + 1]) if "--runs" in argv else 3
    served = {"uart": [], "network": []}
    captured = {"static": [], "dhcp": []}
    for _ in range(runs):
        for mode in served:
            served[mode].append(serve_run(emu, mode == "network"))
        for address in captured:
            captured[address].append(run_capture(emu, address))

    print("driver's requests per boot, first to last (serve --platform qemu, median of %d)" % runs)
    print("| boot | channel | requests | first to last ms |")
    print("|---|---|---|---|")
    for boot, what in ((1, "nothing pending"), (2, "DeleteNamespace")):
        for mode in served:
            counts = [run[boot][0] for run in served[mode]]
            spans = [run[boot][1] * 1000 for run in served[mode]]
            print("| %s | %s | %d | %.1f |" % (what, mode, statistics.median(counts),
                                              statistics.median(spans)))
    print()
    print("DeleteNamespace in network mode (run --platform qemu, median of %d)" % runs)
    print("| guest address | TCP connections | first frame to first answer ms |")
    print("|---|---|---|")
    for address, figures in captured.items():
        answers = [seconds * 1000 for _, seconds in figures if seconds is not None]
        print("| %s | %s | %s |" % (address, "/".join(str(c) for c, _ in figures),
                                     "%.0f" % statistics.median(answers) if answers else "none"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
