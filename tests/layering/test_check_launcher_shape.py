"""The shape check finds what it counts."""
import os
import shutil
import tempfile
import unittest

import check_launcher_shape


def tree(files):
    """A src/ tree holding files ({relative path: text}) and every launcher folder."""
    root = tempfile.mkdtemp()
    for folder in check_launcher_shape.LAUNCHER:
        os.makedirs(os.path.join(root, folder), exist_ok=True)
    for relative, text in files.items():
        with open(os.path.join(root, relative), "w", encoding="utf-8") as out:
            out.write(text)
    return root


class LauncherShape(unittest.TestCase):
    def test_findings(self):
        cases = [
            ({"config/a.cc": '#include "config/b.h"\n', "config/b.cc": '#include "config/a.h"\n'},
             ["config/: files include one another: a -> b -> a"]),
            ({"config/a.cc": '#include "config/b.h"\n', "config/b.h": '#include "unix/a.h"\n'}, []),
            ({"vm/x.cc": 'f(const_cast<char*>("x"));\n'}, ["const_cast in the launcher"]),
            ({"unix/files.cc": 'throw createMessage("Unable to open \'%s\'", p);\n'},
             ["a failure thrown without its reason"]),
            ({"unix/other.cc": 'throw createMessage("Unable to open \'%s\'", p);\n'}, []),
        ]
        for files, expected in cases:
            root = tree(files)
            self.addCleanup(shutil.rmtree, root)
            found = check_launcher_shape.findings(root)
            self.assertEqual(len(expected), len(found), found)
            for want, got in zip(expected, found):
                self.assertIn(want, got)


if __name__ == "__main__":
    unittest.main()
