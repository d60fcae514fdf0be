#!/usr/bin/env python3
"""The code blocks of README.md and docs/guide.md against the tree and the
programs: every script they run exists and takes the options shown, every
other command is installed, every path of the source tree exists, every build
path lies in a folder that a command of the project makes (and, where that
folder has been built, exists), file names carry the project's version, and
the usage lines of `simblock` are the ones its own --help gives (each option
where the program takes it). Nothing is run but the programs' --help.
Usage: readme_test.py TAVELIN SIMBLOCK (the built programs)."""
import os
import re
import shlex
import shutil
import subprocess
import sys
import unittest

TOP = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
DOCUMENTS = ("README.md", os.path.join("docs", "guide.md"))
# The build folders and what makes each: ./run.sh build/run, ./test.sh the rest.
BUILD_FOLDERS = {"run", "native", "asan", "win", "fuzz", "wineprefix", "deb-root"}
PROGRAMS = {}


def read(path):
    with open(os.path.join(TOP, path), encoding="utf-8") as file:
        return file.read()


def code_blocks(text):
    """(language, [lines]) of each fenced block."""
    blocks = []
    for match in re.finditer(r"^```([\w-]*)\n(.*?)^```", text, re.M | re.S):
        blocks.append((match.group(1), match.group(2).splitlines()))
    return blocks


def project_version():
    match = re.search(r"project\(\s*\w+\s+VERSION\s+([0-9.]+)", read("CMakeLists.txt"))
    return match.group(1)


def help_text(program):
    return subprocess.run([program, "--help"], capture_output=True, text=True, check=True, timeout=20).stdout


def shell_commands(line):
    """The simple commands of one shell line: its comment dropped, split at
    && and ;, parentheses and leading variable assignments taken away."""
    line = re.sub(r"(^|\s)#.*$", "", line).strip()
    commands = []
    for part in re.split(r"&&|;|\|\|", line):
        words = shlex.split(part.replace("(", " ").replace(")", " "))
        while words and re.match(r"^[A-Za-z_][A-Za-z0-9_]*=", words[0]):
            words.pop(0)
        if words and words[0] == "sudo":
            words.pop(0)
        if words:
            commands.append(words)
    return commands


def looks_like_path(word):
    if word.startswith(("-", "~", "$", "/", "<")) or "=" in word or "://" in word:
        return False
    return "/" in word or re.search(r"\.(sh|ini|deb|exe|py|md|cmake|png)$", word) is not None


