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
#
# A step that fails (packages, configuring, building, the Wine prefix, a run) stops the demo
# there with "demo: failed: <step>" and a non-zero status; nothing after it runs, so a failed
# build never goes on to show an older binary. QUORBEL_DEMO_FAIL_STEP=<name> makes the step of
# that name fail without running it, for the tests: packages, configure, build, probe,
# wine-prefix, run, frames, native-configure, native-build, native-run.
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

# --- steps -----------------------------------------------------------------------------------
# Every failure ends the demo through fail, with what failed. The steps are checked one by one
# rather than left to set -e, which bash switches off inside a function that is called as part
# of a condition or a list (f || ...); the ERR trap names a command that fails outside a step.
fail() {
    echo "demo: failed: $*" >&2
    exit 1
}
trap 'fail "line $LINENO: $BASH_COMMAND (status $?)"' ERR
set -E

# fault NAME WHAT: the test switch; stops the demo with WHAT when QUORBEL_DEMO_FAIL_STEP is NAME.
fault() {
    if [ "${QUORBEL_DEMO_FAIL_STEP:-}" = "$1" ]; then
        echo "demo: QUORBEL_DEMO_FAIL_STEP=$1: this step fails on purpose" >&2
        fail "$2"
    fi
}

# step NAME WHAT COMMAND...: runs COMMAND; when it fails, the demo stops with WHAT.
step() {
    local name=$1 what=$2 status=0
    shift 2
    fault "$name" "$what"
    "$@" || status=$?
    [ "$status" = 0 ] || fail "$what (status $status)"
}

# configure PRESET LOG: configures a preset, its output in LOG (shown when it fails).
configure() {
    local preset=$1 log=$2 status=0
    cmake --preset "$preset" > "$log" 2>&1 || status=$?
    [ "$status" = 0 ] || cat "$log" >&2
    return "$status"
}

# logged LOG COMMAND...: runs COMMAND with its output in LOG.
logged() {
    local log=$1
    shift
    "$@" > "$log" 2>&1
}

# convert_frames BMP...: each captured frame as a PNG image beside it.
convert_frames() { python3 scripts/bmp2png.py "$@" > /dev/null; }

