#!/usr/bin/env python3
"""Fails when a text of the sources has no finished translation.

Extracts every text of src/ afresh with lupdate into a temporary file (the tracked translation
file is never rewritten here) and looks each (context, source) pair up in the given translation
file. Vanished and obsolete entries of the translation file do not count. Texts that the crash
reporter keeps in English (its report labels) never pass through tr() and so never appear.

usage: check-translations.py [--lupdate PATH] [--sources DIR] TS_FILE
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tsfiles import finished, message_key  # noqa: E402


def messages(path):
    """(context, source, comment) -> True when a finished, non-empty translation exists."""
    out = {}
    for context in ET.parse(path).getroot().iter("context"):
        name = context.findtext("name") or ""
        for message in context.iter("message"):
            out[(name,) + message_key(message)] = finished(message)
    return out


def find_lupdate(given):
    if given:
        return given
    for candidate in (shutil.which("lupdate"), "/usr/lib/qt6/bin/lupdate"):
        if candidate and os.path.exists(candidate):
            return candidate
    sys.exit("check-translations: lupdate not found")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--lupdate")
    parser.add_argument("--sources", default=os.path.join(os.path.dirname(__file__), "..", "src"))
    parser.add_argument("ts")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        fresh = os.path.join(folder, "fresh.ts")
        run = subprocess.run([find_lupdate(args.lupdate), "-silent", "-locations", "none",
                              args.sources, "-ts", fresh], capture_output=True, text=True)
        if run.returncode != 0 or not os.path.exists(fresh):
            sys.exit("check-translations: lupdate failed:\n" + run.stdout + run.stderr)
        wanted = messages(fresh)
    have = messages(args.ts)
    missing = [key for key in wanted if not have.get(key)]
    for context, source, _ in missing:
        print("no finished translation: [%s] %r" % (context, source))
    if missing:
        print("%d of %d texts lack a finished translation in %s; run the lupdate target and "
              "translate them" % (len(missing), len(wanted), args.ts))
        return 1
    print("all %d texts translated in %s" % (len(wanted), args.ts))
    return 0


if __name__ == "__main__":
    sys.exit(main())
