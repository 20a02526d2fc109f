#!/usr/bin/env python3
"""Checks that the folders of src/ include only from their own layer or the
layers below, as the table of layers in docs/design.md says, and that two
folders of one layer do not include each other."""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
layer = {}
for line in (root / "docs" / "design.md").read_text().splitlines():
    row = re.match(r"\|\s*(\d+)\s*\|([^|]*)\|", line)
    if row:
        for folder in re.findall(r"`([a-z_]+)/`", row.group(2)):
            layer[folder] = int(row.group(1))
if len(layer) < 10:
    sys.exit(f"docs/design.md: the table of layers names only {sorted(layer)}")

faults = []
for path in sorted((root / "src").glob("*/*")):
    folder = path.parent.name
    if folder not in layer:
        faults.append(f"{path.relative_to(root)}: folder {folder}/ is in no layer of docs/design.md")
        continue
    for number, text in enumerate(path.read_text().splitlines(), 1):
        include = re.match(r'\s*#\s*include\s+"([a-z_]+)/', text)
        if not include or include.group(1) not in layer or include.group(1) == folder:
            continue
        used = include.group(1)
        if layer[used] >= layer[folder]:
            faults.append(f"{path.relative_to(root)}:{number}: {folder}/ (layer {layer[folder]}) "
                          f"includes {used}/ (layer {layer[used]})")
print("\n".join(faults) if faults else f"{len(layer)} folders, every include points down")
sys.exit(1 if faults else 0)
