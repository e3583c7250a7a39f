"""The layering check itself: it passes on a tree whose includes point down
and names the file and the include that point up or sideways."""
import os
import subprocess
import sys
import tempfile
import unittest
from unittest import mock

CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check_layers.py")


def run(src):
    return subprocess.run([sys.executable, CHECK, src], capture_output=True, text=True,
                          timeout=60)


class LayeringCheckTest(unittest.TestCase):
    def tree(self, files):
        root = tempfile.mkdtemp()
        self.addCleanup(lambda: subprocess.run(["rm", "-rf", root], timeout=60))
        for path, text in files.items():
            os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(root, path), "w") as out:
                out.write(text)
        return root

    def test_includes_pointing_down_pass(self):
        root = self.tree({
            "util/strings.h": "",
            "unix/files.cc": '#include "unix/files.h"\n#include "util/strings.h"\n',
            "process/main.cc": '#include "launcher/configureAndRun.h"\n#include <cstdio>\n',
            "pack/cli/main.cc": '#include "pack/image/applicationDirectory.h"\n'
                                '#include "pack/options/packOptions.h"\n#include "launcher/zipComment.h"\n',
        })
        result = run(root)
        self.assertEqual(("", 0), (result.stdout, result.returncode))

    def test_an_include_pointing_up_is_named(self):
        root = self.tree({"unix/files.cc": '#include "util/strings.h"\n#include "config/configFile.h"\n'})
        result = run(root)
        self.assertEqual(1, result.returncode)
        self.assertEqual("%s/unix/files.cc:2: unix may not include config/configFile.h\n" % root,
                         result.stdout)

    def test_pack_may_not_reach_the_launchers_top_nor_a_later_pack_folder(self):
        root = self.tree({"pack/zip/bundle.cc":
                          '#include "process/childProcess.h"\n#include "pack/image/applicationDirectory.h"\n'})
        result = run(root)
        self.assertEqual(1, result.returncode)
        self.assertEqual(["%s/pack/zip/bundle.cc:1: pack/zip may not include process/childProcess.h" % root,
                          "%s/pack/zip/bundle.cc:2: pack/zip may not include pack/image/applicationDirectory.h" % root],
                         result.stdout.splitlines())

    def test_a_format_folder_is_reached_only_through_the_table(self):
        # A format's folder stands on pack/package; no other format and no
        # folder above includes its headers.
        row = "extern const packageFormat %sFormat = {\n"
        root = self.tree({"pack/rpm/rpmPackage.cc":
                          '#include "pack/package/packageFormat.h"\n#include "pack/deb/aptRepository.h"\n'
                          + row % "rpm",
                          "pack/deb/debianPackage.cc": '#include "pack/rpm/rpmPackage.h"\n' + row % "debian",
                          "pack/deb/aptRepository.cc": '#include "pack/deb/aptRepository.h"\n',
                          "pack/options/optionTable.cc": '#include "pack/rpm/rpmPackage.h"\n',
                          # Without a row, a folder has no place.
                          "pack/appimage/appImage.cc": '#include "pack/package/packageFormat.h"\n'})
        result = run(root)
        self.assertEqual(1, result.returncode)
        self.assertEqual(["%s/pack/appimage/appImage.cc: folder 'pack/appimage' has no place in the layers" % root,
                          "%s/pack/deb/debianPackage.cc:1: pack/deb may not include pack/rpm/rpmPackage.h" % root,
                          "%s/pack/options/optionTable.cc:1: pack/options may not include pack/rpm/rpmPackage.h"
                          % root,
                          "%s/pack/rpm/rpmPackage.cc:2: pack/rpm may not include pack/deb/aptRepository.h" % root],
                         sorted(result.stdout.splitlines()))

    def test_the_command_lines_struct_stays_with_the_command_line(self):
        # Even with pack/options back at the bottom of the layers, the
        # folders below the command line may not include its struct.
        sys.path.insert(0, os.path.dirname(CHECK))
        import check_layers
        include = '#include "pack/options/packOptions.h"\n'
        root = self.tree({"pack/options/packRequests.cc": include, "pack/cli/main.cc": include,
                          "pack/package/packages.cc": include, "pack/service/serviceUnit.cc": include})
        for order in (check_layers.PACK, ["pack/options"] + [f for f in check_layers.PACK
                                                             if f != "pack/options"]):
            with mock.patch.object(check_layers, "PACK", order):
                self.assertEqual(["%s/pack/package/packages.cc:1: pack/package may not include "
                                  "pack/options/packOptions.h" % root,
                                  "%s/pack/service/serviceUnit.cc:1: pack/service may not include "
                                  "pack/options/packOptions.h" % root],
                                 sorted(check_layers.violations(root)), order)

    def test_a_folder_without_a_place_is_refused(self):
        root = self.tree({"gadgets/thing.cc": '#include "util/strings.h"\n'})
        result = run(root)
        self.assertEqual(1, result.returncode)
        self.assertIn("folder 'gadgets' has no place in the layers", result.stdout)


