#!/usr/bin/env python3
"""Writes large databases for timing conversions and measuring memory:
make_convert_inputs.py FOLDER MEGABYTES writes FOLDER/text.txt (prose),
FOLDER/document.pdb (an uncompressed document in 4096-byte records, with a
bookmark record after the text) and FOLDER/ztxt.pdb (a compressed text of
full-flush blocks per 8192 bytes, with a bookmark record after the stream).
A compressed document is made from text.txt with txt2pdbdoc."""
import struct
import sys
import zlib


def prose(size):
    parts = []
    total = 0
    i = 0
    while total < size:
        line = ("\tA line of ordinary prose, caf\xe9 number %d of the text\n" % (i * 7919 % 100003)).encode("latin-1")
        parts.append(line)
        total += len(line)
        i += 1
    return b"".join(parts)[:size]


def database(type_code, creator, records):
    header = bytearray(78)
    header[0:5] = b"bench"
    struct.pack_into(">H", header, 34, 3)
    header[60:64] = type_code
    header[64:68] = creator
    struct.pack_into(">H", header, 76, len(records))
    offset = 78 + 8 * len(records)
    entries = bytearray()
    for i, record in enumerate(records):
        entries += struct.pack(">IBBH", offset, 0, 0, i & 0xFFFF)
        offset += len(record)
    return bytes(header) + bytes(entries) + b"".join(records)


def main():
    folder, megabytes = sys.argv[1], int(sys.argv[2])
    text = prose(megabytes * 1000 * 1000)
    with open(folder + "/text.txt", "wb") as out:
        out.write(text)
    pieces = [text[at:at + 4096] for at in range(0, len(text), 4096)]
    head = struct.pack(">HHIHHI", 1, 0, len(text), len(pieces), 4096, 0)
    with open(folder + "/document.pdb", "wb") as out:
        out.write(database(b"TEXt", b"REAd", [head] + pieces + [b"bookmark"]))
    stream = zlib.compressobj(9)
    blocks = []
    for at in range(0, len(text), 8192):
        blocks.append(stream.compress(text[at:at + 8192]) + stream.flush(zlib.Z_FULL_FLUSH))
    blocks[-1] += stream.flush(zlib.Z_FINISH)
    with open(folder + "/ztxt.pdb", "wb") as out:
        out.write(database(b"zTXT", b"GPlm", [bytes(24)] + blocks + [b"bookmark"]))


main()
