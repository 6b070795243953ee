"""Wine tests of the setup program and its uninstaller, run silently (/S) on a fake player's
folder: our host copied as winamp.exe, a winamp.ini with lines of its own and the player's
registry key. The setup program of the build under test: quorbel-4-winamp-setup.exe of the
32-bit build, quorbel-4-winamp-x64-setup.exe of the 64-bit one (which writes the 64-bit
registry view, where the harness reads for that build). Each player's folder has an entry of
its own in Add/Remove Programs: "Quorbel-4-Winamp", "Quorbel-4-Winamp-2" and so on."""
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from harness import HarnessError, _kill_group, windows_path
from test_plugin import KEY, PluginTest, QUIET, TABLES, WINDOWED

UNINSTALL_ROOT = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
ENTRY = "Quorbel-4-Winamp"  # the first entry's name, and the only one older setup programs wrote
UNINSTALL_KEY = UNINSTALL_ROOT + "\\" + ENTRY
PLAYER_KEYS = ("HKCU\\Software\\Winamp", "HKLM\\Software\\Winamp")
PLAYER_UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Winamp"
UNINSTALLER = "quorbel-uninstall.exe"
RECORD = "quorbel-uninstall.ini"  # the install's record, beside its uninstaller
README = "Quorbel-4-Winamp README.txt"
TOOLS = ("spiralmaker.exe", "hurricanemaker.exe", "spaceflightmaker.exe")
# The player's own files: the setup program must leave them as they are.
PLAYER_FILES = {"winamp.exe", "winamp.ini"}
INI = ["[Winamp]", "utf8=1", "visplugin_name=vis_other.dll", "visplugin_num=3", "mw_open=1",
       "volume=200", "[Plugins]", "vis_other.dll=1", "[Skins]", "skin=Base"]
REFUSED = 2  # the setup program's exit code when it stops without installing


def files_under(folder):
    """Every file below folder, as paths relative to it with "/"."""
    found = set()
    for root, _, names in os.walk(folder):
        for name in names:
            found.add(os.path.relpath(os.path.join(root, name), folder).replace(os.sep, "/"))
    return found


def read(path):
    with open(path, "rb") as f:
        return f.read()


