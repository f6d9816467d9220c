"""Reading and writing Qt translation files: shared by the translation tools."""
import xml.etree.ElementTree as ET


def flat(element):
    """The text of a source or comment element, with lupdate's <byte value=".."/> kept."""
    if element is None:
        return ""
    parts = [element.text or ""]
    for child in element:
        parts.append("<%s %s>" % (child.tag, child.get("value", "")))
        parts.append(child.tail or "")
    return "".join(parts)


def finished(message):
    """True when the message has a finished, non-empty translation."""
    translation = message.find("translation")
    return (translation is not None
            and translation.get("type") not in ("unfinished", "obsolete", "vanished")
            and (bool("".join(translation.itertext()))
                 or any(True for _ in translation.iter("numerusform"))))


def message_key(message):
    return (flat(message.find("source")), flat(message.find("comment")))


# Elements whose content is message text: indentation must never enter them.
_TEXT_ELEMENTS = {"source", "translation", "comment", "extracomment", "translatorcomment",
                  "oldsource", "oldcomment", "numerusform", "name", "location"}


def indent(element, level=0):
    """Indents the structure of a translation file the way lupdate does, leaving texts untouched."""
    pad = "\n" + "    " * (level + 1)
    children = list(element)
    if not children or element.tag in _TEXT_ELEMENTS:
        return
    element.text = pad
    for child in children:
        indent(child, level + 1)
        child.tail = pad
    children[-1].tail = "\n" + "    " * level


def write(root, path):
    """Writes a translation file with lupdate's header; texts keep their bytes."""
    indent(root)
    body = ET.tostring(root, encoding="unicode")
    with open(path, "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE TS>\n' + body + "\n")
