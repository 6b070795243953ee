#!/usr/bin/env python3
"""Checks the setup program of a Windows build without running it: quorbel-4-winamp-setup.exe of
the 32-bit build is a 32-bit (i386) NSIS installer, quorbel-4-winamp-x64-setup.exe of the 64-bit
build an x86-64 one, so that each installs for the players of its kind; both carry the version
and the product name. The Wine tests run the one this machine can run.

Usage: check_installer.py BUILD_FOLDER win32|win64"""
import os
import struct
import sys

MACHINES = {"win32": (0x14C, "quorbel-4-winamp-setup.exe"),
            "win64": (0x8664, "quorbel-4-winamp-x64-setup.exe")}


def main():
    build, kind = sys.argv[1], sys.argv[2]
    machine, name = MACHINES[kind]
    path = os.path.join(build, name)
    if not os.path.isfile(path):
        print(f"missing: {path} (makensis missing? scripts/setup.sh installs the Debian "
              "package nsis)")
        return 1
    with open(path, "rb") as f:
        data = f.read()
    problems = []
    if data[:2] != b"MZ":
        problems.append("not a Windows program")
    else:
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            problems.append("no PE header")
        elif struct.unpack_from("<H", data, pe + 4)[0] != machine:
            problems.append(f"machine 0x{struct.unpack_from('<H', data, pe + 4)[0]:x}, "
                            f"not 0x{machine:x}")
    # The NSIS first header: flags, the signature 0xDEADBEEF and "NullsoftInst".
    if b"\xef\xbe\xad\xdeNullsoftInst" not in data:
        problems.append("no NSIS installer data")
    # The version resource, in UTF-16 as Windows keeps it.
    for text in ("Quorbel-4-Winamp", "1.50"):
        if text.encode("utf-16-le") not in data:
            problems.append(f"the version resource lacks {text!r}")
    for problem in problems:
        print(f"{path}: {problem}")
    if not problems:
        print(f"{path}: {kind} NSIS installer, {len(data)} bytes")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
