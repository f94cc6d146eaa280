#!/bin/bash
# The checks of scripts/test-kernel.sh, run as root inside the guest, chrooted into the host's
# root: simulated units (kavo3unitd) on USB HID gadgets of dummy_hcd and on /dev/uhid, the
# programs of the build through usbcore, usbhid, hidraw and udev. One line per check,
# "PASS name" or "FAIL name: why", into RUN/results; "NOTE" lines are measurements.
# Usage: checks.sh BUILD_DIR RUN_DIR
set -uo pipefail
build=$1
run=$2
cli=$build/cli/kavo3cli
tool=$build/app/kavo3tool
unitd=$build/unitd/kavo3unitd
bench=$build/bench/kavo3bench-link
repo=$(cd "$(dirname "$0")/../.." && pwd)
gadgets=/sys/kernel/config/usb_gadget
results=$run/results
tmp=$run/tmp
mkdir -p "$tmp"
: > "$results"
# udevd and udevadm refuse to work in a chroot unless told that it is meant.
export SYSTEMD_IGNORE_CHROOT=1
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp/xdg-root
mkdir -p -m 700 "$XDG_RUNTIME_DIR"

say() { echo "$*" | tee -a "$results"; }
pass() { say "PASS $1"; }
fail() { say "FAIL $1: $2"; }
# verdict NAME STATUS WHY: one line for one check.
verdict() { if [ "$2" = 0 ]; then pass "$1"; else fail "$1" "$3"; fi; }

# Waits for a condition; the limit only guards against a hang.
wait_for() {
    local tenths=$(($1 * 10))
    shift
    until "$@"; do
        ((tenths-- > 0)) || return 1
        sleep 0.1
    done
}

# The unit's report descriptor: vendor page, 64-byte input, 8-byte output, no report IDs.
descriptor='\x06\x00\xff\x09\x01\xa1\x01\x15\x00\x26\xff\x00\x75\x08\x95\x40\x09\x01\x81\x02\x95\x08\x09\x01\x91\x02\xc0'

# Gadget N: a KAVO-3 identity with one HID function, for controller dummy_udc.N.
make_gadget() {
    local g=$gadgets/g$1
    mkdir -p "$g/strings/0x409" "$g/configs/c.1" "$g/functions/hid.usb0"
    echo 0x17a7 > "$g/idVendor"
    echo 0x0001 > "$g/idProduct"
    echo "k3test0$1" > "$g/strings/0x409/serialnumber"
    echo "KAVO-3 test unit $1" > "$g/strings/0x409/product"
    echo 0 > "$g/functions/hid.usb0/protocol"
    echo 0 > "$g/functions/hid.usb0/subclass"
    echo 64 > "$g/functions/hid.usb0/report_length"
    printf "$descriptor" > "$g/functions/hid.usb0/report_desc"
    ln -s "$g/functions/hid.usb0" "$g/configs/c.1/"
}
bind() { echo "dummy_udc.$1" > "$gadgets/g$1/UDC"; }
unbind() { echo "" > "$gadgets/g$1/UDC"; }
hidg_of() { echo "/dev/hidg$(cut -d: -f2 "$gadgets/g$1/functions/hid.usb0/dev")"; }
port_of() { echo "usb-dummy_hcd.$1-1/input0"; }
# The hidraw node of the unit on controller N, when there is one.
hidraw_of() {
    local d
    for d in /sys/class/hidraw/hidraw*; do
        grep -qx "HID_PHYS=$(port_of "$1")" "$d/device/uevent" 2>/dev/null &&
            { echo "/dev/${d##*/}"; return 0; }
    done
    return 1
}
node_there() { local n; n=$(hidraw_of "$1") && [ -e "$n" ]; }
node_gone() { ! hidraw_of "$1" > /dev/null; }

