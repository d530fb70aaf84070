#!/usr/bin/env python3
"""Writes a module-definition file naming every function a MinGW import
library imports from its DLL, for dlltool to build the delay-load library
from. A function shows in the import library as its thunk (T name) beside
its import slot (I __imp_name); data exports have only the slot and cannot
be delay-loaded, so they are left to the plain import library."""
import argparse
import subprocess
import sys


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--nm", required=True)
    p.add_argument("--lib", required=True, help="the MinGW import library")
    p.add_argument("--dll", required=True, help="the DLL's file name")
    p.add_argument("--out", required=True)
    a = p.parse_args()

    listing = subprocess.run([a.nm, a.lib], check=True, capture_output=True, text=True).stdout
    thunks, slots = set(), set()
    for line in listing.splitlines():
        parts = line.split()
        if len(parts) < 2:
            continue
        kind, name = parts[-2], parts[-1]
        if kind == "T":
            thunks.add(name)
        elif kind == "I" and name.startswith("__imp_"):
            slots.add(name[len("__imp_"):])
    functions = sorted(thunks & slots)
    if not functions:
        sys.exit(f"delay_def.py: no functions found in {a.lib}")

    text = f"LIBRARY {a.dll}\nEXPORTS\n" + "".join(f"{f}\n" for f in functions)
    try:
        with open(a.out, encoding="ascii") as f:
            if f.read() == text:
                return
    except OSError:
        pass
    with open(a.out, "w", encoding="ascii") as f:
        f.write(text)


if __name__ == "__main__":
    main()
