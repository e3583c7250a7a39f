#!/usr/bin/env python3
"""Counts the shapes that keep larkwin-pack's options and files simple.

Usage: check_shape.py [SRC]   (SRC defaults to the src/ beside tests/)

- An option is one row: each name of the option table (a row made by
  flagOption, valueOption or listOption in pack/options/optionTable.cc, or a
  package format's option) stands as the literal "NAME" once under
  pack/options and pack/cli; other places find the row (findOption,
  goesWith, refusedAs) or say it inside a message.
- No circle of includes among the files of a folder of NO_CIRCLES (a file
  and its header count as one).
- No delete[] in src/pack outside a destructor's body.
- No [[noreturn]] throw helper (a function whose name begins with "fail")
  in src/pack but those of pack/base/failure.h, the packer's one way to fail.
- A new package format touches its own folder and one row: outside the
  folders that define a format's row (check_layers.format_folders), the
  packer's code (comments aside) names no format, its package manager nor
  its tools; the table pack/package/packageFormats.cc names each row once,
  as "extern const packageFormat NAME;" and "&NAME,"; each format folder
  defines one row.
- One string style in a file: no .cc file of STRING_FOLDERS uses std::string
  and also the launcher's owned strings (stringArray, stringBuffer,
  ownedString, createString..., createMessage, new char[, delete[]), but the
  boundary files that take the lower layers' owned char* into std::string,
  and the files of STILL_MIXED, which lists exactly those that do still
  mix, so that it only shrinks. Nor a new char[ in those folders but in
  the boundary files.
Prints one line per fault and exits 1 when there is any.
"""
import os
import re
import sys

from check_layers import INCLUDE, format_folders, report, source_files

TABLE = os.path.join("pack", "options", "optionTable.cc")
ROW = re.compile(r'(?:flag|value|list)Option\(\s*"(-[^"]*)"')
# A format's row: its option and its repository's, in its packageFormat.
FORMAT_ROW = re.compile(r'extern const packageFormat \w+ = \{\s*"(-[^"]*)"(?:.|\n)*?"(-[^"]*)",\s*"  ')
# Folders whose files include one another only downwards.
NO_CIRCLES = ["pack/options"]
# A reference to a row by name, not a second declaration of it.
REFERENCE = re.compile(r'(?:goesWith|findOption|refusedAs)\(\s*"(-[^"]*)"|//.*')
# The folders where options are declared; the layers below may pass the same
# words to the tools they run.
DECLARING = ["pack/options", "pack/cli"]


def read(path):
    with open(path, encoding="utf-8", errors="replace") as text:
        return text.read()


def option_rows(src):
    """Each option name with the files that declare it as a row."""
    rows = {}
    for folder, path in source_files(src):
        text = read(path)
        names = ROW.findall(text) if os.path.relpath(path, src) == TABLE else []
        if folder == os.path.join("pack", "package"):
            for match in FORMAT_ROW.finditer(text):
                names += [match.group(1), match.group(2)]
        for name in names:
            rows.setdefault(name, []).append(path)
    return rows


def option_faults(src):
    rows = option_rows(src)
    found = []
    for name, paths in sorted(rows.items()):
        if len(paths) != 1:
            found.append("option %s: %d rows" % (name, len(paths)))
    literals = {}
    for folder, path in source_files(src):
        if folder not in DECLARING:
            continue
        text = REFERENCE.sub("", read(path))
        for name in rows:
            count = text.count('"%s"' % name)
            if count:
                literals.setdefault(name, []).extend([path] * count)
    for name, paths in sorted(literals.items()):
        if len(paths) > 1:
            found.append('option %s: the literal "%s" in %s'
                         % (name, name, ", ".join(sorted(set(paths)))))
    return found


def circle_faults(src):
    found = []
    for folder in NO_CIRCLES:
        edges = {}
        for file_folder, path in source_files(src):
            if file_folder != folder:
                continue
            module = os.path.splitext(os.path.basename(path))[0]
            for line in read(path).split("\n"):
                match = INCLUDE.match(line)
                if match and os.path.dirname(match.group(1)) == folder:
                    other = os.path.splitext(os.path.basename(match.group(1)))[0]
                    if other != module:
                        edges.setdefault(module, set()).add(other)
        for start in sorted(edges):
            path = find_path(edges, [start])
            if path:
                found.append("%s: a circle of includes: %s" % (folder, " -> ".join(path)))
                break
    return found


def find_path(edges, path):
    """A circle that leads from the last of path back to its first, or None."""
    for after in sorted(edges.get(path[-1], ())):
        if after == path[0]:
            return path + [after]
        if after not in path:
            found = find_path(edges, path + [after])
            if found:
                return found
    return None


def delete_faults(src):
    found = []
    for folder, path in source_files(src):
        if not folder.startswith("pack"):
            continue
        depth, destructor, head = 0, False, ""
        for number, line in enumerate(read(path).split("\n"), 1):
            if depth == 0 and line and not line[0].isspace():
                head = line
            for ch in re.sub(r'"(\\.|[^"\\])*"|//.*', "", line):
                if ch == "{":
                    if depth == 0:
                        destructor = "::~" in head
                    depth += 1
                elif ch == "}" and depth > 0:
                    depth -= 1
            if "delete[]" in re.sub(r"//.*", "", line) and not destructor:
                found.append("%s:%d: delete[] outside a destructor" % (path, number))
    return found


FAILURE = os.path.join("pack", "base", "failure.h")
THROW_HELPER = re.compile(r"\[\[noreturn\]\][^(]*?\b(?:\w+::)?(fail\w*)\(")


