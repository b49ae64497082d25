#!/usr/bin/env python3
"""Writes large databases for timing conversions and measuring memory:
make_convert_inputs.py FOLDER MEGABYTES writes, in FOLDER,
  text.txt      MEGABYTES million bytes of prose with LF line ends
  text_crlf.txt the same lines with CR LF line ends, as a desktop text
  document.pdb  an uncompressed document of text.txt in 4096-byte records,
                with a bookmark record after the text
  ztxt.pdb      a compressed text of text.txt: full-flush blocks per 8192
                bytes, with a bookmark record after the stream
  many.pdb      (with --many) a document of 65535 records of 16 bytes, the
                most records the format allows
  calendar.pdb  (with --many) a calendar of 65535 appointments: timed and
                untimed, with alarms, repeats, exceptions, notes, categories,
                private and deleted ones
  calendar_small.pdb  (with --many) the first 1000 of them, to show that
                memory does not grow with the records
The text is the same on every run. A compressed document is made from
text.txt with txt2pdbdoc. Everything streams: memory stays small whatever
the size."""
import argparse
import struct
import zlib

RECORD = 4096
BLOCK = 8192


def prose_lines():
    i = 0
    while True:
        yield ("\tA line of ordinary prose, caf\xe9 number %d of the text\n" % (i * 7919 % 100003)).encode(
            "latin-1")
        i += 1


def prose_chunks(size, line_end=b"\n"):
    """Yields `size` bytes of prose (counted before any CR is added) in
    pieces of about a megabyte."""
    parts = []
    total = 0
    pending = 0
    for line in prose_lines():
        if total + len(line) > size:
            line = line[:size - total]
        total += len(line)
        if line_end != b"\n":
            line = line.replace(b"\n", line_end)
        parts.append(line)
        pending += len(line)
        if pending >= 1 << 20 or total >= size:
            yield b"".join(parts)
            parts, pending = [], 0
        if total >= size:
            return


def fixed_pieces(chunks, piece):
    """Regroups a stream of byte strings into pieces of `piece` bytes (the
    last one shorter)."""
    held = b""
    for chunk in chunks:
        held += chunk
        while len(held) >= piece:
            yield held[:piece]
            held = held[piece:]
    if held:
        yield held


def header(type_code, creator, count):
    head = bytearray(78)
    head[0:5] = b"bench"
    struct.pack_into(">H", head, 34, 3)
    head[60:64] = type_code
    head[64:68] = creator
    struct.pack_into(">H", head, 76, count)
    return bytes(head)


def record_list(sizes):
    offset = 78 + 8 * len(sizes)
    entries = bytearray()
    for i, size in enumerate(sizes):
        entries += struct.pack(">IBBH", offset, 0, 0, i & 0xFFFF)
        offset += size
    return bytes(entries)


def write_text(path, size, line_end):
    with open(path, "wb") as out:
        for chunk in prose_chunks(size, line_end):
            out.write(chunk)


def write_document(path, size):
    count = (size + RECORD - 1) // RECORD
    sizes = [16] + [RECORD] * count + [8]
    if size % RECORD:
        sizes[count] = size % RECORD
    with open(path, "wb") as out:
        out.write(header(b"TEXt", b"REAd", len(sizes)))
        out.write(record_list(sizes))
        out.write(struct.pack(">HHIHHI", 1, 0, size, count, RECORD, 0))
        for chunk in prose_chunks(size):
            out.write(chunk)
        out.write(b"bookmark")


def write_ztxt(path, size):
    stream = zlib.compressobj(9)
    blocks = [stream.compress(piece) + stream.flush(zlib.Z_FULL_FLUSH)
              for piece in fixed_pieces(prose_chunks(size), BLOCK)]
    blocks[-1] += stream.flush(zlib.Z_FINISH)
    records = [bytes(24)] + blocks + [b"bookmark"]
    with open(path, "wb") as out:
        out.write(header(b"zTXT", b"GPlm", len(records)))
        out.write(record_list([len(r) for r in records]))
        for record in records:
            out.write(record)


