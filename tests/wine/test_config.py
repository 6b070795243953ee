"""Wine tests of the configuration property sheet that Config shows (vis_quorbel_test.dll in our
host with --config): its pages, what OK and Cancel store, the Favorites and Forbiddens pages and
the Generate button. The host scripts the sheet with --dialog-step (host/README.md)."""
import filecmp
import os
import shutil
import struct
import tempfile
import unittest

from harness import Env

KEY = "HKLM\\Software\\Quorbel\\Quorbel-4-Winamp"
FAVORITES = KEY + "\\Favorites"
FORBIDDENS = KEY + "\\Forbidens"
SHEET = "Quorbel-4-MODPlug"
ASK = "New Forbidden"
PAGES = ["General", "Waves", "Palettes", "Flames", "Translations", "Pictures", "Favorites",
         "Forbiddens", "Tips", "About"]
GENERAL, WAVES, PALETTES, TRANSLATIONS, PICTURES, FAVORITES_PAGE, FORBIDDENS_PAGE, TIPS = \
    0, 1, 2, 4, 5, 6, 7, 8
TIPS_TEXT = (
    "W\tnext wave function\r\nSH-W\tprevious wave function\r\nT\tnext translation function\r\n"
    "SH-T\tprevious translation function\r\nF\tnext flame function\r\n"
    "SH-F\tprevious flame function\r\nI\ttoggles wave <-> analyzer mode\r\n"
    "H\tchange scale of wave display\r\nP\tnext palette\r\nSH-P\tprevious palette\r\n"
    "L\ton-off random choice with beat detection\r\nSPACE\trandom choice of efect\r\n"
    "ESC\tstops plug-in\r\nCtrl-S\ttake snapshot (SHOT_?.GIF)\r\nCtrl-M\tadd to favorites\r\n"
    "M\tnext favorite\r\nSH-M\tprevious favorite\r\nD\tnext display function\r\n"
    "SH-D\tprevious display function\r\n")


def favorite_record(wave, flame, palette=b"VOLCANO.MAP", translation=b"", display=0):
    return (struct.pack("<ii", wave, flame) + palette + b"\0" + translation + b"\0"
            + struct.pack("<i", display)).hex()


def steps(caption, *actions):
    """--dialog-step arguments for the next --dialog of caption."""
    args = []
    for action in actions:
        args += ["--dialog-step", caption, action]
    return args


class ConfigTest(unittest.TestCase):
    env = None

    @classmethod
    def setUpClass(cls):
        cls.env = Env()

    def setUp(self):
        self.env.reset_registry()
        self.work = tempfile.mkdtemp(prefix="config-", dir=self.env.state["work"])
        # Stored beforehand so that Config is no first start.
        self.env.reg_add(KEY, "Version", 0x150)

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def player(self, data=("maps",)):
        folder = tempfile.mkdtemp(prefix="player-", dir=self.work)
        dll = os.path.join(self.env.build_dir, "plugin", "win32", "vis_quorbel_test.dll")
        return self.env.make_player(folder, plugin=dll, data=data)

    def config(self, player, args):
        run = self.env.run_host(player, ["--config"] + list(args), timeout=120)
        self.assertFalse(run.timed_out, run.output)
        self.assertEqual(run.code, 0, run.output)
        self.assertEqual(len(run.host("config-done")), 1, run.output)
        return run

    def settings(self, values, key=KEY):
        for name, value in values.items():
            self.env.reg_add(key, name, value)

    def value(self, name, key=KEY):
        found = self.env.reg_query(key, name)
        return found[1] if found else None

    @staticmethod
    def shown(run, show):
        """The controls of the show-th "show" step by id, and their items by id."""
        controls, items = {}, {}
        for event in run.host("dialog-control"):
            if event.int("show") == show:
                controls[event.int("id")] = event
        for event in run.host("dialog-item"):
            if event.int("show") == show:
                items.setdefault(event.int("id"), []).append(event)
        return controls, items


