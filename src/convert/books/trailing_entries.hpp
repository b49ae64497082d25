// Entries appended, uncompressed, to the end of each text record of a book:
// indexing data and the bytes of a character cut at the record's end. The
// header's flags say which are there; they are cut off before decoding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ormidal {

// The number of bytes of `record` that hold text, before its trailing
// entries. False when an entry's size runs past the record's start or an
// entry's size field never ends; *textSize is then 0.
bool TextSizeOfRecord(const unsigned char* record, std::size_t size, std::uint16_t flags,
                      std::size_t* textSize);

}  // namespace ormidal
