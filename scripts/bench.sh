#!/usr/bin/env bash
# Builds the benchmarks in Release (build-bench/) and runs them all, printing one table.
#   --smoke  one short pass of each, so that they keep working; nothing is judged by time
#   --long   adds the full-speed runs of the 1920 x 1080 capture and the 1 MiB download
#            (several minutes: they take as long as their reports take on the link)
#   --cli    only the kavo3cli rows
set -euo pipefail
cd "$(dirname "$0")/.."

smoke=0
long=0
only_cli=0
for a in "$@"; do
    case "$a" in
        --smoke) smoke=1 ;;
        --long) long=1 ;;
        --cli) only_cli=1 ;;
        *) echo "usage: scripts/bench.sh [--smoke] [--long] [--cli]" >&2; exit 2 ;;
    esac
done

export QT_QPA_PLATFORM=offscreen
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR=$(mktemp -d)
    export XDG_RUNTIME_DIR
    trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi

build=build-bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVO3_WITH_TESTS=OFF >/dev/null
if [ "$only_cli" = 1 ]; then
    cmake --build "$build" -j "$(nproc)" --target kavo3cli >/dev/null
else
    cmake --build "$build" -j "$(nproc)" >/dev/null
fi

linkbench=$build/bench/kavo3bench-link
runner=$build/bench/kavo3bench-run
demo=$build/app/kavo3tool-demo
unit_program=$build/app/kavo3tool
cli=$build/cli/kavo3cli

if [ "$smoke" = 1 ]; then repeats=1; else repeats=3; fi
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
failures=()
rows=()

# One table row: work, time, CPU, peak resident, rate, link ratio, target.
row() { rows+=("$(printf '%-44s|%14s|%14s|%10s|%14s|%8s| %s' "$@")"); }

field() { sed -n "s/.* $2=\([^ ]*\).*/\1/p" <<<" $1"; }

if [ "$only_cli" = 0 ]; then
# --- one exchange through the link -------------------------------------------------------
# The hidraw rows are also taken with the program and the answering thread on one core: the
# round trip then costs no wake-up of another core, which on some machines (virtual ones above
# all) is most of it.
link_rows() {
    local suffix=$1 csv name iterations real cpu unit items work target
    shift
    if ! csv=$("$@" --benchmark_format=csv --benchmark_min_time=$min_time 2>/dev/null); then
        failures+=("kavo3bench-link$suffix")
        return
    fi
    while IFS=, read -r name iterations real cpu unit _ items _; do
        name=${name//\"/}
        case "$name" in
            exchangeWithSimulatedUnit) work="exchange, simulated unit"; target="<= 2 us" ;;
            exchangeOverHidrawSocket*) work="exchange, hidraw socket pair"; target="<= 20 us" ;;
            roundTripOverSocketPair*) work="  floor: bare socket round trip"; target="-" ;;
            *) continue ;;
        esac
        row "$work$suffix" "$(awk -v t="$real" 'BEGIN {printf "%.2f us", t / 1000}')" \
            "$(awk -v t="$cpu" 'BEGIN {printf "%.2f us", t / 1000}')" "-" \
            "$(printf '%.0f /s' "$items")" "-" "$target"
    done <<<"$csv"
}
if [ -x "$linkbench" ]; then
    min_time=0.5
    [ "$smoke" = 1 ] && min_time=0.01
    link_rows "" "$linkbench"
    if command -v taskset >/dev/null; then
        link_rows ", one core" taskset -c 0 "$linkbench" --benchmark_filter=Socket
    fi
else
    failures+=("kavo3bench-link not built")
fi

# --- whole operations, one process each ------------------------------------------------------
operations=" $("$runner" --list 2>/dev/null | tr '\n' ' ') "

# Runs one operation `repeats` times and prints the line of the run with the median wall time.
measure() {
    local lines=() line i
    for ((i = 0; i < repeats; i++)); do
        if ! line=$("$runner" "$@" 2>/dev/null); then
            "$runner" "$@" >/dev/null || true  # says why on standard error
            return 1
        fi
        lines+=("$line")
    done
    printf '%s\n' "${lines[@]}" | awk '{for (i = 1; i <= NF; i++) if ($i ~ /^wall_ms=/) \
        print substr($i, 9), $0}' | sort -n | awk -v n="${#lines[@]}" \
        'NR == int((n + 1) / 2) {sub(/^[^ ]+ /, ""); print}'
}

# operation, work, target, runner arguments...
whole() {
    local op=$1 work=$2 target=$3 line wall cpu peak rate ratio
    shift 3
    if [[ "$operations" != *" $op "* ]]; then
        row "$work" "not built" "" "" "" "" "$target"
        return
    fi
    if ! line=$(measure "$op" "$@"); then
        failures+=("$work")
        row "$work" "FAILED" "" "" "" "" "$target"
        return
    fi
    wall=$(field "$line" wall_ms)
    cpu=$(field "$line" cpu_ms)
    peak=$(field "$line" peak_rss_mb)
    rate=$(field "$line" reports_per_s)
    ratio=$(field "$line" link_ratio)
    row "$work" "$wall ms" "$cpu ms" "$peak MB" "$rate /s" "$ratio" "$target"
}

