"""Real applications from Debian's packages, packaged three ways by larkwin-pack.

Each application (Groovy, Ant, Derby's ij, JOSM) runs its jobs through its own start
script and then as a one-file bundle, as an app image and as a copied launcher
with a .config beside it; standard output, standard error and the exit code
of every job, failing ones included, must be the same bytes. One runtime is
linked with jlink for the first image (slow); the other images copy it.

Environment: APPS_TEST_PACK, APPS_TEST_LAUNCHER, APPS_TEST_JAVA.
"""

import os
import shutil
import subprocess
import tempfile
import unittest

PACK = os.environ["APPS_TEST_PACK"]
LAUNCHER = os.environ["APPS_TEST_LAUNCHER"]
# The JDK whose java the build found, links resolved.
JDK = os.path.dirname(os.path.dirname(os.path.realpath(os.environ["APPS_TEST_JAVA"])))
TIME_LIMIT = 120
LINK_TIME_LIMIT = 600

# The modules of the shared runtime beyond those jdeps finds in Ant's jars:
# those that Groovy's and Derby's jars need.
SHARED_MODULES = ("java.desktop,java.prefs,java.sql,java.naming,java.logging,java.xml,"
                  "java.scripting,java.management.rmi,java.instrument,jdk.unsupported")

GROOVY_SCRIPT = b"""import java.nio.file.Paths
println Paths.get(args[0]).text.readLines().size()
println new groovy.json.JsonSlurper().parseText('[1, 2, 3]').sum()
println new XmlSlurper().parseText('<a><b>x</b></a>').b.text()
"""

ANT_BUILD = b"""<project name="t" default="run">
  <target name="run">
    <echo message="compiling"/>
    <mkdir dir="out"/>
    <javac srcdir="src" destdir="out" includeantruntime="false"/>
    <zip destfile="out/h.zip" basedir="out" includes="*.class"/>
    <java classname="Hello" classpath="out" fork="true" failonerror="true"><arg value="x"/></java>
  </target>
</project>
"""

HELLO = b"""public class Hello {
    public static void main(String[] a) { System.out.println("hello " + a.length); }
}
"""

IJ_SCRIPT = b"""connect 'jdbc:derby:memory:d;create=true';
create table t(a int, b varchar(10));
insert into t values (1, 'one'), (2, 'two');
select * from t order by a;
select * from nope;
"""


def write(path, content):
    with open(path, "wb") as out:
        out.write(content)
    return path


