#!/usr/bin/env bash
# Renders the application icon's PNG sizes and the Windows .ico from packaging/icons/kavo3tool.svg.
# The results are committed, so that a build needs neither tool; run this after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh librsvg2-bin icoutils

svg=packaging/icons/kavo3tool.svg
out=packaging/icons/png
mkdir -p "$out" packaging/windows
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" "$svg" -o "$out/kavo3tool-$size.png"
done
# The 256-pixel image goes in as PNG (-r), as Windows expects for that size.
icotool -c -o packaging/windows/kavo3tool.ico \
    "$out/kavo3tool-16.png" "$out/kavo3tool-24.png" "$out/kavo3tool-32.png" \
    "$out/kavo3tool-48.png" "$out/kavo3tool-64.png" -r "$out/kavo3tool-256.png"
