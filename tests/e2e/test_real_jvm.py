"""The main paths on the real JDK: a configured launch and a self-contained
bundle made by larkwin-pack."""

import os
import subprocess
import unittest

from harness import JAVA, LARKWIN_PACK, LauncherTest

HELLO = """
package demo;
public class Hello {
    public static void main(String[] args) {
        System.out.println("args=" + String.join("|", args));
        System.out.println("exe=" + System.getProperty("larkwin.executable.path"));
        System.out.flush();
        if (args.length > 0 && args[0].startsWith("exit=")) {
            System.exit(Integer.parseInt(args[0].substring(5)));
        }
    }
}
"""


class RealJvm(LauncherTest):
    def test_configured_launch_runs_the_class_and_passes_its_exit_code(self):
        self.compile_java({"Hello.java": HELLO}, jar_name="hello.jar")
        self.write("app.config", "javapath %s\naddpath hello.jar\nmainclass demo.Hello\n" % JAVA)
        result = self.launch("exit=9", "two words")
        self.assertEqual(9, result.returncode, result)
        out = result.stdout.decode()
        self.assertIn("args=exit=9|two words\n", out)
        self.assertIn("exe=%s\n" % self.app, out)

    @unittest.skipUnless(os.path.exists(LARKWIN_PACK), "larkwin-pack is not built")
    def test_bundle_runs_from_one_file(self):
        jar = self.compile_java({"Hello.java": HELLO}, jar_name="hello.jar")
        bundle = self.path("bin", "hello")
        os.makedirs(self.path("bin"))
        subprocess.run(
            [LARKWIN_PACK, "-o", bundle, "--main-class", "demo.Hello", jar],
            check=True, timeout=60, capture_output=True,
        )
        os.remove(jar)
        result = self.launch("exit=3", executable=bundle, env={"PATH": os.path.dirname(JAVA)})
        self.assertEqual(3, result.returncode, result)
        self.assertIn("exe=%s\n" % bundle, result.stdout.decode())


if __name__ == "__main__":
    unittest.main()