class InstallerTest(PluginTest):
    def setUp(self):
        super().setUp()
        self.clear_keys()
        self.addCleanup(self.clear_keys)
        name = ("quorbel-4-winamp-x64-setup.exe" if self.env.build == "win64"
                else "quorbel-4-winamp-setup.exe")
        self.setup_exe = os.path.join(self.env.build_dir, name)
        if not os.path.isfile(self.setup_exe):
            raise HarnessError(f"the {self.env.build} build has no {name} (makensis missing? "
                               "scripts/setup.sh installs the Debian package nsis)")

    def clear_keys(self):
        for key in PLAYER_KEYS + (PLAYER_UNINSTALL_KEY,):
            self.env.reg_delete_key(key)
        for name in self.entry_names():
            self.env.reg_delete_key(UNINSTALL_ROOT + "\\" + name)

    def entry_names(self):
        return sorted(name for name in self.env.reg_subkeys(UNINSTALL_ROOT)
                      if name == ENTRY or name.startswith(ENTRY + "-"))

    def entries(self):
        """Our entries in Add/Remove Programs: InstallLocation (lower case) -> key name."""
        found = {}
        for name in self.entry_names():
            location = self.env.reg_query(UNINSTALL_ROOT + "\\" + name, "InstallLocation")
            self.assertIsNotNone(location, name)
            self.assertNotIn(location[1].lower(), found, "two entries for one folder")
            found[location[1].lower()] = name
        return found

    # -- the fake player ---------------------------------------------------------------------

    def fake_player(self, register=True, ini=INI):
        player = tempfile.mkdtemp(prefix="winamp-", dir=self.work)
        shutil.copyfile(self.env.host_exe, os.path.join(player, "winamp.exe"))
        with open(os.path.join(player, "winamp.ini"), "wb") as f:
            f.write("".join(line + "\r\n" for line in ini).encode())
        os.makedirs(os.path.join(player, "Plugins"))
        if register:
            # The player's own key: its default value is the player's folder.
            self.env.reg_add(PLAYER_KEYS[0], None, windows_path(player))
        return player

    def ini_lines(self, player):
        return read(os.path.join(player, "winamp.ini")).decode().splitlines()

    def expected_files(self, plugin_dir="Plugins"):
        """What the setup program installs: path in the player's folder -> its bytes."""
        build, data = self.env.build_dir, os.path.join(self.env.source, "data")
        expected = {
            f"{plugin_dir}/vis_quorbel.dll": read(os.path.join(build, "plugin/win32/vis_quorbel.dll")),
            "gbm.dll": read(os.path.join(build, "gbm/gbm.dll")),
        }
        for tool in TOOLS:
            expected[f"tools/{tool}"] = read(os.path.join(build, "tools", tool))
        for folder in ("maps", "objs", "pics"):
            for name in os.listdir(os.path.join(data, folder)):
                expected[f"{folder}/{name}"] = read(os.path.join(data, folder, name))
        text = read(os.path.join(data, "release_readme.txt")).replace(b"\r\n", b"\n")
        expected[README] = text.replace(b"\n", b"\r\n")
        expected[UNINSTALLER] = None  # written by the setup program itself
        expected[RECORD] = None
        return expected

    def assertInstalled(self, player, plugin_dir="Plugins", others=()):
        expected = self.expected_files(plugin_dir)
        self.assertEqual(files_under(player), set(expected) | PLAYER_FILES | set(others))
        for name, content in expected.items():
            if content is not None:
                self.assertEqual(read(os.path.join(player, name)), content, name)
        self.assertTrue(os.path.isdir(os.path.join(player, "tabs")))

    # -- running the setup program and the uninstaller ---------------------------------------

    def install(self, player=None):
        args = [self.setup_exe, "/S"]
        if player:
            args.append("/D=" + windows_path(player))
        code, output = self.env.run_program(args)
        return code

    def uninstall(self, player):
        # _?= runs the uninstaller in place (otherwise it starts a copy of itself and returns
        # at once); a program that runs cannot delete itself, so its file stays then.
        code, output = self.env.run_program(
            [os.path.join(player, UNINSTALLER), "/S", "_?=" + windows_path(player)])
        return code

    def entry(self, player, value):
        """A value of the entry whose InstallLocation is player (None when it has none)."""
        name = self.entries().get(windows_path(player).lower())
        found = self.env.reg_query(UNINSTALL_ROOT + "\\" + name, value) if name else None
        return found[1] if found else None

    def record(self, player):
        """The install's record in player: name -> value."""
        data = read(os.path.join(player, RECORD))
        lines = (data.decode("utf-16") if data[:2] == b"\xff\xfe" else data.decode()).splitlines()
        self.assertEqual(lines[0].strip(), "[Quorbel-4-Winamp]")
        return dict(line.split("=", 1) for line in lines[1:] if "=" in line)

    def make_table(self, player, name):
        """A table made with the installed tool, as a user would."""
        code, output = self.env.run_program(
            [os.path.join(player, "tools", "spaceflightmaker.exe"), f"tabs\\{name}", "200",
             "40", "8"], cwd=player)
        self.assertEqual(code, 0, output)
        self.assertEqual(os.path.getsize(os.path.join(player, "tabs", name)), 1228800)

    def user_files(self, player):
        """The built-in tables as the plug-in writes them, a screen shot, a palette and a
        picture of the user's: path -> bytes."""
        tabs = os.path.join(player, "tabs")
        self.env.write_builtin_tables(tabs)
        made = {f"tabs/{name}": read(os.path.join(tabs, name)) for name in TABLES}
        gif = read(os.path.join(self.env.source, "data", "pics", "rings.gif"))
        made.update({"shot_1.gif": gif, "pics/my_picture.gif": gif,
                     "maps/MY_OWN.MAP": b"0 0 0\r\n" * 256})
        for name, content in made.items():
            if not name.startswith("tabs/"):
                with open(os.path.join(player, name), "wb") as f:
                    f.write(content)
        return made


