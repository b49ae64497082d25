#include "view/listing.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.hpp"
#include "support/database_builder.hpp"

namespace ormidal {
namespace {

using testing::Bytes;
using testing::DatabaseBuilder;
using testing::TempDir;

struct Entry {
  std::string name;
  std::uint32_t size;
  std::uint32_t time;  // packed, to compare at a glance
};

std::string InFolder(const std::string& folder, const std::string& name) {
  return folder + platform::kSeparator + name;
}

class Listing : public ::testing::Test {
 protected:
  void Open(const std::string& path) {
    std::memset(static_cast<void*>(state.get()), 0, sizeof(ArchiveState));
    ASSERT_EQ(OpenDatabase(path.c_str(), state.get()), kResultOk);
  }
  void Open(const DatabaseBuilder& builder) { Open(builder.WriteTo(dir.File("db.pdb"))); }

  // Every entry up to the end of the listing.
  std::vector<Entry> ListAll() {
    std::vector<Entry> entries;
    ListedEntry entry;
    while (ReadNextEntry(state.get(), languageFile.c_str(), kHostNames, &entry) == kResultOk) {
      entries.push_back({entry.name, entry.size, CalendarToDosTime(entry.time)});
      if (entries.size() > kMaxRecords + 2) break;
    }
    return entries;
  }

  std::unique_ptr<ArchiveState> state = std::make_unique<ArchiveState>();
  TempDir dir;
  std::string languageFile = dir.File("no-such.ini");
};

TEST_F(Listing, RecognisedDatabaseListsConvertedRawThenRecords) {
  DatabaseBuilder builder;
  builder.Name("book").Kind("TEXt", "REAd").CreationTime(3'000'000'000u);
  builder.AddRecord("r0").AddRecord("abc").AddRecord("");
  Open(builder);
  std::uint32_t all = static_cast<std::uint32_t>(builder.Build().size()) - builder.OffsetOf(0);

  std::vector<Entry> entries = ListAll();
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].name, InFolder("Converted", "ORMIDAL_book.txt"));
  EXPECT_EQ(entries[1].name, "book.TEXt");
  EXPECT_EQ(entries[2].name, InFolder("Records", "00000"));
  EXPECT_EQ(entries[3].name, InFolder("Records", "00001"));
  EXPECT_EQ(entries[4].name, InFolder("Records", "00002"));
  std::vector<std::uint32_t> sizes = {all, all, 2, 3, 0};
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].size, sizes[i]) << entries[i].name;
    EXPECT_EQ(entries[i].time, CalendarToDosTime(state->entryTime)) << entries[i].name;
  }
  EXPECT_NE(CalendarToDosTime(state->entryTime), 0u);

  // Past the end the entry is left as it was, every time.
  ListedEntry entry;
  std::memset(static_cast<void*>(&entry), 0x5A, sizeof entry);
  ListedEntry untouched = entry;
  EXPECT_EQ(ReadNextEntry(state.get(), languageFile.c_str(), kHostNames, &entry),
            kResultEndOfListing);
  EXPECT_EQ(ReadNextEntry(state.get(), languageFile.c_str(), kHostNames, &entry),
            kResultEndOfListing);
  EXPECT_EQ(0, std::memcmp(&entry, &untouched, sizeof entry));
}

TEST_F(Listing, TheNameIsZeroFilledToTheEnd) {
  Open(DatabaseBuilder().Name("z").AddRecord("abc"));
  ListedEntry entry;
  std::memset(static_cast<void*>(&entry), 0x5A, sizeof entry);
  ASSERT_EQ(ReadNextEntry(state.get(), languageFile.c_str(), kHostNames, &entry), kResultOk);
  std::size_t length = std::strlen(entry.name);
  for (std::size_t i = length; i < sizeof entry.name; ++i) EXPECT_EQ(entry.name[i], 0) << i;
}

