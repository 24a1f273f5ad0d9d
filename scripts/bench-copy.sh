#!/usr/bin/env bash
# make bench: installs a deterministic ~1 GiB medium through the real copy engine under Wine and
# measures it, in the same run and alternating tool by tool, against native dd/cp/unzip and against
# CopyFileA under Wine; the installed-data check is measured against native cmp -s. Every file the engine installs is checked byte for byte first.
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
chmod -R o+rX "$KIT_BUILD/benchdata"

"$here/bench.sh" start >/dev/null
trap '"$here/bench.sh" stop >/dev/null' EXIT
out=$KIT_SCRATCH/benchout
mkdir -p "$out"; chown "$KIT_USER" "$out"

ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
# Every measurement starts with the disk settled: what an earlier tool left to write back (or a
# deleted tree) would otherwise be charged to whichever tool comes next.
settle() { sync; }
win() { settle; "$here/wine-run.sh" "$KIT_BUILD/bench/copy_bench.exe" "$@"; }

cat "$src"/* > /dev/null   # warm the page cache right before measuring

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
  echo "round $r: engine ${times[engine,$r]} ms, CopyFileA ${times[copyfile,$r]} ms, dd ${times[dd,$r]} ms, cp ${times[cp,$r]} ms, engine archives ${times[enginezip,$r]} ms, unzip ${times[unzip,$r]} ms, data check ${times[compare,$r]} ms, cmp ${times[cmp,$r]} ms"
done

python3 - "$rounds" <<PY
import statistics, sys
rounds = int(sys.argv[1])
t = {}
$(for k in "${!times[@]}"; do echo "t['$k'] = ${times[$k]}"; done)
def med(tool): return statistics.median(t[tool + ',' + str(r)] for r in range(1, rounds + 1))
def ratio(a, b): return statistics.median(t[a + ',' + str(r)] / max(t[b + ',' + str(r)], 1) for r in range(1, rounds + 1))
print()
print('%-34s %10s' % ('median of %d runs' % rounds, 'ms'))
for tool, label in [('engine', 'engine, plain files'), ('copyfile', 'CopyFileA under Wine, plain files'),
                    ('dd', 'native dd bs=64K, plain files'), ('cp', 'native cp, plain files'),
                    ('enginezip', 'engine, archives'), ('unzip', 'native unzip, archives'),
                    ('compare', 'data check, plain files'), ('cmp', 'native cmp -s, plain files')]:
    print('%-34s %10.0f' % (label, med(tool)))
print()
print('median of per-run ratios')
print('  engine / CopyFileA      %.2f   (target <= 1.15)' % ratio('engine', 'copyfile'))
print('  engine / dd             %.2f' % ratio('engine', 'dd'))
print('  engine / cp             %.2f' % ratio('engine', 'cp'))
print('  engine archives / unzip %.2f   (target <= 1.50)' % ratio('enginezip', 'unzip'))
print('  data check / cmp -s     %.2f   (target <= 1.00)' % ratio('compare', 'cmp'))
PY
