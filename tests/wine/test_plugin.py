"""Wine tests of the real plug-in (vis_quorbel_test.dll, the plug-in with its fault-injection
hooks) inside our host: start and stop, faults, settings in the registry, display modes,
translations, keys, favourites and screen shots."""
import filecmp
import os
import shutil
import struct
import tempfile
import unittest

from harness import Env

KEY = "HKLM\\Software\\Quorbel\\Quorbel-4-Winamp"
USER_KEY = "HKCU\\Software\\Quorbel\\Quorbel-4-Winamp"
FAVORITES = KEY + "\\Favorites"
WINDOWED = 4  # 640 x 480 in a window
TABLES = ["space.tab", "rotate.tab", "down_spiral.tab", "huricane.tab", "big_wheel.tab"]

# Settings that keep a run quiet and deterministic: no random changes, no song text, no intro.
QUIET = {"Version": 0x150, "Random": 0, "Show_ID3": 0, "Show_3D_song_intro": 0,
         "Resolution": WINDOWED, "Errors_Warning": 0}


class PluginTest(unittest.TestCase):
    env = None

    @classmethod
    def setUpClass(cls):
        cls.env = Env()

    def setUp(self):
        self.env.reset_registry()
        self.work = tempfile.mkdtemp(prefix="plugin-", dir=self.env.state["work"])
        self.log = os.path.join(self.env.prefix, "drive_c", "quorbel_errors.log")
        if os.path.exists(self.log):
            os.remove(self.log)

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def dll(self, name="vis_quorbel_test.dll"):
        return os.path.join(self.env.build_dir, "plugin", "win32", name)

    def player(self, data=("maps", "objs", "pics"), dll=None):
        folder = tempfile.mkdtemp(prefix="player-", dir=self.work)
        return self.env.make_player(folder, plugin=dll or self.dll(), data=data)

    def settings(self, values, key=KEY):
        for name, value in values.items():
            self.env.reg_add(key, name, value)

    def run_plugin(self, player, args, depth=16, timeout=120, env=None, desktop=None):
        result = self.env.run_host(player, ["--fast", "--mute"] + list(args), depth=depth,
                                   timeout=timeout, env=env, desktop=desktop)
        self.assertFalse(result.timed_out, result.output)
        return result

    def value(self, name, key=KEY):
        found = self.env.reg_query(key, name)
        return found[1] if found else None

    def log_text(self):
        """The error log's text, "" when there is none."""
        if not os.path.exists(self.log):
            return ""
        with open(self.log, "rb") as f:
            return f.read().decode(errors="replace")

    def assertCleanRun(self, result, frames=None):
        self.assertEqual(result.code, 0, result.output)
        self.assertEqual(result.one("init")["result"], "0", result.output)
        self.assertEqual(result.host("render"), [], "Render returned non-zero")
        self.assertEqual(result.one("windows-gone")["gone"], "1", result.output)
        if frames is not None:
            self.assertEqual(result.one("frames")["rendered"], str(frames), result.output)

    def player_with_tables(self):
        """A player folder with the five built-in tables in tabs/ (written once per test)."""
        player = self.player()
        source = os.path.join(self.work, "tables")
        if not os.path.isdir(source):
            self.env.write_builtin_tables(source)
        for name in TABLES:
            shutil.copy(os.path.join(source, name), os.path.join(player, "tabs"))
        return player

    def dialog_texts(self, result, caption):
        texts, inside = [], False
        for event in result.events:
            if event.name == "dialog":
                inside = event["caption"] == caption
            elif event.name == "dialog-text" and inside:
                texts.append(event["text"])
        return texts


