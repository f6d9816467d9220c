"""Reading Qt translation files: shared by check-translations.py and ts-merge.py."""
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
