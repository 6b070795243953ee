#!/usr/bin/env python3
"""Makes the plug-in's own palettes: data/maps/*.MAP.

Each palette is 256 lines "red green blue" (CRLF line ends, so that Notepad shows them as
lines); the first line carries the palette's name and description after its three numbers,
which the reader skips as a comment. Most palettes run dark at index 0 to bright at 255,
because flames and translations darken the image by lowering the index.

    python3 data/make_palettes.py            writes data/maps/
    python3 data/make_palettes.py --output D writes into folder D
    python3 data/make_palettes.py --check D  exits 1 unless D holds exactly these files
"""
import argparse
import math
import os
import sys

MAPS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "maps")


def clamp(v):
    return max(0, min(255, int(math.floor(v + 0.5))))


def hexcolour(text):
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


def gradient(*stops, ease=False):
    """Stops are (position 0..255, "rrggbb"); colours between them are mixed linearly
    (with ease, along a smoothstep so that the stops read as plateaus)."""
    stops = [(p, hexcolour(c)) for p, c in stops]
    out = []
    for i in range(256):
        for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
            if p0 <= i <= p1:
                t = 0.0 if p1 == p0 else (i - p0) / (p1 - p0)
                if ease:
                    t = t * t * (3 - 2 * t)
                out.append(tuple(clamp(a + (b - a) * t) for a, b in zip(c0, c1)))
                break
    assert len(out) == 256
    return out


def hsv(h, s, v):
    h = (h % 1.0) * 6.0
    k = int(h) % 6
    f = h - int(h)
    p, q, t = v * (1 - s), v * (1 - s * f), v * (1 - s * (1 - f))
    r, g, b = [(v, t, p), (q, v, p), (p, v, t), (p, q, v), (t, p, v), (v, p, q)][k]
    return (clamp(r * 255), clamp(g * 255), clamp(b * 255))


def ramp(fn):
    return [fn(i / 255.0) for i in range(256)]


def waves(freqs, phases, lift=0.0, fade=0.0):
    """Sine cycles per channel; fade > 0 darkens the low indices towards black."""
    def colour(t):
        light = 1.0 - fade * (1.0 - t) ** 1.5
        return tuple(clamp((lift + (1 - lift) * (0.5 + 0.5 * math.sin(2 * math.pi * (f * t + ph))))
                           * 255 * light) for f, ph in zip(freqs, phases))
    return ramp(colour)


def power(r, g, b):
    """Each channel a power curve: small exponents light up early."""
    return ramp(lambda t: (clamp(255 * t ** r), clamp(255 * t ** g), clamp(255 * t ** b)))


