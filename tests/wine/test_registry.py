"""Wine tests of the registry key class on the real registry of the prefix, through
registry_check.exe (tests/programs/registry_check.cpp): read-or-create, texts, records, walking
and deleting values, keys that cannot be opened and the fall-back to HKEY_CURRENT_USER."""
import os
import re
import subprocess
import tempfile
import unittest

from harness import Env, HarnessError, _kill_group

KEY = "HKLM\\Software\\Quorbel\\Quorbel-4-Winamp"
USER_KEY = "HKCU\\Software\\Quorbel\\Quorbel-4-Winamp"
CHECK = "Check"  # the sub-key the tests use, under the plug-in's key
CHECK_KEY = KEY + "\\" + CHECK

_FIELD = re.compile(r'(\w+)=("(?:[^"\\]|\\.)*"|\S*)')


def _unquote(text):
    if not (len(text) >= 2 and text[0] == '"' and text[-1] == '"'):
        return text
    return re.sub(r'\\(x[0-9A-Fa-f]{2}|.)',
                  lambda m: chr(int(m.group(1)[1:], 16)) if m.group(1)[0] == "x"
                  else m.group(1), text[1:-1])


class Line(dict):
    def __init__(self, text):
        op, _, rest = text.partition(" ")
        super().__init__((m.group(1), _unquote(m.group(2))) for m in _FIELD.finditer(rest))
        self.op = op
        self.text = text

    def __repr__(self):
        return self.text


class RegistryTest(unittest.TestCase):
    env = None

    @classmethod
    def setUpClass(cls):
        cls.env = Env()
        cls.program = os.path.join(cls.env.build_dir, "plugin", "win32", "registry_check.exe")
        if not os.path.isfile(cls.program):
            raise HarnessError(f"the {cls.env.build} build has no {cls.program}")

    def setUp(self):
        self.env.reset_registry()

    def check(self, root, path, *operations, env=None):
        """Runs registry_check.exe ROOT PATH OPERATIONS...; returns its lines, the first being
        the open line."""
        with tempfile.NamedTemporaryFile(dir=self.env.state["work"], suffix=".out",
                                         delete=False) as out:
            output = out.name
        try:
            with open(output, "wb") as out:
                proc = subprocess.Popen(
                    [self.env.wine, self.program, root, path] + [str(o) for o in operations],
                    env=self.env.env(24, env), stdin=subprocess.DEVNULL, stdout=out,
                    stderr=subprocess.STDOUT, start_new_session=True)
                try:
                    code = proc.wait(timeout=120)
                except subprocess.TimeoutExpired:
                    _kill_group(proc)
                    self.fail("registry_check did not finish")
            with open(output, "rb") as f:
                text = f.read().decode(errors="replace")
        finally:
            os.remove(output)
        self.assertEqual(code, 0, text)
        lines = [Line(l) for l in text.replace("\r", "").splitlines() if l.strip()]
        self.assertTrue(lines and lines[0].op == "open", text)
        self.assertEqual(len(lines), 1 + sum(1 for o in operations if str(o) in OPERATIONS),
                         text)
        return lines

    def value(self, key, name):
        found = self.env.reg_query(key, name)
        return found[1] if found else None


OPERATIONS = {"exists", "readDword", "writeDword", "getDword", "readString", "writeString",
              "getString", "readBinary", "writeBinary", "valueNameAt", "walk", "deleteValue"}


