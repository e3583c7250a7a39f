"""larkwin-maven-plugin: a sample project packed by "mvn package", offline,
and the byte-for-byte identity of what larkwin-pack writes with
SOURCE_DATE_EPOCH. Every form is made once per build in setUpClass."""
import glob
import hashlib
import os
import re
import shutil
import subprocess
import unittest
import zipfile

PACK = os.environ.get("MAVEN_TEST_PACK", "")
MVN = os.environ.get("MAVEN_TEST_MVN", "")
REPO = os.environ.get("MAVEN_TEST_REPO", "")
VERSION = os.environ.get("MAVEN_TEST_VERSION", "")
DEMO_JAR = os.environ.get("MAVEN_TEST_DEMO_JAR", "")
JAVA = os.path.realpath(os.environ.get("MAVEN_TEST_JAVA", "/usr/bin/java"))
JDK = os.path.dirname(os.path.dirname(JAVA))
WORK = os.environ.get("MAVEN_TEST_DIR", "/tmp/larkwin-maven-test")
GNUPGHOME = os.path.join(WORK, "gnupg")
KEY = "larkwin maven test <maven@example.org>"
SAMPLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sample")
PLUGIN = os.path.join(REPO, "com/larkwin/larkwin-maven-plugin", VERSION,
                      "larkwin-maven-plugin-%s.jar" % VERSION)
NAME = "larkwin-sample"
# Options of larkwin-pack that are no packing parameter.
NOT_PARAMETERS = {"help", "version", "show"}
# Parameters of the plugin's own.
PLUGIN_ONLY = {"larkwinPack", "skip", "outputTimestamp", "trainArguments"}

SETTINGS = """<settings>
  <localRepository>{work}/local-repository</localRepository>
  <offline>true</offline>
  <interactiveMode>false</interactiveMode>
  <mirrors><mirror><id>debian</id><mirrorOf>*,!larkwin</mirrorOf>
    <url>file:///usr/share/maven-repo</url></mirror></mirrors>
  <profiles><profile><id>larkwin</id>
    <pluginRepositories><pluginRepository><id>larkwin</id><url>file://{repo}</url>
    </pluginRepository></pluginRepositories></profile></profiles>
  <activeProfiles><activeProfile>larkwin</activeProfile></activeProfiles>
</settings>
"""


def run(command, timeout=600, **keywords):
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          stdin=subprocess.DEVNULL, text=True, timeout=timeout, **keywords)


def environment(**extra):
    # HOME holds the .rpmmacros below.
    env = dict(os.environ, JAVA_HOME=JDK, LC_ALL="C.UTF-8", HOME=os.path.join(WORK, "home"),
               # Maven takes ~/.m2 from user.home: never the machine's.
               MAVEN_OPTS="-Duser.home=" + os.path.join(WORK, "home"))
    env.pop("SOURCE_DATE_EPOCH", None)
    env["GNUPGHOME"] = GNUPGHOME
    env.update(extra)
    return env


def mvn(project, *arguments, pom="pom.xml"):
    command = [MVN, "-B", "-o", "-Daether.offline.protocols=file",
               "-s", os.path.join(WORK, "settings.xml"), "-f", os.path.join(project, pom),
               "-Dlarkwin.pack=" + PACK, "-Dsample.runtime=" + os.path.join(WORK, "runtime")]
    return run(command + list(arguments), env=environment())


def tree_listing(top):
    """Each entry's path, mode, time and content (or link target)."""
    listing = []
    for directory, folders, files in os.walk(top):
        folders.sort()
        for name in sorted(folders + files):
            path = os.path.join(directory, name)
            status = os.lstat(path)
            if os.path.islink(path):
                content = os.readlink(path)
            elif os.path.isfile(path):
                with open(path, "rb") as f:
                    content = hashlib.sha256(f.read()).hexdigest()
            else:
                content = "directory"
            listing.append((os.path.relpath(path, top), status.st_mode, status.st_mtime, content))
    return listing


def read(path):
    with open(path, "rb") as f:
        return f.read()


def only(pattern):
    found = glob.glob(pattern)
    if len(found) != 1:
        raise AssertionError("%s matched %s" % (pattern, found))
    return found[0]