PALETTES = [
    ("VOLCANO.MAP", "black through deep red, orange and yellow to white",
     gradient((0, "000000"), (60, "3c0000"), (110, "9c0c00"), (150, "e04800"),
              (190, "ff9800"), (225, "ffe040"), (255, "ffffff"))),
    ("EMBERS.MAP", "dying coals: black, smouldering red, a little orange",
     gradient((0, "000000"), (90, "2a0400"), (170, "8a1a04"), (225, "d45a10"), (255, "ffb050"))),
    ("INFERNO.MAP", "night purple into crimson, orange and pale yellow",
     gradient((0, "000004"), (50, "1f0c48"), (100, "6a176e"), (150, "bc3754"),
              (200, "f37819"), (235, "f6d746"), (255, "fcffa4"))),
    ("MAGMA.MAP", "black, plum, rose and cream",
     gradient((0, "000004"), (64, "2c115f"), (128, "b63679"), (192, "fb8861"), (255, "fcfdbf"))),
    ("BLUEFIRE.MAP", "a gas flame: black, deep blue, cyan, white",
     gradient((0, "000000"), (70, "000a40"), (140, "0040c0"), (200, "20b0ff"), (255, "ffffff"))),
    ("GREENFIR.MAP", "copper-salt flame: black, green, lime, white",
     gradient((0, "000000"), (80, "002a08"), (150, "10a030"), (210, "a0ff40"), (255, "ffffff"))),
    ("GLACIER.MAP", "black, steel blue, ice cyan, snow",
     gradient((0, "000000"), (80, "0a1e3c"), (150, "3a78b4"), (210, "a0e0f0"), (255, "ffffff"))),
    ("ARCTIC.MAP", "polar night to pale ice, soft and cold",
     gradient((0, "02040a"), (100, "1c3a5a"), (180, "7aa8c8"), (255, "f0fcff"), ease=True)),
    ("AURORA.MAP", "night sky, green curtains, violet edges",
     gradient((0, "000008"), (60, "001a20"), (120, "00a060"), (170, "40ffa0"),
              (215, "a060ff"), (255, "ffe0ff"))),
    ("NEON.MAP", "black, hot magenta, electric cyan, white",
     gradient((0, "000000"), (70, "3a0040"), (130, "ff00c0"), (190, "00e0ff"), (255, "ffffff"))),
    ("SUNSET.MAP", "dusk: indigo, rose, orange, the last gold",
     gradient((0, "050010"), (60, "2a0a40"), (120, "a02050"), (175, "ff6030"),
              (220, "ffb040"), (255, "fff0b0"))),
    ("TWILIGHT.MAP", "deep navy, lavender and a faint peach",
     gradient((0, "000010"), (90, "1a1a50"), (170, "8070b0"), (230, "e0b0c0"), (255, "fff0e8"),
              ease=True)),
    ("OCEAN.MAP", "the deep, teal water, foam",
     gradient((0, "000008"), (80, "001c3c"), (150, "006080"), (210, "30b0b0"), (255, "e0fff8"))),
    ("DEEPSEA.MAP", "abyssal blue with glowing plankton green at the top",
     gradient((0, "000000"), (120, "001030"), (190, "003a70"), (235, "00c0a0"), (255, "c0ffe0"))),
    ("FOREST.MAP", "dark moss, leaf green, sunlit yellow-green",
     gradient((0, "000000"), (70, "0a1a04"), (140, "2a5a10"), (200, "70a030"), (255, "e8f8a0"))),
    ("JUNGLE.MAP", "shadow, emerald, lime, bright yellow",
     gradient((0, "000400"), (90, "003818"), (160, "00904a"), (215, "90e020"), (255, "ffff80"))),
    ("GOLD.MAP", "black, bronze, gold, bright gilt",
     gradient((0, "000000"), (80, "2a1800"), (150, "8a6010"), (210, "e0b030"), (255, "fff4c0"))),
    ("COPPER.MAP", "dark oxide, copper, polished salmon",
     power(0.8, 1.6, 2.6)),
    ("SILVER.MAP", "plain grey ramp from black to white",
     ramp(lambda t: (clamp(255 * t),) * 3)),
    ("AMBER.MAP", "an amber monitor: black to glowing amber",
     power(0.9, 1.3, 3.5)),
    ("PHOSPHOR.MAP", "a green monitor: black to phosphor green",
     ramp(lambda t: (clamp(200 * t ** 2.4), clamp(255 * t ** 0.9), clamp(160 * t ** 2.0)))),
    ("SEPIA.MAP", "old photograph browns from black to cream",
     ramp(lambda t: (clamp(255 * t ** 0.85), clamp(235 * t ** 1.0), clamp(200 * t ** 1.3)))),
    ("ULTRAVIO.MAP", "black light: black, violet, lilac",
     gradient((0, "000000"), (90, "1a0040"), (170, "6a20d0"), (225, "c080ff"), (255, "f8e8ff"))),
    ("NEBULA.MAP", "space dust: black, indigo, magenta, pink and starlight",
     gradient((0, "000000"), (50, "0a0420"), (110, "301060"), (160, "902080"),
              (210, "ff6090"), (255, "fff0f0"))),
    ("TOXIC.MAP", "radioactive sludge: black, olive, acid green",
     gradient((0, "000000"), (90, "101800"), (170, "508000"), (225, "b0ff00"), (255, "f8ffc0"))),
    ("ELECTRIC.MAP", "lightning: black, violet-blue, ice white",
     ramp(lambda t: (clamp(255 * t ** 2.2), clamp(255 * t ** 1.6), clamp(255 * t ** 0.6)))),
    ("STORM.MAP", "thunder clouds: slate greys with a yellow flash",
     gradient((0, "000000"), (120, "283038"), (200, "707c88"), (240, "d8dcc0"), (255, "ffff80"))),
    ("DESERT.MAP", "night dune, sand, sun-bleached ochre",
     gradient((0, "000000"), (80, "301808"), (150, "8a5a28"), (210, "d8a860"), (255, "fff0c8"))),
    ("SAKURA.MAP", "plum bark to cherry blossom pink and white",
     gradient((0, "000000"), (80, "2a0818"), (150, "a03c68"), (210, "f0a0c0"), (255, "fff4f8"))),
    ("CORAL.MAP", "reef: deep teal, coral orange, pale pink",
     gradient((0, "000408"), (80, "00303a"), (150, "d05040"), (210, "ff9070"), (255, "fff0e8"))),
    ("PEACOCK.MAP", "black, royal blue, teal, gold-green",
     gradient((0, "000000"), (70, "000a40"), (130, "0040a0"), (180, "00a090"),
              (225, "a0c030"), (255, "f8f8b0"))),
    ("FIREICE.MAP", "black, ice blue at the middle, fire to white at the top",
     gradient((0, "000000"), (60, "001040"), (110, "40a0ff"), (130, "0a0a20"),
              (180, "a01000"), (225, "ff9000"), (255, "ffffff"))),
    ("RAINBOW.MAP", "every hue in turn, brightening from black",
     ramp(lambda t: hsv(t * 1.0, 0.9, min(1.0, 0.15 + 1.2 * t)) if t > 0 else (0, 0, 0))),
    ("PRISM.MAP", "two turns through the hues at full brightness, black at 0",
     ramp(lambda t: hsv(t * 2.0, 1.0, min(1.0, t * 8.0)))),
    ("PLASMA1.MAP", "plasma cycle: three waves out of step, darker at the bottom",
     waves((3.0, 2.0, 4.0), (0.0, 0.33, 0.66), fade=0.9)),
    ("PLASMA2.MAP", "plasma cycle: soft pastel waves",
     waves((2.0, 3.0, 5.0), (0.75, 0.1, 0.4), lift=0.25, fade=0.7)),
    ("PSYCHO.MAP", "fast colour bands for wild kaleidoscopes",
     waves((7.0, 9.0, 11.0), (0.0, 0.25, 0.5), fade=0.5)),
    ("CANDY.MAP", "sugar stripes of pink, mint and lemon over a dark base",
     waves((4.0, 4.0, 4.0), (0.0, 0.33, 0.66), lift=0.4, fade=0.85)),
]


