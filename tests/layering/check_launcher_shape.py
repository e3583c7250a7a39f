#!/usr/bin/env python3
"""Counts that keep the launcher's shape.

Usage: check_launcher_shape.py [SRC]   (SRC defaults to the src/ beside tests/)

- No circle among the files of config/: a file is its .h and its .cc
  together, and it depends on every config/ header they include.
- No const_cast in the launcher's folders: what a layer only reads it takes
  as const char*.
- The file layer's failures keep their reason: in the files listed in
  REASON_FILES no message of a failed call is thrown straight away; each goes
  through throwWithReason or throwUnableToOpen, which keep errno and show it
  under +DEBUG, or names strerror itself.
Prints one line per finding and exits 1 when there is any.
"""
import os
import re
import sys

from check_layers import LAUNCHER, report

CIRCLE_FREE = ["config"]
REASON_FILES = ["unix/files.cc", "unix/outputFile.cc", "unix/tempFile.cc",
                "launcher/zipComment.cc", "cache/cacheRefusal.cc"]
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
# A message of a failed call thrown without its reason.
BARE_FAILURE = re.compile(r'throw\s+create(Message|StringCopy)\("(Unable|Failed)')


def unit_edges(src, folder):
    """{unit: set of units of the same folder it includes}."""
    edges = {}
    directory = os.path.join(src, folder)
    for name in sorted(os.listdir(directory)):
        unit, extension = os.path.splitext(name)
        if extension not in (".h", ".cc"):
            continue
        needs = edges.setdefault(unit, set())
        with open(os.path.join(directory, name), encoding="utf-8") as text:
            for line in text:
                match = INCLUDE.match(line)
                if match and os.path.dirname(match.group(1)) == folder:
                    other = os.path.splitext(os.path.basename(match.group(1)))[0]
                    if other != unit:
                        needs.add(other)
    return edges


def find_circle(edges):
    """One circle as a list of units (first repeated at the end), or None."""
    state = {}

    def visit(unit, path):
        state[unit] = "open"
        for other in sorted(edges.get(unit, ())):
            if state.get(other) == "open":
                return path[path.index(other):] + [other]
            if other not in state:
                found = visit(other, path + [other])
                if found:
                    return found
        state[unit] = "done"
        return None

    for unit in sorted(edges):
        if unit not in state:
            found = visit(unit, [unit])
            if found:
                return found
    return None


def findings(src):
    found = []
    for folder in CIRCLE_FREE:
        circle = find_circle(unit_edges(src, folder))
        if circle:
            found.append("%s/: files include one another: %s" % (folder, " -> ".join(circle)))
    for folder in LAUNCHER:
        directory = os.path.join(src, folder)
        for name in sorted(os.listdir(directory)):
            path = os.path.join(directory, name)
            with open(path, encoding="utf-8") as text:
                for number, line in enumerate(text, 1):
                    if "const_cast" in line:
                        found.append("%s:%d: const_cast in the launcher" % (path, number))
                    relative = os.path.join(folder, name)
                    if relative in REASON_FILES and BARE_FAILURE.search(line):
                        found.append("%s:%d: a failure thrown without its reason"
                                     % (path, number))
    return found


if __name__ == "__main__":
    sys.exit(report(findings, sys.argv))
