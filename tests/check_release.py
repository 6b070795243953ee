#!/usr/bin/env python3
"""Checks the release archive of a Windows build (quorbel-4-winamp.zip of the 32-bit build,
quorbel-4-winamp-x64.zip of the 64-bit one): one top folder
Quorbel-4-Winamp holding exactly the plug-in in Plugins/, gbm.dll, the three tools in tools/,
every data file of maps/, objs/ and pics/, the tabs/ folder and README.txt; every file the same
bytes as the one it comes from; README.txt with Windows line ends. Nothing else: no test
build of the plug-in, no host player.

Usage: check_release.py BUILD_FOLDER SOURCE_FOLDER [ARCHIVE_NAME]"""
import os
import sys
import zipfile

TOP = "Quorbel-4-Winamp/"


def main():
    build, source = sys.argv[1], sys.argv[2]
    name = sys.argv[3] if len(sys.argv) > 3 else "quorbel-4-winamp.zip"
    path = os.path.join(build, name)
    if not os.path.exists(path):
        print(f"missing: {path}")
        return 1
    expected = {
        "Plugins/vis_quorbel.dll": os.path.join(build, "plugin/win32/vis_quorbel.dll"),
        "gbm.dll": os.path.join(build, "gbm/gbm.dll"),
    }
    for tool in ("spiralmaker", "hurricanemaker", "spaceflightmaker"):
        expected[f"tools/{tool}.exe"] = os.path.join(build, f"tools/{tool}.exe")
    for folder in ("maps", "objs", "pics"):
        for name in os.listdir(os.path.join(source, "data", folder)):
            expected[f"{folder}/{name}"] = os.path.join(source, "data", folder, name)

    problems = []
    with zipfile.ZipFile(path) as archive:
        names = archive.namelist()
        outside = [n for n in names if not n.startswith(TOP)]
        if outside:
            problems.append(f"entries outside {TOP}: {outside[:5]}")
        files = {n[len(TOP):]: n for n in names if n.startswith(TOP) and not n.endswith("/")}
        for inner, origin in sorted(expected.items()):
            if inner not in files:
                problems.append(f"missing: {inner}")
                continue
            with open(origin, "rb") as f:
                if archive.read(files[inner]) != f.read():
                    problems.append(f"differs from {origin}: {inner}")
        extra = sorted(set(files) - set(expected) - {"README.txt", "tabs/README.txt"})
        if extra:
            problems.append(f"unexpected files: {extra}")
        if not any(n == TOP + "tabs/" or n.startswith(TOP + "tabs/") for n in names):
            problems.append("no tabs/ folder")
        if "README.txt" not in files:
            problems.append("missing: README.txt")
        else:
            text = archive.read(files["README.txt"])
            if b"\n" not in text or text.replace(b"\r\n", b"").count(b"\n"):
                problems.append("README.txt does not have Windows line ends throughout")
            if b"vis_quorbel.dll" not in text:
                problems.append("README.txt does not say where the plug-in goes")
    for problem in problems:
        print(problem)
    if not problems:
        print(f"{path}: {len(expected)} files and README.txt as expected")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
