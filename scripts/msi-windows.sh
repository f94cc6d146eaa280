#!/usr/bin/env bash
# Makes the Windows installer from a folder of the files that the zip holds
# (scripts/package-windows.sh stages them):
#   scripts/msi-windows.sh <staged folder> <product version> <output .msi>
# The product version may differ from the programs' own: the install check makes a newer one.
set -euo pipefail
cd "$(dirname "$0")/.."

[ $# -eq 3 ] || { echo "usage: $0 <staged folder> <product version> <output .msi>" >&2; exit 64; }
stage=$(realpath "$1")
version=$2
output=$(realpath -m "$3")
bash scripts/install-deps.sh wixl msitools

# wixl takes file names relative to the .wxs only: it is run from a folder that holds the
# source, the icon and a link to the staged files.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp packaging/windows/kavo3tool.wxs packaging/windows/kavo3tool.ico "$work/"
ln -s "$stage" "$work/stage"
source_zip=$(basename "$(ls "$stage"/source/*.zip)")

# wixl stores the tables' strings in the code page of the language it is given (932 for
# Japanese) but marks the database as neutral; the imported _ForceCodepage table marks it
# Japanese, so that Windows reads the names right whatever the system's own code page is.
export WINDOWS_LANGUAGE=ja
(cd "$work" && wixl -a x64 -D "Version=$version" -D Stage=stage -D Icon=kavo3tool.ico \
    -D "SourceZip=$source_zip" -o "$work/out.msi" kavo3tool.wxs)
printf '\r\n\r\n932\t_ForceCodepage\r\n' >"$work/_ForceCodepage.idt"
(cd "$work" && msibuild out.msi -i _ForceCodepage.idt)
mv "$work/out.msi" "$output"
