#include "convert/books/trailing_entries.hpp"

namespace ormidal {
namespace {

constexpr std::uint16_t kOverlapEntry = 0x0001;
constexpr int kMaxSizeBytes = 4;

// An entry's size is stored at its end, read backwards: 7 bits a byte, the
// byte furthest from the end marked by its top bit.
bool BackwardSize(const unsigned char* record, std::size_t end, std::size_t* entrySize) {
  std::size_t value = 0;
  int shift = 0;
  for (int i = 0; i < kMaxSizeBytes && i < static_cast<int>(end); ++i) {
    unsigned char byte = record[end - 1 - i];
    value |= static_cast<std::size_t>(byte & 0x7F) << shift;
    shift += 7;
    if (byte & 0x80) {
      *entrySize = value;
      return true;
    }
  }
  return false;
}

}  // namespace

bool TextSizeOfRecord(const unsigned char* record, std::size_t size, std::uint16_t flags,
                      std::size_t* textSize) {
  *textSize = 0;
  std::size_t end = size;
  for (int bit = 1; bit < 16; ++bit) {
    if (!(flags & (1u << bit))) continue;
    std::size_t entry = 0;
    if (!BackwardSize(record, end, &entry) || entry > end) return false;
    end -= entry;
  }
  if (flags & kOverlapEntry) {
    if (end == 0) return false;
    std::size_t entry = (record[end - 1] & 3u) + 1;
    if (entry > end) return false;
    end -= entry;
  }
  *textSize = end;
  return true;
}

}  // namespace ormidal
