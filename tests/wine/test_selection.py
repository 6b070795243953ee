"""Wine tests of the effect selection in the real plug-in: random changes driven by the beats of
the demo track, the translation keys, favourites (files gone, the lowest free number), and a
busy run with every key command that must end without a single caught fault.

The beat tests read the test build's frame trace (QUORBEL_TEST_TRACE): after each frame the
bass level of that frame and the live selection. The host's --fast mode plays 25 ms a frame, so
the demo track's 120 beats a minute come every 20 frames."""
import os
import random
import struct
import unittest

from test_plugin import PluginTest, QUIET, KEY, TABLES

FAVORITES = KEY + "\\Favorites"
FORBIDDENS = KEY + "\\Forbidens"
FRAMES_PER_BEAT = 20  # 500 ms at 25 ms a frame
THRESHOLD = 200


def favorite_record(wave, flame, palette, translation, display):
    return (struct.pack("<ii", wave, flame) + palette + b"\0" + translation + b"\0" +
            struct.pack("<i", display))


class SelectionTest(PluginTest):
    def stored_favorite(self, n):
        found = self.env.reg_query(FAVORITES, f"Favorite_{n}")
        return bytes.fromhex(found[1]) if found else None

    def add_favorite(self, n, record):
        self.env.reg_add(FAVORITES, f"Favorite_{n}", record.hex(), kind="REG_BINARY")


class BeatChanges(SelectionTest):
    """Random changes on beats, seen in the frame trace."""

    def traced_run(self, values, frames=240):
        # The "Objects" wave hands over to another wave by itself when no letter is loaded,
        # which would look like a change between beats: keep the random change away from it.
        self.env.reg_add(FORBIDDENS, "Forbiden_1",
                         struct.pack("<iii", 18, -1, -1).hex(), kind="REG_BINARY")
        self.settings(dict(QUIET, Beat_detection_sensitivity=THRESHOLD, **values))
        player = self.player()
        result = self.run_plugin(player, ["--frames", str(frames)],
                                 env={"QUORBEL_TEST_TRACE": "trace.txt"})
        self.assertCleanRun(result, frames=frames)
        with open(os.path.join(player, "trace.txt")) as f:
            trace = [dict(field.split("=") for field in line.split()) for line in f]
        self.assertEqual([int(t["frame"]) for t in trace], list(range(1, frames + 1)))
        levels = [int(t["level"]) for t in trace]
        selections = [tuple(int(t[k]) for k in ("wave", "flame", "display", "palette",
                                                 "translation")) for t in trace]
        # A beat: the level rises above the threshold (the level before the first frame is 0).
        beats = [i + 1 for i, level in enumerate(levels)
                 if level > THRESHOLD and (i == 0 or levels[i - 1] <= THRESHOLD)]
        changes = [i + 1 for i in range(1, frames) if selections[i] != selections[i - 1]]
        self.assertNotIn(18, [s[0] for s in selections[1:]], "a forbidden wave was chosen")
        return beats, changes

    def assertDemoBeats(self, beats, frames):
        # Two beats a second, one every 20 frames give or take the analysis window.
        expected = frames // FRAMES_PER_BEAT
        self.assertTrue(expected - 1 <= len(beats) <= expected + 1, beats)
        gaps = [b - a for a, b in zip(beats, beats[1:])]
        self.assertTrue(all(abs(g - FRAMES_PER_BEAT) <= 3 for g in gaps), beats)

    def test_with_frequency_1_every_beat_changes_the_effect(self):
        beats, changes = self.traced_run({"Random": 1, "Frequency_Random_Change": 1})
        self.assertDemoBeats(beats, 240)
        # Changes happen on beats only, and on every beat (a change that draws the very same
        # wave, flame, display and palette again cannot be seen; allow one).
        self.assertTrue(set(changes) <= set(beats), (beats, changes))
        seen = [b for b in beats if b > 1]
        self.assertGreaterEqual(len(changes), len(seen) - 1, (beats, changes))

    def test_with_frequency_2_every_second_beat_changes_it(self):
        beats, changes = self.traced_run({"Random": 1, "Frequency_Random_Change": 2})
        self.assertDemoBeats(beats, 240)
        second = beats[1::2]
        self.assertTrue(set(changes) <= set(second), (beats, changes))
        self.assertGreaterEqual(len(changes), len(second) - 1, (beats, changes))

    def test_locked_random_changes_nothing_on_beats(self):
        beats, changes = self.traced_run({"Random": 0, "Frequency_Random_Change": 1},
                                         frames=120)
        self.assertDemoBeats(beats, 120)
        self.assertEqual(changes, [])


