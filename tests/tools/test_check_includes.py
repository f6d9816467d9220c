#!/usr/bin/env python3
"""The include check passes on a copy of the sources and fails on each fault planted in one:
an include of a library further up, the same through a relative path, a QtWidgets header in a
library without widgets, a unit in a folder the table does not name, and a table whose row links
a library standing below it."""
import os
import shutil
import subprocess
import sys
import tempfile

top, widgets = sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else ""
check = os.path.join(top, "tools", "check-includes.py")


def run(tree):
    return subprocess.run([sys.executable, check, "--readme", os.path.join(tree, "README.md"),
                           "--src", os.path.join(tree, "src"), "--qt-widgets", widgets],
                          capture_output=True, text=True)


def fresh_copy(folder):
    tree = tempfile.mkdtemp(dir=folder)
    shutil.copy(os.path.join(top, "README.md"), tree)
    shutil.copytree(os.path.join(top, "src"), os.path.join(tree, "src"),
                    ignore=shutil.ignore_patterns("resources", "icons"))
    return tree


def append(path, line):
    with open(path, "a", encoding="utf-8") as f:
        f.write("\n" + line + "\n")


def plant_upward(tree):
    append(os.path.join(tree, "src", "core", "uGeneral.cpp"), '#include "app/windows/fMain.h"')
    return "src/core/uGeneral.cpp", "tarvell_logic may not use"


def plant_relative(tree):
    append(os.path.join(tree, "src", "sites", "uSite.cpp"), '#include "../maps/uMap.h"')
    return "src/sites/uSite.cpp", "tarvell_sites may not use"


def plant_widgets(tree):
    append(os.path.join(tree, "src", "app", "logic", "uOpenFile.cpp"), "#include <QMessageBox>")
    return "src/app/logic/uOpenFile.cpp", "QtWidgets header"


def plant_folder(tree):
    os.makedirs(os.path.join(tree, "src", "extra"))
    append(os.path.join(tree, "src", "extra", "uExtra.cpp"), '#include "core/uGeneral.h"')
    return "src/extra/uExtra.cpp", "named by no row"


def plant_order(tree):
    readme = os.path.join(tree, "README.md")
    text = open(readme, encoding="utf-8").read()
    row = "| `src/lang` | `tarvell_lang` |"
    start = text.index(row)
    end = text.index("\n", start)
    line = text[start:end].replace("| `tarvell_logic` |", "| `tarvell_logic`, `tarvell_sites` |")
    if line == text[start:end]:
        sys.exit("could not change the lang row of the table")
    with open(readme, "w", encoding="utf-8") as f:
        f.write(text[:start] + line + text[end:])
    return "README", "does not stand above it"


with tempfile.TemporaryDirectory() as folder:
    clean = run(fresh_copy(folder))
    if clean.returncode != 0:
        sys.exit("the check fails on an unchanged copy:\n" + clean.stdout + clean.stderr)
    for plant in (plant_upward, plant_relative, plant_widgets, plant_folder, plant_order):
        tree = fresh_copy(folder)
        where, why = plant(tree)
        result = run(tree)
        found = [line for line in result.stdout.splitlines() if line.startswith(where) and why in line]
        if result.returncode == 0 or not found:
            sys.exit("%s: the check missed it (%s expected):\n%s%s"
                     % (plant.__name__, why, result.stdout, result.stderr))
print("ok")
