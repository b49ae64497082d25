#include <gtest/gtest.h>
#include <zlib.h>

#include <memory>
#include <random>
#include <string>

#include "convert/converters.hpp"
#include "database/byte_order.hpp"
#include "plugin/interface.hpp"
#include "support/conversion_run.hpp"
#include "support/database_builder.hpp"
#include "support/lz77_encoder.hpp"

namespace ormidal {
namespace {

using testing::Bytes;
using testing::Converted;
using testing::ConvertFile;
using testing::CopyCode;
using testing::DatabaseBuilder;
using testing::DocumentHeader;
using testing::EncodeLz77;
using testing::TempDir;
using testing::ToBytes;

Converted Convert(const DatabaseBuilder& builder) {
  TempDir dir;
  return ConvertFile(builder.WriteTo(dir.File("db.pdb")));
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

bool StartsWith(const Bytes& whole, const Bytes& prefix) {
  return whole.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), whole.begin());
}

// ---- Documents ----

TEST(ConvertDocument, FiltersTheTextRecordsAndLeavesBookmarksOut) {
  DatabaseBuilder builder;
  builder.Kind("TEXt", "REAd")
      .AddRecord(DocumentHeader(1, 14, 2))
      .AddRecord(Bytes{'a', 'b', 0x0D, 0x0A, 'c', 0x09, 0x00, 0xE9})
      .AddRecord("line\n")
      .AddRecord("BOOKMARK\n");
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultOk);
  EXPECT_EQ(converted.bytes,
            Concat({{'a', 'b', 0x0D, 0x0A, 'c', 0x09, 0xE9}, ToBytes("line\r\n")}));
}

TEST(ConvertDocument, DecodesCompressedRecordsEachOnItsOwn) {
  Bytes first = ToBytes("The quick brown fox\njumps over the lazy dog. The quick brown fox.\n");
  Bytes second = ToBytes("caf\xE9 au lait, caf\xE9 au lait, caf\xE9\r\n");
  DatabaseBuilder builder;
  builder.Kind("TEXt", "REAd")
      .AddRecord(DocumentHeader(2, 0, 2))
      .AddRecord(EncodeLz77(first))
      .AddRecord(EncodeLz77(second))
      .AddRecord(Bytes{0x80, 0x00, 0x05});  // a bookmark, not LZ77
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultOk);
  EXPECT_EQ(converted.bytes,
            ToBytes("The quick brown fox\r\njumps over the lazy dog. The quick brown fox.\r\n"
                    "caf\xE9 au lait, caf\xE9 au lait, caf\xE9\r\n"));
}

TEST(ConvertDocument, DamagedRecordKeepsItsDecodedStartAndTheNextRecord) {
  // The second record's copy reaches before its own first byte, although
  // the first record's output lies there.
  DatabaseBuilder builder;
  builder.Kind("TEXt", "REAd")
      .AddRecord(DocumentHeader(2, 0, 4))
      .AddRecord(ToBytes("first "))
      .AddRecord(Concat({ToBytes("ab"), CopyCode(3, 3), ToBytes("lost")}))
      .AddRecord(Concat({ToBytes("cut"), {0x06, 'x'}}))
      .AddRecord(ToBytes(" last"));
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultBadData);
  EXPECT_EQ(converted.bytes, ToBytes("first abcut last"));
}

Bytes LongText(std::size_t size) {
  Bytes text;
  unsigned line = 0;
  while (text.size() < size) {
    std::string piece =
        "Line " + std::to_string(line * 7919 % 10007) + ": some caf\xE9 text\tend\n";
    text.insert(text.end(), piece.begin(), piece.end());
    ++line;
  }
  text.resize(size);
  return text;
}

Bytes Filtered(const Bytes& text) {
  Bytes out;
  for (unsigned char byte : text) {
    if (byte == 0x0A) out.push_back(0x0D);
    if (byte == 0x0A || byte == 0x09 || byte >= 0x20) out.push_back(byte);
  }
  return out;
}

