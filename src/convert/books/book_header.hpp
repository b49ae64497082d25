// Record 0 of a Mobipocket book: the 16-byte text header, the MOBI header
// that follows it, and the EXTH block of metadata after that. Every field
// is read only when the header's stated length covers it, and every offset
// is checked against the bytes actually held.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ormidal {

inline constexpr std::uint32_t kNotSet = 0xFFFFFFFFu;

enum class BookCompression { kNone, kLz77, kHuffman, kUnknown };

enum BookEncoding : std::uint32_t { kBookWindows1252 = 1252, kBookUtf8 = 65001 };

struct BookHeader {
  BookCompression compression;
  std::uint32_t textLength;
  std::uint16_t textRecords;     // records 1..textRecords after record 0
  std::uint32_t textRecordSize;  // the most one text record decodes to
  std::uint16_t encryption;      // 0 none; 1 and 2 the two known schemes
  bool hasMobiHeader;
  std::uint32_t headerLength;  // of the MOBI header, counted from its magic
  std::uint32_t encoding;
  std::uint32_t version;
  std::uint32_t firstImage;  // relative to this record 0, or kNotSet
  std::uint32_t huffRecord;  // relative, or kNotSet
  std::uint32_t huffCount;   // the HUFF record and its CDIC records
  std::uint16_t extraFlags;  // which trailing entries end each text record
  std::uint32_t fdstRecord;  // relative, valid only when fdstCount > 1
  std::uint32_t fdstCount;
  std::uint32_t fragmentIndex;
  std::uint32_t skeletonIndex;
  std::uint32_t fullNameOffset;  // within record 0, checked
  std::uint32_t fullNameLength;
  std::uint32_t exthOffset;  // within record 0, or 0 when there is none
  std::uint32_t exthLength;  // the part of the block that lies in record 0
  std::uint32_t exthCount;
  std::uint32_t kf8Boundary;  // EXTH 121: the second half's record 0, or kNotSet
};

// Reads the headers from the first `size` bytes of record 0. False when
// they are too short for the 16-byte text header; a missing or damaged
// MOBI header or EXTH block leaves those parts unset (hasMobiHeader false,
// exthOffset 0) rather than failing.
bool ParseBookHeader(const unsigned char* record, std::size_t size, BookHeader* header);

// True for a KF8 record 0 (file version 8 with a long enough header).
bool IsKf8Header(const BookHeader& header);

struct ExthRecord {
  std::uint32_t type;
  const unsigned char* data;
  std::uint32_t size;
};

// Walks the EXTH records in order. Returns false, with *at unchanged, when
// there is no further whole record.
bool NextExthRecord(const unsigned char* record, const BookHeader& header, std::uint32_t* at,
                    std::uint32_t* seen, ExthRecord* out);

// A number held in an EXTH record of 1 to 4 bytes; kNotSet otherwise.
std::uint32_t ExthNumber(const ExthRecord& exth);

// EXTH types the converters use.
enum ExthType : std::uint32_t {
  kExthAuthor = 100,
  kExthPublisher = 101,
  kExthDescription = 103,
  kExthIsbn = 104,
  kExthPublished = 106,
  kExthKf8Boundary = 121,
  kExthTitle = 503,
  kExthLanguage = 524,
};

}  // namespace ormidal
