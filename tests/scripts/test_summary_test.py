#!/usr/bin/env python3
"""scripts/test-summary.py on made-up ctest and GoogleTest reports: whatever
went wrong must reach the counts and the exit status, never pass as success."""
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "test-summary.py")


def junit(*cases):
    body = "".join(cases)
    return '<?xml version="1.0" encoding="UTF-8"?>\n<testsuite name="t" tests="%d">%s</testsuite>\n' % (
        len(cases), body)


def case(name, status, inner=""):
    return '<testcase name="%s" classname="%s" time="0.1" status="%s">%s</testcase>' % (name, name, status, inner)


def listing(reporting=(), **labels):
    """ctest's JSON test list; the tests named in `reporting` write GoogleTest reports."""
    tests = []
    for name, names in labels.items():
        properties = [{"name": "LABELS", "value": names}] if names else []
        if name in reporting:
            properties.append({"name": "ENVIRONMENT", "value": ["GTEST_OUTPUT=xml:Z:/b/%s.xml" % name, "X=1"]})
        tests.append('{"name": "%s", "properties": %s}' % (name, str(properties).replace("'", '"')))
    return '{"kind": "ctestInfo", "tests": [%s]}' % ", ".join(tests)


def gtest_report(passed=0, failed=0, skipped=0):
    cases = ['<testcase name="p%d" status="run" result="completed"/>' % i for i in range(passed)]
    cases += ['<testcase name="f%d" status="run" result="completed"><failure message="x"/></testcase>' % i
              for i in range(failed)]
    cases += ['<testcase name="s%d" status="run" result="skipped"><skipped message="x"/></testcase>' % i
              for i in range(skipped)]
    return '<?xml version="1.0"?>\n<testsuites><testsuite name="S">%s</testsuite></testsuites>\n' % "".join(cases)


class Run:
    def __init__(self, folder, junit_text, listing_text, gtest_reports=None):
        self.junit = os.path.join(folder, "junit.xml")
        self.tests = os.path.join(folder, "tests.json")
        self.counts_file = os.path.join(folder, "counts")
        if junit_text is not None:
            with open(self.junit, "w") as stream:
                stream.write(junit_text)
        with open(self.tests, "w") as stream:
            stream.write(listing_text)
        arguments = [sys.executable, SCRIPT, "--label", "suite", "--junit", self.junit, "--tests", self.tests,
                     "--seconds", "7", "--counts", self.counts_file]
        if gtest_reports is not None:
            results = os.path.join(folder, "gtest-results")
            os.makedirs(results)
            for name, text in gtest_reports.items():
                with open(os.path.join(results, name + ".xml"), "w") as stream:
                    stream.write(text)
            arguments += ["--gtest-results", results]
        finished = subprocess.run(arguments, capture_output=True, text=True)
        self.status = finished.returncode
        self.output = finished.stdout + finished.stderr
        with open(self.counts_file) as stream:
            self.counts = tuple(int(n) for n in stream.read().split())