class ReadOrCreate(RegistryTest):
    def test_a_missing_number_is_stored_with_its_default_then_read_back(self):
        opened, first, again, existing = self.check(
            "QUORBEL", CHECK, "getDword", "Count", 7, "getDword", "Count", 8,
            "getDword", "Negative", -3)
        self.assertEqual(opened["ok"], "1")
        self.assertEqual(first["result"], "7")
        self.assertEqual(again["result"], "7", "the stored value, not the new default")
        self.assertEqual(existing["result"], "-3")
        self.assertEqual(self.env.reg_query(CHECK_KEY, "Count"), ("REG_DWORD", 7))
        self.assertEqual(self.value(CHECK_KEY, "Negative"), 0xFFFFFFFD)
        # A value changed outside is read as it is stored.
        self.env.reg_add(CHECK_KEY, "Count", 9)
        _, read = self.check("QUORBEL", CHECK, "getDword", "Count", 7)
        self.assertEqual(read["result"], "9")

    def test_texts_are_read_or_created_the_same_way(self):
        _, created, again = self.check("QUORBEL", CHECK, "getString", "Palette", "VOLCANO.MAP",
                                       "getString", "Palette", "OTHER.MAP")
        self.assertEqual((created["ok"], created["text"]), ("1", "VOLCANO.MAP"))
        self.assertEqual((again["ok"], again["text"]), ("1", "VOLCANO.MAP"))
        self.assertEqual(self.env.reg_query(CHECK_KEY, "Palette"), ("REG_SZ", "VOLCANO.MAP"))
        # An empty default is stored as an empty text.
        _, empty = self.check("QUORBEL", CHECK, "getString", "Transformation", "")
        self.assertEqual((empty["ok"], empty["text"]), ("1", ""))
        self.assertEqual(self.env.reg_query(CHECK_KEY, "Transformation"), ("REG_SZ", ""))

    def test_plain_reads_of_missing_values_give_empty_results_and_store_nothing(self):
        _, text, number, present = self.check("QUORBEL", CHECK, "readString", "Missing",
                                              "readDword", "Missing", "exists", "Missing")
        self.assertEqual((text["ok"], text["text"]), ("0", ""))
        self.assertEqual(number["result"], "0")
        self.assertEqual(present["result"], "0")
        self.assertIsNone(self.env.reg_query(CHECK_KEY, "Missing"))

    def test_values_of_other_types_and_sizes_are_read_without_reading_past_them(self):
        self.env.reg_add(CHECK_KEY, "Short", "0201", kind="REG_BINARY")
        self.env.reg_add(CHECK_KEY, "Text", "12")
        self.env.reg_add(CHECK_KEY, "Long", "0a000000ffffffff", kind="REG_BINARY")
        _, short, text, long_ = self.check("QUORBEL", CHECK, "readDword", "Short",
                                           "readDword", "Text", "readDword", "Long")
        self.assertEqual(short["result"], str(0x0102))
        self.assertEqual(text["result"], str(ord("1") | ord("2") << 8))
        self.assertEqual(long_["result"], "10")


class Unopenable(RegistryTest):
    def test_every_operation_fails_quietly_and_nothing_is_stored(self):
        lines = self.check(
            "QUORBEL", CHECK, "getDword", "Count", 7, "getString", "Name", "abc",
            "writeDword", "Count", 1, "writeString", "Name", "x", "writeBinary", "Rec", "0102",
            "exists", "Count", "readString", "Name", "readBinary", "Rec", 4,
            "valueNameAt", 0, "deleteValue", "Count",
            env={"QUORBEL_TEST_DENY_REGISTRY": "1"})
        results = {line.op: line for line in lines}
        self.assertEqual(results["open"]["ok"], "0")
        self.assertEqual(results["getDword"]["result"], "0", "0, not the default")
        self.assertEqual((results["getString"]["ok"], results["getString"]["text"]), ("0", ""))
        self.assertEqual((results["readString"]["ok"], results["readString"]["text"]),
                         ("0", ""))
        for op in ("writeDword", "writeString", "writeBinary", "readBinary", "valueNameAt",
                   "deleteValue"):
            self.assertEqual(results[op]["ok"], "0", op)
        self.assertEqual(results["exists"]["result"], "0")
        self.assertEqual(results["readBinary"]["data"], "a5" * 4, "the destination untouched")
        for key in (KEY, USER_KEY):
            code, _ = self.env._reg(["query", key], check=False)
            self.assertNotEqual(code, 0, f"{key} was created")


