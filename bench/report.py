#!/usr/bin/env python3
"""Prints the benchmark table of scripts/bench.sh.

  report.py --time TIME.json [--callgrind DIR]
            [--image IMAGE --map MAP [--driver-alone IMAGE]]

TIME.json is nvdimm-bench's Google Benchmark output (with repetitions: the
medians are used). DIR holds the callgrind.out.* files of one
`nvdimm-bench --callgrind` run under valgrind. IMAGE and MAP are the firmware
image and its lld link map; the driver-alone image is the driver's objects
linked without cJSON and the run-time.
"""

import argparse
import glob
import json
import os
import re
import sys
from collections import defaultdict

# Rows in the order nvdimm-bench registers them; sizes likewise.
SIZE_ORDER = ["min", "1KiB", "64KiB", "1MiB", "8MiB"]


def CaseKey(Name):
    Row, Size = Name.rsplit("/", 1)
    return (Row, SIZE_ORDER.index(Size) if Size in SIZE_ORDER else len(SIZE_ORDER))


def ReadTimes(Path):
    """{(kind, case): entry} with the median of every repetition, or the
    single run when there were no repetitions."""
    with open(Path) as File:
        Data = json.load(File)
    Entries = {}
    for Entry in Data["benchmarks"]:
        Name = Entry.get("run_name", Entry["name"])
        Kind, Case = Name.split("/", 1)
        Aggregate = Entry.get("aggregate_name")
        if Aggregate == "median" or (Aggregate is None and (Kind, Case) not in Entries):
            Entries[(Kind, Case)] = Entry
    return Entries


def Seconds(Entry, Key="cpu_time"):
    Scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[Entry.get("time_unit", "ns")]
    return Entry[Key] * Scale


def ReadCallgrind(Directory):
    """{(kind, case): instructions} from the dumps' descriptions."""
    Counts = {}
    for Path in glob.glob(os.path.join(Directory, "callgrind.out.*")):
        Name = None
        Total = None
        with open(Path, errors="replace") as File:
            for Line in File:
                Prefix = "desc: Trigger: Client Request: "
                if Line.startswith(Prefix):
                    Name = Line[len(Prefix):].strip()
                elif Line.startswith("totals:") or (Total is None and Line.startswith("summary:")):
                    Total = int(Line.split()[1])
        if Name and Total is not None and "/" in Name:
            Kind, Case = Name.split("/", 1)
            Counts[(Kind, Case)] = Total
    return Counts


def Table(Header, Rows, Left=(0,)):
    Widths = [max(len(str(Row[Index])) for Row in [Header] + Rows) for Index in range(len(Header))]
    Lines = []
    for Number, Row in enumerate([Header] + Rows):
        Cells = [str(Cell).ljust(Widths[Index]) if Index in Left else str(Cell).rjust(Widths[Index])
                 for Index, Cell in enumerate(Row)]
        Lines.append("| " + " | ".join(Cells) + " |")
        if Number == 0:
            Lines.append("|" + "|".join("-" * (Width + 2) for Width in Widths) + "|")
    return "\n".join(Lines)


def Micro(Value):
    return f"{Value * 1e6:,.1f}"


def PerByte(Value, Bytes, Scale=1e9):
    return f"{Value * Scale / Bytes:.1f}" if Bytes else "-"


def TimeTable(Times):
    Cases = sorted({Case for Kind, Case in Times if Kind == "driver"}, key=CaseKey)
    Rows = []
    for Case in Cases:
        Driver = Times[("driver", Case)]
        Base = Times.get(("baseline", Case))
        Bytes = int(Driver.get("BodyBytes", 0))
        # The platform's share is measured on the wall clock; it is applied
        # to the CPU time, which a busy machine does not inflate.
        Total = Seconds(Driver)
        Share = min(Driver.get("PlatformSeconds", 0.0) / Seconds(Driver, "real_time"), 1.0)
        Platform = Total * Share
        Own = Total - Platform
        BaseTime = Seconds(Base) if Base else 0.0
        Rows.append([
            Case, f"{Bytes:,}", Micro(Total), Micro(Platform), Micro(Own),
            Micro(BaseTime) if Base else "-",
            f"{Own / BaseTime:.2f}" if BaseTime else "-",
            f"{Total / BaseTime:.2f}" if BaseTime else "-",
            PerByte(Own, Bytes), PerByte(BaseTime, Bytes),
            f"{int(Driver.get('Allocations', 0)):,} ({int(Base.get('Allocations', 0)):,})" if Base else "-",
            f"{int(Driver.get('PeakBytes', 0)):,} ({int(Base.get('PeakBytes', 0)):,})" if Base else "-",
        ])
    Header = ["case", "body B", "total us", "platform us", "driver us", "baseline us",
              "driver/base", "total/base", "driver ns/B", "base ns/B", "allocs (base)",
              "peak B (base)"]
    return Table(Header, Rows)


