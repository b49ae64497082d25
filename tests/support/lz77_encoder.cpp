#include "support/lz77_encoder.hpp"

#include <algorithm>
#include <vector>

namespace ormidal::testing {
namespace {

constexpr std::size_t kMaxDistance = 2047;
constexpr std::size_t kMaxLength = 10;

std::size_t HashAt(const Bytes& text, std::size_t i) {
  return ((text[i] << 8) ^ (text[i + 1] << 4) ^ text[i + 2]) & 0xFFFF;
}

bool IsPlain(unsigned char byte) { return byte == 0 || (byte >= 0x09 && byte <= 0x7F); }

std::size_t MatchLength(const Bytes& text, std::size_t from, std::size_t at) {
  std::size_t length = 0;
  while (at + length < text.size() && length < kMaxLength &&
         text[from + length] == text[at + length])
    ++length;
  return length;
}

}  // namespace

Bytes CopyCode(unsigned distance, unsigned length) {
  unsigned bits = 0x8000u | (distance << 3) | (length - 3);
  return {static_cast<unsigned char>(bits >> 8), static_cast<unsigned char>(bits)};
}

Bytes EncodeLz77(const Bytes& text) {
  Bytes out;
  std::vector<long> last(1 << 16, -1);
  std::size_t i = 0;
  while (i < text.size()) {
    if (i + 3 <= text.size()) {
      std::size_t hash = HashAt(text, i);
      long candidate = last[hash];
      last[hash] = static_cast<long>(i);
      if (candidate >= 0 && i - candidate <= kMaxDistance) {
        std::size_t length = MatchLength(text, candidate, i);
        if (length >= 3) {
          Bytes code =
              CopyCode(static_cast<unsigned>(i - candidate), static_cast<unsigned>(length));
          out.insert(out.end(), code.begin(), code.end());
          for (std::size_t k = i + 1; k < i + length && k + 3 <= text.size(); ++k)
            last[HashAt(text, k)] = static_cast<long>(k);
          i += length;
          continue;
        }
      }
    }
    unsigned char byte = text[i];
    if (byte == ' ' && i + 1 < text.size() && text[i + 1] >= 0x40 && text[i + 1] <= 0x7F) {
      out.push_back(static_cast<unsigned char>(text[i + 1] ^ 0x80));
      i += 2;
    } else if (IsPlain(byte)) {
      out.push_back(byte);
      ++i;
    } else {
      std::size_t run = 1;
      while (run < 8 && i + run < text.size() && !IsPlain(text[i + run])) ++run;
      out.push_back(static_cast<unsigned char>(run));
      out.insert(out.end(), text.begin() + i, text.begin() + i + run);
      i += run;
    }
  }
  return out;
}

}  // namespace ormidal::testing
