#!/usr/bin/env python3
"""Fails when a unit under src/ includes a folder that the README's Layout table does not allow
for its library.

The table's rows stand in link order from the bottom up. Each row names its folders and its
library (in backticks) and, in its last column, the libraries it links (in backticks, or "every
library above"; "Qt Widgets" named there lets the row use QtWidgets headers). A row may include
its own folders and those of every library its links reach, directly or through theirs.

Fails too when a row links a library that does not stand above it, when a folder holding units is
named by no row, and when a row that reaches no "Qt Widgets" includes a QtWidgets header.

usage: check-includes.py [--readme README.md] [--src src] [--qt-widgets DIR]
  DIR is Qt's QtWidgets include folder; without it only <QtWidgets/...> and <QtWidgets> count.
"""
import argparse
import os
import re
import sys

UNIT_ENDINGS = (".h", ".hpp", ".cpp", ".c", ".inc", ".h.in")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')
TICKED = re.compile(r"`([^`]+)`")


class Row:
    def __init__(self, index, folders, names, links, every_above, widgets):
        self.index = index
        self.folders = folders
        self.names = names
        self.links = links
        self.every_above = every_above
        self.widgets = widgets

    @property
    def name(self):
        return self.names[0]


def read_table(readme):
    """The Layout table's rows, in the order they stand."""
    lines = open(readme, encoding="utf-8").read().splitlines()
    try:
        start = next(i for i, line in enumerate(lines) if line.strip() == "## Layout")
    except StopIteration:
        sys.exit("%s has no '## Layout' section" % readme)
    rows = []
    for line in lines[start + 1:]:
        if line.startswith("## "):
            break
        if not line.startswith("|"):
            if rows:
                break
            continue
        cells = [cell.strip() for cell in line.strip().strip("|").split("|")]
        if len(cells) < 4 or cells[0] == "folder" or set(cells[0]) <= set("-: "):
            continue
        folders = [f.rstrip("/") for f in TICKED.findall(cells[0])]
        names = TICKED.findall(cells[1])
        if not folders or not names:
            sys.exit("%s: a Layout row names no folder or no library: %s" % (readme, line))
        links_cell = cells[-1]
        rows.append(Row(len(rows), folders, names, TICKED.findall(links_cell),
                        "every library above" in links_cell, "Qt Widgets" in links_cell))
    if not rows:
        sys.exit("%s: the Layout section has no table" % readme)
    return rows


def reach(rows, problems):
    """For each row, the rows it may include: itself and everything its links reach."""
    by_name = {}
    for row in rows:
        for name in row.names:
            by_name[name] = row
    direct = {}
    for row in rows:
        linked = set(rows[:row.index]) if row.every_above else set()
        for name in row.links:
            target = by_name.get(name)
            if target is None:
                problems.append("README: row %s links %s, which no row names" % (row.name, name))
            elif target.index >= row.index:
                problems.append("README: row %s links %s, which does not stand above it"
                                % (row.name, name))
            else:
                linked.add(target)
        direct[row] = linked
    closure = {}
    for row in rows:  # bottom-up, so every linked row is done already
        allowed = {row}
        for target in direct[row]:
            allowed |= closure.get(target, {target})
        closure[row] = allowed
    return closure


def owner(rows, folder):
    """The row whose folder holds this folder (the deepest one), or None."""
    best, depth = None, -1
    for row in rows:
        for f in row.folders:
            if (folder == f or folder.startswith(f + "/")) and len(f) > depth:
                best, depth = row, len(f)
    return best


def exact_owner(rows, folder):
    for row in rows:
        if folder in row.folders:
            return row
    return None


def included_folder(top, src, unit_dir, path):
    """The folder (relative to top, e.g. "src/core") a quoted include names, or None when it names
    nothing of ours (a generated moc or uic file, say)."""
    local = os.path.normpath(os.path.join(unit_dir, path))
    if os.path.exists(local):
        return os.path.relpath(os.path.dirname(local), top).replace(os.sep, "/")
    in_src = os.path.normpath(os.path.join(src, path))
    first = path.split("/")[0]
    if os.path.exists(in_src) or ("/" in path and os.path.isdir(os.path.join(src, first))):
        # A file generated into the build tree under the same folder counts as that folder's.
        return os.path.relpath(os.path.dirname(in_src), top).replace(os.sep, "/")
    return None


def widget_headers(qt_widgets):
    names = {"QtWidgets"}
    if qt_widgets and os.path.isdir(qt_widgets):
        names |= {n for n in os.listdir(qt_widgets) if not n.endswith(".h") or n.startswith("q")}
    return names


def is_widgets_header(path, headers):
    return path.startswith("QtWidgets/") or path in headers


def check(readme, src, qt_widgets):
    problems = []
    rows = read_table(readme)
    allowed = reach(rows, problems)
    top = os.path.dirname(os.path.abspath(src))
    src = os.path.abspath(src)
    headers = widget_headers(qt_widgets)
    widgets_rows = {row for row in rows if row.widgets}
    units = 0
    for folder, dirs, files in os.walk(src):
        dirs.sort()
        rel_folder = os.path.relpath(folder, top).replace(os.sep, "/")
        for name in sorted(files):
            if not name.endswith(UNIT_ENDINGS):
                continue
            units += 1
            rel = rel_folder + "/" + name
            row = exact_owner(rows, rel_folder)
            if row is None:
                problems.append("%s: its folder %s is named by no row of the README's Layout table"
                                % (rel, rel_folder))
                continue
            may_use_widgets = bool(allowed[row] & widgets_rows)
            text = open(os.path.join(folder, name), encoding="utf-8", errors="replace").read()
            for number, line in enumerate(text.splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                quote, path = match.groups()
                if quote == "<" and is_widgets_header(path, headers):
                    if not may_use_widgets:
                        problems.append("%s:%d: includes <%s>, a QtWidgets header, but %s does not "
                                        "link Qt Widgets" % (rel, number, path, row.name))
                    continue
                target_folder = included_folder(top, src, folder, path)
                if target_folder is None:
                    continue
                target = owner(rows, target_folder)
                if target is None:
                    problems.append("%s:%d: includes %s, from %s, a folder no row names"
                                    % (rel, number, path, target_folder))
                elif target not in allowed[row]:
                    problems.append("%s:%d: includes %s, of %s, which %s may not use (it links %s)"
                                    % (rel, number, path, target.name, row.name,
                                       ", ".join(sorted(r.name for r in allowed[row] if r is not row))
                                       or "no library of ours"))
    return units, problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--readme", default="README.md")
    parser.add_argument("--src", default="src")
    parser.add_argument("--qt-widgets", default="")
    args = parser.parse_args()
    units, problems = check(args.readme, args.src, args.qt_widgets)
    if units == 0:
        sys.exit("no unit found under %s" % args.src)
    for problem in problems:
        print(problem)
    if problems:
        print("%d include(s) break the link table of %s" % (len(problems), args.readme))
        return 1
    print("%d units follow the link table of %s" % (units, args.readme))
    return 0


if __name__ == "__main__":
    sys.exit(main())
