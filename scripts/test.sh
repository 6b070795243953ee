#!/usr/bin/env bash
# Sets up, builds everything (native, Windows and fuzzing builds) and runs every test through
# ctest: the native unit tests, the tools, short fuzz runs and the Wine tests.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
mkdir -p build
werror=${QUORBEL_WERROR:-OFF}
jobs=${QUORBEL_JOBS:-2}

for preset in native win32 fuzz; do
    cmake --preset "$preset" -DQUORBEL_WERROR="$werror" > "build/configure-$preset.log" 2>&1 ||
        { cat "build/configure-$preset.log"; exit 1; }
    cmake --build --preset "$preset" -j "$jobs"
done

ctest --test-dir build/native --output-on-failure -j "$jobs"
