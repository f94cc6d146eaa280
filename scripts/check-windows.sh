#!/usr/bin/env bash
# Runs the Windows programs under Wine on a virtual X display, the way a user would start them,
# and leaves screenshots in build-windows/check/ to look at:
#   - kavo3tool-demo.exe: the connected main window; the timing, remote and capture windows
#     opened from it; one frame captured and saved as BMP, which must equal byte for byte the
#     BMP that the Linux build saves of the same simulated picture;
#   - kavo3tool.exe with no unit: the not-connected main window and the trace of its search.
# Needs the static Qt for mingw-w64 (scripts/build-qt6-mingw.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--on-display" ]; then
    bash scripts/install-deps.sh xvfb xauth xdotool imagemagick fonts-wine
    bash scripts/build-windows.sh kavo3tool kavo3tool-demo
    grep -q '^KAVO3_WITH_QT:BOOL=ON' build-windows/CMakeCache.txt || {
        echo "check-windows: the windows need the static Qt for mingw-w64 (scripts/build-qt6-mingw.sh)" >&2
        exit 1
    }
    # The Linux program that the capture is compared with, built as scripts/test.sh builds it.
    [ -f build/CMakeCache.txt ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j "$(nproc)" --target kavo3tool-demo
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" --on-display
fi

out=$PWD/build-windows/check
rm -rf "$out"
mkdir -p "$out"
export WINEPREFIX=$PWD/build-windows/wineprefix-display
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
export WINEARCH=win64
wineserver --kill >/dev/null 2>&1 || true
mkdir -p "$WINEPREFIX"
wineserver --persistent >/dev/null 2>&1 </dev/null
trap 'wineserver --kill >/dev/null 2>&1 || true' EXIT
wineboot --init >/dev/null 2>&1
# A Japanese Windows, as the tool's users have: Wine's own dialogs and UI font in Japanese.
wine_ja() { LC_ALL=ja_JP.UTF-8 wine "$@"; }

fail() { echo "check-windows: $*" >&2; exit 1; }

# The window whose title matches, waited for (programs under Wine take a few seconds to start).
# Titles are matched in ASCII: under a Japanese locale Wine names its windows in a legacy
# encoding that xdotool does not read.
window() {
    local id
    id=$(timeout 60 xdotool search --sync --onlyvisible --name "$1" | head -n 1) ||
        fail "no window \"$1\" appeared"
    echo "$id"
}
visible_windows() { xdotool search --onlyvisible --name '' 2>/dev/null | sort; }
# Clicks and returns the window that this opened: one that is visible now and was not before.
click_for_window() {
    local before id
    before=$(visible_windows)
    click "$@"
    for _ in $(seq 300); do
        id=$(comm -13 <(echo "$before") <(visible_windows) | head -n 1)
        if [ -n "$id" ]; then echo "$id"; return 0; fi
        sleep 0.1
    done
    fail "clicking $2,$3 opened no window"
}
# Clicks at a point of a window's client area, in device-independent pixels.
click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
    sleep 0.5
}
# Without a window manager every window opens at the top left; each gets a place of its own so
# that clicks and screenshots reach the right one.
place() {
    xdotool windowmove --sync "$1" "$2" "$3" 2>/dev/null || xdotool windowmove "$1" "$2" "$3"
    sleep 0.5
}
shot() {
    sleep 1
    import -window "$1" "$out/$2.png"
    echo "  screenshot $out/$2.png"
}
wait_for() {  # wait_for <seconds> <command...>
    local limit=$1
    shift
    for _ in $(seq $((limit * 10))); do "$@" && return 0; sleep 0.1; done
    return 1
}
trace_has() { grep -q "$2" "$1" 2>/dev/null; }
file_complete() { [ "$(stat -c %s "$1" 2>/dev/null || echo 0)" -eq "$2" ]; }

# Opens every window of the demo and saves one captured frame: <trace> <name typed into the
# save dialog> <screenshot prefix> <the saved file>. Buttons are clicked at their design places.
drive_demo() {
    local trace=$1 bmp=$2 prefix=$3 saved=$4 main timing remote capture dialog
    main=$(window 'Ver 1\.11$')
    wait_for 30 trace_has "$trace" ' IN ' || fail "$prefix: no connection check in the trace"
    shot "$main" "$prefix-1-main"
    timing=$(click_for_window "$main" 76 96)
    place "$timing" 0 150
    shot "$timing" "$prefix-2-timing"
    remote=$(click_for_window "$main" 204 96)
    place "$remote" 600 0
    shot "$remote" "$prefix-3-remote"
    capture=$(click_for_window "$main" 436 96)
    place "$capture" 0 500
    shot "$capture" "$prefix-4-capture-window"
    click "$capture" 176 332
    # The capture ends by restoring the freeze state it found: live (Freeze 0).
    wait_for 60 trace_has "$trace" ' OUT 00 16 00 ' || fail "$prefix: the capture did not end"
    shot "$capture" "$prefix-5-captured"
    dialog=$(click_for_window "$capture" 388 332)
    shot "$dialog" "$prefix-6-save-dialog"
    xdotool type --delay 20 "$bmp"
    xdotool key Return
    wait_for 30 file_complete "$saved" $((54 + 720 * 480 * 3)) || fail "$prefix: no BMP saved"
}

echo "--- kavo3tool-demo.exe under Wine ---"
KAVO3_TRACE=$out/demo-wine-trace.txt wine_ja build-windows/app/kavo3tool-demo.exe &
drive_demo "$out/demo-wine-trace.txt" "Z:${out//\//\\}\\capture-wine.bmp" wine "$out/capture-wine.bmp"
grep -m1 ' OUT 00 02 ' "$out/demo-wine-trace.txt" | sed 's/^/  connection check: /'
grep -m1 ' IN ' "$out/demo-wine-trace.txt" | cut -c1-60 | sed 's/^/  answer: /'
wineserver --kill
sleep 1
wineserver --persistent >/dev/null 2>&1 </dev/null

echo "--- kavo3tool-demo on Linux, the same steps ---"
KAVO3_TRACE=$out/demo-linux-trace.txt QT_QPA_PLATFORM=xcb build/app/kavo3tool-demo &
linux_pid=$!
drive_demo "$out/demo-linux-trace.txt" "$out/capture-linux.bmp" linux "$out/capture-linux.bmp"
kill "$linux_pid"
wait "$linux_pid" 2>/dev/null || true

(cd "$out" && sha256sum capture-wine.bmp capture-linux.bmp | sed 's/^/  /')
cmp "$out/capture-wine.bmp" "$out/capture-linux.bmp" ||
    fail "the capture under Wine differs from the capture on Linux"
echo "  the BMP captured under Wine equals the BMP captured on Linux, byte for byte"

echo "--- kavo3tool.exe under Wine, no unit ---"
KAVO3_TRACE=$out/unit-wine-trace.txt wine_ja build-windows/app/kavo3tool.exe &
main=$(window 'Ver 1\.11$')
wait_for 30 trace_has "$out/unit-wine-trace.txt" '^# search: no unit found' ||
    fail "kavo3tool.exe: no search in the trace"
shot "$main" unit-1-not-connected
sed 's/^/  trace: /' "$out/unit-wine-trace.txt"
grep -q -v '^#' "$out/unit-wine-trace.txt" && fail "kavo3tool.exe sent reports without a unit"
echo "check-windows: done; look at $out/*.png"
