#!/usr/bin/env python3
"""Summarises one ctest run for test.sh from ctest's own reports, not its console text.

Reads the JUnit file of `ctest --output-junit`, the test list of
`ctest --show-only=json-v1` (for the tier labels) and, where one ctest entry is a
whole GoogleTest executable (the Windows build under Wine), the executables'
own XML reports. Prints the suite's summary line, the failed tests with the end
of their output, and writes "passed failed skipped" to the counts file.
Exit status 1 on any failure, a test without a tier label, or a missing report.
"""
import argparse
import json
import os
import sys
import xml.etree.ElementTree as ET

TIERS = ["unit", "fakes", "evdev", "qt", "e2e", "stress", "alloc", "wine", "net"]
# A failed test's output is shown whole up to this many lines, else its start and its end.
OUTPUT_HEAD = 15
OUTPUT_TAIL = 60


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--label", required=True, help="suite name shown in the summary")
    parser.add_argument("--junit", required=True, help="ctest --output-junit file")
    parser.add_argument("--tests", required=True, help="ctest --show-only=json-v1 output")
    parser.add_argument("--gtest-results", help="folder of GoogleTest XML reports, one per ctest entry")
    parser.add_argument("--seconds", type=int, default=0, help="wall time of the run")
    parser.add_argument("--counts", required=True, help="file that receives 'passed failed skipped'")
    return parser.parse_args()


def read_xml(path):
    """The root element, or None with the reason when the file is missing or broken."""
    try:
        return ET.parse(path).getroot(), None
    except FileNotFoundError:
        return None, "missing"
    except ET.ParseError as error:
        return None, "unreadable (%s)" % error


def ctest_results(root):
    """(name, outcome, reason, output) per ctest entry; outcome is passed, failed or skipped."""
    results = []
    for case in root.iter("testcase"):
        name = case.get("name", "?")
        status = case.get("status", "")
        output = case.findtext("system-out") or ""
        skipped = case.find("skipped")
        failure = case.find("failure")
        if status == "run" and failure is None:
            results.append((name, "passed", "", output))
        elif status == "notrun" and skipped is not None and skipped.get("message", "").startswith("SKIP_"):
            # Skipped by the test itself (GTEST_SKIP, a skip return code).
            results.append((name, "skipped", "", output))
        elif status == "disabled":
            results.append((name, "skipped", "disabled", output))
        else:
            # Failures, timeouts, crashes, and entries ctest could not start at all.
            reason = failure.get("message", "") if failure is not None else ""
            if status == "notrun":
                reason = "not run: " + (skipped.get("message", "") if skipped is not None else "")
            results.append((name, "failed", reason, output))
    return results


def read_listing(path):
    """From ctest's JSON test list: {test name: [labels]}, and the names of the
    tests that write a GoogleTest report (GTEST_OUTPUT in their environment)."""
    with open(path, encoding="utf-8") as stream:
        listing = json.load(stream)
    labels = {}
    reporting = set()
    for test in listing.get("tests", []):
        name = test.get("name", "?")
        labels[name] = []
        for prop in test.get("properties", []):
            if prop.get("name") == "LABELS":
                labels[name] = list(prop.get("value", []))
            elif prop.get("name") == "ENVIRONMENT":
                if any(str(entry).startswith("GTEST_OUTPUT=") for entry in prop.get("value", [])):
                    reporting.add(name)
    return labels, reporting


def gtest_counts(path):
    """(passed, failed, skipped) of one GoogleTest XML report."""
    root, problem = read_xml(path)
    if root is None:
        return None, problem
    passed = failed = skipped = 0
    for case in root.iter("testcase"):
        if case.find("failure") is not None or case.find("error") is not None:
            failed += 1
        elif case.get("result") in ("skipped", "suppressed") or case.get("status") == "notrun":
            skipped += 1
        else:
            passed += 1
    return (passed, failed, skipped), None


def excerpt(text):
    lines = text.rstrip("\n").splitlines()
    if len(lines) <= OUTPUT_HEAD + OUTPUT_TAIL:
        return "\n".join(lines)
    left_out = len(lines) - OUTPUT_HEAD - OUTPUT_TAIL
    return "\n".join(lines[:OUTPUT_HEAD] + ["[... %d lines ...]" % left_out] + lines[-OUTPUT_TAIL:])


def main():
    args = parse_args()
    problems = []

    root, problem = read_xml(args.junit)
    results = ctest_results(root) if root is not None else []
    if root is None:
        problems.append("ctest's JUnit report %s is %s" % (args.junit, problem))

    try:
        labels, reporting = read_listing(args.tests)
    except (OSError, ValueError) as error:
        labels, reporting = {}, set()
        problems.append("ctest's test list %s could not be read (%s)" % (args.tests, error))
    unlabelled = sorted(name for name, names in labels.items() if not set(names) & set(TIERS))
    if unlabelled:
        problems.append("tests without a tier label (%s): %s" % (", ".join(TIERS), ", ".join(unlabelled)))
    if root is not None and not results:
        problems.append("no test ran")
    if root is not None and labels and len(results) != len(labels):
        problems.append("ctest lists %d tests but reported %d" % (len(labels), len(results)))

    passed = sum(1 for r in results if r[1] == "passed")
    failed = sum(1 for r in results if r[1] == "failed")
    skipped = sum(1 for r in results if r[1] == "skipped")
    tiers = {}
    for name, outcome, _, _ in results:
        for label in labels.get(name, []):
            tiers[label] = tiers.get(label, 0) + 1
    tier_text = ", ".join("%s %d" % (tier, tiers[tier]) for tier in TIERS if tier in tiers)
    summary = "[%s] %d passed, %d failed, %d skipped (%d s)" % (args.label, passed, failed, skipped, args.seconds)
    if tier_text:
        summary += "; by tier: " + tier_text

    if args.gtest_results is not None:
        # One ctest entry per executable: the cases inside are what counts. An
        # executable that failed without a report counts as one failed case; an
        # entry that is no GoogleTest executable (a script) counts as one case.
        cases = [0, 0, 0]
        for name, outcome, _, _ in results:
            if name not in reporting:
                cases[["passed", "failed", "skipped"].index(outcome)] += 1
                continue
            counts, problem = gtest_counts(os.path.join(args.gtest_results, name + ".xml"))
            if counts is None:
                if outcome == "passed":
                    problems.append("%s passed but its GoogleTest report is %s" % (name, problem))
                if outcome != "skipped":
                    cases[1] += 1
                continue
            for i in range(3):
                cases[i] += counts[i]
            if outcome == "failed" and counts[1] == 0:
                cases[1] += 1  # crashed or timed out after its last reported case
        summary += "; %d cases in %d entries: %d passed, %d failed, %d skipped" % (
            sum(cases), len(results), cases[0], cases[1], cases[2])
        passed, failed, skipped = cases

    print(summary)
    for name, outcome, reason, output in results:
        if outcome != "failed":
            continue
        print("[%s] FAILED %s%s" % (args.label, name, " (%s)" % reason if reason else ""))
        if output.strip():
            print(excerpt(output))
    for problem in problems:
        print("[%s] %s" % (args.label, problem))

    if problems and failed == 0:
        failed = 1
    with open(args.counts, "w", encoding="utf-8") as stream:
        stream.write("%d %d %d\n" % (passed, failed, skipped))
    return 1 if failed or problems else 0


if __name__ == "__main__":
    sys.exit(main())
