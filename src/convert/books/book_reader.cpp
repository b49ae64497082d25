#include "convert/books/book_reader.hpp"

#include <algorithm>
#include <cstring>

#include "convert/books/trailing_entries.hpp"
#include "convert/lz77.hpp"
#include "database/byte_order.hpp"
#include "database/extent.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

constexpr std::uint32_t kMaxDictionaryRecords = 1025;  // the HUFF record and 1024 CDICs
constexpr std::uint32_t kNoLimit = 0xFFFFFFFFu;

bool StartsWith(const unsigned char* head, std::size_t size, const char* magic, std::size_t n) {
  return size >= n && std::memcmp(head, magic, n) == 0;
}

int LoadDictionary(OpenedBook* book) {
  Conversion* conversion = book->conversion;
  const ArchiveState& state = *conversion->state;
  const BookHeader& header = book->layout.header;
  if (header.huffRecord == kNotSet || header.huffCount < 2 ||
      header.huffCount > kMaxDictionaryRecords)
    return kResultOk;
  std::uint64_t first = std::uint64_t{book->layout.base} + header.huffRecord;
  if (first + header.huffCount > state.recordCount) return kResultOk;
  ByteRange huff = RecordRange(state, static_cast<std::uint32_t>(first));
  if (huff.size > kCodeBufferSize) return kResultOk;
  int result = ReadAt(conversion, huff.start, conversion->codeBuffer, huff.size);
  if (result != kResultOk) return result;
  if (!book->huffman.LoadTables(conversion->codeBuffer, huff.size)) return kResultOk;
  std::uint64_t total = 0;
  for (std::uint32_t i = 1; i < header.huffCount; ++i)
    total += RecordRange(state, static_cast<std::uint32_t>(first + i)).size;
  if (total > HuffmanDictionary::kMaxPhraseBytes) return kResultOk;
  if (!book->huffman.ReservePhrases(static_cast<std::size_t>(total))) return kResultOk;
  for (std::uint32_t i = 1; i < header.huffCount; ++i) {
    ByteRange cdic = RecordRange(state, static_cast<std::uint32_t>(first + i));
    unsigned char* room = book->huffman.NextRoom(cdic.size);
    if (room == nullptr) return kResultOk;
    result = ReadAt(conversion, cdic.start, room, cdic.size);
    if (result != kResultOk) return result;
    if (!book->huffman.AddPhrases(room, cdic.size)) return kResultOk;
  }
  book->dictionaryLoaded = book->huffman.Complete();
  return kResultOk;
}

// In KF8 the text records hold the markup first, then style sheets and
// other flows; only the markup is the book's text.
int FindFlowZeroEnd(OpenedBook* book) {
  book->textLimit = kNoLimit;
  const BookHeader& header = book->layout.header;
  if (!book->layout.kf8 || header.fdstCount <= 1 || header.fdstRecord == kNotSet) return kResultOk;
  std::uint64_t record = std::uint64_t{book->layout.base} + header.fdstRecord;
  const ArchiveState& state = *book->conversion->state;
  if (record >= state.recordCount) return kResultOk;
  ByteRange range = RecordRange(state, static_cast<std::uint32_t>(record));
  unsigned char fdst[20];
  if (range.size < sizeof fdst) return kResultOk;
  int result = ReadAt(book->conversion, range.start, fdst, sizeof fdst);
  if (result != kResultOk) return result;
  if (!StartsWith(fdst, sizeof fdst, "FDST", 4) || ReadBigEndian32(fdst + 4) != 12 ||
      ReadBigEndian32(fdst + 8) == 0)
    return kResultOk;
  book->textLimit = ReadBigEndian32(fdst + 16);
  return kResultOk;
}

// Decodes the text bytes of one record into the decode buffer.
bool DecodeRecordText(OpenedBook* book, const unsigned char* in, std::size_t size,
                      std::size_t* produced) {
  unsigned char* out = book->conversion->decodeBuffer;
  std::size_t capacity =
      std::min<std::size_t>(book->layout.header.textRecordSize, kDecodeBufferSize);
  *produced = 0;
  switch (book->layout.header.compression) {
    case BookCompression::kNone:
      *produced = std::min(size, capacity);
      std::memcpy(out, in, *produced);
      return size <= capacity;
    case BookCompression::kLz77:
      return DecodeRecord(in, size, out, capacity, produced) == Lz77Result::kComplete;
    case BookCompression::kHuffman:
      if (!book->dictionaryLoaded) return false;
      return book->huffman.Decode(in, size, out, capacity, produced) == HuffmanResult::kComplete;
    case BookCompression::kUnknown:
      return false;
  }
  return false;
}

}  // namespace

PictureKind SniffPicture(const unsigned char* head, std::size_t headSize, std::uint32_t size) {
  if (StartsWith(head, headSize, "\xFF\xD8\xFF", 3)) return PictureKind::kJpeg;
  if (StartsWith(head, headSize, "GIF8", 4)) return PictureKind::kGif;
  if (StartsWith(head, headSize, "\x89PNG\r\n\x1A\n", 8)) return PictureKind::kPng;
  // "BM" alone is too common a start; the size field must agree.
  if (StartsWith(head, headSize, "BM", 2) && headSize >= 6) {
    std::uint32_t stated =
        head[2] | (head[3] << 8) | (head[4] << 16) | (static_cast<std::uint32_t>(head[5]) << 24);
    if (stated == size) return PictureKind::kBmp;
  }
  return PictureKind::kNone;
}