TEST_F(Listing, UnrecognisedAndPhotoDatabases) {
  Open(DatabaseBuilder().Name("notes").Kind("DATA", "GPlm").AddRecord("x"));
  std::vector<Entry> entries = ListAll();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "notes.DATA");
  EXPECT_EQ(entries[1].name, InFolder("Records", "00000"));

  Open(DatabaseBuilder().Name("pic").Kind("Foto", "Foto").AddRecord("12345678ab"));
  entries = ListAll();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, InFolder("Converted", "ORMIDAL_pic"));
  EXPECT_EQ(entries[1].name, "pic.Foto");
}

TEST_F(Listing, NoRecordsListsTheWholeFileTwice) {
  DatabaseBuilder builder;
  builder.Name("empty").Kind("zTXT", "GPlm");
  Open(builder);
  std::vector<Entry> entries = ListAll();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, InFolder("Converted", "ORMIDAL_empty.txt"));
  EXPECT_EQ(entries[1].name, "empty.zTXT");
  EXPECT_EQ(entries[0].size, builder.Build().size());
  EXPECT_EQ(entries[1].size, builder.Build().size());
}

TEST_F(Listing, AllOf65535RecordsWithFiveDigitNames) {
  // All records but the last are empty: every entry holds the same offset.
  DatabaseBuilder builder;
  builder.Name("big").StatedRecordCount(65535).AddRecord("last");
  builder.StatedOffsets(std::vector<std::uint32_t>(kMaxRecords, 78 + 8 * kMaxRecords));
  Open(builder);
  std::vector<Entry> entries = ListAll();
  ASSERT_EQ(entries.size(), kMaxRecords + 2);
  auto recordName = [&](std::size_t index) { return entries[index + 2].name; };
  EXPECT_EQ(recordName(0), InFolder("Records", "00000"));
  EXPECT_EQ(recordName(9), InFolder("Records", "00009"));
  EXPECT_EQ(recordName(10), InFolder("Records", "00010"));
  EXPECT_EQ(recordName(11), InFolder("Records", "00011"));
  EXPECT_EQ(recordName(9999), InFolder("Records", "09999"));
  EXPECT_EQ(recordName(10000), InFolder("Records", "10000"));
  EXPECT_EQ(recordName(65534), InFolder("Records", "65534"));
  EXPECT_EQ(entries.back().size, 4u);
  EXPECT_EQ(state->listPosition, 65535);
}

// A kind that renders more than the whole database lists its entries in
// the order it planned them, before the raw entry; a resource database names
// its entries by type and ID. The folders come from the language file.
TEST_F(Listing, SeveralConvertedEntriesAndResourceNames) {
  platform::File file;
  ASSERT_EQ(platform::CreateForWriting(languageFile.c_str(), false, &file),
            platform::CreateResult::kCreated);
  std::string ini = "[ORMIDAL]\nImages=Bilder\nResources=Teile\n";
  ASSERT_TRUE(platform::WriteAll(file, ini.data(), ini.size()));
  platform::Close(&file);
  DatabaseBuilder builder;
  builder.Name("app").Kind("TEXt", "REAd").AddRecord("0123456789").AddRecord("ab");
  Open(builder);
  state->convertedEntriesPlanned = true;
  state->convertedCount = 0;
  ASSERT_TRUE(AddConvertedEntry(state.get(), {ConvertedNaming::kDatabase, 0, 0, 0, ".txt"}));
  ASSERT_TRUE(AddConvertedEntry(state.get(), {ConvertedNaming::kDatabase, 1, 0, 0, ".html"}));
  ASSERT_TRUE(AddConvertedEntry(state.get(), {ConvertedNaming::kNumbered, 2, 1, 7, ".jpg"}));
  ASSERT_TRUE(AddConvertedEntry(state.get(), {ConvertedNaming::kResource, 3, 0, 0, ".png"}));
  state->listPosition = -5;
  state->resourceDatabase = true;
  state->resourceKeys[0] = {{'t', 'A', 'I', 'B'}, 1000};
  state->resourceKeys[1] = {{'a', '/', ':', '\0'}, 0xBEEF};

  std::vector<Entry> entries = ListAll();
  std::string images = InFolder("Converted", "Bilder");
  std::vector<std::pair<std::string, std::uint32_t>> expected = {
      {InFolder("Converted", "ORMIDAL_app.txt"), 12},
      {InFolder("Converted", "ORMIDAL_app.html"), 12},
      {InFolder(images, "00007.jpg"), 2},
      {InFolder(images, "tAIB03e8.png"), 10},
      {"app.TEXt", 12},
      {InFolder("Teile", "tAIB03e8.bin"), 10},
      {InFolder("Teile", "a___beef.bin"), 2}};
  ASSERT_EQ(entries.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(entries[i].name, expected[i].first);
    EXPECT_EQ(entries[i].size, expected[i].second) << expected[i].first;
  }
}

