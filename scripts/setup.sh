#!/usr/bin/env bash
# Installs what building and testing need on Debian: the native toolchain with GoogleTest and
# Google Benchmark, the i686 mingw-w64 cross-compiler, Wine with its 32-bit part, Xvfb, clang
# with libFuzzer, and giflib (used only by tests). Does nothing when everything is present.
set -euo pipefail

# With the argument "demo": only what building the Windows preset and running it needs.
if [ "${1:-}" = demo ]; then
    packages=(cmake ninja-build g++-mingw-w64-i686 wine wine32:i386 wine64 xvfb xauth python3)
else
    packages=(cmake ninja-build g++ python3 libgtest-dev libgmock-dev libbenchmark-dev
              g++-mingw-w64-i686 xvfb xauth clang libclang-rt-14-dev libgif-dev
              wine wine32:i386 wine64)
fi

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
# A mirror caught mid-sync fails an index now and then ("File has unexpected size"): try again,
# and when it keeps failing, take the index file the mirror serves as it is. Its packages are
# still checked against the hashes it lists when they are downloaded.
update_log=$(mktemp)
for attempt in 1 2 3; do
    apt-get update -q 2>&1 | tee "$update_log" || true
    grep -q '^E: ' "$update_log" || break
    echo "apt-get update failed (attempt $attempt)" >&2
    if [ "$attempt" -lt 3 ]; then sleep $((attempt * 10)); fi
done
{ grep -o "^E: Failed to fetch [^ ]*  File has unexpected size" "$update_log" || true; } |
    awk '{print $5}' | while read -r url; do
    name=$(echo "${url%.*}" | sed -e 's|^[a-z]*://||' -e 's|/|_|g')
    echo "Taking $url as the mirror serves it" >&2
    case "$url" in
        *.xz) curl -fsS "$url" | xz -dc > "/var/lib/apt/lists/$name" ;;
        *.gz) curl -fsS "$url" | gzip -dc > "/var/lib/apt/lists/$name" ;;
        *) curl -fsS "$url" > "/var/lib/apt/lists/$name" ;;
    esac || rm -f "/var/lib/apt/lists/$name"
done
rm -f "$update_log"
apt-get install -y -q --no-install-recommends "${missing[@]}"
