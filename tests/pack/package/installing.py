"""Installing and purging packages on this machine, for the tests that do.

Through apt-get, as a user would, waiting for dpkg's lock when another
program holds it (a machine shared with other work installs now and then).
"""

import os

from package_test import checked, run

LOCK_WAIT_SECONDS = 300
APT_TIME_LIMIT = LOCK_WAIT_SECONDS + 240


def apt_get(*arguments):
    """Runs apt-get; without a terminal a question of dpkg's would fail it."""
    return checked("apt-get", "-y", "-o", "DPkg::Lock::Timeout=%d" % LOCK_WAIT_SECONDS,
                   *arguments, stdin=open(os.devnull), timeout=APT_TIME_LIMIT,
                   env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))


def purge(name):
    """The guard's purge: whatever state the package is in."""
    run("apt-get", "-y", "-o", "DPkg::Lock::Timeout=%d" % LOCK_WAIT_SECONDS, "purge", name,
        timeout=APT_TIME_LIMIT, env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))


def refuse_to_touch(test, name):
    """Skips the test unless it may install the package called name: as
    root, while no such package is installed and none of its paths exist."""
    if os.geteuid() != 0:
        test.skipTest("installing a package needs root")
    if run("dpkg", "-s", name).returncode == 0:
        test.skipTest(name + " is installed already: not touching it")
    for path in ("/opt/" + name, "/etc/" + name, "/usr/bin/" + name):
        if os.path.lexists(path):
            test.skipTest(path + " exists: not touching it")