TEST(ConvertDocument, DecodesRecordsLargerThanItsBuffers) {
  // One record of 300 KB of text, and one that expands fivefold to 600 KB:
  // both are decoded in pieces, with copies reaching across the pieces.
  Bytes text = LongText(300000);
  Bytes repeated(600000, 'a');
  DatabaseBuilder builder;
  builder.Kind("TEXt", "REAd")
      .AddRecord(DocumentHeader(2, 0, 2))
      .AddRecord(EncodeLz77(text))
      .AddRecord(EncodeLz77(repeated));
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultOk);
  ASSERT_EQ(converted.bytes.size(), Filtered(text).size() + repeated.size());
  EXPECT_EQ(converted.bytes, Concat({Filtered(text), repeated}));
}

// Uncompressed records side by side are copied as one stretch, which must
// still stop at the last text record, across read chunks. (Records stored
// out of order are in ClippedTextRecordGivesTheBytesThatExist.)
TEST(ConvertDocument, UncompressedRecordsSideBySideGiveTheirTextAndNoMore) {
  Bytes text = LongText(700 * 1024 + 5);
  DatabaseBuilder builder;
  builder.Kind("TEXt", "REAd").AddRecord(DocumentHeader(1, 0, 176));
  for (std::size_t at = 0; at < text.size(); at += 4096) {
    auto end = text.begin() + static_cast<std::ptrdiff_t>(std::min(at + 4096, text.size()));
    builder.AddRecord(Bytes(text.begin() + static_cast<std::ptrdiff_t>(at), end));
  }
  builder.AddRecord("BOOKMARK\n");
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultOk);
  ASSERT_EQ(converted.bytes.size(), Filtered(text).size());
  EXPECT_EQ(converted.bytes, Filtered(text));
}

TEST(ConvertDocument, WithoutAUsableHeaderEverythingFromRecordOneIsText) {
  struct Case {
    const char* what;
    Bytes header;
  } cases[] = {
      {"no text records", DocumentHeader(1, 0, 0)},
      {"more text records than there are", DocumentHeader(1, 0, 3)},
      {"unknown compression", DocumentHeader(17, 0, 1)},
      {"short header", ToBytes("short")},
  };
  for (const Case& c : cases) {
    DatabaseBuilder builder;
    builder.Kind("TEXt", "REAd").AddRecord(c.header).AddRecord("one\n").AddRecord("two\x01");
    Converted converted = Convert(builder);
    EXPECT_EQ(converted.result, kResultOk) << c.what;
    EXPECT_EQ(converted.bytes, ToBytes("one\r\ntwo")) << c.what;
  }
}

TEST(ConvertDocument, FewerThanTwoRecordsPassTheWholeFile) {
  DatabaseBuilder builder;
  builder.Name("solo").Kind("TEXt", "REAd").AddRecord("only\n");
  TempDir dir;
  std::string path = builder.WriteTo(dir.File("solo.pdb"));
  Converted converted = ConvertFile(path);
  EXPECT_EQ(converted.result, kResultOk);
  EXPECT_EQ(converted.bytes, Filtered(testing::ReadFileBytes(path)));
}

TEST(ConvertDocument, UnknownKindIsReadAsADocument) {
  DatabaseBuilder builder;
  builder.Kind("ABCD", "EFGH").AddRecord(DocumentHeader(1, 3, 1)).AddRecord("hi\n");
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultOk);
  EXPECT_EQ(converted.bytes, ToBytes("hi\r\n"));
}

TEST(ConvertDocument, TextBeyondTheEndOfTheFileIsEmptyAndBadData) {
  DatabaseBuilder builder;
  builder.Kind("TEXt", "REAd").AddRecord("r0").AddRecord("text").StatedOffsets({94, 5000});
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultBadData);
  EXPECT_TRUE(converted.bytes.empty());
}

TEST(ConvertDocument, ClippedTextRecordGivesTheBytesThatExist) {
  DatabaseBuilder builder;
  builder.Kind("TEXt", "REAd")
      .AddRecord(DocumentHeader(1, 0, 2))
      .AddRecord("abc")
      .AddRecord("defgh");
  builder.StatedOffsets({builder.OffsetOf(0), builder.OffsetOf(2), builder.OffsetOf(1)});
  // Record 1 now starts after record 2 and wraps; record 2 runs to the end.
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultBadData);
  EXPECT_EQ(converted.bytes, ToBytes("defghabcdefgh"));
}

