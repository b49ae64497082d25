// Mobipocket books: built ones in every coding, with trailing entries,
// pictures and damage, and a real Huffman-coded book against its source.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <sstream>

#include "convert/books/html_writer.hpp"
#include "convert/books/kf8_index.hpp"
#include "convert/books/trailing_entries.hpp"
#include "convert/charset.hpp"
#include "convert/converters.hpp"
#include "database/archive_state.hpp"
#include "database/result.hpp"
#include "support/book_builder.hpp"

namespace ormidal::testing {
namespace {

const std::string kUtf8Bom = "\xEF\xBB\xBF";
const Bytes kJpeg = {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3, 4, 5};
const Bytes kPng = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 9, 9};

struct Entry {
  int result = -1;
  std::string bytes;
};

struct OpenedBook {
  TempDir dir;
  std::unique_ptr<ArchiveState> state = std::make_unique<ArchiveState>();
  std::string path;

  explicit OpenedBook(const std::string& file) : path(file) {
    EXPECT_EQ(OpenDatabase(path.c_str(), state.get()), kResultOk);
    PlanConvertedEntries(state.get());
  }
  Entry Convert(std::uint32_t index) {
    Entry entry;
    platform::File source = platform::OpenForReading(path.c_str());
    platform::File destination;
    std::string out = dir.File("out");
    platform::CreateForWriting(out.c_str(), false, &destination);
    entry.result = ConvertEntry(*state, index, source, destination);
    platform::Close(&source);
    platform::Close(&destination);
    Bytes bytes = ReadFileBytes(out);
    entry.bytes.assign(bytes.begin(), bytes.end());
    return entry;
  }
};

std::string WriteBook(const TempDir& dir, const BookShape& shape) {
  return BuildBook(shape).WriteTo(dir.File("book.mobi"));
}

// The text after the metadata and the empty line that ends it.
std::string BodyOf(const std::string& text) {
  std::size_t cut = text.find("\r\n\r\n");
  return cut == std::string::npos ? std::string() : text.substr(cut + 4);
}

struct TextCase {
  const char* name;
  BookShape shape;
  int result;
  std::string body;
};

BookShape Shape(BookCoding coding, std::vector<std::string> records,
                std::vector<std::string> overlaps = {}, std::uint32_t encoding = 65001) {
  BookShape shape;
  shape.coding = coding;
  shape.records = std::move(records);
  shape.overlaps = std::move(overlaps);
  shape.encoding = encoding;
  return shape;
}

TEST(BookText, EveryCodingGivesTheText) {
  BookShape selfReferring = Shape(BookCoding::kHuffman, {"<p>ok</p><p>then the end"});
  selfReferring.selfReferringPhrase = true;
  BookShape noEntries = Shape(BookCoding::kLz77, {"<p>plain</p>"});
  noEntries.indexEntry = false;
  const TextCase cases[] = {
      {"lz77, a character split over two records, its overlap bytes dropped",
       Shape(BookCoding::kLz77, {"<p>Za\xC5", "\xBC\xC3\xB3\xC5\x82w</p>"}, {"\xBC", ""}),
       kResultOk, "Za\xC5\xBC\xC3\xB3\xC5\x82w\r\n"},
      {"uncompressed Windows-1252, references decoded",
       Shape(BookCoding::kNone, {"<p>caf\xE9 &amp; cr&egrave;me&#33; &#x263A;</p>"}, {}, 1252),
       kResultOk, "caf\xC3\xA9 & cr\xC3\xA8me! \xE2\x98\xBA\r\n"},
      {"huffman with a nested phrase",
       Shape(BookCoding::kHuffman, {"<h1>the title</h1><p>over the hill<br/>and the dale</p>"}),
       kResultOk, "the title\r\n\r\nover the hill\r\nand the dale\r\n"},
      {"lines, paragraphs, page breaks and white space",
       Shape(BookCoding::kLz77, {"<html><head><title>x</title></head><body><p>a   b\n c</p>"
                                 "<mbp:pagebreak/><ul><li>one</li><li>two</li></ul>"
                                 "<table><tr><td>1</td><td>2</td></tr></table><!-- <p>no</p> -->"}),
       kResultOk, "a b c\r\n\r\none\r\ntwo\r\n\r\n1 2\r\n"},
      {"no trailing entries at all", noEntries, kResultOk, "plain\r\n"},
      {"a phrase that refers to itself keeps what came before", selfReferring, kResultBadData,
       "ok\r\n\r\nthen A\r\n"},
  };
  for (const TextCase& test : cases) {
    SCOPED_TRACE(test.name);
    TempDir dir;
    OpenedBook book(WriteBook(dir, test.shape));
    Entry text = book.Convert(0);
    EXPECT_EQ(text.result, test.result);
    ASSERT_EQ(text.bytes.rfind(kUtf8Bom, 0), 0u);
    EXPECT_EQ(BodyOf(text.bytes), test.body);
  }
}

TEST(BookText, DamagedRecordsKeepWhatDecoded) {
  struct Damage {
    const char* name;
    std::size_t record;
    Bytes bytes;
  };
  const Damage cases[] = {
      // The index entry's size (0xFF: 127) reaches past the record's start.
      {"trailing entry past its record", 1, {'x', 0x00, 0xFF}},
      {"lz77 distance before the record", 1, {'x', 0x80, 0x50, 0x00, 0x81}},
  };
  for (const Damage& test : cases) {
    SCOPED_TRACE(test.name);
    TempDir dir;
    BookShape shape = Shape(BookCoding::kLz77, {"<p>kept</p>", "<p>lost</p>"}, {"", ""});
    shape.rawRecords.resize(test.record);
    shape.rawRecords.push_back(test.bytes);
    OpenedBook book(WriteBook(dir, shape));
    Entry text = book.Convert(0);
    EXPECT_EQ(text.result, kResultBadData);
    EXPECT_EQ(BodyOf(text.bytes).substr(0, 6), "kept\r\n");
  }
}

TEST(BookText, TrailingEntrySizes) {
  struct Case {
    Bytes record;
    std::uint16_t flags;
    bool ok;
    std::size_t text;
  };
  const Case cases[] = {
      {{'a', 'b', 0x00, 0x82, 0x80, 0x83}, 3, true, 2},         // overlap count 0, entry of 3
      {{'a', 0x97, 0xA5, 0x02, 0x84, 0, 0, 0x84}, 3, true, 1},  // two overlap bytes
      {{'a', 0x88}, 2, false, 0},                               // an entry longer than the record
      {{'a', 0x81}, 2, true, 1},
      {{'a', 'b', 'c', 0x01, 0x02}, 2, false, 0},  // size never marked
      {{0x03}, 1, false, 0},                       // overlap count past the start
      {{'a', 'b'}, 0, true, 2},
  };
  for (const Case& test : cases) {
    std::size_t text = 99;
    EXPECT_EQ(TextSizeOfRecord(test.record.data(), test.record.size(), test.flags, &text), test.ok);
    if (test.ok) {
      EXPECT_EQ(text, test.text);
    }
  }
}

}  // namespace
}  // namespace ormidal::testing

