#!/usr/bin/env bash
# Builds one sanitizer preset and runs the native suite in it through ctest:
#
#   scripts/sanitize.sh asan    # AddressSanitizer + UBSan + LeakSanitizer, in build/asan
#   scripts/sanitize.sh tsan    # ThreadSanitizer, in build/tsan
#
# The suite is the native one: unit tests, the tools run as processes, the data checks and the
# short soak (the Wine tests, the checks of the Windows builds' files and the fuzz runs stay in
# build/native). Every finding stops its test. Needs clang and its runtimes
# (scripts/setup.sh installs them). QUORBEL_WERROR=ON makes warnings errors, QUORBEL_JOBS sets
# the parallel jobs (2).
set -euo pipefail
cd "$(dirname "$0")/.."

preset=${1:-}
case "$preset" in
asan | tsan) ;;
*)
    echo "usage: scripts/sanitize.sh asan|tsan" >&2
    exit 2
    ;;
esac
werror=${QUORBEL_WERROR:-OFF}
jobs=${QUORBEL_JOBS:-2}

mkdir -p build
cmake --preset "$preset" -DQUORBEL_WERROR="$werror" > "build/configure-$preset.log" 2>&1 ||
    { cat "build/configure-$preset.log"; exit 1; }
cmake --build --preset "$preset" -j "$jobs"
ctest --test-dir "build/$preset" --output-on-failure -j "$jobs"
