#!/usr/bin/env python3
"""Counts individual test cases across ctest runs.

Usage: count-results.py <ctest-junit.xml>:<results-dir> ...

For each test that ctest ran, <results-dir>/<name>.xml (gtest or JUnit
style) gives the cases one by one. A test without such a file counts as one
case, passed or failed by ctest's verdict. A test that ctest failed although
its XML shows no failing case (a crash at exit, a sanitizer report after the
last case) adds one failure, so a red run never sums to zero failures.

Prints "passed failed skipped" on standard output; details on standard error.
"""
import os
import sys
import xml.etree.ElementTree as ET


def count_cases(path):
    """Returns (passed, failed, skipped) for one gtest/JUnit XML file."""
    root = ET.parse(path).getroot()
    passed = failed = skipped = 0
    for case in root.iter("testcase"):
        if case.find("failure") is not None or case.find("error") is not None:
            failed += 1
        elif (case.get("status") in ("notrun", "disabled")
              or case.get("result") in ("skipped", "suppressed")
              or case.find("skipped") is not None):
            skipped += 1
        else:
            passed += 1
    return passed, failed, skipped


def main(args):
    passed = failed = skipped = 0
    for arg in args:
        junit, results = arg.rsplit(":", 1)
        label = os.path.basename(os.path.dirname(os.path.abspath(junit)))
        try:
            tests = list(ET.parse(junit).getroot().iter("testcase"))
        except (OSError, ET.ParseError) as e:
            print(f"{label}: no ctest results ({e})", file=sys.stderr)
            failed += 1
            continue
        for test in tests:
            name = test.get("name")
            status = test.get("status")
            ctest_ok = status == "run" and test.find("failure") is None
            if status == "disabled":
                skipped += 1
                continue
            xml = os.path.join(results, name + ".xml")
            counts = None
            if os.path.exists(xml):
                try:
                    counts = count_cases(xml)
                except (OSError, ET.ParseError) as e:
                    print(f"{label}: {name}: unreadable result file ({e})", file=sys.stderr)
            if counts is None:
                counts = (1, 0, 0) if ctest_ok else (0, 1, 0)
            elif not ctest_ok and counts[1] == 0:
                counts = (counts[0], 1, counts[2])
            passed += counts[0]
            failed += counts[1]
            skipped += counts[2]
    print(passed, failed, skipped)


if __name__ == "__main__":
    main(sys.argv[1:])
