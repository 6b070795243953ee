"""Wine tests of pictures, screen shots, the song text and the 3-D song intro in the real
plug-in (vis_quorbel_test.dll) inside our host, on the 16-bit display in a 640 x 480 window.

The demo track has a bass drum on every beat, 120 a minute; in --fast mode at 40 frames a
second the plug-in sees a beat at frame 2 and every 20 frames after it (22, 42, ...). The
player folders get a palette of our own, TEST.MAP, and pictures written here, so that every
colour on the screen can be told apart."""
import os
import shutil
import unittest

from gif_files import read_gif, write_gif
from harness import read_bmp
from test_plugin import QUIET, PluginTest

# Palette file colours: every index but 255 has components below 200; 255 is white.
MAP = [(i * 7 % 200, i % 200, (255 - i) % 200) for i in range(255)] + [(255, 255, 255)]
# The pictures' own colours.
PICTURE_COLOURS = [((i * 37) % 256, (i * 91) % 256, (i * 13) % 256) for i in range(256)]
PICTURES = ["p0.gif", "p1.gif", "p2.gif"]
SIXTEEN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data",
                       "sixteen_colours.gif")


def quadrant_indices(k):
    """Colour indices of picture k: top-left, top-right, bottom-left, bottom-right."""
    return [10 + 40 * k + 10 * q for q in range(4)]