// ---- Compressed text ----

// Deflates `pieces` as one stream, each piece ending in a full flush as a
// random-access compressed text does per record.
std::vector<Bytes> DeflatePieces(const std::vector<Bytes>& pieces) {
  z_stream stream{};
  EXPECT_EQ(deflateInit(&stream, Z_BEST_COMPRESSION), Z_OK);
  std::vector<Bytes> records;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    Bytes in = pieces[i];
    Bytes out(deflateBound(&stream, in.size()) + 64);
    stream.next_in = in.data();
    stream.avail_in = static_cast<uInt>(in.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    int flush = i + 1 == pieces.size() ? Z_FINISH : Z_FULL_FLUSH;
    int status = deflate(&stream, flush);
    EXPECT_EQ(status, flush == Z_FINISH ? Z_STREAM_END : Z_OK);
    out.resize(out.size() - stream.avail_out);
    records.push_back(out);
  }
  deflateEnd(&stream);
  return records;
}

DatabaseBuilder CompressedDatabase(const std::vector<Bytes>& records) {
  DatabaseBuilder builder;
  builder.Kind("zTXT", "GPlm").AddRecord(Bytes(20, 0x01));
  for (const Bytes& record : records) builder.AddRecord(record);
  return builder;
}

TEST(ConvertCompressedText, InflatesTenfoldExpansionWhole) {
  Bytes text = LongText(1000);
  Bytes repeated;
  while (repeated.size() < 400000) repeated.insert(repeated.end(), text.begin(), text.end());
  std::vector<Bytes> records = DeflatePieces({repeated});
  ASSERT_GT(repeated.size(), 10 * records[0].size());
  Converted converted = Convert(CompressedDatabase(records));
  EXPECT_EQ(converted.result, kResultOk);
  EXPECT_EQ(converted.bytes, Filtered(repeated));
}

TEST(ConvertCompressedText, FullFlushRecordsEndAtTheStreamEndBeforeTheBookmark) {
  std::vector<Bytes> pieces = {LongText(4096), ToBytes("second record\n"), LongText(3000)};
  std::vector<Bytes> records = DeflatePieces(pieces);
  records.push_back(ToBytes("Bookmark\0\0\0\x10"));
  Converted converted = Convert(CompressedDatabase(records));
  EXPECT_EQ(converted.result, kResultOk);
  EXPECT_EQ(converted.bytes, Filtered(Concat({pieces[0], pieces[1], pieces[2]})));
}

TEST(ConvertCompressedText, DamagedOrTruncatedStreamKeepsWhatWasInflated) {
  std::vector<Bytes> pieces = {LongText(5000), LongText(5000)};
  std::vector<Bytes> records = DeflatePieces(pieces);
  Bytes expectedStart = Filtered(pieces[0]);

  std::vector<Bytes> damaged = records;
  for (std::size_t i = 0; i < 16 && i < damaged[1].size(); ++i) damaged[1][i] ^= 0xA5;
  Converted fromDamaged = Convert(CompressedDatabase(damaged));
  EXPECT_EQ(fromDamaged.result, kResultBadData);
  EXPECT_TRUE(StartsWith(fromDamaged.bytes, expectedStart));
  EXPECT_LT(fromDamaged.bytes.size(), Filtered(Concat({pieces[0], pieces[1]})).size());

  std::vector<Bytes> truncated = {records[0]};
  Converted fromTruncated = Convert(CompressedDatabase(truncated));
  EXPECT_EQ(fromTruncated.result, kResultBadData);
  EXPECT_EQ(fromTruncated.bytes, expectedStart);
}

