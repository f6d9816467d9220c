#!/usr/bin/env python3
"""The translation check passes on the committed translation file and fails on a copy of it in
which one finished entry was marked unfinished, and on one whose entry was emptied."""
import os
import re
import shutil
import subprocess
import sys
import tempfile

top, lupdate = sys.argv[1], sys.argv[2]
ts = os.path.join(top, "lang", "ts", "tarvell_de.ts")
check = [sys.executable, os.path.join(top, "tools", "check-translations.py"), "--lupdate", lupdate,
         "--sources", os.path.join(top, "src")]


def run(path):
    return subprocess.run(check + [path], capture_output=True, text=True)


committed = run(ts)
if committed.returncode != 0:
    sys.exit("the committed translation file fails the check:\n" + committed.stdout)

text = open(ts, encoding="utf-8").read()
damaged = {
    "unfinished": re.sub(r"<translation>", '<translation type="unfinished">', text, count=1),
    "empty": re.sub(r"<translation>[^<]+</translation>", "<translation></translation>", text, count=1),
}
with tempfile.TemporaryDirectory() as folder:
    for name, body in damaged.items():
        if body == text:
            sys.exit("could not damage the copy (%s)" % name)
        copy = os.path.join(folder, name + ".ts")
        with open(copy, "w", encoding="utf-8") as f:
            f.write(body)
        result = run(copy)
        if result.returncode == 0 or "lack a finished translation" not in result.stdout:
            sys.exit("the check passed a copy with one %s entry:\n%s" % (name, result.stdout))
print("ok")