class Lifecycle(PluginTest):
    def test_the_module_is_the_same_for_0_and_null_for_1_and_minus_1(self):
        self.settings(QUIET)
        result = self.run_plugin(self.player(), ["--probe-module", "--frames", "2"])
        probe = result.one("module-probe")
        self.assertEqual((probe["same"], probe["index1_null"], probe["indexm1_null"]),
                         ("1", "1", "1"))
        self.assertCleanRun(result, frames=2)

    def test_escape_closes_the_window_and_the_host_calls_quit(self):
        self.settings(QUIET)
        result = self.run_plugin(self.player(), ["--key", "20:escape", "--frames", "100000"])
        self.assertCleanRun(result)
        closed = result.one("window-closed")
        self.assertLessEqual(int(closed["frame"]), 25)
        result.one("quit")

    def test_the_shipped_plugin_runs_too(self):
        self.settings(QUIET)
        result = self.run_plugin(self.player(dll=self.dll("vis_quorbel.dll")),
                                 ["--frames", "60"])
        self.assertCleanRun(result, frames=60)

    def test_a_fault_in_a_frame_step_is_counted_logged_and_summarised(self):
        self.settings(dict(QUIET, Errors_Warning=1, Log_Errors_To_File=1))
        result = self.run_plugin(
            self.player(),
            ["--frames", "30", "--dialog", "Quorbel-4-Winamp Errors", "OK"],
            env={"QUORBEL_TEST_FAULT": "flame", "QUORBEL_TEST_FAULT_FRAMES": "3"})
        self.assertCleanRun(result, frames=30)
        texts = " ".join(self.dialog_texts(result, "Quorbel-4-Winamp Errors"))
        self.assertIn("There were 3 errors logged to file 'c:\\quorbel_errors.log'", texts)
        with open(self.log, "rb") as f:
            lines = f.read().decode().splitlines()
        self.assertTrue(lines[0].startswith("--------- Quorbel-4-Winamp 1.50 ------- "), lines)
        self.assertEqual(lines.count("Win32 Exception thrown:"), 3)
        self.assertEqual(lines.count("\t FILE: quorbel_plugin"), 3)
        self.assertTrue(any(line.startswith("\t LINE #") for line in lines))
        self.assertIn("\t EXCEPTION_ACCESS_VIOLATION:  The thread attempted to read from or "
                      "write to a virtual address for which it does not have the appropriate "
                      "access.", lines)
        self.assertEqual(lines[-1], "--------- End ------------------------")

    def test_without_logging_the_summary_says_detected_and_intercepted(self):
        self.settings(dict(QUIET, Errors_Warning=1))
        result = self.run_plugin(
            self.player(), ["--frames", "10", "--dialog", "Quorbel-4-Winamp Errors", "OK"],
            env={"QUORBEL_TEST_FAULT": "wave", "QUORBEL_TEST_FAULT_FRAMES": "1"})
        self.assertCleanRun(result, frames=10)
        texts = " ".join(self.dialog_texts(result, "Quorbel-4-Winamp Errors"))
        self.assertIn("There were 1 errors detected and intercepted.", texts)
        self.assertFalse(os.path.exists(self.log))

    def test_no_summary_without_errors_or_with_the_warning_off(self):
        self.settings(dict(QUIET, Errors_Warning=1))
        args = ["--frames", "10", "--dialog-optional", "Quorbel-4-Winamp Errors", "OK"]
        player = self.player()
        result = self.run_plugin(player, args)
        self.assertCleanRun(result)
        self.assertEqual(result.host("dialog"), [])
        self.settings({"Errors_Warning": 0})
        result = self.run_plugin(player, args, env={"QUORBEL_TEST_FAULT": "flame"})
        self.assertCleanRun(result)
        self.assertEqual(result.host("dialog"), [])


