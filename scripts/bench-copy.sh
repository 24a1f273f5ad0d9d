#!/usr/bin/env bash
# make bench: installs a deterministic ~1 GiB medium through the real copy engine under Wine and
# measures it, in the same run and alternating tool by tool, against peers on the same runtime: a
# peer installer (NSIS, built here with makensis) doing the same work under the same Wine, its
# CopyFiles of the plain files and its own zlib-compressed File /r of the archives' tree, and
# Wine's CopyFileA; the installed-data check against the plainest comparison under the same Wine
# (both files read once in 1 MiB blocks). Native dd, cp, unzip and cmp run beside them as
# information only: where 32-bit code runs under an emulator they measure the emulator. Every
# file the engine installs is checked byte for byte first.
# Then what a player meets: Veyla's medium with a 1 GiB data.tpk installed through the real
# launcher (answered by the test driver) and with setup.exe /quiet, alternating which goes first,
# each timed from the start of the copy to the installation record, with the processor time and the
# peak working set setup.exe used meanwhile. The figures and a chart of them go to build/bench/.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/bench-env.sh"
here=$(dirname "${BASH_SOURCE[0]}")
rounds=${ROUNDS:-5}
medium=$KIT_BUILD/benchdata/medium
src=$medium/Veyla
winsrc='y:\benchdata\medium\Veyla'

mapfile -t listing < <(python3 "$KIT_SOURCE/bench/make_medium.py" "$medium")
plain=(); zips=()
for line in "${listing[@]}"; do
  case $line in plain\ *) plain+=("${line#plain }") ;; zip\ *) zips+=("${line#zip }") ;; esac
done
# The launcher's medium: the sample medium of the programs just built, with a data.tpk of 256 MiB.
launcher_medium=$KIT_BUILD/benchdata/launcher
python3 "$KIT_SOURCE/scripts/make-medium.py" "$KIT_BUILD" --out "$launcher_medium" --data-mb 1024 >/dev/null

# The peer installer: NSIS from Debian's package, its two installers made from the same medium.
if ! command -v makensis >/dev/null 2>&1; then
  # shellcheck source=apt-install.sh
  . "$here/apt-install.sh"
  apt_refresh
  apt_install nsis
fi
nsis=$KIT_BUILD/benchdata/nsis
tree=$KIT_BUILD/benchdata/tree
if [ ! -f "$nsis/.complete" ]; then
  rm -rf "$nsis" "$tree"; mkdir -p "$nsis" "$tree"
  for z in "${zips[@]}"; do unzip -q -o "$src/$z" -d "$tree"; done
  # Each installer times its own work with the performance counter, as copy_bench times the
  # engine's, and writes the microseconds to z:\benchout\nsis-time.txt.
  timer_start="System::Call 'kernel32::QueryPerformanceCounter(*l .r1)'"
  timer_end="System::Call 'kernel32::QueryPerformanceCounter(*l .r2)'
  System::Call 'kernel32::QueryPerformanceFrequency(*l .r3)'
  System::Int64Op \$2 - \$1
  Pop \$4
  System::Int64Op \$4 * 1000000
  Pop \$4
  System::Int64Op \$4 / \$3
  Pop \$4
  FileOpen \$0 \"z:\\benchout\\nsis-time.txt\" w
  FileWrite \$0 \$4
  FileClose \$0"
  for kind in copy extract; do
    if [ $kind = copy ]; then
      work="CopyFiles /SILENT /FILESONLY \"$winsrc\\file*.bin\" \"\$INSTDIR\""
    else
      work="File /r \"$tree/*\""
    fi
    cat > "$nsis/$kind.nsi" <<NSI
Unicode true
SetCompressor zlib
CRCCheck off
Name "bench"
OutFile "$nsis/nsis_$kind.exe"
SilentInstall silent
RequestExecutionLevel user
InstallDir "z:\\benchout\\nsis$kind"
Section
  SetOutPath "\$INSTDIR"
  $timer_start
  $work
  $timer_end
SectionEnd
NSI
    makensis -V1 "$nsis/$kind.nsi" >/dev/null
  done
  touch "$nsis/.complete"
fi
chmod -R o+rX "$KIT_BUILD/benchdata"

"$here/bench.sh" start >/dev/null
trap 'empty_drive_n 2>/dev/null; "$here/bench.sh" stop >/dev/null' EXIT
out=$KIT_SCRATCH/benchout
mkdir -p "$out"; chown "$KIT_USER" "$out"

ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
# Every measurement starts with the disk settled: what an earlier tool left to write back (or a
# deleted tree) would otherwise be charged to whichever tool comes next.
settle() { sync; }
win() { settle; "$here/wine-run.sh" "$KIT_BUILD/bench/copy_bench.exe" "$@"; }
# A peer installer run silently into z:\benchout\DEST; prints the milliseconds it timed.
peer() {
  rm -f "$out/nsis-time.txt"; settle
  "$here/wine-run.sh" "$nsis/nsis_$1.exe" /S "/D=z:\\benchout\\$2" || { echo "bench: nsis_$1 failed" >&2; exit 1; }
  local us; us=$(cat "$out/nsis-time.txt")
  echo $(( us / 1000 ))
}

# The launcher's medium goes into drive n: (labelled "Veyla"), linked rather than copied.
drive_n=$KIT_SCRATCH/drives/n
find "$drive_n" -mindepth 1 -maxdepth 1 ! -name .windows-label -exec rm -rf {} +
empty_drive_n() { find "$drive_n" -mindepth 1 -maxdepth 1 ! -name .windows-label -exec rm -rf {} +; }
empty_drive_n
cp -al "$launcher_medium/medium/." "$drive_n/"
find "$drive_n" -type d -exec chown "$KIT_USER" {} +