class SilentInstall(InstallerTest):
    def test_every_file_in_place_the_plugin_selected_the_entry_written_and_the_plugin_runs(self):
        player = self.fake_player()
        self.assertEqual(self.install(player), 0)
        self.assertInstalled(player)
        self.assertEqual(os.listdir(os.path.join(player, "tabs")), [])

        # Our two lines changed in place; every other line kept, in its order.
        lines = self.ini_lines(player)
        expected = [{"visplugin_name=vis_other.dll": "visplugin_name=vis_quorbel.dll",
                     "visplugin_num=3": "visplugin_num=0"}.get(line, line) for line in INI]
        self.assertEqual([line for line in lines if line.strip()], expected)

        self.assertEqual(self.entry_names(), [ENTRY])
        self.assertEqual(self.entry(player, "DisplayName"),
                         f"Quorbel-4-Winamp 1.50{' (64-bit)' if self.env.build == 'win64' else ''}"
                         f" in {windows_path(player)}")
        self.assertEqual(self.entry(player, "DisplayVersion"), "1.50")
        self.assertEqual(self.entry(player, "Publisher"), "Quorbel")
        self.assertEqual(self.entry(player, "InstallLocation"), windows_path(player))
        uninstaller = windows_path(os.path.join(player, UNINSTALLER))
        self.assertEqual(self.entry(player, "UninstallString"), f'"{uninstaller}"')
        self.assertEqual(self.entry(player, "QuietUninstallString"), f'"{uninstaller}" /S')
        # The size of what it installed, in KB (each file rounded up at most once).
        installed = [name for name in self.expected_files() if name not in (UNINSTALLER, RECORD)]
        installed_kb = sum(os.path.getsize(os.path.join(player, name))
                           for name in installed) // 1024
        self.assertTrue(installed_kb <= self.entry(player, "EstimatedSize") <= installed_kb + len(installed),
                        (installed_kb, self.entry(player, "EstimatedSize")))
        plugin = windows_path(os.path.join(player, "Plugins", "vis_quorbel.dll"))
        self.assertEqual(self.entry(player, "PluginFile"), plugin)
        self.assertEqual(self.record(player),
                         {"Version": "1.50", "UninstallKey": ENTRY, "PluginFile": plugin})

        # The player (our host under its name) runs the installed plug-in: the first start
        # makes the five tables in the installed tabs folder.
        self.settings({"Resolution": WINDOWED})
        result = self.env.run_host(player, [
            "--fast", "--mute", "--frames", "30", "--dialog", "Quorbel-4-MODPlug", "OK",
            "--dialog", "Quorbel-4-MODPlug - What's New", "OK"], depth=16, timeout=180,
            program="winamp.exe")
        self.assertFalse(result.timed_out, result.output)
        self.assertCleanRun(result, frames=30)
        self.assertEqual(result.one("load")["path"],
                         windows_path(os.path.join(player, "Plugins", "vis_quorbel.dll")))
        for name in TABLES:
            self.assertEqual(os.path.getsize(os.path.join(player, "tabs", name)), 1228800)

    def test_a_folder_without_the_player_is_refused_and_nothing_is_written(self):
        # Named with /D=, and found by nobody: no player key, no uninstall entry, nothing in
        # the default folder under Program Files.
        folder = tempfile.mkdtemp(prefix="no-player-", dir=self.work)
        with open(os.path.join(folder, "winamp.ini"), "wb") as f:
            f.write(b"[Winamp]\r\nmw_open=1\r\n")
        for player in (folder, None):
            self.assertEqual(self.install(player), REFUSED, player)
            self.assertEqual(files_under(folder), {"winamp.ini"})
            self.assertEqual(read(os.path.join(folder, "winamp.ini")), b"[Winamp]\r\nmw_open=1\r\n")
            self.assertEqual(self.entry_names(), [])
            self.assertFalse(self.env.reg_key_exists(KEY))
        drive_c = os.path.join(self.env.prefix, "drive_c")
        for program_files in ("Program Files", "Program Files (x86)"):
            self.assertFalse(os.path.exists(os.path.join(drive_c, program_files, "Winamp")))

    def test_the_player_is_found_by_its_key_before_its_uninstall_entry_and_visdir_is_kept(self):
        # Only the player's uninstall entry (a quoted program path, as players write it).
        first = self.fake_player(register=False)
        self.env.reg_add(PLAYER_UNINSTALL_KEY, "UninstallString",
                         '"' + windows_path(os.path.join(first, "UninstWA.exe")) + '"')
        self.assertEqual(self.install(), 0)
        self.assertInstalled(first)

        # The player's own key wins over the uninstall entry; its INI moves the plug-ins to
        # VisDir, which the setup program and then the uninstaller follow.
        second = self.fake_player(register=False)
        vis_dir = os.path.join(second, "Vis Plugins")
        os.makedirs(vis_dir)
        self.env.reg_add(PLAYER_KEYS[0], None, windows_path(second))
        ini = INI[:1] + [f"VisDir={windows_path(vis_dir)}"] + INI[1:]
        with open(os.path.join(second, "winamp.ini"), "wb") as f:
            f.write("".join(line + "\r\n" for line in ini).encode())
        self.assertEqual(self.install(), 0)
        self.assertInstalled(second, plugin_dir="Vis Plugins")
        self.assertEqual(self.entry(second, "PluginFile"),
                         windows_path(os.path.join(vis_dir, "vis_quorbel.dll")))
        self.assertEqual(self.uninstall(second), 0)
        self.assertEqual(files_under(second) - {UNINSTALLER}, PLAYER_FILES)
        self.assertTrue(os.path.isdir(vis_dir))


