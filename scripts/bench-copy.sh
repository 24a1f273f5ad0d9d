#!/usr/bin/env bash
# make bench: installs a deterministic ~1 GiB medium through the real copy engine under Wine and
# measures it, in the same run, against peers on the same runtime: a peer installer (NSIS, built
# here with makensis) doing the same work under the same Wine, its CopyFiles of the plain files and
# its own zlib-compressed File /r of the archives' tree, and Wine's CopyFileA; the installed-data
# check against the plainest comparison under the same Wine (both files read once in 1 MiB blocks).
# Native dd, cp, unzip and cmp run beside them as information only: where 32-bit code runs under an
# emulator they measure the emulator. Every file the engine installs is checked byte for byte first.
# Then what a player meets: Veyla's medium with a 1 GiB data.tpk installed through the real
# launcher (answered by the test driver) and with setup.exe /quiet, each timed from the start of the
# copy to the installation record, with the processor time and the peak working set of setup.exe.
# Every timed run starts with the disk settled and is charged the write-back it leaves (a sync after
# it); the tools of each group alternate their order from round to round; the report gives each
# ratio's spread over the rounds and the engine's breakdown of the archives. ROUNDS (9) rounds.
# The figures and a chart of them go to build/bench/.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/bench-env.sh"
here=$(dirname "${BASH_SOURCE[0]}")
rounds=${ROUNDS:-9}
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
python3 "$KIT_SOURCE/scripts/make-medium.py" "$KIT_BUILD" --out "$launcher_medium" --data-mb 1024 --capacity-mb 4700 >/dev/null

# The peer installer: NSIS from Debian's package, its two installers made from the same medium.
if ! command -v makensis >/dev/null 2>&1; then
  # shellcheck source=apt-install.sh
  . "$here/apt-install.sh"
  apt_refresh
  apt_install nsis
fi
nsis=$KIT_BUILD/benchdata/nsis
tree=$KIT_BUILD/benchdata/tree
# Made again whenever the medium was (its stamp is newer).
if [ ! -f "$nsis/.complete" ] || [ "$src/.complete" -nt "$nsis/.complete" ]; then
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
# deleted tree) would otherwise be charged to whichever tool comes next. And from the same state of
# the disk: right after 1 GiB was written and removed. Without that the first large run of each
# round (whichever tool it was) took a second or more longer than the same run after it (seen on a
# virtual machine's disk).
settle() {
  dd if=/dev/zero of="$out/prime.bin" bs=1M count=1024 status=none; sync
  rm -f "$out/prime.bin"; sync
}
# And every measurement ends with its own output on the disk: the write-back a tool leaves behind is
# charged to that tool. Prints the milliseconds the sync took.
charge() { local s; s=$(date +%s%N); sync; ms "$s"; }
win() { settle; "$here/wine-run.sh" "$KIT_BUILD/bench/copy_bench.exe" "$@"; }
# copy_bench's own milliseconds (whole) plus the write-back it left; its breakdown, if any, to $2.
timed_win() {
  local log=$1 t; shift
  t=$(win "$@" 2> "$log") || { echo "bench: copy_bench $1 failed" >&2; exit 1; }
  echo $(( ${t%.*} + $(charge) ))
}
# A peer installer run silently into z:\benchout\DEST; prints the milliseconds it timed plus the
# write-back it left.
peer() {
  rm -f "$out/nsis-time.txt"; settle
  "$here/wine-run.sh" "$nsis/nsis_$1.exe" /S "/D=z:\\benchout\\$2" || { echo "bench: nsis_$1 failed" >&2; exit 1; }
  local us; us=$(cat "$out/nsis-time.txt")
  echo $(( us / 1000 + $(charge) ))
}
# A native command timed with its write-back.
native() { local s; settle; s=$(date +%s%N); "$@"; sync; ms "$s"; }

# The launcher's medium goes into drive n: (labelled "Veyla"), linked rather than copied.
drive_n=$KIT_SCRATCH/drives/n
find "$drive_n" -mindepth 1 -maxdepth 1 ! -name .windows-label -exec rm -rf {} +
empty_drive_n() { find "$drive_n" -mindepth 1 -maxdepth 1 ! -name .windows-label -exec rm -rf {} +; }
empty_drive_n
cp -al "$launcher_medium/medium/." "$drive_n/"
find "$drive_n" -type d -exec chown "$KIT_USER" {} +

