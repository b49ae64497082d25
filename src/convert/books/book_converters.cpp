#include "convert/books/book_converters.hpp"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "convert/books/book_reader.hpp"
#include "convert/books/html_writer.hpp"
#include "convert/books/plain_text_writer.hpp"
#include "convert/charset.hpp"
#include "database/extent.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

const unsigned char kByteOrderMark[] = {0xEF, 0xBB, 0xBF};

class ConversionSink : public ByteSink {
 public:
  explicit ConversionSink(Conversion* conversion) : conversion_(conversion) {}
  int Write(const unsigned char* bytes, std::size_t size) override {
    return WriteRaw(conversion_, bytes, size);
  }

 private:
  Conversion* conversion_;
};

bool IsWindows1252(const OpenedBook& book) { return book.layout.header.encoding != kBookUtf8; }

// Feeds text in the book's encoding to the writer as UTF-8: markup, or
// plain text such as a title.
int FeedAsUtf8(PlainTextWriter* writer, bool windows1252, const unsigned char* text,
               std::size_t size, bool markup = true) {
  auto feed = [writer, markup](const unsigned char* bytes, std::size_t length) {
    return markup ? writer->Feed(bytes, length) : writer->FeedPlain(bytes, length);
  };
  if (!windows1252) return feed(text, size);
  unsigned char utf8[3 * 1024];
  int result = kResultOk;
  for (std::size_t at = 0; at < size && result == kResultOk;) {
    std::size_t used = 0;
    for (; at < size && used + 3 <= sizeof utf8; ++at) {
      char bytes[4];
      std::size_t length = EncodeUtf8(CodePointOfWindows1252(text[at]), bytes);
      std::memcpy(utf8 + used, bytes, length);
      used += length;
    }
    result = feed(utf8, used);
  }
  return result;
}

class TextOut : public BookTextConsumer {
 public:
  TextOut(PlainTextWriter* writer, bool windows1252) : writer_(writer), windows1252_(windows1252) {}
  int Text(const unsigned char* bytes, std::size_t size, std::uint32_t) override {
    return FeedAsUtf8(writer_, windows1252_, bytes, size);
  }

 private:
  PlainTextWriter* writer_;
  bool windows1252_;
};

// The description is markup; the other fields are plain text.
int WriteField(PlainTextWriter* writer, bool windows1252, const char* label,
               const unsigned char* value, std::size_t size, bool markup = false) {
  writer->FeedPlain(reinterpret_cast<const unsigned char*>(label), std::strlen(label));
  FeedAsUtf8(writer, windows1252, value, size, markup);
  return writer->EndLine();
}

int WriteMetadata(const OpenedBook& book, PlainTextWriter* writer) {
  bool windows1252 = IsWindows1252(book);
  BookString title = BookTitle(book);
  const ArchiveState& state = *book.conversion->state;
  if (title.size > 0)
    WriteField(writer, windows1252, "Title: ", title.data, title.size);
  else
    WriteField(writer, false, "Title: ", reinterpret_cast<const unsigned char*>(state.databaseName),
               std::strlen(state.databaseName));
  static const struct {
    std::uint32_t type;
    const char* label;
  } kFields[] = {{kExthAuthor, "Author: "},       {kExthPublisher, "Publisher: "},
                 {kExthPublished, "Published: "}, {kExthIsbn, "ISBN: "},
                 {kExthLanguage, "Language: "},   {kExthDescription, "Description: "}};
  for (const auto& field : kFields) {
    std::uint32_t at = 0;
    std::uint32_t seen = 0;
    ExthRecord exth;
    while (NextExthRecord(book.recordZero, book.layout.header, &at, &seen, &exth)) {
      if (exth.type == field.type && exth.size > 0)
        WriteField(writer, windows1252, field.label, exth.data, exth.size,
                   field.type == kExthDescription);
    }
  }
  return writer->EndParagraph();
}

struct TextJob {
  OpenedBook book;
};

class BookPictures : public PictureNames {
 public:
  BookPictures(Conversion* conversion, const BookLayout& layout)
      : conversion_(conversion), layout_(layout) {}
  const char* Extension(std::uint32_t number) const override {
    if (layout_.pictureStart == 0 || number == 0) return nullptr;
    std::uint64_t record = std::uint64_t{layout_.pictureStart} + number - 1;
    if (record >= layout_.pictureEnd) return nullptr;
    ByteRange range = RecordRange(*conversion_->state, static_cast<std::uint32_t>(record));
    unsigned char head[8] = {};
    std::size_t size = range.size < sizeof head ? range.size : sizeof head;
    if (ReadBeside(conversion_, range.start, head, size) != kResultOk) return nullptr;
    PictureKind kind = SniffPicture(head, size, range.size);
    return kind == PictureKind::kNone ? nullptr : PictureExtension(kind);
  }

 private:
  Conversion* conversion_;
  const BookLayout& layout_;
};

class LinkScan : public BookTextConsumer {
 public:
  explicit LinkScan(LinkTargets* targets) : targets_(targets) {}
  int Text(const unsigned char* bytes, std::size_t size, std::uint32_t) override {
    targets_->Feed(bytes, size);
    return kResultOk;
  }

 private:
  LinkTargets* targets_;
};

class HtmlOut : public BookTextConsumer {
 public:
  explicit HtmlOut(HtmlWriter* writer) : writer_(writer) {}
  int Text(const unsigned char* bytes, std::size_t size, std::uint32_t offset) override {
    return writer_->Feed(bytes, size, offset);
  }

