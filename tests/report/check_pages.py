#!/usr/bin/env python3
"""The report page of every scenario, checked from the document.

For each scenario file (the demo scenarios and tests/scenarios) the page that
`nvdimm-emu run --report` writes must be well-formed XHTML with SVG in its own
namespace, fetch nothing, hold one band per boot and, in each band, one arrow
group per `rest` and per `nvdimm` event of that boot in trace order (full URI
in its hover text, byte for byte), a failure symbol exactly on the failed
calls, the full StatusMessage of every PATCH, and the boot's ending. A trace
written here checks what no scenario produces: unknown event kinds, the
operator's `http` events, and folding in a long trace.

usage: check_pages.py NVDIMM_EMU SOURCE_DIR
"""
import glob
import json
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

XHTML = "{http://www.w3.org/1999/xhtml}"
SVG = "{http://www.w3.org/2000/svg}"

failures = []


def fail(where, message):
    failures.append(f"{where}: {message}")


def trace_bytes(text):
    """A trace string back to the bytes it records (\\u00XX escapes are bytes;
    a URI's code unit above 0xFF, written \\uXXXX, is that character in UTF-8)."""
    return b"".join(bytes([ord(c)]) if ord(c) < 0x100 else c.encode("utf-8") for c in text)


def shown(data):
    """The page's rendering of recorded bytes: UTF-8 text as it stands,
    control characters and undecodable bytes as escapes."""
    out = []
    for char in data.decode("utf-8", errors="surrogateescape"):
        code = ord(char)
        if 0xDC80 <= code <= 0xDCFF:
            out.append("\\x%02X" % (code - 0xDC00))
        elif char == "\n":
            out.append("\\n")
        elif char == "\r":
            out.append("\\r")
        elif char == "\t":
            out.append("\\t")
        elif code < 0x20 or code == 0x7F:
            out.append("\\x%02X" % code)
        elif 0x80 <= code <= 0x9F or code in (0xFFFE, 0xFFFF):
            out.extend("\\x%02X" % byte for byte in char.encode("utf-8"))
        else:
            out.append(char)
    return "".join(out)


def classes(element):
    return element.get("class", "").split()


def has_class(element, name):
    return name in classes(element)


def title_of(element):
    title = element.find(SVG + "title")
    return title.text if title is not None and title.text is not None else ""


def rest_failed(event):
    code = event.get("code")
    return code is None or code >= 400 or event.get("status") != "EFI_SUCCESS"


def read_trace(path):
    with open(path, encoding="utf-8") as handle:
        return [json.loads(line) for line in handle if line.strip()]


def check_self_contained(where, text):
    rest = text.replace('xmlns="http://www.w3.org/1999/xhtml"', "")
    rest = rest.replace('xmlns="http://www.w3.org/2000/svg"', "")
    for needle in ("<script", " src=", "url(", "@import", "<link", "xmlns:xlink"):
        if needle in rest:
            fail(where, f"the page holds {needle!r}")
    for part in rest.split('href="')[1:]:
        if not part.startswith("#"):
            fail(where, "a link leaves the page: href=\"" + part[:40])


def bands_of(root):
    return [g for g in root.iter(SVG + "g") if has_class(g, "band")]


def check_page(where, page_path, events):
    with open(page_path, "rb") as handle:
        data = handle.read()
    text = data.decode("utf-8", errors="replace")
    try:
        root = ElementTree.fromstring(data)
    except ElementTree.ParseError as error:
        fail(where, f"not well-formed XML: {error}")
        return None
    if root.tag != XHTML + "html":
        fail(where, f"the root is {root.tag}, not XHTML's html")
    check_self_contained(where, text)

    boots = max([event["boot"] for event in events] or [0])
    bands = bands_of(root)
    if [band.get("data-boot") for band in bands] != [str(n) for n in range(1, boots + 1)]:
        fail(where, f"bands {[b.get('data-boot') for b in bands]}, the trace has {boots} boots")
        return root
    details = [d for d in root.iter(XHTML + "details") if has_class(d, "boot")]
    if len(details) != boots:
        fail(where, f"{len(details)} foldable boots, {boots} boots")

    for number, band in enumerate(bands, start=1):
        boot_events = [e for e in events if e["boot"] == number]
        for kind in ("rest", "nvdimm"):
            drawn = [g for g in band.iter(SVG + "g") if has_class(g, kind)]
            wanted = [e for e in boot_events if e["event"] == kind]
            if len(drawn) != len(wanted):
                fail(where, f"boot {number}: {len(drawn)} {kind} arrows, {len(wanted)} events")
                continue
            for group, event in zip(drawn, wanted):
                check_call(f"{where} boot {number}", kind, group, event)
        check_ending(f"{where} boot {number}", band, boot_events)
    return root


