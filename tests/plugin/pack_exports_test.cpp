// Packing through the PackFiles export, and reading the result back through
// the other exports as a host would.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.hpp"
#include "plugin/interface.hpp"
#include "plugin_library.hpp"
#include "support/database_builder.hpp"

namespace ormidal::testing {
namespace {

PluginLibrary& Plugin() {
  static PluginLibrary library(ORMIDAL_LIBRARY_PATH);
  return library;
}

class PackExports : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Plugin().Loaded()) << Plugin().Error(); }

  int PackFiles(std::string target, std::string addList, std::string subPath = "", int flags = 0) {
    std::string folder = dir.Path() + platform::kSeparator;
    return plugin.PackFiles(target.data(), subPath.data(), folder.data(), addList.data(), flags);
  }

  PluginLibrary& plugin = Plugin();
  TempDir dir;
};

std::vector<EntryHeader> ListEntries(PluginLibrary& plugin, void* handle) {
  std::vector<EntryHeader> entries;
  EntryHeader header{};
  while (entries.size() < 100 && plugin.ReadHeader(handle, &header) == 0) {
    entries.push_back(header);
    header = EntryHeader{};
  }
  return entries;
}

Bytes WithCrLf(const Bytes& text) {
  Bytes converted;
  for (unsigned char byte : text) {
    if (byte == '\n') converted.push_back('\r');
    converted.push_back(byte);
  }
  return converted;
}

TEST_F(PackExports, APackedTextListsAndConvertsBack) {
  Bytes text;
  for (int i = 0; i < 900; ++i) {
    std::string line = "\tline " + std::to_string(i) + "\x02 \xE9t\xE9\r\n";
    text.insert(text.end(), line.begin(), line.end());
  }
  WriteFileBytes(dir.File("book.txt"), text);
  std::string target = dir.File("book.pdb");
  // The sub-path and the flags change nothing.
  std::string names("book.txt\0", 10);
  ASSERT_EQ(PackFiles(target, names, "ignored", 1), 0);
  EXPECT_EQ(ReadFileBytes(dir.File("book.txt")), text);  // the source is never deleted

  Bytes kept;
  for (unsigned char byte : text) {
    if (byte == '\t' || byte == '\n' || byte >= 0x20) kept.push_back(byte);
  }
  std::size_t textRecords = kept.size() / 4096 + 1;

  OpenArchiveRequest request{target.c_str(), 0, -1};
  void* handle = plugin.OpenArchive(&request);
  ASSERT_NE(handle, nullptr);
  std::vector<EntryHeader> entries = ListEntries(plugin, handle);
  ASSERT_EQ(entries.size(), 2 + 1 + textRecords);
  const EntryHeader* converted = nullptr;
  for (const EntryHeader& entry : entries) {
    if (std::strstr(entry.fileName, "ORMIDAL_book.txt") != nullptr) converted = &entry;
  }
  ASSERT_NE(converted, nullptr);
  EXPECT_EQ(entries[1].unpackedSize, 16 + kept.size());  // the raw data of all records

  // The host lists up to an entry, then asks for it to be written.
  plugin.CloseArchive(handle);
  request = {target.c_str(), 0, -1};
  handle = plugin.OpenArchive(&request);
  ASSERT_NE(handle, nullptr);
  EntryHeader header{};
  ASSERT_EQ(plugin.ReadHeader(handle, &header), 0);
  ASSERT_NE(std::strstr(header.fileName, "ORMIDAL_"), nullptr);
  std::string output = dir.File("ORMIDAL_book.txt");
  ASSERT_EQ(plugin.ProcessFile(handle, 2, nullptr, output.data()), 0);
  EXPECT_EQ(ReadFileBytes(output), WithCrLf(kept));
  plugin.CloseArchive(handle);
}

// The command's flag asks for the compressed form; what the host then
// converts is the same text.
TEST_F(PackExports, TheCompressFlagGivesACompressedDocumentThatConvertsBack) {
  Bytes text;
  for (int i = 0; i < 3000; ++i) {
    std::string line = "A tide table, line " + std::to_string(i % 97) + " \xE9\xFF\x03\r\n";
    text.insert(text.end(), line.begin(), line.end());
  }
  WriteFileBytes(dir.File("tides.txt"), text);
  std::string target = dir.File("tides.pdb");
  ASSERT_EQ(PackFiles(target, std::string("tides.txt\0", 11), "", kPackFlagCompress), 0);
  Bytes kept;
  for (unsigned char byte : text) {
    if (byte == '\t' || byte == '\n' || byte >= 0x20) kept.push_back(byte);
  }
  Bytes file = ReadFileBytes(target);
  std::size_t recordZero =
      (std::size_t{file[78]} << 24) | (file[79] << 16) | (file[80] << 8) | file[81];
  EXPECT_EQ(file[recordZero + 1], 2);  // compression 2
  EXPECT_LT(file.size(), kept.size() / 2);

  OpenArchiveRequest request{target.c_str(), 0, -1};
  void* handle = plugin.OpenArchive(&request);
  ASSERT_NE(handle, nullptr);
  EntryHeader header{};
  ASSERT_EQ(plugin.ReadHeader(handle, &header), 0);
  ASSERT_NE(std::strstr(header.fileName, "ORMIDAL_"), nullptr);
  std::string output = dir.File("ORMIDAL_tides.txt");
  ASSERT_EQ(plugin.ProcessFile(handle, 2, nullptr, output.data()), 0);
  EXPECT_TRUE(ReadFileBytes(output) == WithCrLf(kept));
  plugin.CloseArchive(handle);
}

TEST_F(PackExports, PackingLeavesTheOpenDatabaseAlone) {
  std::string open =
      DatabaseBuilder().Name("open").AddRecord("a").AddRecord("b").WriteTo(dir.File("open.pdb"));
  OpenArchiveRequest request{open.c_str(), 0, -1};
  void* handle = plugin.OpenArchive(&request);
  ASSERT_NE(handle, nullptr);
  WriteFileBytes(dir.File("new.txt"), ToBytes("new text"));
  ASSERT_EQ(PackFiles(dir.File("new.pdb"), std::string("new.txt\0", 9)), 0);
  // The listing still describes the database opened before.
  std::vector<EntryHeader> entries = ListEntries(plugin, handle);
  EXPECT_EQ(entries.size(), 2u + 2u);
  plugin.CloseArchive(handle);
}

TEST_F(PackExports, FailuresReportTheirCodeAndLeaveNoFile) {
  std::string target = dir.File("none.pdb");
  EXPECT_EQ(PackFiles(target, std::string("missing.txt\0", 13)), 15);
  EXPECT_FALSE(FileExists(target));
  WriteFileBytes(target, ToBytes("kept"));
  WriteFileBytes(dir.File("here.txt"), ToBytes("text"));
  EXPECT_EQ(PackFiles(target, std::string("here.txt\0", 10)), 24);
  EXPECT_EQ(ReadFileBytes(target), ToBytes("kept"));
  // Two texts do not make one document: nothing is created.
  std::string second = dir.File("two.pdb");
  EXPECT_EQ(PackFiles(second, std::string("here.txt\0here.txt\0", 19)), 23);
  EXPECT_FALSE(FileExists(second));
}

}  // namespace
}  // namespace ormidal::testing
