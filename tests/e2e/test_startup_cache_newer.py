"""The start-up cache's end-to-end cases (test_startup_cache.py) on the
newest JDK of version 24 or later under /usr/lib/jvm, which keeps an AOT
cache from version 25 on; skipped when there is none."""

import unittest

import test_startup_cache as cases
from harness import LauncherTest


@unittest.skipIf(cases.NEWER_JAVA is None, "no JDK 24 or later under /usr/lib/jvm")
class StartupCacheNewerJdk(cases.StartupCacheCases, LauncherTest):
    java = cases.NEWER_JAVA
    shared_source = "shared objects file"


if __name__ == "__main__":
    unittest.main()