class Sheet(ConfigTest):
    def test_ten_pages_show_the_settings_and_cancel_stores_nothing(self):
        self.settings({"Beat_detection_sensitivity": 200, "WaveScale": 1, "Wave": 7,
                       "Display_mode": 2, "DataSource": 1})
        run = self.config(self.player(), steps(
            SHEET, "show", "set=1047:155", "set=1028:64", "set=1020:0", f"page={WAVES}",
            "show", "set=1010:0", "set=1004:3", f"page={TIPS}", "show")
            + ["--dialog", SHEET, "Cancel"])
        self.assertEqual(run.host("dialog")[0]["caption"], SHEET)
        pages = [e for e in run.host("dialog-page") if e.int("show") == 1]
        self.assertEqual([e["caption"] for e in pages], PAGES)
        self.assertEqual([e["current"] for e in pages], ["1"] + ["0"] * 9)

        general, items = self.shown(run, 1)
        self.assertEqual(general[1047].int("position"), 55)
        self.assertEqual((general[1047].int("min"), general[1047].int("max")), (1, 155))
        self.assertEqual((general[1028].int("position"), general[1028].int("max")), (8, 64))
        self.assertEqual((general[1018]["checked"], general[1019]["checked"]), ("0", "1"))
        self.assertEqual(general[1017].int("selection"), 0)
        self.assertEqual([e["text"] for e in items[1017]][::4],
                         ["640x480 (256 colors) full screen", "640x480 windowed",
                          "160x120 windowed"])
        self.assertIn("320", general[1021]["text"])  # the General help text

        waves, items = self.shown(run, 2)
        self.assertEqual(waves[1010].int("position"), 2)
        self.assertEqual(waves[1004].int("selection"), 7)
        self.assertEqual(len(items[1004]), 20)
        self.assertEqual(waves[1051]["text"], "Weidth 2x1")
        tips, _ = self.shown(run, 3)
        self.assertEqual(tips[1001]["text"], TIPS_TEXT)

        # Cancel: the sheet's changes are dropped, the values are saved as loaded.
        for name, stored in (("Beat_detection_sensitivity", 200), ("Frequency_Random_Change", 8),
                             ("Random", 1), ("WaveScale", 1), ("Wave", 7)):
            self.assertEqual(self.value(name), stored, name)

    def test_the_desktop_full_screen_box_shows_the_setting_and_ok_stores_it(self):
        # The default is on; OK stores the box as left, and the next sheet shows it so.
        for stored, clicked in ((None, 0), (0, 1)):
            if stored is not None:
                self.settings({"Fullscreen_On_Desktop": stored})
            run = self.config(self.player(), steps(SHEET, "show", f"set=1059:{clicked}")
                              + ["--dialog", SHEET, "OK"])
            general, _ = self.shown(run, 1)
            self.assertEqual(general[1059]["text"],
                             "Full screen on the desktop (no display mode change)")
            self.assertEqual(general[1059]["checked"], "1" if stored is None else str(stored))
            self.assertEqual(self.value("Fullscreen_On_Desktop"), clicked)
            self.assertIn("Full screen on the desktop", general[1021]["text"])

    def test_ok_with_only_general_opened_changes_nothing_the_other_pages_hold(self):
        other_pages = {"Wave": 25, "WaveScale": 0, "Flame": 5, "Display_mode": 3,
                       "Palette": "NOSUCH.MAP", "Transformation": "missing.tab",
                       "Picture": "gone.gif", "Load_All_Pics": 1, "Frequency_Pic_Show": 100,
                       "Load_All_Palettes": 1}
        self.settings(other_pages)
        self.config(self.player(), steps(
            SHEET, "set=1047:1", "set=1028:64", "set=1029:1", "set=1018:0", "set=1019:1",
            "set=1020:0", "set=1052:1", "set=1017:6") + ["--dialog", SHEET, "OK"])
        self.assertEqual(self.value("Beat_detection_sensitivity"), 254)
        self.assertEqual(self.value("Frequency_Random_Change"), 64)
        self.assertEqual(self.value("Frequency_Id3_Change"), 1)
        self.assertEqual(self.value("DataSource"), 1)
        self.assertEqual(self.value("Random"), 0)
        self.assertEqual(self.value("Log_Errors_To_File"), 1)
        self.assertEqual(self.value("Resolution"), 6)
        for name, stored in other_pages.items():
            self.assertEqual(self.value(name), stored, name)

    def test_ok_stores_the_sliders_and_lists_of_every_opened_page(self):
        player = self.player(data=("maps", "pics"))
        self.settings({"Wave": 7, "Palette": "VOLCANO.MAP"})
        run = self.config(player, steps(
            SHEET, "set=1047:155", f"page={WAVES}", "set=1010:0", "set=1051:1",
            "text=1004:my own wave", f"page={PALETTES}", "show", "set=1009:1",
            f"page={TRANSLATIONS}", f"page={PICTURES}", "show", "text=1036:not listed.gif",
            "set=1039:128", "set=1040:1") + ["--dialog", SHEET, "OK"])
        palettes, items = self.shown(run, 1)
        names = [e["text"] for e in items[1009]]
        self.assertEqual(sorted(names), sorted(os.listdir(os.path.join(player, "maps"))))
        self.assertEqual(palettes[1009]["text"], "VOLCANO.MAP")
        pictures, items = self.shown(run, 2)
        self.assertEqual(items[1036][0]["text"], "<none>")
        self.assertEqual(len(items[1036]), 1 + len(os.listdir(os.path.join(player, "pics"))))

        self.assertEqual(self.value("Beat_detection_sensitivity"), 100)
        self.assertEqual(self.value("WaveScale"), 3)
        self.assertEqual(self.value("Display_mode"), 1)
        self.assertEqual(self.value("Wave"), 0, "a typed wave stores the first wave")
        self.assertEqual(self.value("Palette"), names[1])
        # No table in tabs: the list holds "<none>" alone, which is stored as it reads.
        self.assertEqual(self.value("Transformation"), "<none>")
        self.assertEqual(self.value("Picture"), "not listed.gif")
        self.assertEqual(self.value("Frequency_Pic_Show"), 128)
        self.assertEqual(self.value("Set_Pic_Palette"), 1)


