#!/usr/bin/env python3
"""Which Windows build this machine can run under Wine, and how to start Wine for it.

The product is the 32-bit build (players are 32-bit programs). Some machines run no 32-bit x86
code at all (the kernel's 32-bit emulation is off), and on others the 32-bit part of Wine
cannot be installed; there the same sources, built as 64-bit Windows programs, run under the
64-bit Wine loader instead. The test command, the demo and the Wine test harness all ask here.

As a program:
    windows_build.py                 prints "win32" or "win64": the build to run under Wine
    windows_build.py --why           prints why the 32-bit build cannot run (nothing if it can)
    windows_build.py --skip WHAT     prints "SKIPPED: WHAT: <why>" and exits 77 (ctest's
                                     code for a skipped test)
    windows_build.py --wine BUILD    prints the Wine loader and server for BUILD, one a line
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

WINE32_LOADER = "/usr/lib/wine/wine"
WINE64_LOADER = "/usr/lib/wine/wine64"
WINE64_SERVER = "/usr/lib/wine/wineserver64"

# ctest's code for a test that was skipped.
SKIPPED = 77


def _tiny_32bit_program():
    """A 32-bit x86 Linux program of 96 bytes that exits with status 42."""
    code = bytes([0xB8, 1, 0, 0, 0,      # mov eax, 1 (exit)
                  0xBB, 42, 0, 0, 0,     # mov ebx, 42
                  0xCD, 0x80])           # int 0x80
    base = 0x08048000
    header_size, segment_header_size = 52, 32
    size = header_size + segment_header_size + len(code)
    header = b"\x7fELF" + bytes([1, 1, 1, 0]) + bytes(8)
    header += struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, base + header_size + segment_header_size,
                          header_size, 0, 0, header_size, segment_header_size, 1, 0, 0, 0)
    segment = struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000)
    return header + segment + code


def kernel_32bit_failure():
    """None when the kernel runs a 32-bit x86 program, else how it failed."""
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "exit42")
        with open(path, "wb") as f:
            f.write(_tiny_32bit_program())
        os.chmod(path, 0o755)
        try:
            code = subprocess.run([path], timeout=10).returncode
        except OSError as e:
            return f"'{e.strerror}'"
        except subprocess.TimeoutExpired:
            return "no answer in 10 s"
        return None if code == 42 else f"exit status {code} instead of 42"


def why_not_32bit():
    """None when the 32-bit build can run under Wine here, else the reason in a few words."""
    failure = kernel_32bit_failure()
    if failure:
        return f"this machine's kernel runs no 32-bit x86 code (a 32-bit test program: {failure})"
    if not os.access(WINE32_LOADER, os.X_OK):
        return "the 32-bit part of Wine (wine32:i386) is not installed"
    try:
        answered = subprocess.run([WINE32_LOADER, "--version"], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL, timeout=60).returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        answered = False
    if not answered:
        return f"the 32-bit Wine loader {WINE32_LOADER} does not answer --version"
    return None


def runnable_build():
    return "win32" if why_not_32bit() is None else "win64"


def wine_programs(build):
    """(loader, server) to run the programs of build. The 64-bit ones are named directly:
    /usr/bin/wine and /usr/bin/wineserver pick the 32-bit binaries whenever those exist."""
    if build == "win64":
        return WINE64_LOADER, WINE64_SERVER
    return shutil.which("wine") or "wine", shutil.which("wineserver") or "wineserver"


def wine_environment(build):
    """Variables that keep every process Wine starts (wineboot, explorer, reg) on the loader
    and server of build."""
    if build != "win64":
        return {}
    loader, server = wine_programs(build)
    return {"WINEARCH": "win64", "WINELOADER": loader, "WINESERVER": server}


def main(argv):
    if not argv:
        print(runnable_build())
        return 0
    if argv[0] == "--why" and len(argv) == 1:
        reason = why_not_32bit()
        if reason:
            print(reason)
        return 0
    if argv[0] == "--skip" and len(argv) == 2:
        reason = why_not_32bit() or ("the 32-bit build was not chosen for the Wine tests "
                                     "(QUORBEL_WINE_BUILDS)")
        print(f"SKIPPED: {argv[1]}: {reason}")
        return SKIPPED
    if argv[0] == "--wine" and len(argv) == 2 and argv[1] in ("win32", "win64"):
        print("\n".join(wine_programs(argv[1])))
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