class FirstRun(PluginTest):
    def test_first_start_writes_the_tables_and_every_default(self):
        player = self.player()
        # Only the window mode is stored beforehand (full screen needs a mode change that a
        # plain Xvfb display cannot make); without "Version" this is a first start.
        self.settings({"Resolution": WINDOWED})
        result = self.run_plugin(player, [
            "--frames", "5", "--dialog", "Quorbel-4-MODPlug", "OK",
            "--dialog", "Quorbel-4-MODPlug - What's New", "OK"])
        self.assertEqual(result.one("init")["result"], "0", result.output)
        history = " ".join(self.dialog_texts(result, "Quorbel-4-MODPlug - What's New"))
        for version in ("1.50", "1.40", "1.31", "1.30", "1.20", "1.01"):
            self.assertIn(version + "\r\n", history)
        for name in TABLES:
            path = os.path.join(player, "tabs", name)
            self.assertEqual(os.path.getsize(path), 1228800, name)
        self.assertEqual(self.value("Version"), 336)
        defaults = {"Random": 1, "Wave": 2, "WaveScale": 1, "Flame": 3,
                    "DataSource": 0, "Palette": "VOLCANO.MAP", "Show_ID3": 1,
                    "Show_Quorbel_Info": 0, "Save_On_Exit": 0, "Frequency_Random_Change": 8,
                    "Frequency_Id3_Change": 16, "Load_All_Palettes": 0, "Load_All_Trans": 0,
                    "Frequency_Pic_Show": 32, "Load_All_Pics": 0, "Set_Pic_Palette": 0,
                    "Set_Pic_On_Background": 0, "Beat_detection_sensitivity": 200,
                    "Display_mode": 0, "Log_Errors_To_File": 0, "Errors_Warning": 1,
                    "Show_3D_song_intro": 1, "Fullscreen_On_Desktop": 1}
        for name, value in defaults.items():
            self.assertEqual(self.value(name), value, name)
        self.assertIsNotNone(self.env.reg_query(KEY, "Transformation"))
        self.assertIsNotNone(self.env.reg_query(KEY, "Picture"))

        # The DLL's tables are byte for byte the native ones.
        native = os.path.join(self.work, "native")
        self.env.write_builtin_tables(native)
        for name in TABLES:
            self.assertTrue(filecmp.cmp(os.path.join(native, name),
                                        os.path.join(player, "tabs", name), shallow=False), name)

        # The second start shows no dialog.
        self.settings({"Resolution": WINDOWED})
        second = self.run_plugin(player, ["--frames", "3", "--dialog-optional",
                                          "Quorbel-4-MODPlug", "OK"])
        self.assertCleanRun(second)
        self.assertEqual(second.host("dialog"), [])

    def test_version_140_upgrades_favourites_once_and_shows_the_150_text(self):
        self.settings(dict(QUIET, Version=0x140))
        old = struct.pack("<ii", 20, 5) + b"VOLCANO.MAP\0\0"
        self.env.reg_add(FAVORITES, "Favorite_0", old.hex(), kind="REG_BINARY")
        result = self.run_plugin(self.player(), [
            "--frames", "3", "--dialog", "Quorbel-4-MODPlug - What's New", "OK"])
        self.assertCleanRun(result)
        history = " ".join(self.dialog_texts(result, "Quorbel-4-MODPlug - What's New"))
        self.assertIn("1.50\r\n", history)
        self.assertNotIn("1.40\r\n", history)
        self.assertEqual(self.value("Version"), 0x150)
        stored = self.env.reg_query(FAVORITES, "Favorite_0")[1]
        self.assertEqual(stored.lower(), (struct.pack("<ii", 18, 5) + b"VOLCANO.MAP\0\0" +
                                          struct.pack("<i", 0)).hex())

    def test_version_130_shows_the_150_140_and_131_texts(self):
        self.settings(dict(QUIET, Version=0x130))
        result = self.run_plugin(self.player(), [
            "--frames", "3", "--dialog", "Quorbel-4-MODPlug - What's New", "OK"])
        self.assertCleanRun(result)
        history = " ".join(self.dialog_texts(result, "Quorbel-4-MODPlug - What's New"))
        for version in ("1.50", "1.40", "1.31"):
            self.assertIn(version + "\r\n", history)
        for version in ("1.30", "1.20", "1.01"):
            self.assertNotIn(version + "\r\n", history)

    def test_without_rights_to_the_machine_key_the_user_key_is_used(self):
        deny = {"QUORBEL_TEST_DENY_HKLM": "1"}
        self.settings(dict(QUIET), key=USER_KEY)
        self.env.reg_add(USER_KEY, "Version", 0x150)
        result = self.run_plugin(self.player(), ["--frames", "3", "--dialog-optional",
                                                 "Quorbel-4-MODPlug", "OK"], env=deny)
        self.assertCleanRun(result)
        self.assertEqual(result.host("dialog"), [])
        self.assertEqual(self.value("Beat_detection_sensitivity", key=USER_KEY), 200)
        self.assertIsNone(self.env.reg_query(KEY, "Beat_detection_sensitivity"))

    def test_save_on_exit_stores_the_running_effect_but_not_the_display(self):
        self.settings(dict(QUIET, Save_On_Exit=1, Wave=2, Flame=3, WaveScale=1, Display_mode=0))
        result = self.run_plugin(self.player(), [
            "--frames", "10", "--key", "2:w", "--key", "3:shift+f", "--key", "4:h",
            "--key", "5:i", "--key", "6:l", "--key", "7:d", "--key", "8:p"])
        self.assertCleanRun(result)
        self.assertEqual(self.value("Wave"), 3)
        self.assertEqual(self.value("Flame"), 2)
        self.assertEqual(self.value("WaveScale"), 2)
        self.assertEqual(self.value("DataSource"), 1)
        self.assertEqual(self.value("Random"), 1)  # unlocked by L
        self.assertEqual(self.value("Display_mode"), 0)
        self.assertNotEqual(self.value("Palette"), "VOLCANO.MAP")