def check_call(where, kind, group, event):
    failed_symbol = any(has_class(g, "symbol") and has_class(g, "fail")
                        for g in group.iter(SVG + "g"))
    if kind == "nvdimm":
        expected_fail = event.get("status", "").startswith("EFI_") and \
            event["status"] != "EFI_SUCCESS" and not event["status"].startswith("EFI_WARN_")
        if failed_symbol != expected_fail:
            fail(where, f"{event['op']} {event['status']}: failure symbol {failed_symbol}")
        if not title_of(group).startswith(shown(trace_bytes(event["op"]))):
            fail(where, f"{event['op']}: hover text {title_of(group)!r}")
        return
    request = shown(trace_bytes(event["method"])) + " " + shown(trace_bytes(event["uri"]))
    if not title_of(group).startswith(request + "\n"):
        fail(where, f"hover text {title_of(group)!r} does not start with {request!r}")
    if group.get("data-code") != ("" if event["code"] is None else str(event["code"])):
        fail(where, f"{request}: data-code {group.get('data-code')}, code {event['code']}")
    reports_failed = False
    texts = {title_of(t) or "".join(t.itertext()) for t in group.iter(SVG + "text")}
    body = event.get("body")
    if event["method"] == "PATCH" and body is not None:
        try:
            members = json.loads(trace_bytes(body).decode("utf-8"))
        except (UnicodeDecodeError, ValueError):
            members = None
        if isinstance(members, dict):
            reports_failed = members.get("Status") == "Failed"
            for name in ("Status", "StatusMessage"):
                if isinstance(members.get(name), str):
                    line = name + ": " + shown(members[name].encode("utf-8"))
                    if line not in texts:
                        fail(where, f"{request}: no label {line!r} (full on hover) among {texts}")
    if failed_symbol != (rest_failed(event) or reports_failed):
        fail(where, f"{request} -> {event['code']} {event['status']}: failure symbol "
                    f"{failed_symbol}")


def check_ending(where, band, boot_events):
    ending = " ".join("".join(t.itertext()) for t in band.iter(SVG + "text")
                      if has_class(t, "end") or has_class(t, "memory"))
    resets = [e for e in boot_events if e["event"] == "reset"]
    leaks = [e for e in boot_events if e["event"] == "leak"]
    if resets:
        wanted = f"ended: {resets[0]['type']} reset by the {resets[0]['by']}"
    else:
        wanted = "ended: end of the boot plan"
    if wanted not in ending:
        fail(where, f"ending {ending!r} lacks {wanted!r}")
    if leaks:
        held = f"{leaks[0]['blocks']} blocks, {leaks[0]['bytes']} bytes"
        if resets:
            wanted = "held at reset: " + held
        elif leaks[0]["blocks"] != 0:
            wanted = "leak: " + held
        else:
            wanted = "nothing held"
        if wanted not in ending:
            fail(where, f"ending {ending!r} lacks {wanted!r}")


def run(command, where):
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    if result.returncode not in (0, 1):
        fail(where, f"{' '.join(command)} exited {result.returncode}: {result.stderr[-300:]!r}")
        return None
    return result


def check_scenarios(emu, source, work):
    scenarios = sorted(glob.glob(os.path.join(source, "scenarios", "*.json")))
    scenarios += sorted(glob.glob(os.path.join(source, "tests", "scenarios", "**", "*.json"),
                                  recursive=True))
    for scenario in scenarios:
        where = os.path.relpath(scenario, source)
        trace = os.path.join(work, "trace.jsonl")
        page = os.path.join(work, "page.html")
        if run([emu, "run", scenario, "--quiet", "--trace", trace, "--report", page],
               where) is None:
            continue
        check_page(where, page, read_trace(trace))
    return len(scenarios)


