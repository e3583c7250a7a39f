"""Single instance: "+SHELL" hands the parameters to a running instance, or
launches locally when none listens."""

import os
import unittest

from harness import LauncherTest, Listener


class Shell(LauncherTest):
    def test_parameters_reach_the_listener_and_nothing_is_launched(self):
        self.stand_in_java()
        listener = Listener(expected=2)
        self.write(
            "app.config", "javapath jre/bin/java\nmainclass M\nsocket %d\n" % listener.port
        )
        os.makedirs(self.path("work"))
        result = self.launch("+SHELL", "notes.txt", "/abs/other", cwd=self.path("work"))
        listener.close()
        self.assertEqual(0, result.returncode, result)
        self.assertEqual(
            [b"open " + self.path("work", "notes.txt").encode(), b"open /abs/other"],
            listener.payloads,
        )
        self.assertEqual(0, self.runs())

    def test_urls_go_as_they_are_and_file_names_with_a_colon_as_paths(self):
        self.stand_in_java()
        listener = Listener(expected=4)
        self.write(
            "app.config", "javapath jre/bin/java\nmainclass M\nsocket %d\n" % listener.port
        )
        work = self.path("work")
        os.makedirs(work)
        open(os.path.join(work, "old.v1:2"), "w").close()
        result = self.launch("+SHELL", "myapp://open?id=3", "C:/x", "old.v1:2", "mailto:a@b.org",
                             cwd=work)
        listener.close()
        self.assertEqual(0, result.returncode, result)
        self.assertEqual(
            [b"open myapp://open?id=3", b"open " + os.path.join(work, "C:/x").encode(),
             b"open " + os.path.join(work, "old.v1:2").encode(), b"open mailto:a@b.org"],
            listener.payloads,
        )
        self.assertEqual(0, self.runs())

    def test_without_listener_the_application_starts_with_every_parameter(self):
        self.stand_in_java()
        listener = Listener(expected=0)
        port = listener.port
        listener.close()
        self.write("app.config", "javapath jre/bin/java\nmainclass M\nsocket %d\n" % port)
        result = self.launch("+SHELL", "x", "y")
        self.assertEqual(0, result.returncode, result)
        self.assertEqual(["-Dlarkwin.socket=%d" % port], [a for a in self.recorded() if "socket" in a])
        self.assertEqual(["M", "x", "y"], self.recorded()[-3:])


if __name__ == "__main__":
    unittest.main()
