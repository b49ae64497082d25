// A Mobipocket book open for conversion: its record 0 read and checked,
// the range of its text and picture records known, the Huffman dictionary
// loaded when the text needs one; then the text decoded record by record
// and handed on as it comes, in fixed buffers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/books/book_header.hpp"
#include "convert/books/huffman_dictionary.hpp"
#include "convert/conversion.hpp"
#include "platform/platform.hpp"

namespace ormidal {

// Record 0 is read up to this size: calibre pads it to about 9 KiB; the
// metadata lies well within this.
inline constexpr std::size_t kRecordZeroLimit = 64 * 1024;

enum class PictureKind : std::uint8_t { kNone, kJpeg, kGif, kPng, kBmp };

// The kind of picture a record holds, from its first bytes (at least 8 of
// them, or all the record has) and its size.
PictureKind SniffPicture(const unsigned char* head, std::size_t headSize, std::uint32_t size);
// ".jpg", ".gif", ".png", ".bmp"; "" for kNone.
const char* PictureExtension(PictureKind kind);

struct BookLayout {
  BookHeader header;
  std::uint32_t base;  // the record 0 in use
  bool kf8;
  std::uint32_t textEnd;       // one past the last text record
  std::uint32_t pictureStart;  // the record of picture 00001, or 0 when none
  std::uint32_t pictureEnd;    // one past the last record that may be a picture
  bool damaged;                // the header stated more than the file holds
};

// Reads record 0 from `record` (its first `size` bytes) and works out the
// layout against the record list. False when this is no book at all.
bool ReadBookLayout(const ArchiveState& state, const unsigned char* record, std::size_t size,
                    BookLayout* layout);

// Where a picture-range record's first bytes say the pictures end: the
// boundary before a second half, or the end-of-file marker.
bool EndsPictures(const unsigned char* head, std::size_t headSize, std::uint32_t size);

class BookTextConsumer {
 public:
  // `offset` is the position of bytes[0] in the decoded text.
  virtual int Text(const unsigned char* bytes, std::size_t size, std::uint32_t offset) = 0;
  // A rebuilt KF8 part starts: the text that follows is a document of its own.
  virtual int PartBegins() { return 0; }

 protected:
  ~BookTextConsumer() = default;
};

struct OpenedBook {
  Conversion* conversion;
  BookLayout layout;
  unsigned char recordZero[kRecordZeroLimit];
  std::size_t recordZeroSize;
  std::uint32_t textLimit;  // decoded bytes that belong to the text (KF8: flow 0)
  bool dictionaryLoaded;
  HuffmanDictionary huffman;
};

// Reads record 0 and, for Huffman-coded text, the dictionary. Returns
// kResultOk (layout damage marks the conversion damaged), kResultBadData
// when there is no usable record 0, or a read error.
int OpenBook(Conversion* conversion, OpenedBook* book);
// True when the text is encrypted: only its pictures and metadata can be read.
bool IsEncrypted(const OpenedBook& book);
// Decodes every text record in order and hands the text on. A record that
// does not decode marks the conversion damaged and ends the text there.
int DecodeBookText(OpenedBook* book, BookTextConsumer* consumer);
// Reads text record `record` (its number in the file) and decodes it into
// the conversion's decode buffer: *produced bytes, *whole false when the
// record is damaged (the bytes before the damage are still there).
int DecodeTextRecord(OpenedBook* book, std::uint32_t record, std::size_t* produced, bool* whole);

// Metadata strings, as the book stores them (its own encoding).
struct BookString {
  const unsigned char* data;
  std::size_t size;
};
// The title: EXTH 503, else the full name, else nothing (size 0).
BookString BookTitle(const OpenedBook& book);

}  // namespace ormidal
