#!/usr/bin/env python3
"""A real application's .deb installed on this machine, used and purged.

The application is a Groovy script on Debian's Groovy (the groovy package's
own groovy-2.4.21.jar): compiled by groovyc, it opens the files and URLs it
is given and listens with larkwin-app.jar's SingleInstance for those that
later starts hand over. It is packaged with a socket, a file type and a URL
scheme, installed with apt-get as root, started through /usr/bin/NAME, handed a
URL and files through the command of its installed menu entry, stopped and
purged; then nothing of it may be left.

The guard (installing.py): only as root, only while no package of that name is installed
and none of its paths exist, and the purge is registered before the install,
so that it runs whatever happens. CI runs in a throwaway container as root;
the name belongs to this test alone.

Environment as in package_test.py, plus PACKAGE_TEST_APP_JAR (larkwin-app.jar)
and PACKAGE_TEST_JAVA (the JDK's java, for groovyc).
"""

import os
import shutil
import tempfile
import unittest

from installing import apt_get, hand_over, purge, refuse_to_touch
from package_test import PACK, SOURCE, checked, run

APP_JAR = os.environ.get("PACKAGE_TEST_APP_JAR", "")
JAVA = os.environ.get("PACKAGE_TEST_JAVA", "")
GROOVY_JAR = "/usr/share/groovy/lib/groovy-2.4.21.jar"
NAME = "larkwin-test-inbox"
MIME = "application/x-larkwin-test-inbox"
# Its own port, so that it never meets another test's instance.
PORT = 47834
CONFIGURATION = "mainclass Inbox\nsocket %d\n" % PORT


def installed_paths(name):
    """The paths dpkg lists for an installed package."""
    return checked("dpkg", "-L", name).splitlines()


class RealApplicationTest(unittest.TestCase):
    def setUp(self):
        for path in (GROOVY_JAR, "/usr/bin/groovyc"):
            if not os.path.exists(path):
                self.skipTest("needs Debian's groovy package (%s is missing)" % path)
        refuse_to_touch(self, NAME)
        self.dir = tempfile.mkdtemp(prefix="larkwin-real-application-")
        self.addCleanup(shutil.rmtree, self.dir)

    def test_install_open_a_file_and_a_url_in_the_running_instance_purge(self):
        deb = self.make_package()
        self.addCleanup(purge, NAME)
        apt_get("install", deb)
        paths = installed_paths(NAME)
        # The triggers of shared-mime-info and desktop-file-utils ran.
        self.assertIn("*.ltinbox", self.read("/usr/share/mime/globs2"))
        self.assertEqual(NAME + "-open.desktop", self.default_application())
        url = NAME + "://open?id=3&x=a%20b"
        self.assertEqual([url, os.path.join(self.dir, "notes.ltinbox")],
                         hand_over(self, NAME, PORT, self.dir, url, "notes.ltinbox"))

        apt_get("purge", NAME)
        self.assertNotEqual(0, run("dpkg", "-s", NAME).returncode)
        self.assertNothingLeft(paths)

    def make_package(self):
        """Compiles the script and packs it with Debian's Groovy jar."""
        classes = os.path.join(self.dir, "classes")
        jdk = os.path.dirname(os.path.dirname(os.path.realpath(JAVA)))
        checked("groovyc", "-cp", APP_JAR, "-d", classes,
                os.path.join(SOURCE, "groovy", "Inbox.groovy"), env=dict(os.environ, JAVA_HOME=jdk))
        jar = os.path.join(self.dir, "inbox.jar")
        checked(os.path.join(jdk, "bin", "jar"), "--create", "--file", jar, "-C", classes, ".")
        configuration = os.path.join(self.dir, "inbox.config")
        licence = os.path.join(self.dir, "LICENSE")
        with open(configuration, "w") as file:
            file.write(CONFIGURATION)
        with open(licence, "w") as file:
            file.write("Copyright 2026 the larkwin authors\n\nMIT License\n")
        dist = os.path.join(self.dir, "dist")
        os.mkdir(dist)
        checked(PACK, "--deb", dist, "--name", NAME, "--app-version", "1.0",
                "--description", "Opens the files and URLs it is given",
                "--maintainer", "Larkwin Tests <tests@example.org>", "--license-file", licence,
                "--file-type", "ltinbox," + MIME + ",Larkwin inbox test",
                "--url-scheme", NAME, "--config", configuration, "--quiet",
                jar, APP_JAR, GROOVY_JAR, timeout=900, env=dict(os.environ, JAVA_HOME=jdk))
        return os.path.join(dist, NAME + "_1.0_%s.deb" % checked(
            "dpkg", "--print-architecture").strip())

    def default_application(self):
        """The entry xdg-mime names for the file type, from the system's files."""
        home = os.path.join(self.dir, "home")
        os.makedirs(home, exist_ok=True)
        environment = {"PATH": os.environ["PATH"], "HOME": home,
                       "XDG_DATA_HOME": os.path.join(home, "data"),
                       "XDG_CONFIG_HOME": os.path.join(home, "config")}
        return checked("xdg-mime", "query", "default", MIME, env=environment).strip()

    def read(self, path):
        with open(path) as file:
            return file.read()

    def assertNothingLeft(self, paths):
        """Every file of the package is gone, so are its own directories, and
        the caches the triggers rebuilt no longer name it."""
        left = [path for path in paths if os.path.lexists(path) and not os.path.isdir(path)]
        self.assertEqual([], left)
        for path in ("/opt/" + NAME, "/etc/" + NAME, "/usr/bin/" + NAME,
                     "/usr/share/doc/" + NAME, "/usr/share/mime/%s.xml" % MIME,
                     "/usr/share/mime/packages/%s.xml" % NAME,
                     "/usr/share/applications/%s.desktop" % NAME):
            self.assertFalse(os.path.lexists(path), path)
        for cache in ("/usr/share/applications/mimeinfo.cache", "/usr/share/mime/globs2"):
            if os.path.exists(cache):
                self.assertNotIn("ltinbox", self.read(cache), cache)
                self.assertNotIn(NAME, self.read(cache), cache)


if __name__ == "__main__":
    unittest.main()
