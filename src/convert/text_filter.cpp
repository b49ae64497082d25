#include "convert/text_filter.hpp"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__) && !defined(ORMIDAL_FORCE_WORD_FILTERS)
#include <emmintrin.h>
#endif

namespace ormidal {
namespace {

// Most text is long runs of bytes that pass unchanged; only bytes below 0x20
// other than tab need work. A block of 16 bytes with none of those costs one
// load and one store. A block with a few of them (a line end in prose) is
// copied up to each in turn; one with many goes byte by byte.
constexpr std::size_t kBlock = 16;

// Bit k is set when block[k] needs work.
#if defined(__SSE2__) && !defined(ORMIDAL_FORCE_WORD_FILTERS)
inline unsigned SpecialMask(const unsigned char* block) {
  __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
  __m128i atLeastSpace = _mm_cmpeq_epi8(_mm_max_epu8(bytes, _mm_set1_epi8(0x20)), bytes);
  __m128i tab = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(0x09));
  return ~static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(atLeastSpace, tab))) & 0xFFFFu;
}
#else
inline bool HasByteBelowSpace(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
  return ((word - kOnes * 0x20) & ~word & kHighBits) != 0;
}

inline unsigned SpecialMask(const unsigned char* block) {
  std::uint64_t words[2];
  std::memcpy(words, block, kBlock);
  if (!HasByteBelowSpace(words[0]) && !HasByteBelowSpace(words[1])) return 0;
  unsigned mask = 0;
  for (std::size_t k = 0; k < kBlock; ++k) {
    if (block[k] < 0x20 && block[k] != 0x09) mask |= 1u << k;
  }
  return mask;
}
#endif

// More than three bits set; a population count would be a library call on
// processors without the instruction.
inline bool HasManyBits(unsigned mask) {
  mask &= mask - 1;
  mask &= mask - 1;
  mask &= mask - 1;
  return mask != 0;
}

// One byte by the rule, without a branch: a line feed writes CR LF, a byte
// that passes writes itself, and a dropped byte is written where the next
// one overwrites it. Needs two bytes of room at out.
inline std::size_t ExpandOne(unsigned char byte, unsigned char* out) {
  bool lineFeed = byte == 0x0A;
  bool passes = byte >= 0x20 || byte == 0x09;
  out[0] = lineFeed ? 0x0D : byte;
  out[1] = 0x0A;
  return static_cast<std::size_t>(passes) + 2 * static_cast<std::size_t>(lineFeed);
}

// Writes a block with at most one byte that needs work, at bit `mask`: two
// overlapping stores, the second moved past the CR put before a line feed
// or back over a dropped byte. The second store reads and writes up to a
// block beyond this one. Returns the output length.
inline std::size_t ExpandBlockWithOneSpecial(const unsigned char* in, unsigned mask,
                                             unsigned char* out) {
  std::memcpy(out, in, kBlock);
  if (mask == 0) return kBlock;
  std::size_t k = static_cast<std::size_t>(__builtin_ctz(mask));
  if (in[k] == 0x0A) {
    std::memcpy(out + k + 1, in + k, kBlock);
    out[k] = 0x0D;
    return kBlock + 1;
  }
  std::memcpy(out + k, in + k + 1, kBlock);
  return kBlock - 1;
}

}  // namespace

std::size_t ExpandLineEnds(const unsigned char* in, std::size_t size, unsigned char* out) {
  std::size_t i = 0;
  std::size_t o = 0;
  // Output never runs ahead of twice the input, so while a whole block of
  // input remains, a whole block of output fits too; while two blocks and a
  // byte remain, the overlapping stores of a block with one special byte fit.
  while (i + kBlock <= size) {
    unsigned mask = SpecialMask(in + i);
    // Prose has a line end every few dozen bytes: most blocks that need
    // work need it for one byte only, and are done in one step.
    if ((mask & (mask - 1)) == 0 && i + 2 * kBlock + 1 <= size) {
      o += ExpandBlockWithOneSpecial(in + i, mask, out + o);
      i += kBlock;
      continue;
    }
    if (HasManyBits(mask)) {
      for (std::size_t k = 0; k < kBlock; ++k) o += ExpandOne(in[i + k], out + o);
      i += kBlock;
      continue;
    }
    // The bytes up to the first that needs work pass as they are.
    std::memcpy(out + o, in + i, kBlock);
    std::size_t passing = mask == 0 ? kBlock : static_cast<std::size_t>(__builtin_ctz(mask));
    i += passing;
    o += passing;
    if (mask != 0) o += ExpandOne(in[i++], out + o);
  }
  for (; i < size; ++i) o += ExpandOne(in[i], out + o);
  return o;
}

}  // namespace ormidal
