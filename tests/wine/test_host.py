"""The host player under Wine, driven with the probe plug-in (host/test_plugins/vis_probe.cpp).

The probe paints its 320x240 client area: the left half in one colour (red = bass level,
green = newest channel-0 waveform sample + 128, blue = Render count), the right half in eight
20-pixel stripes over grey bottom rows; it logs every call as a "probe ..." line.
"""

import os
import struct
import tempfile
import unittest

import harness

FAST = ["--fast", "--mute"]
STRIPES = [(0, 0, 0), (255, 255, 255), (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0),
           (0, 255, 255), (255, 0, 255)]


def write_wav(path, channels, bits, rate, frames):
    """frames: list of per-channel sample tuples (unsigned for 8 bits, signed for 16)."""
    code = {8: "B", 16: "h"}[bits]
    pcm = b"".join(struct.pack("<" + code * channels, *f) for f in frames)
    block = channels * bits // 8
    fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * block, block, bits)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + \
        struct.pack("<I", len(pcm)) + pcm
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)


class HostTestCase(unittest.TestCase):
    def setUp(self):
        self.env = harness.Env()
        self._tmp = tempfile.TemporaryDirectory(dir=self.env.state["work"])
        self.addCleanup(self._tmp.cleanup)
        self.player = self.env.make_player(self._tmp.name)

    def run_host(self, args, **kw):
        run = self.env.run_host(self.player, args, **kw)
        self.assertFalse(run.timed_out, run.output)
        return run

    def assertExit(self, run, code):
        self.assertEqual(run.code, code, run.output)


class Run(HostTestCase):
    def test_loads_the_plugin_and_runs_the_frames_on_every_display(self):
        for depth in harness.DEPTHS:
            with self.subTest(depth=depth):
                run = self.run_host(FAST + ["--frames", "12"], depth=depth)
                self.assertExit(run, 0)
                self.assertIn("vis_probe.dll", run.one("load")["path"])
                self.assertEqual(run.one("header")["version"], "0x101")
                self.assertEqual(run.one("module")["description"], "Probe module")
                self.assertEqual(run.one("init")["result"], "0")
                init = run.one("init", "probe")
                self.assertEqual(init["parent_class"], "Winamp v1.x")
                self.assertEqual(init["instance"], "match")
                self.assertEqual(init["thread"], "other")  # not the thread that loaded it
                self.assertEqual(init.int("depth"), 32 if depth == 24 else depth)
                self.assertEqual(run.one("window", "probe")["owner"], "parent")
                renders = run.probe("render")
                self.assertEqual([r.int("n") for r in renders], list(range(1, 13)))
                self.assertTrue(all(r["thread"] == "init" for r in renders))
                # --fast: the position is frame x 1000 / fps, answered by WM_USER / 105.
                self.assertEqual([r.int("pos") for r in renders], [i * 25 for i in range(12)])
                self.assertEqual(renders[0]["title"], "1. Artist - Title - Winamp")
                self.assertEqual(run.one("quit", "probe")["thread"], "init")
                self.assertEqual(run.one("frames")["rendered"], "12")
                self.assertEqual(run.one("windows-gone")["gone"], "1")
                names = [e.name for e in run.host()]
                self.assertLess(names.index("init"), names.index("quit"))
                self.assertLess(names.index("quit"), names.index("windows-gone"))
                self.assertEqual(names[-1], "exit")

    def test_get_module_probe(self):
        run = self.run_host(FAST + ["--frames", "1", "--probe-module"])
        self.assertExit(run, 0)
        probe = run.one("module-probe")
        self.assertEqual((probe["same"], probe["index1_null"], probe["indexm1_null"]),
                         ("1", "1", "1"))
        self.assertEqual([e.int("index") for e in run.probe("getmodule")], [0, 0, 1, -1])

    def test_demo_track_beats_reach_the_plugin(self):
        # 120 bpm: a bass-drum hit every 500 ms, well above the default threshold 200.
        run = self.run_host(FAST + ["--frames", "80"])
        self.assertExit(run, 0)
        levels = [r.int("beat") for r in run.probe("render")]
        beats = sum(1 for a, b in zip(levels, levels[1:]) if a <= 200 < b)
        self.assertEqual(beats, 4)  # hits at 0, 500, 1000, 1500 ms; frames to 1975 ms
        self.assertGreater(min(max(levels[i:i + 20]) for i in range(0, 80, 20)), 230)

    def test_runs_repeat_on_fresh_threads(self):
        run = self.run_host(FAST + ["--frames", "3", "--runs", "2"])
        self.assertExit(run, 0)
        self.assertEqual([e["run"] for e in run.host("init")], ["1", "2"])
        self.assertEqual(len(run.probe("quit")), 2)
        self.assertEqual([e["gone"] for e in run.host("windows-gone")], ["1", "1"])

    def test_a_real_time_run_follows_the_clock(self):
        # Frame n is due (n - 1) x 25 ms after the start; the position cannot be earlier.
        run = self.run_host(["--frames", "8"])
        self.assertExit(run, 0)
        self.assertIn(run.one("sound")["device"], ("waveout", "none"))
        positions = [r.int("pos") for r in run.probe("render")]
        self.assertEqual(positions, sorted(positions))
        self.assertGreaterEqual(positions[-1], 175)

    def test_runs_in_a_virtual_desktop(self):
        run = self.run_host(FAST + ["--frames", "3"], desktop="1024x768")
        self.assertExit(run, 0)
        self.assertEqual(run.one("frames")["rendered"], "3")