class ApplicationTest:
    """The three forms of one application; subclasses say what it is."""

    # The start script, the application's jars (first the one whose main
    # class runs), the main class and the VM options the script gives.
    script = None
    jars = None
    main_class = None
    vm_options = ()
    # (arguments, working directory name, before) per job; before() readies
    # the working directory.
    package = None

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="larkwin-apps-")
        cls.home = os.path.join(cls.dir, "home")
        os.mkdir(cls.home)
        cls.work = os.path.join(cls.dir, "work")
        os.mkdir(cls.work)
        cls.prepare()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir, True)

    @classmethod
    def prepare(cls):
        pass

    def environment(self):
        return dict(os.environ, HOME=self.home, JAVA_HOME=JDK, LC_ALL="C.UTF-8")

    def configuration(self, lines=()):
        text = "".join(line + "\n" for line in lines)
        text += "".join("vmparam %s\n" % option for option in self.vm_options)
        return text + "mainclass %s\n" % self.main_class

    def run_job(self, command, arguments, **environment):
        self.clean()
        return subprocess.run(command + arguments, capture_output=True, timeout=TIME_LIMIT,
                              cwd=self.work, env=dict(self.environment(), **environment))

    def clean(self):
        pass

    def pack(self, *arguments):
        result = subprocess.run([PACK, "--launcher", LAUNCHER, "--quiet"] + list(arguments),
                                capture_output=True, timeout=LINK_TIME_LIMIT,
                                env=dict(os.environ, JAVA_HOME=JDK))
        self.assertEqual(0, result.returncode, result.stderr)
        return result

    def make_bundle(self):
        config = write(os.path.join(self.dir, "bundle.config"), self.configuration().encode())
        bundle = os.path.join(self.dir, "bundle", self.name)
        os.makedirs(os.path.dirname(bundle))
        self.pack("-o", bundle, "--config", config, *self.jars)
        return [bundle]

    def make_image(self):
        config = write(os.path.join(self.dir, "image.config"), self.configuration().encode())
        image = os.path.join(self.dir, "image")
        runtime = shared_runtime(self)
        self.pack("--app-image", image, "--name", self.name, "--runtime", runtime, "--config",
                  config, *self.jars)
        return [os.path.join(image, "bin", self.name)]

    def make_config(self):
        directory = os.path.join(self.dir, "config")
        os.mkdir(directory)
        launcher = os.path.join(directory, self.name)
        shutil.copy(LAUNCHER, launcher)
        lines = ["addpath %s" % jar for jar in self.jars]
        write(launcher + ".config", self.configuration(lines).encode())
        return [launcher]

    def make_cached_config(self):
        """The copied launcher with a start-up cache: each job's first start
        records its classes, the archive is made before the launcher ends,
        and the next start maps it."""
        directory = os.path.join(self.dir, "cached")
        os.mkdir(directory)
        launcher = os.path.join(directory, self.name)
        shutil.copy(LAUNCHER, launcher)
        lines = ["addpath %s" % jar for jar in self.jars]
        lines.append("startupcache %s" % os.path.join(directory, "cache"))
        write(launcher + ".config", self.configuration(lines).encode())
        return [launcher]

    def test_a_cached_start_runs_each_job_as_the_start_script_does_cold_and_warm(self):
        command = self.make_cached_config()
        for arguments in self.jobs():
            expected = self.run_job([self.script], arguments)
            for start in ("cold", "warm"):
                with self.subTest(start=start, job=arguments):
                    got = self.run_job(command, arguments, LARKWIN_STARTUP_CACHE="wait")
                    self.assertEqual(expected.stdout, got.stdout)
                    self.assertEqual(expected.stderr, got.stderr)
                    self.assertEqual(expected.returncode, got.returncode)
        self.check_mapped(command)

    def check_mapped(self, command):
        """What a warm start maps; nothing to check by default."""

    def test_every_form_runs_each_job_as_the_start_script_does(self):
        forms = {"bundle": self.make_bundle(), "image": self.make_image(),
                 "config": self.make_config()}
        failing = False
        for arguments in self.jobs():
            expected = self.run_job([self.script], arguments)
            failing = failing or expected.returncode != 0
            for form, command in forms.items():
                with self.subTest(form=form, job=arguments):
                    got = self.run_job(command, arguments)
                    self.assertEqual(expected.stdout, got.stdout)
                    self.assertEqual(expected.stderr, got.stderr)
                    self.assertEqual(expected.returncode, got.returncode)
        # ij exits 0 whatever fails; the others have a job that fails.
        self.assertTrue(failing or self.name == "ij")


_shared_runtime = {}


def shared_runtime(test):
    """Links the one runtime the images share, by an image of Ant's jars."""
    if "home" not in _shared_runtime:
        image = tempfile.mkdtemp(prefix="larkwin-apps-runtime-")
        _shared_runtime["dir"] = image
        ant = ["/usr/share/ant/lib/ant.jar", "/usr/share/ant/lib/ant-launcher.jar"]
        test.pack("--app-image", os.path.join(image, "ant"), "--main-class",
                  "org.apache.tools.ant.Main", "--keep-debug", "--add-modules", SHARED_MODULES,
                  *ant)
        _shared_runtime["home"] = os.path.join(image, "ant", "runtime")
    return _shared_runtime["home"]


def needs(package, path):
    if not os.path.exists(path):
        raise unittest.SkipTest("Debian's %s package is not installed (%s is missing)"
                                % (package, path))


class GroovyTest(ApplicationTest, unittest.TestCase):
    """Groovy 2.4: its extension modules live in five jars' descriptors."""

    name = "groovy"
    script = "/usr/bin/groovy"
    main_class = "groovy.ui.GroovyMain"

    @classmethod
    def prepare(cls):
        needs("groovy", cls.script)
        lib = "/usr/share/groovy/lib"
        first = os.path.join(lib, "groovy-2.4.21.jar")
        needs("groovy", first)
        cls.jars = [first] + sorted(os.path.join(lib, jar) for jar in os.listdir(lib)
                                    if jar.endswith(".jar") and jar != "groovy-2.4.21.jar")
        cls.data = write(os.path.join(cls.work, "data.txt"), b"a\nb\nc\n")
        write(os.path.join(cls.work, "job.groovy"), GROOVY_SCRIPT)

    def jobs(self):
        # The failing job ends before a stack trace, whose last frames show
        # how the main class was reached (see GroovyStarterTest).
        return [["job.groovy", "data.txt"], ["-e", "def x = "]]