def lit_early(colours, floor=24, at=6):
    """Shortens a palette's dark end: index 0 keeps its colour, and the indices from 1 on run
    through the rest of the palette from its first colour brighter than floor, reached by
    index at. Flames and tables lower the index a few steps a frame, so a palette that stays
    near black for its first 60 or 80 indices turns the trails black within a few frames."""
    first = next((i for i, c in enumerate(colours) if max(c) > floor), 0)
    if first <= at:
        return colours
    out = [colours[0]]
    for i in range(1, 256):
        if i < at:
            t = first * i / at
        else:
            t = first + (255 - first) * (i - at) / (255 - at)
        lo = int(t)
        hi = min(255, lo + 1)
        f = t - lo
        out.append(tuple(clamp(a + (b - a) * f) for a, b in zip(colours[lo], colours[hi])))
    return out


def render(name, description, colours):
    lines = []
    for index, (r, g, b) in enumerate(colours):
        line = "%d %d %d" % (r, g, b)
        if index == 0:
            line += "  %s - %s" % (name, description)
        lines.append(line + "\r\n")
    return "".join(lines).encode("ascii")


def generate():
    files = {}
    for name, description, colours in PALETTES:
        assert len(colours) == 256 and name not in files
        assert all(0 <= c <= 255 for rgb in colours for c in rgb)
        files[name] = render(name, description, lit_early(colours))
    return files


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--output", default=MAPS, help="folder to write into")
    parser.add_argument("--check", metavar="FOLDER", help="compare instead of writing")
    args = parser.parse_args()
    files = generate()
    if args.check:
        present = {n for n in os.listdir(args.check) if n.lower().endswith(".map")}
        problems = ["missing or extra: %s" % n for n in sorted(present ^ set(files))]
        for name in sorted(present & set(files)):
            with open(os.path.join(args.check, name), "rb") as f:
                if f.read() != files[name]:
                    problems.append("differs: %s" % name)
        for p in problems:
            print(p)
        print("%d palettes checked, %d problems" % (len(files), len(problems)))
        return 1 if problems else 0
    os.makedirs(args.output, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(args.output, name), "wb") as f:
            f.write(data)
    print("%d palettes written to %s" % (len(files), args.output))
    return 0


if __name__ == "__main__":
    sys.exit(main())
