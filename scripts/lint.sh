#!/usr/bin/env bash
# The project's own code: its layout (clang-format, .clang-format), then static analysis with
# cppcheck and clang-tidy with the mingw headers. Fails on any finding. Suppressions, where needed,
# stand in the code beside what they excuse.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
sources=$(find setup tunewell -name '*.cpp' | sort)

echo "lint: layers"
python3 scripts/check-layers.py

echo "lint: clang-format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

echo "lint: cppcheck"
cppcheck --enable=warning,performance,portability --std=c++17 --library=windows --platform=win32A \
  --inline-suppr --error-exitcode=1 --quiet -D_WIN32 -DKIT_BUILD_MODE=0 -DKIT_SPECIAL_UNINSTALLER=0 \
  -I setup -I tunewell $sources

echo "lint: clang-tidy"
gcc_dir=$(ls -d /usr/lib/gcc/i686-w64-mingw32/*-win32 | head -n1)
checks='-*,bugprone-*,-bugprone-easily-swappable-parameters,-bugprone-narrowing-conversions,-bugprone-reserved-identifier,clang-analyzer-*,-clang-analyzer-security.insecureAPI.*,readability-function-size'
# No function longer than 45 lines, signature and braces included (the check counts from its
# opening brace to its closing one).
config='{CheckOptions: [{key: readability-function-size.LineThreshold, value: 43}]}'
status=0
for f in $sources; do
  clang-tidy --quiet --checks="$checks" --config="$config" --warnings-as-errors='*' "$f" -- \
    --target=i686-w64-windows-gnu -std=c++17 -Isetup -Itunewell -Ibuild/_deps/minizip \
    -isystem "$gcc_dir/include/c++" -isystem "$gcc_dir/include/c++/i686-w64-mingw32" -isystem /usr/i686-w64-mingw32/include \
    -DWINVER=0x0601 -D_WIN32_WINNT=0x0601 -D_WIN32_IE=0x0600 -DKIT_BUILD_MODE=0 -DKIT_SPECIAL_UNINSTALLER=0 \
    > /tmp/lint-$$.txt 2>&1 || { echo "lint: clang-tidy: $f"; grep -E 'warning|error' /tmp/lint-$$.txt | grep -v 'warnings generated'; status=1; }
done
rm -f /tmp/lint-$$.txt
[ $status = 0 ] && echo "lint: clean"
exit $status
