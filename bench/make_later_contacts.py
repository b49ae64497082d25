#!/usr/bin/env python3
"""Writes a database of the later contacts application for timing its
conversion and measuring memory: make_later_contacts.py FILE [COUNT]
writes COUNT (default 20000) contacts, each with a name, a company, two
phones, an address, a note, a birthday and a 4 KB JPEG picture. The
records are the same on every run."""
import struct
import sys


def card(i):
    strings = {0: b"Surname%05d" % i, 1: b"Given", 2: b"Company %d" % (i % 97),
               4: b"+44 1631 %06d" % i, 8: b"person%d@example.org" % i,
               23: b"%d Pier Road" % i, 24: b"Oban", 38: b"Met at the harbour\nnote %d" % i}
    first = second = 0
    body = b""
    for field in sorted(strings):
        if field < 32:
            first |= 1 << field
        else:
            second |= 1 << (field - 32)
        body += strings[field] + b"\0"
    second |= 0x1800
    company = 1 + len(strings[0]) + 1 + len(strings[1]) + 1
    head = struct.pack(">IHHIIB", 0x10743210, 0x210, 0x10, first, second, company)
    birthday = struct.pack(">HH", ((1960 + i % 60 - 1904) << 9) | ((i % 12 + 1) << 5) | (i % 28 + 1), 0)
    jpeg = b"\xff\xd8" + bytes((i + k) & 0xFF for k in range(4096 - 4)) + b"\xff\xd9"
    picture = b"Bd00" + struct.pack(">H", len(jpeg) + 2) + b"\0\1" + jpeg
    return head + body + birthday + picture


def main():
    path = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 20000
    records = [card(i) for i in range(count)]
    names = [b"Unfiled", b"Business", b"Personal"] + [b""] * 13
    appinfo = struct.pack(">H", 0) + b"".join(n.ljust(16, b"\0") for n in names)
    appinfo += bytes(range(16)) + b"\x0f\0" + bytes(20) + b"\xff" * 8
    for i in range(53):
        text = b"Custom %d" % (i - 13) if 14 <= i < 23 else b"Label %d" % i
        appinfo += text.ljust(16, b"\0")
    appinfo += bytes([23, 0, 0, 0])
    offset = 78 + 8 * count + 2
    header = b"ContactsDB-PAdd".ljust(32, b"\0") + struct.pack(
        ">HHIIIIII4s4sIIH", 8, 1, 0xBC7741A8, 0xBC7741A8, 0, 0, offset, 0, b"DATA", b"PAdd", 0, 0,
        count)
    position = offset + len(appinfo)
    entries = b""
    for i, record in enumerate(records):
        entries += struct.pack(">IB", position, i % 3) + (i + 1).to_bytes(3, "big")
        position += len(record)
    with open(path, "wb") as out:
        out.write(header + entries + b"\0\0" + appinfo + b"".join(records))


if __name__ == "__main__":
    main()