namespace ormidal::testing {
namespace {

std::string Filepos(std::size_t target) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%010zu", target);
  return digits;
}

TEST(BookEntries, PicturesAreListedAndLinksWork) {
  // Picture 2 is no picture; the numbering still counts it.
  const std::string head = "<html><body><p><a filepos=";
  const std::string rest = ">jump</a></p><img recindex=\"00003\" hirecindex=\"00001\">";
  const std::string target = "<p>target</p>";
  std::string markup = head + "0000000000" + rest + target;
  markup.replace(head.size(), 10, Filepos(head.size() + 10 + rest.size()));
  BookShape shape = Shape(BookCoding::kLz77, {markup.substr(0, 40), markup.substr(40)}, {"", ""});
  shape.pictures = {kJpeg, ToBytes("FLIS0000"), kPng};
  shape.metadata = {{100, "Ann & Bo"}, {100, "Cy"}, {503, "The <Title>"}};
  TempDir dir;
  OpenedBook book(WriteBook(dir, shape));
  const ArchiveState& state = *book.state;
  ASSERT_EQ(state.convertedCount, 4u);
  EXPECT_STREQ(state.convertedEntries[1].extension, ".html");
  struct Picture {
    std::uint16_t number;
    const char* extension;
    const Bytes& bytes;
  };
  const Picture pictures[] = {{1, ".jpg", kJpeg}, {3, ".png", kPng}};
  for (std::uint32_t i = 0; i < 2; ++i) {
    const ConvertedEntry& entry = state.convertedEntries[2 + i];
    EXPECT_EQ(entry.naming, ConvertedNaming::kNumbered);
    EXPECT_EQ(entry.number, pictures[i].number);
    EXPECT_STREQ(entry.extension, pictures[i].extension);
    Entry picture = book.Convert(2 + i);
    EXPECT_EQ(picture.result, kResultOk);
    EXPECT_EQ(picture.bytes, std::string(pictures[i].bytes.begin(), pictures[i].bytes.end()));
  }
  Entry text = book.Convert(0);
  const std::string start =
      kUtf8Bom + "Title: The <Title>\r\nAuthor: Ann & Bo\r\nAuthor: Cy\r\n\r\njump\r\n";
  EXPECT_EQ(text.bytes.substr(0, start.size()), start);
  Entry html = book.Convert(1);
  EXPECT_EQ(html.result, kResultOk);
  std::string anchor = "filepos" + std::to_string(head.size() + 10 + rest.size());
  const std::string wanted[] = {
      "<meta charset=\"utf-8\">",
      "<title>The &lt;Title&gt;</title>",
      "<meta name=\"author\" content=\"Ann &amp; Bo\">",
      "<a href=\"#" + anchor + "\">jump</a>",
      "<img src=\"Images/00003.png\">",
      "<a id=\"" + anchor + "\"></a><p>target</p>",
  };
  for (const std::string& piece : wanted)
    EXPECT_NE(html.bytes.find(piece), std::string::npos) << piece;
}

TEST(BookEntries, EncryptedTextIsRefusedPicturesAreNot) {
  BookShape shape = Shape(BookCoding::kLz77, {"<p>secret</p>"});
  shape.encryption = 2;
  shape.pictures = {kPng};
  TempDir dir;
  OpenedBook book(WriteBook(dir, shape));
  ASSERT_EQ(book.state->convertedCount, 3u);
  for (std::uint32_t entry : {0u, 1u}) {
    Entry refused = book.Convert(entry);
    EXPECT_EQ(refused.result, kResultNotSupported);
    EXPECT_TRUE(refused.bytes.empty());
  }
  EXPECT_EQ(book.Convert(2).bytes, std::string(kPng.begin(), kPng.end()));
}

// A real Huffman-coded book, against the source it was made from: the same
// words, once the source's markup is gone.
TEST(BookEntries, RealHuffmanBookGivesItsSource) {
  const std::string folder = ORMIDAL_BOOK_SAMPLES;
  Bytes source = ReadFileBytes(folder + "/main.htm");
  std::string utf8;
  for (unsigned char byte : source) {
    char bytes[4];
    utf8.append(bytes, EncodeUtf8(CodePointOfWindows1252(byte), bytes));
  }
  utf8 = std::regex_replace(utf8, std::regex("</?(b|a|i|tei-ms:orth)\\b[^>]*>"), "");
  utf8 = std::regex_replace(utf8, std::regex("<[^>]*>|&nbsp;"), " ");
  OpenedBook book(folder + "/hufftest.mobi");
  Entry text = book.Convert(0);
  EXPECT_EQ(text.result, kResultOk);
  EXPECT_EQ(text.bytes.find("Title: Space Encyclopedia (HUFF/CDIC test)\r\nAuthor: Mobipocket\r\n"),
            kUtf8Bom.size());
  std::istringstream wanted(utf8);
  std::istringstream got(BodyOf(text.bytes));
  std::vector<std::string> wantedWords, gotWords;
  for (std::string word; wanted >> word;) wantedWords.push_back(word);
  for (std::string word; got >> word;) gotWords.push_back(word);
  EXPECT_EQ(gotWords, wantedWords);
  EXPECT_GT(gotWords.size(), 100u);
}

}  // namespace
}  // namespace ormidal::testing

