#!/usr/bin/env python3
"""Reads the mutant list of scripts/mutants.sh (format in its header) and
applies one entry to the working tree.

usage: mutants_list.py LIST check          every entry applies exactly once
       mutants_list.py LIST ids [ID...]    the ids to run, in list order
       mutants_list.py LIST file ID        the entry's file
       mutants_list.py LIST equivalent ID  "yes" when marked equivalent
       mutants_list.py LIST apply ID       writes the mutated file
"""
import os
import sys

FIELDS = ("file", "breaks", "equivalent")


class ListError(Exception):
    pass


def parse(path):
    entries = []
    entry = None
    block = None  # "original" or "mutated" while reading a text
    with open(path, encoding="utf-8") as handle:
        lines = handle.read().split("\n")
    for number, line in enumerate(lines, 1):
        where = f"{path}:{number}"
        if line.startswith("== "):
            entry = {"id": line[3:].strip(), "line": number, "original": None, "mutated": None}
            if not entry["id"] or " " in entry["id"]:
                raise ListError(f"{where}: an id is one word")
            entries.append(entry)
            block = None
            continue
        if line.startswith("--- "):
            name = line[4:].strip()
            if entry is None or name not in ("original", "mutated"):
                raise ListError(f"{where}: '--- original' or '--- mutated' inside an entry")
            if entry[name] is not None:
                raise ListError(f"{where}: a second '--- {name}'")
            if name == "mutated" and entry["original"] is None:
                raise ListError(f"{where}: '--- mutated' before '--- original'")
            entry[name] = []
            block = name
            continue
        if line.startswith("## "):
            block = None  # a section title ends a text
            continue
        if block is not None:
            entry[block].append(line)
            continue
        if line.startswith("#") or not line.strip():
            continue
        if entry is None:
            raise ListError(f"{where}: text before the first entry")
        name, _, value = line.partition(":")
        if name not in FIELDS or not value.strip():
            raise ListError(f"{where}: expected one of {', '.join(FIELDS)} with a value")
        entry[name] = value.strip()
    seen = set()
    for entry in entries:
        where = f"{path}:{entry['line']} ({entry['id']})"
        if entry["id"] in seen:
            raise ListError(f"{where}: the id is used twice")
        seen.add(entry["id"])
        for name in ("file", "breaks"):
            if name not in entry:
                raise ListError(f"{where}: no '{name}:'")
        for name in ("original", "mutated"):
            if entry[name] is None:
                raise ListError(f"{where}: no '--- {name}' text")
            text = entry[name]
            while text and not text[-1].strip():
                text.pop()
            entry[name] = "\n".join(text)
        if not entry["original"]:
            raise ListError(f"{where}: the original text is empty")
        if entry["original"] == entry["mutated"]:
            raise ListError(f"{where}: the mutated text is the original")
    return entries


def check(entry):
    """The file's text, or an error naming why the entry does not apply."""
    path = entry["file"]
    if not os.path.isfile(path):
        raise ListError(f"{entry['id']}: no file {path}")
    with open(path, encoding="utf-8") as handle:
        text = handle.read()
    count = text.count(entry["original"])
    if count == 0:
        raise ListError(f"{entry['id']}: the original text is not in {path}")
    if count > 1:
        raise ListError(f"{entry['id']}: the original text occurs {count} times in {path}; "
                        "give more of its context")
    return text


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    path, command, args = argv[1], argv[2], argv[3:]
    try:
        entries = parse(path)
        by_id = {entry["id"]: entry for entry in entries}
        if command == "check":
            problems = []
            for entry in entries:
                try:
                    check(entry)
                except ListError as error:
                    problems.append(str(error))
            for problem in problems:
                print(f"mutants: {problem}", file=sys.stderr)
            return 1 if problems else 0
        if command == "ids":
            unknown = [name for name in args if name not in by_id]
            if unknown:
                raise ListError(f"no such mutant: {', '.join(unknown)}")
            for entry in entries:
                if not args or entry["id"] in args:
                    print(entry["id"])
            return 0
        if len(args) != 1 or args[0] not in by_id:
            raise ListError(f"{command}: expected one mutant id of the list")
        entry = by_id[args[0]]
        if command == "file":
            print(entry["file"])
        elif command == "equivalent":
            print("yes" if entry.get("equivalent") else "no")
        elif command == "apply":
            text = check(entry)
            with open(entry["file"], "w", encoding="utf-8") as handle:
                handle.write(text.replace(entry["original"], entry["mutated"], 1))
        else:
            raise ListError(f"unknown command {command}")
    except ListError as error:
        print(f"mutants: {error}", file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