class Lists(ConfigTest):
    def test_deleting_a_favourite_or_forbidden_changes_the_registry_at_once(self):
        for number, wave in ((0, 1), (2, 4)):
            self.env.reg_add(FAVORITES, f"Favorite_{number}", favorite_record(wave, 2, display=1),
                             kind="REG_BINARY")
        self.env.reg_add(FORBIDDENS, "Forbiden_3", struct.pack("<iii", -1, 6, -1).hex(),
                         kind="REG_BINARY")
        run = self.config(self.player(), steps(
            SHEET, f"page={FAVORITES_PAGE}", "show", "set=1043:1",
            "press=Delete selected favorite", "show", f"page={FORBIDDENS_PAGE}",
            "press=Delete forbidden", "show", "set=1056:0", "press=Delete forbidden", "show")
            + ["--dialog", SHEET, "Cancel"])
        _, before = self.shown(run, 1)
        lines = before[1043]
        self.assertEqual(len(lines), 2)
        self.assertEqual(sorted(line.int("data") for line in lines), [0, 2])
        for line in lines:
            parts = line["text"].split(" --- ")
            self.assertEqual(len(parts), 5, line)
            self.assertEqual(parts[2:], ["VOLCANO.MAP", "", "Kaleidoscope 2x2"])
        deleted = lines[1].int("data")
        kept = lines[0].int("data")
        _, after = self.shown(run, 2)
        self.assertEqual([line.int("data") for line in after[1043]], [kept])
        self.assertIsNone(self.env.reg_query(FAVORITES, f"Favorite_{deleted}"),
                          "deleted although the sheet was cancelled")
        self.assertIsNotNone(self.env.reg_query(FAVORITES, f"Favorite_{kept}"))

        # With no line selected the delete does nothing; then the selected line goes.
        _, unselected = self.shown(run, 3)
        self.assertEqual(len(unselected[1056]), 1)
        self.assertEqual(unselected[1056][0].int("data"), 3)
        self.assertTrue(unselected[1056][0]["text"].startswith("* --- "))
        self.assertTrue(unselected[1056][0]["text"].endswith(" --- *"))
        controls, gone = self.shown(run, 4)
        self.assertEqual(controls[1056].int("count"), 0)
        self.assertNotIn(1056, gone)
        self.assertIsNone(self.env.reg_query(FORBIDDENS, "Forbiden_3"))

    def test_new_forbidden_stores_and_lists_at_once_and_cancel_adds_nothing(self):
        run = self.config(self.player(), steps(
            SHEET, f"page={FORBIDDENS_PAGE}", "press=Add forbidden", "press=Add forbidden",
            "press=Add forbidden", "show")
            + ["--dialog", ASK, "OK"] + steps(ASK, "show", "set=1064:2")
            + ["--dialog", ASK, "OK", "--dialog", ASK, "Cancel", "--dialog", SHEET, "Cancel"])
        ask, items = self.shown(run, 1)
        for box, count in ((1060, 21), (1061, 17), (1064, 5)):
            self.assertEqual(ask[box].int("selection"), 0, box)
            self.assertEqual(items[box][0]["text"], "*")
            self.assertEqual(len(items[box]), count, box)
        self.assertEqual(items[1064][2]["text"], "Kaleidoscope 2x2")

        _, page = self.shown(run, 2)
        self.assertEqual([(e.int("data"), e["text"]) for e in page[1056]],
                         [(1, "* --- * --- *"), (2, "* --- * --- Kaleidoscope 2x2")])
        # All three "*": stored as -1, -1, -1, an entry that forbids nothing.
        stored = bytes.fromhex(self.env.reg_query(FORBIDDENS, "Forbiden_1")[1])
        self.assertEqual(stored, struct.pack("<iii", -1, -1, -1))
        stored = bytes.fromhex(self.env.reg_query(FORBIDDENS, "Forbiden_2")[1])
        self.assertEqual(stored, struct.pack("<iii", -1, -1, 1))
        self.assertIsNone(self.env.reg_query(FORBIDDENS, "Forbiden_3"))