class Presentation(PluginTest):
    def capture(self, depth, display, resolution=WINDOWED):
        self.settings(dict(QUIET, Display_mode=display, Resolution=resolution, Flame=1, Wave=8))
        player = self.player()
        result = self.run_plugin(player, ["--frames", "40", "--capture", "39:frame.bmp"],
                                 depth=depth)
        self.assertCleanRun(result, frames=40)
        return self.env_read(os.path.join(player, "frame.bmp"))

    def env_read(self, path):
        from harness import read_bmp
        return read_bmp(path)

    def assertMirrored(self, rows, across, down):
        height, width = len(rows), len(rows[0])
        lit = sum(1 for row in rows for pixel in row if pixel != (0, 0, 0))
        self.assertGreater(lit, 100, "the frame is black")
        for y in range(0, height, 7):
            for x in range(0, width, 5):
                if across:
                    self.assertEqual(rows[y][x], rows[y][width - 1 - x], (x, y))
                if down:
                    self.assertEqual(rows[y][x], rows[height - 1 - y][x], (x, y))

    def test_windowed_on_16_bits_shows_the_kaleidoscope(self):
        width, height, rows = self.capture(16, 1)
        self.assertEqual((width, height), (640, 480))
        self.assertMirrored(rows, True, True)

    def test_windowed_on_8_bits_shows_the_mirrors(self):
        _, _, rows = self.capture(8, 3)
        self.assertMirrored(rows, True, False)
        _, _, rows = self.capture(8, 2, resolution=8)
        self.assertMirrored(rows, False, True)

    def test_windowed_on_a_32_bit_desktop_shows_the_kaleidoscope(self):
        # A 24-bit Xvfb is a 32-bit desktop under Wine, like every desktop of today's Windows.
        # (Depths that stay refused cannot be had from Wine; the unit tests check them.)
        width, height, rows = self.capture(24, 1)
        self.assertEqual((width, height), (640, 480))
        self.assertMirrored(rows, True, True)

    def test_full_screen_on_the_desktop_scales_by_whole_pixels_without_a_mode_change(self):
        # (screen, resolution row) -> the whole factor and where the frame lies on the screen.
        cases = [("hd", 0, 2, (320, 60, 1280, 960)), ("hd", 1, 2, (320, 140, 1280, 800)),
                 ("hd", 2, 4, (320, 60, 1280, 960)), ("hd", 3, 5, (160, 40, 1600, 1000)),
                 (24, 0, 1, (192, 144, 640, 480))]
        colours = palette_colours(os.path.join(self.env.source, "data", "maps", "VOLCANO.MAP"))
        shared = self.env
        self.addCleanup(setattr, self, "env", shared)
        for screen, resolution, scale, (left, top, width, height) in cases:
            with self.subTest(screen=screen, resolution=resolution):
                # The 1920x1080 screen's runs and registry are those of its own prefix.
                self.env = shared.for_screen(screen) if screen == "hd" else shared
                self.env.reset_registry()
                self.log = os.path.join(self.env.prefix, "drive_c", "quorbel_errors.log")
                if os.path.exists(self.log):
                    os.remove(self.log)
                self.settings(dict(QUIET, Display_mode=1, Resolution=resolution, Flame=1,
                                   Wave=8, Log_Errors_To_File=1))
                player = self.player()
                result = self.run_plugin(player, ["--frames", "40", "--capture", "39:frame.bmp"],
                                         depth=screen)
                self.assertCleanRun(result, frames=40)
                shot = Capture(os.path.join(player, "frame.bmp"))
                self.assertEqual((shot.width, shot.height),
                                 (1920, 1080) if screen == "hd" else (1024, 768))
                self.assertEqual(shot.outside_black(left, top, width, height), 0)
                self.assertEqual(shot.blocks_not_whole(left, top, width, height, scale), 0)
                area = shot.colours(left, top, width, height)
                self.assertGreater(len(area), 8, "the frame shows hardly any colour")
                self.assertEqual(area - colours, set(), "colours not in the palette")
                self.assertNotIn("Presentation:", self.log_text(), "a fall-back was logged")
                self.assertEqual(self.value("Fullscreen_On_Desktop"), 1)

    def test_a_mode_change_that_cannot_be_made_falls_back_to_the_desktop_and_logs_it(self):
        # A bare Xvfb screen offers no 640x480 mode: the plug-in shows the frame on the desktop
        # instead, and keeps the stored choice.
        self.settings(dict(QUIET, Resolution=0, Fullscreen_On_Desktop=0, Log_Errors_To_File=1))
        player = self.player()
        result = self.run_plugin(player, ["--frames", "30", "--capture", "29:frame.bmp"],
                                 depth=24)
        self.assertCleanRun(result, frames=30)
        shot = Capture(os.path.join(player, "frame.bmp"))
        self.assertEqual((shot.width, shot.height), (1024, 768))
        self.assertEqual(shot.outside_black(192, 144, 640, 480), 0)
        lines = [l for l in self.log_text().splitlines() if l.startswith("Presentation:")]
        self.assertEqual(len(lines), 1, lines)
        self.assertRegex(lines[0], r"^Presentation: full screen display mode failed "
                                   r"\([0-9a-f]{8} DDERR_\w+\); shown as full screen on the "
                                   r"desktop\s*$")
        self.assertEqual(self.value("Fullscreen_On_Desktop"), 0)
        self.assertEqual(self.value("Resolution"), 0)

    def test_a_desktop_that_fails_falls_back_to_a_640_by_480_window(self):
        self.settings(dict(QUIET, Resolution=2, Log_Errors_To_File=1))
        player = self.player()
        result = self.run_plugin(player, ["--frames", "30", "--capture", "29:frame.bmp"],
                                 depth=16, env={"QUORBEL_TEST_FAIL_WAYS": "desktop"})
        self.assertCleanRun(result, frames=30)
        shot = Capture(os.path.join(player, "frame.bmp"))
        self.assertEqual((shot.width, shot.height), (640, 480))  # 320 x 240 at x2
        self.assertEqual(shot.blocks_not_whole(0, 0, 640, 480, 2, skip_rows=40), 0)
        self.assertIn("Presentation: full screen on the desktop failed (80004001 "
                      "DDERR_UNSUPPORTED); shown as 640x480 window", self.log_text())

    def test_when_every_way_fails_init_reports_the_direct_draw_failure(self):
        self.settings(dict(QUIET, Resolution=0))
        result = self.run_plugin(self.player(), [
            "--frames", "3", "--expect-init-fail", "--dialog", "ERROR", "OK"], depth=24,
            env={"QUORBEL_TEST_FAIL_WAYS": "desktop,window640"})
        self.assertEqual(result.one("init")["result"], "1", result.output)
        text = " ".join(self.dialog_texts(result, "ERROR"))
        self.assertIn("Direct Draw Init Failed (80004001)", text)

    def test_full_screen_in_a_virtual_desktop_changes_the_mode_flips_and_quits(self):
        for resolution in (0, 2):
            self.settings(dict(QUIET, Resolution=resolution, Fullscreen_On_Desktop=0,
                               Log_Errors_To_File=1))
            result = self.run_plugin(self.player(), ["--frames", "30"], desktop="1024x768")
            self.assertEqual(result.code, 0, result.output)
            self.assertEqual(result.one("init")["result"], "0", result.output)
            self.assertEqual(result.one("frames")["rendered"], "30")
            # The mode change itself worked: no fall-back.
            self.assertNotIn("Presentation:", self.log_text(), resolution)

    # The ways of showing, each as (settings, run options): the resolution row's window, full
    # screen on the desktop (the default), the 640x480 window of the last resort and the
    # display mode change with its flip chain (inside a virtual desktop, where the mode can
    # change).
    WAYS = {
        "window": (dict(Resolution=WINDOWED), dict(depth=16)),
        "desktop": (dict(Resolution=0), dict(depth=24)),
        "window640": (dict(Resolution=2), dict(depth=16,
                                                env={"QUORBEL_TEST_FAIL_WAYS": "desktop"})),
        "mode": (dict(Resolution=0, Fullscreen_On_Desktop=0), dict(desktop="1024x768")),
    }

    def run_way(self, way, frames, captures, env=None):
        """Runs the plug-in in one way of showing with logging on, capturing after each frame
        of captures; returns the run and the captures by frame."""
        values, options = self.WAYS[way]
        self.env.reset_registry()
        if os.path.exists(self.log):
            os.remove(self.log)
        # Lines going up fast: every frame differs from the one before.
        self.settings(dict(QUIET, Flame=3, Wave=2, Log_Errors_To_File=1, **values))
        options = dict(options)
        options["env"] = dict(options.get("env", {}), **(env or {}))
        player = self.player()
        args = ["--frames", str(frames)]
        for frame in captures:
            args += ["--capture", f"{frame}:frame{frame}.bmp"]
        if "desktop" in options:
            # An exclusive full-screen window is read from the screen.
            args.append("--capture-from-screen")
        result = self.run_plugin(player, args, **options)
        self.assertCleanRun(result, frames=frames)
        shots = {frame: Capture(os.path.join(player, f"frame{frame}.bmp")) for frame in captures}
        return result, shots

    def assertShownAndChanging(self, shots, frames):
        """The captures of frames are lit and each differs from the one before."""
        for frame in frames:
            lit = shots[frame].lit()
            self.assertGreater(lit, 1000, f"frame {frame} is black ({lit} pixels lit)")
        for before, after in zip(frames, frames[1:]):
            self.assertTrue(shots[before].rows != shots[after].rows,
                            f"frames {before} and {after} are the same picture: frozen")

    def logged_lines(self):
        """The error log's lines other than the run's header and footer and the line about a
        fall-back that the way of showing asked for."""
        return [line for line in self.log_text().splitlines()
                if not line.startswith("---------") and not line.startswith("Presentation: full "
                                                                            "screen on the "
                                                                            "desktop failed")]

    def test_every_surface_reported_lost_is_restored_in_every_way_of_showing(self):
        # As after a lock screen, a UAC prompt or a monitor that slept: at frame 20 every
        # surface reports lost until it is restored. The frames after it are shown again.
        for way in self.WAYS:
            with self.subTest(way=way):
                _, shots = self.run_way(way, 40, (15, 25, 30, 35),
                                        env={"QUORBEL_TEST_LOSE_SURFACES_AT": "20"})
                self.assertShownAndChanging(shots, (15, 25, 30, 35))
                self.assertEqual(self.logged_lines(), [], way)

    def test_a_fault_in_the_frame_copy_leaves_no_surface_locked(self):
        # The copy faults once, at frame 10, while the back surface is locked: the fault is
        # counted and logged, and the frames after it are shown.
        for way in ("desktop", "window"):
            with self.subTest(way=way):
                _, shots = self.run_way(way, 30, (20, 25, 30), env={
                    "QUORBEL_TEST_FAULT": "copy", "QUORBEL_TEST_FAULT_AT": "10",
                    "QUORBEL_TEST_FAULT_FRAMES": "1"})
                self.assertShownAndChanging(shots, (20, 25, 30))
                lines = self.logged_lines()
                self.assertEqual(lines.count("Win32 Exception thrown:"), 1, lines)


    def test_another_programs_mode_change_places_the_frame_anew_for_the_new_size(self):
        # Full screen on the desktop (320x240, three times on 1024x768) inside a virtual desktop;
        # another program changes the mode twice meanwhile. (Wine keeps a prefix's mode for its
        # later programs, and the host gives the first one back at its end: the desktop is the
        # size of the screen its prefix runs on.)
        self.settings(dict(QUIET, Flame=3, Wave=2, Resolution=2, Log_Errors_To_File=1))
        player = self.player()
        result = self.run_plugin(player, [
            "--frames", "60", "--display-mode", "20:800x600", "--display-mode", "40:640x480",
            "--capture", "15:before.bmp", "--capture", "35:smaller.bmp",
            "--capture", "55:smallest.bmp", "--capture-from-screen"],
            depth=24, desktop="1024x768")
        self.assertCleanRun(result, frames=60)
        self.assertEqual([e["result"] for e in result.host("display-mode")], ["0", "0"],
                         result.output)
        self.assertEqual(result.one("display-mode-restored")["result"], "0", result.output)
        # (capture, screen size, the frame's place and whole factor)
        for name, size, (left, top, width, height), scale in [
                ("before", (1024, 768), (32, 24, 960, 720), 3),
                ("smaller", (800, 600), (80, 60, 640, 480), 2),
                ("smallest", (640, 480), (0, 0, 640, 480), 2)]:
            with self.subTest(capture=name):
                shot = Capture(os.path.join(player, name + ".bmp"))
                self.assertEqual((shot.width, shot.height), size)
                self.assertGreater(shot.lit(), 1000, "the frame is black")
                self.assertEqual(shot.outside_black(left, top, width, height), 0)
                self.assertEqual(shot.blocks_not_whole(left, top, width, height, scale), 0)
        self.assertEqual(self.logged_lines(), [])

    def test_full_screen_on_the_desktop_at_150_percent_goes_by_physical_pixels(self):
        # The host runs, like most players, DPI unaware: at 150 % Windows gives its threads the
        # 1920x1080 monitor as 1280x720 (Wine does not scale: the test build plays that system).
        # The plug-in's own window measures physical pixels and shows the frame twice, in whole
        # pixels, not once and stretched by the system.
        shared = self.env
        self.addCleanup(setattr, self, "env", shared)
        self.env = shared.for_screen("hd")
        self.env.reset_registry()
        self.log = os.path.join(self.env.prefix, "drive_c", "quorbel_errors.log")
        if os.path.exists(self.log):
            os.remove(self.log)
        self.settings(dict(QUIET, Flame=3, Wave=2, Resolution=0, Log_Errors_To_File=1))
        player = self.player()
        result = self.run_plugin(player, ["--frames", "40", "--capture", "39:frame.bmp",
                                          "--capture-from-screen", "--dpi-unaware"],
                                 depth="hd", env={"QUORBEL_TEST_SYSTEM_DPI": "144"})
        self.assertCleanRun(result, frames=40)
        self.assertEqual(result.one("dpi-unaware")["done"], "1", result.output)
        shot = Capture(os.path.join(player, "frame.bmp"))
        self.assertEqual((shot.width, shot.height), (1920, 1080))
        self.assertGreater(shot.lit(), 1000, "the frame is black")
        self.assertEqual(shot.outside_black(320, 60, 1280, 960), 0)
        self.assertEqual(shot.blocks_not_whole(320, 60, 1280, 960, 2), 0)
        self.assertEqual(self.logged_lines(), [])

