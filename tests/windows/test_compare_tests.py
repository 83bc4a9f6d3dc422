#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# scripts/compare-tests.py on made-up Linux and Windows lists: what passes,
# what fails and what the report says.
import os
import sys
import tempfile
import types
import unittest

here = os.path.dirname(os.path.abspath(__file__))
# The script's name has a hyphen, so it is read from its path into a module
# of its own rather than imported.
script = os.path.join(here, "..", "..", "scripts", "compare-tests.py")
compare_tests = types.ModuleType("compare_tests")
compare_tests.__file__ = os.path.abspath(script)
with open(script, encoding="utf-8") as f:
    exec(compile(f.read(), script, "exec"), compare_tests.__dict__)


def write(folder, name, lines):
    path = os.path.join(folder, name)
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    return path


class CompareTests(unittest.TestCase):
    # (case, Linux tests, Windows tests, exception lines, exit status, words the report must hold)
    cases = [
        ("every missing test has its reason",
         ["a", "b", "c"], ["a"], ["b  needs a pseudo-terminal", "c\tLinux only: systemd"], 0,
         ["tests: Linux 3, Windows 1; Linux less 2 listed exceptions: 1"]),
        ("a test missing without a reason fails and is named",
         ["a", "b", "c"], ["a", "b"], [], 1,
         ["missing on Windows, with no reason listed: c"]),
        ("a listed test that runs on Windows fails: the list must be true",
         ["a", "b"], ["a", "b"], ["b  needs bash"], 1,
         ["listed as not on Windows, but it runs there: b"]),
        ("a listed name without a reason fails",
         ["a", "b"], ["a"], ["b"], 1,
         ["b has no reason"]),
        ("a name listed twice fails",
         ["a", "b"], ["a"], ["b  one", "b  two"], 1,
         ["b is listed twice"]),
        ("a Windows-only test is counted, not an error",
         ["a"], ["a", "w"], [], 0,
         ["Windows only: 1"]),
        ("an exception for a test this Linux build lacks is not stale",
         ["a"], ["a"], ["package_install_deb  needs Xvfb and dpkg"], 0,
         ["Linux less 0 listed exceptions: 1"]),
        ("comments and blank lines are skipped",
         ["a", "b"], ["a"], ["# a comment", "", "b  reason here"], 0,
         ["Linux 2, Windows 1"]),
    ]

    def test_cases(self):
        for name, linux, windows, exceptions, status, words in self.cases:
            with self.subTest(name), tempfile.TemporaryDirectory() as d:
                args = ["--linux", write(d, "linux.txt", linux), "--windows", write(d, "windows.txt", windows),
                        "--exceptions", write(d, "exceptions.txt", exceptions)]
                out = os.path.join(d, "out.txt")
                with open(out, "w") as f:
                    saved, sys.stdout = sys.stdout, f
                    try:
                        got = compare_tests.main(args)
                    finally:
                        sys.stdout = saved
                report = open(out).read()
                self.assertEqual(got, status, report)
                for w in words:
                    self.assertIn(w, report)

    def test_missing_list_file_is_an_error_not_a_crash(self):
        with tempfile.TemporaryDirectory() as d:
            args = ["--linux", os.path.join(d, "nothing.txt"), "--windows", write(d, "w.txt", ["a"]),
                    "--exceptions", write(d, "e.txt", [])]
            saved, sys.stderr = sys.stderr, open(os.devnull, "w")
            try:
                self.assertEqual(compare_tests.main(args), 1)
            finally:
                sys.stderr.close()
                sys.stderr = saved


if __name__ == "__main__":
    unittest.main()
