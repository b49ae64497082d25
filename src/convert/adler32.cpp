#include "convert/adler32.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ormidal {
namespace {

constexpr std::uint32_t kModulus = 65521;
// Bytes summed between reductions: zlib's bound, which also keeps the 32-bit
// lanes below from overflowing.
constexpr std::size_t kRound = 5552;

#if defined(__SSE2__)
std::uint64_t SumLanes(__m128i lanes) {
  alignas(16) std::uint32_t values[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(values), lanes);
  return std::uint64_t{values[0]} + values[1] + values[2] + values[3];
}

// Sixteen bytes x0..x15 added to (a, b) bytewise give a + sum(x) and
// b + 16a + sum((16 - j) xj). Over a round of blocks, `sums` holds the byte
// sum so far, `before` the sum of the byte sums each block started with, and
// `weighted` the sum of the weighted terms; one reduction ends the round.
void AddBlocks(std::uint64_t* a, std::uint64_t* b, const unsigned char* bytes, std::size_t blocks) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i firstWeights = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
  const __m128i lastWeights = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
  __m128i sums = zero;
  __m128i before = zero;
  __m128i weighted = zero;
  for (std::size_t k = 0; k < blocks; ++k, bytes += 16) {
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    before = _mm_add_epi32(before, sums);
    sums = _mm_add_epi32(sums, _mm_sad_epu8(block, zero));
    __m128i first = _mm_madd_epi16(_mm_unpacklo_epi8(block, zero), firstWeights);
    __m128i last = _mm_madd_epi16(_mm_unpackhi_epi8(block, zero), lastWeights);
    weighted = _mm_add_epi32(weighted, _mm_add_epi32(first, last));
  }
  *b += 16 * blocks * *a + 16 * SumLanes(before) + SumLanes(weighted);
  *a += SumLanes(sums);
}
#endif

}  // namespace

std::uint32_t UpdateAdler32(std::uint32_t adler, const unsigned char* bytes, std::size_t size) {
  std::uint64_t a = adler & 0xFFFF;
  std::uint64_t b = adler >> 16;
  while (size > 0) {
    std::size_t round = size < kRound ? size : kRound;
    std::size_t i = 0;
#if defined(__SSE2__)
    AddBlocks(&a, &b, bytes, round / 16);
    i = round / 16 * 16;
#endif
    for (; i < round; ++i) {
      a += bytes[i];
      b += a;
    }
    a %= kModulus;
    b %= kModulus;
    bytes += round;
    size -= round;
  }
  return static_cast<std::uint32_t>(b << 16 | a);
}

}  // namespace ormidal