whole timing-open "timing window opens" "<= 50 ms"
whole settle-waits "100 settle waits of 3 ticks" "300 ms at best" --count=100
if [ "$smoke" = 1 ]; then
    whole capture "capture 720x480" "" --sim=size=720x480
    whole download "download 64 KiB" "" --bytes=65536
    whole capture "capture 128x101, full-speed link" "" --sim=size=128x101,usb
    whole download "download 4 KiB, full-speed link" "" --bytes=4096 --sim=usb
else
    whole capture "capture 720x480" "" --sim=size=720x480
    whole capture "capture 1920x1080" "<= 1.5 s" --sim=size=1920x1080
    whole capture "capture 1984x1299" "peak <= 80 MB" --sim=size=1984x1299
    whole download "download 64 KiB" "" --bytes=65536
    whole download "download 1 MiB" "<= 2 s" --bytes=1048576
    repeats=1
    whole capture "capture 720x480, full-speed link" "ratio <= 1.02" --sim=size=720x480,usb
    whole download "download 64 KiB, full-speed link" "ratio <= 1.02" --bytes=65536 --sim=usb
    if [ "$long" = 1 ]; then
        whole capture "capture 1920x1080, full-speed link" "ratio <= 1.02" \
            --sim=size=1920x1080,usb
        whole download "download 1 MiB, full-speed link" "ratio <= 1.02" --bytes=1048576 \
            --sim=usb
    fi
fi

