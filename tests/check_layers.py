#!/usr/bin/env python3
"""Keeps the layers of the source tree: every quoted include of the code under plugin/, host/,
tools/ and gbm/ must name a file of its own folder or of a folder below it, and the portable
core must not include a Windows header.

    check_layers.py [--counts] [SOURCE_DIR]
    check_layers.py --self-test         (the check finds the faults of a small made-up tree)

Folders, from the bottom up (a folder may include from those of a lower rank; folders of the
same rank are side by side and may not include each other):

    gbm                                   the bitmap library
    plugin/base, plugin/resources         process-wide state, settings, files, guards; the
                                          resource numbers
    plugin/effects, plugin/media          what is drawn, and what is loaded
    plugin/control                        selection, favourites, keys, the pages' rules
    plugin/frame                          the frame loop and what it shows
    plugin/posix, plugin/win32,           the platform layers (posix implements base's seams;
    plugin/sdl                            sdl is the native program's window, keys and sound)
    host, tools/common                    the player that loads the plug-in; what the table
                                          tools share
    each other folder under tools/        one table tool

An include is looked up as the compiler does: beside the including file, then in plugin/, in
gbm/ and in tools/common/ (the folders the builds put on the include path). Includes that name
no file of the tree (the C++ and system headers) are not ranked. Prints one line per fault,
"file:line: folder includes upper-folder (path)", and exits 1 when there is any. --counts
also prints how many includes run from each folder to each.
"""

import os
import re
import sys

RANKS = {
    "gbm": 0,
    "plugin/base": 1,
    "plugin/effects": 2,
    "plugin/media": 2,
    "plugin/control": 3,
    "plugin/frame": 4,
    "plugin/posix": 5,
    "plugin/win32": 5,
    "plugin/sdl": 5,
    "plugin/resources": 1,
    "host": 6,
    "tools/common": 6,
}
TOOL_RANK = 7  # every other folder under tools/
CORE = ("plugin/base", "plugin/effects", "plugin/media", "plugin/control", "plugin/frame")
# The platform layers may use what is below them, but posix only implements the seams of base.
ALLOWED_BELOW = {"plugin/posix": {"plugin/base"}}
WINDOWS_HEADERS = {"windows.h", "ddraw.h", "mmsystem.h", "mmreg.h", "commctrl.h", "winreg.h",
                   "winuser.h", "wingdi.h", "winbase.h", "shlobj.h", "shellapi.h", "objbase.h",
                   "process.h", "io.h", "direct.h", "dsound.h", "windowsx.h", "winnt.h",
                   "tchar.h", "excpt.h"}
SEARCH = ("plugin", "gbm", "tools/common")
ROOTS = ("plugin", "host", "tools", "gbm")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCES = (".c", ".cpp", ".h", ".inc", ".rc")


def folder_of(path):
    """The layer folder of a tree-relative path, or None outside the layered folders."""
    parts = path.split("/")
    if parts[0] in ("plugin", "tools") and len(parts) > 2:
        return parts[0] + "/" + parts[1]
    if parts[0] in ("gbm", "host") and len(parts) > 1:
        return parts[0]
    return None


def rank_of(folder):
    if folder in RANKS:
        return RANKS[folder]
    if folder.startswith("tools/"):
        return TOOL_RANK
    return None


def resolve(source_dir, including, name):
    here = os.path.dirname(including)
    for base in (here,) + SEARCH:
        candidate = os.path.normpath(os.path.join(base, name))
        if os.path.isfile(os.path.join(source_dir, candidate)):
            return candidate.replace(os.sep, "/")
    return None


def faults_of(source_dir, path, counts):
    """Yields (line number, text) for every fault of one tree-relative source file; counts the
    includes between folders into counts[(from, to)]."""
    folder = folder_of(path)
    rank = rank_of(folder) if folder else None
    with open(os.path.join(source_dir, path), encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            name = match.group(2)
            if folder in CORE and os.path.basename(name).lower() in WINDOWS_HEADERS:
                yield number, f"{folder} includes the Windows header {name}"
                continue
            if match.group(1) == "<" and name != "gbm.h":
                continue
            target = resolve(source_dir, path, name)
            if target is None or rank is None:
                continue
            other = folder_of(target)
            if other is None:
                continue
            counts[(folder, other)] = counts.get((folder, other), 0) + 1
            if other == folder:
                continue
            other_rank = rank_of(other)
            below = ALLOWED_BELOW.get(folder)
            if other_rank is None or other_rank >= rank or (below and other not in below):
                yield number, f"{folder} includes {other} ({name})"


def check(source_dir, counts):
    faults = []
    for root in ROOTS:
        for directory, _, files in sorted(os.walk(os.path.join(source_dir, root))):
            for name in sorted(files):
                if not name.endswith(SOURCES):
                    continue
                path = os.path.relpath(os.path.join(directory, name), source_dir)
                path = path.replace(os.sep, "/")
                for number, text in faults_of(source_dir, path, counts):
                    faults.append(f"{path}:{number}: {text}")
    return faults


def self_test():
    """Builds a tiny tree with one fault of each kind and one include of each allowed kind,
    and checks that exactly the faults are reported, at their lines."""
    import tempfile
    files = {
        "plugin/base/low.h": "",
        "plugin/media/mid.h": "",
        "plugin/frame/top.h": "",
        "plugin/effects/side.cpp": '#include "base/low.h"\n#include "media/mid.h"\n',
        "plugin/base/low.cpp": '#include "low.h"\n#include <vector>\n#include "frame/top.h"\n',
        "plugin/control/pages.cpp": '#include "media/mid.h"\n#include <Windows.h>\n',
        "plugin/posix/files.cpp": '#include "base/low.h"\n#include "media/mid.h"\n',
        "plugin/win32/ok.cpp": '#include <windows.h>\n#include "frame/top.h"\n',
        "host/main.cpp": '#include "base/low.h"\n',
        "tools/common/shared.h": "",
        "tools/maker/maker.cpp": '#include "shared.h"\n#include "media/mid.h"\n',
        "gbm/gbm.cpp": '#include "base/low.h"\n',
    }
    expected = [
        "gbm/gbm.cpp:1: gbm includes plugin/base (base/low.h)",
        "plugin/base/low.cpp:3: plugin/base includes plugin/frame (frame/top.h)",
        "plugin/control/pages.cpp:2: plugin/control includes the Windows header Windows.h",
        "plugin/effects/side.cpp:2: plugin/effects includes plugin/media (media/mid.h)",
        "plugin/posix/files.cpp:2: plugin/posix includes plugin/media (media/mid.h)",
    ]
    with tempfile.TemporaryDirectory() as root:
        for path, text in files.items():
            os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
            with open(os.path.join(root, path), "w") as f:
                f.write(text)
        found = sorted(check(root, {}))
    if found != expected:
        print("self-test: expected\n  " + "\n  ".join(expected))
        print("found\n  " + "\n  ".join(found))
        return 1
    print("self-test passed")
    return 0


def main(argv):
    if "--self-test" in argv:
        return self_test()
    show_counts = "--counts" in argv
    args = [a for a in argv[1:] if a != "--counts"]
    source_dir = args[0] if args else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    counts = {}
    faults = check(source_dir, counts)
    if show_counts:
        for (a, b), n in sorted(counts.items()):
            print(f"{a:>24} -> {b:<24} {n}")
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) against the layers")
        return 1
    print("layers kept")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
