"""Every document the twin serves, reached by following its links from the
service root (and a task, a session), checked against the property names
and JSON types of the DMTF schema version it claims (schema_table.py): no
property the version does not define, every required one present, every
value of the type and enumeration the schema gives. A checker that finds
nothing would find nothing everywhere: it is shown to catch a wrong
document first."""

import json
import os
import re

import schema_table as table
import twin

ANNOTATION = re.compile(r"^([A-Za-z_][A-Za-z0-9_]*)?@(odata|Redfish|Message)\.[A-Za-z_][A-Za-z0-9_]*$")


def check_value(value, code, where, problems):
    nullable = code.endswith("?")
    code = code.rstrip("?")
    if value is None:
        if not nullable:
            problems.append(f"{where}: null where the schema allows none")
        return
    if code.startswith("a:"):
        if not isinstance(value, list):
            problems.append(f"{where}: not an array")
            return
        for index, item in enumerate(value):
            check_value(item, code[2:], f"{where}[{index}]", problems)
        return
    kind = code.split(":", 1)
    if kind[0] == "s" and not isinstance(value, str):
        problems.append(f"{where}: not a string")
    elif kind[0] == "i" and (not isinstance(value, int) or isinstance(value, bool)):
        problems.append(f"{where}: not an integer")
    elif kind[0] == "n" and (not isinstance(value, (int, float)) or isinstance(value, bool)):
        problems.append(f"{where}: not a number")
    elif kind[0] == "b" and not isinstance(value, bool):
        problems.append(f"{where}: not a boolean")
    elif kind[0] == "l" and (not isinstance(value, dict) or list(value) != ["@odata.id"]):
        problems.append(f"{where}: not a link")
    elif kind[0] == "e" and value not in table.ENUMS[kind[1]]:
        problems.append(f"{where}: {value!r} is not a {kind[1]}")
    elif kind[0] == "o":
        if not isinstance(value, dict):
            problems.append(f"{where}: not an object")
        elif len(kind) == 2:
            check_object(value, table.DEFINITIONS[kind[1]], [], where, problems)


def check_object(document, properties, required, where, problems):
    for name, value in document.items():
        if name in properties:
            check_value(value, properties[name], f"{where}/{name}", problems)
        elif not ANNOTATION.match(name):
            problems.append(f"{where}: {name} is not defined by the schema")
    for name in required:
        if name not in document:
            problems.append(f"{where}: the required {name} is missing")


def check(document, where):
    """The problems of one document ([] when none); None for a type the
    table does not hold (the OEM types)."""
    kind = document.get("@odata.type", "")
    match = re.match(r"^#([A-Za-z]+)\.(?:(v\d+_\d+_\d+)\.)?([A-Za-z]+)$", kind)
    if not match:
        return [f"{where}: @odata.type {kind!r} does not read"]
    namespace, version, name = match.groups()
    problems = []
    if namespace in table.COLLECTIONS:
        check_object(document, table.COLLECTION, ["@odata.id", "@odata.type", "Name", "Members",
                                                  "Members@odata.count"], where, problems)
        if document.get("Members@odata.count") != len(document.get("Members", [])):
            problems.append(f"{where}: Members@odata.count is not the count")
        return problems
    if namespace not in table.TYPES:
        return None
    claimed, required, properties = table.TYPES[namespace]
    if version != claimed:
        problems.append(f"{where}: claims {version}, the table holds {claimed}")
    check_object(document, properties, required, where, problems)
    return problems


def crawl(server, starts):
    seen, queue, documents = set(), list(starts), {}
    while queue:
        path = queue.pop(0)
        if path in seen or "/Actions/" in path or path.endswith(".xml"):
            continue
        seen.add(path)
        status, _, body = twin.exchange(server, "GET", path, headers={"Authorization": twin.ADMIN})
        if status != 200:
            continue
        document = json.loads(body)
        documents[path] = document

        def links(value):
            if isinstance(value, dict):
                for key, item in value.items():
                    if key == "@odata.id" and isinstance(item, str):
                        yield item.split("#")[0]
                    else:
                        yield from links(item)
            elif isinstance(value, list):
                for item in value:
                    yield from links(item)
        queue.extend(link.rstrip("/") or "/" for link in links(document))
    return documents


def test(emu, scenarios):
    # The checker catches what it must.
    wrong = {"@odata.type": "#Memory.v1_23_0.Memory", "@odata.id": "/x", "Id": "x", "Name": "x",
             "CapacityMiB": "128", "MemoryType": "Flash", "Colour": "blue",
             "Regions": [{"RegionId": 1}], "Status": {"Health": "Fine"}}
    found = " ".join(check(wrong, "wrong"))
    for expected in ("CapacityMiB: not an integer", "'Flash' is not a MemoryType",
                     "Colour is not defined", "RegionId: not a string", "'Fine' is not a Health"):
        assert expected in found, (expected, found)
    assert check(dict(wrong, **{"@odata.type": "#Memory.v1_20_0.Memory"}), "old")[0].endswith(
        "claims v1_20_0, the table holds v1_23_0")

    with twin.Twin(emu, os.path.join(scenarios, "twin.json"), "--power-off") as server:
        name, target, parameters, message = twin.FIVE_ACTIONS[3]
        task = server.request("POST", twin.ACTIONS + target, parameters)[2]["@odata.id"]
        server.request("POST", twin.RESET, {"ResetType": "On"})
        server.wait_final()
        session = twin.exchange(server, "POST", "/redfish/v1/SessionService/Sessions",
                                json.dumps({"UserName": "admin", "Password": "admin"}))[1]
        documents = crawl(server, ["/redfish/v1", task, session["Location"]])
    checked, problems = 0, []
    for path, document in documents.items():
        found = check(document, path)
        if found is not None:
            checked += 1
            problems += found
    assert not problems, "\n".join(problems)
    kinds = {document["@odata.type"].split(".")[0] for document in documents.values()}
    for kind in ("#ServiceRoot", "#Memory", "#MemoryMetrics", "#MemoryDomain", "#MemoryChunks",
                 "#ComputerSystem", "#Task", "#Session", "#ManagerAccount", "#Role",
                 "#AccountService", "#MessageRegistryFile", "#TaskService", "#SessionService"):
        assert kind in kinds, (kind, sorted(kinds))
    assert checked >= 25, checked
    print(f"{checked} documents checked")


if __name__ == "__main__":
    twin.main(test)