namespace ormidal::testing {
namespace {

// More distinct link targets than the table holds: the table stays full
// and sorted, repeats cost nothing, and the first targets keep their place.
TEST(BookEntries, LinkTargetsStayBounded) {
  auto targets = std::make_unique<LinkTargets>();
  std::string markup;
  for (std::size_t i = 0; i < LinkTargets::kCapacity + 100; ++i)
    markup += "<a filepos=" + std::to_string(i % 2 ? i : 10000000 - i) + ">";
  markup += "<a FILEPOS=\"7\">";
  targets->Feed(reinterpret_cast<const unsigned char*>(markup.data()), markup.size());
  targets->Finish();
  ASSERT_EQ(targets->Count(), LinkTargets::kCapacity);
  for (std::size_t i = 1; i < targets->Count(); ++i) ASSERT_LT(targets->At(i - 1), targets->At(i));
}

// However the decoded text is cut into pieces, the same links are found: a
// name or a value may be split anywhere.
TEST(BookEntries, LinkTargetsFindLinksCutByPieceEnds) {
  const std::string markup =
      "<a filepos=12>x</a><A FILEPOS=\"0034\">ffilepos=5 filepos='77' filepos= "
      "fileposition=9 <a filepos=4294967295>filepos=6";
  const std::vector<std::uint32_t> expected = {5, 6, 12, 34, 77, 4294967295u};
  for (std::size_t piece = 1; piece <= markup.size(); ++piece) {
    auto targets = std::make_unique<LinkTargets>();
    for (std::size_t at = 0; at < markup.size(); at += piece) {
      std::size_t size = std::min(piece, markup.size() - at);
      targets->Feed(reinterpret_cast<const unsigned char*>(markup.data() + at), size);
    }
    targets->Finish();
    std::vector<std::uint32_t> found;
    for (std::size_t i = 0; i < targets->Count(); ++i) found.push_back(targets->At(i));
    ASSERT_EQ(found, expected) << "pieces of " << piece;
  }
}

}  // namespace
}  // namespace ormidal::testing

