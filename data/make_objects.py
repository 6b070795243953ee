#!/usr/bin/env python3
"""Makes Quorbel's letter objects (data/objs/*.obj) from the glyphs below.

Each glyph is drawn on a grid of 5 x 7 cells (fewer for small punctuation). A cell is empty
("."), full ("#") or one of the four half-cell triangles that give the diagonals and rounded
corners:

    ◤ upper-left half   ◥ upper-right half   ◣ lower-left half   ◢ lower-right half

The outline of the filled area (its edges between filled and empty, straight runs merged) is
the front of the letter at z = 0; the same outline at z = DEPTH is its back, and every corner
of the outline is joined front to back by a depth edge, so the letter reads as a solid block
when the "Objects" wave turns it about the vertical axis. One grid cell is one unit: the wave
draws objects with a small extent large, so a unit grid gives letters about half the frame
high.

Letters are made once, in capitals, as "A.obj" .. "Z.obj": on Windows "a.obj" is the same file,
and the plug-in tries the other case when a letter's own file is missing, so small letters
find them natively too. Characters that cannot stand in a Windows file name get a name
(slash.obj, question.obj, ...), the same names the plug-in looks for.

Usage: make_objects.py [OUTPUT_FOLDER]     write the objects (default: objs beside this file)
       make_objects.py --check FOLDER      exit 1 unless FOLDER holds exactly these files
"""

import os
import sys

DEPTH = 2

# Names for the characters that cannot be part of a Windows file name.
RESERVED_NAMES = {
    "\\": "backslash",
    "/": "slash",
    ":": "colon",
    "*": "asterisk",
    "?": "question",
    '"': "quote",
    "<": "less",
    ">": "greater",
    "|": "bar",
}

