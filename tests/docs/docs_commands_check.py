#!/usr/bin/env python3
"""docs_commands_check.py ROOT EMULATOR [PREFIX=DIR ...]
   docs_commands_check.py --archive CLIENT_DIR EMULATOR

The pages as their reader uses them: README.md and docs/*.md of the
repository at ROOT, or the INTEGRATING.md of an unpacked client archive.

- Commands: the lines of fenced sh, bash, shell and console blocks, and the
  inline code spans that start with a program (wine, python3, bash, sh, a
  script or one of our tools). Every word naming a path of ours must exist,
  every option given to one of our tools (plugin-host, value-dump,
  migration-preview) must be one its --help lists, and a command whose
  arguments are just --help or --version must end with 0 and print something.
- Prose: every inline code span naming a path of ours must exist (in the
  repository, paths under build/ are left out: tests make some of them).
- Links and images: each must resolve to a file beside the page.

A path of ours is a word starting with ./ or with a folder of the
repository, or with Plugins/ (the client folder's layout). In the
repository it is looked up in ROOT, in the build folders PREFIX=DIR maps
(build/windows, build/release; another build folder's paths only when it
exists), and in the release's client and symbols
folders (build/release/client, build/release/symbols), whose layout the
pages describe too; a bare Windows
program name (plugin-host.exe) in that folder and its tools/. In an archive
it is looked up in CLIENT_DIR alone, so a page that names the repository's
files, or its build folders, fails there. Windows programs run through
EMULATOR.
"""
import pathlib
import re
import shlex
import subprocess
import sys

SHELL_BLOCKS = {"sh", "bash", "shell", "console"}
SEPARATORS = {"|", "||", "&&", ";", "&"}
CHEAP_ARGUMENTS = (["--help"], ["--version"])
REPOSITORY_FOLDERS = ("scripts", "tests", "tools", "docs", "cmake", "build", "bench", "fuzz", "dll",
                      "logging", "binding", "formats", "remoting", "host", "platform", "plugin", "Plugins")
PROGRAMS = {"wine", "python3", "bash", "sh"}
TOOLS = {"plugin-host", "value-dump", "migration-preview"}
PLACEHOLDER = re.compile(r"[<>*{}$…]|\.\.\.")
LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)[^)]*\)")


def fenced_and_prose(path):
    """(line number, text) of each command of the shell blocks, and of each
    prose line outside the blocks."""
    commands, prose, block, pending = [], [], None, None
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        fence = re.match(r"^\s*```\s*(\w*)", line)
        if fence:
            block = None if block is not None else fence.group(1)
            continue
        if block is None:
            prose.append((number, line))
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
    return commands, prose


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


def tool_name(word):
    name = word.replace("\\", "/").rsplit("/", 1)[-1]
    name = name[:-4] if name.endswith(".exe") else name
    return name if name in TOOLS else None


def starts_program(word):
    return (word in PROGRAMS or word.startswith("./") or tool_name(word) is not None
            or (re.match(r"^[\w./-]+\.(sh|py|exe)$", word) is not None and "/" in word))