TEST_F(Listing, RangesPastTheEndOfTheFileAreClipped) {
  DatabaseBuilder builder;
  builder.Name("broken").AddRecord("aaaa").AddRecord("bbbb").AddRecord("cc");
  std::uint32_t first = builder.OffsetOf(0);
  // Record 1 starts before record 0 (its size wraps around), record 2 far
  // beyond the end of the file.
  builder.StatedOffsets({first + 4, first, 0x7FFFFFF0u});
  Open(builder);
  std::uint32_t fileSize = static_cast<std::uint32_t>(builder.Build().size());
  std::vector<Entry> entries = ListAll();
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[1].size, fileSize - (first + 4));  // all data from record 0
  EXPECT_EQ(entries[2].size, fileSize - (first + 4));  // wrapped: up to the end of the file
  EXPECT_EQ(entries[3].size, fileSize - first);        // reaches past the end: clipped
  EXPECT_EQ(entries[4].size, 0u);                      // beyond the end: nothing there
}

TEST_F(Listing, NamesHoldNoControlBytesAndTypeCodesNoSeparators) {
  Bytes name = testing::ToBytes("a\x1b[2Jb\tc");
  name.resize(32, 0);
  Open(DatabaseBuilder().NameBytes(name).Kind("a\\:b", "REAd").AddRecord("x"));
  std::vector<Entry> entries = ListAll();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "a_[2Jb_c.a__b");
}

TEST_F(Listing, AClosedDatabaseListsNothing) {
  Open(DatabaseBuilder().Name("gone").AddRecord("x"));
  ListAll();
  ClearArchiveState(state.get());  // the cursor stays where it was
  ListedEntry entry;
  EXPECT_EQ(ReadNextEntry(state.get(), languageFile.c_str(), kHostNames, &entry),
            kResultEndOfListing);
  state->listPosition = -1;
  EXPECT_EQ(ReadNextEntry(state.get(), languageFile.c_str(), kHostNames, &entry),
            kResultEndOfListing);
}

class LanguageFile : public Listing {
 protected:
  // The record and converted folder names listed with this language file.
  std::pair<std::string, std::string> FolderNames(const std::string& text) {
    testing::WriteFileBytes(languageFile, testing::ToBytes(text));
    Open(DatabaseBuilder().Name("b").AddRecord("x"));
    std::vector<Entry> entries = ListAll();
    EXPECT_EQ(entries.size(), 3u);
    if (entries.size() != 3u) return {};
    std::string converted = entries[0].name;
    std::string records = entries[2].name;
    std::string convertedTail = std::string(1, platform::kSeparator) + "ORMIDAL_b.txt";
    std::string recordsTail = std::string(1, platform::kSeparator) + "00000";
    EXPECT_TRUE(converted.ends_with(convertedTail)) << converted;
    EXPECT_TRUE(records.ends_with(recordsTail)) << records;
    return {records.substr(0, records.size() - recordsTail.size()),
            converted.substr(0, converted.size() - convertedTail.size())};
  }
  using Names = std::pair<std::string, std::string>;
};

TEST_F(LanguageFile, MissingFileSectionOrKeyGivesTheDefaults) {
  EXPECT_EQ(FolderNames("[OTHER]\nRecords=Daten\n"), Names("Records", "Converted"));
  EXPECT_EQ(FolderNames("[ORMIDAL]\nRecords=Daten\n"), Names("Daten", "Converted"));
  EXPECT_EQ(FolderNames("[ORMIDAL]\r\nConverted=Umgewandelt\r\n"), Names("Records", "Umgewandelt"));
  languageFile = dir.File("absent.ini");
  Open(DatabaseBuilder().Name("b").AddRecord("x"));
  EXPECT_EQ(ListAll().at(2).name, InFolder("Records", "00000"));
}

