#include "convert/lz77.hpp"

#include <cstring>

namespace ormidal {
namespace {

enum class CodeClass { kLiteral, kRun, kSpacePair, kCopy };

inline CodeClass ClassOf(unsigned char code) {
  if (code >= 0xC0) return CodeClass::kSpacePair;
  if (code >= 0x80) return CodeClass::kCopy;
  if (code >= 0x01 && code <= 0x08) return CodeClass::kRun;
  return CodeClass::kLiteral;
}

struct Copy {
  std::size_t distance;
  std::size_t length;
};

inline Copy DecodePair(unsigned char first, unsigned char second) {
  unsigned bits = ((static_cast<unsigned>(first) << 8) | second) & 0x3FFFu;
  return {bits >> 3, (bits & 7u) + 3};
}

// Copies `length` bytes from `distance` back; overlapping copies repeat the
// bytes they have just produced, as the format requires.
inline void CopyBack(unsigned char* out, std::size_t at, Copy copy) {
  unsigned char* to = out + at;
  const unsigned char* from = to - copy.distance;
  if (copy.distance >= copy.length) {
    std::memcpy(to, from, copy.length);
    return;
  }
  for (std::size_t k = 0; k < copy.length; ++k) to[k] = from[k];
}

// Decodes the code at in[ip] into out[op]; the caller has made sure the
// whole code and its output fit. Returns the output length, or 0 for a copy
// that reaches before the record's first byte or no distance at all.
inline std::size_t DecodeCode(const unsigned char* in, std::size_t ip, unsigned char* out,
                              std::size_t op) {
  unsigned char code = in[ip];
  switch (ClassOf(code)) {
    case CodeClass::kLiteral:
      out[op] = code;
      return 1;
    case CodeClass::kRun:
      std::memcpy(out + op, in + ip + 1, code);
      return code;
    case CodeClass::kSpacePair:
      out[op] = ' ';
      out[op + 1] = static_cast<unsigned char>(code ^ 0x80);
      return 2;
    case CodeClass::kCopy: {
      Copy copy = DecodePair(code, in[ip + 1]);
      if (copy.distance == 0 || copy.distance > op) return 0;
      CopyBack(out, op, copy);
      return copy.length;
    }
  }
  return 0;
}

inline std::size_t CodeLength(unsigned char code) {
  switch (ClassOf(code)) {
    case CodeClass::kRun:
      return std::size_t{1} + code;
    case CodeClass::kCopy:
      return 2;
    default:
      return 1;
  }
}

// Output room the fast loop keeps free: it stores whole 8- and 16-byte
// words where a code needs fewer bytes, past the output's end but never past
// the buffer's; those bytes are overwritten by the next codes.
constexpr std::size_t kFastOutputSlack = 16;

// A copy whose source lies at least 16 bytes back cannot overlap a 16-byte
// store: it is moved as one word; a closer one repeats byte by byte.
inline void CopyBackFast(unsigned char* to, std::size_t distance, std::size_t length) {
  const unsigned char* from = to - distance;
  if (distance >= kFastOutputSlack) {
    std::memcpy(to, from, kFastOutputSlack);
    return;
  }
  for (std::size_t k = 0; k < length; ++k) to[k] = from[k];
}

// While a whole longest code and the loop's slack fit, no code needs a
// bounds check: this loop does the bulk of the work.
inline Lz77Progress DecodeFast(const Lz77Block& block, std::size_t ip, std::size_t op) {
  const unsigned char* in = block.in;
  unsigned char* out = block.out;
  while (ip + kLz77MaxCodeLength <= block.inSize && op + kFastOutputSlack <= block.outCapacity) {
    unsigned char code = in[ip];
    if (code < 0x80) {
      if (code >= 0x01 && code <= 0x08) {
        std::memcpy(out + op, in + ip + 1, 8);
        op += code;
        ip += std::size_t{1} + code;
      } else {
        out[op++] = code;
        ++ip;
      }
    } else if (code >= 0xC0) {
      out[op] = ' ';
      out[op + 1] = static_cast<unsigned char>(code ^ 0x80);
      op += 2;
      ++ip;
    } else {
      Copy copy = DecodePair(code, in[ip + 1]);
      if (copy.distance == 0 || copy.distance > op) return {Lz77Result::kDamaged, ip, op};
      CopyBackFast(out + op, copy.distance, copy.length);
      op += copy.length;
      ip += 2;
    }
  }
  return {Lz77Result::kComplete, ip, op};
}

// The output a whole code yields, known before it is decoded.
inline std::size_t OutputOf(const unsigned char* in) {
  unsigned char code = in[0];
  switch (ClassOf(code)) {
    case CodeClass::kLiteral:
      return 1;
    case CodeClass::kSpacePair:
      return 2;
    case CodeClass::kRun:
      return code;
    case CodeClass::kCopy:
      return DecodePair(code, in[1]).length;
  }
  return 0;
}

// The last few codes, each checked against the ends of both buffers.
inline Lz77Progress DecodeCareful(const Lz77Block& block, std::size_t ip, std::size_t op) {
  while (ip < block.inSize) {
    if (CodeLength(block.in[ip]) > block.inSize - ip) {
      return {block.endsRecord ? Lz77Result::kDamaged : Lz77Result::kNeedInput, ip, op};
    }
    if (OutputOf(block.in + ip) > block.outCapacity - op) {
      return {Lz77Result::kOutputFull, ip, op};
    }
    std::size_t produced = DecodeCode(block.in, ip, block.out, op);
    if (produced == 0) return {Lz77Result::kDamaged, ip, op};
    op += produced;
    ip += CodeLength(block.in[ip]);
  }
  return {Lz77Result::kComplete, ip, op};
}

}  // namespace

Lz77Progress DecodeLz77(const Lz77Block& block) {
  std::size_t op = block.outStart < block.outCapacity ? block.outStart : block.outCapacity;
  Lz77Progress fast = DecodeFast(block, 0, op);
  if (fast.result == Lz77Result::kDamaged) return fast;
  return DecodeCareful(block, fast.consumed, fast.outEnd);
}

Lz77Result DecodeRecord(const unsigned char* in, std::size_t n, unsigned char* out,
                        std::size_t capacity, std::size_t* produced) {
  Lz77Progress progress = DecodeLz77({in, n, true, out, 0, capacity});
  *produced = progress.outEnd;
  return progress.result;
}

}  // namespace ormidal
