#!/usr/bin/env python3
"""layering_check.py ROOT LIBRARIES_JSON: the libraries of ours, the DLL and
the tools depend one way down these floors, in their includes and in what
they link:

    tools                          tools/ (and above them tests/, bench/, fuzz/)
    dll                            dll/
    plugin, platform               qcp_plugin, qcp_platform
    host                           qcp_host
    remoting                       qcp_remoting
    error record                   qcp_errors (in logging/)
    formats                        qcp_formats
    binding                        qcp_binding
    logger                         qcp_logging (the rest of logging/)

LIBRARIES_JSON is the file the build writes (cmake/QcpLibraryManifest.cmake):
each target's sources and link libraries as CMake builds them. A source
takes the floor of the library that builds it; a header, or a source the
build leaves out (the other platform's), takes that of the source of the same
name beside it, else the lowest floor built from its folder, raised to the
highest floor of that folder it includes. Includes are resolved as the
compiler does: "..." from the including file's folder, then from the root;
<...> from the root. Every folder is walked with its subfolders."""
import json
import pathlib
import re
import sys

ORDER = ["logger", "binding", "formats", "errors", "remoting", "host", "platform", "plugin", "dll", "tools", "top"]
BELOW = {
    "logger": {"logger"},
    "binding": {"logger", "binding"},
    "formats": {"logger", "binding", "formats"},
    "errors": {"logger", "binding", "formats", "errors"},
    "remoting": {"logger", "binding", "formats", "errors", "remoting"},
    "host": {"logger", "binding", "formats", "errors", "remoting", "host"},
    "platform": {"logger", "binding", "formats", "errors", "platform"},
    "plugin": {"logger", "binding", "formats", "errors", "remoting", "host", "platform", "plugin"},
}
BELOW["dll"] = BELOW["plugin"] | {"dll"}
BELOW["tools"] = BELOW["dll"] | {"tools"}
BELOW["top"] = set(ORDER)
LIBRARY_FLOORS = {
    "qcp_logging": "logger", "qcp_binding": "binding", "qcp_formats": "formats", "qcp_errors": "errors",
    "qcp_remoting": "remoting", "qcp_host": "host", "qcp_platform": "platform", "qcp_plugin": "plugin",
}
LIBRARY_FOLDERS = ("logging", "binding", "formats", "remoting", "host", "platform", "plugin")
FOLDER_FLOORS = {"dll": "dll", "tools": "tools", "tests": "top", "bench": "top", "fuzz": "top"}
SCANNED = LIBRARY_FOLDERS + ("dll", "tools")
CODE = {".h", ".hpp", ".c", ".cpp", ".inl"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
PLATFORM_SUFFIX = re.compile(r"_(windows|posix)$")


class Layers:
    def __init__(self, root, manifest):
        self.root = root
        self.faults = []
        self.floors = {}          # file (relative path) -> floor
        self.target_floors = {}   # target -> floor
        self.manifest = manifest
        for target in LIBRARY_FLOORS:
            if target not in manifest:
                self.faults.append(f"{target} is not among the build's libraries: the check has nothing to hold it to")
        for target, entry in manifest.items():
            own = self.own_sources(entry)
            floor = LIBRARY_FLOORS.get(target) or self.folder_floor_of(target, own)
            if floor is None:
                continue
            self.target_floors[target] = floor
            for source in own:
                known = self.floors.setdefault(source, floor)
                if known != floor:
                    self.faults.append(f"{source} is built on two floors, {known} and {floor}")

    def own_sources(self, entry):
        """The target's sources of the tree (not generated ones), relative to the root."""
        own = []
        for source in entry["sources"]:
            path = pathlib.Path(source)
            if path.suffix not in CODE or not path.is_relative_to(self.root):
                continue
            relative = path.relative_to(self.root)
            if relative.parts[0] in SCANNED:
                own.append(relative.as_posix())
        return own

    def folder_floor_of(self, target, sources):
        folders = {source.split("/")[0] for source in sources}
        if not folders:
            return None  # a wrapper of headers or flags of others
        if len(folders) == 1 and next(iter(folders)) in FOLDER_FLOORS:
            return FOLDER_FLOORS[next(iter(folders))]
        self.faults.append(f"{target} builds sources of {', '.join(sorted(folders))}/ but stands on no floor of the check")
        return None

    def files(self):
        for folder in SCANNED:
            for path in sorted((self.root / folder).rglob("*")):
                if path.suffix in CODE and path.is_file():
                    yield path.relative_to(self.root).as_posix()

    def resolve(self, including, kind, name):
        """The file of the tree an include names, as a relative path, or None."""
        bases = ([(self.root / including).parent] if kind == '"' else []) + [self.root]
        for base in bases:
            candidate = (base / name).resolve()
            if candidate.is_file() and candidate.is_relative_to(self.root):
                relative = candidate.relative_to(self.root)
                if relative.parts[0] in SCANNED or relative.parts[0] in FOLDER_FLOORS:
                    return relative.as_posix()
                return None
        return None

    def includes(self, relative):
        text = (self.root / relative).read_text(encoding="utf-8", errors="replace")
        found = []
        for kind, name in INCLUDE.findall(text):
            target = self.resolve(relative, kind, name)
            if target:
                found.append((name, target))
        return found

    def assign_unbuilt(self, files):
        """Floors of the headers and of the sources the build leaves out."""
        by_stem = {}
        for built, floor in self.floors.items():
            path = pathlib.PurePosixPath(built)
            by_stem.setdefault((str(path.parent), PLATFORM_SUFFIX.sub("", path.stem)), set()).add(floor)
        folder_floors = {}
        for built, floor in self.floors.items():
            folder_floors.setdefault(built.split("/")[0], set()).add(floor)
        pending = []
        for relative in files:
            if relative in self.floors:
                continue
            top = relative.split("/")[0]
            if top in FOLDER_FLOORS:
                self.floors[relative] = FOLDER_FLOORS[top]
                continue
            path = pathlib.PurePosixPath(relative)
            twins = by_stem.get((str(path.parent), PLATFORM_SUFFIX.sub("", path.stem)))
            if twins and len(twins) == 1:
                self.floors[relative] = next(iter(twins))
            elif top in folder_floors:
                self.floors[relative] = min(folder_floors[top], key=ORDER.index)
                if len(folder_floors[top]) > 1:
                    pending.append(relative)
            else:
                self.faults.append(f"{relative}: no library of the build holds a source of {top}/")
        # A file of a folder with two libraries belongs to the higher one when it
        # includes a file of it.
        raised = True
        while raised:
            raised = False
            for relative in pending:
                top = relative.split("/")[0]
                for _, target in self.includes(relative):
                    floor = self.floors.get(target)
                    if target.split("/")[0] == top and floor and ORDER.index(floor) > ORDER.index(self.floors[relative]):
                        self.floors[relative] = floor
                        raised = True

    def check_includes(self, files):
        checked = 0
        for relative in files:
            own = self.floors.get(relative)
            if own is None:
                continue
            for name, target in self.includes(relative):
                checked += 1
                floor = self.floors.get(target) or FOLDER_FLOORS.get(target.split("/")[0])
                if floor and floor not in BELOW[own]:
                    self.faults.append(f"{relative} ({own}) includes {name}, which is {target} ({floor})")
        return checked

    def check_links(self):
        checked = 0
        for target, floor in sorted(self.target_floors.items()):
            entry = self.manifest[target]
            items = entry["links"] + entry["interfaceLinks"]
            for linked in dict.fromkeys(re.sub(r"^\$<LINK_ONLY:(.*)>$", r"\1", item) for item in items):
                linked_floor = self.target_floors.get(linked)
                if linked_floor is None:
                    continue
                checked += 1
                if linked_floor not in BELOW[floor]:
                    self.faults.append(f"{target} ({floor}) links {linked} ({linked_floor})")
        return checked


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: layering_check.py ROOT LIBRARIES_JSON")
    root = pathlib.Path(sys.argv[1]).resolve()
    manifest_path = pathlib.Path(sys.argv[2])
    if not manifest_path.is_file():
        print(f"{manifest_path} is missing: configure the build first (cmake/QcpLibraryManifest.cmake writes it)")
        return 1
    layers = Layers(root, json.loads(manifest_path.read_text()))
    files = list(layers.files())
    layers.assign_unbuilt(files)
    includes = layers.check_includes(files)
    links = layers.check_links()
    for fault in layers.faults:
        print("FAIL:", fault)
    print(f"layering: {len(files)} files, {includes} includes and {links} links of ours checked")
    if layers.faults:
        print(f"{len(layers.faults)} fault(s) against the floors")
        return 1
    print("Every include and every link runs down the floors")
    return 0


if __name__ == "__main__":
    sys.exit(main())
