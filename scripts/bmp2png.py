#!/usr/bin/env python3
"""Converts uncompressed 24- or 32-bit BMP files (the host's captures) to PNG, with only the
standard library. Usage: bmp2png.py FILE.bmp ... (writes FILE.png beside each)."""

import struct
import sys
import zlib


def read_bmp(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        raise ValueError(f"{path}: not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits, compression = struct.unpack_from("<HI", data, 28)
    if bits not in (24, 32) or compression != 0 or width <= 0 or height == 0:
        raise ValueError(f"{path}: only uncompressed 24/32-bit BMP files are converted")
    step = bits // 8
    stride = (width * step + 3) & ~3
    rows = []
    for y in range(abs(height)):
        stored = y if height < 0 else abs(height) - 1 - y
        start = offset + stored * stride
        raw = data[start:start + width * step]
        if len(raw) < width * step:
            raise ValueError(f"{path}: truncated")
        row = bytearray(width * 3)
        row[0::3] = raw[2::step]
        row[1::3] = raw[1::step]
        row[2::3] = raw[0::step]
        rows.append(bytes(row))
    return width, abs(height), rows


def png_chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + \
        struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)


def write_png(path, width, height, rows):
    raw = b"".join(b"\0" + row for row in rows)  # filter type 0 on every row
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(png_chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(png_chunk(b"IEND", b""))


def main(paths):
    status = 0
    for path in paths:
        try:
            width, height, rows = read_bmp(path)
            target = path[:-4] + ".png" if path.lower().endswith(".bmp") else path + ".png"
            write_png(target, width, height, rows)
            print(target)
        except (OSError, ValueError) as e:
            print(f"bmp2png: {e}", file=sys.stderr)
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
