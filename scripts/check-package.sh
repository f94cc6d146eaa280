#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh made: lintian finds no error, it holds every
# file a desktop install needs, its dependencies can be met here, and unpacked into a scratch
# root its programs start and its desktop entries, icon and metadata point at files it holds.
set -euo pipefail
cd "$(dirname "$0")/.."

deb=${1:-$(ls build-package/kavo3tool_*.deb)}
fail() { echo "check-package: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -f "$deb" ] || fail "no package at $deb"

echo "== $deb: $(stat -c %s "$deb") bytes"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"

# Errors fail; warnings and notes are listed.
lintian_status=0
lintian --fail-on error --display-level '>=info' "$deb" >"$work/lintian.txt" 2>&1 || lintian_status=$?
grep -v 'running with root privileges' "$work/lintian.txt" || true
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors"

programs=(kavo3tool kavo3tool-demo)
[ -f cli/CMakeLists.txt ] && programs+=(kavo3cli)
required=(
    usr/lib/udev/rules.d/70-kavo3.rules
    usr/share/applications/kavo3tool.desktop
    usr/share/applications/kavo3tool-demo.desktop
    usr/share/metainfo/kavo3tool.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/kavo3tool.svg
    usr/share/doc/kavo3tool/copyright
    usr/share/doc/kavo3tool/changelog.Debian.gz
)
for size in 16 22 24 32 48 64 128 256; do
    required+=("usr/share/icons/hicolor/${size}x${size}/apps/kavo3tool.png")
done
for program in "${programs[@]}"; do
    required+=("usr/bin/$program" "usr/share/man/man1/$program.1.gz")
done
for page in packaging/linux/man/*.1; do
    required+=("usr/share/man/man1/$(basename "$page").gz")
done
contents=$(dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's#^\./##')
for path in "${required[@]}"; do
    grep -qxF "$path" <<<"$contents" || fail "missing from the package: /$path"
done
echo "contents: all ${#required[@]} files present"

# Every dependency is a package this system knows, and apt could install the package.
apt-get install --simulate -q "$(realpath "$deb")" >"$work/apt.txt" 2>&1 \
    || { cat "$work/apt.txt" >&2; fail "its dependencies cannot be met"; }

root="$work/root"
mkdir "$root"
dpkg -x "$deb" "$root"
for program in "${programs[@]}"; do
    bin="$root/usr/bin/$program"
    [ -x "$bin" ] || fail "/usr/bin/$program is not executable"
    ! ldd "$bin" | grep -q 'not found' || fail "/usr/bin/$program lacks a library: $(ldd "$bin")"
    zcat "$root/usr/share/man/man1/$program.1.gz" | grep -q '^\.SH NAME' \
        || fail "the manual page of $program is not one"
    "$bin" --version | grep -qx "$program $(dpkg-deb -f "$deb" Version | cut -d- -f1) (commit .*)" \
        || fail "$program --version does not name the package's version and a commit"
done
echo "--version: $("$root/usr/bin/kavo3cli" --version 2>/dev/null || "$root/usr/bin/kavo3tool" --version)"
for entry in "$root"/usr/share/applications/*.desktop; do
    exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
    icon_name=$(sed -n 's/^Icon=//p' "$entry")
    [ -x "$root/usr/bin/$exec_name" ] || fail "$(basename "$entry") starts a missing $exec_name"
    [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon_name.svg" ] \
        || fail "$(basename "$entry") names a missing icon '$icon_name'"
done
launchable=$(sed -n 's#.*<launchable type="desktop-id">\(.*\)</launchable>.*#\1#p' \
    "$root/usr/share/metainfo/kavo3tool.metainfo.xml")
[ -f "$root/usr/share/applications/$launchable" ] || fail "the metadata launches a missing $launchable"
appstreamcli validate --no-net "$root/usr/share/metainfo/kavo3tool.metainfo.xml" \
    | grep '^E:' && fail "the AppStream metadata has errors"

# The unpacked demo starts and keeps running until it is stopped: its libraries, Qt's
# plugins and its resources are all found.
status=0
QT_QPA_PLATFORM=offscreen timeout 3 "$root/usr/bin/kavo3tool-demo" >/dev/null 2>&1 || status=$?
[ "$status" -eq 124 ] || fail "the unpacked kavo3tool-demo ended at once (status $status)"
if [[ " ${programs[*]} " == *" kavo3cli "* ]]; then
    "$root/usr/bin/kavo3cli" --help >/dev/null || fail "the unpacked kavo3cli does not start"
fi

# Installed for real where that harms nobody: as root, and only when no kavo3tool is installed
# already (a user's own install is never replaced or removed by a test run).
if [ "$(id -u)" -eq 0 ] && ! dpkg-query -W kavo3tool >/dev/null 2>&1; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -q --no-install-recommends "$(realpath "$deb")" >"$work/install.txt" 2>&1 \
        || { cat "$work/install.txt" >&2; fail "apt-get could not install the package"; }
    installed_ok=1
    for program in "${programs[@]}"; do
        [ "$(command -v "$program")" = "/usr/bin/$program" ] || installed_ok=0
    done
    status=0
    QT_QPA_PLATFORM=offscreen timeout 3 kavo3tool-demo >/dev/null 2>&1 || status=$?
    [ "$status" -eq 124 ] || installed_ok=0
    if [[ " ${programs[*]} " == *" kavo3cli "* ]]; then
        kavo3cli status --sim >"$work/status.txt" 2>&1 || installed_ok=0
    fi
    apt-get purge -y -q kavo3tool >"$work/remove.txt" 2>&1 || fail "apt-get could not remove the package"
    [ ! -e /usr/bin/kavo3tool ] && [ ! -e /usr/lib/udev/rules.d/70-kavo3.rules ] \
        || fail "removing the package left its files behind"
    [ "$installed_ok" -eq 1 ] || fail "the installed programs did not start from /usr/bin"
    sed "s/^/  installed kavo3cli: /" "$work/status.txt" 2>/dev/null || true
    echo "installed with apt-get, started from /usr/bin, removed again"
else
    echo "not installed for real here (needs root and no kavo3tool installed already)"
fi
echo "check-package: $deb is good"
