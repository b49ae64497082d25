#include "convert/books/huffman_dictionary.hpp"

#include <algorithm>
#include <cstring>
#include <new>

#include "database/byte_order.hpp"

namespace ormidal {
namespace {

constexpr std::size_t kHuffHeader = 24;
constexpr std::size_t kCodeTableSize = 256 * 4;
constexpr std::size_t kLengthTableSize = 32 * 8;
constexpr std::size_t kCdicHeader = 16;
constexpr std::uint32_t kMaxCodeBits = 16;
constexpr std::uint16_t kPlainPhrase = 0x8000;

bool HasMagic(const unsigned char* record, std::size_t size, const char* magic) {
  return size >= 4 && std::memcmp(record, magic, 4) == 0;
}

// Eight bytes from `at`, big-endian, zeros past the end.
std::uint64_t Window(const unsigned char* in, std::size_t size, std::size_t at) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    value <<= 8;
    if (at + i < size) value |= in[at + i];
  }
  return value;
}

}  // namespace

bool HuffmanDictionary::LoadTables(const unsigned char* record, std::size_t size) {
  tablesLoaded_ = false;
  if (!HasMagic(record, size, "HUFF") || size < kHuffHeader) return false;
  if (ReadBigEndian32(record + 4) != kHuffHeader) return false;
  std::uint32_t codeTable = ReadBigEndian32(record + 8);
  std::uint32_t lengthTable = ReadBigEndian32(record + 12);
  if (codeTable > size || size - codeTable < kCodeTableSize) return false;
  if (lengthTable > size || size - lengthTable < kLengthTableSize) return false;
  for (int i = 0; i < 256; ++i) {
    std::uint32_t entry = ReadBigEndian32(record + codeTable + 4 * i);
    std::uint8_t length = entry & 0x1F;
    if (length == 0) return false;
    std::uint64_t top = (std::uint64_t{entry >> 8} + 1) << (32 - length);
    codes_[i] = {length, (entry & 0x80) != 0, top - 1};
  }
  minCodes_[0] = 0;
  maxCodes_[0] = 0xFFFFFFFFu;
  for (int length = 1; length <= 32; ++length) {
    const unsigned char* pair = record + lengthTable + 8 * (length - 1);
    minCodes_[length] = std::uint64_t{ReadBigEndian32(pair)} << (32 - length);
    maxCodes_[length] = ((std::uint64_t{ReadBigEndian32(pair + 4)} + 1) << (32 - length)) - 1;
  }
  tablesLoaded_ = true;
  return true;
}

bool HuffmanDictionary::ReservePhrases(std::size_t bytes) {
  if (bytes == 0 || bytes > kMaxPhraseBytes) return false;
  pool_.reset(new (std::nothrow) unsigned char[bytes]);
  poolCapacity_ = pool_ ? bytes : 0;
  poolUsed_ = 0;
  phraseCount_ = loaded_ = 0;
  return pool_ != nullptr;
}

unsigned char* HuffmanDictionary::NextRoom(std::size_t size) {
  if (!pool_ || size > poolCapacity_ - poolUsed_) return nullptr;
  return pool_.get() + poolUsed_;
}