class Generate(ConfigTest):
    def test_generate_writes_the_five_tables_with_smoke_third(self):
        player = self.player(data=())
        run = self.config(player, steps(
            SHEET, f"page={TRANSLATIONS}", "show", "press=Generate built-in translation files",
            "show") + ["--dialog", SHEET, "OK"])
        before, _ = self.shown(run, 1)
        after, items = self.shown(run, 2)
        self.assertEqual(before[1024]["visible"], "0", "the bar is hidden at first")
        self.assertEqual((after[1024]["visible"], after[1024].int("position"),
                          after[1024].int("max")), ("0", 5, 5))
        self.assertEqual([e["text"] for e in items[1016]], ["<none>"], "the list is not refilled")
        names = ["space.tab", "rotate.tab", "smoke.tab", "huricane.tab", "big_wheel.tab"]
        self.assertEqual(sorted(os.listdir(os.path.join(player, "tabs"))), sorted(names))

        # The same tables as the first start writes, the third under its other name.
        native = os.path.join(self.work, "native")
        self.env.write_builtin_tables(native)
        for name, first_run_name in zip(names, ["space.tab", "rotate.tab", "down_spiral.tab",
                                                "huricane.tab", "big_wheel.tab"]):
            self.assertTrue(filecmp.cmp(os.path.join(native, first_run_name),
                                        os.path.join(player, "tabs", name), shallow=False), name)



