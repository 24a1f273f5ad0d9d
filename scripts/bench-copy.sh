#!/usr/bin/env bash
# make bench: installs a deterministic ~1 GiB medium through the real copy engine under Wine and
# measures it, in the same run and alternating tool by tool, against native dd/cp/unzip and against
# CopyFileA under Wine; the installed-data check is measured against native cmp -s. Every file the engine installs is checked byte for byte first.
# Then what a player meets: Veyla's medium with a 256 MiB data.tpk installed through the real launcher
# (answered by the test driver) and with setup.exe /quiet, alternating which goes first, each timed
# from the start of the copy to the installation record, with the processor time setup.exe used
# meanwhile. (A larger medium fills the kernel's dirty-page allowance on these machines and the
# writes are then throttled at random, which hides the programs behind the disk.)
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
python3 "$KIT_SOURCE/scripts/make-medium.py" "$KIT_BUILD" --out "$launcher_medium" --data-mb 256 >/dev/null
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
  t=$(win engine "$winsrc" "z:\\benchout\\engine$r" "${plain[@]}"); times[engine,$r]=${t%.*}
  if [ "$r" = 1 ]; then
    for f in "${plain[@]}"; do cmp -s "$src/$f" "$out/engine1/$f" || { echo "bench: $f differs after the engine copy" >&2; exit 1; }; done
  fi
  # The installed-data check over the files just installed, against native cmp -s on the same pairs.
  cat "$src"/file* "$out/engine$r"/* > /dev/null
  t=$(win compare "$winsrc" "z:\\benchout\\engine$r" "${plain[@]}"); times[compare,$r]=${t%.*}
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
  if [ "$r" = 1 ]; then
    diff -r "$out/unzip1" "$out/enginezip1" > /dev/null || { echo "bench: extracted archives differ from unzip's" >&2; exit 1; }
  fi
  rm -rf "$out/enginezip$r" "$out/unzip$r"
  order="launcher quiet"; [ $((r % 2)) = 0 ] && order="quiet launcher"
  for mode in $order; do
    cat "$launcher_medium"/medium/Veyla/* > /dev/null; settle
    result=$("$here/wine-run.sh" "$KIT_BUILD/bench/launcher_bench.exe" "$mode" "z:\\benchout\\$mode$r") ||
      { echo "bench: the $mode installation did not complete" >&2; exit 1; }
    read -r wall cpu <<< "$result"
    times[$mode,$r]=$wall; times[${mode}cpu,$r]=$cpu
    rm -rf "$out/$mode$r"
  done
  echo "round $r: engine ${times[engine,$r]} ms, CopyFileA ${times[copyfile,$r]} ms, dd ${times[dd,$r]} ms, cp ${times[cp,$r]} ms, engine archives ${times[enginezip,$r]} ms, unzip ${times[unzip,$r]} ms, data check ${times[compare,$r]} ms, cmp ${times[cmp,$r]} ms, launcher ${times[launcher,$r]} ms (processor ${times[launchercpu,$r]} ms), quiet ${times[quiet,$r]} ms (processor ${times[quietcpu,$r]} ms)"
done

python3 - "$rounds" <<PY
import statistics, sys
rounds = int(sys.argv[1])
t = {}
$(for k in "${!times[@]}"; do echo "t['$k'] = ${times[$k]}"; done)
def med(tool): return statistics.median(t[tool + ',' + str(r)] for r in range(1, rounds + 1))
def ratio(a, b): return statistics.median(t[a + ',' + str(r)] / max(t[b + ',' + str(r)], 1) for r in range(1, rounds + 1))
def total(tool): return sum(t[tool + ',' + str(r)] for r in range(1, rounds + 1))
print()
print('%-34s %10s' % ('median of %d runs' % rounds, 'ms'))
for tool, label in [('engine', 'engine, plain files'), ('copyfile', 'CopyFileA under Wine, plain files'),
                    ('dd', 'native dd bs=64K, plain files'), ('cp', 'native cp, plain files'),
                    ('enginezip', 'engine, archives'), ('unzip', 'native unzip, archives'),
                    ('compare', 'data check, plain files'), ('cmp', 'native cmp -s, plain files'),
                    ('launcher', 'launcher, copy to record'), ('quiet', 'setup.exe /quiet, copy to record'),
                    ('launchercpu', 'launcher, processor time'), ('quietcpu', 'setup.exe /quiet, processor time')]:
    print('%-34s %10.0f' % (label, med(tool)))
print()
print('median of per-run ratios')
print('  engine / CopyFileA      %.2f   (target <= 1.15)' % ratio('engine', 'copyfile'))
print('  engine / dd             %.2f   (target <= 1.20)' % ratio('engine', 'dd'))
print('  engine / cp             %.2f' % ratio('engine', 'cp'))
print('  engine archives / unzip %.2f   (target <= 1.00)' % ratio('enginezip', 'unzip'))
print('  data check / cmp -s     %.2f   (target <= 1.00)' % ratio('compare', 'cmp'))
print('  launcher / quiet        %.2f   (target <= 1.20, wall time)' % ratio('launcher', 'quiet'))
# Wine counts a process's time in 10 ms ticks: the processor times are compared as totals.
print('  launcher / quiet        %.2f   (target <= 1.20, processor time, totals of %d + %d ms)' %
      (total('launchercpu') / max(total('quietcpu'), 1), total('launchercpu'), total('quietcpu')))
PY
