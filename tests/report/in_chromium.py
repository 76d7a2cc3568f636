#!/usr/bin/env python3
"""The CreateGoal demo's report page as a browser shows it, in headless Chromium.

  in_chromium.py dom NVDIMM_EMU SOURCE_DIR
      Chromium's --dump-dom of the page (the document after its HTML parser
      read it) holds the title, the outcome, one band per boot inside its
      foldable boot and outside its summary line, and one arrow group per
      REST call: an HTML parser reads the page as an XML parser does.
  in_chromium.py screenshot NVDIMM_EMU SOURCE_DIR
      A screenshot is not blank: enough drawn pixels, and each lane's head in
      its own colour, so the SVG rendered with its style.
  in_chromium.py save NVDIMM_EMU SOURCE_DIR PNG
      Writes the screenshot, cut below the page's end, to PNG (the picture in
      docs/).

Exits 77 (skipped) when Chromium is not installed. Each Chromium run is
bounded by `timeout 60` and uses a profile directory of its own.
"""
import html.parser
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

SKIP = 77
WIDTH = 1000
HEIGHT = 1700
# The lane heads' fill colours (the page's style): platform, NVDIMM, driver, Redfish.
LANE_COLOURS = {"platform": (0xEC, 0xEF, 0xF2), "nvdimm": (0xF1, 0xE9, 0xFB),
                "driver": (0xDD, 0xF4, 0xFF), "redfish": (0xDA, 0xFB, 0xE1)}


def chromium(arguments, work):
    profile = tempfile.mkdtemp(dir=work)
    command = ["timeout", "60", "chromium", "--headless", "--no-sandbox", "--disable-gpu",
               "--disable-quic", "--no-first-run", "--disable-background-networking",
               "--disable-component-update", "--disable-sync", "--user-data-dir=" + profile,
               "--hide-scrollbars"] + arguments
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=90)
    if result.returncode != 0:
        sys.exit(f"chromium exited {result.returncode}: {result.stderr[-400:]!r}")
    return result.stdout


def make_page(emu, source, work):
    page = os.path.join(work, "create-goal.html")
    result = subprocess.run([os.path.abspath(emu), "run", "scenarios/create-goal.json", "--quiet",
                             "--report", page], cwd=source, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, timeout=60)
    if result.returncode != 0:
        sys.exit(f"nvdimm-emu exited {result.returncode}: {result.stderr!r}")
    return page


class Outline(html.parser.HTMLParser):
    """Where the boots, bands and arrows are in the parsed document."""

    VOID = {"meta", "br", "hr", "img", "input", "link", "area", "base", "col", "embed",
            "source", "track", "wbr"}

    def __init__(self):
        super().__init__()
        self.stack = []
        self.bands = []        # the enclosing tags of every band
        self.rest = 0
        self.text = []

    def handle_starttag(self, tag, attrs):
        classes = (dict(attrs).get("class") or "").split()
        if tag == "g" and "band" in classes:
            self.bands.append(list(self.stack))
        if tag == "g" and "rest" in classes:
            self.rest += 1
        if tag not in self.VOID:
            self.stack.append(tag + ("." + ".".join(classes) if classes else ""))

    def handle_endtag(self, tag):
        for index in range(len(self.stack) - 1, -1, -1):
            if self.stack[index].split(".")[0] == tag:
                del self.stack[index:]
                return

    def handle_data(self, data):
        self.text.append(data)


def check_dom(page, work):
    dom = chromium(["--dump-dom", "file://" + page], work).decode("utf-8")
    outline = Outline()
    outline.feed(dom)
    problems = []
    text = " ".join(outline.text)
    for wanted in ("CreateGoal: Success after 2 boots", "held at reset: 27 blocks, 1125 bytes",
                   "Boot 2 ended: end of the boot plan"):
        if wanted not in text:
            problems.append(f"the rendered document lacks {wanted!r}")
    if len(outline.bands) != 2:
        problems.append(f"{len(outline.bands)} bands, 2 boots")
    for enclosing in outline.bands:
        if "details.boot" not in enclosing or any(t.startswith("summary") for t in enclosing):
            problems.append(f"a band sits in {'/'.join(enclosing)}")
    if outline.rest != 6:
        problems.append(f"{outline.rest} REST arrows, 6 REST calls")
    return problems