class Keys(HostTestCase):
    def test_modifiers_reach_the_plugin_and_unused_keys_reach_the_player(self):
        run = self.run_host(FAST + [
            "--frames", "8",
            "--key", "2:W", "--key", "3:shift+W", "--key", "4:ctrl+M", "--key", "4:ctrl+shift+M",
            "--key", "5:F1", "--key", "5:7", "--key", "6:left", "--key", "6:shift+pagedown",
            "--key", "7:numpad5"])
        self.assertExit(run, 0)
        sent = run.host("key")
        seen = run.probe("key")
        self.assertEqual(len(sent), 9)
        self.assertEqual(len(seen), 9)
        for s, p in zip(sent, seen):
            self.assertEqual(s.int("vk"), p.int("vk"), s)
            self.assertEqual(s.int("lparam"), p.int("lparam"), s)
            self.assertEqual((s["shift"], s["ctrl"]), (p["shift"], p["ctrl"]), s)
            self.assertEqual(s["window"], "vis_probe")
        self.assertEqual([(p["shift"], p["ctrl"]) for p in seen[:4]],
                         [("0", "0"), ("1", "0"), ("0", "1"), ("1", "1")])
        # A key press: repeat count 1 and the scan code; arrows carry the extended bit.
        self.assertEqual(sent[0].int("lparam"), 0x00110001)
        self.assertEqual(sent[6].int("lparam") & 0x01000000, 0x01000000)
        self.assertEqual(sent[8].int("lparam"), 0x004C0001)  # numpad 5: scan code 0x4C

        forwarded = [(p.int("vk"), p.int("lparam")) for p in seen if p["action"] == "forwarded"]
        self.assertEqual([vk for vk, _ in forwarded], [0x70, 0x37, 0x25, 0x22, 0x65])
        got = [(e.int("wparam"), e.int("lparam")) for e in run.host("forwarded")
               if e["msg"] == "keydown"]
        self.assertEqual(got, forwarded)
        # The player's message loop translates the digit into a character as well.
        chars = [e.int("wparam") for e in run.host("forwarded") if e["msg"] == "char"]
        self.assertEqual(chars, [ord("7")])

    def test_escape_ends_the_run_and_quit_is_called(self):
        run = self.run_host(FAST + ["--frames", "100", "--key", "5:escape"])
        self.assertExit(run, 0)
        self.assertEqual(run.one("key", "probe")["action"], "close")
        self.assertEqual(run.one("window-closed")["frame"], "4")
        self.assertEqual(run.one("frames")["reason"], "closed")
        self.assertEqual(run.one("quit", "probe").int("renders"), 4)
        self.assertEqual(run.one("windows-gone")["gone"], "1")

    def test_keys_after_the_end_are_reported_unsent(self):
        run = self.run_host(FAST + ["--frames", "3", "--key", "9:W"])
        self.assertExit(run, 0)
        self.assertEqual(run.one("unsent")["frame"], "9")
        self.assertEqual(run.probe("key"), [])