class Checker:
    def __init__(self, root, emulator, prefixes, client, archive):
        self.root, self.emulator, self.prefixes = root, emulator, prefixes
        self.client, self.archive = client, archive
        self.failures, self.checked, self.ran = [], 0, 0
        self.tool_options = {}

    def names_path(self, word):
        if PLACEHOLDER.search(word) or "://" in word:
            return False
        word = word.replace("\\", "/")
        return word.startswith("./") or word.split("/", 1)[0] in REPOSITORY_FOLDERS and "/" in word

    def candidates(self, word, program=False, command=False):
        """Where a word naming one of our files may be, or None for any other
        word; in a command a program, a DLL or a debug file may be named by
        its bare name."""
        word = word.replace("\\", "/")
        if not self.names_path(word):
            if "/" in word or PLACEHOLDER.search(word):
                return None
            if program and word.endswith(".exe"):
                return [self.client / word, self.client / "tools" / word]
            if command and word.endswith((".dll", ".debug")):
                return [self.client / word]  # run from the client folder
            return None
        relative = word[2:] if word.startswith("./") else word
        if self.archive:
            return [self.root / relative]
        for prefix, folder in self.prefixes.items():
            if relative.startswith(prefix + "/") or relative == prefix:
                return [folder / relative[len(prefix) + 1:]]
        build = re.match(r"^build/[^/]+", relative)
        if build and not (self.root / build.group(0)).is_dir():
            return None  # a build this run did not make (build/bench, ...)
        return [self.root / relative, self.client / relative, self.client.parent / "symbols" / relative]

    def check_path(self, where, word, program=False, command=False):
        """The file a word names, when it names one of ours that exists."""
        candidates = self.candidates(word, program, command)
        if candidates is None:
            return None
        self.checked += 1
        found = next((path for path in candidates if path.exists()), None)
        if found is None:
            self.failures.append(f"{where}: {word} does not exist ({candidates[0]})")
        return found

    def check_command(self, where, words):
        program_index = 1 if words[0] in PROGRAMS and len(words) > 1 else 0
        program = None
        for index, word in enumerate(words):
            value = re.sub(r"^[A-Za-z_]\w*=", "", word)  # the path of dll=Plugins/...
            found = self.check_path(where, value, program=index == program_index, command=True)
            if index == program_index:
                program = found
        tool = tool_name(words[program_index])
        arguments = words[program_index + 1:]
        if tool:
            self.check_options(where, tool, program, arguments)
        if program is not None and arguments in CHEAP_ARGUMENTS:
            self.run(where, program, arguments)

    def tool_program(self, tool, named):
        """The program whose --help lists a tool's options: the one the command
        names, else the client folder's."""
        if named is not None:
            return named
        return next((path for path in (self.client / f"{tool}.exe", self.client / "tools" / f"{tool}.exe")
                     if path.exists()), None)

    def options_of(self, tool, program):
        """(every option, the options that take a value) from the tool's --help."""
        if tool not in self.tool_options:
            done = self.execute([str(program), "--help"])
            text = done.stdout.replace("\r", "") if done is not None else ""
            options, valued = {"--help"}, set()
            # "  -h,--help   Print...", "  --store FILE   Keep...", "    --arg NAME=JSON ...":
            # a word one blank after the names is the option's value.
            for names, value in re.findall(r"^\s+(-[\w-]+(?:,\s*-[\w-]+)*)( \S+)?", text, re.M):
                found = re.findall(r"-[\w-]+", names)
                options.update(found)
                if value:
                    valued.update(found)
            # "usage: value-dump [--format json|msgpack|yaml] [--typed] FILE"
            for name, value in re.findall(r"\[(--?[\w-]+)( [^\]]+)?\]", text):
                options.add(name)
                if value:
                    valued.add(name)
            # "--version prints the version.": an option opening a sentence.
            options.update(re.findall(r"(?:^|\. )(--[\w-]+)", text, re.M))
            self.tool_options[tool] = (options, valued)
        return self.tool_options[tool]

    def check_options(self, where, tool, program, arguments):
        program = self.tool_program(tool, program)
        if program is None:
            self.failures.append(f"{where}: no {tool} program to ask for its options")
            return
        options, valued = self.options_of(tool, program)
        if not options:
            self.failures.append(f"{where}: {program} --help lists no options")
            return
        skip = False
        for argument in arguments:
            word = argument.strip("[]")
            if skip:
                skip = False
                continue
            if not word.startswith("-") or re.match(r"^-\d", word) or word == "-":
                continue
            option = word.split("=", 1)[0]
            self.checked += 1
            if option not in options:
                self.failures.append(f"{where}: {tool} has no option {option} (its --help lists {' '.join(sorted(options))})")
            elif option in valued and "=" not in word:
                skip = True

    def execute(self, command):
        if command[0].endswith(".exe"):
            command = self.emulator + command
        try:
            return subprocess.run(command, cwd=self.root, capture_output=True, text=True,
                                  errors="replace", timeout=120)
        except subprocess.TimeoutExpired:
            return None

    def run(self, where, program, arguments):
        self.ran += 1
        command = [str(program)] + arguments
        done = self.execute(command)
        if done is None:
            self.failures.append(f"{where}: {' '.join(command)} did not end within 120 s")
        elif done.returncode != 0:
            self.failures.append(f"{where}: {' '.join(command)} ended with {done.returncode}: {done.stdout}{done.stderr}")
        elif not done.stdout.strip():
            self.failures.append(f"{where}: {' '.join(command)} printed nothing")

    def check_prose(self, where, page, line):
        for span in re.findall(r"`([^`]+)`", line):
            words = list(simple_commands(span))
            if words and starts_program(words[0][0]):
                for command in words:
                    self.check_command(where, command)
                continue
            for word in span.split():
                if self.archive or not word.startswith("build/"):
                    self.check_path(where, word)
        for target in LINK.findall(re.sub(r"`[^`]*`", "", line)):
            if re.match(r"^(\w+:|#)", target):
                continue
            self.checked += 1
            file = target.split("#", 1)[0]
            if not (page.parent / file).exists():
                self.failures.append(f"{where}: the link {target} leads nowhere ({page.parent / file})")


def main():
    arguments = sys.argv[1:]
    archive = bool(arguments) and arguments[0] == "--archive"
    if archive:
        arguments = arguments[1:]
    if len(arguments) < 2:
        sys.exit(__doc__)
    root = pathlib.Path(arguments[0]).resolve()
    emulator = shlex.split(arguments[1])
    prefixes = {"build/windows": root / "build/windows", "build/release": root / "build/release"}
    for mapping in arguments[2:]:
        prefix, folder = mapping.split("=", 1)
        prefixes[prefix] = pathlib.Path(folder)
    client = root if archive else prefixes["build/release"] / "client"
    checker = Checker(root, emulator, prefixes, client, archive)
    pages = [root / "INTEGRATING.md"] if archive else [root / "README.md"] + sorted((root / "docs").glob("*.md"))
    for page in pages:
        commands, prose = fenced_and_prose(page)
        for number, text in commands:
            for words in simple_commands(text):
                checker.check_command(f"{page.relative_to(root)}:{number}", words)
        for number, line in prose:
            checker.check_prose(f"{page.relative_to(root)}:{number}", page, line)
    for failure in checker.failures:
        print("FAIL:", failure)
    print(f"docs_commands: {checker.checked} paths, options and links checked in {len(pages)} pages, "
          f"{checker.ran} commands run")
    # A check that found nothing to look at proves nothing.
    return 1 if checker.failures or checker.ran == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
