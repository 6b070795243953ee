#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_translation_table: the first byte picks the frame size
(0 640x480, 1 640x400, 2 320x240, 3 320x200, 4 160x120), the rest is a table file.
Usage: make_translation_table_corpus.py [output folder] (default: the committed corpus)."""
import os
import struct
import sys

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "translation_table")


def records(values):
    return b"".join(struct.pack("<I", v) for v in values)


SEEDS = {
    "empty_640x480": b"\x00",
    "identity_row_640x400": b"\x01" + records([0x08000000 + i for i in range(640)]),
    "out_of_range_320x200": b"\x03" + records([0xFFFFFFFF, 0x0C000000 + 307200,
                                               0x08000000 + 440 * 640, 0x08000000 + 440 * 640 + 1,
                                               0x08000000 + 441 * 640, 0x08000000 + 10 * 640, 0]),
    "partial_record_160x120": b"\x04" + records([0x08000005, 0x0800FFFF]) + b"\x12\x34",
    "descending_rows_320x240": b"\x02" + records([0x08000000 + 307199 - i for i in range(700)]),
}

if __name__ == "__main__":
    folder = sys.argv[1] if len(sys.argv) > 1 else HERE
    os.makedirs(folder, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