def palette_colours(path):
    """The colours of a palette file, as 3-byte (b, g, r) strings the way a BMP stores them."""
    colours = set()
    with open(path) as f:
        for line in f.read().splitlines()[:256]:
            r, g, b = (int(v) for v in line.split()[:3])
            colours.add(bytes((b, g, r)))
    return colours


class Capture:
    """A 24-bit BMP the host captured, read as rows of bytes (top first) for quick checks."""

    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        offset = struct.unpack_from("<I", data, 10)[0]
        self.width, height = struct.unpack_from("<ii", data, 18)
        bits = struct.unpack_from("<H", data, 28)[0]
        if bits != 24:
            raise ValueError(f"{path}: a {bits}-bit capture")
        self.height = abs(height)
        stride = (self.width * 3 + 3) & ~3
        self.rows = []
        for y in range(self.height):
            stored = y if height < 0 else self.height - 1 - y
            start = offset + stored * stride
            self.rows.append(data[start:start + self.width * 3])

    def outside_black(self, left, top, width, height):
        """How many pixels outside the rectangle are not black."""
        count = 0
        for y, row in enumerate(self.rows):
            inside = top <= y < top + height
            spans = [(0, left), (left + width, self.width)] if inside else [(0, self.width)]
            for a, b in spans:
                part = row[a * 3:b * 3]
                if part.count(0) != len(part):
                    count += sum(1 for i in range(0, len(part), 3)
                                 if part[i:i + 3] != b"\0\0\0")
        return count

    def blocks_not_whole(self, left, top, width, height, scale, skip_rows=0):
        """How many scale x scale blocks of the rectangle are not one colour throughout (the
        first skip_rows rows, where a notice may be written, are left out)."""
        count = 0
        for y in range(top + skip_rows, top + height, scale):
            row = self.rows[y][left * 3:(left + width) * 3]
            pixels = [row[i:i + 3] for i in range(0, len(row), 3)]
            for k in range(1, scale):
                if self.rows[y + k][left * 3:(left + width) * 3] != row:
                    count += 1
            for x in range(0, width, scale):
                if any(pixels[x + k] != pixels[x] for k in range(1, scale)):
                    count += 1
        return count

    def lit(self):
        """How many pixels are not black."""
        return sum(1 for row in self.rows for i in range(0, len(row), 3)
                   if row[i:i + 3] != b"\0\0\0")

    def colours(self, left, top, width, height):
        found = set()
        for y in range(top, top + height):
            row = self.rows[y][left * 3:(left + width) * 3]
            found.update(row[i:i + 3] for i in range(0, len(row), 3))
        return found