class Values(RegistryTest):
    def test_walking_names_every_value_once_then_fails(self):
        _, empty, walk = self.check("QUORBEL", CHECK, "valueNameAt", 0, "walk")
        self.assertEqual(empty["ok"], "0")
        self.assertEqual(walk["count"], "0")
        lines = self.check("QUORBEL", CHECK, "writeDword", "A", 1, "writeString", "B", "two",
                           "writeBinary", "C", "030303", "valueNameAt", 0, "valueNameAt", 1,
                           "valueNameAt", 2, "valueNameAt", 3)
        walked = [line for line in lines if line.op == "valueNameAt"]
        self.assertEqual([line["ok"] for line in walked], ["1", "1", "1", "0"])
        self.assertEqual(sorted(line["name"] for line in walked[:3]), ["A", "B", "C"])
        self.assertEqual(walked[3]["name"], "")

    def test_a_name_longer_than_the_name_buffer_does_not_end_the_walk(self):
        # Written by hand: registry value names may be far longer than 259 characters.
        long_name = "A" * 300
        for name in (long_name, "B", "C"):
            self.env.reg_add(CHECK_KEY, name, 1)
        lines = self.check("QUORBEL", CHECK, "walk", "valueNameAt", 0, "valueNameAt", 1,
                           "valueNameAt", 2, "valueNameAt", 3, "exists", "A" * 259)
        walk, walked, cut = lines[1], lines[2:6], lines[6]
        self.assertEqual(walk["count"], "3", walk)
        self.assertEqual([line["ok"] for line in walked], ["1", "1", "1", "0"])
        self.assertEqual(sorted(line["name"] for line in walked[:3]), ["A" * 259, "B", "C"])
        self.assertEqual(cut["result"], "0", "the cut name names no value")

    def test_deleting_a_missing_name_fails_and_changes_nothing(self):
        self.check("QUORBEL", CHECK, "writeDword", "Kept", 5, "writeString", "Text", "t")
        _, before, missing, after, kept = self.check(
            "QUORBEL", CHECK, "walk", "deleteValue", "Favorite_1", "walk", "readDword", "Kept")
        self.assertEqual(missing["ok"], "0")
        self.assertEqual(after["names"], before["names"])
        self.assertEqual(kept["result"], "5")
        self.assertEqual(self.value(CHECK_KEY, "Text"), "t")
        _, deleted, present, walk = self.check("QUORBEL", CHECK, "deleteValue", "Kept",
                                               "exists", "Kept", "walk")
        self.assertEqual(deleted["ok"], "1")
        self.assertEqual(present["result"], "0")
        self.assertEqual(walk["names"], "Text")

    def test_records_longer_than_the_buffer_fill_only_the_buffer(self):
        record = bytes((i * 7 + 3) & 0xFF for i in range(600))
        short = bytes(range(1, 21))
        _, written, _, long_read, short_read = self.check(
            "QUORBEL", CHECK, "writeBinary", "Long", record.hex(), "writeBinary", "Short",
            short.hex(), "readBinary", "Long", 526, "readBinary", "Short", 526)
        self.assertEqual(written["ok"], "1")
        stored = self.env.reg_query(CHECK_KEY, "Long")
        self.assertEqual((stored[0], stored[1].lower()), ("REG_BINARY", record.hex()))
        self.assertEqual(long_read["ok"], "1")
        self.assertEqual(long_read["stored"], "600")
        self.assertEqual(long_read["data"], record[:526].hex())
        self.assertEqual(long_read["guard"], "intact")
        # A shorter record fills its own length and leaves the rest of the buffer alone.
        self.assertEqual(short_read["stored"], "20")
        self.assertEqual(short_read["data"], short.hex() + "a5" * (526 - 20))
        self.assertEqual(short_read["guard"], "intact")


class Roots(RegistryTest):
    def test_the_machine_key_comes_first(self):
        opened, written = self.check("QUORBEL", "-", "writeDword", "Probe", 5)
        self.assertEqual((opened["ok"], written["ok"]), ("1", "1"))
        self.assertEqual(self.value(KEY, "Probe"), 5)
        self.assertIsNone(self.value(USER_KEY, "Probe"))

    def test_without_the_machine_key_the_same_path_under_the_user_key_is_used(self):
        deny = {"QUORBEL_TEST_DENY_HKLM": "1"}
        opened, written, _ = self.check("QUORBEL", "-", "writeDword", "Probe", 5,
                                        "getString", "Palette", "VOLCANO.MAP", env=deny)
        self.assertEqual((opened["ok"], written["ok"]), ("1", "1"))
        self.assertEqual(self.value(USER_KEY, "Probe"), 5)
        self.assertEqual(self.value(USER_KEY, "Palette"), "VOLCANO.MAP")
        self.assertIsNone(self.value(KEY, "Probe"))
        # Sub-keys follow the same way.
        opened, _ = self.check("QUORBEL", "Favorites", "writeBinary", "Favorite_0", "00",
                               env=deny)
        self.assertEqual(opened["ok"], "1")
        self.assertIsNotNone(self.env.reg_query(USER_KEY + "\\Favorites", "Favorite_0"))
        self.assertIsNone(self.env.reg_query(KEY + "\\Favorites", "Favorite_0"))


if __name__ == "__main__":
    unittest.main()