namespace ormidal::testing {
namespace {

// Two parts: the first's fragments go inside its <div> and after it, the
// second links back into the first; a style sheet with a picture; a
// fragment long enough to span text records.
BookShape Kf8Book() {
  const std::string head =
      "<?xml version=\"1.0\"?><html><head><title>x</title><link rel=\"stylesheet\" "
      "href=\"kindle:flow:0001?mime=text/css\"/></head>";
  BookShape shape;
  shape.encoding = 65001;
  const std::string first = head + "<body aid=\"0\"><div></div><p>tail</p></body></html>";
  const std::int64_t inDiv = static_cast<std::int64_t>(first.find("</div>"));
  const std::string one = "<p>One " + std::string(5000, 'w') + "</p>";
  shape.parts.push_back({first, {{inDiv, one}, {inDiv + 6 + one.size(), "<p>Two</p>"}}});
  const std::string second = head + "<body></body></html>";
  shape.parts.push_back({second,
                         {{static_cast<std::int64_t>(second.find("</body>")),
                           "<h2>Target</h2><p><a href=\"kindle:pos:fid:0002:off:0000000002\">"
                           "back</a></p>"}}});
  shape.flows = {"p{background:url(kindle:embed:0001?mime=image/png)} a<b{}"};
  shape.pictures = {kPng};
  return shape;
}

TEST(Kf8Book, PartsAreRebuiltInOrder) {
  const std::string wholeText =
      "One " + std::string(5000, 'w') + "\r\n\r\nTwo\r\n\r\ntail\r\n\r\nTarget\r\n\r\nback\r\n";
  BookShape beforeSkeleton = Kf8Book(), pastEnd = Kf8Book(), unended = Kf8Book(),
            noIndex = Kf8Book();
  beforeSkeleton.parts[1].fragments[0].first = -1;
  pastEnd.parts[0].fragments[1].first = 100000;
  unended.unendedFragmentNumber = true;
  noIndex.skeletonIndexOnText = true;
  const TextCase cases[] = {
      {"whole", Kf8Book(), kResultOk, wholeText},
      {"a fragment placed before its skeleton", beforeSkeleton, kResultBadData,
       wholeText.substr(0, wholeText.find("\r\nTarget"))},
      {"an insert position past the part's end is its end", pastEnd, kResultBadData,
       "One " + std::string(5000, 'w') + "\r\n\r\ntail\r\n\r\nTwo\r\n\r\nTarget\r\n\r\nback\r\n"},
      {"a number without an end", unended, kResultBadData,
       wholeText.substr(0, wholeText.find("\r\nTarget"))},
      {"a skeleton index that is no index", noIndex, kResultBadData, ""},
  };
  for (const TextCase& test : cases) {
    SCOPED_TRACE(test.name);
    TempDir dir;
    OpenedBook book(WriteBook(dir, test.shape));
    Entry text = book.Convert(0);
    EXPECT_EQ(text.result, test.result);
    EXPECT_EQ(BodyOf(text.bytes), test.body);
  }
}

TEST(Kf8Book, HtmlIsOneDocumentWithWorkingLinks) {
  BookShape shape = Kf8Book();
  TempDir dir;
  OpenedBook book(WriteBook(dir, shape));
  Entry html = book.Convert(1);
  EXPECT_EQ(html.result, kResultOk);
  // The link's target: the second part's fragment, two bytes in, which is
  // inside its first tag.
  const std::string& second = shape.parts[1].skeleton;
  std::size_t first = shape.parts[0].skeleton.size() + shape.parts[0].fragments[0].second.size() +
                      shape.parts[0].fragments[1].second.size();
  std::string anchor = "filepos" + std::to_string(first + second.find("</body>") + 2);
  const std::string wanted[] = {
      "<style>\r\np{background:url(Images/00001.png)} a\\3C b{}\r\n</style>",
      "</head><body>\r\n<div  aid=\"0\"><div><p>One w",
      "</p></div><p>Two</p><p>tail</p></div ><div >",
      "<h2><a id=\"" + anchor + "\"></a>Target</h2><p><a href=\"#" + anchor + "\">back</a>",
  };
  for (const std::string& piece : wanted)
    EXPECT_NE(html.bytes.find(piece), std::string::npos) << piece;
  for (const char* gone : {"<?xml", "<title>x</title>", "kindle:", "<body aid", "</html><"})
    EXPECT_EQ(html.bytes.find(gone), std::string::npos) << gone;
  EXPECT_EQ(html.bytes.find("<style>", html.bytes.find("</style>")), std::string::npos);
}

}  // namespace
}  // namespace ormidal::testing

