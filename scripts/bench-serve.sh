#!/usr/bin/env bash
# Benchmarks of nvdimm-emu serve on loopback (figures, not pass/fail):
#   1. authenticated GETs of ActionStatus per second from 8 parallel
#      keep-alive clients (wrk, 2 threads, 10 s);
#   2. the time from the reset request to the final ActionStatus of a
#      DeleteNamespace, on fresh twins (median and worst of 10), and of 3
#      with --platform qemu when the firmware images are built;
#   3. the server's resident memory after 0, 10,000, 50,000, 100,000 and
#      200,000 requests.
# Every server is started here on 127.0.0.1, bounded by --max-seconds and
# stopped by its process id. Usage: scripts/bench-serve.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
emu="$build/bin/nvdimm-emu"
if [ ! -x "$emu" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j2 --target nvdimm-emu >/dev/null
fi
scratch=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$scratch"' EXIT

start() {  # start SCENARIO: sets pid and url
  "$emu" serve "$1" --listen 127.0.0.1:0 --max-seconds 300 --quiet >"$scratch/out" 2>&1 &
  pid=$!
  for _ in $(seq 100); do
    if head -1 "$scratch/out" | grep -q '^listening on '; then break; fi
    sleep 0.05
  done
  url=$(head -1 "$scratch/out" | sed 's/^listening on //')
}

stop() {
  kill "$pid"
  wait "$pid" || true
  pid=""
}

rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }

auth="Authorization: Basic $(printf admin:admin | base64)"
status_uri=/redfish/v1/Oem/Velk/Viz/ActionStatus

echo "== GETs of ActionStatus per second, 8 keep-alive clients ($(nproc) cores)"
start scenarios/twin.json
wrk -t2 -c8 -d10s -H "$auth" "$url$status_uri" | grep -E 'Requests/sec|Latency|requests in'
stop

reset_to_final() {  # reset_to_final RUNS [serve options...]
/usr/bin/python3 - "$emu" "$@" <<'EOF'
import http.client, json, base64, subprocess, sys, time, statistics, os, signal, select
emu, runs, options = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
auth = {"Authorization": "Basic " + base64.b64encode(b"admin:admin").decode(),
        "Content-Type": "application/json"}
times = []
for _ in range(runs):
    server = subprocess.Popen([emu, "serve", "scenarios/twin.json", "--listen", "127.0.0.1:0",
                               "--max-seconds", "300", "--quiet", "--power-off", *options],
                              stdout=subprocess.PIPE, text=True)
    select.select([server.stdout], [], [], 20)
    port = int(server.stdout.readline().rsplit(":", 1)[1])
    client = http.client.HTTPConnection("127.0.0.1", port)
    def call(method, path, body=None):
        client.request(method, path, None if body is None else json.dumps(body), auth)
        response = client.getresponse()
        return response.status, response.read()
    assert call("POST", "/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.DeleteNamespace",
                {"Id": "1"})[0] == 202
    start = time.perf_counter()
    assert call("POST", "/redfish/v1/Systems/Self/Actions/ComputerSystem.Reset",
                {"ResetType": "ForceRestart"})[0] == 204
    while True:
        status = json.loads(call("GET", "/redfish/v1/Oem/Velk/Viz/ActionStatus")[1])
        if status.get("Status") in ("Success", "Failed"):
            break
    times.append((time.perf_counter() - start) * 1000)
    assert status["Status"] == "Success", status
    client.close()
    os.kill(server.pid, signal.SIGTERM)
    server.wait(timeout=15)
print(f"median {statistics.median(times):.1f} ms, worst {max(times):.1f} ms, "
      f"best {min(times):.1f} ms over {len(times)} runs")
EOF
}

echo "== reset request to final ActionStatus, DeleteNamespace, host platform"
reset_to_final 10
if [ -f "$build/qemu/NvdimmPlatform.efi" ] && [ -f "$build/efi/NvdimmRemoteActionDxe.efi" ]; then
  echo "== the same with --platform qemu (a QEMU boot of OVMF each time)"
  reset_to_final 3 --platform qemu
fi

echo "== resident memory of the server against the requests it answered"
start scenarios/twin.json
echo "0 requests: $(rss_kib "$pid") KiB"
total=0
for target in 10000 50000 100000 200000; do
  # wrk runs for a time, not a count: run it in short bursts until the total
  # reaches the target.
  while [ "$total" -lt "$target" ]; do
    count=$(wrk -t2 -c8 -d1s -H "$auth" "$url$status_uri" | awk '/requests in/ {print $1}')
    total=$((total + count))
  done
  echo "$total requests: $(rss_kib "$pid") KiB"
done
stop