# Unit N served by kavo3unitd with SWITCHES, plugged in: its gadget bound to dummy_udc.N.
declare -A unit_pid
start_unit() {
    local n=$1 switches=${2:-}
    rm -f "$tmp/record$n" "$tmp/summary$n" "$tmp/flash$n" "$tmp/unitd$n"
    bind "$n"
    wait_for 30 test -e "$(hidg_of "$n")"
    "$unitd" --gadget "$(hidg_of "$n")" --gadget-dir "$gadgets/g$n" --sim="$switches" \
        --record "$tmp/record$n" --flash-out "$tmp/flash$n" > "$tmp/summary$n" 2> "$tmp/unitd$n" &
    unit_pid[$n]=$!
    wait_for 30 grep -qs 'serving on' "$tmp/unitd$n"
    wait_for 30 node_there "$n"
}
# The unit's cable: kavo3unitd unbinds its gadget or binds it again.
cable() {
    local n=$1 want=$2 before
    before=$(grep -cs plugged "$tmp/unitd$n")
    kill -USR2 "${unit_pid[$n]}"
    wait_for 30 lines_above "$tmp/unitd$n" plugged "${before:-0}"
    if [ "$want" = out ]; then wait_for 30 node_gone "$n"; else wait_for 30 node_there "$n"; fi
}
# Ends unit N's server; its summary is in $tmp/summaryN; status 0 when its view found nothing.
stop_unit() {
    local n=$1 rc=0
    kill -TERM "${unit_pid[$n]}" 2> /dev/null
    wait "${unit_pid[$n]}" || rc=$?
    [ "$(cat "$gadgets/g$n/UDC")" = "" ] || unbind "$n"
    wait_for 30 node_gone "$n"
    return $rc
}
summary_has() { grep -q "$2" "$tmp/summary$1"; }
# The unit's flash at the download address holds FILE.
flash_holds() { cmp -s -n "$(stat -c %s "$2")" -i "$address:0" "$tmp/flash$1" "$2"; }
# More than N lines of FILE match PATTERN.
lines_above() {
    local n
    n=$(grep -cs -e "$2" "$1")
    [ "${n:-0}" -gt "$3" ]
}
# What unit N is left in now, from the summary it prints on SIGUSR1.
unit_left_in() {
    local before
    before=$(grep -cs '^left in:' "$tmp/summary$1")
    kill -USR1 "${unit_pid[$1]}"
    wait_for 30 lines_above "$tmp/summary$1" '^left in:' "${before:-0}"
    grep '^left in:' "$tmp/summary$1" | tail -n 1 | cut -d' ' -f3-
}

address=$(( $("$cli" --help | sed -n 's/^Download address: \(0x[0-9A-Fa-f]*\).*/\1/p') ))
head -c 4096 /dev/urandom > "$tmp/file4k"
head -c 32768 /dev/zero | tr "\0" "\132" > "$tmp/file32k"

for n in 0 1 2 3; do make_gadget "$n"; done
say "NOTE kernel $(uname -r), $(nproc) CPU"

# --- kavo3cli: every subcommand through the real stack -------------------------------------
cli() {
    start_unit 0 size=128x101
    "$cli" status > "$tmp/out" 2>&1
    verdict "status answered through usbhid and hidraw" $? "$(tail -n 3 "$tmp/out")"
    "$cli" status --list > "$tmp/out" 2>&1 && grep -q "port $(port_of 0) " "$tmp/out"
    verdict "status --list names the unit by its port path" $? "$(head -n 3 "$tmp/out")"
    "$cli" doctor > "$tmp/out" 2>&1 && grep -q 'The unit would work' "$tmp/out"
    verdict "doctor finds nothing wrong" $? "$(tail -n 3 "$tmp/out")"
    "$cli" timing show > "$tmp/out" 2>&1 && grep -q '^h2pos' "$tmp/out"
    verdict "timing show" $? "$(tail -n 3 "$tmp/out")"
    "$cli" timing set h2pos=120 > "$tmp/out" 2>&1 && "$cli" timing show | grep -q '^h2pos  *120$'
    verdict "timing set h2pos=120, read back" $? "$(tail -n 3 "$tmp/out")"
    "$cli" timing save "$tmp/timing.bin" > "$tmp/out" 2>&1 && [ "$(stat -c %s "$tmp/timing.bin")" = 257 ] &&
        "$cli" timing load "$tmp/timing.bin" >> "$tmp/out" 2>&1
    verdict "timing save (257 bytes) and load" $? "$(tail -n 3 "$tmp/out")"
    "$cli" key video1 > "$tmp/out" 2>&1
    verdict "key video1" $? "$(tail -n 3 "$tmp/out")"
    "$cli" freeze on > "$tmp/out" 2>&1 && [ "$(unit_left_in 0)" = freeze ] &&
        "$cli" freeze off >> "$tmp/out" 2>&1 && [ "$(unit_left_in 0)" = idle ]
    verdict "freeze on and off, as the unit saw it" $? "$(tail -n 3 "$tmp/out")"
    "$cli" capture "$tmp/frame" > "$tmp/out" 2>&1 && [ "$(stat -c %s "$tmp/frame.bmp")" = 38838 ]
    verdict "capture of a 128x101 frame" $? "$(tail -n 3 "$tmp/out")"
    "$cli" download "$tmp/file4k" > "$tmp/out" 2>&1 && grep -q 'Write OK' "$tmp/out"
    verdict "download of 4 KiB: Write OK" $? "$(tail -n 3 "$tmp/out")"
    stop_unit 0
    verdict "the unit's view found nothing wrong in these runs" $? "$(tail -n 4 "$tmp/summary0")"
    summary_has 0 'remote keys: 27$' && summary_has 0 'left in: idle' && flash_holds 0 "$tmp/file4k"
    verdict "the unit got key 27, the file at the download address, and was left idle" $? \
        "$(cat "$tmp/summary0")"
}