class PerCaseEntries(unittest.TestCase):
    def test_every_outcome_is_counted_and_a_test_that_could_not_start_is_a_failure(self):
        with tempfile.TemporaryDirectory() as folder:
            run = Run(folder, junit(
                case("A.passes", "run", "<system-out>fine</system-out>"),
                case("A.fails", "fail", '<failure message=""/><system-out>a_test.cpp:12: Failure</system-out>'),
                case("A.skips", "notrun", '<skipped message="SKIP_REGULAR_EXPRESSION_MATCHED"/>'),
                case("A.missing", "notrun", '<skipped message="Unable to find executable"/>')),
                listing(**{"A.passes": ["unit"], "A.fails": ["unit"], "A.skips": ["fakes"], "A.missing": ["qt"]}))
            self.assertEqual(run.counts, (1, 2, 1))
            self.assertEqual(run.status, 1)
            self.assertIn("[suite] 1 passed, 2 failed, 1 skipped (7 s); by tier: unit 2, fakes 1, qt 1", run.output)
            self.assertIn("FAILED A.fails", run.output)
            self.assertIn("a_test.cpp:12: Failure", run.output)
            self.assertIn("FAILED A.missing (not run: Unable to find executable)", run.output)

    def test_a_clean_run_passes_and_an_unlabelled_test_fails_it(self):
        with tempfile.TemporaryDirectory() as folder:
            run = Run(folder, junit(case("A.one", "run"), case("A.two", "run")),
                      listing(**{"A.one": ["unit", "alloc"], "A.two": ["unit"]}))
            self.assertEqual((run.status, run.counts), (0, (2, 0, 0)))
        with tempfile.TemporaryDirectory() as folder:
            run = Run(folder, junit(case("A.one", "run"), case("A.two", "run")),
                      listing(**{"A.one": ["unit"], "A.two": ["slow"]}))
            self.assertEqual(run.status, 1)
            self.assertIn("without a tier label", run.output)
            self.assertIn("A.two", run.output)
            self.assertGreater(run.counts[1], 0)

    def test_a_missing_broken_or_empty_report_is_a_failure(self):
        for text, tests in ((None, listing(**{"A.one": ["unit"]})),
                            ("<testsuite><testcase name=", listing(**{"A.one": ["unit"]})), (junit(), listing())):
            with tempfile.TemporaryDirectory() as folder:
                run = Run(folder, text, tests)
                self.assertEqual(run.status, 1)
                self.assertGreater(run.counts[1], 0)

    def test_a_test_listed_but_not_reported_is_a_failure(self):
        with tempfile.TemporaryDirectory() as folder:
            run = Run(folder, junit(case("A.one", "run")), listing(**{"A.one": ["unit"], "A.two": ["unit"]}))
            self.assertEqual(run.status, 1)
            self.assertIn("lists 2 tests but reported 1", run.output)


class PerExecutableEntries(unittest.TestCase):
    def test_cases_inside_the_executables_are_what_counts_and_a_script_is_one_case(self):
        with tempfile.TemporaryDirectory() as folder:
            run = Run(folder, junit(case("a_test", "run"), case("b_test", "fail", '<failure message=""/>'),
                                    case("install", "run")),
                      listing(("a_test", "b_test"), a_test=["unit", "wine"], b_test=["fakes", "wine"],
                              install=["e2e", "wine"]),
                      {"a_test": gtest_report(passed=5, skipped=2), "b_test": gtest_report(passed=3, failed=1)})
            self.assertEqual(run.counts, (9, 1, 2))
            self.assertEqual(run.status, 1)
            self.assertIn("12 cases in 3 entries: 9 passed, 1 failed, 2 skipped", run.output)

    def test_a_failing_script_is_a_failed_case(self):
        with tempfile.TemporaryDirectory() as folder:
            run = Run(folder, junit(case("a_test", "run"), case("install", "fail", '<failure message=""/>')),
                      listing(("a_test",), a_test=["unit", "wine"], install=["e2e", "wine"]),
                      {"a_test": gtest_report(passed=2)})
            self.assertEqual((run.status, run.counts), (1, (2, 1, 0)))

    def test_a_crash_after_the_last_reported_case_or_without_a_report_is_a_failed_case(self):
        with tempfile.TemporaryDirectory() as folder:
            run = Run(folder, junit(case("a_test", "fail", '<failure message=""/>'),
                                    case("b_test", "fail", '<failure message=""/>')),
                      listing(("a_test", "b_test"), a_test=["unit", "wine"], b_test=["unit", "wine"]),
                      {"a_test": gtest_report(passed=4)})
            self.assertEqual(run.counts, (4, 2, 0))
            self.assertEqual(run.status, 1)

    def test_a_passing_executable_without_its_report_fails_the_suite(self):
        with tempfile.TemporaryDirectory() as folder:
            run = Run(folder, junit(case("a_test", "run")), listing(("a_test",), a_test=["unit", "wine"]), {})
            self.assertEqual(run.status, 1)
            self.assertIn("a_test passed but its GoogleTest report is missing", run.output)


if __name__ == "__main__":
    unittest.main()
