# Sourced by the Windows scripts: finds the static Qt for mingw-w64 and unpacks it into
# build-qt6-mingw/ (once per archive). Afterwards KAVO3_QT_MINGW_DIR names the unpacked Qt, or
# is empty when none was found.
#
# Looked for, in this order: KAVO3_QT_MINGW_DIR (an unpacked qt6-mingw folder),
# KAVO3_QT_MINGW_ARCHIVE, the archive of scripts/build-qt6-mingw.sh in build-qt6-src/, and the
# team's shared copy beside the clone or at /work/shared/qt6-mingw.
qt6_mingw_archive_name=qt6-mingw-6.4.2-static.tar.xz

kavo3_find_qt6_mingw() {
    if [ -n "${KAVO3_QT_MINGW_DIR:-}" ]; then
        [ -f "$KAVO3_QT_MINGW_DIR/lib/cmake/Qt6/Qt6Config.cmake" ] || {
            echo "KAVO3_QT_MINGW_DIR=$KAVO3_QT_MINGW_DIR holds no Qt 6" >&2
            return 1
        }
        return 0
    fi
    local archive="" candidate
    for candidate in "${KAVO3_QT_MINGW_ARCHIVE:-}" "build-qt6-src/$qt6_mingw_archive_name" \
        "../shared/qt6-mingw/$qt6_mingw_archive_name" "/work/shared/qt6-mingw/$qt6_mingw_archive_name"; do
        if [ -n "$candidate" ] && [ -f "$candidate" ]; then
            archive=$(cd "$(dirname "$candidate")" && pwd)/$(basename "$candidate")
            break
        fi
    done
    if [ -z "$archive" ] && [ -n "${KAVO3_QT_MINGW_ARCHIVE:-}" ]; then
        echo "KAVO3_QT_MINGW_ARCHIVE=$KAVO3_QT_MINGW_ARCHIVE does not exist" >&2
        return 1
    fi
    KAVO3_QT_MINGW_DIR=""
    [ -n "$archive" ] || return 0

    local unpacked=$PWD/build-qt6-mingw
    local stamp
    stamp="$archive $(stat -c '%s %Y' "$archive")"
    if [ "$(cat "$unpacked/.archive" 2>/dev/null)" != "$stamp" ]; then
        rm -rf "$unpacked"
        mkdir -p "$unpacked"
        tar -C "$unpacked" -xJf "$archive"
        echo "$stamp" >"$unpacked/.archive"
    fi
    KAVO3_QT_MINGW_DIR=$unpacked/qt6-mingw
}