// An empty value is a folder name of its own, not a missing one: the
// entries then begin with a separator, the archive's root to a host.
TEST_F(LanguageFile, EmptyValueGivesAnEmptyFolderName) {
  EXPECT_EQ(FolderNames("[ORMIDAL]\nRecords=\nConverted=  \n"), Names("", ""));
  EXPECT_EQ(FolderNames("[ORMIDAL]\nRecords=\"\"\nConverted=Umgewandelt\n"),
            Names("", "Umgewandelt"));
  Open(DatabaseBuilder().Name("b").AddRecord("x"));
  EXPECT_EQ(ListAll().at(2).name, std::string(1, platform::kSeparator) + "00000");
}

TEST_F(LanguageFile, LongValuesAreCutTo62Characters) {
  std::string seventy(70, 'x');
  for (int i = 0; i < 70; ++i) seventy[i] = static_cast<char>('a' + i % 26);
  EXPECT_EQ(FolderNames("[ORMIDAL]\nRecords=" + seventy + "\n"),
            Names(seventy.substr(0, 62), "Converted"));
}

#if !defined(_WIN32)
// On POSIX the language file is UTF-8: a value is cut after 62 characters,
// not inside one, and a value that is not UTF-8 leaves the default.
TEST_F(LanguageFile, ValuesAreUtf8Characters) {
  EXPECT_EQ(
      FolderNames("[ORMIDAL]\nRecords=Datens\xC3\xA4tze\nConverted=\xE5\xA4\x89\xE6\x8F\x9B\n"),
      Names("Datens\xC3\xA4tze", "\xE5\xA4\x89\xE6\x8F\x9B"));
  std::string emoji = "\xF0\x9F\x98\x80";
  std::string many;
  for (int i = 0; i < 70; ++i) many += emoji;
  EXPECT_EQ(FolderNames("[ORMIDAL]\nRecords=" + many + "\n").first, many.substr(0, 62 * 4));
  EXPECT_EQ(FolderNames("[ORMIDAL]\nRecords=Datens\xE4tze\nConverted=\xC3\n"),
            Names("Records", "Converted"));
}
#endif

TEST_F(LanguageFile, QuotesCommentsCaseAndBlanks) {
  EXPECT_EQ(FolderNames("\xEF\xBB\xBF; Records=Comment\n"
                        "[ ormidal ]\n"
                        ";Converted=Commented\n"
                        "  rEcOrDs  =  \"Mes fiches\"  \n"
                        "CONVERTED='Converti'\n"
                        "Records=Second\n"),
            Names("Mes fiches", "Converti"));
  EXPECT_EQ(FolderNames("[ORMIDAL]\nRecords=\"unmatched'\n"), Names("\"unmatched'", "Converted"));
}

TEST_F(LanguageFile, IsReadOncePerOpen) {
  testing::WriteFileBytes(languageFile, testing::ToBytes("[ORMIDAL]\nRecords=First\n"));
  Open(DatabaseBuilder().Name("b").AddRecord("x").AddRecord("y"));
  ListedEntry entry;
  for (int i = 0; i < 3; ++i)
    ASSERT_EQ(ReadNextEntry(state.get(), languageFile.c_str(), kHostNames, &entry), 0);
  EXPECT_EQ(std::string(entry.name), InFolder("First", "00000"));
  testing::WriteFileBytes(languageFile, testing::ToBytes("[ORMIDAL]\nRecords=Second\n"));
  ASSERT_EQ(ReadNextEntry(state.get(), languageFile.c_str(), kHostNames, &entry), 0);
  EXPECT_EQ(std::string(entry.name), InFolder("First", "00001"));
  // The next open reads the file again.
  Open(DatabaseBuilder().Name("b").AddRecord("x"));
  EXPECT_EQ(ListAll().at(2).name, InFolder("Second", "00000"));
}

}  // namespace
}  // namespace ormidal
