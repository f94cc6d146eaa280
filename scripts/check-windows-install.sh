#!/usr/bin/env bash
# Installs the Windows installer under Wine as an IT department would, on a virtual X display,
# and checks what a user gets: a silent install (msiexec /i ... /qn) puts the programs in
# Program Files, the Start menu entries and the Apps & features entry exist (read back from
# the Start menu folder and the registry); the demo, started from its Start menu entry,
# runs from Program Files and connects to its simulated unit (screenshot in
# build-windows/check-install/); a newer MSI replaces the installed one in place; the silent
# removal (msiexec /x ... /qn) leaves no file and no registry key of ours.
# Needs build-windows/kavo3tool-<version>-x64.msi and its staged files (scripts/package-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--on-display" ]; then
    bash scripts/install-deps.sh xvfb xauth xdotool imagemagick wixl msitools binutils
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" --on-display
fi

fail() { echo "check-windows-install: $*" >&2; exit 1; }
version=$(sed -n 's/^project(kavo3tool VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
msi=$PWD/build-windows/kavo3tool-$version-x64.msi
stage=$PWD/build-windows/package/kavo3tool-$version-windows-x64
[ -f "$msi" ] && [ -d "$stage" ] || fail "no $msi; make it with scripts/package-windows.sh"

out=$PWD/build-windows/check-install
rm -rf "$out"
mkdir -p "$out"
export WINEPREFIX=$PWD/build-windows/wineprefix-install
export WINEDEBUG=-all
# No desktop entries of the Linux side for the shortcuts the installer makes.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
export LC_ALL=C.UTF-8
wineserver --kill >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
wineserver --persistent >/dev/null 2>&1 </dev/null
trap 'wineserver --kill >/dev/null 2>&1 || true' EXIT
wineboot --init >/dev/null 2>&1

name="KAVO-3 映像信号調整TOOL"
programs_dir="$WINEPREFIX/drive_c/Program Files/KAVO-3 Tool"
# The Start menu of all users, where Windows puts the entries of a per-machine install; Wine
# puts them into the installing user's.
menus=("$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
       "$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs")
menu_entry() {
    local menu
    for menu in "${menus[@]}"; do
        [ -f "$menu/$1.lnk" ] && { echo "$menu/$1.lnk"; return 0; }
    done
    return 1
}
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
windows_path() { echo "Z:${1//\//\\}"; }
product_code() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'; }

# A registry key as text (reg export writes UTF-16); fails when the key does not exist.
registry() {
    wine reg export "$1" "$(windows_path "$out/key.reg")" /y >/dev/null 2>&1 || return 1
    iconv -f UTF-16 -t UTF-8 "$out/key.reg" | tr -d '\r'
}
# A GUID as Windows Installer writes it into its registry keys: each group reversed.
packed_guid() {
    local g=${1//[\{\}-]/} out="" i
    for i in 7 6 5 4 3 2 1 0 11 10 9 8 15 14 13 12; do out+=${g:i:1}; done
    for ((i = 16; i < 32; i += 2)); do out+=${g:i+1:1}${g:i:1}; done
    echo "$out"
}
# Everything in the registry and on drive C: that names us (the product, its folder, its
# upgrade and product codes, plain and packed): nothing before the install and after the
# removal.
codes=()
traces_of_us() {
    local hive patterns=(-e 'KAVO-3')
    for code in "${codes[@]}"; do patterns+=(-e "$code" -e "$(packed_guid "$code")"); done
    for hive in HKLM HKCU HKU; do registry "$hive" | grep -i -F "${patterns[@]}" || true; done
    find "$WINEPREFIX/drive_c" -iname '*kavo*' 2>/dev/null || true
}
codes+=("$(msiinfo export "$msi" Property | tr -d '\r' | sed -n 's/^UpgradeCode\t{\(.*\)}/\1/p')")
[ -z "$(traces_of_us)" ] || fail "the fresh Wine prefix already names us"

check_installed() {  # <product code> <version>
    local code=$1 expected=$2 entry file link
    for file in kavo3tool.exe kavo3tool-demo.exe kavo3cli.exe LICENSE.txt README-windows.txt \
        LICENSES/README.txt "source/kavo3tool-$version-source.zip"; do
        cmp -s "$stage/$file" "$programs_dir/$file" || fail "Program Files lacks $file or holds another"
    done
    # The entries start the installed programs: their targets are in the links.
    for entry in "$name=kavo3tool.exe" "$name (デモ)=kavo3tool-demo.exe"; do
        link=$(menu_entry "${entry%=*}") || fail "no Start menu entry \"${entry%=*}\""
        strings -a "$link" | grep -qxF "C:\\Program Files\\KAVO-3 Tool\\${entry#*=}" ||
            fail "the Start menu entry \"${entry%=*}\" does not start the installed ${entry#*=}"
    done
    entry=$(registry "$uninstall\\$code") || fail "no Apps & features entry $code"
    echo "$entry" >"$out/uninstall-$expected.txt"
    grep -qx "\"DisplayName\"=\"$name\"" <<<"$entry" || fail "Apps & features names another product"
    grep -qx "\"DisplayVersion\"=\"$expected\"" <<<"$entry" || fail "Apps & features shows another version"
    grep -qx '"Publisher"="The KAVO-3 tool authors"' <<<"$entry" || fail "Apps & features names no publisher"
    # Written as an expandable string, which reg export shows in hex.
    wine reg query "$uninstall\\$code" /v UninstallString | tr -d '\r' >>"$out/uninstall-$expected.txt"
    grep -qi "UninstallString *REG_EXPAND_SZ *MsiExec.exe /X$code\$" "$out/uninstall-$expected.txt" ||
        fail "Apps & features cannot uninstall it"
    echo "  installed $expected: programs in Program Files, Start menu entries, Apps & features entry:"
    grep -E '^"(DisplayName|DisplayVersion|Publisher)"|UninstallString' "$out/uninstall-$expected.txt" |
        sed 's/^ */    /'
}

echo "--- silent install of $(basename "$msi") ---"
wine msiexec /i "$(windows_path "$msi")" /qn || fail "msiexec /i ... /qn failed"
code=$(product_code "$msi")
codes+=("${code//[\{\}]/}")
check_installed "$code" "$version"
wine "C:\\Program Files\\KAVO-3 Tool\\kavo3cli.exe" --version | tr -d '\r' | sed 's/^/  installed: /'

echo "--- the demo from its Start menu entry ---"
trace=$out/demo-trace.txt
KAVO3_TRACE=$trace wine start /unix "$(menu_entry "$name (デモ)")"
window=$(timeout 60 xdotool search --sync --onlyvisible --name 'Ver 1\.11$' | head -n 1) ||
    fail "the installed demo opened no window"
for _ in $(seq 300); do grep -q ' IN ' "$trace" 2>/dev/null && break; sleep 0.1; done
grep -q ' IN ' "$trace" 2>/dev/null || fail "the installed demo did not connect to its simulated unit"
# The process behind the window is the installed program.
pid=$(xdotool getwindowpid "$window")
tr '\0' ' ' <"/proc/$pid/cmdline" | grep -q 'Program Files\\KAVO-3 Tool\\kavo3tool-demo.exe' ||
    fail "the demo's window belongs to $(tr '\0' ' ' <"/proc/$pid/cmdline")"
sleep 1
import -window "$window" "$out/installed-demo.png"
echo "  connected: $(grep -m1 ' IN ' "$trace" | cut -c1-60); screenshot $out/installed-demo.png"
# The running demo is ended before the upgrade replaces its program.
wineserver --kill
sleep 1
wineserver --persistent >/dev/null 2>&1 </dev/null

echo "--- a newer MSI upgrades in place ---"
newer=$version.1
bash scripts/msi-windows.sh "$stage" "$newer" "$out/kavo3tool-$newer-x64.msi"
wine msiexec /i "$(windows_path "$out/kavo3tool-$newer-x64.msi")" /qn || fail "the upgrade failed"
newer_code=$(product_code "$out/kavo3tool-$newer-x64.msi")
codes+=("${newer_code//[\{\}]/}")
[ "$newer_code" != "$code" ] || fail "both MSIs have the same product code"
check_installed "$newer_code" "$newer"
! registry "$uninstall\\$code" >/dev/null || fail "the older version is still installed beside the newer"
echo "  the older version's entry is gone"

echo "--- silent removal ---"
wine msiexec /x "$newer_code" /qn || fail "msiexec /x ... /qn failed"
left=$(traces_of_us)
[ -z "$left" ] || { echo "$left" >&2; fail "the removal left files or registry entries behind"; }
echo "  removed: no file and no registry key names us"
echo "check-windows-install: done"
