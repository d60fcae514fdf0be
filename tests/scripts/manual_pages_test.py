#!/usr/bin/env python3
"""The manual pages (docs/man/*.scd) against what the README and the programs
themselves say: every option the programs' --help shows, and every command,
environment variable, file and exit code the README lists, is in a manual page.
Usage: manual_pages_test.py TAVELIN SIMBLOCK (the built programs)."""
import os
import re
import shutil
import subprocess
import sys
import unittest

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
PROGRAMS = {}


def read(*path):
    with open(os.path.join(TOP, *path), encoding="utf-8") as file:
        return file.read()


def section(text, heading):
    """The README's text under `heading`, up to the next heading of its level or above."""
    level = heading.split(" ")[0]
    start = text.index("\n" + heading + "\n")
    end = re.compile(r"\n#{1,%d} " % len(level)).search(text, start + 1 + len(heading))
    return text[start:end.start() if end else len(text)]


def first_column_names(table):
    """The `code` words of the first column of a Markdown table."""
    names = []
    for line in table.splitlines():
        if line.startswith("| ") and not line.startswith("| ---"):
            names += re.findall(r"`([^`]+)`", line.split("|")[1])
    return names


def help_options(program):
    text = subprocess.run([program, "--help"], capture_output=True, text=True, check=True).stdout
    return sorted(set(re.findall(r"(?<![\w-])(--[a-z][a-z-]*)", text)))


class ManualPagesTest(unittest.TestCase):
    def setUp(self):
        self.readme = read("README.md")
        self.tavelin = read("docs", "man", "tavelin.1.scd")
        self.simblock = read("docs", "man", "simblock.1.scd")
        self.both = self.tavelin + self.simblock

    def test_every_option_of_the_programs_is_in_their_page(self):
        for program, page in (("tavelin", self.tavelin), ("simblock", self.simblock)):
            options = help_options(PROGRAMS[program])
            self.assertIn("--version", options)
            for option in options:
                self.assertTrue("*%s*" % option in page, "%s(1) lacks %s" % (program, option))

    def test_every_variable_of_the_readme_is_in_a_page(self):
        names = first_column_names(section(self.readme, "## Environment variables"))
        self.assertIn("TAVELIN_VIRTUAL_JOYSTICKS", names)
        for name in names:
            self.assertTrue("*%s*" % name in self.both, "no manual page names %s" % name)

    def test_every_file_of_the_readme_is_in_tavelins_page(self):
        names = first_column_names(section(self.readme, "## Files"))
        self.assertIn("Joystick.ini", names)
        for name in names:
            # "/dev/shm/GenericSimSharedMemory" (+ ".lock"), "examples/Joystick.ini": the file's own name.
            base = os.path.basename(name.replace("<file>", "")) or name
            self.assertTrue(base in self.tavelin, "tavelin(1) lacks %s" % name)
        for extra in (".lock", ".owner", "69-tavelin-local.rules", "69-tavelin-joysticks.rules"):
            self.assertTrue(extra in self.tavelin, "tavelin(1) lacks %s" % extra)

    def test_every_simblock_command_and_exit_code_of_the_readme_is_in_its_page(self):
        usage = re.search(r"### simblock\n.*?```\n(.*?)```", self.readme, re.S).group(1)
        words = set(re.findall(r"(?<![\w-])(--?[a-z][a-z-]*|[a-z][a-z-]+)", usage))
        words -= {"simblock", "exe", "under", "wine", "see", "below", "linux"}
        self.assertTrue({"show", "json", "watch", "echo", "wine-bridge", "--prefix", "--stop"} <= words, words)
        for word in words:
            found = re.search(r"(?<![\w-])%s(?![\w-])" % re.escape(word), self.simblock)
            self.assertTrue(found, "simblock(1) lacks %s" % word)
        codes = set()
        simblock_part = section(self.readme, "### simblock")
        codes |= set(re.findall(r"\b(\d+) [a-z]", simblock_part.split("Exit codes:")[1].split(".")[0]))
        wine = section(self.readme, "## The simulator runs under Wine")
        codes |= set(re.findall(r"\(exit (\d+)", wine))
        codes |= set(re.findall(r"\b(\d) [a-z]", wine.split("own exit codes:")[1].split(";")[0]))
        self.assertTrue({"0", "1", "2", "3", "4", "6", "64"} <= codes, codes)
        status = self.simblock.split("# EXIT STATUS")[1].split("\n# ")[0]
        for code in codes:
            self.assertTrue("\n*%s*\n" % code in status, "simblock(1) lacks exit status %s" % code)

    def test_scdoc_makes_both_pages_whole(self):
        scdoc = shutil.which("scdoc")
        if scdoc is None:
            self.skipTest("no scdoc (scripts/install-deps.sh installs it)")
        for page in ("tavelin", "simblock"):
            made = subprocess.run([scdoc], input=read("docs", "man", page + ".1.scd"), capture_output=True, text=True)
            self.assertEqual(made.returncode, 0, "scdoc refuses %s(1): %s" % (page, made.stderr))
            # Every section heading of the source reaches the page.
            for heading in re.findall(r"^# (.+)$", read("docs", "man", page + ".1.scd"), re.M):
                self.assertIn("\n.SH %s\n" % heading, made.stdout, "%s(1) lacks %s" % (page, heading))

    def test_tavelins_exit_codes_are_in_its_page(self):
        status = self.tavelin.split("# EXIT STATUS")[1].split("\n# ")[0]
        for code in ("0", "1", "64"):
            self.assertTrue("\n*%s*\n" % code in status, "tavelin(1) lacks exit status %s" % code)
        for command in ("./run.sh", "./test.sh", "scripts/package-deb.sh"):
            self.assertTrue(command in self.readme, "the README lacks %s" % command)
            self.assertTrue(command in self.tavelin, "tavelin(1) lacks %s" % command)


if __name__ == "__main__":
    PROGRAMS["tavelin"], PROGRAMS["simblock"] = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1])