class Uninstall(InstallerTest):
    def test_removes_what_setup_installed_and_its_entry_and_keeps_the_users_files(self):
        player = self.fake_player()
        self.assertEqual(self.install(player), 0)
        ini_after_install = read(os.path.join(player, "winamp.ini"))
        self.make_table(player, "fast.tab")
        made = self.user_files(player)
        made["tabs/fast.tab"] = read(os.path.join(player, "tabs", "fast.tab"))
        self.settings(QUIET)

        self.assertEqual(self.uninstall(player), 0)
        # Run in place, the uninstaller cannot delete its own running program.
        left = files_under(player) - {UNINSTALLER}
        self.assertEqual(left, PLAYER_FILES | set(made))
        for name, content in made.items():
            self.assertEqual(read(os.path.join(player, name)), content, name)
        for folder in ("objs", "tools"):
            self.assertFalse(os.path.exists(os.path.join(player, folder)), folder)
        self.assertEqual(self.entry_names(), [])
        # The plug-in's settings and the player stay as they were.
        self.assertEqual(self.value("Version"), 0x150)
        self.assertEqual(read(os.path.join(player, "winamp.ini")), ini_after_install)
        self.assertEqual(read(os.path.join(player, "winamp.exe")), read(self.env.host_exe))


class TwoPlayers(InstallerTest):
    def test_each_folder_has_its_own_entry_and_its_uninstaller_removes_only_that_folders(self):
        first, second = self.fake_player(), self.fake_player()
        self.assertEqual(self.install(first), 0)
        self.assertEqual(self.install(second), 0)
        self.assertEqual(self.entries(), {windows_path(first).lower(): ENTRY,
                                          windows_path(second).lower(): ENTRY + "-2"})
        self.assertEqual(self.record(second)["UninstallKey"], ENTRY + "-2")
        self.assertNotEqual(self.entry(first, "DisplayName"), self.entry(second, "DisplayName"))
        second_files = {name: read(os.path.join(second, name)) for name in files_under(second)}

        # The first one's uninstaller: its own folder and entry, nothing of the second's.
        self.assertEqual(self.uninstall(first), 0)
        self.assertEqual(files_under(first) - {UNINSTALLER}, PLAYER_FILES)
        self.assertInstalled(second)
        for name, content in second_files.items():
            self.assertEqual(read(os.path.join(second, name)), content, name)
        self.assertEqual(self.entries(), {windows_path(second).lower(): ENTRY + "-2"})
        self.assertEqual(self.entry(second, "PluginFile"),
                         windows_path(os.path.join(second, "Plugins", "vis_quorbel.dll")))

        # Installing again keeps one entry a folder: the second keeps its own, the first takes
        # the free name.
        self.assertEqual(self.install(second), 0)
        self.assertEqual(self.install(first), 0)
        self.assertEqual(self.entries(), {windows_path(first).lower(): ENTRY,
                                          windows_path(second).lower(): ENTRY + "-2"})
        self.assertEqual(self.uninstall(second), 0)
        self.assertEqual(files_under(second) - {UNINSTALLER}, PLAYER_FILES)
        self.assertInstalled(first)
        self.assertEqual(self.entries(), {windows_path(first).lower(): ENTRY})

    def test_installs_over_those_of_an_older_setup_program_take_over_their_own_entries(self):
        # What an older setup program left after installing into two folders, one after the
        # other: one entry, the second folder's, and no records.
        first, second = self.fake_player(), self.fake_player()
        for player in (first, second):
            self.assertEqual(self.install(player), 0)
            os.remove(os.path.join(player, RECORD))
        self.clear_keys()
        plugin = windows_path(os.path.join(second, "Plugins", "vis_quorbel.dll"))
        for value, data in (("DisplayName", "Quorbel-4-Winamp 1.50"),
                            ("InstallLocation", windows_path(second)),
                            ("PluginFile", plugin)):
            self.env.reg_add(UNINSTALL_KEY, value, data)

        self.assertEqual(self.install(first), 0)
        self.assertEqual(self.entries(), {windows_path(first).lower(): ENTRY + "-2",
                                          windows_path(second).lower(): ENTRY})
        self.assertEqual(self.entry(second, "DisplayName"), "Quorbel-4-Winamp 1.50")
        self.assertEqual(self.install(second), 0)
        self.assertEqual(self.entries(), {windows_path(first).lower(): ENTRY + "-2",
                                          windows_path(second).lower(): ENTRY})
        self.assertTrue(self.entry(second, "DisplayName").endswith(" in " + windows_path(second)))

        self.assertEqual(self.uninstall(first), 0)
        self.assertEqual(files_under(first) - {UNINSTALLER}, PLAYER_FILES)
        self.assertInstalled(second)
        self.assertEqual(self.entries(), {windows_path(second).lower(): ENTRY})


