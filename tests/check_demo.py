#!/usr/bin/env python3
"""Runs scripts/demo.sh with a step made to fail (QUORBEL_DEMO_FAIL_STEP) and checks that the
demo stops there: a non-zero status, a message that names the step, and nothing after it (no
later build, no run of an older binary, not the other half of the demo). The steps chosen are
the first of each build, so that no build tree is touched and the run takes a second or two.

QUORBEL_DEMO_SCRIPT names another script to run the same checks on."""
import os
import subprocess
import sys
import unittest

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SCRIPT = os.environ.get("QUORBEL_DEMO_SCRIPT", os.path.join(SOURCE, "scripts", "demo.sh"))


def windows_build():
    return subprocess.run([sys.executable, os.path.join(SOURCE, "scripts", "windows_build.py")],
                          check=True, stdout=subprocess.PIPE, text=True).stdout.strip()


class DemoStopsAtAFailedStep(unittest.TestCase):
    def demo(self, which, step):
        env = dict(os.environ, QUORBEL_DEMO_FAIL_STEP=step)
        # No display of the caller's: the demo would start its own only to run something.
        env.pop("DISPLAY", None)
        run = subprocess.run(["bash", SCRIPT] + ([which] if which else []), cwd=SOURCE, env=env,
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, text=True, timeout=600)
        return run.returncode, run.stdout

    def assertStopped(self, code, output, what):
        self.assertNotEqual(code, 0, output)
        self.assertIn(f"demo: failed: {what}", output)
        for later in ("demo: running", "demo: no display", "demo: creating the Wine prefix",
                      "demo: quorbel runs", "captured frames", "demo: done"):
            self.assertNotIn(later, output)

    def test_a_failed_windows_build_stops_the_demo_before_anything_runs(self):
        build = windows_build()
        for which in ("plugin", None):
            with self.subTest(which=which or "both"):
                code, output = self.demo(which, "configure")
                self.assertStopped(code, output, f"configuring the {build} build")
                # The native half does not start after a failed plug-in half.
                self.assertNotIn("demo: the native program quorbel", output)

    def test_a_failed_native_build_stops_the_demo(self):
        code, output = self.demo("native", "native-configure")
        self.assertStopped(code, output, "configuring the native build")

    def test_failed_packages_stop_it_before_any_build(self):
        code, output = self.demo(None, "packages")
        self.assertStopped(code, output, "installing the packages")
        self.assertNotIn("demo: the ", output)


if __name__ == "__main__":
    unittest.main()
