#!/usr/bin/env bash
# Builds the programs in Release with Debian's hardening flags and makes the Debian package
# build-package/kavo3tool_<version>-<revision>_<arch>.deb; prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags="$(dpkg-buildflags --get LDFLAGS)"

cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DKAVO3_WITH_TESTS=OFF -DKAVO3_WITH_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build build-package -j "$(nproc)"
rm -f build-package/kavo3tool_*.deb
(cd build-package && cpack -G DEB >/dev/null)

debs=(build-package/kavo3tool_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "package.sh: no package made" >&2; exit 1; }
echo "${debs[0]}"
