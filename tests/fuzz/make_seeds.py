#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into tests/fuzz/corpus/ from the test fixtures and a
few handmade files. Inputs the fuzzers found stay beside them; rerunning this only rewrites the
seeds (names starting with "seed-")."""
import os
import struct
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DATA = os.path.join(ROOT, "tests", "data")
CORPUS = os.path.join(ROOT, "tests", "fuzz", "corpus")

# The readers' inputs name their importer by format ID; the IDs are the registry's, as the corpus
# replay driver of a build lists them (TARVELL_FUZZ_REPLAY, else the one in build/).
REPLAY = os.environ.get("TARVELL_FUZZ_REPLAY", os.path.join(ROOT, "build", "tests", "fuzz", "tarvell_fuzz_replay"))


def reader_ids():
    out = subprocess.run([REPLAY, "--readers"], check=True, capture_output=True, text=True,
                         env=dict(os.environ, QT_QPA_PLATFORM="offscreen")).stdout
    return out.split()


def reader_input(format_id, bits, data):
    return format_id.encode("ascii") + b"\0" + bytes([bits]) + data


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "seed-" + name), "wb") as f:
        f.write(data)


def fixture(folder, name):
    with open(os.path.join(DATA, folder, name), "rb") as f:
        return f.read()


def readers():
    for format_id in reader_ids():
        folder = os.path.join(DATA, format_id)
        if not os.path.isdir(folder):
            print("no fixtures for the reader %s" % format_id, file=sys.stderr)
            continue
        for name in sorted(os.listdir(folder)):
            if name.startswith("README"):
                continue
            data = fixture(format_id, name)
            # The options: none, and (for the GPX reader) desc first and the extra information kept.
            bits = [0, 1, 2, 3] if format_id == "gengpx" else [0]
            for b in bits:
                write("readers", "%s-%s-%d" % (format_id, name, b), reader_input(format_id, b, data))
    # Extensions whose names and CDATA hold letters ISO-8859-1 lacks, with the extra information kept.
    extensions = ('<?xml version="1.0" encoding="UTF-8"?>\n'
                  '<gpx xmlns="http://www.topografix.com/GPX/1/1" xmlns:x="http://example.org/x" version="1.1">'
                  '<wpt lat="1.5" lon="2.5"><name>\u0152uvre \u20ac</name><extensions>'
                  '<x:ext \u0178="\u03a9"><x:\u0161ign><![CDATA[\u20ac & \u03a9 <b>]]></x:\u0161ign></x:ext>'
                  '<x:\u03a9mega a="\u00e9"/><!-- \u0416 --></extensions></wpt>'
                  '<wpt lat="3" lon="4"><name>plain</name><x:only>\u00e9t\u00e9</x:only></wpt></gpx>\n')
    write("readers", "gengpx-extension-names-2", reader_input("gengpx", 2, extensions.encode("utf-8")))


def xml():
    for folder, name in [("sites", "catalogue.xml"), ("excelxml", "pois.xml"), ("gengpx", "mixed-1252.gpx"),
                         ("genkml", "nested.kml")]:
        write("xml", "%s-%s" % (folder, name), fixture(folder, name))
    write("xml", "utf16.xml", '\ufeff<?xml version="1.0" encoding="UTF-16"?><a b="c">\u20ac<name>x</name></a>'.encode("utf-16-le"))
    write("xml", "entities.xml", b'<r><name id="x">&lt;&#x20AC;&#65;</name><![CDATA[]]]]><![CDATA[>]]><?pi x?><!--c--></r>')


def word(v):
    return struct.pack("<H", v & 0xFFFF)


def record(function, params):
    if len(params) % 2:
        params += b"\0"
    return struct.pack("<IH", 3 + len(params) // 2, function) + params


def wmf(records, placeable=True, objects=8):
    out = b""
    if placeable:
        out += struct.pack("<IHhhhhHIH", 0x9AC6CDD7, 0, 0, 0, 200, 100, 96, 0, 0)
    body = b"".join(records) + record(0, b"")
    out += struct.pack("<HHHIHIH", 1, 9, 0x0300, 9 + len(body) // 2, objects, 64, 0)
    return out + body


def metafile():
    pen = record(0x02FA, word(0) + word(2) + word(0) + struct.pack("<I", 0x0000FF))
    brush = record(0x02FC, word(0) + struct.pack("<I", 0x00FF00) + word(0))
    font = record(0x02FB, struct.pack("<hhhhhBBBBBBBB", -12, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0) + b"Arial\0")
    select = lambda i: record(0x012D, word(i))
    shapes = [
        record(0x020B, word(0) + word(0)), record(0x020C, word(100) + word(200)),
        pen, select(0), brush, select(1), font, select(2),
        record(0x041B, word(50) + word(150) + word(10) + word(10)),
        record(0x0418, word(90) + word(190) + word(60) + word(110)),
        record(0x0324, word(3) + word(0) + word(0) + word(100) + word(0) + word(50) + word(80)),
        record(0x0325, word(2) + word(5) + word(5) + word(150) + word(95)),
        record(0x0538, word(2) + word(3) + word(3) + word(0) + word(0) + word(9) + word(0) + word(5) + word(9)
               + word(20) + word(20) + word(30) + word(20) + word(25) + word(30)),
        record(0x0214, word(10) + word(10)), record(0x0213, word(90) + word(190)),
        record(0x0209, struct.pack("<I", 0xFF0000)), record(0x0102, word(1)), record(0x012E, word(0)),
        record(0x0521, word(5) + b"Hello\0" + word(40) + word(20)),
        record(0x0A32, word(60) + word(20) + word(4) + word(0) + b"Text"),
        record(0x01F0, word(0)), record(0x0106, word(1)), record(0x0201, struct.pack("<I", 0xFFFFFF)),
    ]
    write("metafile", "shapes.wmf", wmf(shapes))
    write("metafile", "no-placeable.wmf", wmf(shapes[:10], placeable=False))
    write("metafile", "objects.wmf", wmf([record(0x00F7, word(0x300) + word(1) + b"\0\0\0\0"), record(0x01F9, b"\0" * 8),
                                          record(0x06FF, b"\0" * 20), select(0), select(1), record(0x01F0, word(1)), pen, brush],
                                         objects=2))


def calibration():
    for name in sorted(os.listdir(os.path.join(DATA, "maps"))):
        if name.endswith(".inf"):
            write("calibration", name, fixture("maps", name))
    write("calibration", "calibrated.inf",
          b"Cal1Lon=4.86\r\nCal1Lat=52.351\r\nCal1X=12\r\nCal1Y=470\r\nCal2Lon=4.92\r\nCal2Lat=52.384\r\n"
          b"Cal2X=630\r\nCal2Y=30\r\nBackColor=$00FF8040\r\nMapCheck=123456\r\n")


def catalogue():
    for name in sorted(os.listdir(os.path.join(DATA, "sites"))):
        if name.endswith(".xml"):
            write("catalogue", name, fixture("sites", name))


def version():
    write("version", "version.xml", b'<?xml version="1.0"?><version><Current> 5.2.0.212 </Current></version>')
    write("version", "nested.xml", b"<tarvell><Other>1</Other><Current>10.0.3.4</Current></tarvell>")
    write("version", "short.xml", b"<version><Current>5.3</Current></version>")


def dns_name(name):
    return b"".join(bytes([len(p)]) + p.encode() for p in name.split(".")) + b"\0"


def dns():
    # The question the first byte picks: type (low two bits) and name (next two).
    names = ["example.org", "mail.example.org", "a.b.c.example", "x"]
    types = [1, 2, 15, 28]
    for t in range(4):
        for n in range(2):
            question = dns_name(names[n]) + struct.pack(">HH", types[t], 1)
            head = struct.pack(">HHHHHH", 0x1234, 0x8180, 1, 1, 1, 1)
            if types[t] == 1:
                answer = b"\xc0\x0c" + struct.pack(">HHIH", 1, 1, 300, 4) + bytes([192, 0, 2, 1])
            elif types[t] == 28:
                answer = b"\xc0\x0c" + struct.pack(">HHIH", 28, 1, 300, 16) + bytes(15) + b"\x01"
            elif types[t] == 15:
                target = b"\x02mx\xc0\x0c"
                answer = b"\xc0\x0c" + struct.pack(">HHIHH", 15, 1, 300, 2 + len(target), 10) + target
            else:
                target = b"\x03ns1\xc0\x0c"
                answer = b"\xc0\x0c" + struct.pack(">HHIH", 2, 1, 300, len(target)) + target
            authority = b"\xc0\x0c" + struct.pack(">HHIH", 2, 1, 300, 6) + b"\x03ns2\xc0\x0c"
            additional = b"\x03ns2\xc0\x0c" + struct.pack(">HHIH", 1, 1, 300, 4) + bytes([198, 51, 100, 7])
            write("dns", "reply-%d-%d" % (types[t], n), bytes([t | (n << 2)]) + head + question + answer + authority + additional)
    write("dns", "resolv.conf", b"\xff# comment\nnameserver 127.0.0.53\nnameserver ::1\nsearch example\nnameserver 10.0.0.1 # x\n")


def smtp():
    good = (b"220 mail.example ESMTP\r\n250-mail.example\r\n250-AUTH=LOGIN PLAIN\r\n250 AUTH LOGIN\r\n"
            b"334 VXNlcm5hbWU6\r\n334 UGFzc3dvcmQ6\r\n235 ok\r\n250 sender ok\r\n250 rcpt ok\r\n250 rcpt ok\r\n"
            b"354 go\r\n250 queued\r\n221 bye\r\n")
    write("smtp", "account-mail", b"\x03" + good)
    write("smtp", "plain-mail", b"\x02220 hi\r\n250 hello\r\n250 ok\r\n250 ok\r\n250 ok\r\n354 go\r\n250 ok\r\n221 bye\r\n")
    write("smtp", "reset", b"\x00220 hi\n250 hello\n250 ok\n221 bye\n")
    write("smtp", "refused", b"\x03554 no service\r\n")


if __name__ == "__main__":
    for target in sys.argv[1:] or ["readers", "xml", "metafile", "calibration", "catalogue", "version", "dns", "smtp"]:
        globals()[target]()
