#!/usr/bin/env bash
# The Wine test bench: `bench.sh start` prepares the prefix (once), clears the scratch folder, starts
# a virtual display and a persistent wineserver; `bench.sh stop` ends both.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/bench-env.sh"

as_user() { "${KIT_AS_USER[@]}" $(kit_env) "$@"; }

# CD-ROM drives and their volume labels. Wine's mount manager reads a label once, when it first
# sees the drive, so every drive keeps its label for the whole run: a test inserts a disc by
# filling a drive's folder and takes it out by emptying it.
CDROM_LETTERS="a m n o p q"
CDROM_LABELS="a:Veyla m:VEYLA n:Veyla o:Veyla p:KITDISC1 q:KITDISC2"

prepare_prefix() {
  local stamp="drives $CDROM_LETTERS"
  [ "$(cat "$KIT_PREFIX/.kit-ready" 2>/dev/null)" = "$stamp" ] && return 0
  echo "bench: creating the Wine prefix in $KIT_PREFIX"
  rm -rf "$KIT_PREFIX"
  mkdir -p "$KIT_PREFIX" "$KIT_HOME"
  chown "$KIT_USER" "$KIT_PREFIX" "$KIT_HOME" "$KIT_BENCH" 2>/dev/null || true
  as_user wineboot -i >/dev/null 2>&1
  as_user wineserver -w
  local reg=$KIT_HOME/bench.reg
  {
    echo 'REGEDIT4'
    echo
    echo '[HKEY_CURRENT_USER\Software\Wine\Explorer]'
    echo '"Desktop"="Default"'
    echo '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]'
    echo '"Default"="1280x800"'
    echo '[HKEY_CURRENT_USER\Software\Wine\WineDbg]'
    echo '"ShowCrashDialog"=dword:00000000'
    echo '[HKEY_LOCAL_MACHINE\Software\Wine\Drives]'
    for l in $CDROM_LETTERS; do echo "\"$l:\"=\"cdrom\""; done
  } > "$reg"
  chown "$KIT_USER" "$reg" 2>/dev/null || true
  as_user wine regedit /S "$reg" >/dev/null 2>&1
  as_user wineserver -w
  # Seal the prefix: the user's shell folders become plain folders instead of links into a home
  # folder, z: is the run's scratch folder instead of /, y: the build (read-only for the user).
  find "$KIT_PREFIX/drive_c" -type l -lname '/*' | while read -r link; do
    rm -f "$link"; mkdir -p "$link"; chown "$KIT_USER" "$link" 2>/dev/null || true
  done
  local dd=$KIT_PREFIX/dosdevices
  rm -f "$dd/z:" "$dd/y:"
  ln -s "$KIT_SCRATCH" "$dd/z:"
  ln -s "$KIT_BUILD" "$dd/y:"
  for l in $CDROM_LETTERS; do rm -f "$dd/$l:" "$dd/$l::"; ln -s "$KIT_SCRATCH/drives/$l" "$dd/$l:"; done
  chown -h "$KIT_USER" "$dd"/* 2>/dev/null || true
  echo "$stamp" > "$KIT_PREFIX/.kit-ready"
}

start_display() {
  if [ -n "${KIT_USE_DISPLAY:-}" ]; then echo "$KIT_USE_DISPLAY" > "$KIT_BENCH/display"; return; fi
  local n=77
  while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  echo $! > "$KIT_BENCH/xvfb.pid"
  for _ in $(seq 1 100); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.05; done
  echo ":$n" > "$KIT_BENCH/display"
}

case "${1:-}" in
start)
  mkdir -p "$KIT_BENCH"
  "$0" stop >/dev/null 2>&1 || true
  chmod 755 "$KIT_BENCH"
  id "$KIT_USER" >/dev/null 2>&1 || useradd -m -s /bin/bash "$KIT_USER"
  chown "$KIT_USER" "$KIT_BENCH"
  # The bench user must be able to reach the build through every folder above it.
  d=$KIT_BUILD
  while [ "$d" != / ]; do
    [ "$(id -u)" = 0 ] && ! runuser -u "$KIT_USER" -- test -x "$d" && chmod o+x "$d"
    d=$(dirname "$d")
  done
  # The programs are 32-bit: Wine's loader for them is a 32-bit program too, which a kernel
  # without its 32-bit support (ia32 emulation off) refuses unless the bootstrap has set up its
  # emulation. Say so rather than hang in wineboot.
  if ! wine --version >/dev/null 2>&1; then
    echo "bench: this machine cannot start Wine's 32-bit loader ($(wine --version 2>&1 | tail -1));" \
      "run scripts/bootstrap.sh as root to set up its emulation" >&2
    exit 1
  fi
  prepare_prefix
  # Wine draws the title bar's buttons with its Marlett font (fonts-wine). Under the emulator Wine
  # looks for its data folder beside qemu and finds none of its own fonts, so the close box comes
  # out as an "r": the font goes into the prefix's Fonts folder, which Wine reads on any machine.
  if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ ! -f "$KIT_PREFIX/drive_c/windows/Fonts/marlett.ttf" ]; then
    install -m 644 -o "$KIT_USER" /usr/share/wine/fonts/marlett.ttf "$KIT_PREFIX/drive_c/windows/Fonts/marlett.ttf" 2>/dev/null ||
      cp /usr/share/wine/fonts/marlett.ttf "$KIT_PREFIX/drive_c/windows/Fonts/"
  fi
  mountpoint -q "$KIT_SCRATCH/tiny" 2>/dev/null && umount "$KIT_SCRATCH/tiny"
  rm -rf "$KIT_SCRATCH"
  for entry in $CDROM_LABELS; do
    mkdir -p "$KIT_SCRATCH/drives/${entry%%:*}"
    printf '%s' "${entry#*:}" > "$KIT_SCRATCH/drives/${entry%%:*}/.windows-label"
  done
  chown -R "$KIT_USER" "$KIT_SCRATCH"
  # A data folder whose update3.tpk the bench user cannot read: a medium with a damaged file
  # (z:\fixtures\damaged; the tests put the other files beside it).
  mkdir -p "$KIT_SCRATCH/fixtures/damaged"
  chown -R "$KIT_USER" "$KIT_SCRATCH/fixtures"
  if [ "$(id -u)" = 0 ]; then
    printf 'unreadable' > "$KIT_SCRATCH/fixtures/damaged/update3.tpk"
    chmod 000 "$KIT_SCRATCH/fixtures/damaged/update3.tpk"
  fi
  # A publisher folder another user made first (z:\fixtures\foreign\TesmafromKuvel): Wine reports
  # a folder of another Unix user as owned by someone else.
  mkdir -p "$KIT_SCRATCH/fixtures/foreign/TesmafromKuvel"
  [ "$(id -u)" = 0 ] && chown nobody "$KIT_SCRATCH/fixtures/foreign/TesmafromKuvel"
  # Another, that holds that user's own game (Veyla\Veyla.exe, Veyla\data.tpk), which no run may delete.
  mkdir -p "$KIT_SCRATCH/fixtures/foreigngame/TesmafromKuvel/Veyla"
  printf 'their game' > "$KIT_SCRATCH/fixtures/foreigngame/TesmafromKuvel/Veyla/Veyla.exe"
  printf 'their data' > "$KIT_SCRATCH/fixtures/foreigngame/TesmafromKuvel/Veyla/data.tpk"
  [ "$(id -u)" = 0 ] && chown -R nobody "$KIT_SCRATCH/fixtures/foreigngame/TesmafromKuvel"
  # Another user's tree where the record points (foreigntree\TesmafromKuvel\Veyla): their game, and an
  # update journal of theirs that would put their Veyla.exe.old~ in place of Veyla.exe.
  tree="$KIT_SCRATCH/fixtures/foreigntree/TesmafromKuvel/Veyla"
  mkdir -p "$tree"
  printf 'their game' > "$tree/Veyla.exe"
  printf 'their data' > "$tree/data.tpk"
  printf 'their old game' > "$tree/Veyla.exe.old~"
  printf 'kit update journal\r\nphase replacing\r\n1 00000020 %s|%s|%s\r\n' 'z:\fixtures\foreigntree\TesmafromKuvel\Veyla\Veyla.exe' \
    'z:\fixtures\foreigntree\TesmafromKuvel\Veyla\Veyla.exe.new~' 'z:\fixtures\foreigntree\TesmafromKuvel\Veyla\Veyla.exe.old~' \
    > "$tree/update~.jnl"
  [ "$(id -u)" = 0 ] && chown -R nobody "$KIT_SCRATCH/fixtures/foreigntree/TesmafromKuvel"
  # What an administrator may not take on trust (z:\fixtures\trust): a file deep below a folder that is
  # another user's (foreignchild\Veyla\sub\deep.dat, nobody's), and a folder of another user that
  # nobody may list (sealed), whose children's owners cannot be read.
  mkdir -p "$KIT_SCRATCH/fixtures/trust/foreignchild/Veyla/sub" "$KIT_SCRATCH/fixtures/trust/foreignchild/Veyla/save" \
    "$KIT_SCRATCH/fixtures/trust/sealed/inner"
  printf 'deep' > "$KIT_SCRATCH/fixtures/trust/foreignchild/Veyla/sub/deep.dat"
  printf 'save' > "$KIT_SCRATCH/fixtures/trust/foreignchild/Veyla/save/gsd.sd"
  chown -R "$KIT_USER" "$KIT_SCRATCH/fixtures/trust"
  if [ "$(id -u)" = 0 ]; then
    chown nobody "$KIT_SCRATCH/fixtures/trust/foreignchild/Veyla/sub/deep.dat" \
      "$KIT_SCRATCH/fixtures/trust/foreignchild/Veyla/save/gsd.sd" "$KIT_SCRATCH/fixtures/trust/sealed"
    chmod 000 "$KIT_SCRATCH/fixtures/trust/sealed"
  fi
  # A tiny volume for disk-full cases (z:\tiny); mounting needs root.
  mkdir -p "$KIT_SCRATCH/tiny"
  if [ "$(id -u)" = 0 ]; then
    mount -t tmpfs -o "size=4m,mode=0755,uid=$(id -u "$KIT_USER")" tmpfs "$KIT_SCRATCH/tiny" || true
  fi
  chown "$KIT_USER" "$KIT_SCRATCH/tiny"
  start_display
  as_user wineserver -p
  # The display scaling the programs start with: 96 DPI (100 %) unless KIT_DPI names another.
  as_user wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "${KIT_DPI:-96}" /f >/dev/null 2>&1
  # The first program that asks for the desktop window starts Wine's desktop process, which then
  # holds that program's output pipes until it closes. The desktop holder starts it here with its
  # output elsewhere and keeps it in use until the bench stops (wineserver -k ends the holder).
  if [ -f "$KIT_BUILD/tests/desktop_holder.exe" ]; then
    as_user wine 'y:\tests\desktop_holder.exe' >/dev/null 2>&1 &
  else
    as_user wine rundll32.exe user32.dll,GetDesktopWindow >/dev/null 2>&1 || true
  fi
  desktop_user=$KIT_USER
  [ "$(id -u)" = 0 ] || desktop_user=$(id -un)
  for _ in $(seq 1 300); do pgrep -u "$desktop_user" -f 'explorer.exe /desktop' >/dev/null && break; sleep 0.1; done
  if ! pgrep -u "$desktop_user" -f 'explorer.exe /desktop' >/dev/null; then
    echo "bench: Wine's desktop process did not start" >&2
    exit 1
  fi
  echo "bench: ready on display $(kit_display), prefix $KIT_PREFIX"
  ;;
stop)
  if [ -d "$KIT_PREFIX" ]; then as_user wineserver -k >/dev/null 2>&1 || true; fi
  if [ -f "$KIT_BENCH/xvfb.pid" ]; then kill "$(cat "$KIT_BENCH/xvfb.pid")" 2>/dev/null || true; rm -f "$KIT_BENCH/xvfb.pid"; fi
  rm -f "$KIT_BENCH/display"
  mountpoint -q "$KIT_SCRATCH/tiny" 2>/dev/null && umount "$KIT_SCRATCH/tiny"
  ;;
*)
  echo "usage: bench.sh start|stop" >&2; exit 2 ;;
esac
