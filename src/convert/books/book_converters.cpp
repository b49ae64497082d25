#include "convert/books/book_converters.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "convert/books/book_reader.hpp"
#include "convert/books/html_writer.hpp"
#include "convert/books/kf8_index.hpp"
#include "convert/books/kf8_text.hpp"
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

// The tables and the rebuilding of a KF8 book's parts.
struct Kf8Parts final : public PositionLinks {
  explicit Kf8Parts(OpenedBook* book) : text(book, &tables) {}
  bool Position(std::uint32_t fragment, std::uint32_t offset,
                std::uint32_t* position) const override {
    return text.Position(fragment, offset, position);
  }
  Kf8Tables tables;
  Kf8Text text;
};

// A KF8 book with a skeleton index gets *parts; other books none.
int OpenParts(OpenedBook* book, std::unique_ptr<Kf8Parts>* parts) {
  if (!book->layout.kf8 || book->layout.header.skeletonIndex == kNotSet) return kResultOk;
  std::unique_ptr<Kf8Parts> made(new (std::nothrow) Kf8Parts(book));
  if (!made) return kResultNoMemory;
  bool usable = false;
  int result = ReadKf8Tables(book, &made->tables, &usable);
  if (result == kResultOk && usable) *parts = std::move(made);
  return result;
}

// The text in reading order: a KF8 book's parts rebuilt, or the records.
int DecodeText(OpenedBook* book, Kf8Parts* parts, BookTextConsumer* consumer) {
  return parts ? parts->text.WriteParts(consumer) : DecodeBookText(book, consumer);
}

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

// The first pass over a KF8 book's parts: the positions its links point
// at and the style-sheet flows its parts use, each once.
class Kf8Scan : public BookTextConsumer {
 public:
  static constexpr std::size_t kMaxStyleFlows = 64;
  Kf8Scan(const Kf8Parts* parts, LinkTargets* targets) : parts_(parts), targets_(targets) {}
  int Text(const unsigned char* bytes, std::size_t size, std::uint32_t) override {
    references_.Feed(bytes, size, *this);
    return kResultOk;
  }
  void Finish() { references_.Finish(*this); }
  void Plain(const char*, std::size_t) {}
  void Reference(const char* text, std::size_t size) {
    std::uint32_t fragment = 0;
    std::uint32_t offset = 0;
    std::uint32_t position = 0;
    if (ParseKindlePosition(text, size, &fragment, &offset)) {
      if (parts_->Position(fragment, offset, &position)) targets_->Add(position);
      return;
    }
    const char kFlow[] = "kindle:flow:";
    const char kStyle[] = "?mime=text/css";
    std::size_t prefix = sizeof kFlow - 1;
    std::uint32_t flow = 0;
    if (size <= prefix || std::memcmp(text, kFlow, prefix) != 0 ||
        !Base32Number(text + prefix, size - prefix, &flow) ||
        std::string_view(text, size).find(kStyle) == std::string_view::npos)
      return;
    if (flow == 0 || flow >= parts_->tables.flowCount || styleCount_ == kMaxStyleFlows) return;
    for (std::size_t i = 0; i < styleCount_; ++i)
      if (styles_[i] == flow) return;
    styles_[styleCount_++] = flow;
  }
  std::size_t StyleCount() const { return styleCount_; }
  std::uint32_t Style(std::size_t i) const { return styles_[i]; }

 private:
  const Kf8Parts* parts_;
  LinkTargets* targets_;
  KindleReferences references_;
  std::size_t styleCount_ = 0;
  std::uint32_t styles_[kMaxStyleFlows];
};

