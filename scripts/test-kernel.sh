#!/usr/bin/env bash
# Boots Debian's own kernel under QEMU (TCG, no KVM) and runs the programs of the build against
# simulated units served on USB HID gadgets (dummy_hcd, configfs usb_f_hid) and on /dev/uhid:
# the kernel's USB core, usbhid, hidraw and udev between the program and the unit.
# Usage: scripts/test-kernel.sh [BUILD_DIR]   (default build; its programs are built if missing)
# The kernel package is fetched with apt into BUILD_DIR/kernel-test/cache once. Ends with the
# line "N passed, M failed"; exits 1 when a check failed or the guest did not finish.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
build=$(realpath "${1:-build}")
# KAVO3_KERNEL_CHECKS: some of the sections only (cli unplug units udev ledger uhid windows bench).
checks=${KAVO3_KERNEL_CHECKS:-}

bash scripts/install-deps.sh qemu-system-x86 qemu-system-data busybox-static udev xz-utils \
    util-linux
targets=(kavo3cli kavo3tool kavo3unitd)
grep -q '^KAVO3_WITH_BENCH:BOOL=ON' "$build/CMakeCache.txt" && targets+=(kavo3bench-link)
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

work=$build/kernel-test
cache=$work/cache
run=$work/run
mkdir -p "$cache"
rm -rf "$run" && mkdir -p "$run"

# Debian's current kernel for this release, as its meta-package names it.
package=$(apt-cache depends linux-image-amd64 2>/dev/null |
    sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*-amd64\)$/\1/p' | head -n 1)
if [ -z "$package" ]; then
    apt-get update -q >/dev/null
    package=$(apt-cache depends linux-image-amd64 |
        sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*-amd64\)$/\1/p' | head -n 1)
fi
kernel=$cache/$package
if [ ! -f "$kernel/vmlinux" ]; then
    rm -rf "$kernel" && mkdir -p "$kernel"
    (cd "$kernel" && { apt-get download "$package" 2>/dev/null ||
        { apt-get update -q >/dev/null && apt-get download "$package"; }; })
    dpkg-deb -x "$kernel"/*.deb "$kernel/root"
    rm -f "$kernel"/*.deb
    # The uncompressed kernel boots straight from its PVH entry; it sits xz-packed in vmlinuz.
    vmlinuz=$(ls "$kernel"/root/boot/vmlinuz-*)
    offset=$(LC_ALL=C grep -obUaP '\xfd7zXZ\x00' "$vmlinuz" | head -n 1 | cut -d: -f1)
    tail -c +$((offset + 1)) "$vmlinuz" | xz -dcq > "$kernel/vmlinux.part" 2>/dev/null || true
    [ "$(head -c 4 "$kernel/vmlinux.part" | od -An -c | tr -d ' ')" = '177ELF' ] ||
        { echo "test-kernel: no ELF kernel inside $vmlinuz" >&2; exit 1; }
    mv "$kernel/vmlinux.part" "$kernel/vmlinux"
fi
modules=$(ls -d "$kernel"/root/lib/modules/*)

# The initramfs: busybox, the modules in load order, the init.
initramfs=$work/initramfs
rm -rf "$initramfs" && mkdir -p "$initramfs"/{bin,modules,proc,sys,dev,newroot}
cp /bin/busybox "$initramfs/bin/"
cp scripts/kernel-test/init "$initramfs/init"
order=(virtio_ring virtio virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci
       9pnet 9pnet_virtio netfs fscache 9p
       usb-common usbcore udc-core "dummy_hcd num=4" configfs libcomposite usb_f_hid
       hid hid-generic usbhid uhid overlay)
: > "$initramfs/modules/order"
for entry in "${order[@]}"; do
    name=${entry%% *}
    file=$(find "$modules/kernel" \( -name "$name.ko" -o -name "$name.ko.xz" \) | head -n 1)
    [ -n "$file" ] || { echo "test-kernel: module $name not in $package" >&2; exit 1; }
    case $file in
        *.xz) xz -dc "$file" > "$initramfs/modules/$name.ko" ;;
        *) cp "$file" "$initramfs/modules/$name.ko" ;;
    esac
    echo "$entry" >> "$initramfs/modules/order"
done
(cd "$initramfs" && find . | busybox cpio -o -H newc 2>/dev/null) | gzip -1 > "$work/initramfs.gz"

# A Wine prefix for the Windows build, made here (it takes a minute even on the host) with the
# switch that lets Wine's udev bus make HID devices of hidraw nodes.
windows_cli=build-windows/cli/kavo3cli.exe
if [ -f "$windows_cli" ] && command -v wine > /dev/null && [ ! -f "$work/wineprefix/system.reg" ]; then
    rm -rf "$work/wineprefix"
    (
        export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
        unset DISPLAY WAYLAND_DISPLAY
        wineboot --init > /dev/null 2>&1
        wine reg add 'HKLM\System\CurrentControlSet\Services\winebus' /v 'Enable SDL' \
            /t REG_DWORD /d 0 /f > /dev/null 2>&1
        wineserver -w
    )
fi

# Wine in the guest needs more memory than the rest.
memory=1024
[ -f "$work/wineprefix/system.reg" ] && memory=2048

echo "test-kernel: booting $package under QEMU (TCG)"
started=$(date +%s)
status=0
# -smp 1: with two vCPUs every exchange through dummy_hcd is many times slower under TCG.
# The timeout only guards against a hang.
timeout --kill-after=10 900 qemu-system-x86_64 \
    -machine accel=tcg -smp 1 -m "$memory" -nic none -no-reboot \
    -bios /usr/share/qemu/qboot.rom -kernel "$kernel/vmlinux" -initrd "$work/initramfs.gz" \
    -append "console=ttyS0 quiet loglevel=3 panic=-1 kt.repo=$repo kt.build=$build kt.run=$run kt.only=${checks// /,}" \
    -virtfs local,path=/,mount_tag=host,readonly=on,security_model=none,multidevs=remap \
    -virtfs local,path="$run",mount_tag=run,security_model=none \
    -display none -serial stdio -monitor none < /dev/null | tee "$work/console.log" || status=$?
echo "test-kernel: the guest ran $(( $(date +%s) - started )) s"

passed=$(grep -c '^PASS ' "$run/results" 2>/dev/null || true)
failed=$(grep -c '^FAIL ' "$run/results" 2>/dev/null || true)
if ! grep -q '^END$' "$run/results" 2>/dev/null; then
    echo "FAIL the guest finished its checks (QEMU status $status)"
    failed=$((failed + 1))
fi
echo "${passed:-0} passed, ${failed:-0} failed"
[ "${failed:-0}" -eq 0 ]
