#!/usr/bin/env python3
"""Fails when a file of setup/ includes a header of a folder above its own, or engine and system
include each other's.

From the bottom: config and resources (the product table, the control ids), platform (the Windows
wrappers that know nothing of the product), state (the Installer's declaration and what it shares,
which engine and system both stand on), engine and system (side by side: neither includes the
other), procedures (the whole jobs, which call both), ui, app."""
import pathlib
import re
import sys

LEVEL = {"config": 0, "resources": 0, "platform": 1, "state": 2, "engine": 3, "system": 3, "procedures": 4, "ui": 5,
         "app": 6}
APART = {("engine", "system"), ("system", "engine")}
root = pathlib.Path(__file__).resolve().parent.parent / "setup"
include = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/[^"]+"', re.M)
faults = []
for path in sorted(root.rglob("*")):
    if path.suffix not in (".h", ".cpp", ".rc") or path.parent == root:
        continue
    own = path.relative_to(root).parts[0]
    for folder in include.findall(path.read_text(encoding="latin-1")):
        if folder in LEVEL and LEVEL[folder] > LEVEL[own]:
            faults.append(f"{path.relative_to(root.parent)}: includes {folder}/ from {own}/")
        elif (own, folder) in APART:
            faults.append(f"{path.relative_to(root.parent)}: includes {folder}/ from {own}/, which stand side by side")
for fault in faults:
    print("layers:", fault)
sys.exit(1 if faults else 0)
