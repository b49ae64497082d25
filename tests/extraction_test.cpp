#include "view/extraction.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.hpp"
#include "support/database_builder.hpp"
#include "view/listing.hpp"

#if !defined(_WIN32)
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace ormidal {
namespace {

using testing::Bytes;
using testing::DatabaseBuilder;
using testing::FileExists;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::ToBytes;

class Extraction : public ::testing::Test {
 protected:
  void Open(const DatabaseBuilder& builder) {
    database = builder.Build();
    path = builder.WriteTo(dir.File("db.pdb"));
    std::memset(static_cast<void*>(state.get()), 0, sizeof(ArchiveState));
    ASSERT_EQ(OpenDatabase(path.c_str(), state.get()), kResultOk);
  }
  // Lists entries until `position` (-2, -1 or a record) was the last one listed.
  void ListUpTo(std::int32_t position) {
    ListedEntry entry;
    while (!(state->entryListed && state->listedEntry == position)) {
      ASSERT_EQ(ReadNextEntry(state.get(), "", kHostNames, &entry), kResultOk);
    }
  }
  int Extract(const std::string& dest) {
    return ExtractEntry(*state, kOperationExtract, dest.c_str());
  }
  Bytes Slice(std::size_t start, std::size_t size) const {
    return Bytes(database.begin() + start, database.begin() + start + size);
  }

  std::unique_ptr<ArchiveState> state = std::make_unique<ArchiveState>();
  TempDir dir;
  std::string path;
  Bytes database;
};

DatabaseBuilder FourRecords() {
  DatabaseBuilder builder;
  builder.Name("book").AddRecord("first").AddRecord("the middle one").AddRecord("");
  builder.AddRecord("last record");
  return builder;
}

TEST_F(Extraction, ListedRecordsRawEntryAndEmptyRecord) {
  Open(FourRecords());
  ListUpTo(-1);
  std::string raw = dir.File("book.TEXt");
  EXPECT_EQ(Extract(raw), kResultOk);
  EXPECT_EQ(ReadFileBytes(raw),
            Slice(state->recordOffsets[0], database.size() - state->recordOffsets[0]));
  std::vector<std::string> expected = {"first", "the middle one", "", "last record"};
  for (std::int32_t i = 0; i < 4; ++i) {
    ListUpTo(i);
    std::string dest = dir.File("0000" + std::to_string(i));
    EXPECT_EQ(Extract(dest), kResultOk);
    ASSERT_TRUE(FileExists(dest));
    EXPECT_EQ(ReadFileBytes(dest), ToBytes(expected[i])) << dest;
  }
}

TEST_F(Extraction, SkipAndTestTouchNoFile) {
  Open(FourRecords());
  ListUpTo(0);
  std::string dest = dir.File("00000");
  EXPECT_EQ(ExtractEntry(*state, kOperationSkip, dest.c_str()), kResultOk);
  EXPECT_EQ(ExtractEntry(*state, kOperationTest, dest.c_str()), kResultOk);
  EXPECT_FALSE(FileExists(dest));
}

TEST_F(Extraction, TheListedEntryWinsOverTheDestinationName) {
  Open(FourRecords());
  ListUpTo(1);
  std::string renamed = dir.File("rec3.bin");
  EXPECT_EQ(Extract(renamed), kResultOk);
  EXPECT_EQ(ReadFileBytes(renamed), ToBytes("the middle one"));
  std::string digits = dir.File("00003");
  EXPECT_EQ(Extract(digits), kResultOk);
  EXPECT_EQ(ReadFileBytes(digits), ToBytes("the middle one"));

  // A raw entry titled 123 (extensions hidden) still gets the raw data.
  DatabaseBuilder numbered;
  numbered.Name("123").Kind("DATA", "xxxx");
  for (int i = 0; i < 130; ++i) numbered.AddRecord(std::to_string(i));
  Open(numbered);
  ListUpTo(-1);
  std::string title = dir.File("123");
  EXPECT_EQ(Extract(title), kResultOk);
  EXPECT_EQ(ReadFileBytes(title).size(), database.size() - state->recordOffsets[0]);
}

TEST_F(Extraction, ConvertedEntryIsCreatedUnderAnyName) {
  Open(FourRecords());
  ListUpTo(-2);
  std::string dest = dir.File("book.txt");
  EXPECT_EQ(Extract(dest), kResultOk);
  EXPECT_TRUE(FileExists(dest));
}

TEST_F(Extraction, WithNothingListedTheNameDecides) {
  DatabaseBuilder builder;
  builder.Name("book");
  for (int i = 0; i < 20; ++i) builder.AddRecord("record " + std::to_string(i));
  Open(builder);
  Bytes allRecords = Slice(state->recordOffsets[0], database.size() - state->recordOffsets[0]);
  struct Case {
    std::string name;
    Bytes expected;
  };
  std::vector<Case> cases = {
      {"00003", ToBytes("record 3")},
      {"00000", ToBytes("record 0")},
      {"19", ToBytes("record 19")},
      {"ormidal_book.txt", allRecords},
      {"book.TEXt", allRecords},
      {"rec3.bin", allRecords},
      {"00050", database},                 // a slot no record filled: the whole file
      {"65535", database},                 // beyond the record list
      {"99999999999999999999", database},  // beyond 32 bits
  };
  for (const Case& c : cases) {
    std::string dest = dir.File(c.name);
    EXPECT_EQ(Extract(dest), kResultOk) << c.name;
    EXPECT_EQ(ReadFileBytes(dest), c.expected) << c.name;
  }
  std::string converted = dir.File("ORMIDAL_book.txt");
  EXPECT_EQ(Extract(converted), kResultOk);
  EXPECT_TRUE(FileExists(converted));
  EXPECT_FALSE(state->entryListed);
}

// With nothing listed, a destination named like a resource or a picture
// entry gets that entry; the first entry for a prefixed name of another
// extension.
TEST_F(Extraction, WithNothingListedResourceAndPictureNamesDecide) {
  Open(FourRecords());
  state->convertedEntriesPlanned = true;
  state->convertedCount = 0;
  ASSERT_TRUE(AddConvertedEntry(state.get(), {ConvertedNaming::kDatabase, 0, 0, 0, ".txt"}));
  ASSERT_TRUE(AddConvertedEntry(state.get(), {ConvertedNaming::kNumbered, 1, 1, 1, ".jpg"}));
  state->resourceDatabase = true;
  for (std::uint16_t i = 0; i < 4; ++i) state->resourceKeys[i] = {{'c', 'o', 'd', 'e'}, i};
  std::string resource = dir.File("code0002.bin");
  EXPECT_EQ(Extract(resource), kResultOk);
  EXPECT_EQ(ReadFileBytes(resource), Bytes());
  EXPECT_EQ(Extract(dir.File("code0001.bin")), kResultOk);
  EXPECT_EQ(ReadFileBytes(dir.File("code0001.bin")), ToBytes("the middle one"));
  // Both render through the kind's converter, not as records.
  std::string picture = dir.File("00001.jpg"), whole = dir.File("ORMIDAL_book.html");
  EXPECT_EQ(Extract(picture), kResultOk);
  EXPECT_EQ(Extract(whole), kResultOk);
  EXPECT_EQ(ReadFileBytes(picture), ReadFileBytes(whole));
  EXPECT_EQ(ReadFileBytes(whole), ToBytes("the middle onelast record"));
}

TEST_F(Extraction, AnExistingDestinationIsReplaced) {
  Open(FourRecords());
  ListUpTo(0);
  std::string dest = dir.File("00000");
  testing::WriteFileBytes(dest, Bytes(100000, 'x'));
  EXPECT_EQ(Extract(dest), kResultOk);
  EXPECT_EQ(ReadFileBytes(dest), ToBytes("first"));
}

TEST_F(Extraction, LargeRecordsStreamWhole) {
  Bytes big(200 * 1024 + 17);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<unsigned char>(i * 7 + i / 251);
  Open(DatabaseBuilder().Name("big").AddRecord("a").AddRecord(big).AddRecord("z"));
  ListUpTo(1);
  std::string dest = dir.File("00001");
  EXPECT_EQ(Extract(dest), kResultOk);
  EXPECT_EQ(ReadFileBytes(dest), big);
}

TEST_F(Extraction, ARangePastTheEndGivesTheBytesThatExist) {
  DatabaseBuilder builder;
  builder.Name("cut").AddRecord("abcdef").AddRecord("ghij");
  std::uint32_t first = builder.OffsetOf(0);
  builder.StatedOffsets({first, first + 1000});
  Open(builder);
  ListUpTo(0);
  std::string dest = dir.File("00000");
  EXPECT_EQ(Extract(dest), kResultBadData);
  EXPECT_EQ(ReadFileBytes(dest), ToBytes("abcdefghij"));
  ListUpTo(1);
  EXPECT_EQ(Extract(dest), kResultBadData);
  EXPECT_TRUE(FileExists(dest));
  EXPECT_TRUE(ReadFileBytes(dest).empty());
}

TEST_F(Extraction, FailuresLeaveNoFileBehind) {
  Open(FourRecords());
  ListUpTo(0);
  std::string missingFolder = dir.File("missing") + platform::kSeparator + "00000";
  EXPECT_EQ(Extract(missingFolder), kResultCannotCreate);
  EXPECT_FALSE(FileExists(missingFolder));
  // A folder in the way is neither written nor removed.
  EXPECT_EQ(Extract(dir.Path()), kResultCannotCreate);
  EXPECT_TRUE(platform::PathExists(dir.Path().c_str()));
  EXPECT_EQ(ExtractEntry(*state, kOperationExtract, nullptr), kResultCannotCreate);

  // The database went away after it was opened: nothing is created, and a
  // file already at the destination stays as it was.
  std::string dest = dir.File("00000");
  testing::WriteFileBytes(dest, ToBytes("kept"));
  ASSERT_TRUE(platform::RemoveRegularFile(path.c_str()));
  EXPECT_EQ(Extract(dest), kResultReadError);
  EXPECT_EQ(ReadFileBytes(dest), ToBytes("kept"));
  std::string fresh = dir.File("fresh");
  EXPECT_EQ(Extract(fresh), kResultReadError);
  EXPECT_FALSE(FileExists(fresh));
}

TEST_F(Extraction, AllOf65535Records) {
  DatabaseBuilder builder;
  builder.Name("big").StatedRecordCount(65535).AddRecord("last");
  builder.StatedOffsets(std::vector<std::uint32_t>(kMaxRecords, 78 + 8 * kMaxRecords));
  Open(builder);
  std::string byName = dir.File("65534");
  EXPECT_EQ(Extract(byName), kResultOk);
  EXPECT_EQ(ReadFileBytes(byName), ToBytes("last"));
  ListedEntry entry;
  std::string dest = dir.File("record");
  std::size_t extracted = 0;
#if defined(_WIN32)
  // Under Wine each file creation costs milliseconds: copy a spread of
  // records and the last one rather than all 65535.
  constexpr std::int32_t kStride = 64;
#else
  constexpr std::int32_t kStride = 1;
#endif
  std::size_t listed = 0;
  while (ReadNextEntry(state.get(), "", kHostNames, &entry) == kResultOk) {
    if (state->listedEntry < 0) continue;
    ++listed;
    if (state->listedEntry % kStride != 0 && state->listedEntry != 65534) continue;
    ASSERT_EQ(Extract(dest), kResultOk) << state->listedEntry;
    ++extracted;
  }
  EXPECT_EQ(listed, kMaxRecords);
  EXPECT_EQ(extracted, (kMaxRecords - 1) / kStride + 1 + (kStride > 1 ? 1 : 0));
  EXPECT_EQ(ReadFileBytes(dest), ToBytes("last"));
}

#if !defined(_WIN32)
// A full disk, simulated by a file-size limit in a child process so the
// limit never reaches the other tests.
TEST_F(Extraction, AFullDiskIsAWriteErrorAndRemovesThePartialFile) {
  Open(DatabaseBuilder().Name("full").AddRecord(Bytes(300 * 1024, 'q')));
  ListUpTo(0);
  std::string dest = dir.File("00000");
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {100 * 1024, 100 * 1024};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(2);
    int result = Extract(dest);
    _exit(result == kResultWriteError ? 0 : 10 + result);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "10 + the code returned";
  EXPECT_FALSE(FileExists(dest));
}
#endif

}  // namespace
}  // namespace ormidal
