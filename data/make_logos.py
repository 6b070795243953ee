#!/usr/bin/env python3
"""Makes the plug-in's logo bitmaps and icon (plugin/resources/): a fire-coloured plasma with
the product name in block letters. Deterministic: the same files on every run."""
import math
import os
import struct
import sys

FONT = {  # 5 x 7 block letters, one string per row
    'Q': ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    'U': ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    'O': ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    'R': ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    'B': ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    'E': ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    'L': ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    'W': ["10001", "10001", "10001", "10101", "10101", "11011", "10001"],
    'I': ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    'N': ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    'A': ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    'M': ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    'P': ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    '4': ["00010", "00110", "01010", "10010", "11111", "00010", "00010"],
    '-': ["00000", "00000", "00000", "11111", "00000", "00000", "00000"],
    ' ': ["00000"] * 7,
}


def fire_palette():
    palette = []
    for i in range(256):
        r = min(255, i * 3)
        g = min(255, max(0, i * 3 - 255))
        b = min(255, max(0, i * 3 - 510))
        palette.append((r, g, b))
    return palette


def render(width, height, lines):
    pixels = [[0] * width for _ in range(height)]
    for y in range(height):
        for x in range(width):
            v = (math.sin(x / 23.0) + math.sin(y / 17.0) + math.sin((x + y) / 31.0) +
                 math.sin(math.hypot(x - width / 2, y - height) / 19.0))
            glow = 1.0 - y / height
            pixels[y][x] = int(max(0, min(150, (v + 4) / 8 * 150 * (0.4 + 0.6 * glow))))
    total = sum(scale * 8 for _, scale in lines)
    top = (height - total) // 2
    for text, scale in lines:
        text_width = len(text) * 6 * scale
        left = (width - text_width) // 2
        for index, ch in enumerate(text):
            glyph = FONT[ch]
            for gy, row in enumerate(glyph):
                for gx, bit in enumerate(row):
                    if bit != '1':
                        continue
                    for dy in range(scale):
                        for dx in range(scale):
                            x = left + (index * 6 + gx) * scale + dx
                            y = top + gy * scale + dy
                            if 0 <= x < width and 0 <= y < height:
                                pixels[y][x] = 230 + (gy * 25) // 7
        top += scale * 8
    return pixels


def bmp8(pixels, palette):
    height = len(pixels)
    width = len(pixels[0])
    stride = (width + 3) & ~3
    data = bytearray()
    for row in reversed(pixels):
        data += bytes(row) + bytes(stride - width)
    colours = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    offset = 14 + 40 + len(colours)
    header = struct.pack('<2sIHHI', b'BM', offset + len(data), 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 8, 0, len(data), 2835, 2835, 256, 0)
    return header + info + colours + bytes(data)


def icon(pixels, palette):
    size = len(pixels)
    rows = bytearray()
    for row in reversed(pixels):
        for v in row:
            r, g, b = palette[v]
            rows += bytes((b, g, r, 255))
    mask = bytes(((size + 31) // 32) * 4 * size)
    info = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(rows) + len(mask), 0, 0,
                       0, 0)
    image = info + bytes(rows) + mask
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), '..', 'plugin', 'resources')
    palette = fire_palette()
    with open(os.path.join(out, 'logo_about.bmp'), 'wb') as f:
        f.write(bmp8(render(294, 124, [("QUORBEL", 5), ("4-WINAMP", 3)]), palette))
    with open(os.path.join(out, 'logo_whatsnew.bmp'), 'wb') as f:
        f.write(bmp8(render(366, 174, [("QUORBEL", 7), ("4-WINAMP", 4)]), palette))
    with open(os.path.join(out, 'quorbel.ico'), 'wb') as f:
        f.write(icon(render(32, 32, [("Q", 3)]), palette))


if __name__ == '__main__':
    main()
