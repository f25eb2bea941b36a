#!/usr/bin/env python3
"""Counts what one test command ran: GoogleTest cases, and every other ctest entry as one.

    test_summary.py LABEL=JUNIT_XML:RESULTS_DIR ...

JUNIT_XML is what `ctest --output-junit` wrote for one runner; RESULTS_DIR holds the GoogleTest
programs' own reports, NAME.xml for the ctest entry NAME. Prints a line per runner and, last,
`tests: N passed, N failed, N skipped`. Exit status 1 when anything failed or a runner left no
report.
"""
import os
import sys
import xml.etree.ElementTree as ET


def gtest_counts(path):
    """passed, failed, skipped of one GoogleTest report (disabled cases are not run: not counted)."""
    passed = failed = skipped = 0
    for case in ET.parse(path).getroot().iter("testcase"):
        if case.get("status") == "notrun":
            continue
        if case.find("failure") is not None or case.find("error") is not None:
            failed += 1
        elif case.get("result") == "skipped" or case.find("skipped") is not None:
            skipped += 1
        else:
            passed += 1
    return passed, failed, skipped


def runner_counts(junit, results):
    """passed, failed, skipped and the number of ctest entries of one runner."""
    passed = failed = skipped = 0
    entries = ET.parse(junit).getroot().findall(".//testcase")
    for entry in entries:
        name = entry.get("name")
        entry_failed = entry.get("status") == "fail" or entry.find("failure") is not None
        entry_skipped = entry.get("status") in ("notrun", "disabled") or entry.find("skipped") is not None
        report = os.path.join(results, name + ".xml")
        if os.path.isfile(report) and not entry_skipped:
            try:
                p, f, s = gtest_counts(report)
            except ET.ParseError:  # a program that died while writing its report
                p, f, s = 0, 0, 0
            # A program that failed outside its cases (a crash after the report, leaks, a wrapper
            # that failed) still counts as a failure.
            if entry_failed and f == 0:
                f = 1
            passed, failed, skipped = passed + p, failed + f, skipped + s
        elif entry_failed:
            failed += 1
        elif entry_skipped:
            skipped += 1
        else:
            passed += 1
    return passed, failed, skipped, len(entries)


def main(args):
    total = [0, 0, 0]
    ok = True
    for arg in args:
        label, _, paths = arg.partition("=")
        junit, _, results = paths.partition(":")
        if not os.path.isfile(junit):
            print(f"{label}: no results (the run did not finish)")
            ok = False
            continue
        p, f, s, n = runner_counts(junit, results)
        print(f"{label}: {p} passed, {f} failed, {s} skipped ({n} ctest entries)")
        total = [total[0] + p, total[1] + f, total[2] + s]
    print(f"tests: {total[0]} passed, {total[1]} failed, {total[2]} skipped")
    return 0 if ok and total[1] == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