class Crashes(HostTestCase):
    def test_a_fault_in_render_exits_with_the_code(self):
        for crash, code in (("render:3", "0xC0000005"), ("render:2:div0", "0xC0000094")):
            with self.subTest(crash=crash):
                run = self.run_host(FAST + ["--frames", "10"],
                                    env={"QUORBEL_PROBE_CRASH": crash})
                self.assertExit(run, 1)
                crash = run.one("crash")
                self.assertEqual(crash["code"], code)
                self.assertEqual(crash["call"], "Render")
                self.assertEqual(crash["thread"], "vis")
                self.assertEqual(crash["module"], "vis_probe.dll")
                self.assertEqual(run.one("fault")["code"], code)
                self.assertEqual(run.host()[-1].name, "exit")
                self.assertEqual(run.host()[-1]["code"], "1")

    def test_a_fault_in_config_on_the_main_thread(self):
        run = self.run_host(["--config"], env={"QUORBEL_PROBE_CRASH": "config"})
        self.assertExit(run, 1)
        crash = run.one("crash")
        self.assertEqual((crash["call"], crash["thread"]), ("Config", "main"))


class Init(HostTestCase):
    def test_failed_init_fails_the_run_unless_expected(self):
        fail = {"QUORBEL_PROBE_INIT_FAIL": "1"}
        run = self.run_host(FAST + ["--frames", "5"], env=fail)
        self.assertExit(run, 4)
        self.assertEqual(run.one("init")["result"], "1")
        self.assertEqual(run.probe("render"), [])
        self.assertEqual(run.probe("quit"), [])  # players do not call Quit after a failed Init

        run = self.run_host(FAST + ["--frames", "5", "--expect-init-fail",
                                    "--quit-after-failed-init"], env=fail)
        self.assertExit(run, 0)
        self.assertEqual(len(run.probe("quit")), 1)

        run = self.run_host(FAST + ["--frames", "1", "--expect-init-fail"])
        self.assertExit(run, 4)

    def test_windows_left_after_quit_are_reported(self):
        run = self.run_host(FAST + ["--frames", "2"], env={"QUORBEL_PROBE_LEAK_WINDOW": "1"})
        self.assertEqual(run.one("windows-gone")["gone"], "0")
        self.assertEqual(run.one("window-left")["class"], "vis_probe")


class Dialogs(HostTestCase):
    def test_a_message_box_is_reported_and_its_button_pressed(self):
        box = {"QUORBEL_PROBE_MESSAGEBOX": "Probe question|Shall we?\nReally?"}
        run = self.run_host(FAST + ["--frames", "2", "--dialog", "Probe question", "No"],
                            env=box)
        self.assertExit(run, 0)
        self.assertEqual(run.one("dialog")["caption"], "Probe question")
        texts = [e["text"] for e in run.host("dialog-text")]
        self.assertIn("Shall we?\nReally?", texts)
        self.assertEqual(run.one("dialog-press")["button"], "No")
        self.assertEqual(run.one("messagebox", "probe").int("answer"), 7)  # IDNO

    def test_config_runs_on_the_main_thread_and_its_dialog_is_answered(self):
        run = self.run_host(["--config", "--dialog", "vis_probe conf*", "Cancel"])
        self.assertExit(run, 0)
        config = run.one("config", "probe")
        self.assertEqual((config["thread"], config["parent"]), ("loader", "window"))
        self.assertEqual(run.one("config-done", "probe").int("answer"), 2)  # IDCANCEL
        self.assertEqual(run.probe("init"), [])

    def test_dialog_steps_report_the_controls_and_a_failing_step_cancels(self):
        caption = "vis_probe conf*"
        run = self.run_host(["--config", "--dialog-step", caption, "show", "--dialog-step",
                             caption, "set=4242:1", "--dialog-step", caption, "show",
                             "--dialog", caption, "OK"])
        self.assertExit(run, 5)
        self.assertEqual(run.host("dialog-page"), [], "a message box is no property sheet")
        buttons = [e["text"] for e in run.host("dialog-control") if e["kind"] == "button"]
        self.assertIn("OK", buttons)
        self.assertTrue(all(e.int("show") == 1 for e in run.host("dialog-control")),
                        "no step after the failing one")
        failed = run.one("dialog-step-failed")
        self.assertEqual((failed["step"], failed["reason"]),
                         ("set=4242:1", "no control with that id"))
        self.assertEqual(run.host("dialog-press"), [])
        self.assertEqual(run.one("config-done", "probe").int("answer"), 2)  # IDCANCEL

    def test_a_scripted_dialog_that_never_appears_fails_the_run(self):
        run = self.run_host(FAST + ["--frames", "2", "--dialog", "Never shown", "OK",
                                    "--dialog-optional", "Maybe shown", "OK"])
        self.assertExit(run, 5)
        missing = run.one("dialog-missing")
        self.assertEqual((missing["caption"], missing["button"]), ("Never shown", "OK"))

    def test_a_missing_button_closes_the_dialog_and_fails_the_run(self):
        box = {"QUORBEL_PROBE_MESSAGEBOX": "Probe question|Shall we?"}
        run = self.run_host(FAST + ["--frames", "1", "--dialog", "Probe question", "Maybe"],
                            env=box)
        self.assertExit(run, 5)
        self.assertEqual(run.one("dialog-button-missing")["buttons"], "Yes|No")