class ReadmeTest(unittest.TestCase):
    def setUp(self):
        self.version = project_version()
        self.problems = []

    def check_path(self, where, word):
        path = word.rstrip("/")
        if path.startswith("./"):
            path = path[2:]
        if path.startswith("build/"):
            parts = path.split("/")
            if len(parts) < 2 or parts[1] not in BUILD_FOLDERS:
                self.problems.append("%s: %s is in no build folder a command makes" % (where, word))
                return
            name = parts[-1]
            if name.endswith(".deb") and name != "tavelin_%s_amd64.deb" % self.version:
                self.problems.append("%s: %s is not this version's package" % (where, word))
            if re.match(r"tavelin-[0-9.]+-(setup\.exe|win64\.zip)$", name) and self.version not in name:
                self.problems.append("%s: %s is not this version's" % (where, word))
            folder = os.path.join(TOP, "build", parts[1])
            made_later = "package" in parts  # made by the package step, after the tests
            if len(parts) > 2 and os.path.isdir(folder) and not made_later \
                    and not os.path.exists(os.path.join(TOP, path)):
                self.problems.append("%s: %s does not exist although %s was built" % (where, word, folder))
            return
        if not os.path.exists(os.path.join(TOP, path)):
            self.problems.append("%s: %s does not exist" % (where, word))

    def check_program_options(self, where, program, words):
        text = help_text(PROGRAMS[program])
        for word in words[1:]:
            if word.startswith("--") and not re.search(r"(?<![\w-])%s(?![\w-])" % re.escape(word.split("=")[0]), text):
                self.problems.append("%s: %s takes no %s (its --help)" % (where, program, word))

    def check_command(self, where, words):
        command = words[0]
        base = os.path.basename(command)
        if base in PROGRAMS:
            if "/" in command:
                self.check_path(where, command)
            self.check_program_options(where, base, words)
        elif command.startswith("./") or command.startswith("scripts/") or command.startswith("docs/"):
            path = os.path.join(TOP, command)
            if not os.access(path, os.X_OK):
                self.problems.append("%s: %s is not an executable of the tree" % (where, command))
            else:
                script = read(command)
                for word in words[1:]:
                    if word.startswith("--") and word.split("=")[0] not in script:
                        self.problems.append("%s: %s takes no %s" % (where, command, word))
        elif command != "cd" and shutil.which(command) is None:
            self.problems.append("%s: the command %s is not installed" % (where, command))
        for word in words[1:]:
            value = word.split("=", 1)[1] if word.startswith("-D") and "=" in word else word
            if looks_like_path(value) and not value.startswith("/"):
                self.check_path(where, value)

    def check_simblock_usage(self, where, line):
        help = help_text(PROGRAMS["simblock"])
        first = help.splitlines()[0]
        global_options = set(re.findall(r"--[a-z-]+", first))
        command_options = {}
        for help_line in help.splitlines()[1:]:
            match = re.match(r"  ([a-z][a-z-]*)(.*)", help_line)
            if match:
                words = match.group(2).split("  ")[0]
                command_options.setdefault(match.group(1), set()).update(re.findall(r"--[a-z-]+", words))
            elif help_line.startswith("  --"):
                global_options.update(re.findall(r"--[a-z-]+", help_line.split("  ")[1]))
        words = re.sub(r"\(.*?\)", " ", line).replace("[", " ").replace("]", " ").replace("|", " ").split()
        windows = words[0] == "simblock.exe"
        words = [word.rstrip(".") for word in words[1:]]
        command = None  # the last command word so far: "show | json | watch [--hz N]" gives --hz to watch
        found = False
        for word in words:
            if word in command_options:
                command = word
                found = True
            elif word.startswith("--"):
                allowed = global_options | command_options.get(command, set())
                if word not in allowed and not (windows and '"%s"' % word in read("tools/simblock/main.cpp")):
                    self.problems.append("%s: simblock takes %s %s" % (
                        where, word, "nowhere" if word not in str(command_options) else "only after its command"))
        if not found and not any(word.startswith("--") for word in words):
            self.problems.append("%s: no command of simblock's in %r" % (where, line))

    def test_every_command_and_path_of_the_code_blocks(self):
        checked = 0
        for document in DOCUMENTS:
            for language, lines in code_blocks(read(document)):
                for number, line in enumerate(lines, 1):
                    where = "%s, %s block line %d (%s)" % (document, language or "plain", number, line.strip())
                    if language in ("sh", "bash", "shell"):
                        for words in shell_commands(line):
                            self.check_command(where, words)
                            checked += 1
                    elif re.match(r"simblock(\.exe)? ", line):
                        self.check_simblock_usage(where, line)
                        checked += 1
        self.assertGreater(checked, 10, "the README's code blocks were not found")
        self.assertEqual(self.problems, [], "\n" + "\n".join(self.problems))

    def test_the_checks_catch_what_they_are_for(self):
        # A made-up block of the mistakes these checks exist for.
        self.check_simblock_usage("made-up", "simblock [--count N] echo")
        self.check_command("made-up", ["cmake", "--install", "build/nowhere"])
        self.check_command("made-up", ["scripts/no-such-script.sh"])
        self.check_command("made-up", ["./run.sh", "--no-such-option"])
        self.check_command("made-up", ["simblock", "--frobnicate", "show"])
        self.check_path("made-up", "build/native/package/tavelin_0.1_amd64.deb")
        self.check_path("made-up", "examples/NoSuchFile.ini")
        self.assertEqual(len(self.problems), 7, "\n".join(self.problems))


if __name__ == "__main__":
    PROGRAMS["tavelin"], PROGRAMS["simblock"] = sys.argv[1], sys.argv[2]
    unittest.main(argv=[sys.argv[0]], verbosity=2)
