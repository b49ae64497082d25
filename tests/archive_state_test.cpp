#include "database/archive_state.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "database/byte_order.hpp"
#include "plugin/interface.hpp"
#include "support/database_builder.hpp"

namespace ormidal {
namespace {

using testing::Bytes;
using testing::DatabaseBuilder;
using testing::TempDir;

struct Opened {
  std::unique_ptr<ArchiveState> state = std::make_unique<ArchiveState>();
  int result = -1;
};

Opened Open(const std::string& path) {
  Opened opened;
  std::memset(static_cast<void*>(opened.state.get()), 0xAB, sizeof(ArchiveState));
  opened.result = OpenDatabase(path.c_str(), opened.state.get());
  return opened;
}

bool IsCleared(const ArchiveState& state) {
  ArchiveState zero;
  std::memset(static_cast<void*>(&zero), 0, sizeof zero);
  zero.listPosition = state.listPosition;
  return std::memcmp(&zero, &state, sizeof zero) == 0;
}

TEST(ByteOrder, SwapsAndReadsBigEndian) {
  EXPECT_EQ(SwapBytes32(0x11223344u), 0x44332211u);
  EXPECT_EQ(SwapBytes16(0x1122), 0x2211);
  const unsigned char bytes[] = {0xFE, 0xDC, 0xBA, 0x98};
  EXPECT_EQ(ReadBigEndian32(bytes), 0xFEDCBA98u);
  EXPECT_EQ(ReadBigEndian16(bytes), 0xFEDC);
  unsigned char out[4];
  WriteBigEndian32(out, 0xFEDCBA98u);
  EXPECT_EQ(0, std::memcmp(out, bytes, 4));
}

TEST(OpenDatabase, ReadsHeaderAndRecordList) {
  TempDir dir;
  DatabaseBuilder builder;
  builder.Name("book")
      .Kind("TEXt", "REAd")
      .CreationTime(0)
      .AddRecord("r0")
      .AddRecord("abc")
      .AddRecord("");
  std::string path = builder.WriteTo(dir.File("book.pdb"));
  Opened opened = Open(path);
  const ArchiveState& state = *opened.state;
  ASSERT_EQ(opened.result, kResultOk);
  EXPECT_STREQ(state.archivePath, path.c_str());
  EXPECT_STREQ(state.databaseName, "book");
  EXPECT_STREQ(state.typeCode, "TEXt");
  EXPECT_STREQ(state.creatorCode, "REAd");
  EXPECT_STREQ(state.convertedExtension, ".txt");
  EXPECT_EQ(state.kind, DocumentText);
  EXPECT_EQ(state.listPosition, -2);
  ASSERT_EQ(state.recordCount, 3);
  EXPECT_EQ(state.recordOffsets[0], 78u + 24u);
  EXPECT_EQ(state.recordOffsets[1], 78u + 24u + 2u);
  EXPECT_EQ(state.recordOffsets[2], 78u + 24u + 5u);
  EXPECT_EQ(state.recordOffsets[3], 0u);
  EXPECT_EQ(state.fileSize, 78u + 24u + 5u);
  EXPECT_EQ(CalendarToDosTime(state.entryTime), (1u << 21) | (1u << 16));
}

TEST(OpenDatabase, KindTableIsCaseSensitiveAndNeedsBothCodes) {
  struct Case {
    const char* type;
    const char* creator;
    std::int32_t kind;
    const char* extension;
    std::int32_t listPosition;
  } cases[] = {
      {"TEXt", "REAd", DocumentText, ".txt", -2},
      {"Foto", "Foto", Photo, "", -2},
      {"DATA", "MNBi", DatedNotes, ".txt", -2},
      {"zTXT", "GPlm", CompressedText, ".txt", -2},
      {"DATA", "memo", Memos, ".txt", -2},
      {"DATA", "addr", Contacts, ".vcf", -2},
      {"DATA", "date", Calendar, ".ics", -2},
      {"DATA", "todo", Tasks, ".ics", -2},
      {"DATA", "PMem", Memos, ".txt", -2},
      {"DATA", "PAdd", LaterContacts, ".vcf", -2},
      {"DATA", "PDat", LaterCalendar, ".ics", -2},
      {"DATA", "PTod", LaterTasks, ".ics", -2},
      {"DATA", "PDAT", 0, "", -1},
      {"DATA", "Memo", 0, "", -1},
      {"TEXT", "REAd", 0, "", -1},
      {"DATA", "GPlm", 0, "", -1},
      {"BOOK", "MOBI", Book, ".txt", -2},
      {"BOOK", "mobi", 0, "", -1},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.type) + "/" + c.creator);
    std::string path =
        DatabaseBuilder().Kind(c.type, c.creator).AddRecord("x").WriteTo(dir.File("k.pdb"));
    Opened opened = Open(path);
    ASSERT_EQ(opened.result, kResultOk);
    EXPECT_EQ(opened.state->kind, c.kind);
    EXPECT_STREQ(opened.state->convertedExtension, c.extension);
    EXPECT_EQ(opened.state->listPosition, c.listPosition);
  }
}

TEST(OpenDatabase, CodesWithZeroBytesEndAtTheZero) {
  TempDir dir;
  Bytes file = DatabaseBuilder().Kind("TEXt", "REAd").Build();
  file[62] = 0;  // type "TE\0t"
  testing::WriteFileBytes(dir.File("z.pdb"), file);
  Opened opened = Open(dir.File("z.pdb"));
  ASSERT_EQ(opened.result, kResultOk);
  EXPECT_STREQ(opened.state->typeCode, "TE");
  EXPECT_EQ(opened.state->listPosition, -1);
}

