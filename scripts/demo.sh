#!/usr/bin/env bash
# The visualiser on the built-in demo track, for a first look. Installs what it needs when it
# is missing (as root; otherwise prints the command), builds the Windows build this machine can
# run (win32, the product, where it runs 32-bit code, else win64; scripts/windows_build.py),
# lays out its player folder build/<build>/player and runs our host player with the plug-in
# under Wine:
#   with $DISPLAY set: in a window (a 1024x768 Wine desktop) until you press Escape;
#   without:           on a private 16-bit Xvfb for 600 frames (15 seconds), in the plug-in's
#                      640x480 window, so that the captured frames show the palette's colours.
# Some frames are captured as PNG images into build/<build>/demo-frames/.
#
# Then the same visualiser as the native Linux program quorbel (build/native) on the same demo
# track: in a window until you press Escape, or headless on the same private Xvfb for 600
# frames, with frames captured as PNG into build/native/demo-frames/. Its settings and data go
# into build/native/demo-home, not into your own folders. "scripts/demo.sh plugin" or
# "scripts/demo.sh native" runs only one of the two.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
which=${1:-both}
case $which in
both | plugin | native) ;;
*)
    echo "usage: scripts/demo.sh [plugin|native]" >&2
    exit 2
    ;;
esac

# --- packages --------------------------------------------------------------------------------
scripts/setup.sh demo