class Captures(HostTestCase):
    def check_capture(self, run, frame, exact):
        cap = [c for c in run.host("capture") if c.int("frame") == frame]
        self.assertEqual(len(cap), 1, run.output)
        width, height, rows = harness.read_bmp(os.path.join(self.player, cap[0]["file"]))
        self.assertEqual((width, height), (320, 240))
        render = [r for r in run.probe("render") if r.int("n") == frame][0]
        colour = render.int("colour")
        want = ((colour >> 16) & 255, (colour >> 8) & 255, colour & 255)

        def close(got, expected):
            if exact:
                return got == expected
            # 16-bit desktop: 5-6-5 bits kept
            return all(abs(g - e) <= 8 for g, e in zip(got, expected))

        for x, y in ((0, 0), (159, 239), (80, 120)):
            self.assertTrue(close(rows[y][x], want), (x, y, rows[y][x], want))
        for i, stripe in enumerate(STRIPES):
            for x, y in ((160 + i * 20, 0), (179 + i * 20, 199)):
                self.assertTrue(close(rows[y][x], stripe), (x, y, rows[y][x], stripe))
        self.assertTrue(close(rows[239][319], (128, 128, 128)))
        self.assertTrue(close(rows[200][160], (128, 128, 128)))
        return want

    def test_captures_hold_the_probe_pattern(self):
        for depth in (24, 16):
            with self.subTest(depth=depth):
                run = self.run_host(FAST + ["--frames", "8", "--capture", "3:three.bmp",
                                            "--capture", "6:six.bmp"], depth=depth)
                self.assertExit(run, 0)
                a = self.check_capture(run, 3, exact=depth == 24)
                b = self.check_capture(run, 6, exact=depth == 24)
                self.assertNotEqual(a, b)  # the pattern follows the audio and frame

    def test_captures_of_a_window_presented_through_directdraw(self):
        for depth in (24, 16):
            with self.subTest(depth=depth):
                run = self.run_host(FAST + ["--frames", "5", "--capture", "5:dd.bmp"],
                                    depth=depth, env={"QUORBEL_PROBE_DDRAW": "1"})
                self.assertExit(run, 0)
                self.assertEqual(run.one("directdraw", "probe").int("result"), 0)
                self.check_capture(run, 5, exact=depth == 24)

    def test_captures_on_an_eight_bit_desktop_keep_the_stripes(self):
        run = self.run_host(FAST + ["--frames", "2", "--capture", "2:two.bmp"], depth=8)
        self.assertExit(run, 0)
        _, _, rows = harness.read_bmp(os.path.join(self.player, "two.bmp"))
        self.assertEqual([rows[100][170 + 20 * i] for i in range(8)], STRIPES)

    def test_capture_from_the_screen(self):
        run = self.run_host(FAST + ["--frames", "4", "--capture", "4:screen.bmp",
                                    "--capture-from-screen"])
        self.assertExit(run, 0)
        self.check_capture(run, 4, exact=True)


