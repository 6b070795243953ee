#!/usr/bin/env python3
"""The native program quorbel run for real: each test starts its own Xvfb (which picks a free
display number through -displayfd, so no number is shared with other tests) and its own
settings and data folders, runs quorbel on the fast clock (frames / fps, so nothing depends on
the machine's speed) and reads its exit status, its output lines, its event log and the frames
it captured.

    test_quorbel.py QUORBEL [unittest arguments, such as Run.test_demo_captures]

QUORBEL_FAKE_MPRIS in the environment names the media player the song-title tests start
(tests/quorbel/fake_mpris.cpp), QUORBEL_WRITE_SOUND the program that writes their FLAC and
Ogg files (tests/quorbel/write_sound.cpp).
In the sanitizer builds QUORBEL_TEST_PRELOAD is what quorbel's
own runs get as LD_PRELOAD (and no other program the tests start), and
QUORBEL_TEST_LSAN_SUPPRESSIONS and QUORBEL_TEST_TSAN_SUPPRESSIONS name the suppressions their
runtimes get.
"""

import math
import os
import select
import shlex
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

QUORBEL = None
FAKE_MPRIS = None
WRITE_SOUND = None


def start_xvfb(log_path, timeout=30.0, extra=()):
    """Starts Xvfb at 1024x768x24 (with the extra arguments); returns (display number,
    process)."""
    read_end, write_end = os.pipe()
    with open(log_path, "ab") as log:
        proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp"] + list(extra),
            pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=log,
            stderr=subprocess.STDOUT, start_new_session=True)
    os.close(write_end)
    data = b""
    try:
        # Xvfb writes the number once it accepts connections; the timeout is only a bound.
        while not data.endswith(b"\n"):
            ready, _, _ = select.select([read_end], [], [], timeout)
            if not ready:
                break
            chunk = os.read(read_end, 64)
            if not chunk:
                break
            data += chunk
    finally:
        os.close(read_end)
    if not data.strip().isdigit():
        stop(proc)
        raise RuntimeError(f"Xvfb did not start; see {log_path}")
    return int(data.strip()), proc


def stop(proc):
    if proc.poll() is None:
        os.killpg(proc.pid, signal.SIGTERM)
        try:
            proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()


def read_bmp(path):
    """(width, height, set of (r, g, b), share of pixels that are not black) of a 24- or 32-bit
    BMP file."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        raise AssertionError(f"{path} is not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    step = bits // 8
    row = (width * step + 3) // 4 * 4
    colours = set()
    lit = 0
    for y in range(abs(height)):
        start = offset + y * row
        for x in range(width):
            b, g, r = data[start + x * step:start + x * step + 3]
            colours.add((r, g, b))
            if r or g or b:
                lit += 1
    return width, abs(height), colours, lit / float(width * abs(height))


def bmp_pixels(path):
    """The rows of a 24-bit BMP file, top first, as bytes of R, G, B."""
    with open(path, "rb") as f:
        data = f.read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    row = (width * 3 + 3) // 4 * 4
    rows = []
    for y in range(abs(height)):
        at = offset + (abs(height) - 1 - y if height > 0 else y) * row
        bgr = data[at:at + width * 3]
        rgb = bytearray(len(bgr))
        rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
        rows.append(bytes(rgb))
    return rows


def png_pixels(path):
    """The rows of an 8-bit RGB PNG file without filters, as bytes of R, G, B."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    at, packed, width, height = 8, b"", 0, 0
    while at < len(data):
        length, kind = struct.unpack_from(">I4s", data, at)
        body = data[at + 8:at + 8 + length]
        crc = struct.unpack_from(">I", data, at + 8 + length)[0]
        assert zlib.crc32(kind + body) == crc, kind
        if kind == b"IHDR":
            width, height, bits, colour = struct.unpack_from(">IIBB", body)
            assert (bits, colour) == (8, 2)
        elif kind == b"IDAT":
            packed += body
        at += 12 + length
    raw = zlib.decompress(packed)
    stride = width * 3 + 1
    return [raw[y * stride + 1:(y + 1) * stride] for y in range(height)]


