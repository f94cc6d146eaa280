#!/usr/bin/env bash
# Cross-builds the tool for 64-bit Windows with mingw-w64 into build-windows/, every program
# statically linked: with the static Qt of scripts/build-qt6-mingw.sh the whole program and its
# window tests, without it the Qt-free part only (and it says so in one line).
#   scripts/build-windows.sh [target...]
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh cmake ninja-build g++-mingw-w64-x86-64-posix googletest \
    libcli11-dev nlohmann-json3-dev libstb-dev qt6-base-dev qt6-translations-l10n wine wine64 xz-utils

source scripts/qt6-mingw.sh
kavo3_find_qt6_mingw

build=build-windows
qt_args=(-DKAVO3_WITH_QT=OFF)
if [ -n "$KAVO3_QT_MINGW_DIR" ]; then
    qt_args=(-DKAVO3_WITH_QT=ON "-DKAVO3_QT_MINGW_DIR=$KAVO3_QT_MINGW_DIR"
             -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)
else
    echo "Windows build of the windows skipped: no static Qt for mingw-w64 found; make it with" \
         "scripts/build-qt6-mingw.sh (about 25 minutes) or set KAVO3_QT_MINGW_ARCHIVE."
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DKAVO3_WITH_BENCH=OFF "${qt_args[@]}" --no-warn-unused-cli >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$build" -j "$(nproc)" "${targets[@]}"