def throw_helper_faults(src):
    found = []
    for folder, path in source_files(src):
        if not folder.startswith("pack") or os.path.relpath(path, src) == FAILURE:
            continue
        for number, line in enumerate(read(path).split("\n"), 1):
            match = THROW_HELPER.search(line)
            if match:
                found.append("%s:%d: a throw helper %s besides pack/base/failure.h"
                             % (path, number, match.group(1)))
    return found


FORMAT_TABLE = os.path.join("pack", "package", "packageFormats.cc")
# The words that name a format, its package manager or its tools, as words
# of the code or parts of a camel-case name.
FORMAT_WORDS = {"deb", "debian", "dpkg", "apt", "rpm", "rpmbuild", "dnf", "yum", "lintian"}
WORD = re.compile(r"[A-Z]+(?![a-z])|[A-Z]?[a-z0-9]+")
# Comments go; strings and characters stay, and so does "Debian's", the
# host's distribution that a missing tool's package is named after.
NOT_CODE = re.compile(r"'(?:\\.|[^'\\])'|\"(?:\\.|[^\"\\])*\"|//.*")
HOST_PACKAGE = re.compile(r"\bDebian's ")
TABLE_LINE = re.compile(r"^(?:extern const packageFormat (\w+);|\s*&(\w+),)$")
FORMAT_ROW_DEFINED = re.compile(r"^extern const packageFormat \w+ = \{", re.M)


def code_of(line):
    return NOT_CODE.sub(lambda m: m.group(0) if m.group(0)[0] in "'\"" else " ",
                        HOST_PACKAGE.sub("", line))


def format_words(line):
    return sorted(set(w.lower() for w in WORD.findall(code_of(line))) & FORMAT_WORDS)


def format_faults(src):
    found = []
    formats = format_folders(src)
    declared, listed = [], []
    for folder, path in source_files(src):
        if not folder.startswith("pack") or folder in formats:
            continue
        table = os.path.relpath(path, src) == FORMAT_TABLE
        for number, line in enumerate(read(path).split("\n"), 1):
            row = TABLE_LINE.match(line) if table else None
            if row:
                (declared if row.group(1) else listed).append(row.group(1) or row.group(2))
            elif format_words(line):
                found.append("%s:%d: names a format (%s) outside its folder and row"
                             % (path, number, ", ".join(format_words(line))))
    for name in sorted(set(declared + listed)):
        if declared.count(name) != 1 or listed.count(name) != 1:
            found.append("%s: the row %s is declared %d times and listed %d times"
                         % (FORMAT_TABLE, name, declared.count(name), listed.count(name)))
    for folder in sorted(formats):
        rows = sum(len(FORMAT_ROW_DEFINED.findall(read(path)))
                   for f, path in source_files(src) if f == folder)
        if rows != 1:
            found.append("%s: %d rows of packageFormats (one a folder)" % (folder, rows))
    return found


STRING_FOLDERS = ["pack/base", "pack/zip", "pack/tools", "pack/service", "pack/repository",
                  "pack/package", "pack/deb", "pack/rpm"]
# Where an owned char* of a lower layer becomes a std::string (and back, for
# the callers that take one), where the tool runner's stringBuffer does, and
# where the packer's std::string message becomes the char* that main catches.
STRING_BOUNDARY = ["pack/base/ownedText.cc", "pack/base/failure.cc", "pack/tools/programText.cc"]
# The files that still mix the two styles: their interfaces hand owned
# strings to callers and tests that take them so.
STILL_MIXED = [
    "pack/deb/debianPackage.cc",
    "pack/package/packageTraining.cc", "pack/package/packageTree.cc",
    "pack/package/packages.cc", "pack/package/stagingFiles.cc",
    "pack/rpm/rpmPackage.cc",
    "pack/service/serviceUnit.cc", "pack/tools/jdkTools.cc",
    "pack/zip/classPath.cc", "pack/zip/packageSections.cc", "pack/zip/zipMerge.cc",
    "pack/zip/zipMergeWrite.cc",
]
STD_STRING = re.compile(r"\bstd::string\b")
OWNED_STRING = re.compile(r"\b(?:stringArray|stringBuffer|ownedString|createString\w*|createMessage)\b"
                          r"|new char\[|delete\[\]")


def string_styles(path):
    """Whether the file's code uses std::string, and the owned strings."""
    code = re.sub(r'"(?:\\.|[^"\\])*"|//.*', "", read(path))
    return bool(STD_STRING.search(code)), bool(OWNED_STRING.search(code))


def string_style_faults(src):
    found = []
    for folder, path in source_files(src):
        relative = os.path.relpath(path, src)
        if folder not in STRING_FOLDERS or not path.endswith(".cc"):
            continue
        if relative not in STRING_BOUNDARY and "new char[" in re.sub(r"//.*", "", read(path)):
            found.append("%s: new char[ outside pack/base/ownedText.cc" % path)
        styles = string_styles(path)
        if all(styles) and relative not in STILL_MIXED + STRING_BOUNDARY:
            found.append("%s: mixes std::string with owned char* strings" % path)
        elif any(styles) and not all(styles) and relative in STILL_MIXED:
            found.append("%s: holds one string style now: take it off STILL_MIXED" % path)
    return found


def violations(src):
    return (option_faults(src) + circle_faults(src) + delete_faults(src)
            + throw_helper_faults(src) + format_faults(src) + string_style_faults(src))


if __name__ == "__main__":
    sys.exit(report(violations, sys.argv))