# --- idle: the main window open, nothing running ------------------------------------------
# Context switches of all the program's threads, and its CPU time, over the interval.
switches() {
    cat /proc/"$1"/task/*/status 2>/dev/null |
        awk '/^(voluntary|nonvoluntary)_ctxt_switches:/ {n += $2} END {print n + 0}'
}
cpu_ticks() { sed 's/.*) //' /proc/"$1"/stat | awk '{print $12 + $13}'; }

idle() {
    local seconds=$1 program=${2:-$demo} work=${3:-"idle ${1} s, main window"}
    local pid before after cpu0 cpu1 t0 t1 last quiet=0 tries=0
    "$program" >/dev/null 2>&1 &
    pid=$!
    # Up once it has used no CPU for 300 ms (at most 10 s).
    last=-1
    while [ $quiet -lt 3 ] && [ $tries -lt 100 ]; do
        sleep 0.1
        kill -0 "$pid" 2>/dev/null || break
        now=$(cpu_ticks "$pid")
        if [ "$now" = "$last" ]; then quiet=$((quiet + 1)); else quiet=0; fi
        last=$now
        tries=$((tries + 1))
    done
    if ! kill -0 "$pid" 2>/dev/null; then
        failures+=("idle: $(basename "$program") did not stay up")
        row "$work" "FAILED" "" "" "" "" "no wake-ups, ~0 % CPU"
        return
    fi
    t0=$(date +%s%N)
    before=$(switches "$pid")
    cpu0=$(cpu_ticks "$pid")
    sleep "$seconds"
    after=$(switches "$pid")
    cpu1=$(cpu_ticks "$pid")
    t1=$(date +%s%N)
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    local us=$(((t1 - t0) / 1000)) hz
    hz=$(getconf CLK_TCK)
    row "$work" \
        "$(awk -v w=$((after - before)) -v us="$us" 'BEGIN {printf "%.1f wake/s", w * 1e6 / us}')" \
        "$(awk -v c=$((cpu1 - cpu0)) -v hz="$hz" -v us="$us" \
            'BEGIN {printf "%.0f ms %.1f%%", 1000 * c / hz, 100 * c / hz * 1e6 / us}')" \
        "-" "-" "-" "no wake-ups; ~0 % CPU"
}
idle_seconds=10
[ "$smoke" = 1 ] && idle_seconds=1
if [ -x "$demo" ]; then
    idle $idle_seconds
else
    row "idle, main window" "not built" "" "" "" "" ""
fi
# The program for a real unit, without one: its device events (the udev monitor) are on, and
# it must still sleep until something is plugged in.
if [ -x "$unit_program" ]; then
    idle $idle_seconds "$unit_program" "idle ${idle_seconds} s, no unit, device events on"
else
    row "idle, no unit, device events on" "not built" "" "" "" "" ""
fi

fi

# --- kavo3cli download, one process per run ---------------------------------------------------
# The whole process is timed, start-up and connection check included. Its reports are counted
# in a trace of the same run against the unit answering at once (the sequence is the same),
# so that writing the trace costs the timed run nothing.
cli_download() {
    local work=$1 target=$2 bytes=$3 dir reports t0 t1 wall cpu peak
    if [ ! -x "$cli" ]; then
        row "$work" "not built" "" "" "" "" "$target"
        return
    fi
    dir=$(mktemp -d)
    head -c "$bytes" /dev/urandom >"$dir/image.bin"
    if ! "$cli" --sim --trace "$dir/trace" download "$dir/image.bin" >/dev/null; then
        failures+=("$work")
        row "$work" "FAILED" "" "" "" "" "$target"
        rm -rf "$dir"
        return
    fi
    reports=$(grep -cE '^[0-9]+ (OUT|IN) ' "$dir/trace")
    t0=$(date +%s%N)
    if ! /usr/bin/time -f '%U %S %M' -o "$dir/time" \
        "$cli" --sim=usb download "$dir/image.bin" >/dev/null; then
        failures+=("$work")
        row "$work" "FAILED" "" "" "" "" "$target"
        rm -rf "$dir"
        return
    fi
    t1=$(date +%s%N)
    wall=$(((t1 - t0) / 1000))
    read -r cpu peak < <(awk '{printf "%.0f %.1f\n", ($1 + $2) * 1000, $3 / 1024}' "$dir/time")
    row "$work" "$(awk -v w="$wall" 'BEGIN {printf "%.2f s", w / 1e6}')" "$cpu ms" "$peak MB" \
        "$(awk -v n="$reports" -v w="$wall" 'BEGIN {printf "%.0f /s", n * 1e6 / w}')" \
        "$(awk -v n="$reports" -v w="$wall" 'BEGIN {printf "%.4f", w / 1000 / n}')" "$target"
    rm -rf "$dir"
}
if [ "$smoke" = 1 ]; then
    cli_download "kavo3cli download 4 KiB, full-speed link" "" 4096
else
    cli_download "kavo3cli download 64 KiB, full-speed link" "ratio <= 1.02" 65536
    if [ "$long" = 1 ]; then
        cli_download "kavo3cli download 1 MiB, full-speed link" "ratio <= 1.01" 1048576
    fi
fi

# --- kavo3cli download --all: N simulated units on one bench, each with its own link --------
# Each unit at the full-speed link's pace; the ratio is the time of N units over the time of one
# alone (target <= 1.05 for eight), and the CPU is the process's per unit. The simulated links
# keep their pace by sleeping (coarse), so that the CPU is what the host spends, not their waits.
units_one_wall=0
units_one_cpu=0
cli_download_units() {
    local units=$1 bytes=$2 label=$3 dir t0 t1 wall cpu peak ratio per_unit target
    [ -x "$cli" ] || { row "kavo3cli download --all, $units units, $label" "not built" "" "" "" "" ""; return; }
    dir=$(mktemp -d)
    head -c "$bytes" /dev/urandom >"$dir/image.bin"
    t0=$(date +%s%N)
    if ! /usr/bin/time -f '%U %S %M' -o "$dir/time" \
        "$cli" --sim=usb,coarse,units="$units" download "$dir/image.bin" --all >/dev/null; then
        failures+=("kavo3cli download --all, $units units")
        row "kavo3cli download --all, $units units, $label" "FAILED" "" "" "" "" ""
        rm -rf "$dir"
        return
    fi
    t1=$(date +%s%N)
    wall=$(((t1 - t0) / 1000))
    read -r cpu peak < <(awk '{printf "%.0f %.1f\n", ($1 + $2) * 1000, $3 / 1024}' "$dir/time")
    per_unit=$((cpu / units))
    if [ "$units" = 1 ]; then
        units_one_wall=$wall
        units_one_cpu=$per_unit
        ratio="1.0000"
        target="(one unit alone)"
    else
        ratio=$(awk -v w="$wall" -v o="$units_one_wall" 'BEGIN {printf "%.4f", w / o}')
        target="ratio <= 1.05, CPU/unit <= $units_one_cpu ms"
    fi
    row "kavo3cli download --all, $units units, $label" \
        "$(awk -v w="$wall" 'BEGIN {printf "%.2f s", w / 1e6}')" "$per_unit ms/unit" "$peak MB" \
        "-" "$ratio" "$target"
    rm -rf "$dir"
}
if [ "$smoke" = 1 ]; then
    cli_download_units 1 4096 "4 KiB"
    cli_download_units 2 4096 "4 KiB"
else
    size=65536 label="64 KiB"
    [ "$long" = 1 ] && size=1048576 label="1 MiB"
    for n in 1 2 4 8; do cli_download_units "$n" "$size" "$label"; done
fi

# --- the table ----------------------------------------------------------------------------
echo
echo "$(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)," \
    "$(awk '/^MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)," \
    "load average $load_before at the start, $(cut -d' ' -f1-3 /proc/loadavg) at the end"
row "work" "time" "CPU" "peak RSS" "reports" "ratio" "target"
printf '%s\n' "${rows[-1]}"
printf '%s\n' "${rows[-1]}" | tr -c '|\n' '-'
unset 'rows[-1]'
printf '%s\n' "${rows[@]}"

if [ ${#failures[@]} -gt 0 ]; then
    printf 'FAILED: %s\n' "${failures[@]}" >&2
    exit 1
fi
