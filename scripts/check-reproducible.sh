#!/usr/bin/env bash
# Builds the committed sources twice, each copy in a folder of its own, and compares the shipped
# programs byte for byte: a build must not record its day or its folders in them.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
work=$(mktemp -d /tmp/kit-reproducible.XXXXXX)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
targets=(veyla_launcher veyla_update veyla_uninst veyla_exuninst testkit_launcher testkit_update testkit_uninst
         testkit_exuninst tunewell)
for copy in first second/deeper; do
  mkdir -p "$work/$copy/src" "$work/$copy/out/_deps"
  git archive HEAD | tar -x -C "$work/$copy/src"
  # minizip comes from the main build when it has it, so the check needs no download.
  [ -d build/_deps/minizip ] && cp -r build/_deps/minizip "$work/$copy/out/_deps/"
  cmake -S "$work/$copy/src" -B "$work/$copy/out" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKIT_TESTS=OFF \
    --toolchain "$work/$copy/src/cmake/mingw-i686.cmake" >/dev/null
  cmake --build "$work/$copy/out" -j "${JOBS:-2}" --target "${targets[@]}" >/dev/null
done
status=0
count=0
while IFS= read -r program; do
  rel=${program#"$work/first/out/"}
  count=$((count + 1))
  if ! cmp -s "$program" "$work/second/deeper/out/$rel"; then echo "differs: $rel"; status=1; fi
done < <(find "$work/first/out/bin" -name '*.exe')
[ "$count" -ge 9 ] || { echo "only $count programs were built"; status=1; }
[ $status = 0 ] && echo "reproducible: $count programs byte-identical across two builds in different folders"
exit $status