@unittest.skipUnless(os.path.isfile(PLUGIN), "larkwin-maven-plugin was not built (no mvn)")
class MavenPluginTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(WORK, ignore_errors=True)
        os.makedirs(os.path.join(WORK, "home"))
        # The fastest payload compression: what is tested is the bytes' identity.
        with open(os.path.join(WORK, "home/.rpmmacros"), "w") as f:
            f.write("%_binary_payload w1.gzdio\n")
        with open(os.path.join(WORK, "settings.xml"), "w") as f:
            f.write(SETTINGS.format(work=WORK, repo=REPO))
        cls.real_m2 = os.path.exists(os.path.expanduser("~/.m2"))  # the machine's HOME
        cls.make_runtime()
        cls.builds = {}
        for build in ("first", "second", "other", "nomain"):
            shutil.copytree(SAMPLE, os.path.join(WORK, build))
        cls.builds["first"] = mvn(os.path.join(WORK, "first"), "package")
        cls.builds["second"] = mvn(os.path.join(WORK, "second"), "package")
        cls.builds["other"] = mvn(os.path.join(WORK, "other"), "package", "larkwin:help",
                                  "-Ddetail=true", "-Dsample.skipPackages=true",
                                  "-Dproject.build.outputTimestamp=2025-02-03T04:05:06Z")
        cls.builds["nomain"] = mvn(os.path.join(WORK, "nomain"), "package",
                                   "-Dsample.skipPackages=true", pom="pom-no-main-class.xml")
        cls.make_key()
        # Twice with one epoch (the sample's third build shows another differ).
        cls.demo = [cls.pack_demo(epoch) for epoch in ("1700000000", "1700000000.b")]

    @classmethod
    def tearDownClass(cls):
        run(["gpgconf", "--kill", "all"], env=environment())

    @classmethod
    def make_key(cls):
        """A signing key without passphrase in a GNUPGHOME of the test's."""
        os.makedirs(GNUPGHOME, mode=0o700)
        run(["gpg", "--batch", "--passphrase", "", "--quick-gen-key", KEY, "rsa2048", "sign",
             "never"], env=environment()).check_returncode()

    @classmethod
    def make_runtime(cls):
        """One small runtime with its base archive, which every image copies."""
        runtime = os.path.join(WORK, "runtime")
        run([os.path.join(JDK, "bin/jlink"), "--add-modules", "java.base", "--strip-debug",
             "--no-man-pages", "--no-header-files", "--output", runtime]).check_returncode()
        run([os.path.join(runtime, "bin/java"), "-Xshare:dump"]).check_returncode()

    @classmethod
    def pack_demo(cls, epoch):
        out = os.path.join(WORK, "demo-" + epoch)
        os.makedirs(out)
        env = environment(SOURCE_DATE_EPOCH=epoch.split(".")[0])
        bundle = run([PACK, "-o", out + "/demo", "--main-class", "com.larkwin.demo.Demo",
                      DEMO_JAR], env=env)
        folders = ["--deb", out, "--rpm", out, "--apt-repo", out + "/repo", "--rpm-repo",
                   out + "/repo", "--sign-key", KEY, "--update-url", "http://127.0.0.1:9/demo"]
        packages = run([PACK] + folders + ["--name", "larkwin-maven-demo",
                        "--app-version", "1.0", "--description", "The demo",
                        "--maintainer", "Ann Lee <ann@example.org>",
                        "--license-file", os.path.join(SAMPLE, "LICENSE"), "--license", "MIT",
                        "--runtime", os.path.join(WORK, "runtime"), "--quiet",
                        "--main-class", "com.larkwin.demo.Demo", DEMO_JAR], env=env)
        # Linked by jlink: before Java 25 without the base archive, whose dump
        # differs each time.
        image = run([PACK, "--app-image", out + "/image", "--main-class",
                     "com.larkwin.demo.Demo", DEMO_JAR], env=env)
        return out, bundle, packages, image

    def built(self, build):
        result = self.builds[build]
        self.assertEqual(0, result.returncode, result.stdout[-4000:])
        return os.path.join(WORK, build, "target")

    def test_the_bundle_runs_with_its_dependencies(self):
        target = self.built("first")
        for command in (target + "/" + NAME, target + "/image/bin/" + NAME):
            result = run([command, "hello", "world"], timeout=60, env=environment())
            self.assertEqual("Olleh\nDlrow\n", result.stdout, command)
            self.assertEqual(0, result.returncode)
        names = zipfile.ZipFile(target + "/" + NAME).namelist()
        self.assertIn("picocli/CommandLine.class", names)
        self.assertIn("org/apache/commons/lang3/StringUtils.class", names)
        self.assertFalse(os.path.exists(os.path.join(WORK, "home/.m2/repository")))
        self.assertEqual(self.real_m2, os.path.exists(os.path.expanduser("~/.m2")))

    def test_the_deb_passes_lintian_and_makes_its_base_archive_once_installed(self):
        deb = only(self.built("first") + "/deb/" + NAME + "_1.4~SNAPSHOT_*.deb")
        result = run(["lintian", "--no-cfg", "--fail-on", "error,warning", deb], timeout=300)
        problems = [line for line in result.stdout.splitlines() if line.startswith(("E:", "W:"))]
        self.assertEqual([], problems, result.stdout)
        contents = run(["dpkg-deb", "-c", deb]).stdout
        self.assertIn("./opt/%s/runtime/lib/server/libjvm.so" % NAME, contents)
        self.assertNotIn("classes.jsa", contents)
        postinst = run(["dpkg-deb", "-I", deb, "postinst"]).stdout
        self.assertIn("/opt/%s/runtime/bin/java -Xshare:dump" % NAME, postinst)
        prerm = run(["dpkg-deb", "-I", deb, "prerm"]).stdout
        self.assertIn("rm -f /opt/%s/runtime/lib/server/classes.jsa" % NAME, prerm)
        fields = run(["dpkg-deb", "-f", deb, "Description"]).stdout
        self.assertTrue(fields.startswith("Reverses words\n"), fields)
        rpm = only(self.built("first") + "/rpm/" + NAME + "-1.4~SNAPSHOT-1.*.rpm")
        scripts = run(["rpm", "-qp", "--scripts", rpm]).stdout
        self.assertIn("-Xshare:dump", scripts)
        self.assertIn('if [ "$1" -eq 0 ]', scripts)
        self.assertEqual("MIT", run(["rpm", "-qp", "--qf", "%{LICENSE}", rpm]).stdout)

    def test_two_builds_give_the_same_bytes_and_another_timestamp_differs(self):
        first, second, other = (self.built(b) for b in ("first", "second", "other"))
        self.assertEqual(read(first + "/" + NAME), read(second + "/" + NAME))
        self.assertNotEqual(read(first + "/" + NAME), read(other + "/" + NAME))
        for form in ("/deb/*.deb", "/rpm/*.rpm"):
            self.assertEqual(read(only(first + form)), read(only(second + form)), form)
        self.assertEqual(tree_listing(first + "/image"), tree_listing(second + "/image"))
        self.assertNotEqual(tree_listing(first + "/image"), tree_listing(other + "/image"))

    def test_the_demo_packed_twice_gives_the_same_bytes(self):
        (one, *results), (two, *_) = self.demo
        for result in results:
            self.assertEqual(0, result.returncode, result.stdout)
        for form in ("/demo", "/*.deb", "/*.rpm"):
            self.assertEqual(read(only(one + form)), read(only(two + form)), form)
        indexes = [[entry for entry in tree_listing(top + "/repo") if entry[3] != "directory"]
                   for top in (one, two)]
        self.assertIn("dists/stable/InRelease", [entry[0] for entry in indexes[0]])
        # The files' contents and modes; their times are those of the copies.
        self.assertEqual(*[[(e[0], e[1], e[3]) for e in index] for index in indexes])
        self.assertEqual(tree_listing(one + "/image"), tree_listing(two + "/image"))
        self.assert_the_start_up_cache_serves_from_the_second_start(one + "/image/bin/image")

    def assert_the_start_up_cache_serves_from_the_second_start(self, command):
        """An image without a base archive runs alike each time, and from the
        second start on maps the archive of the start-up cache."""
        linked = os.path.join(os.path.dirname(command), "../runtime/lib/server/classes.jsa")
        release = read(os.path.join(os.path.dirname(command), "../runtime/release")).decode()
        version = int(re.search(r'JAVA_VERSION="(\d+)', release).group(1))
        self.assertEqual(version >= 25, os.path.exists(linked), release)
        env = environment(XDG_CACHE_HOME=os.path.join(WORK, "image-cache"))
        first = run([command, "x"], timeout=60, env=dict(env, LARKWIN_STARTUP_CACHE="wait"))
        second = run([command, "x"], timeout=60, env=env)
        self.assertEqual((0, first.stdout), (second.returncode, second.stdout))
        debug = run([command, "+DEBUG", "x"], timeout=60, env=env).stdout
        self.assertIn("startupcache: using '", debug)

    def test_a_project_without_a_main_class_fails_with_the_reason(self):
        result = self.builds["nomain"]
        self.assertNotEqual(0, result.returncode)
        self.assertIn("give exactly one of --config and --main-class", result.stdout)
        self.assertIn("BUILD FAILURE", result.stdout)

    def test_the_parameters_are_the_packers_options(self):
        help_text = run([PACK, "--help"]).stdout
        options = set()
        for line in help_text.splitlines():
            match = re.match(r"  (-o|--[a-z][a-z0-9-]*)\b", line)
            if match:
                option = "output" if match.group(1) == "-o" else match.group(1)[2:]
                options.add(re.sub(r"-([a-z])", lambda m: m.group(1).upper(), option))
        descriptor = zipfile.ZipFile(PLUGIN).read("META-INF/maven/plugin.xml").decode()
        pack = descriptor[descriptor.index("<goal>pack</goal>"):]
        pack = pack[:pack.index("</mojo>")]
        parameters = set(re.findall(r"<parameter>\s*<name>([^<]+)</name>", pack))
        parameters.discard("project")
        self.assertEqual(sorted(options - NOT_PARAMETERS), sorted(parameters - PLUGIN_ONLY))
        shown = self.builds["other"].stdout
        for parameter in parameters - {"project"}:
            self.assertRegex(shown, r"\n    %s\b" % parameter)


if __name__ == "__main__":
    unittest.main()
