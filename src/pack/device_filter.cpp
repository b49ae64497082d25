#include "pack/device_filter.hpp"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) && !defined(ORMIDAL_FORCE_WORD_FILTERS)
#include <emmintrin.h>
#endif

namespace ormidal {
namespace {

constexpr bool IsKept(unsigned char byte) { return byte >= 0x20 || byte == 0x09 || byte == 0x0A; }

constexpr std::array<unsigned char, 256> MakeKeepTable() {
  std::array<unsigned char, 256> table{};
  for (unsigned value = 0; value < 256; ++value) {
    table[value] = IsKept(static_cast<unsigned char>(value)) ? 1 : 0;
  }
  return table;
}

constexpr std::array<unsigned char, 256> kKeep = MakeKeepTable();

// Text is scanned a word at a time: almost every word holds nothing to drop
// and is copied whole. Each helper below sets the top bit of exactly those
// bytes of the word that match, without carries between bytes.
using Word = std::uint64_t;
constexpr Word kLowBits = 0x0101010101010101u;
constexpr Word kHighBits = 0x8080808080808080u;

constexpr Word BytesBelow(Word word, unsigned limit) {
  // (byte | 0x80) - limit keeps its top bit exactly when (byte & 0x7F) >= limit.
  return ~((word | kHighBits) - limit * kLowBits) & ~word & kHighBits;
}

constexpr Word BytesEqualTo(Word word, unsigned value) {
  return BytesBelow(word ^ (value * kLowBits), 1);
}

constexpr Word DroppedBytes(Word word) {
  return BytesBelow(word, 0x20) & ~BytesEqualTo(word, 0x09) & ~BytesEqualTo(word, 0x0A);
}

// The number of bytes whose top bit is set in a word marked as above: the
// multiplication adds the eight 0-or-1 bytes into the top one.
std::size_t CountMarkedBytes(Word marks) {
  return static_cast<std::size_t>(((marks >> 7) * kLowBits) >> 56);
}

Word LoadWord(const unsigned char* bytes) {
  Word word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

// Reads each byte before anything is written at or behind it, so `out` may
// trail `bytes` within the same buffer.
std::size_t StripBytewise(const unsigned char* bytes, std::size_t size, unsigned char* out) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < size; ++i) {
    unsigned char byte = bytes[i];
    out[kept] = byte;
    kept += kKeep[byte];
  }
  return kept;
}

#if defined(__SSE2__) && !defined(ORMIDAL_FORCE_WORD_FILTERS)
// Sixteen bytes at a time where the processor has SSE2; the word loop below
// takes what is left.
using Block = __m128i;
constexpr std::size_t kBlockSize = sizeof(Block);

Block LoadBlock(const unsigned char* bytes) {
  return _mm_loadu_si128(reinterpret_cast<const Block*>(bytes));
}

// All ones in the bytes to drop, zero in the others.
Block DroppedMask(Block block) {
  Block belowSpace = _mm_cmpeq_epi8(_mm_min_epu8(block, _mm_set1_epi8(0x1F)), block);
  Block kept = _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8(0x09)),
                            _mm_cmpeq_epi8(block, _mm_set1_epi8(0x0A)));
  return _mm_andnot_si128(kept, belowSpace);
}

// One bit per byte of the block: set for the bytes to drop.
unsigned DroppedBits(Block block) {
  return static_cast<unsigned>(_mm_movemask_epi8(DroppedMask(block)));
}

// Removes byte `index` of the block, moving the bytes above it down by one.
Block RemoveByte(Block block, int index) {
  const Block positions = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  Block below = _mm_cmplt_epi8(positions, _mm_set1_epi8(static_cast<char>(index)));
  return _mm_or_si128(_mm_and_si128(below, block),
                      _mm_andnot_si128(below, _mm_srli_si128(block, 1)));
}

// A few dropped bytes, as in CR LF text, are squeezed out inside the
// register, always the lowest first, so the bits above it move down with the
// bytes. Returns the count removed, or -1 when there are too many.
int RemoveFewBytes(Block* block, unsigned bits) {
  constexpr int kMostRemovedInRegister = 4;
  int removed = 0;
  for (; bits != 0; bits = (bits & (bits - 1)) >> 1) {
    if (removed == kMostRemovedInRegister) return -1;
    *block = RemoveByte(*block, std::countr_zero(bits));
    ++removed;
  }
  return removed;
}

// A whole block stored at or behind where it was read overwrites only bytes
// already read, so this works in place too.
std::size_t StripBlocks(const unsigned char* bytes, std::size_t size, unsigned char* out,
                        std::size_t* done) {
  std::size_t kept = 0;
  std::size_t i = 0;
  for (; i + kBlockSize <= size; i += kBlockSize) {
    Block block = LoadBlock(bytes + i);
    unsigned bits = DroppedBits(block);
    if (bits == 0) {
      _mm_storeu_si128(reinterpret_cast<Block*>(out + kept), block);
      kept += kBlockSize;
      continue;
    }
    int removed = RemoveFewBytes(&block, bits);
    if (removed >= 0) {
      _mm_storeu_si128(reinterpret_cast<Block*>(out + kept), block);
      kept += kBlockSize - static_cast<std::size_t>(removed);
    } else {
      kept += StripBytewise(bytes + i, kBlockSize, out + kept);
    }
  }
  *done = i;
  return kept;
}

// Each byte lane counts its own dropped bytes, which a lane can do for 255
// blocks before it could overflow.
std::size_t CountDroppedInBlocks(const unsigned char* bytes, std::size_t size, std::size_t* done) {
  constexpr int kBlocksPerTally = 255;
  std::size_t dropped = 0;
  std::size_t i = 0;
  while (i + kBlockSize <= size) {
    Block lanes = _mm_setzero_si128();
    for (int n = 0; n < kBlocksPerTally && i + kBlockSize <= size; ++n, i += kBlockSize) {
      lanes = _mm_sub_epi8(lanes, DroppedMask(LoadBlock(bytes + i)));
    }
    Block sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
    dropped += static_cast<std::size_t>(_mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4));
  }
  *done = i;
  return dropped;
}
#else
std::size_t StripBlocks(const unsigned char*, std::size_t, unsigned char*, std::size_t* done) {
  *done = 0;
  return 0;
}

std::size_t CountDroppedInBlocks(const unsigned char*, std::size_t, std::size_t* done) {
  *done = 0;
  return 0;
}
#endif

}  // namespace

std::size_t StripForDevice(const unsigned char* bytes, std::size_t size, unsigned char* out) {
  std::size_t i = 0;
  std::size_t kept = StripBlocks(bytes, size, out, &i);
  for (; i + sizeof(Word) <= size; i += sizeof(Word)) {
    Word word = LoadWord(bytes + i);
    if (DroppedBytes(word) == 0) {
      std::memcpy(out + kept, &word, sizeof word);
      kept += sizeof word;
    } else {
      kept += StripBytewise(bytes + i, sizeof word, out + kept);
    }
  }
  return kept + StripBytewise(bytes + i, size - i, out + kept);
}

std::size_t CountKeptForDevice(const unsigned char* bytes, std::size_t size) {
  std::size_t i = 0;
  std::size_t dropped = CountDroppedInBlocks(bytes, size, &i);
  for (; i + sizeof(Word) <= size; i += sizeof(Word)) {
    dropped += CountMarkedBytes(DroppedBytes(LoadWord(bytes + i)));
  }
  for (; i < size; ++i) dropped += 1u - kKeep[bytes[i]];
  return size - dropped;
}

}  // namespace ormidal
