#!/usr/bin/env bash
# Packs the Windows programs into build-windows/kavo3tool-<version>-windows-x64.zip: the
# executables (statically linked, nothing to install), README-windows.txt, the programs' own
# licence (MIT), the licence texts of everything linked in, and the source with the recipe of
# its Qt, which the LGPL asks for with a statically linked Qt. The same files go into the
# installer build-windows/kavo3tool-<version>-x64.msi (scripts/msi-windows.sh). Builds what is
# missing first (scripts/build-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh zip git qt6-base-dev libqt6core6 mingw-w64-common gcc-mingw-w64-base
version=$(sed -n 's/^project(kavo3tool VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
build=build-windows

programs=(kavo3tool kavo3tool-demo)
[ -f cli/CMakeLists.txt ] && programs+=(kavo3cli)
bash scripts/build-windows.sh "${programs[@]}"
grep -q '^KAVO3_WITH_QT:BOOL=ON' "$build/CMakeCache.txt" || {
    echo "package-windows: the windows need the static Qt for mingw-w64 (scripts/build-qt6-mingw.sh)" >&2
    exit 1
}

name=kavo3tool-$version-windows-x64
stage=$build/package/$name
rm -rf "$build/package"
mkdir -p "$stage/LICENSES" "$stage/source"

for program in "${programs[@]}"; do
    exe=$(find "$build" -name "$program.exe" -not -path "$build/package/*" -not -path "$build/check*" \
        -not -path "$build/wineprefix*" | head -n 1)
    [ -n "$exe" ] || { echo "package-windows: $program.exe was not built" >&2; exit 1; }
    # Symbols are of no use to a user; they are most of the file.
    x86_64-w64-mingw32-strip -o "$stage/$program.exe" "$exe"
done

# Windows' Notepad reads UTF-8 with a byte order mark and CRLF line ends on every version.
{
    printf '\xef\xbb\xbf'
    sed -e "s/@VERSION@/$version/" -e 's/$/\r/' packaging/windows/README-windows.txt
} >"$stage/README-windows.txt"

crlf() { sed 's/$/\r/' "$1" >"$2"; }
crlf LICENSE "$stage/LICENSE.txt"

# Licence texts from Debian's packages of the very sources that were built: Qt's own, the
# libraries bundled in qtbase, the compiler's runtime.
qt_copyright=/usr/share/doc/libqt6core6/copyright
crlf /usr/share/common-licenses/LGPL-3 "$stage/LICENSES/Qt-LGPL-3.0.txt"
crlf /usr/share/common-licenses/GPL-3 "$stage/LICENSES/GPL-3.0.txt"
crlf "$qt_copyright" "$stage/LICENSES/qtbase-copyright.txt"
{
    echo "Third-party libraries bundled in Qt 6.4.2 (qtbase) and linked into these programs."
    echo "Taken from Debian's copyright file of qt6-base 6.4.2 (full file: qtbase-copyright.txt)."
    echo
    # The Files paragraphs of the bundled libraries, then the licence paragraphs they name.
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
        /^Files:/ { files = substr($0, 1, index($0, "\nCopyright:")) }
        /^Files:/ && files ~ /src\/3rdparty\/(zlib|libpng|libjpeg|freetype|harfbuzz-ng|pcre2)\/[^i\n]/ {
            print; match($0, /\nLicense: [^\n]*/); split(substr($0, RSTART + 10, RLENGTH - 10), l, / (and|or) /)
            for (i in l) wanted[l[i]] = 1; next }
        /^License: / { text[++n] = $0 }
        END { for (i = 1; i <= n; i++) { split(text[i], first, "\n"); sub(/^License: /, "", first[1])
                  if (first[1] in wanted) print text[i] } }' "$qt_copyright"
} >"$stage/LICENSES/THIRD-PARTY-NOTICES.txt.tmp"
crlf "$stage/LICENSES/THIRD-PARTY-NOTICES.txt.tmp" "$stage/LICENSES/THIRD-PARTY-NOTICES.txt"
rm "$stage/LICENSES/THIRD-PARTY-NOTICES.txt.tmp"
crlf /usr/share/doc/mingw-w64-common/copyright "$stage/LICENSES/mingw-w64-runtime.txt"
crlf /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/LICENSES/gcc-runtime.txt"
cat >"$stage/LICENSES/README.txt" <<NOTE
The programs themselves are licensed under the MIT License (../LICENSE.txt).

They link Qt 6.4.2 (qtbase, Debian's source package qt6-base
6.4.2+dfsg-10) statically. Qt is licensed under the GNU Lesser General Public License v3
(Qt-LGPL-3.0.txt, which adds to GPL-3.0.txt). You may replace Qt with a modified version:
source/ holds the complete source of these programs and scripts/build-qt6-mingw.sh, the
recipe that builds the Qt they link, and docs/building.md says how to build them for Windows.

Bundled in Qt and linked in: zlib, libpng, libjpeg, FreeType, HarfBuzz, PCRE2
(THIRD-PARTY-NOTICES.txt). The C and C++ runtime of mingw-w64 and GCC are linked in too
(mingw-w64-runtime.txt, gcc-runtime.txt).
NOTE
sed -i 's/$/\r/' "$stage/LICENSES/README.txt"

git archive --format=zip --prefix="kavo3tool-$version-source/" -o "$stage/source/kavo3tool-$version-source.zip" HEAD
if ! git diff --quiet HEAD; then
    echo "package-windows: note: uncommitted changes are not in the source archive" >&2
fi

(cd "$build/package" && rm -f "../$name.zip" && zip -q -r -9 "../$name.zip" "$name")
msi=$build/kavo3tool-$version-x64.msi
bash scripts/msi-windows.sh "$stage" "$version" "$msi"
echo "$build/$name.zip ($(stat -c %s "$build/$name.zip") bytes):"
(cd "$build/package" && find "$name" -type f -printf '  %p %s\n' | sort)
echo "$msi ($(stat -c %s "$msi") bytes), the same files"