def beat_wav(path, seconds=4, rate=44100):
    """A stereo 16-bit WAV with a bass drum every half second."""
    frames = bytearray()
    for i in range(rate * seconds):
        t = (i % (rate // 2)) / rate
        v = int(0.8 * 32767 * math.exp(-t / 0.08) * math.sin(2 * math.pi * 60 * t))
        frames += struct.pack("<hh", v, v)
    write_wav(path, bytes(frames), rate)


def write_wav(path, frames, rate, claimed=None):
    claimed = len(frames) if claimed is None else claimed
    header = (b"RIFF" + struct.pack("<I", 36 + claimed) + b"WAVEfmt " +
              struct.pack("<IHHIIHH", 16, 1, 2, rate, rate * 4, 4, 16) + b"data" +
              struct.pack("<I", claimed))
    with open(path, "wb") as f:
        f.write(header + frames)


class Harness(unittest.TestCase):
    """A display, settings and data folders of the test's own, and quorbel's run."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="quorbel-test-")
        self.display, self.xvfb = start_xvfb(os.path.join(self.dir, "xvfb.log"))
        self.env = dict(os.environ)
        for name in ("WAYLAND_DISPLAY", "SDL_VIDEODRIVER"):
            self.env.pop(name, None)
        self.env.update({
            "DISPLAY": f":{self.display}",
            "HOME": self.dir,
            "XDG_CONFIG_HOME": os.path.join(self.dir, "config"),
            "XDG_DATA_HOME": os.path.join(self.dir, "data"),
            "XDG_RUNTIME_DIR": self.dir,
            "SDL_AUDIODRIVER": "dummy",
            "PULSE_SERVER": "unix:" + os.path.join(self.dir, "no_pulse_server"),
            "DBUS_SESSION_BUS_ADDRESS": "unix:path=" + os.path.join(self.dir, "no_bus"),
        })
        self.conf = os.path.join(self.dir, "config", "quorbel", "quorbel.conf")
        self.log = os.path.join(self.dir, "events.log")

    def tearDown(self):
        stop(self.xvfb)
        shutil.rmtree(self.dir, ignore_errors=True)

    def quorbel_env(self, env=None):
        env = dict(env or self.env)
        preload = os.environ.get("QUORBEL_TEST_PRELOAD")
        if preload:
            env["LD_PRELOAD"] = preload
        for runtime in ("LSAN", "TSAN"):
            suppressions = os.environ.get(f"QUORBEL_TEST_{runtime}_SUPPRESSIONS")
            if suppressions:
                options = env.get(f"{runtime}_OPTIONS", "")
                env[f"{runtime}_OPTIONS"] = ((options + ":" if options else "") +
                                             f"suppressions={suppressions}:print_suppressions=0")
        return env

    def run_quorbel(self, *args, env=None, log=True):
        command = [QUORBEL] + list(args)
        if log:
            command += ["--log", self.log]
        return subprocess.run(command, env=self.quorbel_env(env), capture_output=True,
                              text=True, timeout=300)

    def write_conf(self, text):
        os.makedirs(os.path.dirname(self.conf), exist_ok=True)
        with open(self.conf, "w") as f:
            f.write(text)

    def events(self):
        with open(self.log) as f:
            return [line.rstrip("\n") for line in f]

    def summary(self):
        lines = [line for line in self.events() if " summary " in line]
        self.assertEqual(len(lines), 1, self.events()[-5:])
        return dict(item.split("=", 1) for item in shlex.split(lines[0].split(" summary ")[1]))

    def assert_ran(self, result):
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("quorbel: frames=", result.stdout)



class Run(Harness):
    def test_demo_captures_frames_that_are_not_blank(self):
        first = os.path.join(self.dir, "first.bmp")
        last = os.path.join(self.dir, "last.bmp")
        result = self.run_quorbel("--demo", "--fast", "--seed", "7", "--frames", "240",
                                  "--capture", f"60:{first}", "--capture", f"240:{last}")
        self.assert_ran(result)
        for path in (first, last):
            width, height, colours, lit = read_bmp(path)
            self.assertEqual((width, height), (640, 480))
            self.assertGreater(len(colours), 16, path)
            self.assertGreater(lit, 0.02, path)
        summary = self.summary()
        self.assertEqual(summary["frames"], "240")
        self.assertEqual(summary["source"], "demo")
        self.assertEqual(summary["errors"], "0")
        # Four seconds of the demo track at 120 beats a minute.
        self.assertGreaterEqual(int(summary["beats"]), 7)
        self.assertLessEqual(int(summary["beats"]), 9)
        # The first start wrote the settings and the five tables, and filled the data folder.
        self.assertTrue(os.path.isfile(self.conf))
        tabs = os.path.join(self.dir, "data", "quorbel", "tabs")
        self.assertEqual(len([n for n in os.listdir(tabs) if n.endswith(".tab")]), 5)
        self.assertIn("writing the five built-in tables", result.stderr)
        maps = os.path.join(self.dir, "data", "quorbel", "maps")
        self.assertIn("VOLCANO.MAP", os.listdir(maps))

    def test_png_and_bmp_captures_hold_the_same_frame(self):
        bmp = os.path.join(self.dir, "frame.bmp")
        png = os.path.join(self.dir, "frame.PNG")
        self.assert_ran(self.run_quorbel("--demo", "--fast", "--frames", "90",
                                         "--capture", f"90:{bmp}", "--capture", f"90:{png}"))
        self.assertEqual(png_pixels(png), bmp_pixels(bmp))

    def test_the_frame_fills_the_window_by_whole_factors_with_its_aspect(self):
        # The 320x240 frame in a 1000x700 window: twice, 640x480, centred on black.
        self.write_conf("Resolution=6\n")
        frame = os.path.join(self.dir, "frame.bmp")
        window = os.path.join(self.dir, "window.bmp")
        self.assert_ran(self.run_quorbel("--demo", "--fast", "--frames", "60",
                                         "--window-size", "1000x700",
                                         "--capture", f"60:{frame}",
                                         "--capture-window", f"60:{window}"))
        small = bmp_pixels(frame)
        big = bmp_pixels(window)
        self.assertEqual((len(big[0]) // 3, len(big)), (1000, 700))
        self.assertEqual((len(small[0]) // 3, len(small)), (320, 240))
        black = bytes(3 * 1000)
        self.assertTrue(all(big[y] == black for y in list(range(110)) + list(range(590, 700))))
        for y in range(110, 590):
            row = big[y]
            self.assertEqual(row[:3 * 180], bytes(3 * 180), y)
            self.assertEqual(row[3 * 820:], bytes(3 * 180), y)
            source = small[(y - 110) // 2]
            doubled = bytes(b for x in range(320) for b in source[3 * x:3 * x + 3] * 2)
            self.assertEqual(row[3 * 180:3 * 820], doubled, y)

    def test_a_window_smaller_than_the_frame_shows_it_shrunk_with_its_aspect(self):
        # No whole factor fits the 640x480 frame into 400x400: it is shown 400x300, centred,
        # so what is lit in the frame is lit at 5/8 of its place, 50 rows down.
        self.write_conf("Resolution=4\n")
        frame = os.path.join(self.dir, "frame.bmp")
        window = os.path.join(self.dir, "window.bmp")
        self.assert_ran(self.run_quorbel("--demo", "--fast", "--seed", "7", "--frames", "60",
                                         "--window-size", "400x400",
                                         "--capture", f"60:{frame}",
                                         "--capture-window", f"60:{window}"))
        big = bmp_pixels(window)
        self.assertEqual((len(big[0]) // 3, len(big)), (400, 400))
        black = bytes(3 * 400)
        self.assertTrue(all(big[y] == black for y in list(range(50)) + list(range(350, 400))))

        def lit_extent(rows, width):
            lit = [(x, y) for y, row in enumerate(rows) for x in range(width)
                   if row[3 * x:3 * x + 3] != b"\0\0\0"]
            self.assertGreater(len(lit), 100, "hardly anything is lit")
            xs, ys = [x for x, _ in lit], [y for _, y in lit]
            return min(xs), max(xs), min(ys), max(ys)

        left, right, top, bottom = lit_extent(bmp_pixels(frame), 640)
        shown = lit_extent(big, 400)
        expected = (left * 5 / 8, right * 5 / 8, 50 + top * 5 / 8, 50 + bottom * 5 / 8)
        for got, want in zip(shown, expected):
            self.assertLessEqual(abs(got - want), 2, (shown, expected))

    def test_beats_drive_random_changes_and_silence_does_not(self):
        self.write_conf("Frequency_Random_Change=1\nShow_3D_song_intro=0\n")
        result = self.run_quorbel("--demo", "--fast", "--seed", "3", "--frames", "300")
        self.assert_ran(result)
        summary = self.summary()
        self.assertGreaterEqual(int(summary["random_changes"]), 8)
        silence = os.path.join(self.dir, "silence.wav")
        write_wav(silence, bytes(44100 * 4 * 2), 44100)
        result = self.run_quorbel("--play", silence, "--fast", "--seed", "3", "--frames", "300")
        self.assert_ran(result)
        summary = self.summary()
        self.assertEqual(summary["beats"], "0")
        self.assertEqual(summary["random_changes"], "0")

    def test_keys_drive_effects(self):
        # Random changes off, so that only the keys change the effect.
        self.write_conf("Random=0\nWave=2\nFlame=3\nDisplay_mode=0\nShow_3D_song_intro=0\n")
        result = self.run_quorbel("--demo", "--fast", "--frames", "100",
                                  "--key", "10:w", "--key", "20:shift+w", "--key", "30:F",
                                  "--key", "40:d", "--key", "50:i", "--key", "60:l",
                                  "--key", "70:q", "--key", "80:esc")
        self.assert_ran(result)
        keys = [line for line in self.events() if " key " in line]
        self.assertIn(" wave=3 ", keys[0])
        self.assertTrue(keys[0].startswith("frame 10 key w "), keys[0])
        self.assertIn(" wave=2 ", keys[1])
        self.assertIn(" flame=4 ", keys[2])
        self.assertIn(" display=1 ", keys[3])
        self.assertIn(" input=analyser ", keys[4])
        self.assertIn(" random=on", keys[5])
        self.assertEqual(keys[6], "frame 70 key q none")
        self.assertEqual(keys[7], "frame 80 key esc close")
        summary = self.summary()
        self.assertEqual(summary["frames"], "79")
        self.assertEqual(summary["keys"], "8")

    def test_favourite_added_with_ctrl_m_is_kept_and_recalled(self):
        self.write_conf("Random=0\nWave=5\nShow_3D_song_intro=0\n")
        self.assert_ran(self.run_quorbel("--demo", "--fast", "--frames", "20",
                                         "--key", "10:ctrl+m"))
        record = os.path.join(self.dir, "config", "quorbel", "Favorites", "Favorite_0")
        self.assertTrue(os.path.isfile(record))
        self.write_conf("Random=0\nWave=9\nShow_3D_song_intro=0\n")
        self.assert_ran(self.run_quorbel("--demo", "--fast", "--frames", "20",
                                         "--key", "10:m"))
        key = [line for line in self.events() if " key m " in line]
        self.assertEqual(len(key), 1, self.events())
        self.assertIn(" wave=5 ", key[0])

    def test_a_favourite_that_cannot_be_stored_is_said_and_counted(self):
        # A full disk under the record: /dev/full where the record is written first.
        self.write_conf("Random=0\nWave=5\nShow_3D_song_intro=0\n")
        folder = os.path.join(self.dir, "config", "quorbel", "Favorites")
        os.makedirs(folder)
        os.symlink("/dev/full", os.path.join(folder, "Favorite_0.new"))
        result = self.run_quorbel("--demo", "--fast", "--frames", "20", "--key", "10:ctrl+m")
        self.assert_ran(result)
        said = [line for line in result.stderr.splitlines() if "favourite" in line]
        self.assertEqual(len(said), 1, result.stderr)
        self.assertIn("No space left on device", said[0])
        self.assertNotIn("favorite added", "\n".join(self.events()))
        self.assertEqual(self.summary()["errors"], "1")
        self.assertEqual(os.listdir(folder), [])
        self.assertTrue(os.path.exists("/dev/full"))

    def test_full_screen_toggles_and_ctrl_s_takes_a_shot(self):
        shot = os.path.join(self.dir, "windowed.bmp")
        self.write_conf("Resolution=6\n")  # 320x240 windowed
        result = self.run_quorbel("--demo", "--fast", "--frames", "40", "--key", "10:f11",
                                  "--key", "20:alt+enter", "--key", "25:enter",
                                  "--key", "30:ctrl+s", "--capture", f"40:{shot}")
        self.assert_ran(result)
        self.assertEqual([line for line in self.events() if " full-screen" in line],
                         ["frame 10 key f11 full-screen", "frame 20 key alt+enter full-screen"])
        # Enter without Alt goes to the key table, which has no use for it.
        self.assertIn("frame 25 key enter none", self.events())
        # The frame keeps its size whatever the window's.
        self.assertEqual(read_bmp(shot)[:2], (320, 240))
        data = os.path.join(self.dir, "data", "quorbel")
        self.assertIn("shot_0.gif", os.listdir(data))

    def test_play_shows_a_file_with_its_beats_and_title(self):
        wav = os.path.join(self.dir, 'Some "Band" - A Song.wav')
        beat_wav(wav)
        shot = os.path.join(self.dir, "shot.bmp")
        result = self.run_quorbel("--play", wav, "--fast", "--frames", "200",
                                  "--capture", f"200:{shot}")
        self.assert_ran(result)
        self.assertIn('frame 0 title "Some \\"Band\\" - A Song"', self.events())
        summary = self.summary()
        self.assertEqual(summary["source"], wav)
        self.assertGreaterEqual(int(summary["beats"]), 6)
        self.assertGreater(read_bmp(shot)[3], 0.02)

    def test_settings_round_trip_and_save_on_exit(self):
        self.write_conf("Save_On_Exit=1\nRandom=0\nWave=4\nPalette=GOLD.MAP\n"
                        "Show_3D_song_intro=0\n")
        self.assert_ran(self.run_quorbel("--demo", "--fast", "--frames", "20",
                                         "--key", "10:w"))
        result = self.run_quorbel("--config", log=False)
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = result.stdout.splitlines()
        self.assertEqual(lines[0], self.conf)
        values = dict(line.split("=", 1) for line in lines[1:])
        self.assertEqual(values["Wave"], "5")
        self.assertEqual(values["Palette"], "GOLD.MAP")
        self.assertEqual(values["Save_On_Exit"], "1")
        self.assertEqual(values["Version"], "336")
        # --config lists every value of the record; the file holds the same values, in the
        # order the user wrote them, the missing ones after them.
        with open(self.conf) as f:
            saved = f.read().splitlines()
        self.assertEqual(saved[:5], ["Save_On_Exit=1", "Random=0", "Wave=5", "Palette=GOLD.MAP",
                                     "Show_3D_song_intro=0"])
        self.assertEqual(dict(line.split("=", 1) for line in saved), values)

    def test_corrupt_conf_lines_are_reported_and_the_defaults_used(self):
        self.write_conf("Wave=seven\nthis is no setting\nFlame=5\n")
        result = self.run_quorbel("--demo", "--fast", "--frames", "5")
        self.assert_ran(result)
        messages = [line for line in result.stderr.splitlines() if "quorbel.conf" in line]
        self.assertEqual(len(messages), 2, result.stderr)
        self.assertIn("line 1: Wave: not a whole number", messages[0])
        self.assertIn("line 2: not a Name=value line", messages[1])
        start = [line for line in self.events() if " start " in line][0]
        self.assertIn(" wave=2 ", start)  # the default
        self.assertIn(" flame=5 ", start)

    def test_a_file_that_is_not_sound_is_one_line_and_status_2(self):
        text = os.path.join(self.dir, "notes.txt")
        with open(text, "w") as f:
            f.write("not sound\n" * 100)
        cut = os.path.join(self.dir, "cut.wav")
        write_wav(cut, bytes(4000), 44100, claimed=400000)
        for path, reason in ((text, "cannot play it"), (cut, "cut short"),
                             (os.path.join(self.dir, "missing.wav"), "cannot play it")):
            result = self.run_quorbel("--play", path, log=False)
            self.assertEqual(result.returncode, 2, path)
            self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
            self.assertIn(reason, result.stderr)
            self.assertEqual(result.stdout, "")

    def test_no_display_is_one_line_and_status_2(self):
        env = dict(self.env)
        env.pop("DISPLAY")
        result = self.run_quorbel("--demo", "--frames", "5", env=env, log=False)
        self.assertEqual(result.returncode, 2)
        self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
        self.assertIn("no display", result.stderr)
        # A display number where no server runs.
        env["DISPLAY"] = ":%d" % (self.display + 1000)
        result = self.run_quorbel("--demo", "--frames", "5", env=env, log=False)
        self.assertEqual(result.returncode, 2)
        self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
        self.assertIn("no display", result.stderr)

    def test_bad_command_lines_and_help(self):
        for args in (["--frames", "0"], ["--key", "x:w"], ["--key", "5:nokey"],
                     ["--capture", "5"], ["--demo", "--play", "a.wav"], ["--what"]):
            result = self.run_quorbel(*args, log=False)
            self.assertEqual(result.returncode, 2, args)
            self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
        result = self.run_quorbel("--help", log=False)
        self.assertEqual(result.returncode, 0)
        for text in ("--play FILE", "Ctrl-M", "add to favorites", "Quorbel-4-Winamp v1.50"):
            self.assertIn(text, result.stdout)


def read_xwd(path):
    """(width, height, rows) of a 32-bit XWD file (Xvfb's -fbdir screen), rows top first as
    bytes of B, G, R, X."""
    with open(path, "rb") as f:
        data = f.read()
    fields = struct.unpack_from(">25I", data, 0)
    header, width, height, bits, line, colours = (fields[0], fields[4], fields[5], fields[11],
                                                  fields[12], fields[19])
    assert bits == 32, bits
    at = header + colours * 12
    return width, height, [data[at + y * line:at + y * line + width * 4] for y in range(height)]


class NewUser(Harness):
    """What a new user meets: the settings file they wrote, data folders that cannot be
    written, files that are no sound, captures, full screen without a window manager."""

    def conf_bytes(self):
        with open(self.conf, "rb") as f:
            return f.read()

    def start_line(self):
        return [line for line in self.events() if " start " in line][0]

    def test_a_start_never_rewrites_the_settings_file(self):
        text = ("# my settings\n"
                "Wave=5 # my favourite\n"
                "\n"
                "WaveScale=-7\n"
                "DataSource=9\n"
                "Palette=../../etc/passwd\n"
                "\x1b[31mColour=red\n"
                "Flame=9\t# warm\n")
        self.write_conf(text)
        before = self.conf_bytes()
        result = self.run_quorbel("--demo", "--fast", "--frames", "5")
        self.assert_ran(result)
        self.assertEqual(self.conf_bytes(), before)
        start = self.start_line()
        for value in (" wave=5 ", " flame=9 ", " scale=1 ", " input=scope ",
                      ' palette="VOLCANO.MAP" '):
            self.assertIn(value, start)
        said = [line for line in result.stderr.splitlines() if "quorbel.conf" in line]
        self.assertEqual(len(said), 4, result.stderr)
        self.assertIn("line 4: WaveScale: -7 is outside 0..3, the default 1 is used", said[0])
        self.assertIn("line 5: DataSource: 9 is outside 0..1, the default 0 is used", said[1])
        self.assertIn("line 6: Palette:", said[2])
        self.assertIn('the default "VOLCANO.MAP" is used', said[2])
        self.assertIn("\\x1B[31m", said[3])
        self.assertNotIn("\x1b", result.stderr)
        # A file that lacks values is left as it is too; nothing beside it either.
        self.write_conf("Resolution=6\n")
        self.assert_ran(self.run_quorbel("--demo", "--fast", "--frames", "5"))
        self.assertEqual(self.conf_bytes(), b"Resolution=6\n")
        self.assertEqual(os.listdir(os.path.dirname(self.conf)), ["quorbel.conf"])

    def test_save_on_exit_keeps_comments_unknown_lines_and_order(self):
        self.write_conf("# my settings\n"
                        "Save_On_Exit=1\n"
                        "Random=0\n"
                        "\n"
                        "Wave=4 # my favourite\n"
                        "Colour=blue\n"
                        "Show_3D_song_intro=0\n")
        self.assert_ran(self.run_quorbel("--demo", "--fast", "--frames", "20",
                                         "--key", "10:w"))
        with open(self.conf) as f:
            lines = f.read().splitlines()
        self.assertEqual(lines[:7], ["# my settings", "Save_On_Exit=1", "Random=0", "",
                                     "Wave=5 # my favourite", "Colour=blue",
                                     "Show_3D_song_intro=0"])
        values = dict(line.split("=", 1) for line in lines[7:])
        self.assertEqual(values["Version"], "336")
        self.assertEqual(values["Flame"], "3")
        self.assertNotIn("Wave", values)
        self.assertEqual(os.listdir(os.path.dirname(self.conf)), ["quorbel.conf"])

    def assert_data_fallback(self, result, folder):
        self.assert_ran(result)
        said = [line for line in result.stderr.splitlines() if "cannot write" in line]
        self.assertEqual(len(said), 1, result.stderr)
        self.assertIn(folder, said[0])
        self.assertIn("installed data", said[0])
        self.assertNotIn("done", result.stderr)
        # The installed palettes colour the picture, and the built-in tables are there.
        width, height, colours, lit = read_bmp(os.path.join(self.dir, "frame.bmp"))
        self.assertGreater(len(colours), 16)
        keys = [line for line in self.events() if " key t " in line]
        self.assertEqual(len(keys), 1, self.events())
        self.assertNotIn('translation=""', keys[0])

    def run_fallback(self, env=None, cwd=None):
        return subprocess.run(
            [QUORBEL, "--demo", "--fast", "--frames", "30", "--seed", "4", "--log", self.log,
             "--key", "10:t", "--capture", "30:" + os.path.join(self.dir, "frame.bmp")],
            env=self.quorbel_env(env), cwd=cwd, capture_output=True, text=True, timeout=300)

    def test_a_data_folder_that_cannot_be_written_falls_back_to_the_installed_data(self):
        # One that cannot be created (beneath a file), and one that exists and cannot be
        # written (a folder of the kernel's, which refuses new entries to root as well).
        blocker = os.path.join(self.dir, "a_file")
        with open(blocker, "w") as f:
            f.write("x")
        self.env["XDG_DATA_HOME"] = os.path.join(blocker, "data")
        self.assert_data_fallback(self.run_fallback(), blocker)
        data = os.path.join(self.dir, "readonly")
        os.makedirs(data)
        os.symlink("/sys/kernel", os.path.join(data, "quorbel"))
        self.env["XDG_DATA_HOME"] = data
        self.assert_data_fallback(self.run_fallback(), os.path.join(data, "quorbel"))

    def test_without_home_nothing_is_written_into_the_current_folder(self):
        if os.geteuid() != 0:
            self.skipTest("needs root to run as the user nobody, whose home does not exist "
                          "(another user's run would write into its real home)")
        work = os.path.join(self.dir, "work")
        os.makedirs(work)
        os.chmod(self.dir, 0o777)
        os.chmod(work, 0o777)
        env = self.quorbel_env()
        for name in ("HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"):
            env.pop(name)
        result = subprocess.run(
            [QUORBEL, "--demo", "--fast", "--frames", "30", "--key", "10:t", "--log", self.log,
             "--capture", "30:" + os.path.join(self.dir, "frame.bmp")],
            env=env, cwd=work, capture_output=True, text=True, timeout=300,
            preexec_fn=lambda: (os.setgid(65534), os.setuid(65534)))
        self.assertEqual(os.listdir(work), [])
        self.assertIn("/nonexistent", result.stderr)
        self.assert_data_fallback(result, "/nonexistent")

    def test_files_that_are_not_sound_say_what_is_wrong(self):
        self.assertTrue(WRITE_SOUND, "QUORBEL_WRITE_SOUND names the tests' sound writer")
        cases = []
        for name, args, reason in (("cut.ogg", ["20", "cut=60000"], "cut short"),
                                   ("cut.flac", ["20", "cut=100000"], "cut short"),
                                   ("whole.ogg", ["3"], None)):
            path = os.path.join(self.dir, name)
            subprocess.run([WRITE_SOUND, path] + args, check=True, timeout=120)
            cases.append((path, reason))
        text = os.path.join(self.dir, "notes.txt")
        with open(text, "w") as f:
            f.write("not sound\n" * 100)
        cases += [(self.dir, "a folder"), (text, "not a sound file"),
                  (os.path.join(self.dir, "missing.flac"), "no such file")]
        for path, reason in cases:
            result = self.run_quorbel("--play", path, "--fast", "--frames", "5", log=False)
            if reason is None:
                self.assert_ran(result)
                continue
            self.assertEqual(result.returncode, 2, path)
            self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
            self.assertIn(reason, result.stderr)
            for jargon in ("decoder", "sync", "recognised", "longer than"):
                self.assertNotIn(jargon, result.stderr)

    def peak_resident_mb(self, *args):
        """Runs quorbel and returns the most memory it held resident, in MB."""
        proc = subprocess.Popen([QUORBEL] + list(args), env=self.quorbel_env(),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(proc.pid, 0)
        proc.returncode = os.waitstatus_to_exitcode(status)
        self.assertEqual(proc.returncode, 0, args)
        return usage.ru_maxrss / 1024

    def test_a_long_file_is_read_as_it_plays(self):
        # Twenty minutes decode to 212 MB of samples; streamed, the file costs hardly more than
        # the demo track does.
        self.assertTrue(WRITE_SOUND, "QUORBEL_WRITE_SOUND names the tests' sound writer")
        path = os.path.join(self.dir, "long.flac")
        subprocess.run([WRITE_SOUND, path, "1200", "silent"], check=True, timeout=240)
        demo = self.peak_resident_mb("--demo", "--fast", "--frames", "30")
        played = self.peak_resident_mb("--play", path, "--fast", "--frames", "30")
        self.assertLess(played, demo + 64, "%.0f MB playing the file, %.0f MB the demo"
                        % (played, demo))

    def test_captures_that_cannot_be_written_are_errors(self):
        # Refused at the start: a folder that does not exist, a frame past the end.
        for capture in ("5:" + os.path.join(self.dir, "missing", "f.bmp"),
                        "50:" + os.path.join(self.dir, "f.bmp")):
            result = self.run_quorbel("--demo", "--fast", "--frames", "10", "--capture", capture,
                                      log=False)
            self.assertEqual(result.returncode, 2, result.stderr)
            self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
            self.assertEqual(result.stdout, "")
        # One that fails when it is due (a folder stands where the file should go): said,
        # counted, and the status says so.
        folder = os.path.join(self.dir, "in_the_way.bmp")
        os.makedirs(folder)
        result = self.run_quorbel("--demo", "--fast", "--frames", "10", "--capture",
                                  "5:" + folder)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("cannot save the frame to " + folder, result.stderr)
        self.assertEqual(self.summary()["errors"], "1")

    def test_full_screen_without_a_window_manager_fills_the_screen(self):
        # A display of its own whose screen the test reads (Xvfb -fbdir), white where no
        # window covers it; no window manager runs on it.
        stop(self.xvfb)
        screen_dir = os.path.join(self.dir, "screen")
        os.makedirs(screen_dir)
        self.display, self.xvfb = start_xvfb(os.path.join(self.dir, "xvfb2.log"),
                                             extra=["-fbdir", screen_dir, "-wr"])
        self.env["DISPLAY"] = f":{self.display}"
        # The information line marks the frame's top left corner.
        self.write_conf("Show_Quorbel_Info=1\n")
        proc = subprocess.Popen([QUORBEL, "--demo", "--fast", "--fps", "30", "--log", self.log,
                                 "--capture", "60:" + os.path.join(self.dir, "f.bmp")],
                                env=self.quorbel_env(), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        try:
            for _ in range(1200):  # a safety net only: it ends once the capture is logged
                if os.path.exists(self.log) and any(" capture " in line for line in self.events()):
                    break
                select.select([], [], [], 0.1)
            else:
                self.fail("no capture logged")
            width, height, rows = read_xwd(os.path.join(screen_dir, "Xvfb_screen0"))
        finally:
            proc.terminate()
            proc.wait(timeout=60)
        self.assertEqual((width, height), (1024, 768))
        # White outside the frame's place is the screen itself (the information line inside
        # it is white too).
        white = sum(1 for y, row in enumerate(rows) for x in range(0, width * 4, 4)
                    if row[x:x + 3] == b"\xff\xff\xff"
                    and not (192 <= x // 4 < 832 and 144 <= y < 624))
        self.assertEqual(white, 0, "the window does not cover the screen")
        lit = [(x // 4, y) for y, row in enumerate(rows) for x in range(0, width * 4, 4)
               if row[x:x + 3] != b"\0\0\0"]
        xs, ys = [x for x, _ in lit], [y for _, y in lit]
        # The 640x480 frame once, centred: from (192, 144) to (831, 623).
        self.assertLessEqual(abs(min(xs) - 192), 4, (min(xs), min(ys)))
        self.assertLessEqual(abs(min(ys) - 144), 4, (min(xs), min(ys)))
        self.assertLessEqual(max(xs), 831)
        self.assertLessEqual(max(ys), 623)

    def test_help_is_the_programs_own(self):
        result = self.run_quorbel("--help", log=False)
        self.assertEqual(result.returncode, 0)
        self.assertNotIn("Winamp 2.0", result.stdout)
        self.assertNotIn("plug-in", result.stdout)
        self.assertIn("quorbel", result.stdout.splitlines()[0])


class PulseHarness(Harness):
    """A private PulseAudio server with a null sink as the default output, fed by paplay."""

    def setUp(self):
        super().setUp()
        self.pulse_dir = os.path.join(self.dir, "pulse")
        os.makedirs(self.pulse_dir)
        self.socket = os.path.join(self.pulse_dir, "native")
        script = os.path.join(self.pulse_dir, "default.pa")
        with open(script, "w") as f:
            f.write(f"load-module module-native-protocol-unix socket={self.socket} "
                    "auth-anonymous=1\n"
                    "load-module module-null-sink sink_name=quorbel_test\n"
                    "set-default-sink quorbel_test\n")
        self.env.update({
            "PULSE_SERVER": f"unix:{self.socket}",
            "PULSE_RUNTIME_PATH": os.path.join(self.pulse_dir, "run"),
            "PULSE_STATE_PATH": os.path.join(self.pulse_dir, "state"),
        })
        self.start_pulse(script)
        self.players = []

    def start_pulse(self, script):
        """Starts the server; --daemonize returns once it accepts clients."""
        started = subprocess.run(
            ["pulseaudio", "--daemonize=yes", "-n", "-F", script, "--exit-idle-time=-1",
             "--disable-shm=true", "--use-pid-file=true", "--system=false",
             f"--log-target=file:{os.path.join(self.pulse_dir, 'pulse.log')}"],
            env=self.env, capture_output=True, text=True, timeout=60)
        self.assertEqual(started.returncode, 0, started.stderr)
        with open(os.path.join(self.pulse_dir, "run", "pid")) as f:
            self.pulse_pid = int(f.read().split()[0])

    def stop_pulse(self):
        """Ends the server and waits until it has gone."""
        os.kill(self.pulse_pid, signal.SIGTERM)
        for _ in range(600):  # a safety net only: the loop ends when the process has gone
            try:
                os.kill(self.pulse_pid, 0)
            except ProcessLookupError:
                return
            select.select([], [], [], 0.1)
        self.fail("the PulseAudio server did not end")

    def tearDown(self):
        for player in self.players:
            player.kill()
            player.wait()
        try:
            os.kill(self.pulse_pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        super().tearDown()

    def pactl(self, *args):
        done = subprocess.run(["pactl"] + list(args), env=self.env, capture_output=True,
                              text=True, timeout=60)
        self.assertEqual(done.returncode, 0, done.stderr)
        return done.stdout.strip()

    def start_live(self, *args):
        """quorbel running on, its event lines on its error output beside its messages."""
        return LiveRun(self, subprocess.Popen(
            [QUORBEL] + list(args) + ["--log", "/dev/stderr"], env=self.quorbel_env(),
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True))

    def play(self, seconds=30):
        wav = os.path.join(self.dir, "beats.wav")
        beat_wav(wav, seconds=seconds)
        self.players.append(subprocess.Popen(["paplay", wav], env=self.env,
                                             stdout=subprocess.DEVNULL,
                                             stderr=subprocess.DEVNULL))


class LiveRun:
    """A quorbel of a test that runs until the test ends it. The test waits for what quorbel
    says (its messages and event lines, both on its error output), never for a time."""

    def __init__(self, test, proc):
        self.test, self.proc, self.lines = test, proc, []

    def wait_for(self, text, nth=1):
        """The nth line that holds text, reading on as needed."""
        found = [line for line in self.lines if text in line]
        if len(found) >= nth:
            return found[nth - 1]
        deadline = 120  # a safety net only: each read returns as soon as a line comes
        while deadline > 0:
            ready, _, _ = select.select([self.proc.stderr], [], [], 5)
            deadline -= 5
            if not ready:
                continue
            line = self.proc.stderr.readline()
            if not line:
                break
            self.lines.append(line.rstrip("\n"))
            if text in line:
                found.append(line)
                if len(found) >= nth:
                    return line
        self.kill()
        self.test.fail(f"quorbel never said {text!r}; it said {self.lines[-30:]}")

    def close(self, bound=60):
        """Ends it as closing its window does (SDL turns the signal into a quit); returns its
        exit status, or None when it had not ended within bound seconds."""
        self.proc.send_signal(signal.SIGTERM)
        try:
            out, err = self.proc.communicate(timeout=bound)
        except subprocess.TimeoutExpired:
            return None
        self.out = out
        self.lines += err.splitlines()
        return self.proc.returncode

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.communicate()

    def said(self, text):
        return [line for line in self.lines if line.startswith("quorbel: ") and text in line]

    def summary(self):
        lines = [line for line in self.lines if " summary " in line]
        self.test.assertEqual(len(lines), 1, self.lines[-5:])
        return dict(item.split("=", 1) for item in shlex.split(lines[0].split(" summary ")[1]))


class SystemSound(PulseHarness):
    """quorbel on system sound."""

    def test_system_sound_sees_the_beats_and_silence_none(self):
        self.write_conf("Frequency_Random_Change=1\nShow_3D_song_intro=0\n")
        # The null sink's monitor gives silence until something plays.
        result = self.run_quorbel("--fast", "--frames", "120", "--seed", "5")
        self.assert_ran(result)
        summary = self.summary()
        self.assertEqual(summary["source"], "system:@DEFAULT_MONITOR@")
        self.assertEqual(summary["beats"], "0")
        self.assertEqual(summary["random_changes"], "0")
        # 300 frames at 60 a second are five seconds of the captured sound, which wait for it:
        # two beats a second once paplay streams.
        self.play()
        shot = os.path.join(self.dir, "shot.bmp")
        result = self.run_quorbel("--fast", "--frames", "300", "--seed", "5",
                                  "--capture", f"300:{shot}")
        self.assert_ran(result)
        summary = self.summary()
        self.assertGreaterEqual(int(summary["beats"]), 3)
        self.assertGreaterEqual(int(summary["random_changes"]), 3)
        self.assertGreaterEqual(int(summary["audio_frames"]), 300 * 44100 // 60)
        # Live sound: which effect the beats chose is not fixed, and some draw a thin line on a
        # cleared frame (0.2 % lit): the frame is shown, not black.
        self.assertGreater(read_bmp(shot)[3], 0)

    def test_a_chosen_source_and_the_list_of_sources(self):
        result = self.run_quorbel("--list-sources", log=False)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("quorbel_test.monitor\t", result.stdout)
        self.play()
        result = self.run_quorbel("--source", "quorbel_test.monitor", "--fast", "--frames", "300")
        self.assert_ran(result)
        summary = self.summary()
        self.assertEqual(summary["source"], "system:quorbel_test.monitor")
        self.assertGreaterEqual(int(summary["beats"]), 3)

    def test_an_unknown_source_is_status_2_with_the_sources_listed(self):
        result = self.run_quorbel("--source", "does.not.exist", "--frames", "10", log=False)
        self.assertEqual(result.returncode, 2, result.stderr)
        self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
        self.assertIn("does.not.exist", result.stderr)
        self.assertIn("quorbel_test.monitor", result.stderr)
        self.assertEqual(result.stdout, "")

    def test_a_source_that_comes_and_goes_is_said_and_captured_while_it_is_there(self):
        sink = "quorbel_comes_and_goes"
        source = f"{sink}.monitor"
        self.assertTrue(self.pactl("load-module", "module-null-sink",
                                   f"sink_name={sink}").isdigit())
        run = self.start_live("--source", source)
        try:
            run.wait_for(f"sound source {source}: capturing")
            # A server that ends takes the source with it; it comes back without the source,
            # which comes later.
            self.stop_pulse()
            gone = run.wait_for(f"message sound source {source} went away")
            self.assertIn("trying again", gone)
            self.start_pulse(os.path.join(self.pulse_dir, "default.pa"))
            self.pactl("load-module", "module-null-sink", f"sink_name={sink}")
            back = run.wait_for(f"message sound source {source}: capturing",
                                len(run.said(f"sound source {source}: capturing")) + 1)
            status = run.close()
        finally:
            run.kill()
        self.assertEqual(status, 0, run.lines[-20:])
        self.assertIn("quorbel: frames=", run.out)
        # The frames went on while it was away.
        self.assertGreater(int(back.split()[1]), int(gone.split()[1]), run.lines)
        self.assertEqual(len(run.said("trying again")), 1, run.lines)
        summary = run.summary()
        self.assertEqual(summary["source"], f"system:{source}")
        self.assertEqual(summary["errors"], "0")

    def test_a_stopped_server_is_said_once_and_closing_still_ends_the_program(self):
        run = self.start_live()
        stopped = False
        try:
            run.wait_for("sound source @DEFAULT_MONITOR@: capturing")
            os.kill(self.pulse_pid, signal.SIGSTOP)
            stopped = True
            run.wait_for("no sound from @DEFAULT_MONITOR@")
            # Captured again when the server goes on, and said again when it stops again.
            os.kill(self.pulse_pid, signal.SIGCONT)
            stopped = False
            run.wait_for("message sound source @DEFAULT_MONITOR@: capturing")
            os.kill(self.pulse_pid, signal.SIGSTOP)
            stopped = True
            run.wait_for("quorbel: no sound from @DEFAULT_MONITOR@", 2)
            # Closed while the server is stopped: it ends without the server. The bound is a
            # safety net only; a program that waits for the server never ends while it is
            # stopped.
            status = run.close()
        finally:
            if stopped:
                os.kill(self.pulse_pid, signal.SIGCONT)
            run.kill()
        self.assertEqual(status, 0, run.lines[-20:])
        self.assertIn("window closed", "\n".join(run.lines))
        self.assertEqual(len(run.said("no sound from")), 2, run.lines)
        self.assertEqual(run.summary()["errors"], "0")

    def test_a_suspended_source_keeps_the_frame_rate_on_silence(self):
        # The source sends nothing from the start: the frames go on the silence's clock, one
        # frame's share of sound each, and it is said once.
        self.pactl("suspend-sink", "quorbel_test", "1")
        result = self.run_quorbel("--fast", "--frames", "300")
        self.assert_ran(result)
        said = [line for line in result.stderr.splitlines() if "no sound from" in line]
        self.assertEqual(len(said), 1, result.stderr)
        summary = self.summary()
        self.assertEqual(summary["frames"], "300")
        self.assertGreaterEqual(int(summary["audio_frames"]), 299 * 44100 // 60)

    def test_no_sound_server_falls_back_to_the_demo_track(self):
        env = dict(self.env)
        env["PULSE_SERVER"] = "unix:" + os.path.join(self.dir, "no_server_here")
        result = self.run_quorbel("--fast", "--frames", "60", env=env)
        self.assert_ran(result)
        self.assertIn("no sound server", result.stderr)
        self.assertIn("showing the demo track", result.stderr)
        self.assertEqual(self.summary()["source"], "demo")
        result = self.run_quorbel("--source", "x", "--frames", "5", env=env, log=False)
        self.assertEqual(result.returncode, 2)
        self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)


class SongTitles(PulseHarness):
    """The song title of system sound from a media player on a private session bus."""

    def setUp(self):
        super().setUp()
        bus = os.path.join(self.dir, "bus")
        self.bus = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--print-address=1",
             f"--address=unix:path={bus}"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, start_new_session=True)
        # It prints its address once it accepts connections.
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self.bus.stdout.readline().strip()
        self.assertTrue(self.env["DBUS_SESSION_BUS_ADDRESS"].startswith("unix:"))
        self.fake = None
        self.hung = None

    def tearDown(self):
        if self.fake:
            self.fake.kill()
            self.fake.wait()
            self.fake.stdout.close()
        if self.hung:
            self.hung.stdin.close()
            self.hung.kill()
            self.hung.wait()
            self.hung.stdout.close()
        stop(self.bus)
        self.bus.stdout.close()
        super().tearDown()

    def start_player(self):
        self.assertTrue(FAKE_MPRIS, "QUORBEL_FAKE_MPRIS names the test's media player")
        self.fake = subprocess.Popen(
            [FAKE_MPRIS, "quorbeltest", "Some Artist - First Song", "Other Band - Second Song"],
            env=self.env, stdout=subprocess.PIPE, text=True)
        self.assertEqual(self.fake.stdout.readline().strip(), "ready")

    def test_titles_of_the_playing_player_follow_the_song(self):
        self.start_player()
        self.play()
        result = self.run_quorbel("--fast", "--frames", "150")
        self.assert_ran(result)
        titles = [line for line in self.events() if " title " in line]
        self.assertEqual(titles[0], 'frame 0 title "Some Artist - First Song"')
        # Asked again after the first second of sound (60 frames at 60 a second); the answer
        # comes a frame or more later, from the thread that asks.
        self.assertEqual(len(titles), 2, titles)
        self.assertRegex(titles[1], r'^frame \d+ title "Other Band - Second Song"$')
        # Frames that came late are dropped, so a second of sound may be fewer frames.
        late = int(self.summary()["late_frames"])
        self.assertGreaterEqual(int(titles[1].split()[1]), 60 - late, (titles, late))

    def test_a_player_that_never_answers_costs_the_frames_nothing(self):
        # The same 300 frames at 60 a second, paced by the sound, without and with a player that
        # owns its name and never answers: the frames that came too late to be shown are about
        # as many, and the player that answers still gives the title.
        self.start_player()
        self.play()
        self.assert_ran(self.run_quorbel("--fast", "--frames", "300"))
        plain = int(self.summary()["late_frames"])
        self.hung = subprocess.Popen([FAKE_MPRIS, "--hung", "quorbelhung"], env=self.env,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.assertEqual(self.hung.stdout.readline().strip(), "ready")
        self.assert_ran(self.run_quorbel("--fast", "--frames", "300"))
        summary = self.summary()
        self.assertEqual(summary["frames"], "300")
        hung = int(summary["late_frames"])
        # A player asked on the frames' own time costs a quarter of a second a question (15
        # frames), once every second of sound.
        self.assertLessEqual(hung, 2 * plain + 10, (plain, hung))
        titles = [line for line in self.events() if " title " in line]
        self.assertTrue(any("Other Band - Second Song" in line for line in titles), titles)

    def test_no_player_and_no_bus_give_no_title(self):
        result = self.run_quorbel("--fast", "--frames", "10")
        self.assert_ran(result)
        self.assertIn('frame 0 title ""', self.events())
        self.env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + os.path.join(self.dir, "none")
        result = self.run_quorbel("--fast", "--frames", "10")
        self.assert_ran(result)
        self.assertTrue(any("no session bus" in line for line in self.events()))


if __name__ == "__main__":
    QUORBEL = sys.argv.pop(1)
    FAKE_MPRIS = os.environ.get("QUORBEL_FAKE_MPRIS")
    WRITE_SOUND = os.environ.get("QUORBEL_WRITE_SOUND")
    unittest.main()