cat "$src"/* "$launcher_medium"/medium/Veyla/* > /dev/null   # warm the page cache right before measuring

declare -A times
for r in $(seq 1 "$rounds"); do
  t=$(win copyfile "$winsrc" "z:\\benchout\\copyfile$r" "${plain[@]}"); times[copyfile,$r]=${t%.*}
  rm -rf "$out/copyfile$r"
  times[nsiscopy,$r]=$(peer copy "nsiscopy$r")
  if [ "$r" = 1 ]; then
    for f in "${plain[@]}"; do cmp -s "$src/$f" "$out/nsiscopy1/$f" || { echo "bench: $f differs after NSIS's copy" >&2; exit 1; }; done
  fi
  rm -rf "$out/nsiscopy$r"
  t=$(win engine "$winsrc" "z:\\benchout\\engine$r" "${plain[@]}"); times[engine,$r]=${t%.*}
  if [ "$r" = 1 ]; then
    for f in "${plain[@]}"; do cmp -s "$src/$f" "$out/engine1/$f" || { echo "bench: $f differs after the engine copy" >&2; exit 1; }; done
  fi
  # The installed-data check over the files just installed, against native cmp -s on the same pairs.
  cat "$src"/file* "$out/engine$r"/* > /dev/null
  t=$(win compare "$winsrc" "z:\\benchout\\engine$r" "${plain[@]}"); times[compare,$r]=${t%.*}
  cat "$src"/file* "$out/engine$r"/* > /dev/null
  t=$(win readcompare "$winsrc" "z:\\benchout\\engine$r" "${plain[@]}"); times[readcompare,$r]=${t%.*}
  settle; s=$(date +%s%N)
  for f in "${plain[@]}"; do cmp -s "$src/$f" "$out/engine$r/$f"; done
  times[cmp,$r]=$(ms "$s")
  rm -rf "$out/engine$r"
  mkdir -p "$out/dd$r"; settle; s=$(date +%s%N)
  for f in "${plain[@]}"; do dd if="$src/$f" of="$out/dd$r/$f" bs=64K status=none; done
  times[dd,$r]=$(ms "$s"); rm -rf "$out/dd$r"
  mkdir -p "$out/cp$r"; settle; s=$(date +%s%N)
  (cd "$src" && cp "${plain[@]}" "$out/cp$r/")
  times[cp,$r]=$(ms "$s"); rm -rf "$out/cp$r"
  t=$(win engine "$winsrc" "z:\\benchout\\enginezip$r" "${zips[@]}"); times[enginezip,$r]=${t%.*}
  mkdir -p "$out/unzip$r"; settle; s=$(date +%s%N)
  for z in "${zips[@]}"; do unzip -q -o "$src/$z" -d "$out/unzip$r"; done
  times[unzip,$r]=$(ms "$s")
  times[nsisextract,$r]=$(peer extract "nsisextract$r")
  if [ "$r" = 1 ]; then
    diff -r "$out/unzip1" "$out/enginezip1" > /dev/null || { echo "bench: extracted archives differ from unzip's" >&2; exit 1; }
    diff -r "$out/unzip1" "$out/nsisextract1" > /dev/null || { echo "bench: NSIS's extraction differs from unzip's" >&2; exit 1; }
  fi
  rm -rf "$out/enginezip$r" "$out/unzip$r" "$out/nsisextract$r"
  order="launcher quiet"; [ $((r % 2)) = 0 ] && order="quiet launcher"
  for mode in $order; do
    cat "$launcher_medium"/medium/Veyla/* > /dev/null; settle
    result=$("$here/wine-run.sh" "$KIT_BUILD/bench/launcher_bench.exe" "$mode" "z:\\benchout\\$mode$r") ||
      { echo "bench: the $mode installation did not complete" >&2; exit 1; }
    read -r wall cpu peak <<< "$result"
    times[$mode,$r]=$wall; times[${mode}cpu,$r]=$cpu; times[${mode}mem,$r]=$peak
    rm -rf "$out/$mode$r"
  done
  echo "round $r: engine ${times[engine,$r]} ms, CopyFileA ${times[copyfile,$r]} ms, NSIS CopyFiles ${times[nsiscopy,$r]} ms, dd ${times[dd,$r]} ms, engine archives ${times[enginezip,$r]} ms, NSIS extraction ${times[nsisextract,$r]} ms, unzip ${times[unzip,$r]} ms, data check ${times[compare,$r]} ms, read and compare ${times[readcompare,$r]} ms, launcher ${times[launcher,$r]} ms (processor ${times[launchercpu,$r]} ms, peak ${times[launchermem,$r]} KiB), quiet ${times[quiet,$r]} ms (processor ${times[quietcpu,$r]} ms, peak ${times[quietmem,$r]} KiB)"
done

{ for k in "${!times[@]}"; do echo "$k ${times[$k]}"; done; } > "$KIT_BUILD/bench/figures.txt"
python3 "$KIT_SOURCE/bench/report.py" "$rounds" "$KIT_BUILD/bench/figures.txt" "$KIT_BUILD/bench/chart.svg" \
  "$(nproc) cores, $(uname -m)$([ -e /proc/sys/fs/binfmt_misc/kit-i386 ] && echo ', 32-bit code under qemu'), $(wine --version 2>/dev/null)"
