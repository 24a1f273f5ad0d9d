#!/usr/bin/env bash
# Fails when a program imports a DLL that a bare Windows does not have (the mingw runtime DLLs).
set -euo pipefail
allowed='^(ADVAPI32|COMCTL32|GDI32|KERNEL32|msvcrt|ole32|SHELL32|USER32|WINMM|VERSION)\.dll$'
status=0
for exe in "$@"; do
  for dll in $(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name/ {print $3}'); do
    if ! echo "$dll" | grep -qiE "$allowed"; then echo "$exe imports $dll"; status=1; fi
  done
done
[ $status = 0 ] && echo "only system DLLs are imported by: $*"
exit $status