def synthetic_trace(path, boots, rest_per_boot):
    """A served run: rest events, the operator's http events, an unknown kind."""
    with open(path, "w", encoding="utf-8") as handle:
        for boot in range(1, boots + 1):
            handle.write(json.dumps({"boot": boot, "event": "http", "by": "operator",
                                     "method": "PATCH", "path": "/redfish/v1/Oem/Velk/Viz/"
                                     "ActionStatus", "code": 204}) + "\n")
            for index in range(rest_per_boot):
                handle.write(json.dumps({
                    "boot": boot, "event": "rest", "method": "GET",
                    "uri": "/redfish/v1/Oem/Velk/Viz/ActionStatus", "headers": [],
                    "body": None, "code": 503 if index % 7 == 0 else 200,
                    "status": "EFI_SUCCESS"}) + "\n")
            # No answer, to a URI holding a control byte, a byte that is not
            # UTF-8, and the UTF-8 bytes of "é": shown as \x01, \xFF and é.
            handle.write(json.dumps({
                "boot": boot, "event": "rest", "method": "GET",
                "uri": "/odd/\u0001\u00ff/caf" + "é".encode().decode("latin-1"),
                "headers": [], "body": None, "code": None, "status": "EFI_TIMEOUT"}) + "\n")
            # The bytes of "é" in UTF-8, each written as the trace writes a byte.
            handle.write(json.dumps({"boot": boot, "event": "mystery",
                                     "what": "é".encode().decode("latin-1")}) + "\n")
            if boot < boots:
                handle.write(json.dumps({"boot": boot, "event": "reset", "type": "cold",
                                         "by": "platform"}) + "\n")
        handle.write(json.dumps({"boot": boots, "event": "final", "boots": boots,
                                 "resources": {"/a": "{\"x\":1}"}}) + "\n")


def check_served_and_long(emu, work):
    # (boots, REST calls per boot, folded boots expected)
    table = [(2, 3, []), (3, 300, [2])]
    for boots, rest, folded in table:
        where = f"synthetic trace of {boots} boots x {rest} requests"
        trace = os.path.join(work, "served.jsonl")
        page = os.path.join(work, "served.html")
        synthetic_trace(trace, boots, rest)
        result = run([emu, "report", trace, "-o", page], where)
        if result is None:
            continue
        root = check_page(where, page, read_trace(trace))
        if root is None:
            continue
        lanes = {"".join(t.itertext()) for t in root.iter(SVG + "text") if has_class(t, "lane-name")}
        if "Operator" not in lanes:
            fail(where, f"no operator lane among {lanes}")
        http = [g for g in root.iter(SVG + "g") if has_class(g, "http")]
        if len(http) != boots:
            fail(where, f"{len(http)} http arrows, {boots} events")
        other = [title_of(g) for g in root.iter(SVG + "g") if has_class(g, "other")]
        if other != ['event "mystery": what="é"'] * boots:
            fail(where, f"unknown events drawn as {other}")
        closed = [int(d.get("id").split("-")[1]) for d in root.iter(XHTML + "details")
                  if has_class(d, "boot") and d.get("open") is None]
        if closed != folded:
            fail(where, f"folded boots {closed}, expected {folded}")
    return len(table)


def main():
    emu, source = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as work:
        count = check_scenarios(emu, source, work)
        count += check_served_and_long(emu, work)
        page = os.path.join(work, "demo.html")
        if run([emu, "run", os.path.join(source, "scenarios", "create-goal.json"), "--quiet",
                "--report", page], "create-goal without --trace") is not None:
            with open(page, encoding="utf-8") as handle:
                if ">Operator<" in handle.read():
                    fail("create-goal", "an operator lane without http events")
        bad = subprocess.run([emu, "report", os.path.join(source, "scenarios", "create-goal.json"),
                              "-o", page], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             timeout=60)
        if bad.returncode != 2 or b"line 1: not a trace event" not in bad.stderr:
            fail("a scenario file given as a trace", f"exited {bad.returncode}: {bad.stderr!r}")
    for line in failures[:40]:
        print(line)
    print(f"{count} pages checked, {len(failures)} problems")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
