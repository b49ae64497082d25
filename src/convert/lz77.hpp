// The handheld document format's LZ77 code ("compression 2"). Each text
// record is coded on its own:
//   0x01-0x08        that many following bytes, copied as they are;
//   0x00, 0x09-0x7F  the byte itself;
//   0xC0-0xFF        a space, then the byte XOR 0x80;
//   0x80-0xBF        with the next byte, a 16-bit pair: less its top two
//                    bits, the upper 11 bits are a distance back into the
//                    record's output, the lower 3 bits the length less 3.
// A copy may overlap the bytes it produces.
#pragma once

#include <cstddef>

namespace ormidal {

// A pair reaches at most this far back.
inline constexpr std::size_t kLz77MaxDistance = 2047;
// No code produces more than this many bytes.
inline constexpr std::size_t kLz77MaxCodeOutput = 10;
// No code is longer than this many bytes.
inline constexpr std::size_t kLz77MaxCodeLength = 9;

enum class Lz77Result {
  kComplete,    // every input byte decoded
  kNeedInput,   // stopped before a code cut off by the end of the block
  kOutputFull,  // stopped before a code whose output does not fit
  kDamaged,     // stopped before a damaged code
};

// One call's worth of work on a record, possibly a piece of it.
struct Lz77Block {
  const unsigned char* in;
  std::size_t inSize;
  // The block ends where the record ends: a code cut off there is damage
  // rather than a reason to wait for more input.
  bool endsRecord;
  unsigned char* out;
  // out[0, outStart) holds the record's latest output (all of it, or at
  // least its last kLz77MaxDistance bytes); decoding appends from outStart.
  std::size_t outStart;
  std::size_t outCapacity;
};

struct Lz77Progress {
  Lz77Result result;
  std::size_t consumed;  // input bytes decoded, always whole codes
  std::size_t outEnd;    // end of the output in out
};

// Decodes whole codes from the block until the input, the output space or
// the valid codes run out. A damaged code (a distance of 0, one reaching
// before the record's first byte, a literal run or a pair cut off by the
// record's end) yields nothing; everything before it stays decoded.
Lz77Progress DecodeLz77(const Lz77Block& block);

// Decodes a whole record held in memory into out[0, capacity); *produced
// receives the bytes decoded, up to a damaged code or a full buffer.
// A record of n bytes decodes to at most 8 * n bytes.
Lz77Result DecodeRecord(const unsigned char* in, std::size_t n, unsigned char* out,
                        std::size_t capacity, std::size_t* produced);

}  // namespace ormidal
