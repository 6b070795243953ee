#!/bin/sh
# The Windows builds of the table tools, run under Wine, write byte for byte the files of the
# native builds and end with the same status codes.
# Usage: tools_wine.sh WIN32_TOOLS_FOLDER NATIVE_TOOLS_FOLDER WORK_FOLDER
# QUORBEL_WINE_LOADER and QUORBEL_WINE_SERVER name the Wine programs for the build (default:
# wine and wineserver).
# Exits 77 (skipped) when Wine or the Windows tools are not there.
set -u
win=$1
native=$2
work=$3
loader=${QUORBEL_WINE_LOADER:-wine}
server=${QUORBEL_WINE_SERVER:-wineserver}
command -v "$loader" >/dev/null 2>&1 || { echo "$loader is not installed: skipped"; exit 77; }
wine() { "$loader" "$@"; }
for tool in spiralmaker hurricanemaker spaceflightmaker; do
    [ -f "$win/$tool.exe" ] || { echo "$win/$tool.exe is not built: skipped"; exit 77; }
done

export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$work/out"
mkdir -p "$work/out"
cd "$work/out" || exit 1
failures=0

check() { # name expected actual
    if [ "$2" != "$3" ]; then
        echo "FAIL $1: expected $2, got $3"
        failures=$((failures + 1))
    else
        echo "ok   $1"
    fi
}

# Same arguments on both builds: the files must be identical.
same() { # tool file arguments...
    tool=$1
    file=$2
    shift 2
    wine "$win/$tool.exe" "w_$file" "$@" >/dev/null 2>&1
    wstatus=$?
    "$native/$tool" "n_$file" "$@" >/dev/null 2>&1
    check "$tool $* status" 0 "$wstatus"
    if cmp -s "w_$file" "n_$file"; then check "$tool $* file" same same
    else check "$tool $* file" same different; fi
}

same spaceflightmaker a.tab
same spaceflightmaker b.tab 40 30 -1 r
same hurricanemaker c.tab
same hurricanemaker d.tab 50 50 8 -c213:320
same hurricanemaker e.tab -sx -r 250 20 300 -c7:9

wine "$win/spaceflightmaker.exe" >/dev/null 2>&1
check "spaceflightmaker usage status" 1 $?
wine "$win/hurricanemaker.exe" a b c d e >/dev/null 2>&1
check "hurricanemaker usage status" 1 $?
wine "$win/spiralmaker.exe" >/dev/null 2>&1
check "spiralmaker usage status" 1 $?
wine "$win/hurricanemaker.exe" 'Q:\no_such_folder\x.tab' >/dev/null 2>&1
check "hurricanemaker uncreatable file status" 2 $?
name=$(wine "$win/spaceflightmaker.exe" 2>/dev/null | sed -n 's/^Usage:  \([^ ]*\) .*/\1/p' | tr -d '\r')
check "spaceflightmaker usage name" spaceflightmaker.exe "$name"
wine "$win/spiralmaker.exe" s.tab 5 >/dev/null 2>&1
check "spiralmaker status" 0 $?
size=$(wc -c <s.tab 2>/dev/null || echo 0)
check "spiralmaker file size" 1228800 "$size"

"$server" -w 2>/dev/null
echo "$failures failed"
[ "$failures" -eq 0 ]