def quadrant_picture(k, width=320, height=240):
    indices = quadrant_indices(k)
    pixels = bytearray(width * height)
    for y in range(height):
        row = indices[2 * (y >= height // 2):2 * (y >= height // 2) + 2]
        half = width // 2
        pixels[y * width:(y + 1) * width] = bytes([row[0]]) * half + bytes([row[1]]) * half
    return bytes(pixels)


def close(a, b, tolerance=10):
    """The 16-bit display keeps 5 or 6 bits of each component."""
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def quadrant_points(q, step=16):
    """Sample points inside quadrant q of the 640 x 480 frame, away from its edges."""
    x0, y0 = (q % 2) * 320, (q // 2) * 240
    return [(x, y) for y in range(y0 + 20, y0 + 220, step) for x in range(x0 + 20, x0 + 300, step)]


class PictureTest(PluginTest):
    def picture_player(self, pictures=PICTURES, extra=()):
        """A player folder with objs, TEST.MAP as the only palette and the quadrant pictures
        named (p0.gif, p1.gif, p2.gif) plus the files in extra copied into pics."""
        player = self.player(data=("objs",))
        os.makedirs(os.path.join(player, "maps"))
        with open(os.path.join(player, "maps", "TEST.MAP"), "w") as f:
            for r, g, b in MAP:
                f.write(f"{r} {g} {b}\n")
        pics = os.path.join(player, "pics")
        os.makedirs(pics)
        for name in pictures:
            k = PICTURES.index(name)
            write_gif(os.path.join(pics, name), 320, 240, quadrant_picture(k), PICTURE_COLOURS)
        for path in extra:
            shutil.copy(path, pics)
        return player

    def run_captures(self, settings, frames, captures, args=(), player=None, depth=16):
        values = dict(QUIET, Palette="TEST.MAP", Wave=0, WaveScale=3)
        values.update(settings)
        self.settings(values)
        player = player or self.picture_player()
        capture_args = []
        for frame in captures:
            capture_args += ["--capture", f"{frame}:frame{frame}.bmp"]
        result = self.run_plugin(player, ["--frames", str(frames)] + capture_args + list(args),
                                 depth=depth)
        self.assertCleanRun(result, frames=frames)
        shots = {}
        for frame in captures:
            width, height, rows = read_bmp(os.path.join(player, f"frame{frame}.bmp"))
            self.assertEqual((width, height), (640, 480))
            shots[frame] = rows
        return result, player, shots

    def share(self, rows, points, colour):
        return sum(1 for x, y in points if close(rows[y][x], colour)) / len(points)

    def shown_picture(self, rows, colours=PICTURE_COLOURS):
        """The picture k (0..2) whose four quadrants fill the frame in those colours, or None."""
        for k in range(3):
            if all(self.share(rows, quadrant_points(q), colours[index]) > 0.8
                   for q, index in enumerate(quadrant_indices(k))):
                return k
        return None

    def assertNoPicture(self, rows, background=MAP[0]):
        points = [p for q in range(4) for p in quadrant_points(q)]
        self.assertGreater(self.share(rows, points, background), 0.8,
                           "the frame is not the empty background")


class Pictures(PictureTest):
    def test_pictures_appear_on_beats_in_their_own_colours(self):
        # "Overwrite" keeps a laid picture in the frame until the next one, so the check does
        # not depend on when the loader thread finishes.
        _, _, shots = self.run_captures(
            {"Flame": 1, "Frequency_Pic_Show": 1, "Picture": "p1.gif", "Set_Pic_Palette": 1},
            frames=105, captures=(1, 20, 60, 100))
        self.assertNoPicture(shots[1])  # before the first beat
        self.assertEqual(self.shown_picture(shots[20]), 1)  # the "Picture" setting comes first
        for frame in (60, 100):
            self.assertIsNotNone(self.shown_picture(shots[frame]), f"frame {frame}")

    def test_a_picture_waits_for_its_number_of_beats(self):
        _, _, shots = self.run_captures(
            {"Flame": 1, "Frequency_Pic_Show": 2, "Picture": "p0.gif", "Set_Pic_Palette": 1},
            frames=40, captures=(20, 39))
        self.assertNoPicture(shots[20])  # one beat: not yet
        self.assertEqual(self.shown_picture(shots[39]), 0)

    def test_a_sixteen_colour_picture_is_never_shown(self):
        settings = {"Flame": 1, "Frequency_Pic_Show": 1, "Picture": "sixteen_colours.gif",
                    "Set_Pic_Palette": 1}
        # Alone it never shows, however many beats pass.
        player = self.picture_player(pictures=(), extra=(SIXTEEN,))
        _, _, shots = self.run_captures(settings, frames=70, captures=(30, 65), player=player)
        for frame in (30, 65):
            self.assertNoPicture(shots[frame])
        # Beside a 256-colour picture, only that one is shown.
        player = self.picture_player(pictures=("p2.gif",), extra=(SIXTEEN,))
        _, _, shots = self.run_captures(settings, frames=70, captures=(30, 65), player=player)
        for frame in (30, 65):
            self.assertEqual(self.shown_picture(shots[frame]), 2, f"frame {frame}")

    def test_load_all_lays_pictures_exactly_on_beats_in_the_palette_colours(self):
        # Everything is read while Init shows "Allocating and loading all pictures...", which
        # closes by itself (the host's dialog watcher reports it when it sees it; nothing may
        # press it). With "Clear" a picture is in exactly the frames of its beats; without
        # "Set_Pic_Palette" its indices show in the palette file's colours.
        result, _, shots = self.run_captures(
            {"Flame": 0, "Frequency_Pic_Show": 1, "Picture": "p2.gif", "Load_All_Pics": 1,
             "Set_Pic_Palette": 0},
            frames=25, captures=(1, 2, 3, 21, 22))
        # A dialog that has already closed when the watcher reads its caption reads as "".
        captions = {e["caption"] for e in result.host("dialog")}
        self.assertLessEqual(captions, {"Allocating and loading all pictures...", ""})
        self.assertEqual(result.host("dialog-press"), [])
        self.assertEqual(self.shown_picture(shots[2], MAP), 2)
        self.assertIsNotNone(self.shown_picture(shots[22], MAP))
        for frame in (1, 3, 21):
            self.assertNoPicture(shots[frame])


class ThirtyTwoBitDesktop(PictureTest):
    def test_windowed_shows_exactly_the_palette_file_colours(self):
        # A 24-bit Xvfb is a 32-bit desktop under Wine. Its pixels keep all eight bits of each
        # component, so every pixel of the window must be one of the palette file's colours,
        # and the picture laid on the beat shows its indices in them.
        _, _, shots = self.run_captures(
            {"Flame": 0, "Frequency_Pic_Show": 1, "Picture": "p2.gif", "Load_All_Pics": 1,
             "Set_Pic_Palette": 0},
            frames=25, captures=(2, 22), depth=24,
            player=self.picture_player(pictures=("p2.gif",)))
        colours = set(MAP)
        for frame in (2, 22):
            rows = shots[frame]
            strays = [(x, y, pixel) for y, row in enumerate(rows) for x, pixel in enumerate(row)
                      if pixel not in colours]
            self.assertEqual(strays[:5], [], f"frame {frame}: pixels not in the palette")
            for q, index in enumerate(quadrant_indices(2)):
                share = sum(1 for x, y in quadrant_points(q) if rows[y][x] == MAP[index])
                self.assertGreater(share / len(quadrant_points(q)), 0.8,
                                   f"frame {frame}, quadrant {q}")


class Shots(PictureTest):
    def test_the_shot_holds_the_unmirrored_frame_in_the_palette_file_colours(self):
        # On screen: the 2x2 kaleidoscope of the frame, in the picture's own colours.
        _, player, shots = self.run_captures(
            {"Flame": 1, "Frequency_Pic_Show": 1, "Picture": "p0.gif", "Load_All_Pics": 1,
             "Set_Pic_Palette": 1, "Display_mode": 1},
            frames=12, captures=(10,), args=["--key", "10:ctrl+s"])
        screen = shots[10]
        top_left, top_right, bottom_left, bottom_right = quadrant_indices(0)
        # Screen (k, r) shows frame (2k, 2r) and its mirror images, so the screen's top-right
        # corner shows the frame's top-left quadrant, and its top-left corner the frame's
        # whole top row of quadrants side by side.
        corner = [(x, y) for y in range(10, 110, 8) for x in range(490, 630, 8)]
        beside = [(x, y) for y in range(10, 110, 8) for x in range(170, 310, 8)]
        self.assertGreater(self.share(screen, corner, PICTURE_COLOURS[top_left]), 0.9)
        self.assertGreater(self.share(screen, beside, PICTURE_COLOURS[top_right]), 0.9)

        # The shot: the frame itself, top row first, and the palette file's colours.
        width, height, pixels, palette = read_gif(os.path.join(player, "shot_0.gif"))
        self.assertEqual((width, height), (640, 480))
        self.assertEqual(palette, MAP)
        share = sum(1 for x, y in corner if pixels[y * 640 + x] == top_right) / len(corner)
        self.assertGreater(share, 0.9, "the shot is mirrored")
        for q, index in enumerate((top_left, top_right, bottom_left, bottom_right)):
            points = quadrant_points(q)
            share = sum(1 for x, y in points if pixels[y * 640 + x] == index) / len(points)
            self.assertGreater(share, 0.9, f"quadrant {q} of the shot")


class SongText(PictureTest):
    @staticmethod
    def ink(rows):
        """Where the frame shows colour 255 (white in TEST.MAP; no other index comes close)."""
        return [(x, y) for y, row in enumerate(rows) for x, pixel in enumerate(row)
                if min(pixel) >= 240]

    def test_the_song_text_is_stamped_in_colour_255_on_its_beats(self):
        # "Clear" leaves the stamp in the frame of its beat only.
        _, _, shots = self.run_captures(
            {"Flame": 0, "Show_ID3": 1, "Frequency_Id3_Change": 1, "Frequency_Pic_Show": 1000},
            frames=25, captures=(1, 2, 3, 21, 22),
            args=["--title", "1. Wide Letters - Wide Letters - Winamp"],
            player=self.picture_player(pictures=()))
        quiet = max(len(self.ink(shots[frame])) for frame in (1, 3, 21))
        for frame in (2, 22):
            ink = self.ink(shots[frame])
            self.assertGreater(len(ink), quiet + 100, f"frame {frame}")
            # The stamp covers at most the 300 x 150 text surface.
            xs, ys = [x for x, _ in ink], [y for _, y in ink]
            self.assertLessEqual(max(xs) - min(xs), 300)
            self.assertLessEqual(max(ys) - min(ys), 150)

    def test_a_huge_title_is_cut_without_faults(self):
        # 60 separators and a 700-character piece, for the song text and the intro alike.
        title = "1. " + "W" * 700 + "".join(f" - part {i}" for i in range(59))
        self.run_captures(
            {"Flame": 0, "Show_ID3": 1, "Frequency_Id3_Change": 1, "Frequency_Pic_Show": 1000,
             "Show_3D_song_intro": 1, "Log_Errors_To_File": 1},
            frames=45, captures=(), args=["--title", title],
            player=self.picture_player(pictures=()))
        if os.path.exists(self.log):
            with open(self.log, "rb") as f:
                self.assertNotIn(b"Exception", f.read())


class SongIntro(PictureTest):
    # The intro steps once per "Frequency_Random_Change" x 8 + 492 ms; with 1000 the first
    # step is the only one in a run of these few frames, whatever the machine's speed.
    SETTINGS = {"Show_3D_song_intro": 1, "Save_On_Exit": 1, "Frequency_Random_Change": 1000,
                "Wave": 2, "Flame": 3}

    def run_intro(self, args, data=("maps", "objs")):
        self.settings(dict(QUIET, **self.SETTINGS))
        result = self.run_plugin(self.player(data=data), ["--frames", "30"] + args)
        self.assertCleanRun(result, frames=30)
        return self.value("Wave")

    def test_in_the_first_ten_seconds_the_title_turns_as_letter_objects(self):
        # The "Objects" wave stays on only while a letter object is loaded.
        self.assertEqual(self.run_intro(["--position", "9000"]), 18)

    def test_after_ten_seconds_no_intro_starts(self):
        self.assertEqual(self.run_intro(["--position", "10000"]), 2)

    def test_without_letter_objects_the_objects_wave_hands_over(self):
        self.assertNotEqual(self.run_intro(["--position", "0"], data=("maps",)), 18)


if __name__ == "__main__":
    unittest.main()
