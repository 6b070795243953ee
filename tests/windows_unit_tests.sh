#!/bin/sh
# Runs a Windows build's unit tests (quorbel_windows_tests.exe: the flames, the frame copy and
# the effects, with the loops that build chooses) under Wine, in a prefix of their own.
# Usage: windows_unit_tests.sh EXE WORK_FOLDER [GTEST_OPTION...]
# QUORBEL_WINE_LOADER and QUORBEL_WINE_SERVER name the Wine programs for the build.
set -u
exe=$1
work=$2
shift 2
loader=${QUORBEL_WINE_LOADER:-wine}
server=${QUORBEL_WINE_SERVER:-wineserver}
[ -f "$exe" ] || { echo "missing: $exe (build the Windows preset)"; exit 1; }
command -v "$loader" >/dev/null 2>&1 || { echo "$loader is not installed"; exit 1; }
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$work"
"$loader" "$exe" --gtest_brief=0 "$@"
status=$?
"$server" -w 2>/dev/null
exit $status
