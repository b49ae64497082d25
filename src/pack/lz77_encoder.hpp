// Writes the handheld document format's LZ77 code (the one convert/lz77
// reads). Each text record is coded on its own, and coded as small as the
// code allows for the copies found: the cheapest sequence of codes is
// chosen over the whole record, not greedily.
#pragma once

#include <cstddef>

namespace ormidal {

// The longest text a record holds.
inline constexpr std::size_t kLz77RecordText = 4096;

// The most code bytes a record of `size` text bytes can take: every byte in
// a literal run, a run of eight costing nine.
constexpr std::size_t Lz77CodeBound(std::size_t size) { return size + (size + 7) / 8; }

// Working memory of one encoder, reused from record to record. It is large
// (about 40 KiB): take it from the heap.
struct Lz77Encoder {
  static constexpr std::size_t kHashSize = 1u << 13;
  unsigned short head[kHashSize];            // latest position + 1 with each hash, 0: none
  unsigned short previous[kLz77RecordText];  // the position before with the same hash, + 1
  unsigned short matchLength[kLz77RecordText];
  unsigned short matchDistance[kLz77RecordText];
  unsigned short cost[kLz77RecordText + 1];  // code bytes from a position to the end
  unsigned char step[kLz77RecordText];       // the code chosen there (see lz77_encoder.cpp)
};

// Codes `text[0, size)` into `out`, which has room for Lz77CodeBound(size)
// bytes, and stores the code's length. Decoding the code gives exactly the
// text back, whatever bytes it holds. False, with nothing written, for a
// text longer than a record.
bool EncodeLz77Record(Lz77Encoder* encoder, const unsigned char* text, std::size_t size,
                      unsigned char* out, std::size_t* codeLength);

}  // namespace ormidal