// The four bytes after the deflated data check the whole text: a wrong or
// missing check is damage, though every byte of text was inflated.
TEST(ConvertCompressedText, AWrongOrMissingCheckIsDamageAfterTheWholeText) {
  std::vector<Bytes> pieces = {LongText(5000), LongText(3000)};
  std::vector<Bytes> records = DeflatePieces(pieces);
  Bytes whole = Filtered(Concat({pieces[0], pieces[1]}));

  std::vector<Bytes> wrong = records;
  wrong.back().back() ^= 0x01;
  Converted fromWrong = Convert(CompressedDatabase(wrong));
  EXPECT_EQ(fromWrong.result, kResultBadData);
  EXPECT_EQ(fromWrong.bytes, whole);

  std::vector<Bytes> cut = records;
  cut.back().resize(cut.back().size() - 2);
  Converted fromCut = Convert(CompressedDatabase(cut));
  EXPECT_EQ(fromCut.result, kResultBadData);
  EXPECT_EQ(fromCut.bytes, whole);
}

// `text` as a zlib stream of stored (uncompressed) blocks.
Bytes StoredStream(Bytes text) {
  z_stream deflater{};
  EXPECT_EQ(deflateInit(&deflater, Z_NO_COMPRESSION), Z_OK);
  Bytes stream(deflateBound(&deflater, text.size()) + 64);
  deflater.next_in = text.data();
  deflater.avail_in = static_cast<uInt>(text.size());
  deflater.next_out = stream.data();
  deflater.avail_out = static_cast<uInt>(stream.size());
  EXPECT_EQ(deflate(&deflater, Z_FINISH), Z_STREAM_END);
  stream.resize(stream.size() - deflater.avail_out);
  deflateEnd(&deflater);
  return stream;
}

// The source is read in chunks of a few hundred kilobytes from the start of
// the text; a check split between two chunks is found all the same. Stored
// blocks make the stream's length easy to choose: every split of its last
// four bytes around each power-of-two boundary from 128 KiB to 1 MiB is tried.
TEST(ConvertCompressedText, ACheckSplitBetweenReadChunksIsFound) {
  std::mt19937 random(3);
  int tried = 0;
  for (std::size_t boundary = 128 * 1024; boundary <= 1024 * 1024; boundary *= 2) {
    for (std::size_t before = 1; before <= 3; ++before) {
      std::size_t wanted = boundary + 4 - before;  // stream length in bytes
      // Each stored block adds five bytes; the stream six more.
      Bytes text(wanted - 6 - 5 * (wanted / 65535 + 1));
      for (unsigned char& byte : text) byte = static_cast<unsigned char>(0x20 + random() % 0x60);
      Bytes stream = StoredStream(text);
      while (stream.size() < wanted) {
        text.push_back('t');
        stream = StoredStream(text);
      }
      if (stream.size() != wanted) continue;  // a new block jumped past it
      ++tried;
      Converted converted = Convert(CompressedDatabase({stream, ToBytes("Bookmark")}));
      EXPECT_EQ(converted.result, kResultOk) << "boundary " << boundary << " split " << before;
      EXPECT_TRUE(converted.bytes == Filtered(text));
    }
  }
  EXPECT_GE(tried, 9);
}

TEST(ConvertCompressedText, FewerThanTwoRecordsIsNoStream) {
  DatabaseBuilder builder;
  builder.Kind("zTXT", "GPlm").AddRecord(DeflatePieces({ToBytes("text")})[0]);
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultBadData);
  EXPECT_TRUE(converted.bytes.empty());
}

// ---- Photos ----

TEST(ConvertPhoto, ConcatenatesPayloadsWithoutPrefixes) {
  DatabaseBuilder builder;
  builder.Kind("Foto", "Foto");
  Bytes expected;
  for (int r = 0; r < 3; ++r) {
    Bytes record(8, static_cast<unsigned char>(0xF0 + r));
    for (int i = 0; i < 100; ++i) record.push_back(static_cast<unsigned char>(r * 100 + i));
    expected.insert(expected.end(), record.begin() + 8, record.end());
    builder.AddRecord(record);
  }
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultOk);
  EXPECT_EQ(converted.bytes.size(), 300u);
  EXPECT_EQ(converted.bytes, expected);
}

TEST(ConvertPhoto, ShortRecordsAddNothing) {
  DatabaseBuilder builder;
  builder.Kind("Foto", "Foto")
      .AddRecord(Bytes{1, 2, 3})
      .AddRecord(Bytes(8, 9))
      .AddRecord(Concat({Bytes(8, 0), ToBytes("JPEG")}))
      .AddRecord(Bytes{});
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultOk);
  EXPECT_EQ(converted.bytes, ToBytes("JPEG"));
}