def CallgrindTable(Counts, Bytes):
    Cases = sorted({Case for Kind, Case in Counts if Kind == "driver"}, key=CaseKey)
    Rows = []
    for Case in Cases:
        Total = Counts.get(("driver", Case), 0)
        Own = Counts.get(("driver-only", Case), 0)
        Base = Counts.get(("baseline", Case), 0)
        Size = Bytes.get(Case, 0)
        Rows.append([
            Case, f"{Size:,}" if Case in Bytes else "?", f"{Total:,}", f"{Total - Own:,}", f"{Own:,}",
            f"{Base:,}", f"{Own / Base:.2f}" if Base else "-", f"{Total / Base:.2f}" if Base else "-",
            PerByte(Own, Size, 1), PerByte(Base, Size, 1),
        ])
    Header = ["case", "body B", "Ir total", "Ir platform", "Ir driver", "Ir baseline",
              "driver/base", "total/base", "driver Ir/B", "base Ir/B"]
    return Table(Header, Rows)


def ImageGroup(Object):
    Name = os.path.basename(Object)
    if Name.startswith("cjson_"):
        return "cJSON"
    if Name.startswith("efi_runtime_"):
        return "C run-time (for cJSON)"
    return "driver"


def ImageReport(Image, MapPath, DriverAlone=None):
    ImageSize = os.path.getsize(Image)
    Lines = [f"Image {os.path.basename(Image)}: {ImageSize:,} bytes"]
    if DriverAlone and os.path.exists(DriverAlone):
        AloneSize = os.path.getsize(DriverAlone)
        Lines.append(f"The driver's objects linked alone (cJSON and its run-time left out): "
                     f"{AloneSize:,} bytes; cJSON with its run-time adds {ImageSize - AloneSize:,} bytes")
    # lld's map: "Address Size Align Out In Symbol"; output sections have an
    # Out name, input sections an In path "object:(section)".
    Section = None
    Groups = defaultdict(lambda: defaultdict(int))
    OutputSizes = {}
    Symbols = []
    Last = None
    with open(MapPath) as File:
        next(File)
        for Line in File:
            Fields = Line.split(None, 3)
            if len(Fields) < 4:
                continue
            Size = int(Fields[1], 16)
            Text = Line[24:].rstrip("\n")
            Indent = len(Text) - len(Text.lstrip(" "))
            Text = Text.strip()
            if Indent == 0:
                Section = Text
                OutputSizes[Section] = Size
            elif Indent == 8:
                Object = re.sub(r":\([^)]*\)$", "", Text)
                Groups[ImageGroup(Object)][Section] += Size
                Last = [Size, None, os.path.basename(Object)]
                Symbols.append(Last)
            elif Last is not None and Last[1] is None:
                Last[1] = Text
    Order = ["driver", "cJSON", "C run-time (for cJSON)"]
    Sections = sorted(set(OutputSizes) | {Name for Group in Groups.values() for Name in Group})
    Rows = []
    Counted = 0
    for Group in Order:
        Row = [Group] + [f"{Groups[Group].get(Name, 0):,}" for Name in Sections]
        Row.append(f"{sum(Groups[Group].values()):,}")
        Counted += sum(Groups[Group].values())
        Rows.append(Row)
    # What the map lists by section only: merged string literals, padding
    # between input sections, the base relocations.
    Unlisted = {Name: OutputSizes[Name] - sum(Groups[Group].get(Name, 0) for Group in Order)
                for Name in OutputSizes}
    Rows.append(["strings, padding, relocations"] +
                [f"{Unlisted.get(Name, 0):,}" for Name in Sections] +
                [f"{sum(Unlisted.values()):,}"])
    Rows.append(["PE headers, file alignment"] + ["" for Name in Sections] +
                [f"{ImageSize - Counted - sum(Unlisted.values()):,}"])
    Lines.append("")
    Lines.append(Table(["part"] + Sections + ["total"], Rows))
    Lines.append("")
    Lines.append("Largest input sections:")
    Largest = sorted(Symbols, key=lambda Entry: -Entry[0])[:15]
    Lines.append(Table(["bytes", "symbol", "object"],
                       [[f"{Size:,}", (Name or "")[:70], Object] for Size, Name, Object in Largest],
                       Left=(1, 2)))
    return "\n".join(Lines)


def main():
    Parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    Parser.add_argument("--time")
    Parser.add_argument("--callgrind")
    Parser.add_argument("--image")
    Parser.add_argument("--map")
    Parser.add_argument("--driver-alone")
    Arguments = Parser.parse_args()

    Bytes = {}
    if Arguments.time:
        Times = ReadTimes(Arguments.time)
        for (Kind, Case), Entry in Times.items():
            Bytes[Case] = int(Entry.get("BodyBytes", 0))
        print("Time per action (CPU time, median of the repetitions); platform = the share of the")
        print("wall time spent in platform protocol calls; driver = total - platform;")
        print("allocations and peak pool bytes of one action, the baseline's in brackets.\n")
        print(TimeTable(Times))
    if Arguments.callgrind:
        Counts = ReadCallgrind(Arguments.callgrind)
        SizesFile = os.path.join(Arguments.callgrind, "sizes.txt")
        if os.path.exists(SizesFile):
            with open(SizesFile) as File:
                for Line in File:
                    Name, Size = Line.split()
                    Bytes[Name] = int(Size)
        print("\nInstructions per action (callgrind); driver = total - platform protocol calls.\n")
        print(CallgrindTable(Counts, Bytes))
    if Arguments.image and Arguments.map:
        print("")
        print(ImageReport(Arguments.image, Arguments.map, Arguments.driver_alone))
    return 0


if __name__ == "__main__":
    sys.exit(main())