# --- a unit unplugged (the controller unbound) in each phase of a download ------------------
unplug() {
    start_unit 0
    started=$(date +%s%N)
    "$cli" download "$tmp/file32k" > "$tmp/out" 2>&1 && grep -q 'Write OK' "$tmp/out"
    verdict "download of 32 KiB: Write OK" $? "$(tail -n 3 "$tmp/out")"
    say "NOTE download of 32 KiB through dummy_hcd: $(( ($(date +%s%N) - started) / 1000000 )) ms"
    stop_unit 0
    # Where each phase begins, counted in output reports of that download.
    grep ' OUT ' "$tmp/record0" | cut -d' ' -f3-4 > "$tmp/codes"
    erase_at=$(grep -n '^00 0[45]$' "$tmp/codes" | head -n 1 | cut -d: -f1)
    data_at=$(( $(grep -n '^00 01$' "$tmp/codes" | head -n 1 | cut -d: -f1) + 100 ))
    verify_at=$(grep -n '^00 06$' "$tmp/codes" | head -n 1 | cut -d: -f1)
    for phase in "erases:$erase_at" "data:$data_at" "verify:$verify_at"; do
        name=${phase%%:*} at=${phase#*:}
        start_unit 0 "unplug=$at,replug=300,restart"
        "$cli" download "$tmp/file32k" > "$tmp/out" 2>&1
        rc=$?
        [ "$rc" = 2 ] && grep -q 'unit gone' "$tmp/out"
        verdict "unplugged in the $name (report $at): unit gone, exit 2" $? \
            "exit $rc: $(tail -n 2 "$tmp/out" | tr '\n' ' ')"
        wait_for 30 node_there 0 && "$cli" status > "$tmp/out" 2>&1 &&
            "$cli" download "$tmp/file4k" >> "$tmp/out" 2>&1 && grep -q 'Write OK' "$tmp/out"
        verdict "plugged back in after the $name: status and download work" $? \
            "$(tail -n 2 "$tmp/out" | tr '\n' ' ')"
        stop_unit 0 || fail "the unit's view after the unplug in the $name" "$(tail -n 3 "$tmp/summary0")"
    done
}

# --- several units ---------------------------------------------------------------------------
units() {
    for n in 0 1 2 3; do start_unit "$n"; done
    "$cli" download --all "$tmp/file4k" > "$tmp/out" 2>&1
    rc=$?
    ok=0
    for n in 0 1 2 3; do stop_unit "$n" && flash_holds "$n" "$tmp/file4k" || ok=1; done
    [ "$rc" = 0 ] && [ "$ok" = 0 ]
    verdict "download --all to four units" $? "exit $rc: $(tail -n 6 "$tmp/out" | tr '\n' ' ')"

    for n in 0 1; do start_unit "$n"; done
    "$cli" --device "$(port_of 1)" key video2 > "$tmp/out" 2>&1
    rc=$?
    stop_unit 0; stop_unit 1
    [ "$rc" = 0 ] && summary_has 1 'remote keys: 2$' && summary_has 0 'remote keys: none'
    verdict "--device by port path picks one of two units" $? "exit $rc: $(tail -n 2 "$tmp/out")"
}

# --- udev: the window program hears units come and go; the package's rule ------------------
udev() {
    # Before udevd runs: the window program hears the kernel's own events.
    start_unit 0
    cable 0 out
    KAVO3_TRACE=$tmp/trace-kernel "$tool" > "$tmp/tool.out" 2>&1 &
    tool_pid=$!
    wait_for 60 grep -qs 'device events: heard from kernel' "$tmp/trace-kernel"
    cable 0 in
    wait_for 30 grep -qs ' IN 00 02 4b 56 33 ' "$tmp/trace-kernel"
    verdict "without udevd, kavo3tool hears the kernel's events: a unit plugged in gets the check" \
        $? "$(grep '^#' "$tmp/trace-kernel" | tail -n 3 | tr '\n' ' ')"
    kill -TERM "$tool_pid"
    wait "$tool_pid"
    stop_unit 0

    mkdir -p /run/udev/rules.d
    cp "$repo/packaging/linux/70-kavo3.rules" /run/udev/rules.d/
    /lib/systemd/systemd-udevd --daemon 2> "$tmp/udevd"
    udevadm settle -t 30

    start_unit 0
    cable 0 out
    KAVO3_TRACE=$tmp/trace "$tool" > "$tmp/tool.out" 2>&1 &
    tool_pid=$!
    checks_in_trace() { grep -c ' OUT 00 02 ' "$tmp/trace" 2> /dev/null; }
    answers_in_trace() { grep -c ' IN 00 02 4b 56 33 ' "$tmp/trace" 2> /dev/null; }
    answered_at_least() {
    local n
    n=$(answers_in_trace)
    [ "${n:-0}" -ge "$1" ]
}
    wait_for 60 grep -qs 'device events: heard from udev' "$tmp/trace"
    verdict "kavo3tool hears udev's device events" $? "$(cat "$tmp/trace" "$tmp/tool.out" 2> /dev/null | tail -n 3)"
    before=$(checks_in_trace)
    cable 0 in
    wait_for 30 answered_at_least 1
    verdict "a unit plugged in after kavo3tool started gets the connection check, answered" $? \
        "checks before $before, after $(checks_in_trace)"
    "$cli" status > "$tmp/out" 2>&1
    rc=$?
    [ "$rc" = 2 ] && grep -q 'in use by another program' "$tmp/out"
    verdict "a second program on the same node is told it is busy" $? "exit $rc: $(tail -n 2 "$tmp/out")"
    cable 0 out
    cable 0 in
    # Only a main window that turned to not-connected checks a unit that arrives.
    wait_for 30 answered_at_least 2
    verdict "a unit unplugged turns the main window to not-connected (plugged back, it checks again)" \
        $? "answered checks: $(answers_in_trace)"
    node=$(hidraw_of 0)
    udevadm settle -t 30
    udevadm info -q property "$node" > "$tmp/udev" 2>&1
    grep -q '^TAGS=.*:uaccess:' "$tmp/udev" || grep -q '^CURRENT_TAGS=.*:uaccess:' "$tmp/udev"
    verdict "udevd applies 70-kavo3.rules: $node carries the uaccess tag" $? "$(grep TAGS "$tmp/udev")"
    kill -TERM "$tool_pid"; wait "$tool_pid"
    setpriv --reuid=65534 --regid=65534 --clear-groups "$cli" status > "$tmp/out" 2>&1
    rc=$?
    [ "$rc" = 2 ] && grep -q '70-kavo3.rules' "$tmp/out"
    verdict "a user without access to the node is told to install 70-kavo3.rules" $? \
        "exit $rc: $(tail -n 2 "$tmp/out")"
    stop_unit 0
}

# --- a kavo3cli killed in a download's data; the next run settles the unit ------------------
ledger() {
    start_unit 0
    KAVO3_TRACE=$tmp/killed.trace "$cli" download "$tmp/file32k" > "$tmp/out" 2>&1 &
    local pid=$! rc
    # Killed where nothing can end it cleanly, once the data flows.
    wait_for 60 data_sent_at_least 50
    kill -KILL "$pid"
    wait "$pid" 2> /dev/null
    "$cli" status > "$tmp/out" 2> "$tmp/err"
    rc=$?
    stop_unit 0
    [ "$rc" = 0 ] && grep -qi 'settled' "$tmp/err" && summary_has 0 'left in: idle' &&
        summary_has 0 'view: 0 faults'
    verdict "a kavo3cli killed in the data: the next run settles the unit, then answers" $? \
        "exit $rc: $(tail -n 2 "$tmp/err" | tr '\n' ' ') $(grep 'left in' "$tmp/summary0")"
}
data_sent_at_least() {
    local n
    n=$(grep -cs ' OUT 00 5a 5a ' "$tmp/killed.trace")
    [ "${n:-0}" -ge "$1" ]
}

# --- a unit on /dev/uhid, without USB ------------------------------------------------------
uhid() {
    "$unitd" --uhid --phys kavo3unitd/test > "$tmp/summary-uhid" 2> "$tmp/unitd-uhid" &
    uhid_pid=$!
    wait_for 30 grep -q 'serving on' "$tmp/unitd-uhid"
    udevadm settle -t 30
    "$cli" --device kavo3unitd/test status > "$tmp/out" 2>&1 &&
        "$cli" --device kavo3unitd/test download "$tmp/file4k" >> "$tmp/out" 2>&1 &&
        grep -q 'Write OK' "$tmp/out"
    verdict "a unit on /dev/uhid: status and download" $? "$(tail -n 3 "$tmp/out")"
    kill -TERM "$uhid_pid"; wait "$uhid_pid"
    verdict "the uhid unit's view found nothing wrong" $? "$(tail -n 3 "$tmp/summary-uhid")"
}

# --- the Windows build under Wine's HID stack --------------------------------------------
# Wine's udev bus makes a HID device of the hidraw node once its SDL bus is off (the prefix
# test-kernel.sh prepares). The prefix is read-only here; its changes go to memory.
windows() {
    local exe=$repo/build-windows/cli/kavo3cli.exe prefix=$build/kernel-test/wineprefix rc
    if [ ! -f "$exe" ] || [ ! -d "$prefix" ] || ! command -v wine > /dev/null; then
        say "NOTE Wine: not tried, no Windows build of kavo3cli or no Wine prefix"
        return
    fi
    mkdir -p /tmp/wine/upper /tmp/wine/work /tmp/wine/prefix
    mount -t overlay overlay \
        -o "lowerdir=$prefix,upperdir=/tmp/wine/upper,workdir=/tmp/wine/work" /tmp/wine/prefix
    start_unit 0
    local started=$(date +%s)
    WINEPREFIX=/tmp/wine/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=" \
        timeout 300 wine "$exe" status --list > "$tmp/wine.out" 2>&1
    rc=$?
    [ "$rc" = 0 ] && grep -q '17a7:0001' "$tmp/wine.out"
    verdict "kavo3cli.exe under Wine lists the gadget unit through Wine's HID class driver" $? \
        "exit $rc: $(tail -n 4 "$tmp/wine.out" | tr '\n' ' ')"
    say "NOTE Wine: the first program took $(( $(date +%s) - started )) s"
    WINEPREFIX=/tmp/wine/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=" \
        timeout 300 wine "$exe" --trace 'Z:\tmp\wine.trace' status > "$tmp/wine.out" 2>&1
    rc=$?
    cp /tmp/wine.trace "$tmp/wine.trace" 2> /dev/null
    [ "$rc" = 0 ]
    verdict "kavo3cli.exe under Wine: the unit answers the connection check" $? \
        "exit $rc: $(tail -n 3 "$tmp/wine.out" | tr '\n' ' ')"
    WINEPREFIX=/tmp/wine/prefix wineserver -k 2> /dev/null
    stop_unit 0
    umount /tmp/wine/prefix
}

# --- the round trip through the kernel -----------------------------------------------------
bench() {
    if [ -x "$bench" ]; then
        start_unit 0
        KAVO3_BENCH_KERNEL_UNIT=1 "$bench" --benchmark_filter=exchangeThroughKernel \
            --benchmark_min_time=2 2> /dev/null | grep '^exchangeThroughKernel' > "$tmp/bench"
        say "NOTE round trip through dummy_hcd, usbhid and hidraw: $(tr -s ' ' < "$tmp/bench")"
        stop_unit 0
    fi
}

for section in ${3:-cli unplug units udev ledger uhid windows bench}; do
    "$section"
done
say END
