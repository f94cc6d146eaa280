#!/usr/bin/env bash
# Starts kavo3tool-demo on a virtual X screen, opens every window as a user would (main, timing,
# remote control, capture after a capture, the ROM download's verdict) and writes a PNG of each
# into docs/screenshots/. Run it after changing how a window looks, and commit the pictures.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--on-display" ]; then
    bash scripts/install-deps.sh
    bash scripts/install-deps.sh xdotool imagemagick
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j "$(nproc)" --target kavo3tool-demo
    exec xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" bash "$0" --on-display
fi

out=docs/screenshots
mkdir -p "$out"
work=$(mktemp -d)
demo_pid=
cleanup() {
    [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The pictures show the design's font, the same on every machine.
export LANG=C.UTF-8 QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1 XDG_RUNTIME_DIR="$work"
export QT_QPA_PLATFORMTHEME=
build/app/kavo3tool-demo &
demo_pid=$!

window() { timeout 20 xdotool search --sync --onlyvisible --name "$1" | head -n 1; }
# Clicks at a point given in the window's own pixels (the design's twips / 15).
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.3; }
shoot() {
    sleep 0.5
    import -window "$1" "$out/$2.png"
    echo "$out/$2.png"
}

main=$(window '^KAVO-3 映像信号調整TOOL Ver 1\.11$')
xdotool windowmove --sync "$main" 0 0
shoot "$main" main

click "$main" 76 96   # Command1: the timing window
timing=$(window '^入出力映像信号調整$')
xdotool windowmove --sync "$timing" 0 180
shoot "$timing" timing

click "$main" 204 96  # Command2: the remote control
remote=$(window 'リモコン$')
xdotool windowmove --sync "$remote" 580 0
shoot "$remote" remote

click "$main" 436 96  # Command3: the capture window
capture=$(window '^KAVO-3 Capture Tool$')
xdotool windowmove --sync "$capture" 600 200
# The window may have opened over the remote control; moving it away repaints both.
click "$capture" 176 332  # Command2: capture one frame
sleep 2
shoot "$capture" capture

# The ROM download of a 64 KiB file, through the file dialog, to its verdict.
# The same file every run, so that the verdict in the picture stays the same.
seq 1 20000 >"$work/rom.bin"
truncate -s 65536 "$work/rom.bin"
click "$main" 324 96  # Command10
dialog=$(window '^ファイルを開く$')
xdotool windowfocus --sync "$dialog"
xdotool type --delay 20 "$work/rom.bin"
xdotool key Return
sleep 4
shoot "$main" download
