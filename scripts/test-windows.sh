#!/usr/bin/env bash
# Cross-builds the Qt-free part of the tool for 64-bit Windows with mingw-w64 and runs every
# test program and the search probe under Wine, headless. Installs what it needs itself.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh cmake ninja-build g++-mingw-w64-x86-64-posix googletest libcli11-dev wine wine64

build=build-windows
start=$(date +%s)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DKAVO3_WITH_QT=OFF -DKAVO3_WITH_BENCH=OFF --no-warn-unused-cli
cmake --build "$build" -j "$(nproc)"

# A prefix of our own, made afresh, so that nothing of the user's Wine setup plays a part.
# Console programs need no display; DISPLAY is cleared so that Wine never opens a window.
export WINEPREFIX="$PWD/$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
unset DISPLAY WAYLAND_DISPLAY
wineserver --kill >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
# One server for the whole run instead of one start-up per program.
wineserver --persistent
trap 'wineserver --kill >/dev/null 2>&1 || true' EXIT
wineboot --init >/dev/null 2>&1

ctest --test-dir "$build" --output-on-failure --timeout 300

echo "--- kavo3probe under Wine ---"
probe_out="$build/kavo3probe.txt"
status=0
wine "$build/link/windows/kavo3probe.exe" >"$probe_out" 2>&1 || status=$?
tr -d '\r' <"$probe_out" >"$probe_out.tmp" && mv "$probe_out.tmp" "$probe_out"
cat "$probe_out"
if [ "$status" -ne 0 ]; then
    echo "kavo3probe failed with exit code $status" >&2
    exit 1
fi
# Wine offers no KAVO-3: the search must end with nothing matched and nothing left open.
grep -q '^result: no unit found$' "$probe_out" || { echo "kavo3probe matched a unit" >&2; exit 1; }
listed=$(sed -n 's/^interfaces listed: \([0-9]*\)$/\1/p' "$probe_out")
grep -q "^  # search: $listed HID interface(s)$" "$probe_out" ||
    { echo "kavo3probe searched other interfaces than it listed" >&2; exit 1; }
grep -q '^search ended cleanly$' "$probe_out" || { echo "kavo3probe did not end cleanly" >&2; exit 1; }

echo "Windows build and tests passed in $(($(date +%s) - start)) s"
