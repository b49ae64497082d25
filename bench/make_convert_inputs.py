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


main()
