#!/usr/bin/env python3
"""Fails when a shipped program imports a DLL or a function that docs/imports.md does not allow.

Usage: check-imports.py TABLE PROGRAM...  Every program's import table is read with objdump."""
import os
import re
import subprocess
import sys


def read_table(path):
    dlls, functions = {}, set()
    for line in open(path, encoding="utf-8"):
        cells = [c.strip().strip("`") for c in line.strip().strip("|").split("|")]
        if not line.startswith("|") or cells[0] in ("DLL", "") or set(cells[0]) <= set("-"):
            continue
        if len(cells) == 3:
            dlls[cells[0].upper()] = cells[1]
        elif len(cells) == 4:
            functions.add((cells[0].upper(), cells[1]))
    return dlls, functions


def imports(program):
    text = subprocess.run(["i686-w64-mingw32-objdump", "-p", program], env=dict(os.environ, LC_ALL="C"),
                          capture_output=True, text=True, check=True).stdout
    dll = None
    for line in text.splitlines():
        m = re.match(r"\tDLL Name: (\S+)", line)
        if m:
            dll = m.group(1).upper()
            continue
        m = re.match(r"\t[0-9a-f]+\t\s*\d+\s+(\S+)", line)
        if dll and m:
            yield dll, m.group(1)


def main():
    table, programs = sys.argv[1], sys.argv[2:]
    dlls, functions = read_table(table)
    failures = 0
    for program in programs:
        name = os.path.basename(program)
        seen = 0
        for dll, function in imports(program):
            seen += 1
            allowed = dlls.get(dll)
            # "yes" for every program, "<program> only" for one, "no" for none.
            if allowed is None or (allowed != "yes" and name not in allowed.split()):
                print(f"{program}: {dll} is not a DLL it may import statically ({function})")
                failures += 1
            elif (dll, function) not in functions:
                print(f"{program}: {dll} {function} is not in {table}")
                failures += 1
        if seen == 0:
            print(f"{program}: no imports read")
            failures += 1
    if failures == 0:
        print(f"every import of {len(programs)} programs is in {table}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