def read_png(data):
    """Width, height and rows of RGB(A) pixel bytes of an 8-bit PNG."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    position = 8
    compressed = b""
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        chunk = data[position + 8:position + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", chunk)
        elif kind == b"IDAT":
            compressed += chunk
        position += 12 + length
    if depth != 8 or colour not in (2, 6) or interlace != 0:
        raise ValueError(f"an unexpected PNG kind: depth {depth}, colour {colour}")
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(compressed)
    stride = width * channels
    rows = []
    previous = bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind = raw[start]
        row = bytearray(raw[start + 1:start + 1 + stride])
        if kind == 1:
            for i in range(channels, stride):
                row[i] = (row[i] + row[i - channels]) & 0xFF
        elif kind == 2:
            row = bytearray((a + b) & 0xFF for a, b in zip(row, previous))
        elif kind == 3:
            for i in range(stride):
                left = row[i - channels] if i >= channels else 0
                row[i] = (row[i] + ((left + previous[i]) >> 1)) & 0xFF
        elif kind == 4:
            for i in range(stride):
                a = row[i - channels] if i >= channels else 0
                b = previous[i]
                c = previous[i - channels] if i >= channels else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                nearest = a if pa <= pb and pa <= pc else b if pb <= pc else c
                row[i] = (row[i] + nearest) & 0xFF
        rows.append(row)
        previous = row
    return width, height, channels, rows


def write_png(path, width, channels, rows):
    raw = b"".join(b"\x00" + bytes(row) for row in rows)
    colour = 2 if channels == 3 else 6

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + \
            struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    with open(path, "wb") as handle:
        handle.write(b"\x89PNG\r\n\x1a\n")
        handle.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, len(rows), 8, colour, 0, 0, 0)))
        handle.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        handle.write(chunk(b"IEND", b""))


def screenshot(page, work):
    path = os.path.join(work, "page.png")
    chromium([f"--window-size={WIDTH},{HEIGHT}", "--screenshot=" + path, "file://" + page], work)
    with open(path, "rb") as handle:
        return read_png(handle.read())


def check_screenshot(page, work):
    width, height, channels, rows = screenshot(page, work)
    problems = []
    if (width, height) != (WIDTH, HEIGHT):
        problems.append(f"a screenshot of {width}x{height}, not {WIDTH}x{HEIGHT}")
    drawn = 0
    lanes = dict.fromkeys(LANE_COLOURS, 0)
    for row in rows:
        for x in range(0, width * channels, channels):
            pixel = (row[x], row[x + 1], row[x + 2])
            if pixel != (255, 255, 255):
                drawn += 1
                for lane, colour in LANE_COLOURS.items():
                    if all(abs(p - c) <= 2 for p, c in zip(pixel, colour)):
                        lanes[lane] += 1
    if drawn < width * height // 20:
        problems.append(f"a blank screenshot: {drawn} of {width * height} pixels drawn")
    for lane, count in lanes.items():
        # Two lane heads (one per boot), each some 150 x 26 pixels inside its border.
        if count < 2000:
            problems.append(f"the {lane} lane's heads cover {count} pixels")
    return problems


def save(page, work, target):
    width, _, channels, rows = screenshot(page, work)
    # Cut below the last row that is not white, with a margin.
    last = max(y for y, row in enumerate(rows) if row.count(255) != len(row))
    write_png(target, width, channels, rows[:min(len(rows), last + 24)])
    return []


def main():
    mode, emu, source = sys.argv[1], sys.argv[2], sys.argv[3]
    if shutil.which("chromium") is None:
        print("chromium is not installed (scripts/setup.sh installs it): skipped")
        return SKIP
    with tempfile.TemporaryDirectory() as work:
        page = make_page(emu, source, work)
        if mode == "dom":
            problems = check_dom(page, work)
        elif mode == "screenshot":
            problems = check_screenshot(page, work)
        else:
            problems = save(page, work, sys.argv[4])
    for problem in problems:
        print(problem)
    print(f"{mode}: {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
