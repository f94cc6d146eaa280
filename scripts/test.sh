#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once as released, once under
# AddressSanitizer and UndefinedBehaviorSanitizer, once cross-built for Windows under Wine (with
# the programs on a virtual display, the Windows zip and MSI installed under Wine);
# builds and checks the Debian package; then one short pass of each benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"
# The randomized run's seed and action count, so that the log tells how to repeat it; the
# exploration's count of cases.
grep -h -e '^interference run' -e '^cli random run' -e '^exploration:' build/Testing/Temporary/LastTest.log || true

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKAVO3_SANITIZE=ON \
    -DKAVO3_WITH_BENCH=OFF
cmake --build build-sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-sanitize --output-on-failure -j "$jobs"
grep -h -e '^interference run' -e '^cli random run' -e '^exploration:' build-sanitize/Testing/Temporary/LastTest.log || true

# The Debian package, built in Release, checked as a user would install it.
deb=$(bash scripts/package.sh | tail -n 1)
bash scripts/check-package.sh "$deb"

# The program cross-built for Windows, its tests, the HID probe and kavo3cli's console texts
# run under Wine; with the windows built, the programs under Wine on a virtual display, the zip
# and the MSI for Windows users, and the MSI installed, upgraded and removed under Wine.
bash scripts/test-windows.sh
if grep -q '^KAVO3_WITH_QT:BOOL=ON' build-windows/CMakeCache.txt; then
    bash scripts/check-windows.sh
    bash scripts/package-windows.sh | tail -n 16
    bash scripts/check-windows-install.sh
fi

# A real kernel under QEMU between the programs and simulated units on USB HID gadgets.
bash scripts/test-kernel.sh build

if [ -x scripts/bench.sh ]; then
    bash scripts/bench.sh --smoke
fi
