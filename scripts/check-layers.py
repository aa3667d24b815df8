#!/usr/bin/env python3
"""Fails when a file under orvex/ includes a header of a folder above its own.

The order of the folders is the numbered list under "## Layers" in
docs/architecture.md, bottom first, so that the page and the check cannot
drift apart. Usage: check-layers.py [source root] [architecture page]
"""
import pathlib
import re
import sys

LAYER_ITEM = re.compile(r"^\d+\.\s+`([A-Za-z0-9_]+)/`")
FOLDER_INCLUDE = re.compile(r'^\s*#\s*include\s*"([A-Za-z0-9_]+)/')


def read_layers(page):
    layers, in_section = [], False
    for line in page.read_text(encoding="utf-8").splitlines():
        if line.startswith("## "):
            in_section = line.strip() == "## Layers"
            continue
        match = LAYER_ITEM.match(line) if in_section else None
        if match:
            layers.append(match.group(1))
    return layers


def check(source_root, layers):
    rank = {name: i for i, name in enumerate(layers)}
    faults = []
    for folder in sorted(p for p in source_root.iterdir() if p.is_dir()):
        if folder.name == "include":
            continue  # the public headers, open to every layer
        if folder.name not in rank:
            faults.append(f"{folder.name}/: folder missing from the layer list")
            continue
        for path in sorted(folder.rglob("*")):
            if path.suffix not in (".h", ".cpp", ".c"):
                continue
            text = path.read_text(encoding="utf-8", errors="replace")
            for number, line in enumerate(text.splitlines(), 1):
                match = FOLDER_INCLUDE.match(line)
                target = match.group(1) if match else None
                if target in rank and rank[target] > rank[folder.name]:
                    where = path.relative_to(source_root)
                    faults.append(f"{where}:{number}: {folder.name}/ includes {target}/, which lies above it")
    return faults


def main():
    repo = pathlib.Path(__file__).resolve().parent.parent
    source_root = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else repo / "orvex"
    page = pathlib.Path(sys.argv[2]) if len(sys.argv) > 2 else repo / "docs" / "architecture.md"
    layers = read_layers(page)
    if not layers:
        print(f"{page}: no numbered folder list under '## Layers'")
        return 1
    faults = check(source_root, layers)
    for fault in faults:
        print(fault)
    print(f"layers (bottom first): {' < '.join(layers)}; {len(faults)} fault(s)")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