class Translations(PluginTest):
    def test_the_setting_names_the_start_table(self):
        self.settings(dict(QUIET, Save_On_Exit=1, Transformation="rotate.tab"))
        result = self.run_plugin(self.player_with_tables(), ["--frames", "20"])
        self.assertCleanRun(result, frames=20)
        self.assertEqual(self.value("Transformation"), "rotate.tab")
        self.assertEqual(self.value("Flame"), 0)

    def test_quit_while_the_loader_runs_ends_cleanly(self):
        self.settings(QUIET)
        result = self.run_plugin(self.player_with_tables(), ["--frames", "1"])
        self.assertCleanRun(result, frames=1)

    def test_load_all_reads_every_table(self):
        self.settings(dict(QUIET, Load_All_Trans=1, Save_On_Exit=1))
        result = self.run_plugin(self.player_with_tables(),
                                 ["--frames", "10", "--key", "2:t", "--key", "3:t"])
        self.assertCleanRun(result, frames=10)
        self.assertIn(self.value("Transformation"), TABLES)


class Keys(PluginTest):
    def test_keys_the_plugin_does_not_use_reach_the_player(self):
        self.settings(QUIET)
        result = self.run_plugin(self.player(), [
            "--frames", "10", "--key", "3:f5", "--key", "4:7", "--key", "5:left"])
        self.assertCleanRun(result)
        sent = [(int(e["vk"], 16), int(e["lparam"], 16)) for e in result.host("key")]
        forwarded = [(int(e["wparam"], 16), int(e["lparam"], 16))
                     for e in result.host("forwarded") if e["msg"] == "keydown"]
        self.assertEqual(len(sent), 3)
        self.assertEqual(forwarded, sent, result.output)

    def test_ctrl_m_stores_a_favourite_that_m_applies(self):
        self.settings(dict(QUIET, Wave=6, Flame=8, Display_mode=2, Save_On_Exit=1))
        result = self.run_plugin(self.player(), [
            "--frames", "10", "--key", "2:ctrl+m", "--key", "3:w", "--key", "4:m"])
        self.assertCleanRun(result)
        stored = bytes.fromhex(self.env.reg_query(FAVORITES, "Favorite_0")[1])
        self.assertEqual(stored[:8], struct.pack("<ii", 6, 8))
        self.assertEqual(stored[-4:], struct.pack("<i", 2))
        palette = stored[8:stored.index(b"\0", 8)]
        self.assertTrue(palette.upper().endswith(b".MAP"), stored)
        self.assertEqual(self.value("Wave"), 6)

    def test_the_next_favourite_takes_the_lowest_free_number(self):
        self.settings(QUIET)
        record = (struct.pack("<ii", 1, 2) + b"VOLCANO.MAP\0\0" + struct.pack("<i", 0)).hex()
        for n in (0, 2):
            self.env.reg_add(FAVORITES, f"Favorite_{n}", record, kind="REG_BINARY")
        result = self.run_plugin(self.player(), ["--frames", "5", "--key", "2:ctrl+m"])
        self.assertCleanRun(result)
        self.assertIsNotNone(self.env.reg_query(FAVORITES, "Favorite_1"))


class ScreenShots(PluginTest):
    def test_ctrl_s_writes_the_lowest_free_numbers(self):
        self.settings(QUIET)
        player = self.player()
        result = self.run_plugin(player, ["--frames", "8", "--key", "3:ctrl+s",
                                          "--key", "5:ctrl+s"])
        self.assertCleanRun(result)
        for name in ("shot_0.gif", "shot_1.gif"):
            with open(os.path.join(player, name), "rb") as f:
                self.assertEqual(f.read(6), b"GIF87a")
        os.remove(os.path.join(player, "shot_1.gif"))
        shutil.copy(os.path.join(player, "shot_0.gif"), os.path.join(player, "shot_2.gif"))
        result = self.run_plugin(player, ["--frames", "4", "--key", "2:ctrl+s"])
        self.assertCleanRun(result)
        self.assertTrue(os.path.exists(os.path.join(player, "shot_1.gif")))
        self.assertFalse(os.path.exists(os.path.join(player, "shot_3.gif")))


if __name__ == "__main__":
    unittest.main()