// A style sheet written into the document's head: its pictures pointed at
// Images/, and no "<" that could end the <style> element early.
class StyleOut : public BookTextConsumer {
 public:
  StyleOut(HtmlWriter* writer, const PictureNames* pictures)
      : writer_(writer), pictures_(pictures) {}
  int Text(const unsigned char* bytes, std::size_t size, std::uint32_t) override {
    references_.Feed(bytes, size, *this);
    return kResultOk;
  }
  int Finish() {
    references_.Finish(*this);
    return writer_->WriteRaw("", 0);
  }
  void Plain(const char* text, std::size_t size) {
    for (std::size_t start = 0, i = 0; i <= size; ++i) {
      if (i < size && text[i] != '<') continue;
      writer_->WriteRaw(text + start, i - start);
      if (i < size) writer_->WriteRaw("\\3C ", 4);
      start = i + 1;
    }
  }
  void Reference(const char* text, std::size_t size) {
    const char kEmbed[] = "kindle:embed:";
    std::size_t prefix = sizeof kEmbed - 1;
    std::uint32_t number = 0;
    if (size <= prefix || std::memcmp(text, kEmbed, prefix) != 0 ||
        !Base32Number(text + prefix, size - prefix, &number))
      return Plain(text, size);
    const char* extension = pictures_->Extension(number);
    char name[48];
    int length = std::snprintf(name, sizeof name, "Images/%05lu%s",
                               static_cast<unsigned long>(number), extension ? extension : "");
    writer_->WriteRaw(name, static_cast<std::size_t>(length));
  }

 private:
  HtmlWriter* writer_;
  const PictureNames* pictures_;
  KindleReferences references_;
};

class PartsOut : public BookTextConsumer {
 public:
  explicit PartsOut(HtmlWriter* writer) : writer_(writer) {}
  int Text(const unsigned char* bytes, std::size_t size, std::uint32_t offset) override {
    return writer_->Feed(bytes, size, offset);
  }
  int PartBegins() override {
    writer_->StartPart();
    return kResultOk;
  }

 private:
  HtmlWriter* writer_;
};

int WriteText(HtmlWriter* writer, const char* text) {
  return writer->WriteRaw(text, std::strlen(text));
}

// A KF8 book as one document: the head, the style sheets its parts use,
// then the parts' bodies in order.
int ConvertKf8Html(HtmlJob* job, Kf8Parts* parts) {
  Conversion* conversion = job->book.conversion;
  Kf8Scan scan(parts, &job->targets);
  bool damaged = conversion->damaged;
  int result = parts->text.WriteParts(&scan);
  if (result != kResultOk) return result;
  scan.Finish();
  conversion->damaged = damaged;
  job->targets.Finish();
  ConversionSink sink(conversion);
  BookPictures pictures(conversion, job->book.layout);
  HtmlWriter writer(&sink, &job->targets, &pictures);
  writer.WriteParts(parts);
  WriteText(&writer, "<!DOCTYPE html>\r\n<html><head>\r\n");
  WriteHtmlHead(job->book, &writer);
  for (std::size_t i = 0; i < scan.StyleCount() && result == kResultOk; ++i) {
    const Kf8Flow& flow = parts->tables.flows[scan.Style(i)];
    WriteText(&writer, "<style>\r\n");
    StyleOut style(&writer, &pictures);
    result = parts->text.WriteRange(flow.start, flow.end, &style);
    style.Finish();
    WriteText(&writer, "\r\n</style>\r\n");
  }
  if (result != kResultOk) return result;
  WriteText(&writer, "</head><body>\r\n");
  PartsOut out(&writer);
  result = parts->text.WriteParts(&out);
  // Anchors for targets past the text still go inside the body.
  writer.Finish();
  WriteText(&writer, "\r\n</body></html>\r\n");
  int finished = writer.Finish();
  return result != kResultOk ? result : finished;
}

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
  std::unique_ptr<Kf8Parts> parts;
  result = OpenParts(&job->book, &parts);
  if (result != kResultOk) return result;
  TextOut out(&writer, IsWindows1252(job->book));
  result = DecodeText(&job->book, parts.get(), &out);
  int finished = writer.Finish();
  return result != kResultOk ? result : finished;
}

int ConvertBookHtml(Conversion* conversion) {
  std::unique_ptr<HtmlJob> job(new (std::nothrow) HtmlJob());
  if (!job) return kResultNoMemory;
  int result = OpenBook(conversion, &job->book);
  if (result != kResultOk) return result;
  if (IsEncrypted(job->book)) return kResultNotSupported;
  std::unique_ptr<Kf8Parts> parts;
  result = OpenParts(&job->book, &parts);
  if (result != kResultOk) return result;
  if (parts) return ConvertKf8Html(job.get(), parts.get());
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
