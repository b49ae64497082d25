#include "pack/lz77_encoder.hpp"

#include <bit>
#include <cstdint>
#include <cstring>

#include "convert/lz77.hpp"

namespace ormidal {
namespace {

// The codes a position can start, as `step` records them: a literal byte,
// a space pair, a literal run of 1 to 8 bytes, a copy of 3 to 10 bytes.
constexpr unsigned char kStepLiteral = 0;
constexpr unsigned char kStepSpacePair = 1;
constexpr unsigned char kStepRunBase = 1;    // + run length: 2 to 9
constexpr unsigned char kStepCopyBase = 10;  // + copy length: 13 to 20

constexpr std::size_t kMinCopy = 3;
constexpr std::size_t kMaxCopy = 10;
constexpr std::size_t kMaxRun = 8;
// How many earlier places with the same three bytes are tried for a copy.
// Prose gains little beyond this and the time grows with it.
constexpr int kChainDepth = 16;

// A choice's key: its cost in code bytes above the step taken.
constexpr unsigned kStepBits = 5;
static_assert(kStepCopyBase + kMaxCopy < (1u << kStepBits));
constexpr unsigned StepKey(unsigned cost, unsigned char step) { return (cost << kStepBits) | step; }
// A cost beyond the text's end, larger than any real one, and a key larger
// than any real choice's.
constexpr unsigned kNoCost = 0xFFFFu;
constexpr unsigned kNoKey = ~0u;

// A byte the decoder takes as itself when it stands alone.
constexpr bool IsPlain(unsigned char byte) { return byte == 0 || (byte >= 0x09 && byte <= 0x7F); }

// A byte that may follow a space in a space pair.
constexpr bool PairsWithSpace(unsigned char byte) { return byte >= 0x40 && byte <= 0x7F; }

inline unsigned HashAt(const unsigned char* text) {
  std::uint32_t three = text[0] | (static_cast<std::uint32_t>(text[1]) << 8) |
                        (static_cast<std::uint32_t>(text[2]) << 16);
  return (three * 2654435761u) >> (32 - 13);
}
static_assert(Lz77Encoder::kHashSize == 1u << 13);

// The length of the common start of a and b, at most `limit` bytes; both
// hold at least `limit` bytes.
inline std::size_t CommonLength(const unsigned char* a, const unsigned char* b, std::size_t limit) {
  std::size_t length = 0;
  if (limit >= sizeof(std::uint64_t)) {
    std::uint64_t x, y;
    std::memcpy(&x, a, sizeof x);
    std::memcpy(&y, b, sizeof y);
    if (x != y) {
      std::uint64_t differ = x ^ y;
      return static_cast<std::size_t>(std::endian::native == std::endian::little
                                          ? std::countr_zero(differ)
                                          : std::countl_zero(differ)) /
             8;
    }
    length = sizeof(std::uint64_t);
  }
  while (length < limit && a[length] == b[length]) ++length;
  return length;
}

// The longest copy for every position, through chains of earlier positions
// with the same next three bytes, nearest first.
void FindCopies(Lz77Encoder* encoder, const unsigned char* text, std::size_t size) {
  std::memset(encoder->head, 0, sizeof encoder->head);
  std::size_t lastDistance = 0;
  for (std::size_t i = 0; i < size; ++i) {
    encoder->matchLength[i] = 0;
    encoder->matchDistance[i] = 0;
    if (i + kMinCopy > size) continue;
    std::size_t limit = size - i < kMaxCopy ? size - i : kMaxCopy;
    unsigned hash = HashAt(text + i);
    std::size_t best = kMinCopy - 1;
    // Repeated text tends to go on repeating from the same distance: when
    // that gives the longest copy there is, the chain is not walked.
    int depth = kChainDepth;
    if (lastDistance != 0 && lastDistance <= i &&
        CommonLength(text + i - lastDistance, text + i, limit) == limit) {
      best = limit;
      encoder->matchLength[i] = static_cast<unsigned short>(limit);
      encoder->matchDistance[i] = static_cast<unsigned short>(lastDistance);
      depth = 0;
    }
    for (unsigned link = encoder->head[hash]; link != 0 && depth > 0;
         link = encoder->previous[link - 1], --depth) {
      std::size_t from = link - 1;
      if (i - from > kLz77MaxDistance) break;
      if (text[from + best] != text[i + best]) continue;
      std::size_t length = CommonLength(text + from, text + i, limit);
      if (length > best) {
        best = length;
        encoder->matchLength[i] = static_cast<unsigned short>(length);
        encoder->matchDistance[i] = static_cast<unsigned short>(i - from);
        if (length == limit) break;
      }
    }
    lastDistance = encoder->matchDistance[i];
    encoder->previous[i] = encoder->head[hash];
    encoder->head[hash] = static_cast<unsigned short>(i + 1);
  }
}

// The cheapest codes from each position to the end, from the end backwards.
// Each choice is a key of its cost above its step, so that the smallest
// key wins without a branch: which code wins changes from byte to byte, and
// a mispredicted branch there costs more than the choice itself. The costs
// of the next two positions stay in registers, as each position waits for
// them.
//
// Of the copies from a position only the longest is weighed. The rest of
// the text costs no more from one position further on, whatever the code
// there, with one exception: a copy of three bytes whose last two need a
// run. So a shorter copy is never cheaper but there, and weighing every
// length would cost as much time as the search for copies does, for a
// handful of bytes in a megabyte.
void ChooseCodes(Lz77Encoder* encoder, const unsigned char* text, std::size_t size) {
  unsigned short* cost = encoder->cost;
  cost[size] = 0;
  unsigned next = 0;             // cost[i + 1]
  unsigned afterNext = kNoCost;  // cost[i + 2]
  for (std::size_t i = size; i-- > 0;) {
    unsigned char byte = text[i];
    bool plain = IsPlain(byte);
    unsigned best = plain ? StepKey(1u + next, kStepLiteral) : kNoKey;
    bool pair = byte == ' ' && i + 1 < size && PairsWithSpace(text[i + 1]);
    unsigned pairKey = pair ? StepKey(1u + afterNext, kStepSpacePair) : kNoKey;
    best = pairKey < best ? pairKey : best;
    // A run that starts with a plain byte costs what that byte's literal and
    // the rest of the run cost, so only the other bytes start one.
    if (!plain) {
      std::size_t longestRun = size - i < kMaxRun ? size - i : kMaxRun;
      for (std::size_t run = 1; run <= longestRun; ++run) {
        unsigned key = StepKey(static_cast<unsigned>(1 + run + cost[i + run]),
                               static_cast<unsigned char>(kStepRunBase + run));
        best = key < best ? key : best;
      }
    }
    std::size_t copy = encoder->matchLength[i];
    unsigned copyKey = copy >= kMinCopy ? StepKey(2u + cost[i + copy],
                                                  static_cast<unsigned char>(kStepCopyBase + copy))
                                        : kNoKey;
    best = copyKey < best ? copyKey : best;
    afterNext = next;
    next = best >> kStepBits;
    cost[i] = static_cast<unsigned short>(next);
    encoder->step[i] = static_cast<unsigned char>(best & ((1u << kStepBits) - 1));
  }
}

std::size_t WriteCodes(const Lz77Encoder& encoder, const unsigned char* text, std::size_t size,
                       unsigned char* out) {
  std::size_t written = 0;
  std::size_t i = 0;
  while (i < size) {
    unsigned char step = encoder.step[i];
    if (step == kStepLiteral) {
      out[written++] = text[i++];
    } else if (step == kStepSpacePair) {
      out[written++] = static_cast<unsigned char>(text[i + 1] ^ 0x80);
      i += 2;
    } else if (step < kStepCopyBase) {
      std::size_t run = step - kStepRunBase;
      out[written++] = static_cast<unsigned char>(run);
      std::memcpy(out + written, text + i, run);
      written += run;
      i += run;
    } else {
      std::size_t length = step - kStepCopyBase;
      unsigned pair = 0x8000u | (static_cast<unsigned>(encoder.matchDistance[i]) << 3) |
                      static_cast<unsigned>(length - kMinCopy);
      out[written++] = static_cast<unsigned char>(pair >> 8);
      out[written++] = static_cast<unsigned char>(pair);
      i += length;
    }
  }
  return written;
}

}  // namespace

bool EncodeLz77Record(Lz77Encoder* encoder, const unsigned char* text, std::size_t size,
                      unsigned char* out, std::size_t* codeLength) {
  if (size > kLz77RecordText) return false;
  FindCopies(encoder, text, size);
  ChooseCodes(encoder, text, size);
  *codeLength = WriteCodes(*encoder, text, size, out);
  return true;
}

}  // namespace ormidal
