#!/usr/bin/env bash
# Installs what building and testing need on Debian: the native toolchain with GoogleTest and
# Google Benchmark, the i686 mingw-w64 cross-compiler, Wine with its 32-bit part, Xvfb, clang
# with libFuzzer, and giflib (used only by tests). Does nothing when everything is present.
set -euo pipefail

packages=(cmake ninja-build g++ python3 libgtest-dev libgmock-dev libbenchmark-dev
          g++-mingw-w64-i686 xvfb xauth clang libclang-rt-14-dev libgif-dev
          wine wine32:i386 wine64)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "Run as root, or install them yourself:" >&2
    echo "  sudo dpkg --add-architecture i386 && sudo apt-get update &&" \
         "sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
dpkg --add-architecture i386
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
