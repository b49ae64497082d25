# Reads a document database's text with calibre's own record reader and
# LZ77 decoder, as its converters do, and writes the text as it is:
#   calibre-debug -e read_document_calibre.py DATABASE TEXT
import struct
import sys

from calibre.ebooks.compression.palmdoc import decompress_doc
from calibre.ebooks.pdb.header import PdbHeaderReader


def main(database, text):
    with open(database, "rb") as stream:
        header = PdbHeaderReader(stream)
        record0 = header.section_data(0)
        compression, = struct.unpack(">H", record0[0:2])
        count, = struct.unpack(">H", record0[8:10])
        pieces = []
        for index in range(1, count + 1):
            data = header.section_data(index)
            pieces.append(decompress_doc(data) if compression == 2 else data)
    with open(text, "wb") as out:
        out.write(b"".join(pieces))


main(sys.argv[1], sys.argv[2])