class SettingsElsewhere(InstallerTest):
    """A player installed for each user: paths.ini in its folder names the folder of the
    winamp.ini it reads."""

    def unix_path(self, path):
        drive, rest = path[0].lower(), path[3:]
        base = "/" if drive == "z" else os.path.join(self.env.prefix, "dosdevices", drive + ":")
        return os.path.join(base, *rest.split("\\"))

    def appdata(self):
        code, output = self.env.run_program(["cmd", "/c", "echo", "%APPDATA%"])
        self.assertEqual(code, 0, output)
        folder = [line.strip() for line in output.splitlines() if line.strip()][-1]
        self.assertRegex(folder, r"^[A-Za-z]:\\", output)
        return self.unix_path(folder)

    def player_with_paths_ini(self, inidir):
        player = self.fake_player()
        with open(os.path.join(player, "paths.ini"), "wb") as f:
            f.write(f"[Winamp]\r\ninidir={inidir}\r\n".encode())
        return player

    def test_the_choice_goes_into_the_winamp_ini_that_paths_ini_names(self):
        appdata = self.appdata()
        name = os.path.basename(self.work) + "-settings"
        for folder in (os.path.join(appdata, name), os.path.join(appdata, name + "-env")):
            self.addCleanup(shutil.rmtree, folder, True)
        forms = [
            # The player's own form: a special folder by its CSIDL (26: Application Data).
            ("{26}\\" + name, lambda player: os.path.join(appdata, name)),
            ("%APPDATA%\\" + name + "-env\\", lambda player: os.path.join(appdata, name + "-env")),
            # Relative: in the player's folder.
            ("settings\\.\\", lambda player: os.path.join(player, "settings")),
            # Not to be worked out: the player's own winamp.ini, as without paths.ini.
            ("{x}\\Winamp", lambda player: player),
        ]
        for inidir, where in forms:
            with self.subTest(inidir=inidir):
                player = self.player_with_paths_ini(inidir)
                folder = where(player)
                self.assertEqual(self.install(player), 0)
                lines = read(os.path.join(folder, "winamp.ini")).decode().splitlines()
                self.assertIn("visplugin_name=vis_quorbel.dll", lines)
                self.assertIn("visplugin_num=0", lines)
                if folder != player:
                    # The player's folder's winamp.ini is not the one it reads: left as it was.
                    self.assertEqual(self.ini_lines(player), INI)
                self.assertInstalled(player, others={"paths.ini"} | (
                    {"settings/winamp.ini"} if folder.startswith(player + "/") else set()))

    def test_visdir_comes_from_that_ini_and_the_uninstaller_finds_the_plugin_by_its_record(self):
        settings = tempfile.mkdtemp(prefix="settings-", dir=self.work)
        player = self.player_with_paths_ini(windows_path(settings))
        vis_dir = os.path.join(player, "Vis Plugins")
        os.makedirs(vis_dir)
        ini = INI[:1] + [f"VisDir={windows_path(vis_dir)}"] + INI[1:]
        with open(os.path.join(settings, "winamp.ini"), "wb") as f:
            f.write("".join(line + "\r\n" for line in ini).encode())
        self.assertEqual(self.install(player), 0)
        self.assertInstalled(player, plugin_dir="Vis Plugins", others={"paths.ini"})
        lines = read(os.path.join(settings, "winamp.ini")).decode().splitlines()
        expected = [{"visplugin_name=vis_other.dll": "visplugin_name=vis_quorbel.dll",
                     "visplugin_num=3": "visplugin_num=0"}.get(line, line) for line in ini]
        self.assertEqual([line for line in lines if line.strip()], expected)
        self.assertEqual(self.ini_lines(player), INI)
        self.assertEqual(self.record(player)["PluginFile"],
                         windows_path(os.path.join(vis_dir, "vis_quorbel.dll")))

        # The entry gone (a registry cleaner) and VisDir moved since: the record still says
        # where the plug-in went.
        self.clear_keys()
        other = os.path.join(player, "Other Plugins")
        os.makedirs(other)
        with open(os.path.join(other, "vis_quorbel.dll"), "wb") as f:
            f.write(b"not ours")
        with open(os.path.join(settings, "winamp.ini"), "wb") as f:
            f.write("".join(line + "\r\n" for line in
                            [f"VisDir={windows_path(other)}" if line.startswith("VisDir=") else line
                             for line in lines]).encode())
        self.assertEqual(self.uninstall(player), 0)
        self.assertEqual(files_under(player) - {UNINSTALLER},
                         PLAYER_FILES | {"paths.ini", "Other Plugins/vis_quorbel.dll"})
        self.assertTrue(os.path.isdir(vis_dir))