def supports_firstparam():
    """Whether the launcher reads "firstparam" (a configuration extension)."""
    directory = tempfile.mkdtemp(prefix="larkwin-apps-probe-")
    try:
        config = write(os.path.join(directory, "probe.config"),
                       b"firstparam x\nmainclass Absent\njavapath /bin/false\n")
        result = subprocess.run([LAUNCHER, "+CONFIG", config], capture_output=True,
                                timeout=TIME_LIMIT)
        return b"Unrecognized directive" not in result.stdout + result.stderr
    finally:
        shutil.rmtree(directory, True)


class GroovyStarterTest(GroovyTest):
    """Groovy as its script starts it: GroovyStarter, told the main class by the
    parameters in front of the user's ("firstparam"), so that even a stack
    trace through the JDK's frames (line numbers: the image keeps the debug
    information) is the same."""

    main_class = "org.codehaus.groovy.tools.GroovyStarter"

    @classmethod
    def prepare(cls):
        if not supports_firstparam():
            raise unittest.SkipTest("the launcher has no firstparam directive yet (the "
                                    "configuration extensions are not merged)")
        GroovyTest.prepare.__func__(cls)

    def configuration(self, lines=()):
        return "".join(line + "\n" for line in lines) + (
            "firstparam --main\nfirstparam groovy.ui.GroovyMain\nmainclass %s\n" % self.main_class)

    def jobs(self):
        return [["job.groovy", "data.txt"], ["-e", "Integer.parseInt('x')"]]

    def check_mapped(self, command):
        # GroovyStarter's RootLoader defines Groovy's classes, which JDK 17's
        # class list leaves out; the cache archives them all the same.
        log = os.path.join(self.dir, "load.txt")
        self.run_job(command, ["-e", "1"], LARKWIN_STARTUP_CACHE="wait")
        self.run_job(command + ["-J-Xlog:class+load:file=%s" % log], ["-e", "1"])
        with open(log) as loaded:
            self.assertIn(" groovy.lang.GroovyObject source: shared objects file\n", loaded.read())


class AntTest(ApplicationTest, unittest.TestCase):
    """Ant compiles with javac, found by name, and forks java."""

    name = "ant"
    script = "/usr/bin/ant"
    main_class = "org.apache.tools.ant.Main"

    @classmethod
    def prepare(cls):
        needs("ant", cls.script)
        cls.jars = ["/usr/share/ant/lib/ant.jar", "/usr/share/ant/lib/ant-launcher.jar"]
        write(os.path.join(cls.work, "build.xml"), ANT_BUILD)
        os.mkdir(os.path.join(cls.work, "src"))
        write(os.path.join(cls.work, "src", "Hello.java"), HELLO)

    def clean(self):
        shutil.rmtree(os.path.join(self.work, "out"), True)

    def jobs(self):
        # -silent: no "Total time", which would differ by the clock.
        return [["-silent"], ["-silent", "-f", "missing.xml"]]


class DerbyTest(ApplicationTest, unittest.TestCase):
    """Derby's ij: an in-memory database; its jars reach each other by Class-Path."""

    name = "ij"
    script = "/usr/bin/ij"
    main_class = "org.apache.derby.tools.ij"

    @classmethod
    def prepare(cls):
        needs("derby-tools", cls.script)
        cls.jars = ["/usr/share/java/derbyclient.jar", "/usr/share/java/derbytools.jar",
                    "/usr/share/java/derbynet.jar"]
        write(os.path.join(cls.work, "job.sql"), IJ_SCRIPT)

    def clean(self):
        shutil.rmtree(os.path.join(self.work, "derby.log"), True)

    def jobs(self):
        # ij reports a failing statement or a missing file and still exits 0.
        return [["job.sql"], ["missing.sql"]]


class JosmTest(ApplicationTest, unittest.TestCase):
    """JOSM: its manifest's Add-Exports and Add-Opens name a module (jdk.deploy)
    and packages (com.apple.eawt) that no runtime here has, which java -jar
    passes over without a word; its jobs run as java -jar runs them."""

    name = "josm"
    main_class = "org.openstreetmap.josm.gui.MainApplication"

    @classmethod
    def prepare(cls):
        jar = "/usr/share/josm/josm.jar"
        needs("josm", jar)
        cls.jars = [jar] + [os.path.join("/usr/share/java", name) for name in
                            ("commons-compress.jar", "gettext-commons.jar", "jmapviewer.jar")]
        cls.script = write(os.path.join(cls.dir, "josm"),
                           b'#!/bin/sh\nexec "$JAVA_HOME/bin/java" -jar %s "$@"\n' % jar.encode())
        os.chmod(cls.script, 0o755)

    def jobs(self):
        return [["--version"], ["--nonsense"]]


def tearDownModule():
    if "dir" in _shared_runtime:
        shutil.rmtree(_shared_runtime["dir"], True)


if __name__ == "__main__":
    unittest.main()