 private:
  HtmlWriter* writer_;
};

int WriteHtmlHead(const OpenedBook& book, HtmlWriter* writer) {
  writer->WriteRaw(
      IsWindows1252(book) ? "<meta charset=\"windows-1252\">\r\n" : "<meta charset=\"utf-8\">\r\n",
      IsWindows1252(book) ? 31 : 24);
  BookString title = BookTitle(book);
  writer->WriteRaw("<title>", 7);
  if (title.size > 0)
    WriteEscaped(writer, title.data, title.size);
  else {
    const char* name = book.conversion->state->databaseName;
    WriteEscaped(writer, reinterpret_cast<const unsigned char*>(name), std::strlen(name));
  }
  writer->WriteRaw("</title>\r\n", 10);
  std::uint32_t at = 0;
  std::uint32_t seen = 0;
  ExthRecord exth;
  while (NextExthRecord(book.recordZero, book.layout.header, &at, &seen, &exth)) {
    if (exth.type != kExthAuthor || exth.size == 0) continue;
    writer->WriteRaw("<meta name=\"author\" content=\"", 29);
    WriteEscaped(writer, exth.data, exth.size);
    writer->WriteRaw("\">\r\n", 4);
  }
  return kResultOk;
}

struct HtmlJob {
  OpenedBook book;
  LinkTargets targets;
};

}  // namespace

int ConvertBookText(Conversion* conversion) {
  std::unique_ptr<TextJob> job(new (std::nothrow) TextJob());
  if (!job) return kResultNoMemory;
  int result = OpenBook(conversion, &job->book);
  if (result != kResultOk) return result;
  if (IsEncrypted(job->book)) return kResultNotSupported;
  ConversionSink sink(conversion);
  PlainTextWriter writer(&sink);
  result = WriteRaw(conversion, kByteOrderMark, sizeof kByteOrderMark);
  if (result != kResultOk) return result;
  WriteMetadata(job->book, &writer);
  TextOut out(&writer, IsWindows1252(job->book));
  result = DecodeBookText(&job->book, &out);
  int finished = writer.Finish();
  return result != kResultOk ? result : finished;
}

int ConvertBookHtml(Conversion* conversion) {
  std::unique_ptr<HtmlJob> job(new (std::nothrow) HtmlJob());
  if (!job) return kResultNoMemory;
  int result = OpenBook(conversion, &job->book);
  if (result != kResultOk) return result;
  if (IsEncrypted(job->book)) return kResultNotSupported;
  LinkScan scan(&job->targets);
  // The first pass only looks for links; damage is reported by the second.
  bool damaged = conversion->damaged;
  result = DecodeBookText(&job->book, &scan);
  if (result != kResultOk) return result;
  conversion->damaged = damaged;
  job->targets.Finish();
  ConversionSink sink(conversion);
  BookPictures pictures(conversion, job->book.layout);
  HtmlWriter writer(&sink, &job->targets, &pictures);
  WriteHtmlHead(job->book, &writer);
  HtmlOut out(&writer);
  result = DecodeBookText(&job->book, &out);
  int finished = writer.Finish();
  return result != kResultOk ? result : finished;
}

int ConvertBookPicture(Conversion* conversion, std::uint32_t record) {
  if (record >= conversion->state->recordCount) return kResultBadData;
  return CopyRange(conversion, RecordRange(*conversion->state, record), Filtering::kRaw);
}

void PlanBook(Conversion* conversion, ArchiveState* state) {
  state->convertedCount = 0;
  AddConvertedEntry(state, {ConvertedNaming::kDatabase, kBookText, 0, 0, ".txt"});
  AddConvertedEntry(state, {ConvertedNaming::kDatabase, kBookHtml, 0, 0, ".html"});
  std::unique_ptr<TextJob> job(new (std::nothrow) TextJob());
  if (!job || state->recordCount == 0) return;
  OpenedBook& book = job->book;
  ByteRange zero = RecordRange(*state, 0);
  book.recordZeroSize = std::min<std::size_t>(zero.size, kRecordZeroLimit);
  if (ReadAt(conversion, zero.start, book.recordZero, book.recordZeroSize) != kResultOk) return;
  if (!ReadBookLayout(*state, book.recordZero, book.recordZeroSize, &book.layout)) return;
  const BookLayout& layout = book.layout;
  if (layout.pictureStart == 0) return;
  for (std::uint32_t record = layout.pictureStart; record < layout.pictureEnd; ++record) {
    ByteRange range = RecordRange(*state, record);
    unsigned char head[8] = {};
    std::size_t size = std::min<std::size_t>(range.size, sizeof head);
    if (ReadAt(conversion, range.start, head, size) != kResultOk) return;
    if (EndsPictures(head, size, range.size)) return;
    PictureKind kind = SniffPicture(head, size, range.size);
    if (kind == PictureKind::kNone) continue;
    ConvertedEntry entry{ConvertedNaming::kNumbered, kBookPicture,
                         static_cast<std::uint16_t>(record),
                         static_cast<std::uint16_t>(record - layout.pictureStart + 1), ""};
    std::strcpy(entry.extension, PictureExtension(kind));
    if (!AddConvertedEntry(state, entry)) return;
  }
}

int ConvertBook(Conversion* conversion) {
  const ConvertedEntry* entry = conversion->entry;
  if (entry == nullptr || entry->role == kBookText) return ConvertBookText(conversion);
  if (entry->role == kBookHtml) return ConvertBookHtml(conversion);
  return ConvertBookPicture(conversion, entry->item);
}

}  // namespace ormidal
