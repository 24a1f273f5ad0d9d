#!/usr/bin/env bash
# Installs every system package the build, the tests and the demo need on a fresh Debian 12 machine.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail
# shellcheck source=apt-install.sh
. "$(dirname "$0")/apt-install.sh"

need_root() { if [ "$(id -u)" != 0 ]; then echo "bootstrap: run as root (apt-get)" >&2; exit 1; fi; }

PACKAGES=(
  g++ g++-mingw-w64-i686 libz-mingw-w64-dev cmake ninja-build make
  wine wine32:i386 fonts-wine xvfb imagemagick x11-utils
  locales fonts-ipafont-gothic fonts-ipafont-mincho
  googletest bzip2 xorriso unzip python3
  cppcheck clang-format clang-tidy osslsigncode openssl
)

missing=()
for p in "${PACKAGES[@]}"; do
  name=${p%%:*}; arch=${p#*:}; [ "$arch" = "$p" ] && arch=""
  q=$name; [ -n "$arch" ] && q="$name:$arch"
  if ! dpkg-query -W -f='${Status}' "$q" 2>/dev/null | grep -q 'install ok installed'; then missing+=("$p"); fi
done

srcfile=/etc/apt/sources.list.d/debian-src.sources
need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_root; dpkg --add-architecture i386; need_update=1
fi
if [ ! -f "$srcfile" ]; then
  need_root
  cat > "$srcfile" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ $need_update = 1 ]; then
  need_root
  apt_refresh
  if [ ${#missing[@]} -gt 0 ]; then
    echo "bootstrap: installing ${missing[*]}"
    apt_install "${missing[@]}"
  fi
fi

# The Japanese locale of the bench, and the Russian one the tests of a third code page (1251) run in.
for loc in ja_JP ru_RU; do
  if ! locale -a 2>/dev/null | grep -qi "^$loc\.utf8\$"; then
    need_root
    sed -i "s/^# *$loc.UTF-8 UTF-8/$loc.UTF-8 UTF-8/" /etc/locale.gen
    grep -q "^$loc.UTF-8 UTF-8" /etc/locale.gen || echo "$loc.UTF-8 UTF-8" >> /etc/locale.gen
    locale-gen >/dev/null
  fi
done

# The unprivileged account the programs under test run as.
if ! id kitrun >/dev/null 2>&1; then
  need_root; useradd -m -s /bin/bash kitrun
fi
# Wine's 32-bit loader must start; where the kernel cannot run it, it runs under an emulator.
"$(dirname "$0")/i386-emulation.sh"

echo "bootstrap: ok"