class DuringARun(ConfigTest):
    def test_the_sheet_shows_the_running_lists_and_ok_stores_into_the_registry(self):
        # The player's Configure while the visualisation runs: the host calls Config on its
        # main thread before frame 10, and the run waits for it.
        self.settings({"Random": 0, "Show_ID3": 0, "Show_3D_song_intro": 0, "Resolution": 4,
                       "Errors_Warning": 0, "Palette": "VOLCANO.MAP"})
        args = ["--fast", "--mute", "--frames", "30", "--key", "3:p", "--key", "5:ctrl+m",
                "--config-at", "10"]
        args += steps(SHEET, "set=1047:155", f"page={PALETTES}", "show", f"page={FAVORITES_PAGE}",
                      "show")
        run = self.env.run_host(self.player(), args + ["--dialog", SHEET, "OK"], depth=16,
                                timeout=120)
        self.assertFalse(run.timed_out, run.output)
        self.assertEqual(run.code, 0, run.output)
        self.assertEqual(run.one("config-done")["frame"], "10", run.output)
        self.assertEqual(run.one("frames")["rendered"], "30", run.output)

        palettes, items = self.shown(run, 1)
        names = [e["text"] for e in items[1009]]
        # P moved the run from VOLCANO.MAP to the next palette; the sheet shows the run's own.
        after_p = (names.index("VOLCANO.MAP") + 1) % len(names)
        self.assertEqual(palettes[1009].int("selection"), after_p)
        _, items = self.shown(run, 2)
        self.assertEqual(len(items.get(1043, [])), 1, run.output)  # the favourite of Ctrl-M
        self.assertEqual(self.value("Beat_detection_sensitivity"), 100)
        self.assertEqual(self.value("Palette"), names[after_p])


    def test_loading_modes_changed_during_a_run_wait_for_the_next_start(self):
        # The run loaded every table, palette and picture at its start and keeps that mode;
        # unticking the three load-all boxes is saved for the next start, and the run ends
        # without a fault while T switches tables and beats change palettes and lay pictures.
        player = self.player(data=("maps", "pics"))
        self.env.write_builtin_tables(os.path.join(player, "tabs"))
        self.settings({"Random": 1, "Frequency_Random_Change": 1, "Frequency_Pic_Show": 1,
                       "Show_ID3": 0, "Show_3D_song_intro": 0, "Resolution": 4,
                       "Errors_Warning": 1, "Load_All_Palettes": 1, "Load_All_Trans": 1,
                       "Load_All_Pics": 1, "Set_Pic_Palette": 1})
        args = ["--fast", "--mute", "--frames", "200", "--config-at", "10",
                "--dialog-optional", "Quorbel-4-Winamp Errors", "OK"]
        for frame in range(12, 200, 9):
            args += ["--key", f"{frame}:t", "--key", f"{frame + 3}:p"]
        args += steps(SHEET, f"page={PALETTES}", "set=1032:0", f"page={TRANSLATIONS}",
                      "set=1033:0", f"page={PICTURES}", "set=1037:0")
        run = self.env.run_host(player, args + ["--dialog", SHEET, "OK"], depth=16,
                                timeout=120)
        self.assertFalse(run.timed_out, run.output)
        self.assertEqual(run.code, 0, run.output)
        self.assertEqual(run.one("frames")["rendered"], "200", run.output)
        # The loading dialogs of the start, then the sheet; no report of caught faults.
        captions = [e["caption"] for e in run.host("dialog")]
        self.assertEqual(captions[-1], SHEET, run.output)
        self.assertNotIn("Quorbel-4-Winamp Errors", captions, run.output)
        for name in ("Load_All_Palettes", "Load_All_Trans", "Load_All_Pics"):
            self.assertEqual(self.value(name), 0, name)

if __name__ == "__main__":
    unittest.main()
