"""Wine test of the release archive as a user installs it: its folder unpacked, the player's
program put beside gbm.dll, the plug-in started from Plugins/ for the first time."""
import os
import subprocess
import unittest
import zipfile

from test_plugin import PluginTest, QUIET, TABLES, WINDOWED


class ReleaseArchive(PluginTest):
    def installed_player(self):
        # The archive of the build under test: the 64-bit build makes its own beside the
        # 32-bit product's.
        name = "quorbel-4-winamp-x64.zip" if self.env.build == "win64" else "quorbel-4-winamp.zip"
        archive = os.path.join(self.env.build_dir, name)
        with zipfile.ZipFile(archive) as z:
            z.extractall(self.work)
        player = os.path.join(self.work, "Quorbel-4-Winamp")
        # Our host stands in for the player's program; the archive brings everything else.
        with open(self.env.host_exe, "rb") as source, \
                open(os.path.join(player, "host.exe"), "wb") as target:
            target.write(source.read())
        return player

    def test_the_unpacked_archive_starts_makes_its_tables_and_lists_a_tools_table(self):
        player = self.installed_player()
        # Without "Version" this is a first start; the window mode because a plain Xvfb
        # display cannot change modes for the full screen.
        self.settings({"Resolution": WINDOWED, "Frequency_Pic_Show": 1})
        result = self.run_plugin(player, [
            "--frames", "60", "--dialog", "Quorbel-4-MODPlug", "OK",
            "--dialog", "Quorbel-4-MODPlug - What's New", "OK"])
        self.assertCleanRun(result, frames=60)
        for name in TABLES:
            self.assertEqual(os.path.getsize(os.path.join(player, "tabs", name)), 1228800)

        # A tool from the archive adds a table that the next start lists.
        tool = os.path.join(player, "tools", "spaceflightmaker.exe")
        made = subprocess.run([self.env.wine, tool, "tabs\\fast.tab", "200", "40", "8"], cwd=player,
                              env=self.env.env(), stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=120)
        self.assertEqual(made.returncode, 0, made.stdout)
        self.assertEqual(os.path.getsize(os.path.join(player, "tabs", "fast.tab")), 1228800)
        self.settings(dict(QUIET, Transformation="fast.tab", Save_On_Exit=1))
        second = self.run_plugin(player, ["--frames", "10"])
        self.assertCleanRun(second, frames=10)
        self.assertEqual(self.value("Transformation"), "fast.tab")


if __name__ == "__main__":
    unittest.main()
