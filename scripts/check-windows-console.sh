#!/usr/bin/env bash
# Checks under Wine that kavo3cli.exe's Japanese texts (the key legends of "key --list" and a
# capture's size text) read right in a console whose code page is 932, as on a Japanese
# Windows, and in one whose code page is UTF-8, and that output redirected to a file is the
# same UTF-8 bytes as on Linux (with Windows line ends). Wine run in a pseudo-terminal hands
# what reaches its console to the terminal in the terminal's encoding (UTF-8 here), so what
# the terminal receives is compared with the Linux program's output.
# Run by scripts/test-windows.sh, in its Wine prefix; needs build-windows/ and build/.
set -euo pipefail
cd "$(dirname "$0")/.."

cli_exe=build-windows/cli/kavo3cli.exe
[ -f "$cli_exe" ] || { echo "check-windows-console: $cli_exe is not built" >&2; exit 1; }
[ -f build/CMakeCache.txt ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target kavo3cli >/dev/null

export WINEPREFIX=${WINEPREFIX:-$PWD/build-windows/wineprefix}
export WINEDEBUG=-all
export LC_ALL=C.UTF-8
out=$PWD/build-windows/check-console
rm -rf "$out"
mkdir -p "$out"
cli_windows="Z:$(echo "$PWD/$cli_exe" | tr / '\\')"
fail() { echo "check-windows-console: $*" >&2; exit 1; }

# What the Linux program prints: the whole key table, and the size line of a capture.
build/cli/kavo3cli key --list >"$out/keys-linux.txt"
(cd "$out" && "$OLDPWD/build/cli/kavo3cli" --sim capture linux.bmp) | grep '^画面情報' >"$out/size-linux.txt"
grep -q '消音' "$out/keys-linux.txt" && grep -q 'SIZE= 720dot' "$out/size-linux.txt" ||
    fail "the Linux program printed no Japanese texts to compare with"

# Runs a command line in Wine's cmd.exe in a pseudo-terminal, its console switched to a code
# page first; leaves what reached the terminal, without escape sequences, line ends and the
# blank line that cmd.exe ends with.
in_console() {  # <code page> <file> <kavo3cli arguments...>
    local page=$1 file=$2
    shift 2
    (cd "$out" && script -q -e -c "wine cmd /c 'chcp $page >nul & $cli_windows $*'" "$file.raw" >/dev/null)
    # Wine's console draws a blank as "erase to the end of the line, one step right" and hides
    # the cursor around each character; anything else ends the check as a difference.
    perl -pe 's/\e\[\?25[hl]//g; s/\e\[K//g; s/\e\[(\d*)C/" " x ($1 || 1)/ge; s/\r//g' \
        "$out/$file.raw" | grep -av '^Script \(started\|done\)' |
        sed -e :a -e '/^\n*$/{$d;N;ba' -e '}' >"$out/$file" || true
}

status=0
for page in 932 65001; do
    in_console "$page" "keys-console-$page.txt" key --list
    in_console "$page" "capture-console-$page.txt" --sim capture "console-$page.bmp"
    grep '^画面情報' "$out/capture-console-$page.txt" >"$out/size-console-$page.txt" || true
    for what in keys size; do
        if cmp -s "$out/$what-linux.txt" "$out/$what-console-$page.txt"; then
            echo "  console, code page $page: $what read back as on Linux"
        else
            echo "  console, code page $page: $what differ from Linux:" >&2
            diff "$out/$what-linux.txt" "$out/$what-console-$page.txt" | head -n 8 >&2 || true
            status=1
        fi
    done
done

# Redirected to a file: UTF-8 bytes, the same as on Linux but for CRLF line ends.
(cd "$out" && wine "$cli_windows" key --list >keys-file.txt)
sed 's/$/\r/' "$out/keys-linux.txt" >"$out/keys-linux-crlf.txt"
if cmp "$out/keys-linux-crlf.txt" "$out/keys-file.txt"; then
    echo "  redirected to a file: key table byte for byte as on Linux (UTF-8, CRLF)"
else
    status=1
fi
(cd "$out" && wine "$cli_windows" --sim capture file.bmp >capture-file.txt)
grep -a '^画面情報' "$out/capture-file.txt" >"$out/size-file.txt" || true
sed 's/$/\r/' "$out/size-linux.txt" >"$out/size-linux-crlf.txt"
if cmp "$out/size-linux-crlf.txt" "$out/size-file.txt"; then
    echo "  redirected to a file: size text byte for byte as on Linux"
else
    status=1
fi
# A Japanese file name on the command line names the file written (the manifest makes the
# arguments UTF-8; Wine shows the file under its UTF-8 name).
(cd "$out" && wine "$cli_windows" --sim capture 画面キャプチャ.bmp >/dev/null)
if [ -f "$out/画面キャプチャ.bmp" ]; then
    echo "  a Japanese file name given to kavo3cli.exe names the file it writes"
else
    echo "  kavo3cli.exe --sim capture 画面キャプチャ.bmp wrote: $(cd "$out" && ls -- *.bmp)" >&2
    status=1
fi
[ "$status" -eq 0 ] || fail "kavo3cli.exe's texts do not read back right; see $out"
