#include "convert/books/book_header.hpp"

#include <algorithm>

#include "database/byte_order.hpp"

namespace ormidal {
namespace {

constexpr std::size_t kTextHeaderSize = 16;
constexpr std::size_t kMobiStart = 16;
// Some old books state a header length of zero; the fields up to the file
// version are then still there.
constexpr std::uint32_t kShortestMobiHeader = 24;
// Trailing-entry flags exist only in headers at least this long.
constexpr std::uint32_t kExtraFlagsHeader = 0xE4;
constexpr std::uint32_t kExthPresent = 0x40;
constexpr std::uint32_t kMaxExthRecords = 1024;
constexpr std::uint32_t kDefaultRecordSize = 4096;

struct MobiFields {
  const unsigned char* record;
  std::size_t size;
  std::uint32_t end;  // first byte past the stated header, within `size`

  bool Has(std::uint32_t offset, std::uint32_t width) const { return offset + width <= end; }
  std::uint32_t Field32(std::uint32_t offset, std::uint32_t absent = kNotSet) const {
    return Has(offset, 4) ? ReadBigEndian32(record + offset) : absent;
  }
  std::uint16_t Field16(std::uint32_t offset) const {
    return Has(offset, 2) ? ReadBigEndian16(record + offset) : 0;
  }
};

BookCompression CompressionOf(std::uint16_t code) {
  switch (code) {
    case 1:
      return BookCompression::kNone;
    case 2:
      return BookCompression::kLz77;
    case 17480:
      return BookCompression::kHuffman;
    default:
      return BookCompression::kUnknown;
  }
}

void ReadFullName(const MobiFields& fields, BookHeader* header) {
  std::uint32_t offset = fields.Field32(84, 0);
  std::uint32_t length = fields.Field32(88, 0);
  if (offset >= fields.size || length > fields.size - offset) return;
  header->fullNameOffset = offset;
  header->fullNameLength = length;
}

void ReadExthHead(const MobiFields& fields, BookHeader* header) {
  if (!(fields.Field32(128, 0) & kExthPresent)) return;
  std::size_t start = fields.end;
  if (start + 12 > fields.size) return;
  const unsigned char* exth = fields.record + start;
  if (exth[0] != 'E' || exth[1] != 'X' || exth[2] != 'T' || exth[3] != 'H') return;
  std::uint32_t length = ReadBigEndian32(exth + 4);
  std::uint32_t count = ReadBigEndian32(exth + 8);
  if (length < 12) return;
  header->exthOffset = static_cast<std::uint32_t>(start);
  // A block stated longer than record 0 is read as far as the record goes.
  header->exthLength =
      static_cast<std::uint32_t>(std::min<std::size_t>(length, fields.size - start));
  header->exthCount = std::min(count, kMaxExthRecords);
}

void ReadMobiHeader(const unsigned char* record, std::size_t size, BookHeader* header) {
  if (size < kMobiStart + 8) return;
  const unsigned char* magic = record + kMobiStart;
  if (magic[0] != 'M' || magic[1] != 'O' || magic[2] != 'B' || magic[3] != 'I') return;
  std::uint32_t length = ReadBigEndian32(record + kMobiStart + 4);
  if (length == 0) length = kShortestMobiHeader;
  if (length < kShortestMobiHeader || length > size - kMobiStart) return;
  MobiFields fields{record, size, static_cast<std::uint32_t>(kMobiStart + length)};
  header->hasMobiHeader = true;
  header->headerLength = length;
  header->encoding = fields.Field32(28, kBookWindows1252);
  header->version = fields.Field32(36, 0);
  header->firstImage = fields.Field32(108);
  header->huffRecord = fields.Field32(112);
  header->huffCount = fields.Field32(116, 0);
  if (length >= kExtraFlagsHeader) header->extraFlags = fields.Field16(242);
  header->fdstCount = fields.Field32(196, 0);
  if (header->version >= 8) header->fdstRecord = fields.Field32(192);
  header->fragmentIndex = fields.Field32(248);
  header->skeletonIndex = fields.Field32(252);
  ReadFullName(fields, header);
  ReadExthHead(fields, header);
}

void ReadKf8Boundary(const unsigned char* record, BookHeader* header) {
  std::uint32_t at = 0;
  std::uint32_t seen = 0;
  ExthRecord exth;
  while (NextExthRecord(record, *header, &at, &seen, &exth)) {
    if (exth.type == kExthKf8Boundary) header->kf8Boundary = ExthNumber(exth);
  }
}

}  // namespace

bool ParseBookHeader(const unsigned char* record, std::size_t size, BookHeader* header) {
  *header = {};
  header->firstImage = header->huffRecord = header->fdstRecord = kNotSet;
  header->fragmentIndex = header->skeletonIndex = header->kf8Boundary = kNotSet;
  header->encoding = kBookWindows1252;
  if (size < kTextHeaderSize) return false;
  header->compression = CompressionOf(ReadBigEndian16(record));
  header->textLength = ReadBigEndian32(record + 4);
  header->textRecords = ReadBigEndian16(record + 8);
  header->textRecordSize =
      std::max<std::uint32_t>(kDefaultRecordSize, ReadBigEndian16(record + 10));
  header->encryption = ReadBigEndian16(record + 12);
  ReadMobiHeader(record, size, header);
  // Old books sometimes hold records larger than they declare.
  if (header->version <= 3 &&
      header->textLength > std::uint64_t{header->textRecords} * header->textRecordSize) {
    header->textRecordSize = 2 * kDefaultRecordSize;
  }
  ReadKf8Boundary(record, header);
  return true;
}

bool IsKf8Header(const BookHeader& header) {
  return header.hasMobiHeader && header.version == 8 && header.headerLength >= kExtraFlagsHeader;
}

bool NextExthRecord(const unsigned char* record, const BookHeader& header, std::uint32_t* at,
                    std::uint32_t* seen, ExthRecord* out) {
  if (header.exthOffset == 0 || *seen >= header.exthCount) return false;
  std::uint32_t position = *at < 12 ? 12 : *at;
  while (*seen < header.exthCount) {
    if (position > header.exthLength || header.exthLength - position < 8) return false;
    const unsigned char* entry = record + header.exthOffset + position;
    std::uint32_t length = ReadBigEndian32(entry + 4);
    if (length < 8 || length > header.exthLength - position) return false;
    position += length;
    *at = position;
    *seen += 1;
    *out = {ReadBigEndian32(entry), entry + 8, length - 8};
    return true;
  }
  return false;
}

std::uint32_t ExthNumber(const ExthRecord& exth) {
  if (exth.size == 0 || exth.size > 4) return kNotSet;
  std::uint32_t value = 0;
  for (std::uint32_t i = 0; i < exth.size; ++i) value = (value << 8) | exth.data[i];
  return value;
}

}  // namespace ormidal
