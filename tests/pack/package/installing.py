"""Installing and purging packages on this machine, for the tests that do.

Through apt-get, as a user would, waiting for dpkg's lock when another
program holds it (a machine shared with other work installs now and then).
"""

import os
import subprocess

from package_test import TIME_LIMIT, checked, run

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


def hand_over(test, name, port, directory, url, document):
    """Starts the installed application NAME ("--serve 90": it prints
    "listening on 127.0.0.1:PORT", then "open TEXT" for each file or URL it is
    handed, and ends when handed one named "stop"), runs the command of its
    installed menu entry for files and URLs on the URL and the document, as
    a desktop does, then on "stop" as a user in directory would; returns what
    the instance opened before "stop"."""
    with open("/usr/share/applications/%s-open.desktop" % name) as file:
        entry = dict(line.split("=", 1) for line in file.read().splitlines() if "=" in line)
    exec_line = entry["Exec"].split(" ")
    test.assertEqual(["/usr/bin/" + name, "+SHELL", "%U"], exec_line)
    instance = subprocess.Popen(["/usr/bin/" + name, "--serve", "90"], stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, cwd=directory)
    test.addCleanup(end, instance)
    for line in instance.stdout:
        if line.startswith("listening on 127.0.0.1:%d" % port):
            break
    else:
        test.fail("the instance did not listen: " + instance.stderr.read())
    document = os.path.join(directory, document)
    handed = checked(*(exec_line[:2] + [url, document]), cwd=directory)
    handed += checked(*(exec_line[:2] + ["stop"]), cwd=directory)
    if handed != "":
        instance.kill()
    output, errors = instance.communicate(timeout=TIME_LIMIT)
    test.assertEqual("", handed, "the instance printed:\n" + output + errors)
    test.assertEqual(0, instance.returncode, errors)
    opened = [line[5:] for line in output.splitlines() if line.startswith("open ")]
    test.assertEqual([os.path.join(directory, "stop")], opened[-1:], output + errors)
    return opened[:-1]


def end(process):
    if process.poll() is None:
        process.kill()
    process.communicate(timeout=TIME_LIMIT)
