#!/usr/bin/env bash
# The long soak of the plug-in under Wine, in our host: every key command at random moments,
# random changes, the song text, the intro and pictures on every beat, title and position
# changes, tables and a forbidden display (the Wine test Soak of tests/wine/test_selection.py,
# run far longer than in the suite). It must end cleanly, with no dialog and no fault in the
# error log. Runs on the Windows build this machine can run, which must be built
# (scripts/test.sh, or cmake --preset <build> && cmake --build --preset <build>, and the native
# preset for the table writer).
#   scripts/wine_soak.sh [FRAMES]      (default 20000: more than eight minutes of music)
set -euo pipefail
cd "$(dirname "$0")/.."
frames=${1:-20000}
build=$(python3 scripts/windows_build.py)
work=$PWD/build/native/wine-soak-$build
state=$work/state.json
export QUORBEL_WINE_STATE=$state QUORBEL_WINDOWS_DIR=$PWD/build/$build QUORBEL_SOURCE_DIR=$PWD
export QUORBEL_WINE_SOAK_FRAMES=$frames PYTHONDONTWRITEBYTECODE=1
echo "wine_soak: $frames frames on the $build build"
python3 tests/wine/harness.py setup --state "$state" --work "$work" --windows "build/$build" \
    --build "$build"
status=0
(cd tests/wine && python3 -m unittest -v test_selection.Soak) || status=$?
python3 tests/wine/harness.py cleanup --state "$state"
exit $status