const char* PictureExtension(PictureKind kind) {
  switch (kind) {
    case PictureKind::kJpeg:
      return ".jpg";
    case PictureKind::kGif:
      return ".gif";
    case PictureKind::kPng:
      return ".png";
    case PictureKind::kBmp:
      return ".bmp";
    case PictureKind::kNone:
      return "";
  }
  return "";
}

bool EndsPictures(const unsigned char* head, std::size_t headSize, std::uint32_t size) {
  return (size == 8 && StartsWith(head, headSize, "BOUNDARY", 8)) ||
         (size == 4 && StartsWith(head, headSize, "\xE9\x8E\r\n", 4));
}

bool ReadBookLayout(const ArchiveState& state, const unsigned char* record, std::size_t size,
                    BookLayout* layout) {
  *layout = {};
  if (!ParseBookHeader(record, size, &layout->header) || !layout->header.hasMobiHeader)
    return false;
  const BookHeader& header = layout->header;
  layout->kf8 = IsKf8Header(header);
  std::uint32_t textEnd = 1u + header.textRecords;
  layout->textEnd = std::min<std::uint32_t>(textEnd, state.recordCount);
  layout->damaged = textEnd > state.recordCount;
  if (header.firstImage != kNotSet && header.firstImage > 0 &&
      header.firstImage < state.recordCount) {
    layout->pictureStart = header.firstImage;
    layout->pictureEnd = state.recordCount;
  }
  return true;
}

int OpenBook(Conversion* conversion, OpenedBook* book) {
  book->conversion = conversion;
  book->dictionaryLoaded = false;
  const ArchiveState& state = *conversion->state;
  if (state.recordCount == 0) return kResultBadData;
  ByteRange zero = RecordRange(state, 0);
  book->recordZeroSize = std::min<std::size_t>(zero.size, kRecordZeroLimit);
  int result = ReadAt(conversion, zero.start, book->recordZero, book->recordZeroSize);
  if (result != kResultOk) return result;
  if (!ReadBookLayout(state, book->recordZero, book->recordZeroSize, &book->layout))
    return kResultBadData;
  if (book->layout.damaged || zero.clipped) conversion->damaged = true;
  result = FindFlowZeroEnd(book);
  if (result != kResultOk) return result;
  if (book->layout.header.compression == BookCompression::kHuffman) return LoadDictionary(book);
  return kResultOk;
}

bool IsEncrypted(const OpenedBook& book) { return book.layout.header.encryption != 0; }

int DecodeTextRecord(OpenedBook* book, std::uint32_t record, std::size_t* produced, bool* whole) {
  Conversion* conversion = book->conversion;
  *produced = 0;
  *whole = false;
  if (record >= book->layout.textEnd) return kResultOk;
  ByteRange range = RecordRange(*conversion->state, record);
  if (range.clipped || range.size > kCodeBufferSize) return kResultOk;
  int result = ReadAt(conversion, range.start, conversion->codeBuffer, range.size);
  if (result != kResultOk) return result;
  std::size_t textSize = 0;
  if (!TextSizeOfRecord(conversion->codeBuffer, range.size, book->layout.header.extraFlags,
                        &textSize))
    return kResultOk;
  *whole = textSize == 0 || DecodeRecordText(book, conversion->codeBuffer, textSize, produced);
  return kResultOk;
}

int DecodeBookText(OpenedBook* book, BookTextConsumer* consumer) {
  Conversion* conversion = book->conversion;
  std::uint32_t offset = 0;
  for (std::uint32_t index = book->layout.base + 1; index < book->layout.textEnd; ++index) {
    if (offset >= book->textLimit) break;
    std::size_t produced = 0;
    bool whole = false;
    int result = DecodeTextRecord(book, index, &produced, &whole);
    if (result != kResultOk) return result;
    std::size_t wanted = std::min<std::uint64_t>(produced, book->textLimit - offset);
    if (wanted > 0) result = consumer->Text(conversion->decodeBuffer, wanted, offset);
    if (result != kResultOk) return result;
    offset += static_cast<std::uint32_t>(wanted);
    if (!whole) {
      conversion->damaged = true;
      return kResultOk;
    }
  }
  return kResultOk;
}

BookString BookTitle(const OpenedBook& book) {
  const BookHeader& header = book.layout.header;
  std::uint32_t at = 0;
  std::uint32_t seen = 0;
  ExthRecord exth;
  while (NextExthRecord(book.recordZero, header, &at, &seen, &exth)) {
    if (exth.type == kExthTitle && exth.size > 0) return {exth.data, exth.size};
  }
  if (header.fullNameLength > 0)
    return {book.recordZero + header.fullNameOffset, header.fullNameLength};
  return {nullptr, 0};
}

}  // namespace ormidal