TEST(OpenDatabase, NamesAreSanitizedAndMayFillAll32Bytes) {
  TempDir dir;
  Opened opened = Open(DatabaseBuilder().Name("a/b:c?").WriteTo(dir.File("n.pdb")));
  EXPECT_STREQ(opened.state->databaseName, "a_b_c_");

  Bytes full(32, 'x');
  opened = Open(DatabaseBuilder().NameBytes(full).WriteTo(dir.File("n.pdb")));
  EXPECT_EQ(std::strlen(opened.state->databaseName), 32u);

  Bytes control = testing::ToBytes(
      "a\x01"
      "b\x1b[0m\x7f\xe9");
  opened = Open(DatabaseBuilder().NameBytes(control).WriteTo(dir.File("n.pdb")));
  EXPECT_STREQ(opened.state->databaseName, "a_b_[0m\x7f\xe9");
}

TEST(SanitizeName, ReplacesEveryCharacterAFileNameCannotHold) {
  char text[] = "\"*/:<>?\\|ok\t\x1f\x20\x80";
  SanitizeName(text);
  EXPECT_STREQ(text, "_________ok__ \x80");
}

TEST(OpenDatabase, ZeroAndAllRecordCounts) {
  TempDir dir;
  Opened opened = Open(DatabaseBuilder().Gap(Bytes(10, 7)).WriteTo(dir.File("e.pdb")));
  ASSERT_EQ(opened.result, kResultOk);
  EXPECT_EQ(opened.state->recordCount, 0);
  EXPECT_EQ(opened.state->fileSize, 88u);
  for (std::uint32_t offset : opened.state->recordOffsets) ASSERT_EQ(offset, 0u);

  DatabaseBuilder many;
  for (int i = 0; i < 65535; ++i) many.AddRecord(Bytes{static_cast<unsigned char>(i)});
  opened = Open(many.WriteTo(dir.File("m.pdb")));
  ASSERT_EQ(opened.result, kResultOk);
  EXPECT_EQ(opened.state->recordCount, 65535);
  EXPECT_EQ(opened.state->recordOffsets[65534], many.OffsetOf(65534));
  EXPECT_EQ(opened.state->fileSize, many.OffsetOf(65534) + 1);
}

TEST(OpenDatabase, RefusesWhatCannotBeOpenedAndLeavesTheStateCleared) {
  TempDir dir;
  Opened missing = Open(dir.File("missing.pdb"));
  EXPECT_EQ(missing.result, kResultCannotOpen);
  EXPECT_TRUE(IsCleared(*missing.state));
  EXPECT_EQ(missing.state->listPosition, 0);

  Opened folder = Open(dir.Path());
  EXPECT_EQ(folder.result, kResultCannotOpen);
  EXPECT_TRUE(IsCleared(*folder.state));

  // A path one character beyond the limit is never cut to name another file.
  std::string longPath = dir.File(std::string(platform::kPathLimit, 'a'));
  longPath.resize(platform::kPathLimit + 1);
  Opened tooLong = Open(longPath);
  EXPECT_EQ(tooLong.result, kResultCannotOpen);
  EXPECT_TRUE(IsCleared(*tooLong.state));

  Opened null = {};
  null.result = OpenDatabase(nullptr, null.state.get());
  EXPECT_EQ(null.result, kResultCannotOpen);
}

TEST(OpenDatabase, RefusesAFileShorterThanItsHeaderOrRecordList) {
  TempDir dir;
  Bytes good = DatabaseBuilder().Name("short").AddRecord("abcd").AddRecord("ef").Build();
  for (std::size_t length = 0; length < 78 + 16; ++length) {
    SCOPED_TRACE(length);
    testing::WriteFileBytes(dir.File("s.pdb"), Bytes(good.begin(), good.begin() + length));
    Opened opened = Open(dir.File("s.pdb"));
    EXPECT_EQ(opened.result, kResultBadArchive);
    EXPECT_TRUE(IsCleared(*opened.state));
    EXPECT_EQ(opened.state->listPosition, 0);
  }
  // A record list that is all there, with no record bytes behind it, opens.
  testing::WriteFileBytes(dir.File("s.pdb"), Bytes(good.begin(), good.begin() + 78 + 16));
  EXPECT_EQ(Open(dir.File("s.pdb")).result, kResultOk);

  Opened tiny = Open(DatabaseBuilder().StatedRecordCount(65535).WriteTo(dir.File("t.pdb")));
  EXPECT_EQ(tiny.result, kResultBadArchive);
}

TEST(OpenDatabase, OffsetsAreTakenAsStored) {
  TempDir dir;
  Opened opened = Open(DatabaseBuilder()
                           .AddRecord("aaaa")
                           .AddRecord("bb")
                           .StatedOffsets({0xFFFFFFF0u, 5})
                           .WriteTo(dir.File("o.pdb")));
  ASSERT_EQ(opened.result, kResultOk);
  EXPECT_EQ(opened.state->recordOffsets[0], 0xFFFFFFF0u);
  EXPECT_EQ(opened.state->recordOffsets[1], 5u);
}

TEST(ClearArchiveState, ZeroesEverythingButTheListPosition) {
  TempDir dir;
  Opened opened = Open(DatabaseBuilder().AddRecord("abc").WriteTo(dir.File("c.pdb")));
  ASSERT_EQ(opened.result, kResultOk);
  opened.state->listPosition = 1;
  ClearArchiveState(opened.state.get());
  EXPECT_TRUE(IsCleared(*opened.state));
  EXPECT_EQ(opened.state->listPosition, 1);
  EXPECT_EQ(opened.state->recordCount, 0);
  EXPECT_EQ(opened.state->fileSize, 0u);
  EXPECT_EQ(opened.state->recordOffsets[0], 0u);
}

}  // namespace
}  // namespace ormidal
