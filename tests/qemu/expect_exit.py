#!/usr/bin/env python3
"""Runs a command and checks how it fails.

    expect_exit.py STATUS PATTERN -- COMMAND [ARGUMENT ...]

Passes when COMMAND exits with STATUS and its standard error matches the
regular expression PATTERN (searched anywhere, across lines).
"""
import re
import subprocess
import sys


def main(argv):
    if len(argv) < 5 or argv[3] != "--":
        sys.stderr.write(__doc__)
        return 2
    status, pattern, command = int(argv[1]), argv[2], argv[4:]
    result = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if result.returncode != status:
        print("exit status %d, expected %d; standard error:\n%s" % (result.returncode, status,
                                                                     result.stderr))
        return 1
    if not re.search(pattern, result.stderr, re.DOTALL):
        print("standard error does not match %r:\n%s" % (pattern, result.stderr))
        return 1
    print(result.stderr.strip())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