cat "$src"/* "$launcher_medium"/medium/Veyla/* > /dev/null   # warm the page cache right before measuring

declare -A times
# The processor time setup.exe uses, in microseconds, from the kernel's count of each of its threads
# (Wine's own figures come in 10 ms ticks), read every 10 ms while the run lasts: the last reading.
setup_cpu() {
  local last=0 sum ns rest p f
  while kill -0 "$1" 2>/dev/null; do
    for p in $(pgrep -f 'n:\\setup\.exe' || true); do
      sum=0
      for f in /proc/"$p"/task/*/schedstat; do { read -r ns rest < "$f"; } 2>/dev/null && sum=$((sum + ns)); done
      [ "$sum" -gt "$last" ] && last=$sum
    done
    sleep 0.01
  done
  echo $((last / 1000))
}
plain_copyfile() { times[copyfile,$r]=$(timed_win /dev/null copyfile "$winsrc" "z:\\benchout\\copyfile$r" "${plain[@]}"); rm -rf "$out/copyfile$r"; }
plain_nsis() {
  times[nsiscopy,$r]=$(peer copy "nsiscopy$r")
  if [ "$r" = 1 ]; then
    for f in "${plain[@]}"; do cmp -s "$src/$f" "$out/nsiscopy1/$f" || { echo "bench: $f differs after NSIS's copy" >&2; exit 1; }; done
  fi
  rm -rf "$out/nsiscopy$r"
}
plain_engine() {
  times[engine,$r]=$(timed_win /dev/null engine "$winsrc" "z:\\benchout\\engine$r" "${plain[@]}")
  if [ "$r" = 1 ]; then
    for f in "${plain[@]}"; do cmp -s "$src/$f" "$out/engine1/$f" || { echo "bench: $f differs after the engine copy" >&2; exit 1; }; done
  fi
  # The installed-data check over the files just installed, against the plain read under Wine.
  cat "$src"/file* "$out/engine$r"/* > /dev/null
  t=$(win compare "$winsrc" "z:\\benchout\\engine$r" "${plain[@]}"); times[compare,$r]=${t%.*}
  cat "$src"/file* "$out/engine$r"/* > /dev/null
  t=$(win readcompare "$winsrc" "z:\\benchout\\engine$r" "${plain[@]}"); times[readcompare,$r]=${t%.*}
  settle; s=$(date +%s%N)
  for f in "${plain[@]}"; do cmp -s "$src/$f" "$out/engine$r/$f"; done
  times[cmp,$r]=$(ms "$s")
  rm -rf "$out/engine$r"
}
zip_engine() {
  times[enginezip,$r]=$(timed_win "$out/breakdown$r.txt" engine "$winsrc" "z:\\benchout\\enginezip$r" "${zips[@]}")
  read -r _ a b c d e f g _ < <(grep -a '^breakdown' "$out/breakdown$r.txt")
  times[zipdirectory,$r]=$a; times[zipinflate,$r]=$b; times[zipcreate,$r]=$c; times[zipwrite,$r]=$d
  times[zipflush,$r]=$e; times[zipclose,$r]=$f; times[zipwait,$r]=$g
}
# The data check of the archives' files the engine recorded (by size and CRC), against reading each
# with unzip's copy and comparing them.
zip_check() {
  chmod -R a+rX "$out/unzip$r"   # native unzip ran as root: the programs under Wine read it as the bench user
  find "$out/enginezip$r" "$out/unzip$r" -type f -exec cat {} + > /dev/null
  t=$(win checkplaced "z:\\benchout\\enginezip$r"); times[comparezip,$r]=${t%.*}
  t=$(win readplaced "z:\\benchout\\unzip$r" "z:\\benchout\\enginezip$r"); times[readcomparezip,$r]=${t%.*}
}
zip_nsis() { times[nsisextract,$r]=$(peer extract "nsisextract$r"); }
zip_unzip() {
  mkdir -p "$out/unzip$r"
  times[unzip,$r]=$(native bash -c 'for z in "$@"; do unzip -q -o "'"$src"'/$z" -d "'"$out/unzip$r"'"; done' _ "${zips[@]}")
}
installation() {
  local mode=$1 bg result wall cpu peak
  cat "$launcher_medium"/medium/Veyla/* > /dev/null; settle
  "$here/wine-run.sh" "$KIT_BUILD/bench/launcher_bench.exe" "$mode" "z:\\benchout\\$mode$r" > "$out/$mode.txt" &
  bg=$!
  cpu=$(setup_cpu "$bg")
  wait "$bg" || { echo "bench: the $mode installation did not complete" >&2; exit 1; }
  read -r wall _ peak < "$out/$mode.txt"
  times[$mode,$r]=$(( wall + $(charge) )); times[${mode}cpu,$r]=$cpu; times[${mode}mem,$r]=$peak
  rm -rf "$out/$mode$r"
}
# The quiet repair of one damaged 1000 KiB file in the 1 GiB installation, against the quiet
# installation over the same game (launcher_bench times both, each from its start to its end).
repair() {
  cat "$launcher_medium"/medium/Veyla/* > /dev/null; settle
  "$here/wine-run.sh" "$KIT_BUILD/bench/launcher_bench.exe" repair "z:\\benchout\\repair$r" > "$out/repair.txt" ||
    { echo "bench: the repair did not complete" >&2; exit 1; }
  read -r over mended < "$out/repair.txt"
  times[overgame,$r]=$over; times[repair,$r]=$mended
  rm -rf "$out/repair$r"
}
for r in $(seq 1 "$rounds"); do
  # Tools alternate within a round: every other round runs each group the other way round.
  if [ $((r % 2)) = 1 ]; then
    plain_copyfile; plain_nsis; plain_engine; zip_engine; zip_nsis; zip_unzip; installation launcher; installation quiet
  else
    plain_engine; plain_nsis; plain_copyfile; zip_unzip; zip_nsis; zip_engine; installation quiet; installation launcher
  fi
  repair
  zip_check
  if [ "$r" = 1 ]; then
    diff -r -x placed.lst "$out/unzip1" "$out/enginezip1" > /dev/null || { echo "bench: extracted archives differ from unzip's" >&2; exit 1; }
    diff -r "$out/unzip1" "$out/nsisextract1" > /dev/null || { echo "bench: NSIS's extraction differs from unzip's" >&2; exit 1; }
  fi
  rm -rf "$out/enginezip$r" "$out/unzip$r" "$out/nsisextract$r"
  times[dd,$r]=$(native bash -c 'mkdir -p "$1"; shift; cd "'"$src"'" && for f in "$@"; do dd if="$f" of="'"$out/dd$r"'/$f" bs=64K status=none; done' _ "$out/dd$r" "${plain[@]}")
  rm -rf "$out/dd$r"
  times[cp,$r]=$(native bash -c 'mkdir -p "$1"; shift; cd "'"$src"'" && cp "$@" "'"$out/cp$r"'/"' _ "$out/cp$r" "${plain[@]}")
  rm -rf "$out/cp$r"
  echo "round $r of $rounds: engine ${times[engine,$r]} ms, CopyFileA ${times[copyfile,$r]} ms, NSIS CopyFiles ${times[nsiscopy,$r]} ms, engine archives ${times[enginezip,$r]} ms, NSIS extraction ${times[nsisextract,$r]} ms, data check ${times[compare,$r]} ms, read and compare ${times[readcompare,$r]} ms, launcher ${times[launcher,$r]} ms, quiet ${times[quiet,$r]} ms, over the game ${times[overgame,$r]} ms, repair ${times[repair,$r]} ms"
done

{ for k in "${!times[@]}"; do echo "$k ${times[$k]}"; done; } > "$KIT_BUILD/bench/figures.txt"
python3 "$KIT_SOURCE/bench/report.py" "$rounds" "$KIT_BUILD/bench/figures.txt" "$KIT_BUILD/bench/chart.svg" \
  "$(nproc) cores, $(uname -m)$([ -e /proc/sys/fs/binfmt_misc/kit-i386 ] && echo ', 32-bit code under qemu'), $(wine --version 2>/dev/null)"