class Upgrade(InstallerTest):
    def test_an_install_over_an_earlier_one_replaces_its_files_and_keeps_tables_and_settings(self):
        player = self.fake_player()
        self.assertEqual(self.install(player), 0)
        made = self.user_files(player)
        self.settings(dict(QUIET, Palette="MY_OWN.MAP"))
        # What an earlier version left: other plug-in and tool files, a palette of ours gone.
        for name in ("Plugins/vis_quorbel.dll", "gbm.dll", "tools/spiralmaker.exe", README):
            with open(os.path.join(player, name), "wb") as f:
                f.write(b"an earlier version")
        os.remove(os.path.join(player, "maps", "VOLCANO.MAP"))

        self.assertEqual(self.install(player), 0)
        self.assertInstalled(player, others=made)
        for name, content in made.items():
            self.assertEqual(read(os.path.join(player, name)), content, name)
        self.assertEqual(self.value("Palette"), "MY_OWN.MAP")
        self.assertEqual(self.entry(player, "InstallLocation"), windows_path(player))


class PlayerRunning(InstallerTest):
    def test_setup_and_uninstall_stop_without_changes_while_the_player_holds_the_plugin(self):
        player = self.fake_player()
        self.assertEqual(self.install(player), 0)
        before = {name: read(os.path.join(player, name)) for name in files_under(player)}
        self.settings(QUIET)
        log = os.path.join(player, "events.log")
        output = open(os.path.join(self.work, "player-output.txt"), "wb")
        self.addCleanup(output.close)
        running = subprocess.Popen(
            [self.env.wine, "winamp.exe", "--log", "events.log", "--fast", "--mute", "--frames",
             "100000000", "Plugins\\vis_quorbel.dll"], cwd=player, env=self.env.env(16),
            stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT,
            start_new_session=True)
        try:
            # The plug-in is loaded once the host reports its Init.
            deadline = time.monotonic() + 120
            while not (os.path.exists(log) and "host init " in read(log).decode(errors="replace")):
                self.assertIsNone(running.poll(), "the player ended before Init")
                self.assertLess(time.monotonic(), deadline, "no Init within 120 s")
                time.sleep(0.1)
            self.assertEqual(self.install(player), REFUSED)
            self.assertEqual(self.uninstall(player), REFUSED)
            for name, content in before.items():
                self.assertEqual(read(os.path.join(player, name)), content, name)
            self.assertEqual(self.entries(), {windows_path(player).lower(): ENTRY})
        finally:
            _kill_group(running)
        # With the player closed, the same upgrade goes through.
        self.assertEqual(self.install(player), 0)
        self.assertInstalled(player, others={"events.log"})


if __name__ == "__main__":
    unittest.main()
