#!/usr/bin/env bash
# Cross-builds the tool for 64-bit Windows with mingw-w64 (scripts/build-windows.sh: the whole
# program with the static Qt when it is there, else the Qt-free part) and runs every test program
# and the search probe under Wine, headless; the window tests on Qt's offscreen platform.
# Installs what it needs itself.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-windows
start=$(date +%s)

bash scripts/build-windows.sh
bash scripts/install-deps.sh jq fontconfig fonts-ipafont-gothic

# A prefix of our own, made afresh, so that nothing of the user's Wine setup plays a part.
# Console programs need no display; DISPLAY is cleared so that Wine never opens a window.
export WINEPREFIX="$PWD/$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
unset DISPLAY WAYLAND_DISPLAY
wineserver --kill >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
# One server for the whole run instead of one start-up per program.
wineserver --persistent
trap 'wineserver --kill >/dev/null 2>&1 || true' EXIT
wineboot --init >/dev/null 2>&1
# Wine hands no QT_* variable of the Unix environment to Windows programs: the window tests get
# Qt's offscreen platform from the prefix's own environment instead.
wine reg add 'HKCU\Environment' /v QT_QPA_PLATFORM /d offscreen /f >/dev/null 2>&1
# That platform reads fonts on Windows from one folder: the Japanese font of the Linux tests.
font_dir=$(dirname "$(fc-match -f '%{file}' IPAPGothic)")
wine reg add 'HKCU\Environment' /v QT_QPA_FONTDIR /d "Z:${font_dir//\//\\}" /f >/dev/null 2>&1

status=0
ctest --test-dir "$build" --output-on-failure --timeout 300 --output-junit "$PWD/$build/ctest.xml" \
    --test-output-size-passed 1000000 --test-output-size-failed 1000000 || status=$?

# Cases passed per test program, from the report's output of each; the window tests are the
# programs that run on Qt's offscreen platform.
window_tests=$(ctest --test-dir "$build" --show-only=json-v1 | jq -r '.tests[] |
    select(any(.properties[]?; .name == "ENVIRONMENT" and (.value | tostring | test("QT_QPA_PLATFORM"))))
    | .name')
awk -v windows="$window_tests" '
    BEGIN { n = split(windows, w, "\n"); for (i = 1; i <= n; i++) window[w[i]] = 1 }
    /<testcase / { match($0, /name="[^"]*"/); name = substr($0, RSTART + 6, RLENGTH - 7); names[name] = 1
                   if ($0 ~ /status="fail"/) failed[name] = 1 }
    /\[  PASSED  \] [0-9]+ test/ { match($0, /\] [0-9]+/); passed[name] += substr($0, RSTART + 2, RLENGTH - 2); counted[name] = 1 }
    /^# pass [0-9]+/ { passed[name] += $3; counted[name] = 1 }
    END {
        for (t in names) {
            kind = (t in window) ? "  (window tests)" : ""
            if (t in failed)
                printf "  %-26s FAILED%s\n", t, kind
            else if (t in counted)
                printf "  %-26s %5d cases passed%s\n", t, passed[t], kind
            else
                printf "  %-26s passed (one run, no case count)%s\n", t, kind
            if (t in window) { wsum += passed[t]; wprogs++ } else { csum += passed[t]; cprogs++ }
        }
        printf "Under Wine: %d window test cases passed in %d programs, %d Qt-free cases in %d programs\n",
            wsum, wprogs, csum, cprogs
    }' "$build/ctest.xml" | sort
[ "$status" -eq 0 ] || exit "$status"

echo "--- kavo3probe under Wine ---"
probe_out="$build/kavo3probe.txt"
status=0
wine "$build/link/windows/kavo3probe.exe" >"$probe_out" 2>&1 || status=$?
tr -d '\r' <"$probe_out" >"$probe_out.tmp" && mv "$probe_out.tmp" "$probe_out"
cat "$probe_out"
if [ "$status" -ne 0 ]; then
    echo "kavo3probe failed with exit code $status" >&2
    exit 1
fi
# Wine offers no KAVO-3: the search must end with nothing matched and nothing left open.
grep -q '^result: no unit found$' "$probe_out" || { echo "kavo3probe matched a unit" >&2; exit 1; }
listed=$(sed -n 's/^interfaces listed: \([0-9]*\)$/\1/p' "$probe_out")
grep -q "^  # search: $listed HID interface(s)$" "$probe_out" ||
    { echo "kavo3probe searched other interfaces than it listed" >&2; exit 1; }
grep -q '^search ended cleanly$' "$probe_out" || { echo "kavo3probe did not end cleanly" >&2; exit 1; }

echo "--- application manifests ---"
for exe in "$build/cli/kavo3cli.exe" "$build/app/kavo3tool.exe" "$build/app/kavo3tool-demo.exe"; do
    [ -f "$exe" ] || continue
    wanted=(asInvoker '8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a' '>UTF-8</activeCodePage>')
    [[ "$exe" == */app/* ]] && wanted+=('>PerMonitorV2, PerMonitor</dpiAwareness>' '>true/pm</dpiAware>')
    for text in "${wanted[@]}"; do
        grep -aqF "$text" "$exe" || { echo "$(basename "$exe"): its manifest lacks $text" >&2; exit 1; }
    done
    echo "  $(basename "$exe"): ${wanted[*]}"
done

echo "--- kavo3cli.exe in Windows consoles ---"
bash scripts/check-windows-console.sh

echo "--- Windows programs ---"
find "$build" -name 'kavo3*.exe' -not -path "$build/tests/*" -not -path "$build/package/*" -printf '%f %s\n' | sort |
    while read -r name size; do printf '%-20s %10d bytes\n' "$name" "$size"; done
echo "Windows build and tests passed in $(($(date +%s) - start)) s"