GLYPHS = {
    "A": """
        .◢#◣.
        ◢◤.◥◣
        #...#
        #...#
        #####
        #...#
        #...#""",
    "B": """
        ####◣
        #...#
        #...#
        ####◤
        #...#
        #...#
        ####◤""",
    "C": """
        ◢###◣
        #...#
        #....
        #....
        #....
        #...#
        ◥###◤""",
    "D": """
        ###◣.
        #..◥◣
        #...#
        #...#
        #...#
        #..◢◤
        ###◤.""",
    "E": """
        #####
        #....
        #....
        ####.
        #....
        #....
        #####""",
    "F": """
        #####
        #....
        #....
        ####.
        #....
        #....
        #....""",
    "G": """
        ◢###◣
        #...#
        #....
        #.###
        #...#
        #...#
        ◥###◤""",
    "H": """
        #...#
        #...#
        #...#
        #####
        #...#
        #...#
        #...#""",
    "I": """
        .###.
        ..#..
        ..#..
        ..#..
        ..#..
        ..#..
        .###.""",
    "J": """
        ..###
        ...#.
        ...#.
        ...#.
        ...#.
        #..#.
        ◥##◤.""",
    "K": """
        #...#
        #..◢◤
        #.◢◤.
        ##◤..
        #◥◣..
        #.◥◣.
        #..◥◣""",
    "L": """
        #....
        #....
        #....
        #....
        #....
        #....
        #####""",
    "M": """
        #◣.◢#
        #◥#◤#
        #.#.#
        #...#
        #...#
        #...#
        #...#""",
    "N": """
        #...#
        #◣..#
        #◥◣.#
        #.◥◣#
        #..◥#
        #...#
        #...#""",
    "O": """
        ◢###◣
        #...#
        #...#
        #...#
        #...#
        #...#
        ◥###◤""",
    "P": """
        ####◣
        #...#
        #...#
        ####◤
        #....
        #....
        #....""",
    "Q": """
        ◢###◣
        #...#
        #...#
        #...#
        #.◥◣#
        #..◥#
        ◥###◣""",
    "R": """
        ####◣
        #...#
        #...#
        ####◤
        #.◥◣.
        #..◥◣
        #...#""",
    "S": """
        ◢###◣
        #...#
        #....
        ◥###◣
        ....#
        #...#
        ◥###◤""",
    "T": """
        #####
        ..#..
        ..#..
        ..#..
        ..#..
        ..#..
        ..#..""",
    "U": """
        #...#
        #...#
        #...#
        #...#
        #...#
        #...#
        ◥###◤""",
    "V": """
        #...#
        #...#
        #...#
        #...#
        ◥◣.◢◤
        .◥#◤.
        ..#..""",
    "W": """
        #...#
        #...#
        #...#
        #...#
        #.#.#
        #◢#◣#
        #◤.◥#""",
    "X": """
        #...#
        ◥◣.◢◤
        .◥#◤.
        ..#..
        .◢#◣.
        ◢◤.◥◣
        #...#""",
    "Y": """
        #...#
        ◥◣.◢◤
        .◥#◤.
        ..#..
        ..#..
        ..#..
        ..#..""",
    "Z": """
        #####
        ...◢◤
        ..◢◤.
        .◢◤..
        ◢◤...
        ◤....
        #####""",
    "0": """
        ◢###◣
        #...#
        #..◢#
        #.◢◤#
        #◢◤.#
        #◤..#
        ◥###◤""",
    "1": """
        .◢#..
        ◢◤#..
        ..#..
        ..#..
        ..#..
        ..#..
        .###.""",
    "2": """
        ◢###◣
        #...#
        ...◢◤
        ..◢◤.
        .◢◤..
        ◢◤...
        #####""",
    "3": """
        ◢###◣
        #...#
        ....#
        ..##◤
        ....#
        #...#
        ◥###◤""",
    "4": """
        ...◢#
        ..◢◤#
        .◢◤.#
        ◢◤..#
        #####
        ....#
        ....#""",
    "5": """
        #####
        #....
        ####◣
        ....#
        ....#
        #...#
        ◥###◤""",
    "6": """
        ◢###◣
        #....
        #....
        ####◣
        #...#
        #...#
        ◥###◤""",
    "7": """
        #####
        ....#
        ...◢◤
        ..◢◤.
        ..#..
        ..#..
        ..#..""",
    "8": """
        ◢###◣
        #...#
        ◥###◤
        ◢###◣
        #...#
        #...#
        ◥###◤""",
    "9": """
        ◢###◣
        #...#
        #...#
        ◥####
        ....#
        #...#
        ◥###◤""",
    "!": """
        #
        #
        #
        #
        #
        .
        #""",
    '"': """
        #.#
        #.#""",
    "#": """
        .#.#.
        .#.#.
        #####
        .#.#.
        #####
        .#.#.
        .#.#.""",
    "$": """
        ..#..
        ◢###◣
        #.#..
        ◥###◣
        ..#.#
        ◥###◤
        ..#..""",
    "%": """
        ##..#
        ##.◢◤
        ..◢◤.
        .◢◤..
        ◢◤.##
        ◤..##""",
    "&": """
        .##..
        #..#.
        #.#..
        .#...
        #.#.#
        #..#.
        .##.#""",
    "'": """
        #
        #
        ◤""",
    "(": """
        .◢◤
        ◢◤.
        #..
        #..
        #..
        ◥◣.
        .◥◣""",
    "*": """
        ◥◣#◢◤
        .◥#◤.
        #####
        .◢#◣.
        ◢◤#◥◣""",
    "+": """
        ..#..
        ..#..
        #####
        ..#..
        ..#..""",
    ",": """
        ##
        ##
        .#
        ◢◤""",
    "-": """
        ###""",
    ".": """
        ##
        ##""",
    "/": """
        ....◢
        ...◢◤
        ..◢◤.
        .◢◤..
        ◢◤...
        ◤....""",
    ":": """
        ##
        ##
        ..
        ##
        ##""",
    ";": """
        ##
        ##
        ..
        ##
        ##
        .#
        ◢◤""",
    "<": """
        ..◢◤
        .◢◤.
        ◢◤..
        ◥◣..
        .◥◣.
        ..◥◣""",
    "=": """
        #####
        .....
        #####""",
    "?": """
        ◢###◣
        #...#
        ....#
        ..◢#◤
        ..#..
        .....
        ..#..""",
    "@": """
        ◢###◣
        #...#
        #.###
        #.#.#
        #.###
        #....
        ◥####""",
    "[": """
        ###
        #..
        #..
        #..
        #..
        #..
        ###""",
    "^": """
        .◢#◣.
        ◢◤.◥◣""",
    "_": """
        #####""",
    "`": """
        ◥◣.
        .◥◣""",
    "{": """
        ..◢#
        ..#.
        .◢◤.
        ##..
        .◥◣.
        ..#.
        ..◥#""",
    "|": """
        #
        #
        #
        #
        #
        #
        #""",
    "~": """
        ◢#◣.#
        #.◥#◤""",
}

# Mirror images left to right.
MIRRORED = {")": "(", "]": "[", "}": "{", ">": "<", "\\": "/"}
MIRROR_CELL = {"◤": "◥", "◥": "◤", "◣": "◢", "◢": "◣", "#": "#", ".": "."}


