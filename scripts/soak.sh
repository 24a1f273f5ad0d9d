#!/usr/bin/env bash
# make soak: the whole suite, round after round (KIT_SOAK_RUNS, default 5), while CPU-bound load
# processes run beside it (KIT_SOAK_LOAD, default one per core), as on a busy CI machine. Prints
# every test that failed and in how many rounds. Not run by CI.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
runs=${KIT_SOAK_RUNS:-5}
load=${KIT_SOAK_LOAD:-$(nproc)}
jobs=${JOBS:-2}

loaders=()
stop() {
  [ ${#loaders[@]} -gt 0 ] && kill "${loaders[@]}" 2>/dev/null
  wait "${loaders[@]}" 2>/dev/null
  scripts/bench.sh stop
}
trap stop EXIT
scripts/bench.sh start
for ((i = 0; i < load; i++)); do
  (while :; do :; done) &
  loaders+=($!)
done
echo "soak: $runs rounds of the suite beside $load load processes (pids ${loaders[*]})"

declare -A failed
green=0
for ((round = 1; round <= runs; round++)); do
  start=$(date +%s)
  if (cd build && ctest -j "$jobs" --timeout 300 --output-on-failure > "Testing/soak-$round.log" 2>&1); then
    green=$((green + 1))
    echo "soak: round $round green ($(($(date +%s) - start)) s)"
  else
    echo "soak: round $round failed ($(($(date +%s) - start)) s), log build/Testing/soak-$round.log"
    while IFS=: read -r _ name; do
      [ -n "$name" ] && failed[$name]=$((${failed[$name]:-0} + 1))
    done < build/Testing/Temporary/LastTestsFailed.log
  fi
done
echo "soak: $green of $runs rounds green"
for name in "${!failed[@]}"; do echo "soak: ${failed[$name]} of $runs rounds failed $name"; done
[ "$green" = "$runs" ]
