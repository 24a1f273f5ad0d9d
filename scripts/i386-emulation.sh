#!/usr/bin/env bash
# Wine's loader for the kit's 32-bit programs is a 32-bit Linux program. Some machines cannot run
# one: their kernel has its 32-bit support switched off (ia32_emulation=off), and some virtual
# machines refuse 32-bit code segments altogether, so not even a 64-bit Wine can run 32-bit code.
# There, 32-bit Linux programs run under qemu's user-mode emulator, registered with the kernel for
# them, and Wine's 64-bit wineserver serves them natively (the emulator cannot ptrace, which the
# server needs to read and write the programs' memory). Where 32-bit programs run, nothing changes.
set -euo pipefail
# shellcheck source=apt-install.sh
. "$(dirname "$0")/apt-install.sh"

QEMU_DIR=/opt/kit-qemu
QEMU=$QEMU_DIR/qemu-i386
# The emulator of Debian's stable release (bookworm's qemu 7.2 hangs in Wine's first start).
QEMU_SUITE=trixie
ENTRY=/proc/sys/fs/binfmt_misc/kit-i386
I386_MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
I386_MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

runs_32bit() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

runs_32bit && exit 0
if [ "$(id -u)" != 0 ]; then
  echo "bootstrap: this machine cannot run 32-bit programs; run as root to set up their emulation" >&2
  exit 1
fi

if [ ! -x "$QEMU" ]; then
  echo "bootstrap: this machine cannot run 32-bit programs; fetching qemu-user from $QEMU_SUITE"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/deb"
  echo "deb http://deb.debian.org/debian $QEMU_SUITE main" > "$work/sources.list"
  apt_options=(-o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
    -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache" -o APT::Sandbox::User=root)
  apt_refresh "${apt_options[@]}"
  (cd "$work/deb" && apt-get "${apt_options[@]}" download -qq qemu-user)
  dpkg-deb -x "$work"/deb/qemu-user_*.deb "$work/root"
  mkdir -p "$QEMU_DIR"
  install -m 755 "$work/root/usr/bin/qemu-i386" "$QEMU"
fi

mountpoint -q /proc/sys/fs/binfmt_misc || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
# F: the kernel opens the emulator now, so it serves every user and mount namespace.
[ -e "$ENTRY" ] || printf ':kit-i386:M::%s:%s:%s:F' "$I386_MAGIC" "$I386_MASK" "$QEMU" \
  > /proc/sys/fs/binfmt_misc/register

if ! dpkg-query -W -f='${Status}' wine64 2>/dev/null | grep -q 'install ok installed'; then
  apt_install wine64
fi

if ! runs_32bit; then
  echo "bootstrap: 32-bit programs do not run even under $QEMU" >&2
  exit 1
fi
echo "bootstrap: 32-bit programs run under $QEMU"
