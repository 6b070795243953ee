#!/usr/bin/env python3
"""Checks the import and export tables of a Windows build: the plug-in, gbm.dll and the
table tools are programs of the build's machine (i386 for win32, x86-64 for win64) that import
only system DLLs (the C and C++ runtimes and
winpthread are linked in, so a user copies one DLL and nothing else), the plug-in imports
gbm.dll besides, and the plug-in exports exactly winampVisGetHeader.

Usage: check_dll_tables.py BUILD_FOLDER [win32|win64]   (default win32)
Every file is required: a missing build fails. The check reads the files only, so it runs on
any machine."""
import os
import struct
import sys

# DLLs that every Windows system has (compared without regard to case).
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "comctl32.dll", "ddraw.dll",
    "msvcrt.dll", "winmm.dll", "shell32.dll", "ole32.dll", "oleaut32.dll", "comdlg32.dll",
    "ntdll.dll", "version.dll", "shlwapi.dll", "ucrtbase.dll",
}
MACHINES = {"win32": (0x14C, "i386"), "win64": (0x8664, "x86-64")}

# Relative path in the build, the DLLs of ours it may import besides the system ones, and
# the exact export names (None: not checked).
FILES = [
    ("plugin/win32/vis_quorbel.dll", {"gbm.dll"}, ["winampVisGetHeader"]),
    ("plugin/win32/vis_quorbel_test.dll", {"gbm.dll"}, ["winampVisGetHeader"]),
    ("gbm/gbm.dll", set(), None),
    ("tools/spiralmaker.exe", set(), None),
    ("tools/hurricanemaker.exe", set(), None),
    ("tools/spaceflightmaker.exe", set(), None),
]


class PEError(Exception):
    pass


class PEFile:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise PEError("no MZ header")
        pe = self.u32(0x3C)
        if d[pe:pe + 4] != b"PE\0\0":
            raise PEError("no PE signature")
        self.machine, sections = struct.unpack_from("<HH", d, pe + 4)
        optional_size = struct.unpack_from("<H", d, pe + 20)[0]
        optional = pe + 24
        magic = struct.unpack_from("<H", d, optional)[0]
        if magic == 0x10B:
            count_at, directories = optional + 92, optional + 96
        elif magic == 0x20B:
            count_at, directories = optional + 108, optional + 112
        else:
            raise PEError(f"unknown optional header magic 0x{magic:x}")
        self.directories = []
        for i in range(self.u32(count_at)):
            self.directories.append(struct.unpack_from("<II", d, directories + 8 * i))
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            at = table + 40 * i
            virtual_size, address, raw_size, raw = struct.unpack_from("<IIII", d, at + 8)
            self.sections.append((address, max(virtual_size, raw_size), raw, raw_size))

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def offset(self, rva):
        for address, size, raw, raw_size in self.sections:
            if address <= rva < address + size:
                if rva - address >= raw_size:
                    raise PEError(f"RVA 0x{rva:x} lies in uninitialised data")
                return raw + rva - address
        raise PEError(f"RVA 0x{rva:x} is in no section")

    def text(self, rva):
        start = self.offset(rva)
        end = self.data.index(b"\0", start)
        return self.data[start:end].decode("ascii")

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def imports(self):
        """Names of the imported DLLs, ordinary and delay-loaded."""
        names = []
        rva, size = self.directory(1)
        if rva and size:
            at = self.offset(rva)
            while True:
                descriptor = struct.unpack_from("<IIIII", self.data, at)
                if not any(descriptor):
                    break
                names.append(self.text(descriptor[3]))
                at += 20
        rva, size = self.directory(13)
        if rva and size:
            at = self.offset(rva)
            while True:
                descriptor = struct.unpack_from("<8I", self.data, at)
                if not any(descriptor):
                    break
                names.append(self.text(descriptor[1]))
                at += 32
        return names

    def exports(self):
        """(number of exported functions, their names)."""
        rva, size = self.directory(0)
        if not rva or not size:
            return 0, []
        at = self.offset(rva)
        functions, count, functions_rva, names_rva = struct.unpack_from("<IIII", self.data,
                                                                          at + 20)
        names = []
        if count:
            names_at = self.offset(names_rva)
            for i in range(count):
                names.append(self.text(self.u32(names_at + 4 * i)))
        # Functions with an address of 0 are unused slots of the ordinal table.
        functions_at = self.offset(functions_rva) if functions else 0
        used = sum(1 for i in range(functions) if self.u32(functions_at + 4 * i))
        return used, names


def check_file(path, ours, exports, build="win32"):
    problems = []
    pe = PEFile(path)
    machine, machine_name = MACHINES[build]
    if pe.machine != machine:
        problems.append(f"machine 0x{pe.machine:x}, not {machine_name}")
    allowed = SYSTEM_DLLS | ours
    for name in pe.imports():
        if name.lower() not in allowed:
            problems.append(f"imports {name}, which is not a system DLL")
    if exports is not None:
        count, names = pe.exports()
        if sorted(names) != sorted(exports) or count != len(exports):
            problems.append(f"exports {count} functions named {names}, expected exactly "
                            f"{exports}")
    return problems


def main(argv):
    if len(argv) not in (2, 3) or (len(argv) == 3 and argv[2] not in MACHINES):
        print(__doc__, file=sys.stderr)
        return 2
    folder = argv[1]
    build = argv[2] if len(argv) == 3 else "win32"
    failures = 0
    for relative, ours, exports in FILES:
        path = os.path.join(folder, relative)
        if not os.path.isfile(path):
            print(f"FAIL {relative}: missing (cmake --preset {build} && "
                  f"cmake --build --preset {build})")
            failures += 1
            continue
        try:
            problems = check_file(path, ours, exports, build)
        except (PEError, struct.error, ValueError, IndexError) as e:
            problems = [f"not a readable PE file: {e}"]
        for problem in problems:
            print(f"FAIL {relative}: {problem}")
        if problems:
            failures += 1
        else:
            print(f"ok   {relative}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
