#!/usr/bin/env python3
"""Checks that no source file under src/ is over 450 lines and no function
body over 60.

Usage: check_sizes.py [SRC]   (SRC defaults to the src/ beside tests/)

A function is found by its braces: a brace opened at the outermost level
(namespaces and extern blocks do not count as levels) after a line that is not
a class, struct, enum or initialised table begins a body, and its matching
brace ends it. Strings, characters and line comments are skipped. Prints one
line per file or function over its bound and exits 1 when there is any.
"""
import os
import re
import sys

from check_layers import report, source_files

MAX_FILE_LINES = 450
MAX_FUNCTION_LINES = 60

NOISE = re.compile(r'"(\\.|[^"\\])*"|\'(\\.|[^\'\\])*\'|//.*')
OPENS_SCOPE = re.compile(r"(namespace|extern)\b")
NOT_A_FUNCTION = re.compile(r"(struct|class|enum|union)\b")


def long_functions(lines):
    depth, start, head = 0, None, None
    for number, line in enumerate(lines, 1):
        if depth == 0 and line and not line[0].isspace() and not line.startswith(("}", "#", "//")):
            head = line
        for ch in NOISE.sub("", line):
            if ch == "{":
                if depth == 0 and head and OPENS_SCOPE.match(head):
                    head = None
                    continue
                if (depth == 0 and head and not NOT_A_FUNCTION.match(head)
                        and "=" not in head.split("(")[0]):
                    start = number
                depth += 1
            elif ch == "}" and depth > 0:
                depth -= 1
                if depth == 0 and start is not None:
                    if number - start - 1 > MAX_FUNCTION_LINES:
                        yield start, number - start - 1, head.strip()
                    start = None


def violations(src):
    found = []
    for _, path in source_files(src):
        with open(path, encoding="utf-8", errors="replace") as text:
            lines = text.read().split("\n")
        if len(lines) - 1 > MAX_FILE_LINES:
            found.append("%s: %d lines (at most %d)" % (path, len(lines) - 1, MAX_FILE_LINES))
        for start, length, head in long_functions(lines):
            found.append("%s:%d: %s: a body of %d lines (at most %d)"
                         % (path, start, head, length, MAX_FUNCTION_LINES))
    return found


def main(argv):
    return report(violations, argv)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