def write_many(path):
    count = 65535
    with open(path, "wb") as out:
        out.write(header(b"TEXt", b"REAd", count))
        out.write(record_list([16] * count))
        out.write(b"r" * (16 * count))


CALENDAR_CREATED = 1079087400 + 2082844800  # 12 March 2004, counted from 1904


def packed_date(year, month, day):
    return ((year - 1904) << 9) | (month << 5) | day


def calendar_record(i):
    """One appointment in the handheld's layout, varied by its number."""
    year, month, day = 2000 + i % 25, 1 + i % 12, 1 + i % 28
    timed = i % 3 != 0
    flags = 0x0400  # a description
    body = b""
    if i % 4 == 1:
        flags |= 0x4000
        body += struct.pack(">bB", 5 + i % 50, i % 3)
    if i % 5 == 2:
        flags |= 0x2000
        kind = 1 + i % 5
        repeat_on = {2: 0x2A, 3: (i % 5) * 7 + i % 7}.get(kind, 0)
        end = packed_date(year + 1, month, day) if i % 2 else 0xFFFF
        body += struct.pack(">BBHBBBB", kind, 0, end, 1 + i % 3, repeat_on, 0, 0)
        if i % 10 == 7:
            flags |= 0x0800
            body += struct.pack(">H", 3) + b"".join(
                struct.pack(">H", packed_date(year, month, 1 + (day + k) % 28)) for k in range(3))
    body += ("Appointment %d at the caf\xe9, room %d" % (i, i % 97)).encode("latin-1") + b"\0"
    if i % 6 == 4:
        flags |= 0x1000
        body += ("Bring the papers; ask about the tide table, page %d.\n" % i).encode("latin-1") * 2
        body += b"\0"
    times = struct.pack(">BBBB", 8 + i % 10, (i * 5) % 60, 9 + i % 10, (i * 5) % 60) if timed else b"\xff" * 4
    return times + struct.pack(">HH", packed_date(year, month, day), flags) + body


def category_block(names):
    out = struct.pack(">H", 0)
    for k in range(16):
        out += (names[k] if k < len(names) else b"").ljust(16, b"\0")
    return out + bytes(range(16)) + b"\x0f\0"


def write_calendar(path, count):
    records = [calendar_record(i) for i in range(count)]
    app_info = category_block([b"Unfiled", b"Business", b"Personal", b"Caf\xe9, Bar"])
    head = bytearray(header(b"DATA", b"date", count))
    struct.pack_into(">II", head, 36, CALENDAR_CREATED, CALENDAR_CREATED + 86400)
    app_offset = 78 + 8 * count
    struct.pack_into(">I", head, 52, app_offset)
    offset = app_offset + len(app_info)
    with open(path, "wb") as out:
        out.write(head)
        for i, record in enumerate(records):
            attributes = (0x80 if i % 50 == 49 else 0) | (0x10 if i % 11 == 5 else 0) | i % 4
            uid = 0x100000 + i
            out.write(struct.pack(">IB", offset, attributes) + uid.to_bytes(3, "big"))
            offset += len(record)
        out.write(app_info)
        for record in records:
            out.write(record)


def live_appointments(count):
    """How many of the first `count` appointments are not deleted."""
    return count - count // 50


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("folder")
    parser.add_argument("megabytes", type=int)
    parser.add_argument("--many", action="store_true", help="also write many.pdb")
    args = parser.parse_args()
    size = args.megabytes * 1000 * 1000
    write_text(args.folder + "/text.txt", size, b"\n")
    write_text(args.folder + "/text_crlf.txt", size, b"\r\n")
    write_document(args.folder + "/document.pdb", size)
    write_ztxt(args.folder + "/ztxt.pdb", size)
    if args.many:
        write_many(args.folder + "/many.pdb")
        write_calendar(args.folder + "/calendar.pdb", 65535)
        write_calendar(args.folder + "/calendar_small.pdb", 1000)


if __name__ == "__main__":
    main()
