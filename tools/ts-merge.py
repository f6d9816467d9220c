#!/usr/bin/env python3
"""Merges two versions of a Qt translation file message by message.

Used as a git merge driver (see tools/setup-git.sh), so branches that each added texts and their
translations merge without conflicts: the result holds every message of both sides, a finished
translation winning over an unfinished one; where both sides translated a message differently,
"ours" wins. Contexts are written sorted by name, messages in the order they were first seen.

usage: ts-merge.py ANCESTOR OURS THEIRS     (writes the result over OURS)
"""
import os
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tsfiles import finished, message_key, write  # noqa: E402


def load(path):
    try:
        root = ET.parse(path).getroot()
    except (ET.ParseError, FileNotFoundError):
        return None, {}
    contexts = {}
    for context in root.iter("context"):
        name = context.findtext("name") or ""
        messages = contexts.setdefault(name, {})
        for message in context.iter("message"):
            key = message_key(message)
            messages.setdefault(key, message)
    return root, contexts


def main():
    _, ours, theirs = sys.argv[1:4]
    our_root, our_contexts = load(ours)
    their_root, their_contexts = load(theirs)
    if our_root is None or their_root is None:
        return 1  # not a translation file: let git report the conflict
    for name, messages in their_contexts.items():
        mine = our_contexts.setdefault(name, {})
        for key, message in messages.items():
            if key not in mine or (finished(message) and not finished(mine[key])):
                mine[key] = message
    out = ET.Element("TS", our_root.attrib)
    for name in sorted(our_contexts):
        context = ET.SubElement(out, "context")
        ET.SubElement(context, "name").text = name
        for message in our_contexts[name].values():
            context.append(message)
    write(out, ours)
    return 0


if __name__ == "__main__":
    sys.exit(main())
