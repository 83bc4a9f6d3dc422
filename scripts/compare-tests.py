#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Compares the tests of the Windows build with the Linux build's.

Every Linux test must run on Windows too, or be listed with its reason in
tests/windows-exceptions.txt ("name  reason", one a line, # for comments).
Prints both counts side by side and fails (exit 1) when a Linux test is
missing on Windows without a listed reason, when a listed test does run on
Windows after all (the list must say what is true), or when a line of the
list has no reason.

    scripts/compare-tests.py --linux BUILD|LIST --windows BUILD|LIST [--exceptions FILE]

A BUILD is a CMake build folder (its tests are read with `ctest -N`), a
LIST a text file of test names, one a line.
"""
import argparse
import os
import re
import subprocess
import sys


def tests_of(where):
    """The test names of a build folder (ctest -N) or a list file."""
    if os.path.isdir(where):
        out = subprocess.run(["ctest", "--test-dir", where, "-N"], check=True,
                             capture_output=True, text=True).stdout
        return [m.group(1) for m in re.finditer(r"^\s*Test\s+#\d+:\s+(\S+)\s*$", out, re.M)]
    with open(where, encoding="utf-8") as f:
        return [line.strip() for line in f if line.strip() and not line.startswith("#")]


def read_exceptions(path):
    """name -> reason, and the lines that are not well formed."""
    reasons, bad = {}, []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            text = line.strip()
            if not text or text.startswith("#"):
                continue
            parts = text.split(None, 1)
            if len(parts) < 2 or not parts[1].strip():
                bad.append(f"{os.path.basename(path)}:{number}: {parts[0]} has no reason")
                continue
            if parts[0] in reasons:
                bad.append(f"{os.path.basename(path)}:{number}: {parts[0]} is listed twice")
            reasons[parts[0]] = parts[1].strip()
    return reasons, bad


def compare(linux, windows, reasons):
    """The report's lines and whether the two agree."""
    linux_set, windows_set = set(linux), set(windows)
    missing = sorted(t for t in linux_set - windows_set if t not in reasons)
    stale = sorted(t for t in reasons if t in windows_set)
    excepted = sorted(t for t in linux_set - windows_set if t in reasons)
    windows_only = sorted(windows_set - linux_set)
    lines = [f"tests: Linux {len(linux_set)}, Windows {len(windows_set)}; "
             f"Linux less {len(excepted)} listed exceptions: {len(linux_set) - len(excepted)}"
             + (f"; Windows only: {len(windows_only)}" if windows_only else "")]
    for t in missing:
        lines.append(f"missing on Windows, with no reason listed: {t}")
    for t in stale:
        lines.append(f"listed as not on Windows, but it runs there: {t}")
    return lines, not missing and not stale


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--linux", required=True)
    parser.add_argument("--windows", required=True)
    parser.add_argument("--exceptions", default=os.path.join(here, "..", "tests", "windows-exceptions.txt"))
    parser.add_argument("--verbose", action="store_true", help="also print each listed exception with its reason")
    args = parser.parse_args(argv)
    try:
        linux, windows = tests_of(args.linux), tests_of(args.windows)
        reasons, bad = read_exceptions(args.exceptions)
    except (OSError, subprocess.CalledProcessError) as e:
        print(f"compare-tests: {e}", file=sys.stderr)
        return 1
    lines, same = compare(linux, windows, reasons)
    for line in lines + bad:
        print(line)
    if args.verbose:
        for t in sorted(set(linux) - set(windows)):
            if t in reasons:
                print(f"  {t}: {reasons[t]}")
    return 0 if same and not bad else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
