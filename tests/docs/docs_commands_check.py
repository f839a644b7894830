#!/usr/bin/env python3
"""docs_commands_check.py ROOT EMULATOR [PREFIX=DIR ...]

The shell commands of README.md and docs/*.md (fenced sh, bash, shell and
console blocks) as a user types them on a fresh clone: every program or file
of ours that a command names must exist, and a command whose arguments are
just --help or --version must end with 0 and print something. PREFIX=DIR
maps a documented build folder (build/windows, build/release) onto the one
this test run built. A bare Windows program name (plugin-host.exe) is one of
the release archive's, looked up in its client folder (build/release/client)
and the folder's tools/. Windows programs run through EMULATOR.
"""
import pathlib
import re
import shlex
import subprocess
import sys

SHELL_BLOCKS = {"sh", "bash", "shell", "console"}
SEPARATORS = {"|", "||", "&&", ";", "&"}
CHEAP_ARGUMENTS = (["--help"], ["--version"])


def shell_commands(path):
    """(line number, text) of each command in the file's shell blocks."""
    commands, block, pending = [], None, None
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        fence = re.match(r"^\s*```\s*(\w*)", line)
        if fence:
            block = None if block is not None else fence.group(1)
            continue
        if block not in SHELL_BLOCKS:
            continue
        if block == "console" and pending is None:
            # Commands follow the prompt; other lines are their output.
            if not line.startswith("$ "):
                continue
            line = line[2:]
        if pending is None:
            pending = (number, "")
        pending = (pending[0], pending[1] + line.rstrip("\\"))
        if not line.endswith("\\"):
            commands.append(pending)
            pending = None
    return commands


def simple_commands(text):
    """The word lists of the command line's simple commands."""
    try:
        lexer = shlex.shlex(text, posix=True, punctuation_chars="|&;")
        lexer.whitespace_split = True
        words = list(lexer)
    except ValueError:
        words = text.split()
    current = []
    for word in words + [";"]:
        if word in SEPARATORS:
            if current:
                yield current
            current = []
        else:
            current.append(word)


class Checker:
    def __init__(self, root, emulator, prefixes):
        self.root, self.emulator, self.prefixes = root, emulator, prefixes
        self.failures, self.checked, self.ran = [], 0, 0

    def resolve(self, word):
        """Where a word naming one of our files is, or None for anything else."""
        if re.match(r"^(\./|build/|scripts/|tools/|tests/)", word):
            relative = word[2:] if word.startswith("./") else word
            for prefix, folder in self.prefixes.items():
                if relative.startswith(prefix + "/"):
                    return [folder / relative[len(prefix) + 1:]]
            return [self.root / relative]
        if "/" not in word and "\\" not in word and word.endswith(".exe"):
            client = self.prefixes["build/release"] / "client"
            return [client / word, client / "tools" / word]
        return None

    def check(self, where, words):
        program_index = 1 if words[0] == "wine" and len(words) > 1 else 0
        for index, word in enumerate(words):
            if index != program_index and not word.startswith(("./", "build/")):
                continue
            candidates = self.resolve(word)
            if candidates is None:
                continue
            self.checked += 1
            found = next((path for path in candidates if path.exists()), None)
            if found is None:
                self.failures.append(f"{where}: {word} does not exist ({candidates[0]})")
            elif index == program_index and words[program_index + 1:] in CHEAP_ARGUMENTS:
                self.run(where, found, words[program_index + 1:])

    def run(self, where, program, arguments):
        command = [str(program)] + arguments
        if program.suffix == ".exe":
            command = self.emulator + command
        self.ran += 1
        try:
            done = subprocess.run(command, cwd=self.root, capture_output=True, text=True,
                                  errors="replace", timeout=120)
        except subprocess.TimeoutExpired:
            self.failures.append(f"{where}: {' '.join(command)} did not end within 120 s")
            return
        if done.returncode != 0:
            self.failures.append(f"{where}: {' '.join(command)} ended with {done.returncode}: {done.stdout}{done.stderr}")
        elif not done.stdout.strip():
            self.failures.append(f"{where}: {' '.join(command)} printed nothing")


def main():
    root = pathlib.Path(sys.argv[1]).resolve()
    emulator = shlex.split(sys.argv[2])
    prefixes = {"build/windows": root / "build/windows", "build/release": root / "build/release"}
    for mapping in sys.argv[3:]:
        prefix, folder = mapping.split("=", 1)
        prefixes[prefix] = pathlib.Path(folder)
    checker = Checker(root, emulator, prefixes)
    pages = [root / "README.md"] + sorted((root / "docs").glob("*.md"))
    for page in pages:
        for number, text in shell_commands(page):
            for words in simple_commands(text):
                checker.check(f"{page.relative_to(root)}:{number}", words)
    for failure in checker.failures:
        print("FAIL:", failure)
    print(f"docs_commands: {checker.checked} files named in {len(pages)} pages, {checker.ran} commands run")
    # A check that found nothing to look at proves nothing.
    return 1 if checker.failures or checker.ran == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
