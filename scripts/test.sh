#!/usr/bin/env bash
# Sets up, builds everything (native, both Windows builds and fuzzing) and runs every test
# through ctest: the native unit tests, the tools, short fuzz runs, the checks of both Windows
# builds' files and the Wine tests; then the native suite again under AddressSanitizer with
# UBSan and LeakSanitizer, and under ThreadSanitizer (scripts/sanitize.sh). The Wine tests run
# on the 32-bit build (the product) where this machine runs 32-bit code, and on the 64-bit
# build where it does not; then the 32-bit build's Wine tests are reported as skipped, with the
# reason (scripts/windows_build.py).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
mkdir -p build
werror=${QUORBEL_WERROR:-OFF}
jobs=${QUORBEL_JOBS:-2}

wine_build=$(python3 scripts/windows_build.py)
why=$(python3 scripts/windows_build.py --why)
echo "Wine tests run on the $wine_build build${why:+ (the 32-bit build cannot run here: $why)}"
for preset in native win32 win64 fuzz; do
    cmake --preset "$preset" -DQUORBEL_WERROR="$werror" > "build/configure-$preset.log" 2>&1 ||
        { cat "build/configure-$preset.log"; exit 1; }
    cmake --build --preset "$preset" -j "$jobs"
done

ctest --test-dir build/native --output-on-failure -j "$jobs"

# The native suite again under the sanitizers.
for preset in asan tsan; do
    echo "The native suite under the $preset preset"
    QUORBEL_WERROR="$werror" QUORBEL_JOBS="$jobs" scripts/sanitize.sh "$preset"
done
