#!/usr/bin/env bash
# Builds the Qt that the Windows build of the windows needs: Qt 6.4.2 (qtbase: Core, Gui, Widgets,
# Test; the windows, offscreen and minimal platform plugins; the Fusion, Windows and WindowsVista
# styles; bundled zlib, libpng, libjpeg, freetype, harfbuzz and pcre2), static with a static C++
# runtime, for 64-bit Windows with Debian 12's mingw-w64 (posix threads), from Debian's own
# qt6-base source package, the same version as the host's Qt whose moc, rcc and uic the build uses.
# Needs root (or sudo) for apt.
#
#   scripts/build-qt6-mingw.sh [work-folder]
#
# Leaves qt6-mingw-6.4.2-static.tar.xz in the work folder (default build-qt6-src/); it unpacks to
# a relocatable folder qt6-mingw/. Point scripts/test-windows.sh and scripts/package-windows.sh
# at it with KAVO3_QT_MINGW_ARCHIVE=<archive>. About 25 minutes on 2 cores. Fetches the source
# through a private apt state with deb-src, so the system's own apt lists stay as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mkdir -p "${1:-build-qt6-src}" && cd "${1:-build-qt6-src}" && pwd)
prefix=$work/qt6-mingw

bash scripts/install-deps.sh g++-mingw-w64-x86-64-posix qt6-base-dev cmake ninja-build dpkg-dev \
    xz-utils

apt_dir=$work/apt
mkdir -p "$apt_dir/lists/partial"
uri=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)
echo "deb-src ${uri:-http://deb.debian.org/debian} bookworm main" >"$apt_dir/sources.list"
opts=(-o Dir::Etc::SourceList="$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
      -o Dir::State::Lists="$apt_dir/lists")
apt-get "${opts[@]}" update -q >/dev/null
(cd "$work" && apt-get "${opts[@]}" source --download-only qt6-base=6.4.2+dfsg-10 >/dev/null)
rm -rf "$work/qtbase-everywhere-src-6.4.2" "$work/build" "$prefix"
tar -C "$work" -xJf "$work"/qt6-base_6.4.2+dfsg.orig.tar.xz

# Qt's own build gets a bare toolchain: no -static for every link and no emulator. Its name must
# not look like Qt's generated qt.toolchain.cmake, which Qt's configure refuses by pattern.
cat >"$work/mingw-w64-for-qt.cmake" <<'CMAKE'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
CMAKE

mkdir -p "$work/build"
cd "$work/build"
# wintab.h is not in Debian's source (non-free), so tablet events are left out.
"$work/qtbase-everywhere-src-6.4.2/configure" -prefix "$prefix" -release -static -static-runtime \
    -xplatform win32-g++ -qt-host-path /usr \
    -nomake tests -nomake examples -no-opengl -no-dbus -no-icu \
    -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-pcre \
    -no-feature-sql -no-feature-network -no-feature-printsupport -no-feature-xml \
    -no-feature-concurrent -no-feature-vulkan -no-feature-tabletevent \
    -- -DCMAKE_TOOLCHAIN_FILE="$work/mingw-w64-for-qt.cmake" \
       -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
       -DQt6HostInfo_DIR=/usr/lib/x86_64-linux-gnu/cmake/Qt6HostInfo
cmake --build . --parallel "$(nproc)"
cmake --install .
tar -C "$work" -cJf "$work/qt6-mingw-6.4.2-static.tar.xz" qt6-mingw
echo "$work/qt6-mingw-6.4.2-static.tar.xz"