class SizeCheckTest(unittest.TestCase):
    """The size check finds a long body through namespaces and wrapped
    signatures, and does not take a class or a table for a function."""

    def test_bodies_and_files_over_their_bound(self):
        sys.path.insert(0, os.path.dirname(CHECK))
        import check_sizes
        body = lambda n: "".join("    x();\n" for _ in range(n))
        cases = [
            ("int f() {\n" + body(60) + "}\n", []),
            ("int f() {\n" + body(61) + "}\n", [(1, 61)]),
            ("namespace {\nint f(int a,\n      int b) {\n" + body(61) + "}\n}\n", [(3, 61)]),
            ("class c {\n" + body(70) + "};\n", []),
            ("static const int table[] = {\n" + body(70) + "};\n", []),
            ('int f() {\n    s("}}");\n' + body(61) + "}\n", [(1, 62)]),
        ]
        for text, expected in cases:
            found = [(start, length) for start, length, _ in
                     check_sizes.long_functions(text.split("\n"))]
            self.assertEqual(expected, found, text[:40])


if __name__ == "__main__":
    unittest.main()


SHAPE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check_shape.py")


class ShapeCheckTest(unittest.TestCase):
    """check_shape.py: an option declared twice, a circle of includes and a
    delete[] outside a destructor are each named; their absence passes."""
    tree = LayeringCheckTest.tree

    def shape(self, files):
        return subprocess.run([sys.executable, SHAPE, self.tree(files)], capture_output=True,
                              text=True, timeout=60)

    def test_shapes_are_counted(self):
        table = 'valueOption("-o", "OUTPUT", bundleJob, &o::output, "x"),\n'
        clean = {"pack/options/optionTable.cc": table,
                 "pack/options/optionChecks.cc": '#include "pack/options/packRequests.h"\n',
                 "pack/image/tree.cc": "tree::~tree() {\n    delete[] path;\n}\n",
                 "pack/base/failure.h": "[[noreturn]] void fail(const std::string& message);\n",
                 "pack/tools/run.cc": "[[noreturn]] static void runInChild() {\n}\n",
                 # A format is its folder and its row; comments and the host's
                 # package names may name formats anywhere.
                 "pack/deb/debianPackage.cc": 'extern const packageFormat debianFormat = {"--deb"};\n',
                 "pack/package/packageFormats.cc":
                     "extern const packageFormat debianFormat;\n    &debianFormat,\n",
                 "pack/package/packages.cc": '// as apt reads it\nfail("no strip (Debian\'s binutils)"); // rpm\n',
                 # The boundary takes an owned char* into a std::string; a
                 # string or a comment naming the other style is no use of it.
                 "pack/base/ownedText.cc": "std::string takeString(char* owned) {\n    ownedString t(owned);\n}\n",
                 "pack/zip/e.cc": 'std::string f() {\n    return "stringBuffer"; // createMessage\n}\n',
                 "pack/cli/main.cc": "std::string a;\nstringArray b;\n"}
        result = self.shape(clean)
        self.assertEqual(("", 0), (result.stdout, result.returncode))
        faults = [
            ({"pack/options/optionTable.cc": table + table}, "option -o: 2 rows"),
            ({"pack/cli/main.cc": 'if (strcmp(a, "-o") == 0) {}\n'}, 'the literal "-o"'),
            ({"pack/options/packRequests.h": '#include "pack/options/optionChecks.h"\n'},
             "optionChecks -> packRequests -> optionChecks"),
            ({"pack/zip/a.cc": "void f(char* p) {\n    delete[] p;\n}\n"},
             "a.cc:2: delete[] outside a destructor"),
            ({"pack/image/b.cc": "[[noreturn]] static void failCopying(const char* p) {\n}\n"},
             "b.cc:1: a throw helper failCopying"),
            ({"pack/zip/z.h": "    [[noreturn]] void fail(const char* format) const;\n"},
             "z.h:1: a throw helper fail"),
            ({"pack/options/optionHelp.cc": 'std::string x = "--rpm";\n'},
             "optionHelp.cc:1: names a format (rpm)"),
            ({"pack/service/serviceUnit.h": "enum script { debianPostinst, aptSources };\n"},
             "serviceUnit.h:1: names a format (apt, debian)"),
            ({"pack/package/packageFormats.cc":
                  "extern const packageFormat debianFormat;\n    &debianFormat,\n    &debianFormat,\n"},
             "the row debianFormat is declared 1 times and listed 2 times"),
            ({"pack/deb/aptRepository.cc": "extern const packageFormat aptFormat = {};\n"},
             "pack/deb: 2 rows of packageFormats"),
            ({"pack/zip/c.cc": "std::string f(stringBuffer& b);\n"},
             "c.cc: mixes std::string with owned char* strings"),
            ({"pack/tools/d.cc": "std::string f() {\n    return createMessage(\"%s\", x);\n}\n"},
             "d.cc: mixes std::string"),
            ({"pack/zip/classPath.cc": "std::string f();\n"},
             "classPath.cc: holds one string style now"),
            ({"pack/zip/g.cc": "ownedString t(new char[n + 1]);\n"},
             "g.cc: new char[ outside pack/base/ownedText.cc"),
        ]
        for extra, fault in faults:
            result = self.shape(dict(clean, **extra))
            self.assertEqual(1, result.returncode, fault)
            self.assertIn(fault, result.stdout)
