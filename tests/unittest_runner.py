#!/usr/bin/env python3
"""Runs Python unittest cases for CTest, so that a skip shows as a skip.

    unittest_runner.py DIR MODULE [CLASS...]   runs the classes (or the module)
    unittest_runner.py --list DIR MODULE       prints each class that holds cases

DIR is put first on the module path. Every skipped case is printed as a line
"SKIPPED: <case>: <reason>" on standard output. The status is 1 when a case
failed or none was found, 77 (CTest's SKIP_RETURN_CODE) when every case was
skipped, and 0 otherwise. CTest registers one test per class, so a class
whose cases all skip is listed as skipped in CTest's summary; a class mixes
skipped and passing cases only where the skip does not depend on the
machine (valgrind's wrapper, for one).
"""

import importlib
import os
import sys
import unittest

SKIPPED = 77


def classes_with_cases(module):
    loader = unittest.TestLoader()
    names = []
    for name in sorted(dir(module)):
        value = getattr(module, name)
        if (isinstance(value, type) and issubclass(value, unittest.TestCase)
                and value.__module__ == module.__name__
                and loader.loadTestsFromTestCase(value).countTestCases() > 0):
            names.append(name)
    return names


def run(module, names):
    loader = unittest.TestLoader()
    if names:
        suite = loader.loadTestsFromNames(names, module)
    else:
        suite = loader.loadTestsFromModule(module)
    result = unittest.TextTestRunner(verbosity=2, stream=sys.stderr).run(suite)
    sys.stderr.flush()
    for case, reason in result.skipped:
        print("SKIPPED: %s: %s" % (case.id(), reason), flush=True)
    if not result.wasSuccessful() or (result.testsRun == 0 and not result.skipped):
        return 1
    # A class skipped in setUpClass counts no case as run.
    skipped_cases = len([case for case, _ in result.skipped if isinstance(case, unittest.TestCase)])
    passed = result.testsRun - skipped_cases - len(result.expectedFailures)
    return SKIPPED if result.skipped and passed <= 0 else 0


def main(arguments):
    listing = arguments[:1] == ["--list"]
    if listing:
        arguments = arguments[1:]
    directory, module_name, names = arguments[0], arguments[1], arguments[2:]
    sys.path.insert(0, os.path.abspath(directory))
    module = importlib.import_module(module_name)
    if listing:
        print(";".join(classes_with_cases(module)))
        return 0
    return run(module, names)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
