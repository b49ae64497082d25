// Huffman-coded book text ("compression 17480"): a HUFF record holds the
// code tables, the CDIC records after it the phrases the codes stand for.
// A phrase is either plain bytes or itself coded, so decoding nests; the
// nesting is bounded and a phrase that refers back to itself is damage.
// The dictionary holds its records' bytes, nothing more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ormidal {

enum class HuffmanResult { kComplete, kOutputFull, kDamaged };

class HuffmanDictionary {
 public:
  // The CDIC records hold at most this many bytes in all: the dictionary
  // stays a fixed, small cost whatever the book.
  static constexpr std::size_t kMaxPhraseBytes = 4 * 1024 * 1024;
  static constexpr int kMaxNesting = 20;

  // Reads the code tables. False when the record is not a whole HUFF record.
  bool LoadTables(const unsigned char* record, std::size_t size);
  // Room for `bytes` bytes of CDIC records; false when there is no memory or
  // they are more than kMaxPhraseBytes.
  bool ReservePhrases(std::size_t bytes);
  // Where the next CDIC record of `size` bytes is to be read to; nullptr when
  // it does not fit the reserved room.
  unsigned char* NextRoom(std::size_t size);
  // Takes in the phrases of the next CDIC record, copied into the reserved
  // room unless it was read there. False when the record is damaged or does
  // not fit.
  bool AddPhrases(const unsigned char* record, std::size_t size);
  // Every phrase the dictionary announces has been loaded.
  bool Complete() const { return phraseCount_ > 0 && loaded_ == phraseCount_; }

  // Decodes one text record (trailing entries removed) into out[0, capacity);
  // *produced receives the bytes decoded before the end or the first fault.
  HuffmanResult Decode(const unsigned char* in, std::size_t size, unsigned char* out,
                       std::size_t capacity, std::size_t* produced);

 private:
  struct Code {
    std::uint8_t length;
    bool terminal;
    std::uint64_t maxCode;
  };
  HuffmanResult DecodeNested(const unsigned char* in, std::size_t size, int depth,
                             unsigned char* out, std::size_t capacity, std::size_t* at);
  HuffmanResult EmitPhrase(std::uint32_t phrase, int depth, unsigned char* out,
                           std::size_t capacity, std::size_t* at);

  Code codes_[256] = {};
  std::uint64_t minCodes_[33] = {};
  std::uint64_t maxCodes_[33] = {};
  bool tablesLoaded_ = false;

  std::unique_ptr<unsigned char[]> pool_;
  std::size_t poolCapacity_ = 0;
  std::size_t poolUsed_ = 0;
  std::unique_ptr<std::uint32_t[]> phrases_;  // pool offset of each phrase's header
  std::unique_ptr<unsigned char[]> active_;   // phrases being expanded right now
  std::uint32_t phraseCount_ = 0;
  std::uint32_t loaded_ = 0;
  std::uint32_t codeBits_ = 0;
};

}  // namespace ormidal
