#!/usr/bin/env python3
"""Compares what a shared library exports with what its public headers declare.

Every function a header declares with the export macro must be exported
(overloads count one each), and nothing else may be: no internal C++ symbol,
no instantiation of a standard library template.
Usage: check-exports.py LIBRARY MACRO HEADER...
"""
import collections
import re
import subprocess
import sys


def declared(macro, headers):
    pattern = re.compile(r"\b" + re.escape(macro) + r"\b[^;(]*?\b([A-Za-z_]\w*)\s*\(")
    names = collections.Counter()
    for header in headers:
        with open(header, encoding="utf-8") as text:
            body = text.read()
        body = re.sub(r"#\s*define\s+" + re.escape(macro) + r"\b.*", "", body)
        names.update(pattern.findall(body))
    return names


def exported(library):
    listing = subprocess.run(["nm", "-D", "--defined-only", "--demangle", library],
                             check=True, capture_output=True, text=True).stdout
    names = collections.Counter()
    for line in listing.splitlines():
        parts = line.split(" ", 2)
        if len(parts) == 3:
            # A demangled function shows its parameters; the name is what precedes them.
            names[parts[2].split("(", 1)[0]] += 1
    return names


def main():
    if len(sys.argv) < 4:
        print(__doc__)
        return 2
    library, macro, headers = sys.argv[1], sys.argv[2], sys.argv[3:]
    want, have = declared(macro, headers), exported(library)
    missing, extra = want - have, have - want
    for name in sorted(missing):
        print(f"declared but not exported: {name}")
    for name in sorted(extra):
        print(f"exported but not declared: {name}")
    print(f"{library}: {sum(have.values())} exported, {sum(want.values())} declared, "
          f"{sum(missing.values())} missing, {sum(extra.values())} extra")
    return 1 if missing or extra else 0


if __name__ == "__main__":
    sys.exit(main())