class TranslationKeys(SelectionTest):
    def run_keys(self, player, *keys):
        args = ["--frames", str(len(keys) + 4)]
        for frame, key in enumerate(keys, start=2):
            args += ["--key", f"{frame}:{key}"]
        self.assertCleanRun(self.run_plugin(player, args))
        return self.value("Transformation"), self.value("Flame")

    def test_t_and_shift_t_step_through_the_tables_and_none(self):
        # Each run starts from the table that the previous one stored.
        self.settings(dict(QUIET, Save_On_Exit=1, Transformation="", Flame=5))
        player = self.player_with_tables()
        forward = []
        for _ in range(6):
            name, flame = self.run_keys(player, "t")
            forward.append(name)
            if name:
                self.assertEqual(flame, 0, "a translation clears the flame")
        self.assertEqual(sorted(forward[:5]), sorted(TABLES), forward)
        self.assertEqual(forward[5], "", "past the last table comes none")
        # Backward from none: the last table, then the one before it.
        self.assertEqual(self.run_keys(player, "shift+t")[0], forward[4])
        self.assertEqual(self.run_keys(player, "shift+t")[0], forward[3])
        # Forward and back again in one run, and a flame key switches the table off.
        self.assertEqual(self.run_keys(player, "t", "shift+t")[0], forward[3])
        self.assertEqual(self.run_keys(player, "f"), ("", 1))


class Favourites(SelectionTest):
    def first_palette(self, player):
        """The palette listed first: the one current when "Palette" names no file."""
        self.settings(dict(QUIET, Save_On_Exit=1, Palette="NONE.MAP"))
        self.assertCleanRun(self.run_plugin(player, ["--frames", "2"]))
        first = self.value("Palette")
        self.assertTrue(first and first.upper().endswith(".MAP"), first)
        return first

    def test_a_favourite_whose_files_are_gone_keeps_the_first_palette_and_no_translation(self):
        player = self.player_with_tables()
        first = self.first_palette(player)
        start = "AMBER.MAP" if first != "AMBER.MAP" else "VOLCANO.MAP"
        self.settings(dict(QUIET, Save_On_Exit=1, Palette=start, Transformation="rotate.tab"))
        self.add_favorite(0, favorite_record(5, 3, b"GONE.MAP", b"gone.tab", 1))
        result = self.run_plugin(player, ["--frames", "8", "--key", "2:m"])
        self.assertCleanRun(result, frames=8)
        self.assertEqual(self.value("Palette"), first)
        self.assertEqual(self.value("Transformation"), "")
        self.assertEqual((self.value("Wave"), self.value("Flame")), (5, 3))

    def import_values(self, key, values):
        """Writes many binary values at once through a .reg file."""
        lines = ["REGEDIT4", "", "[" + key.replace("HKLM", "HKEY_LOCAL_MACHINE") + "]"]
        for name, data in values:
            lines.append(f'"{name}"=hex:' + ",".join(f"{b:02x}" for b in data))
        path = os.path.join(self.work, "values.reg")
        with open(path, "w") as f:
            f.write("\r\n".join(lines) + "\r\n")
        self.env._reg(["import", path])

    def test_a_hand_written_key_with_more_than_the_tables_hold_loads_safely(self):
        valid = favorite_record(9, 4, b"VOLCANO.MAP", b"", 0)
        favourites = [("A" * 300, favorite_record(11, 4, b"VOLCANO.MAP", b"", 0))]
        for n in range(210):
            # Every third record runs on far past the record buffer.
            favourites.append((f"Favorite_{n}", valid + b"\xff" * 600 if n % 3 == 0 else valid))
        favourites.append(("Favorite_300", struct.pack("<ii", 1, 1) + b"x" * 600))
        self.import_values(FAVORITES, favourites)
        self.import_values(FORBIDDENS, [(f"Forbiden_{n}", struct.pack("<iii", -1, -1, -1))
                                        for n in range(1, 111)])
        self.settings(dict(QUIET, Save_On_Exit=1, Wave=2, Errors_Warning=1,
                           Log_Errors_To_File=1))
        result = self.run_plugin(self.player(), [
            "--frames", "30", "--key", "2:shift+m", "--key", "3:ctrl+m",
            "--dialog-optional", "Quorbel-4-Winamp Errors", "OK"])
        self.assertCleanRun(result, frames=30)
        self.assertEqual(result.host("dialog"), [], "faults were intercepted")
        with open(self.log, "rb") as f:
            self.assertNotIn(b"Exception", f.read())
        # Shift-M applied a favourite, whichever the registry lists last.
        self.assertIn(self.value("Wave"), (9, 11))
        self.assertEqual(self.value("Flame"), 4)
        self.assertIsNone(self.stored_favorite(210), "numbers 0..199 are all used")

    def test_ctrl_m_fills_the_gap_of_a_deleted_favourite_with_a_whole_record(self):
        player = self.player_with_tables()
        for n, wave in ((0, 1), (1, 2), (2, 3)):
            self.add_favorite(n, favorite_record(wave, 4, b"VOLCANO.MAP", b"", 0))
        self.env._reg(["delete", FAVORITES, "/v", "Favorite_1", "/f"])
        kept = {n: self.stored_favorite(n) for n in (0, 2)}
        self.settings(dict(QUIET, Wave=7, Display_mode=2, Palette="AMBER.MAP",
                           Transformation="space.tab"))
        result = self.run_plugin(player, ["--frames", "5", "--key", "2:ctrl+m"])
        self.assertCleanRun(result, frames=5)
        record = self.stored_favorite(1)
        self.assertEqual(len(record), 14 + len("AMBER.MAP") + len("space.tab"), record)
        # The translation on start set the flame to "Clear".
        self.assertEqual(record, favorite_record(7, 0, b"AMBER.MAP", b"space.tab", 2))
        self.assertEqual({n: self.stored_favorite(n) for n in (0, 2)}, kept)
        self.assertIsNone(self.stored_favorite(3))

        # The next start loads all three: stepping with M reaches each once, then wraps.
        self.settings({"Save_On_Exit": 1})
        waves = []
        for presses in (1, 2, 3, 4):
            self.settings({"Wave": 0})
            keys = []
            for frame in range(2, 2 + presses):
                keys += ["--key", f"{frame}:m"]
            self.assertCleanRun(self.run_plugin(player, ["--frames", "8"] + keys))
            waves.append(self.value("Wave"))
        self.assertEqual(sorted(waves[:3]), [1, 3, 7], waves)
        self.assertEqual(waves[3], waves[0], waves)



