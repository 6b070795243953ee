#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_favorite_records: one byte n, n bytes of a value name, then a
stored record (favourite: wave, flame, palette name, translation name, display; forbidden:
wave, flame, display; all integers 32-bit little-endian).
Usage: make_favorite_records_corpus.py [output folder] (default: the committed corpus)."""
import os
import struct
import sys

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "favorite_records")


def seed(name, record):
    return bytes([len(name)]) + name + record


def favorite(wave, flame, palette, translation, display=None):
    record = struct.pack("<ii", wave, flame) + palette + b"\0" + translation + b"\0"
    return record if display is None else record + struct.pack("<i", display)


SEEDS = {
    "favorite_with_translation": seed(b"Favorite_0",
                                      favorite(3, 14, b"VOLCANO.MAP", b"rotate.tab", 2)),
    "favorite_without_translation": seed(b"Favorite_12", favorite(0, 0, b"AMBER.MAP", b"", 0)),
    "favorite_from_140": seed(b"Favorite_3", favorite(20, 5, b"P.MAP", b"")),
    "favorite_wave_21_from_140": seed(b"Favorite_4", favorite(21, 1, b"VOLCANO.MAP",
                                                              b"space.tab")),
    "favorite_gone_files": seed(b"Favorite_7", favorite(19, 15, b"GONE.MAP", b"gone.tab", 3)),
    "favorite_negative_fields": seed(b"Favorite_1", favorite(-1, -128, b"P.MAP", b"", 127)),
    "favorite_long_names": seed(b"Favorite_199", favorite(1, 2, b"N" * 300, b"T" * 260, 1)),
    "favorite_longer_than_buffer": seed(b"Favorite_5", favorite(4, 4, b"AMBER.MAP", b"") +
                                        bytes(range(256)) * 3),
    "favorite_unterminated": seed(b"Favorite_6", struct.pack("<ii", 1, 1) + b"VOLCANO.MAP"),
    "forbidden_flame": seed(b"Forbiden_1", struct.pack("<iii", -1, 2, -1)),
    "forbidden_all_wildcards": seed(b"Forbiden_99", struct.pack("<iii", -1, -1, -1)),
    "name_without_number": seed(b"Favorite", favorite(2, 3, b"P.MAP", b"", 0)),
    "name_huge_number": seed(b"Favorite_4294967297", favorite(2, 3, b"P.MAP", b"", 0)),
    "name_full_length": seed(b"Favorite_" + b"9" * 246, struct.pack("<iii", 1, 2, 3)),
    "empty_record": seed(b"Favorite_2", b""),
}

if __name__ == "__main__":
    folder = sys.argv[1] if len(sys.argv) > 1 else HERE
    os.makedirs(folder, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
