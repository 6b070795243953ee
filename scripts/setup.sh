#!/usr/bin/env bash
# Installs what building and testing need on Debian: the native toolchain with GoogleTest and
# Google Benchmark, the mingw-w64 cross-compilers for 32- and 64-bit Windows, Wine, Xvfb, clang
# with libFuzzer, giflib (used only by tests) and NSIS (makensis, for the setup program). The
# 32-bit part of Wine (wine32:i386) only where this machine runs 32-bit code; where it cannot be
# had, the Wine tests and the demo use the 64-bit build. Does nothing when everything is present.
#
# Every package comes through apt with its usual verification; nothing is fetched beside it.
set -euo pipefail

# With the argument "demo": only what building and running the Windows build and the native
# program need.
if [ "${1:-}" = demo ]; then
    packages=(cmake ninja-build g++-mingw-w64-x86-64 wine wine64 xvfb xauth python3
              # the native program quorbel, which the demo shows too (the native build's
              # configuration also looks for GoogleTest and Google Benchmark)
              g++ libgtest-dev libgmock-dev libbenchmark-dev libsdl2-dev libsdl2-ttf-dev
              libsndfile1-dev fonts-dejavu-core libfreetype-dev zlib1g-dev libpulse-dev
              libsystemd-dev)
else
    packages=(cmake ninja-build g++ python3 libgtest-dev libgmock-dev libbenchmark-dev
              g++-mingw-w64-i686 g++-mingw-w64-x86-64 xvfb xauth clang libclang-rt-14-dev
              libgif-dev wine wine64 nsis
              # the native program quorbel: window, keys and sound out, sound files, fonts,
              # and for its system sound, titles and tests: PulseAudio and sd-bus
              libsdl2-dev libsdl2-ttf-dev libsndfile1-dev fonts-dejavu-core libfreetype-dev
              zlib1g-dev
              libpulse-dev pulseaudio pulseaudio-utils libsystemd-dev)
fi

# Does the kernel run 32-bit x86 programs? A 32-bit program of 96 bytes that exits with 42.
kernel_runs_32bit() {
    local program status
    program=$(mktemp)
    printf '\177\105\114\106\001\001\001\000\000\000\000\000\000\000\000\000' > "$program"
    printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000' >> "$program"
    printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000' >> "$program"
    printf '\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010' >> "$program"
    printf '\000\200\004\010\140\000\000\000\140\000\000\000\005\000\000\000' >> "$program"
    printf '\000\020\000\000\270\001\000\000\000\273\052\000\000\000\315\200' >> "$program"
    chmod +x "$program"
    status=0
    "$program" 2>/dev/null || status=$?
    rm -f "$program"
    [ "$status" -eq 42 ]
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

runs_32bit=0
if kernel_runs_32bit; then
    runs_32bit=1
    [ "${1:-}" = demo ] && packages+=(g++-mingw-w64-i686)
fi

missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done
want_wine32=0
if [ "$runs_32bit" = 1 ] && ! installed wine32:i386; then want_wine32=1; fi
[ ${#missing[@]} -eq 0 ] && [ "$want_wine32" = 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Run as root, or install them yourself:" >&2
    [ ${#missing[@]} -gt 0 ] &&
        echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends" \
             "${missing[*]}" >&2
    [ "$want_wine32" = 1 ] &&
        echo "  and for the 32-bit build under Wine: sudo dpkg --add-architecture i386 &&" \
             "sudo apt-get update && sudo apt-get install -y wine32:i386" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive

# apt-get update, tried three times: a mirror caught mid-sync fails an index now and then
# ("File has unexpected size"). An index that keeps failing is left out; apt never takes it
# unverified. Returns non-zero when some index could not be fetched.
update() {
    local log attempt
    log=$(mktemp)
    for attempt in 1 2 3; do
        apt-get update -q > "$log" 2>&1 || true
        if ! grep -q '^\(E\|W\): \(Failed to fetch\|Some index files failed\)' "$log"; then
            rm -f "$log"
            return 0
        fi
        echo "apt-get update: some indexes failed (attempt $attempt)" >&2
        if [ "$attempt" -lt 3 ]; then sleep $((attempt * 10)); fi
    done
    grep '^\(E\|W\): ' "$log" >&2 || true
    rm -f "$log"
    return 1
}

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    update || echo "apt-get update: going on with the indexes that could be fetched" >&2
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if [ "$want_wine32" = 1 ]; then
    added_i386=0
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
        added_i386=1
    fi
    update || true
    if ! apt-get install -y -q --no-install-recommends wine32:i386; then
        echo "setup: the 32-bit part of Wine (wine32:i386) cannot be installed from this" \
             "mirror now; going on without it: the Wine tests and the demo use the 64-bit build"
        if [ "$added_i386" = 1 ]; then
            dpkg --remove-architecture i386 2>/dev/null || true
            update > /dev/null 2>&1 || true
        fi
    fi
fi