bool HuffmanDictionary::AddPhrases(const unsigned char* record, std::size_t size) {
  if (!HasMagic(record, size, "CDIC") || size < kCdicHeader) return false;
  if (size > poolCapacity_ - poolUsed_ || ReadBigEndian32(record + 4) != kCdicHeader) return false;
  std::uint32_t total = ReadBigEndian32(record + 8);
  std::uint32_t bits = ReadBigEndian32(record + 12);
  if (bits == 0 || bits > kMaxCodeBits || total == 0) return false;
  if (phrases_ == nullptr) {
    // Each phrase takes at least its two-byte offset: more than the pool
    // could hold is damage, not a size to allocate.
    if (total > poolCapacity_ / 2) return false;
    phrases_.reset(new (std::nothrow) std::uint32_t[total]);
    active_.reset(new (std::nothrow) unsigned char[total]());
    if (!phrases_ || !active_) return false;
    phraseCount_ = total;
    codeBits_ = bits;
  } else if (total != phraseCount_ || bits != codeBits_) {
    return false;
  }
  std::uint32_t here = std::min<std::uint32_t>(1u << bits, phraseCount_ - loaded_);
  if (here == 0 || (size - kCdicHeader) / 2 < here) return false;
  unsigned char* copy = pool_.get() + poolUsed_;
  if (copy != record) std::memcpy(copy, record, size);
  for (std::uint32_t i = 0; i < here; ++i) {
    std::size_t offset = kCdicHeader + ReadBigEndian16(copy + kCdicHeader + 2 * i);
    if (offset + 2 > size) return false;
    std::size_t length = ReadBigEndian16(copy + offset) & 0x7FFFu;
    if (length > size - offset - 2) return false;
    phrases_[loaded_ + i] = static_cast<std::uint32_t>(poolUsed_ + offset);
  }
  loaded_ += here;
  poolUsed_ += size;
  return true;
}

HuffmanResult HuffmanDictionary::Decode(const unsigned char* in, std::size_t size,
                                        unsigned char* out, std::size_t capacity,
                                        std::size_t* produced) {
  *produced = 0;
  if (!tablesLoaded_ || !Complete()) return HuffmanResult::kDamaged;
  return DecodeNested(in, size, 0, out, capacity, produced);
}

HuffmanResult HuffmanDictionary::DecodeNested(const unsigned char* in, std::size_t size, int depth,
                                              unsigned char* out, std::size_t capacity,
                                              std::size_t* at) {
  std::int64_t bitsLeft = static_cast<std::int64_t>(size) * 8;
  std::size_t position = 0;
  std::uint64_t window = Window(in, size, 0);
  int shift = 32;
  while (true) {
    if (shift <= 0) {
      position += 4;
      window = Window(in, size, position);
      shift += 32;
    }
    std::uint64_t code = (window >> shift) & 0xFFFFFFFFu;
    const Code& first = codes_[code >> 24];
    std::uint32_t length = first.length;
    std::uint64_t maxCode = first.maxCode;
    if (!first.terminal) {
      while (code < minCodes_[length]) {
        if (++length > 32) return HuffmanResult::kDamaged;
      }
      maxCode = maxCodes_[length];
    }
    shift -= static_cast<int>(length);
    bitsLeft -= length;
    if (bitsLeft < 0) return HuffmanResult::kComplete;
    if (maxCode < code) return HuffmanResult::kDamaged;
    std::uint64_t phrase = (maxCode - code) >> (32 - length);
    if (phrase >= phraseCount_) return HuffmanResult::kDamaged;
    HuffmanResult result = EmitPhrase(static_cast<std::uint32_t>(phrase), depth, out, capacity, at);
    if (result != HuffmanResult::kComplete) return result;
  }
}

HuffmanResult HuffmanDictionary::EmitPhrase(std::uint32_t phrase, int depth, unsigned char* out,
                                            std::size_t capacity, std::size_t* at) {
  const unsigned char* head = pool_.get() + phrases_[phrase];
  std::uint16_t word = ReadBigEndian16(head);
  std::size_t length = word & 0x7FFFu;
  const unsigned char* bytes = head + 2;
  if (word & kPlainPhrase) {
    if (length > capacity - *at) return HuffmanResult::kOutputFull;
    std::memcpy(out + *at, bytes, length);
    *at += length;
    return HuffmanResult::kComplete;
  }
  if (depth >= kMaxNesting || active_[phrase]) return HuffmanResult::kDamaged;
  active_[phrase] = 1;
  HuffmanResult result = DecodeNested(bytes, length, depth + 1, out, capacity, at);
  active_[phrase] = 0;
  return result;
}

}  // namespace ormidal
