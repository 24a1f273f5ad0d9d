#!/usr/bin/env bash
# The demonstration: starts the launcher under Wine. With a display the user drives it; without
# one a driver walks through it on a virtual display and screenshots are saved under build/demo/.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/bench-env.sh"
bench=$(dirname "${BASH_SOURCE[0]}")/bench.sh
out=$KIT_BUILD/demo
mkdir -p "$out"

# The sample medium goes into drive n: of the bench, whose label is "Veyla".
insert_medium() {
  cp -r "$KIT_BUILD/medium/." "$KIT_SCRATCH/drives/n/"
  chown -R "$KIT_USER" "$KIT_SCRATCH/drives/n"
}

if [ -n "${DISPLAY:-}" ]; then
  KIT_USE_DISPLAY=$DISPLAY "$bench" start
  trap '"$bench" stop' EXIT
  insert_medium
  echo "demo: the launcher opens on $DISPLAY from the sample medium in drive n:; quit it to end the demo"
  "$(dirname "${BASH_SOURCE[0]}")/wine-run.sh" 'n:\setup.exe'
  exit 0
fi

"$bench" start
trap '"$bench" stop' EXIT
insert_medium
rm -f "$out"/*.png
display=$(kit_display)
"$(dirname "${BASH_SOURCE[0]}")/wine-run.sh" "$KIT_BUILD/demo/demo_driver.exe" > "$out/driver.log" 2>&1 &
driver=$!
n=1
while kill -0 "$driver" 2>/dev/null; do
  if [ -f "$KIT_SCRATCH/demo/stage-$n.txt" ]; then
    name=$(cat "$KIT_SCRATCH/demo/stage-$n.txt")
    DISPLAY=$display import -window root "$out/$n-$name.png"
    echo "demo:    screenshot $out/$n-$name.png"
    "${KIT_AS_USER[@]}" touch "$KIT_SCRATCH/demo/go-$n.txt"
    n=$((n + 1))
  fi
  sleep 0.2
done
wait "$driver" && rc=0 || rc=$?
iconv -f CP932 -t UTF-8 "$out/driver.log" || cat "$out/driver.log"
echo "demo: screenshots in $out"
exit $rc
