#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, or the packages named
# as arguments; does nothing when they are all there already.
set -euo pipefail

packages=("$@")
[ ${#packages[@]} -gt 0 ] || packages=(
    cmake ninja-build g++ pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev libstb-dev
    qt6-base-dev qt6-translations-l10n libgl-dev libudev-dev
    fonts-ipafont-gothic
    xvfb xauth
    dpkg-dev lintian appstream file
    qemu-system-x86 qemu-system-data busybox-static udev xz-utils util-linux
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