class Audio(HostTestCase):
    def test_wav_files_feed_the_waveform(self):
        cases = (
            ("mono8.wav", 1, 8, 8000, [(0xC0,)] * 4000, (0x40, 0x40)),
            ("stereo8.wav", 2, 8, 11025, [(0x10, 0xF0)] * 4000, (-0x70, 0x70)),
            ("mono16.wav", 1, 16, 22050, [(-0x3000,)] * 9000, (-0x30, -0x30)),
            ("stereo16.wav", 2, 16, 44100, [(0x2100, -0x5000)] * 9000, (0x21, -0x50)),
        )
        for name, channels, bits, rate, frames, (w0, w1) in cases:
            with self.subTest(name=name):
                write_wav(os.path.join(self.player, name), channels, bits, rate, frames)
                run = self.run_host(FAST + ["--frames", "4", "--wav", name])
                self.assertExit(run, 0)
                audio = run.one("audio")
                self.assertEqual((audio.int("channels"), audio.int("bits"), audio.int("rate")),
                                 (channels, bits, rate))
                last = run.probe("render")[-1]  # 75 ms in: the window is all audio
                self.assertEqual((last.int("w0"), last.int("w1")), (w0, w1))
                first = run.probe("render")[0]  # position 0: nothing played yet
                self.assertEqual((first.int("w0"), first.int("w1")), (0, 0))

    def test_a_bad_wav_file_is_a_usage_error(self):
        with open(os.path.join(self.player, "bad.wav"), "wb") as f:
            f.write(b"RIFF\x04\x00\x00\x00WAVX")
        run = self.run_host(FAST + ["--wav", "bad.wav"])
        self.assertExit(run, 2)
        self.assertEqual(run.one("audio-failed")["reason"], "not a WAVE file")

    def test_title_and_position_changes_at_frames(self):
        run = self.run_host(FAST + ["--frames", "6", "--title", "7. Some - Song - Winamp",
                                    "--set-title", "3:8. Next - One - Winamp",
                                    "--set-position", "4:10000"])
        self.assertExit(run, 0)
        renders = run.probe("render")
        self.assertEqual([r["title"] for r in renders],
                         ["7. Some - Song - Winamp"] * 2 + ["8. Next - One - Winamp"] * 4)
        self.assertEqual([r.int("pos") for r in renders], [0, 25, 50, 10000, 10025, 10050])
        self.assertEqual(run.one("title")["text"], "8. Next - One - Winamp")
        self.assertEqual(run.one("position").int("ms"), 10000)


class Registry(HostTestCase):
    def test_values_are_written_read_and_reset(self):
        key = harness.SETTINGS_KEY
        self.env.reset_registry()
        self.assertIsNone(self.env.reg_query(key, "Wave"))
        self.env.reg_add(key, "Wave", 7)
        self.env.reg_add(key, "Palette", "VOLCANO.MAP")
        self.assertEqual(self.env.reg_query(key, "Wave"), ("REG_DWORD", 7))
        self.assertEqual(self.env.reg_query(key, "Palette"), ("REG_SZ", "VOLCANO.MAP"))
        self.env.reg_add("HKCU\\Software\\Quorbel\\Quorbel-4-Winamp", "Wave", 3)
        self.env.reset_registry()
        self.assertIsNone(self.env.reg_query(key, "Wave"))
        self.assertIsNone(self.env.reg_query("HKCU\\Software\\Quorbel\\Quorbel-4-Winamp",
                                             "Wave"))


class CommandLine(HostTestCase):
    def test_help_and_bad_arguments(self):
        run = self.env.run_host(self.player, ["--help"], plugin_args=[])
        self.assertEqual(run.code, 0, run.output)
        self.assertIn("Usage: host.exe", run.output)
        self.assertIn("--dialog-optional", run.output)

        run = self.env.run_host(self.player, ["--frames", "x"])
        self.assertEqual(run.code, 2, run.output)
        self.assertIn("--frames", run.one("error")["message"])

    def test_a_missing_plugin_is_a_load_failure(self):
        run = self.env.run_host(self.player, FAST, plugin_args=["Plugins\\vis_none.dll"])
        self.assertEqual(run.code, 3, run.output)
        self.assertEqual(run.one("load-failed").int("error"), 126)  # module not found


if __name__ == "__main__":
    unittest.main()
