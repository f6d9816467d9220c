#!/usr/bin/env python3
"""Writes the hand-made debug-information fixtures of this folder (see README.md):
sample.tds (TD32 information) and sample.jdbg. Run it from anywhere; it rewrites both files."""
import pathlib
import struct

HERE = pathlib.Path(__file__).resolve().parent


def td32():
    names = ["C:\\src\\Main.pas", "Helpers.cpp", "DoWork", "@Helpers@Helper$qqrv", "GlobalVar", "Main",
             "@$xt$Foo", "@Extra@Far$qv", "D:\\lib\\Helpers.cpp"]
    index = {n: i + 1 for i, n in enumerate(names)}
    name_table = struct.pack("<I", len(names)) + b"".join(bytes([len(n)]) + n.encode() + b"\0" for n in names)

    def module(name, descriptors):
        head = bytearray(28)
        struct.pack_into("<H", head, 4, len(descriptors))
        struct.pack_into("<I", head, 8, index[name])
        return bytes(head) + b"".join(struct.pack("<HHII", seg, flags, off, size) for seg, flags, off, size in descriptors)

    main = module("C:\\src\\Main.pas", [(1, 1, 0x0, 0x100), (2, 0, 0x0, 0x40), (2, 0, 0x40, 0x10), (1, 1, 0x500, 0)])
    helpers = module("Helpers.cpp", [(1, 1, 0x100, 0x80)])

    # One source file with one block of three lines.
    offsets, lines = [0x100, 0x110, 0x140], [10, 12, 15]
    block = struct.pack("<HH", 1, len(offsets)) + b"".join(struct.pack("<I", o) for o in offsets) + \
        b"".join(struct.pack("<H", n) for n in lines)
    file_entry = struct.pack("<HI", 1, index["D:\\lib\\Helpers.cpp"]) + struct.pack("<I", 4 + 4 + 6 + 4)
    source = struct.pack("<HH", 1, 1) + struct.pack("<I", 8) + file_entry + block

    def code_record(name, offset):
        r = bytearray(44)
        struct.pack_into("<HH", r, 0, 42, 0x0205)
        struct.pack_into("<I", r, 28, offset)
        struct.pack_into("<I", r, 40, index[name])
        return bytes(r)

    def data_record(name, offset):
        r = bytearray(20)
        struct.pack_into("<HH", r, 0, 18, 0x0202)
        struct.pack_into("<I", r, 4, offset)
        struct.pack_into("<I", r, 16, index[name])
        return bytes(r)

    symbols = bytes(32) + code_record("DoWork", 0x10) + code_record("@Helpers@Helper$qqrv", 0x120) + \
        data_record("GlobalVar", 0x8) + code_record("Main", 0x0) + code_record("@$xt$Foo", 0x20) + \
        code_record("@Extra@Far$qv", 0x300) + struct.pack("<HH", 0, 0)

    subsections = [(0x130, name_table), (0x120, main), (0x120, helpers), (0x127, source), (0x129, symbols)]
    data = bytearray(b"FB09" + bytes(4))
    placed = []
    for kind, body in subsections:
        placed.append((kind, len(data), len(body)))
        data += body
        while len(data) % 4:
            data += b"\0"
    directory = len(data)
    struct.pack_into("<I", data, 4, directory)
    data += struct.pack("<HHII", 16, 12, len(placed), 0) + bytes(4)
    for i, (kind, offset, size) in enumerate(placed):
        data += struct.pack("<HHII", kind, i + 1, offset, size)
    return bytes(data)


def varint(v):
    out = bytearray()
    while True:
        b = v & 0x7F
        v >>= 7
        if v:
            out.append(b | 0x80)
        else:
            out.append(b)
            return bytes(out)


def packed_name(text, at_sign=False):
    codes = []
    for c in text:
        if c.isdigit():
            codes.append(1 + ord(c) - ord("0"))
        elif "A" <= c <= "Z":
            codes.append(11 + ord(c) - ord("A"))
        elif "a" <= c <= "z":
            codes.append(37 + ord(c) - ord("a"))
        else:
            codes.append(63)
    codes.append(0)
    while len(codes) % 4:
        codes.append(0)
    out = bytearray([2]) if at_sign else bytearray()
    for i in range(0, len(codes), 4):
        c0, c1, c2, c3 = codes[i:i + 4]
        out += bytes([(c0 | (c1 << 6)) & 0xFF, ((c1 >> 2) | (c2 << 4)) & 0xFF, ((c2 >> 4) | (c3 << 2)) & 0xFF])
    return bytes(out)


def xor_name(text):
    return bytes([1]) + bytes(b if b == 0xAA else b ^ 0xAA for b in text.encode("latin-1")) + b"\0"


def jdbg(checksum=True):
    names = bytearray()
    offsets = {}
    for key, blob in [("Unit1", packed_name("Unit1")), ("Sub_Unit2", packed_name("Sub_Unit2")),
                      ("TForm1", xor_name("TForm1")), ("Create", packed_name("Create", at_sign=True)),
                      ("Run9", packed_name("Run9"))]:
        offsets[key] = len(names) + 1
        names += blob
    units = varint(0) + varint(offsets["Unit1"]) + varint(0x200) + varint(offsets["Sub_Unit2"] - offsets["Unit1"]) + \
        varint(2147483647)
    symbols = varint(0x10) + varint(offsets["TForm1"]) + varint(offsets["Create"]) + \
        varint(0x220) + varint(offsets["Run9"] - offsets["TForm1"]) + varint(0) + varint(2147483647)
    # The second symbol keeps the running second-name offset: it is TForm1's second name still.
    lines = varint(0x10) + varint(5) + varint(0x8) + varint(2) + varint(0x200) + varint(10) + varint(2147483647)
    head = bytearray(36)
    head[0:4] = b"JDBG"
    head[4] = 1
    body = units + symbols + lines
    unit_at = len(head)
    struct.pack_into("<IIII", head, 9, unit_at, unit_at + len(units), unit_at + len(units) + len(symbols),
                     unit_at + len(body))
    data = bytearray(head) + body + names
    while len(data) % 4:
        data += b"\0"
    if checksum:
        data[33] = 1
        total = sum(struct.unpack_from("<I", data, i)[0] for i in range(0, len(data), 4)) & 0xFFFFFFFF
        struct.pack_into("<I", data, 29, total)
    return bytes(data)


def main():
    (HERE / "sample.tds").write_bytes(td32())
    (HERE / "sample.jdbg").write_bytes(jdbg())


if __name__ == "__main__":
    main()
