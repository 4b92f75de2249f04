#!/bin/bash
# Runs a command of this repository inside a small Debian 12 x86-64 machine
# under QEMU's software emulation, for machines whose kernel cannot run
# 32-bit programs: the emulated machine's own kernel can, so 32-bit Wine
# runs there, and with it the 32-bit build, the one that ships. What it
# shows is behaviour, memory and limits; its timings say nothing about
# speed, since emulation slows each kind of instruction differently.
#
#   scripts/vm32.sh [--with PATH]... COMMAND [ARGUMENT]...
#
# e.g. scripts/vm32.sh ctest --preset windows
#      scripts/vm32.sh bash scripts/largest-file.sh
#
# As root. The first call makes the machine in build/vm32 (debootstrap,
# Debian's packages of install-deps.sh, a sparse 40 GiB disk image; about
# 12 minutes and 5 GiB); later calls reuse it. Each call copies the
# repository without build/, build/windows as last built here, and any
# further PATH of the repository given with --with into the machine at the
# same path, keeping the Wine prefixes made there before; runs COMMAND;
# prints its output as it comes, and ends with its exit status. Nothing
# comes back but the output. Run nothing heavy beside it: ctest's limits
# hold in the machine too.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
vm="$root/build/vm32"
paths=(build/windows)
while [ "${1:-}" = --with ]; do paths+=("$2"); shift 2; done
[ $# -gt 0 ] || { sed -n '9,12p' "$0" >&2; exit 2; }
[ "$(id -u)" = 0 ] || { echo "vm32.sh: needs root (debootstrap, chroot)" >&2; exit 2; }
[ -f build/windows/bin/Tessaly.exe ] || bash scripts/build.sh >/dev/null
if ! command -v qemu-system-x86_64 >/dev/null || ! command -v debootstrap >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    qemu-system-x86 debootstrap
fi

make_machine() {
  local tree="$vm/rootfs"
  rm -rf "$tree" && mkdir -p "$tree"
  debootstrap --variant=minbase \
    --include=linux-image-amd64,initramfs-tools,kmod,procps \
    bookworm "$tree" http://deb.debian.org/debian
  cp /etc/resolv.conf "$tree/etc/resolv.conf"
  mkdir -p "$tree/proc" "$tree/sys" "$tree/dev" "$tree/tmp/repo"
  mount --bind /proc "$tree/proc"
  mount --bind /sys "$tree/sys"
  mount --bind /dev "$tree/dev"
  mount --bind -o ro "$root" "$tree/tmp/repo"
  local status=0
  chroot "$tree" bash /tmp/repo/scripts/install-deps.sh --no-npm || status=$?
  umount "$tree/tmp/repo" "$tree/dev" "$tree/sys" "$tree/proc"
  [ "$status" = 0 ] || return "$status"
  # The machine's first process: it runs the call's job and powers off.
  cat >"$tree/sbin/vm32-init" <<'EOF'
#!/bin/sh
export PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root
mount -o remount,rw /
mount -t proc proc /proc 2>/dev/null
mount -t sysfs sys /sys 2>/dev/null
mount -t devtmpfs dev /dev 2>/dev/null
mkdir -p /dev/pts /dev/shm /host /repo
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /run
mount -t tmpfs tmpfs /tmp
modprobe 9pnet_virtio
modprobe 9p
mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288 host /host
mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288,ro repo /repo
bash /host/job.sh >/host/output.log 2>&1
echo $? >/host/status
sync
echo o >/proc/sysrq-trigger
sleep 60
EOF
  chmod +x "$tree/sbin/vm32-init"
  cp "$tree"/boot/vmlinuz-* "$vm/vmlinuz"
  cp "$tree"/boot/initrd.img-* "$vm/initrd.img"
  mkfs.ext4 -q -F -d "$tree" -L root "$vm/disk.img" 40G
  rm -rf "$tree"
}

# One call at a time: a second would empty the first one's share.
mkdir -p "$vm"
exec 9>"$vm/lock"
flock -n 9 || { echo "vm32.sh: another call is using the machine" >&2; exit 1; }
if [ ! -f "$vm/disk.img" ]; then make_machine; fi

share="$vm/share"
rm -rf "$share" && mkdir -p "$share"
{
  printf 'root=%q\n' "$root"
  printf 'paths=('
  printf '%q ' "${paths[@]}"
  echo ')'
  cat <<'EOF'
mkdir -p "$root" && cd "$root" || exit 1
# The Wine prefixes made in the machine stay for the next call: a new
# 32-bit one takes a minute or more there.
find . -mindepth 1 -maxdepth 1 ! -name build -exec rm -rf {} +
tar -C /repo --exclude=./build -cf - . | tar -xpf -
for path in "${paths[@]}"; do
  find "$path" -mindepth 1 -maxdepth 1 ! -name wine -exec rm -rf {} + 2>/dev/null
  tar -C /repo --exclude="$path/wine" -cf - "$path" | tar -xpf -
done
# Made ahead, so that ctest's own limit on making it does not apply.
if [ ! -f build/windows/wine/pristine/system.reg ]; then
  tests/wine/setup.sh 32 "$root/build/windows/wine" \
    build/windows/bin/stand_in_editor.exe >/dev/null
  tests/wine/xvfb.sh stop "$root/build/windows/wine"
fi
EOF
  printf '%q ' "$@"
  echo
} >"$share/job.sh"
: >"$share/output.log"

# With QEMU 7.2's "-cpu max", 32-bit Wine's first process faulted at an
# iret ("supervisor read access in user mode"); without SMAP and
# protection keys it runs.
qemu-system-x86_64 -accel tcg,thread=multi -cpu max,smap=off,pku=off \
  -smp "$(nproc)" -m 8G -display none -no-reboot \
  -serial "file:$vm/console.log" \
  -kernel "$vm/vmlinuz" -initrd "$vm/initrd.img" \
  -append "root=/dev/vda rw init=/sbin/vm32-init console=ttyS0 quiet" \
  -drive "file=$vm/disk.img,format=raw,if=virtio,cache=unsafe" \
  -virtfs "local,path=$share,mount_tag=host,security_model=none" \
  -virtfs "local,path=$root,mount_tag=repo,security_model=none,readonly=on" \
  </dev/null &
qemu=$!
# A script's background jobs ignore Ctrl-C: the machine ends with the script.
trap 'kill "$qemu" 2>/dev/null || true' EXIT
tail -n +1 -f --pid="$qemu" "$share/output.log"
wait "$qemu"
[ -s "$share/status" ] || { echo "vm32.sh: the machine stopped before the command ended; see $vm/console.log" >&2; exit 1; }
exit "$(cat "$share/status")"