class Soak(SelectionTest):
    # Every key command, title and position changes, random changes on every beat, pictures on
    # every beat with their own palette, tables and a forbidden display, for a minute of the
    # demo track: the run ends cleanly and no fault is caught anywhere.
    KEYS = ["w", "shift+w", "f", "shift+f", "t", "shift+t", "p", "shift+p", "d", "shift+d",
            "h", "i", "l", "space", "ctrl+m", "m", "shift+m", "ctrl+s"]

    def test_every_key_on_a_busy_run_never_faults(self):
        self.settings(dict(QUIET, Random=1, Frequency_Random_Change=1, Show_ID3=1,
                           Frequency_Id3_Change=1, Show_3D_song_intro=1, Frequency_Pic_Show=1,
                           Set_Pic_Palette=1, Show_Quorbel_Info=1, Errors_Warning=1,
                           Log_Errors_To_File=1))
        self.env.reg_add(FORBIDDENS, "Forbiden_1", struct.pack("<iii", -1, -1, 1).hex(),
                         kind="REG_BINARY")
        rng = random.Random(1234)
        # A minute of music in the suite; scripts/wine_soak.sh runs it far longer.
        frames = int(os.environ.get("QUORBEL_WINE_SOAK_FRAMES", "2400"))
        args = ["--frames", str(frames),
                "--dialog-optional", "Quorbel-4-Winamp Errors", "OK"]
        keys = 0
        for frame in range(5, frames, 7):
            args += ["--key", f"{frame}:{rng.choice(self.KEYS)}"]
            keys += 1
        # Every 2,400 frames: three titles, an empty one and three song starts.
        for start in range(0, frames, 2400):
            for frame, title in ((400, "2. Someone - Another song - Winamp"),
                                 (900, "3. " + "x" * 300), (1500, "4. - - . . - Winamp"),
                                 (2000, "")):
                if start + frame < frames:
                    args += ["--set-title", f"{start + frame}:{title}"]
            for frame in (600, 1200, 1800):
                if start + frame < frames:
                    args += ["--set-position", f"{start + frame}:0"]  # the intro runs again
        # The script goes in an argument file: a long soak's is longer than a command line.
        player = self.player_with_tables()
        with open(os.path.join(player, "soak_args.txt"), "w", newline="\r\n") as f:
            f.write("\n".join(args) + "\n")
        # The timeout is a safety net only: 40 frames a second, and time to start and end.
        result = self.run_plugin(player, ["@soak_args.txt"], timeout=120 + frames // 20)
        self.assertCleanRun(result, frames=frames)
        self.assertEqual(result.host("dialog"), [], result.output)
        text = ""
        if os.path.exists(self.log):
            with open(self.log, "rb") as f:
                text = f.read().decode(errors="replace")
            self.assertNotIn("Exception", text)
        print(f"soak: {frames} frames, {keys} keys, {len(result.host('title'))} title changes, "
              f"error log: {len(text.splitlines())} lines, no fault caught")


if __name__ == "__main__":
    unittest.main()