TEST(ConvertPhoto, ClippedRecordGivesTheBytesThatExist) {
  DatabaseBuilder builder;
  builder.Kind("Foto", "Foto").AddRecord(Concat({Bytes(8, 0), ToBytes("abcdef")}));
  builder.AddRecord(Concat({Bytes(8, 0), ToBytes("ghij")}));
  builder.StatedOffsets({builder.OffsetOf(0), 100000});
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultBadData);
  // Record 0 reaches to offset 100000 and is cut at the end of the file.
  EXPECT_EQ(converted.bytes, Concat({ToBytes("abcdef"), Bytes(8, 0), ToBytes("ghij")}));
}

// ---- Dated notes ----

Bytes Note(unsigned year, unsigned month, unsigned day, const Bytes& body) {
  Bytes record(4, 0xAA);
  WriteBigEndian16(record.data(),
                   static_cast<std::uint16_t>(((year - 1904) << 9) | (month << 5) | day));
  record.insert(record.end(), body.begin(), body.end());
  return record;
}

TEST(ConvertDatedNotes, OneLinePerNoteBehindItsDate) {
  DatabaseBuilder builder;
  builder.Kind("DATA", "MNBi")
      .AddRecord(Note(2008, 1, 4, Bytes{'H', 'e', 'l', 'l', 'o', 0}))
      .AddRecord(Note(1999, 12, 31, Bytes{'a', '\n', 0x01, '\t', 'b', 0}))
      .AddRecord(Note(2031, 11, 15, Bytes{0}));
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultOk);
  EXPECT_EQ(converted.bytes,
            Concat({ToBytes(" 4. 1.2008   Hello\r\n"), ToBytes("31.12.1999   a\n\x01\tb\r\n"),
                    ToBytes("15.11.2031   \r\n")}));
}

TEST(ConvertDatedNotes, ShortRecordsGiveTheirDateOrNothing) {
  Bytes date = Note(2008, 1, 4, {});
  DatabaseBuilder builder;
  builder.Kind("DATA", "MNBi")
      .AddRecord(Bytes(date.begin(), date.begin() + 2))
      .AddRecord(Bytes(date.begin(), date.begin() + 1))
      .AddRecord(Bytes(date.begin(), date.begin() + 3))
      .AddRecord(Bytes{});
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultOk);
  EXPECT_EQ(converted.bytes, ToBytes(" 4. 1.2008   \r\n 4. 1.2008   \r\n"));
}

TEST(ConvertDatedNotes, EmptyDatabasesGiveEmptyFiles) {
  for (const char* kind : {"Foto", "DATA"}) {
    DatabaseBuilder builder;
    builder.Kind(kind, std::string(kind) == "Foto" ? "Foto" : "MNBi");
    Converted converted = Convert(builder);
    EXPECT_EQ(converted.result, kResultOk) << kind;
    EXPECT_TRUE(converted.bytes.empty()) << kind;
  }
}

// ---- Failures ----

TEST(ConvertDatabase, ReportsReadAndWriteFailures) {
  TempDir dir;
  DatabaseBuilder builder;
  builder.Kind("Foto", "Foto").AddRecord(Concat({Bytes(8, 0), ToBytes("picture")}));
  std::string path = builder.WriteTo(dir.File("photo.pdb"));
  auto state = std::make_unique<ArchiveState>();
  ASSERT_EQ(OpenDatabase(path.c_str(), state.get()), kResultOk);

  platform::File source = platform::OpenForReading(path.c_str());
  platform::File notWritable = platform::OpenForReading(path.c_str());
  EXPECT_EQ(ConvertDatabase(*state, source, notWritable), kResultWriteError);
  platform::Close(&notWritable);
  platform::Close(&source);

  platform::File closed;
  platform::File destination;
  std::string out = dir.File("out");
  ASSERT_EQ(platform::CreateForWriting(out.c_str(), false, &destination),
            platform::CreateResult::kCreated);
  EXPECT_EQ(ConvertDatabase(*state, closed, destination), kResultReadError);
  platform::Close(&destination);
}

}  // namespace
}  // namespace ormidal
