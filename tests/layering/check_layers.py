#!/usr/bin/env python3
"""Checks that includes under src/ only point down the layers.

Usage: check_layers.py [SRC]   (SRC defaults to the src/ beside tests/)

Each folder may include headers of its own folder and of the folders before it
in its list. larkwin-pack's folders may also include every launcher folder but
process, which is the launcher's own top; a folder under pack/ that defines
a package format's row stands on pack/package, and its headers are its own
alone; a header of ONLY_IN may be included only by the
folders it names. A folder that is in neither list is
an error too, so that a new folder gets its place here before it is used.
Prints one line per wrong include (FILE:LINE: FOLDER may not include HEADER)
and exits 1 when there is any.
"""
import os
import re
import sys

# The launcher, from the bottom up.
LAUNCHER = ["util", "unix", "runtime", "vm", "cache", "unpack", "config", "launcher", "notify", "process"]
# larkwin-pack, from the bottom up; it stands on the launcher's folders.
PACK = ["pack/base", "pack/zip", "pack/tools", "pack/service", "pack/image", "pack/onefile", "pack/repository",
        "pack/package", "pack/options", "pack/cli"]
# A package format's folder (pack/deb, pack/rpm) is one under pack/ that
# defines a row of packageFormats[]: it stands on FORMATS_ON and what is
# below it, and neither another format nor a folder above includes its
# headers, which are reached through the row alone. So a new format needs no
# line here.
FORMATS_ON = "pack/package"
FORMAT_ROW = re.compile(r"^extern const packageFormat \w+ = \{", re.M)
PACK_MAY_NOT_USE = ["process"]
# Headers that only some folders may include, whatever the layers allow: the
# command line's struct stays with the command line, and the layers below
# are handed requests.
ONLY_IN = {"pack/options/packOptions.h": ["pack/options", "pack/cli"]}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def allowed(folder, formats=()):
    """The folders that folder may include, or None when it has no place;
    formats are the format folders."""
    if folder in LAUNCHER:
        return LAUNCHER[: LAUNCHER.index(folder) + 1]
    below = [f for f in LAUNCHER if f not in PACK_MAY_NOT_USE]
    if folder in PACK:
        return below + PACK[: PACK.index(folder) + 1]
    if folder in formats:
        return below + PACK[: PACK.index(FORMATS_ON) + 1] + [folder]
    return None


def format_folders(src):
    """The folders under pack/ but PACK's that define a format's row."""
    found = set()
    for folder, path in source_files(src):
        if folder.startswith("pack" + os.sep) and folder not in PACK and path.endswith(".cc"):
            with open(path, encoding="utf-8", errors="replace") as text:
                if FORMAT_ROW.search(text.read()):
                    found.add(folder)
    return found


def source_files(src):
    """(folder relative to src, path) of every .h and .cc under src, in a
    stable order."""
    for root, _, names in os.walk(src):
        for name in sorted(names):
            if name.endswith((".h", ".cc")):
                yield os.path.relpath(root, src), os.path.join(root, name)


def violations(src):
    found = []
    formats = format_folders(src)
    for folder, path in source_files(src):
        may = allowed(folder, formats)
        if may is None:
            found.append("%s: folder '%s' has no place in the layers" % (path, folder))
            continue
        with open(path, encoding="utf-8", errors="replace") as text:
            for number, line in enumerate(text, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                header = match.group(1)
                if (os.path.dirname(header) not in may
                        or folder not in ONLY_IN.get(header, [folder])):
                    found.append("%s:%d: %s may not include %s"
                                 % (path, number, folder, header))
    return found


def report(find, argv):
    """Runs find on SRC (argv[1], else the src/ beside tests/), prints what
    it found a line each and returns the exit status."""
    src = argv[1] if len(argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..", "src")
    found = find(os.path.normpath(src))
    for line in found:
        print(line)
    return 1 if found else 0


def main(argv):
    return report(violations, argv)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
