#!/usr/bin/env bash
# Installs what is missing, builds the demo and kavo3cli, and starts the tool against the
# built-in simulated unit.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target kavo3tool-demo kavo3cli
exec build/app/kavo3tool-demo