namespace ormidal::testing {
namespace {

// The tag walk: groups of values, values given by byte count, the end flag
// moving on to the next control byte, and entries that lie.
TEST(Kf8Book, IndexEntriesDecode) {
  IndexTags tags{{{1, 1, 0x03, false},
                  {6, 2, 0x0C, false},
                  {0, 0, 0, true},
                  {7, 1, 0x01, false},
                  {0, 0, 0, true}},
                 5,
                 2};
  using Values = std::vector<std::pair<int, std::uint32_t>>;
  struct Case {
    const char* name;
    Bytes entry;
    bool ok;
    Values values;
  };
  const Case cases[] = {
      {"two groups of one", {2, 'a', 'b', 0x02, 0x00, 0x81, 0x82}, true, {{1, 1}, {1, 2}}},
      {"by byte count, then the next control byte",
       {0, 0x0C, 0x01, 0x83, 0x01, 0x80, 0x85, 0x89},
       true,
       {{6, 128}, {6, 5}, {7, 9}}},
      {"a number past 32 bits", {0, 0x01, 0x00, 0x7F, 0x7F, 0x7F, 0x7F, 0xFF}, false, {}},
      {"a label past the entry", {9, 'a', 0x01, 0x00}, false, {}},
      {"a number that never ends", {0, 0x01, 0x00, 0x01}, false, {}},
      {"a byte count past the entry", {0, 0x0C, 0x00, 0x85, 0x81}, false, {}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    IndexEntry entry;
    ASSERT_EQ(ParseIndexEntry(tags, test.entry.data(), test.entry.size(), &entry), test.ok);
    if (!test.ok) continue;
    Values values;
    for (std::size_t i = 0; i < entry.valueCount; ++i)
      values.push_back({entry.valueTag[i], entry.value[i]});
    EXPECT_EQ(values, test.values);
  }
}

}  // namespace
}  // namespace ormidal::testing

namespace ormidal::testing {
namespace {

struct Collected {
  std::string plain, references;
  void Plain(const char* text, std::size_t size) { plain.append(text, size); }
  void Reference(const char* text, std::size_t size) {
    references.append(text, size);
    references += '|';
  }
};

// However the stream is cut, every reference comes out whole and every
// other byte as text, in order.
TEST(Kf8Book, ReferencesSurviveEveryCut) {
  const std::string stream =
      "kkindle:pos:fid:0001:off:0000000002\" kindlX url(kindle:embed:0003?mime=image/png)"
      " kindle:" +
      std::string(100, 'z') + " end kindle:flow:0002";
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    SCOPED_TRACE(cut);
    KindleReferences references;
    Collected out;
    const auto* bytes = reinterpret_cast<const unsigned char*>(stream.data());
    references.Feed(bytes, cut, out);
    references.Feed(bytes + cut, stream.size() - cut, out);
    references.Finish(out);
    EXPECT_EQ(out.references,
              "kindle:pos:fid:0001:off:0000000002|kindle:embed:0003?mime=image/png|"
              "kindle:flow:0002|");
    EXPECT_EQ(out.plain, "k\" kindlX url() kindle:" + std::string(100, 'z') + " end ");
  }
}

}  // namespace
}  // namespace ormidal::testing
