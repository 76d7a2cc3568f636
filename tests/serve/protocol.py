"""The protocol rules of DSP0266, on every route the twin has: the OData
service document and $metadata without credentials; on every GET and HEAD
Allow, Cache-Control, OData-Version and a Link to the schema of the
document's own @odata.type version, HEAD the same without a body; every OEM
type (a document's, an Oem.Velk object's) declared in the OEM schema; Id equal
to the last URI segment; 412 for an OData-Version other than 4.0; 405 with
Allow for a method a resource does not take, 501 for one HTTP does not
define; a POST to a collection's Members as to the collection."""

import json
import os
import re
import xml.etree.ElementTree as ElementTree

import twin

SIMPLE = {"Authorization": twin.ADMIN}
# Every kind of resource the twin serves.
ROUTES = [
    "/redfish/v1", "/redfish/v1/Systems", "/redfish/v1/Systems/Self",
    "/redfish/v1/Systems/Self/Memory", "/redfish/v1/Systems/Self/Memory/Dimm0001",
    "/redfish/v1/Systems/Self/Memory/Dimm0001/MemoryMetrics",
    "/redfish/v1/Systems/Self/MemoryDomains", "/redfish/v1/Systems/Self/MemoryDomains/Socket0",
    "/redfish/v1/Systems/Self/MemoryDomains/Socket0/MemoryChunks",
    "/redfish/v1/Systems/Self/MemoryDomains/Socket0/MemoryChunks/Region1",
    "/redfish/v1/SessionService", "/redfish/v1/SessionService/Sessions",
    "/redfish/v1/AccountService", "/redfish/v1/AccountService/Accounts",
    "/redfish/v1/AccountService/Accounts/1", "/redfish/v1/AccountService/Roles",
    "/redfish/v1/AccountService/Roles/ReadOnly", "/redfish/v1/TaskService",
    "/redfish/v1/TaskService/Tasks", "/redfish/v1/Registries", "/redfish/v1/Registries/Base",
    "/redfish/v1/Registries/Base/Base.1.24.0", twin.STATUS_URI,
]


def test(emu, scenarios):
    with twin.Twin(emu, os.path.join(scenarios, "twin.json"), "--power-off") as server:
        # The OData documents need no credentials.
        status, headers, body = twin.exchange(server, "GET", "/redfish/v1/odata")
        document = json.loads(body)
        assert status == 200 and document["@odata.context"] == "/redfish/v1/$metadata"
        names = {entry["name"]: entry["url"] for entry in document["value"]}
        assert names["Service"] == "/redfish/v1/" and names["Tasks"] == "/redfish/v1/TaskService"
        status, headers, body = twin.exchange(server, "GET", "/redfish/v1/$metadata")
        assert status == 200 and headers["Content-Type"].startswith("application/xml")
        edmx = "{http://docs.oasis-open.org/odata/ns/edmx}"
        root = ElementTree.fromstring(body)
        included = {include.get("Namespace") for include in root.iter(edmx + "Include")}
        container = next(root.iter("{http://docs.oasis-open.org/odata/ns/edm}EntityContainer"))
        assert container.get("Extends").split(".ServiceContainer")[0] in included
        oem = [ref.get("Uri") for ref in root.iter(edmx + "Reference")
               if ref.get("Uri").startswith("/redfish/v1/")]
        declared = set()
        for uri in oem:
            status, headers, schema = twin.exchange(server, "GET", uri)
            assert status == 200 and b"VelkActionStatus" in schema, uri
            declared |= {element.get("Namespace") for element in ElementTree.fromstring(schema)
                         .iter("{http://docs.oasis-open.org/odata/ns/edm}Schema")}

        for path in ROUTES:
            status, headers, body = twin.exchange(server, "GET", path, headers=SIMPLE)
            assert status == 200, (path, status, body[:200])
            for name in ("Allow", "Cache-Control", "ETag"):
                assert name in headers, (path, name, headers)
            assert headers["OData-Version"] == "4.0", path
            assert "GET" in headers["Allow"] and "HEAD" in headers["Allow"], (path, headers)
            document = json.loads(body)
            # Every OEM object and type names a namespace the OEM schema
            # declares and $metadata includes.
            typed = [document] if document.get("@odata.type", "").startswith("#Velk") else []
            if "Velk" in document.get("Oem", {}):
                typed.append(document["Oem"]["Velk"])
            for item in typed:
                namespace = item.get("@odata.type", "#?").rsplit(".", 1)[0][1:]
                assert namespace in declared and namespace in included, (path, namespace)
            if "@odata.type" in document:
                kind = document["@odata.type"][1:]
                link = re.match(r"<([^>]+)>; rel=describedby", headers["Link"])
                assert link, (path, headers.get("Link"))
                if not kind.startswith("Velk"):
                    assert link.group(1) == "http://redfish.dmtf.org/schemas/v1/" + \
                        kind.rsplit(".", 1)[0] + ".json", (path, link.group(1))
            if "Id" in document and path != "/redfish/v1":
                assert document["Id"] == path.rsplit("/", 1)[1], (path, document["Id"])
            head_status, head_headers, head_body = twin.exchange(server, "HEAD", path,
                                                                 headers=SIMPLE)
            assert (head_status, head_body) == (200, b""), path
            assert head_headers["Allow"] == headers["Allow"], path
            assert head_headers["Content-Length"] == headers["Content-Length"], path

        cases = [  # method, path, headers, body, status, Allow
            ("GET", "/redfish/v1/Systems", {"OData-Version": "4.1"}, None, 412, None),
            ("GET", "/redfish/v1/Systems", {"OData-Version": "4.0"}, None, 200, "GET, HEAD"),
            ("DELETE", "/redfish/v1/Systems", {}, None, 405, "GET, HEAD"),
            ("PUT", "/redfish/v1/Systems/Self", {}, "{}", 405, "GET, HEAD, PATCH"),
            ("POST", "/redfish/v1/TaskService/Tasks", {}, "{}", 405, "GET, HEAD"),
            ("POST", "/redfish/v1/TaskService/Tasks/Members", {}, "{}", 405, "GET, HEAD"),
            ("BREW", "/redfish/v1/Systems", {}, None, 501, None),
        ]
        for method, path, headers, body, expected, allow in cases:
            status, answer, text = twin.exchange(server, method, path, body,
                                                 dict(SIMPLE, **headers))
            assert status == expected, (method, path, headers, status, text[:200])
            assert answer.get("Allow") == allow, (method, path, answer)
            if status >= 400:
                assert json.loads(text)["error"]["code"].startswith(twin.BASE), text
        for path in ("/redfish/v1/SessionService/Sessions",
                     "/redfish/v1/SessionService/Sessions/Members"):
            status, headers, _ = twin.exchange(
                server, "POST", path, json.dumps({"UserName": "admin", "Password": "admin"}),
                {"Content-Type": "application/json"})
            assert status == 201 and headers["Location"].startswith(
                "/redfish/v1/SessionService/Sessions/"), (path, status)


if __name__ == "__main__":
    twin.main(test)