# files_in ARRAY FOLDER SUFFIX: the files FOLDER/*SUFFIX into the array named ARRAY (empty
# when there are none), without changing the shell's glob options.
files_in() {
    local -n found=$1
    local file
    found=()
    for file in "$2"/*"$3"; do
        [ -e "$file" ] && found+=("$file")
    done
    return 0
}

# --- packages --------------------------------------------------------------------------------
step packages "installing the packages the demo needs (scripts/setup.sh demo)" \
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
# Started once, before the first run (after the builds, so that a failed build stops at once).
headless=
start_display() {
    [ -z "$headless" ] || return 0
    if [ -n "${DISPLAY:-}" ]; then
        headless=0
        return 0
    fi
    # A private X server; it picks a free display number and writes it when it is ready.
    local number_file
    number_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x16 -nolisten tcp 3>"$number_file" \
        > "$root/build/demo-xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$number_file" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ ! -s "$number_file" ]; then
        rm -f "$number_file"
        fail "starting Xvfb (see build/demo-xvfb.log)"
    fi
    export DISPLAY=:$(tr -d '\n' < "$number_file")
    rm -f "$number_file"
    headless=1
}

# --- the plug-in in our host player under Wine -----------------------------------------------
plugin_demo() {
    # --- build -----------------------------------------------------------------------------------
    local build why programs
    build=$(python3 scripts/windows_build.py) || fail "choosing the Windows build (scripts/windows_build.py)"
    why=$(python3 scripts/windows_build.py --why) || fail "choosing the Windows build (scripts/windows_build.py --why)"
    echo "demo: the $build build${why:+ (the 32-bit build cannot run here: $why)}"
    out=$root/build/$build
    step configure "configuring the $build build (cmake --preset $build)" \
        configure "$build" "build/configure-$build.log"
    step build "building the $build build (cmake --build --preset $build)" \
        cmake --build --preset "$build" -j "${QUORBEL_JOBS:-2}"

    player=$out/player
    plugin='Plugins\vis_quorbel.dll'
    if [ ! -f "$player/Plugins/vis_quorbel.dll" ]; then
        # A tree without the plug-in yet: show the host with its probe plug-in instead.
        echo "demo: no vis_quorbel.dll in this build; using the probe plug-in"
        step probe "copying the probe plug-in into $player/Plugins" \
            cp "$out/host/test_plugins/vis_probe.dll" "$player/Plugins/"
        plugin='Plugins\vis_probe.dll'
    fi

    # --- Wine ------------------------------------------------------------------------------------
    export WINEPREFIX=$out/wineprefix
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    programs=$(python3 scripts/windows_build.py --wine "$build") ||
        fail "finding Wine for the $build build (scripts/windows_build.py --wine)"
    { read -r wine_loader; read -r wine_server; } <<< "$programs"
    if [ "$build" = win64 ]; then
        # Every process Wine starts stays on the 64-bit loader and server.
        export WINEARCH=win64 WINELOADER=$wine_loader WINESERVER=$wine_server
    fi
    wine() { "$wine_loader" "$@"; }
    start_display
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "demo: creating the Wine prefix $WINEPREFIX (about 20 seconds, once)"
        mkdir -p "$WINEPREFIX"
        step wine-prefix "creating the Wine prefix $WINEPREFIX (see $out/demo-wineboot.log)" \
            logged "$out/demo-wineboot.log" wine wineboot -i
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
    fault run "running the host player"
    # The full-screen modes run inside a Wine virtual desktop of 1024x768. The desktop's explorer
    # does not pass the host's exit code on: the host's last event line has it.
    (cd "$player" && wine explorer /desktop=quorbel,1024x768 host.exe "${args[@]}" "$plugin" \
        > "$out/demo-output.txt" 2>&1) || true

    code=$(sed -n 's/^host exit code=\([0-9]*\).*/\1/p' "$player/demo-events.log" 2>/dev/null |
           tail -1) || code=
    local bmps pngs
    files_in bmps "$frames_dir" .bmp
    if [ ${#bmps[@]} -gt 0 ]; then
        step frames "converting the captured frames (scripts/bmp2png.py)" \
            convert_frames "${bmps[@]}"
        rm -f "${bmps[@]}"
    fi
    files_in pngs "$frames_dir" .png
    echo "demo: the host's event lines are in $player/demo-events.log"
    if [ ${#pngs[@]} -gt 0 ]; then
        echo "demo: ${#pngs[@]} captured frames are in $frames_dir/"
    else
        echo "demo: no frames were captured"
    fi
    if [ "${code:-x}" != 0 ]; then
        fail "running the host player: it ended with code ${code:-unknown} (see" \
            "$out/demo-output.txt and host/README.md)"
    fi
}

# --- the native program ----------------------------------------------------------------------
native_demo() {
    echo "demo: the native program quorbel"
    step native-configure "configuring the native build (cmake --preset native)" \
        configure native build/configure-native.log
    step native-build "building quorbel (cmake --build --preset native --target quorbel)" \
        cmake --build --preset native --target quorbel -j "${QUORBEL_JOBS:-2}"
    local quorbel=$root/build/native/plugin/sdl/quorbel
    if [ ! -x "$quorbel" ]; then
        fail "building quorbel: it was not built (it needs SDL2, SDL2_ttf and libsndfile; see" \
            "build/configure-native.log)"
    fi
    local frames=$root/build/native/demo-frames home=$root/build/native/demo-home
    rm -rf "$frames"
    mkdir -p "$frames" "$home"
    start_display
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
    fault native-run "running quorbel"
    if [ "$headless" = 1 ]; then
        # No sound card to play to on a headless machine.
        XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data SDL_AUDIODRIVER=dummy \
            "$quorbel" "${args[@]}" || status=$?
    else
        XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data "$quorbel" "${args[@]}" ||
            status=$?
    fi
    local pngs
    files_in pngs "$frames" .png
    echo "demo: quorbel's ${#pngs[@]} captured frames are in $frames/"
    [ "$status" = 0 ] || fail "running quorbel: it ended with status $status (see $frames/events.log)"
}

if [ "$which" != native ]; then plugin_demo; fi
if [ "$which" != plugin ]; then native_demo; fi
echo "demo: done"
