"""The NVDIMMs in the standard inventory, from the NVDIMM model, before and
after each action's boot: one Memory per module (read with sushy,
redfishtool and curl alike), the system's MemorySummary agreeing with it
(python3-sushy's memory_summary), the persistent regions as MemoryChunks
with their namespaces under Oem.Velk; a deleted namespace goes, a created
one comes, a goal shows as pending and then as the regions it made, an
erase clears a module's regions, diagnostics set a module's health."""

import json
import os
import subprocess
import time

import sushy

import twin

MEMORY = "/redfish/v1/Systems/Self/Memory"
CHUNKS = "/redfish/v1/Systems/Self/MemoryDomains/Socket0/MemoryChunks"


def get(server, path):
    return server.request("GET", path)[2]


def inventory(server):
    """{module id: Memory document}, {chunk id: MemoryChunks document}."""
    modules = {member["@odata.id"].rsplit("/", 1)[1]: get(server, member["@odata.id"])
               for member in get(server, MEMORY)["Members"]}
    chunks = {member["@odata.id"].rsplit("/", 1)[1]: get(server, member["@odata.id"])
              for member in get(server, CHUNKS)["Members"]}
    return modules, chunks


def namespaces(chunks):
    return sorted(n["Name"] for chunk in chunks.values() for n in chunk["Oem"]["Velk"]["Namespaces"])


def run(server, index):
    """Issues an action, resets, and follows its task monitor to the end: the
    inventory then shows what the boots did."""
    name, target, parameters, message = twin.FIVE_ACTIONS[index]
    issued = server.request("POST", twin.ACTIONS + target, parameters)
    assert issued[0] == 202, issued
    assert server.request("POST", twin.RESET, {"ResetType": "ForceRestart"})[0] == 204
    deadline = time.monotonic() + 30
    while (answer := server.request("GET", issued[1]["Location"]))[0] == 202:
        assert time.monotonic() < deadline, answer
        time.sleep(0.02)
    assert answer[0] == 200, answer
    assert server.action_status().get("StatusMessage") == message


def test(emu, scenarios):
    with twin.Twin(emu, os.path.join(scenarios, "twin.json"), "--power-off") as server:
        modules, chunks = inventory(server)
        assert sorted(modules) == ["Dimm0001", "Dimm0011"], modules
        assert all(m["MemoryType"] == "IntelOptane" and m["CapacityMiB"] == 131072
                   for m in modules.values()), modules
        assert list(chunks) == ["Region1"] and namespaces(chunks) == ["namespace0"], chunks
        assert chunks["Region1"]["AddressRangeType"] == "PMEM"
        assert {s["Memory"]["@odata.id"].rsplit("/", 1)[1]
                for s in chunks["Region1"]["InterleaveSets"]} == set(modules)

        root = sushy.Sushy(server.url + "/redfish/v1", username="admin", password="admin")
        summary = root.get_system("/redfish/v1/Systems/Self").memory_summary
        assert summary.size_gib == sum(m["CapacityMiB"] for m in modules.values()) / 1024
        system = get(server, "/redfish/v1/Systems/Self")
        assert system["MemorySummary"]["TotalSystemPersistentMemoryGiB"] == \
            sum(c["MemoryChunkSizeMiB"] for c in chunks.values()) / 1024
        for tool in (["redfishtool", "-r", f"127.0.0.1:{server.port}", "-u", "admin", "-p",
                      "admin", "-S", "Never", "raw", "GET", MEMORY],
                     ["curl", "-s", "-u", "admin:admin", server.url + MEMORY]):
            listed = json.loads(subprocess.run(tool, capture_output=True, text=True,
                                               timeout=30, check=True).stdout)
            assert listed["Members@odata.count"] == 2, (tool[0], listed)
        tag = server.request("GET", MEMORY + "/Dimm0001")[1]["ETag"]

        run(server, 0)  # DeleteNamespace
        modules, chunks = inventory(server)
        assert namespaces(chunks) == [], chunks
        run(server, 1)  # CreateNamespace db-log
        modules, chunks = inventory(server)
        assert namespaces(chunks) == ["db-log"], chunks
        run(server, 3)  # RunDiagnostics on Dimm0001: passed
        modules, _ = inventory(server)
        assert modules["Dimm0001"]["Status"]["Health"] == "OK"
        assert modules["Dimm0001"]["Oem"]["Velk"]["LastDiagnostics"]["Tests"] == ["Quick", "Fw"]
        assert server.request("GET", MEMORY + "/Dimm0001")[1]["ETag"] != tag
        run(server, 2)  # DeletePlatformConfigurationData on Dimm0011
        modules, chunks = inventory(server)
        assert modules["Dimm0011"]["Regions"] == [] and chunks == {}, (modules, chunks)
        run(server, 4)  # CreateGoal: applied by the boot after the driver's reset
        modules, chunks = inventory(server)
        assert chunks and all(not m["Oem"]["Velk"]["GoalPending"] for m in modules.values())
        assert all(c["AddressRangeType"] == "PMEM" for c in chunks.values()), chunks


if __name__ == "__main__":
    twin.main(test)
