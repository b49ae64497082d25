// Book decoding on its own. An input that is a whole book (a database of
// type BOOK, e.g. a KF8 book with its indexes) is converted to its text and
// its HTML: the indexes read, the parts rebuilt. Any other input holds a
// HUFF record, CDIC records and a text record, each behind a 16-bit
// length; the text record's trailing entries are cut by the flags in the
// first two bytes, the rest decoded and turned into plain text and HTML.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "convert/books/html_writer.hpp"
#include "convert/books/huffman_dictionary.hpp"
#include "convert/books/plain_text_writer.hpp"
#include "convert/books/trailing_entries.hpp"
#include "convert/converters.hpp"
#include "database/archive_state.hpp"
#include "database/result.hpp"
#include "platform/platform.hpp"

namespace {

class NullSink : public ormidal::ByteSink {
 public:
  int Write(const unsigned char*, std::size_t) override { return 0; }
};

class NoPictures : public ormidal::PictureNames {
 public:
  const char* Extension(std::uint32_t number) const override {
    return number % 2 ? ".jpg" : nullptr;
  }
};

struct Piece {
  const uint8_t* data;
  size_t size;
};

bool NextPiece(const uint8_t** data, size_t* size, Piece* piece) {
  if (*size < 2) return false;
  size_t length = (static_cast<size_t>((*data)[0]) << 8) | (*data)[1];
  *data += 2;
  *size -= 2;
  if (length > *size) length = *size;
  *piece = {*data, length};
  *data += length;
  *size -= length;
  return true;
}

std::string WorkFolder() {
  static std::string folder = [] {
    char pattern[] = "/tmp/ormidal-fuzz-books-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) std::abort();
    return std::string(made);
  }();
  return folder;
}

// The text and the HTML of a whole book; the pictures are copies and left out.
void ConvertWholeBook(const uint8_t* data, size_t size) {
  static ormidal::ArchiveState* state = new ormidal::ArchiveState();
  std::string book = WorkFolder() + "/input.mobi";
  std::string output = WorkFolder() + "/out";
  FILE* file = std::fopen(book.c_str(), "wb");
  if (file == nullptr || std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
  if (ormidal::OpenDatabase(book.c_str(), state) == ormidal::kResultOk) {
    ormidal::PlanConvertedEntries(state);
    for (std::uint32_t entry = 0; entry < 2 && entry < state->convertedCount; ++entry) {
      ormidal::platform::File source = ormidal::platform::OpenForReading(book.c_str());
      ormidal::platform::File destination;
      ormidal::platform::CreateForWriting(output.c_str(), false, &destination);
      ormidal::ConvertEntry(*state, entry, source, destination);
      ormidal::platform::Close(&source);
      ormidal::platform::Close(&destination);
    }
    ormidal::ClearArchiveState(state);
  }
  unlink(output.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= 78 && std::memcmp(data + 60, "BOOKMOBI", 8) == 0) {
    ConvertWholeBook(data, size);
    return 0;
  }
  if (size < 2) return 0;
  std::uint16_t flags = static_cast<std::uint16_t>((data[0] << 8) | data[1]);
  data += 2;
  size -= 2;
  std::vector<Piece> pieces;
  Piece piece;
  while (pieces.size() < 8 && NextPiece(&data, &size, &piece)) pieces.push_back(piece);
  if (pieces.size() < 2) return 0;
  const Piece& text = pieces.back();

  std::size_t textSize = 0;
  if (!ormidal::TextSizeOfRecord(text.data, text.size, flags, &textSize)) textSize = text.size;
  if (textSize > text.size) std::abort();

  auto dictionary = std::make_unique<ormidal::HuffmanDictionary>();
  std::size_t total = 0;
  for (size_t i = 1; i + 1 < pieces.size(); ++i) total += pieces[i].size;
  std::vector<unsigned char> out(4096);
  std::size_t produced = 0;
  if (dictionary->LoadTables(pieces[0].data, pieces[0].size) && total > 0 &&
      dictionary->ReservePhrases(total)) {
    for (size_t i = 1; i + 1 < pieces.size(); ++i)
      if (!dictionary->AddPhrases(pieces[i].data, pieces[i].size)) break;
    dictionary->Decode(text.data, textSize, out.data(), out.size(), &produced);
    if (produced > out.size()) std::abort();
  }
  if (produced == 0) {
    produced = textSize < out.size() ? textSize : out.size();
    for (size_t i = 0; i < produced; ++i) out[i] = text.data[i];
  }
  NullSink sink;
  ormidal::PlainTextWriter writer(&sink);
  writer.Feed(out.data(), produced);
  writer.Finish();
  auto targets = std::make_unique<ormidal::LinkTargets>();
  targets->Feed(out.data(), produced);
  targets->Finish();
  NoPictures pictures;
  auto html = std::make_unique<ormidal::HtmlWriter>(&sink, targets.get(), &pictures);
  html->Feed(out.data(), produced / 2, 0);
  html->Feed(out.data() + produced / 2, produced - produced / 2,
             static_cast<uint32_t>(produced / 2));
  html->Finish();
  return 0;
}