def glyph_rows(character):
    if character in MIRRORED:
        rows = glyph_rows(MIRRORED[character])
        return ["".join(MIRROR_CELL[c] for c in reversed(row)) for row in rows]
    rows = [line.strip() for line in GLYPHS[character].strip("\n").splitlines()]
    width = len(rows[0])
    for row in rows:
        if len(row) != width or any(c not in MIRROR_CELL for c in row):
            raise ValueError("glyph %r has a bad row %r" % (character, row))
    return rows


# The corners of each cell shape, in one winding (clockwise on the screen, y down), as offsets.
SHAPES = {
    "#": [(0, 0), (1, 0), (1, 1), (0, 1)],
    "◤": [(0, 0), (1, 0), (0, 1)],
    "◥": [(0, 0), (1, 0), (1, 1)],
    "◢": [(1, 0), (1, 1), (0, 1)],
    "◣": [(0, 0), (1, 1), (0, 1)],
}


def outline(rows):
    """The boundary of the filled area as merged straight segments ((x1, y1), (x2, y2))."""
    edges = {}
    for y, row in enumerate(rows):
        for x, cell in enumerate(row):
            if cell == ".":
                continue
            corners = [(x + dx, y + dy) for dx, dy in SHAPES[cell]]
            for a, b in zip(corners, corners[1:] + corners[:1]):
                # An edge shared by two filled shapes is run once each way and cancels.
                if (b, a) in edges:
                    del edges[(b, a)]
                else:
                    edges[(a, b)] = True
    # Merge runs: at a point where exactly one edge arrives and one leaves in the same
    # direction, the two become one.
    segments = [list(e) for e in edges]
    changed = True
    while changed:
        changed = False
        touching = {}
        for s in segments:
            for p in s:
                touching.setdefault(p, []).append(s)
        for p, at in sorted(touching.items()):
            if len(at) != 2:
                continue
            first, second = at
            if first[1] == p and second[0] == p:
                a, b = first, second
            elif second[1] == p and first[0] == p:
                a, b = second, first
            else:
                continue
            d1 = (p[0] - a[0][0], p[1] - a[0][1])
            d2 = (b[1][0] - p[0], b[1][1] - p[1])
            if d1[0] * d2[1] - d1[1] * d2[0] != 0 or d1[0] * d2[0] + d1[1] * d2[1] <= 0:
                continue
            segments.remove(a)
            segments.remove(b)
            segments.append([a[0], b[1]])
            changed = True
            break
    return sorted((tuple(s[0]), tuple(s[1])) for s in segments)


def object_text(character):
    front = outline(glyph_rows(character))
    corners = sorted({p for s in front for p in s})
    lines = [
        "# Quorbel letter object for %r: front and back outlines joined by depth edges." % character,
        "# Made by data/make_objects.py; change the glyphs there, not this file.",
    ]
    for z in (0, DEPTH):
        for (x1, y1), (x2, y2) in front:
            lines.append("%d,%d,%d - %d,%d,%d" % (x1, y1, z, x2, y2, z))
    for x, y in corners:
        lines.append("%d,%d,%d - %d,%d,%d" % (x, y, 0, x, y, DEPTH))
    return "\n".join(lines) + "\n"


def file_name(character):
    return RESERVED_NAMES.get(character, character) + ".obj"


def all_objects():
    characters = sorted(set(GLYPHS) | set(MIRRORED))
    return {file_name(c): object_text(c) for c in characters}


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    objects = all_objects()
    if len(argv) == 3 and argv[1] == "--check":
        folder = argv[2]
        present = sorted(n for n in os.listdir(folder) if n.endswith(".obj"))
        problems = []
        if present != sorted(objects):
            problems.append("files differ: extra %s, missing %s" % (
                sorted(set(present) - set(objects)), sorted(set(objects) - set(present))))
        for name, text in sorted(objects.items()):
            path = os.path.join(folder, name)
            if os.path.exists(path):
                with open(path, "rb") as f:
                    if f.read() != text.encode("ascii"):
                        problems.append("%s differs from what the glyphs make" % name)
        for p in problems:
            print(p)
        print("%d objects checked, %d problems" % (len(objects), len(problems)))
        return 1 if problems else 0
    if len(argv) > 2:
        print(__doc__)
        return 2
    folder = argv[1] if len(argv) == 2 else os.path.join(here, "objs")
    os.makedirs(folder, exist_ok=True)
    for name, text in objects.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(text.encode("ascii"))
    print("%d objects written to %s" % (len(objects), folder))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