mkdir -p build
wine_server=
xvfb_pid=
cleanup() {
    if [ -n "$wine_server" ]; then "$wine_server" -k 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

# --- display ---------------------------------------------------------------------------------
if [ -z "${DISPLAY:-}" ]; then
    # A private X server; it picks a free display number and writes it when it is ready.
    number_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x16 -nolisten tcp 3>"$number_file" \
        > "$root/build/demo-xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$number_file" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    [ -s "$number_file" ] || { echo "demo: Xvfb did not start" >&2; exit 1; }
    export DISPLAY=:$(tr -d '\n' < "$number_file")
    rm -f "$number_file"
    headless=1
else
    headless=0
fi


# --- the plug-in in our host player under Wine -----------------------------------------------
plugin_demo() {
    # --- build -----------------------------------------------------------------------------------
    build=$(python3 scripts/windows_build.py)
    why=$(python3 scripts/windows_build.py --why)
    echo "demo: the $build build${why:+ (the 32-bit build cannot run here: $why)}"
    out=$root/build/$build
    mkdir -p build
    cmake --preset "$build" > "build/configure-$build.log" 2>&1 ||
        { cat "build/configure-$build.log"; return 1; }
    cmake --build --preset "$build" -j "${QUORBEL_JOBS:-2}"

    player=$out/player
    plugin='Plugins\vis_quorbel.dll'
    if [ ! -f "$player/Plugins/vis_quorbel.dll" ]; then
        # A tree without the plug-in yet: show the host with its probe plug-in instead.
        echo "demo: no vis_quorbel.dll in this build; using the probe plug-in"
        cp "$out/host/test_plugins/vis_probe.dll" "$player/Plugins/"
        plugin='Plugins\vis_probe.dll'
    fi

    # --- Wine ------------------------------------------------------------------------------------
    export WINEPREFIX=$out/wineprefix
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    { read -r wine_loader; read -r wine_server; } < <(python3 scripts/windows_build.py --wine "$build")
    if [ "$build" = win64 ]; then
        # Every process Wine starts stays on the 64-bit loader and server.
        export WINEARCH=win64 WINELOADER=$wine_loader WINESERVER=$wine_server
    fi
    wine() { "$wine_loader" "$@"; }
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "demo: creating the Wine prefix $WINEPREFIX (about 20 seconds, once)"
        mkdir -p "$WINEPREFIX"
        wine wineboot -i > "$out/demo-wineboot.log" 2>&1
    fi
    if [ "$headless" = 1 ]; then
        # Xvfb shows an emulated 256-colour full screen without its palette; the plug-in's window
        # on a 16-bit desktop shows the real colours ("Resolution" 4 is "640x480 windowed").
        wine reg add 'HKLM\SOFTWARE\Quorbel\Quorbel-4-Winamp' /v Resolution /t REG_DWORD /d 4 /f \
            > /dev/null 2>&1 || true
    fi

    frames_dir=$out/demo-frames
    rm -rf "$frames_dir"
    mkdir -p "$frames_dir"
    windows_frames='Z:'${frames_dir//\//\\}

    args=(--log demo-events.log --capture-from-screen
          # The plug-in's first start: the built-in tables are generated, then What's New.
          --dialog-optional "Quorbel-4-MODPlug" OK
          --dialog-optional "Quorbel-4-MODPlug - What's New" OK
          # Failures are shown in message boxes; answer them so that the run ends.
          --dialog-optional "Quorbel-4-Winamp Errors" OK
          --dialog-optional "Quorbel-4-MODPlug Display Error" OK
          --dialog-optional "ERROR" OK)
    if [ "$headless" = 1 ]; then
        args+=(--mute --frames 600)
        captures="150 300 450 600"
        echo "demo: no display; running 600 frames on a private Xvfb ($DISPLAY)"
    else
        captures="100 200 400 800"
        echo "demo: running in a window; press Escape in the visualiser to stop"
    fi
    for f in $captures; do args+=(--capture "$f:$windows_frames\\frame_$(printf %04d "$f").bmp"); done

    rm -f "$player/demo-events.log"
    # The full-screen modes run inside a Wine virtual desktop of 1024x768.
    (cd "$player" && wine explorer /desktop=quorbel,1024x768 host.exe "${args[@]}" "$plugin" \
        > "$out/demo-output.txt" 2>&1) || true

    code=$(sed -n 's/^host exit code=\([0-9]*\).*/\1/p' "$player/demo-events.log" 2>/dev/null | tail -1)
    shopt -s nullglob
    bmps=("$frames_dir"/*.bmp)
    if [ ${#bmps[@]} -gt 0 ]; then
        python3 scripts/bmp2png.py "${bmps[@]}" > /dev/null
        rm -f "${bmps[@]}"
    fi
    pngs=("$frames_dir"/*.png)
    echo "demo: the host's event lines are in $player/demo-events.log"
    if [ ${#pngs[@]} -gt 0 ]; then
        echo "demo: ${#pngs[@]} captured frames are in $frames_dir/"
    else
        echo "demo: no frames were captured"
    fi
    if [ "${code:-x}" != 0 ]; then
        echo "demo: the host ended with code ${code:-unknown} (see host/README.md)" >&2
        return 1
    fi
}

# --- the native program ----------------------------------------------------------------------
native_demo() {
    echo "demo: the native program quorbel"
    cmake --preset native > build/configure-native.log 2>&1 ||
        { cat build/configure-native.log; return 1; }
    cmake --build --preset native --target quorbel -j "${QUORBEL_JOBS:-2}"
    local quorbel=$root/build/native/plugin/sdl/quorbel
    if [ ! -x "$quorbel" ]; then
        echo "demo: quorbel was not built (it needs SDL2, SDL2_ttf and libsndfile; see" \
            "build/configure-native.log)" >&2
        return 1
    fi
    local frames=$root/build/native/demo-frames home=$root/build/native/demo-home
    rm -rf "$frames"
    mkdir -p "$frames" "$home"
    local args=(--demo --log "$frames/events.log") counts="100 200 400 800"
    if [ "$headless" = 1 ]; then
        args+=(--fast --frames 600 --window)
        counts="150 300 450 600"
        echo "demo: no display; quorbel runs 600 frames on the private Xvfb ($DISPLAY)"
    else
        echo "demo: quorbel runs in a window; press Escape to stop it (F11: full screen)"
    fi
    for f in $counts; do args+=(--capture "$f:$frames/frame_$(printf %04d "$f").png"); done
    local status=0
    if [ "$headless" = 1 ]; then
        # No sound card to play to on a headless machine.
        XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data SDL_AUDIODRIVER=dummy \
            "$quorbel" "${args[@]}" || status=$?
    else
        XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data "$quorbel" "${args[@]}" ||
            status=$?
    fi
    local pngs=("$frames"/*.png)
    [ -e "${pngs[0]}" ] || pngs=()
    echo "demo: quorbel's ${#pngs[@]} captured frames are in $frames/"
    return "$status"
}

status=0
if [ "$which" != native ]; then plugin_demo || status=1; fi
if [ "$which" != plugin ]; then native_demo || status=1; fi
exit "$status"
