// `ormidal list` of the largest database the format allows: the listing is
// written in blocks as the entries come, and no line may be lost, repeated
// or torn where one block ends and the next begins.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "command_runner.hpp"
#include "support/database_builder.hpp"

namespace ormidal::testing {
namespace {

constexpr std::size_t kRecords = 65535;

// Record i holds i % 7 + 1 bytes, so every line differs from its
// neighbours in size as well as in number.
std::size_t RecordSize(std::size_t index) { return index % 7 + 1; }

void PutBigEndian32(Bytes* out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) (*out)[at + i] = static_cast<unsigned char>(value >> (24 - 8 * i));
}

// Written directly: the database builder recomputes every offset from the
// start, which takes seconds for this many records.
std::string MakeLargestDatabase(const TempDir& dir) {
  Bytes file(78 + 8 * kRecords, 0);
  std::copy_n("many", 4, file.begin());
  std::copy_n("TEXtREAd", 8, file.begin() + 60);
  PutBigEndian32(&file, 36, 1199448000);  // 2008-01-04 12:00:00
  file[76] = static_cast<unsigned char>(kRecords >> 8);
  file[77] = static_cast<unsigned char>(kRecords & 0xFF);
  for (std::size_t i = 0; i < kRecords; ++i) {
    PutBigEndian32(&file, 78 + 8 * i, static_cast<std::uint32_t>(file.size()));
    file.insert(file.end(), RecordSize(i), 'r');
  }
  std::string path = dir.File("many.pdb");
  WriteFileBytes(path, file);
  return path;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  // Windows programs end their text lines in CR LF.
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string RecordLine(std::size_t index) {
  char line[64];
  std::snprintf(line, sizeof line, "%9llu  2008-01-04 12:00  Records/%05llu",
                static_cast<unsigned long long>(RecordSize(index)),
                static_cast<unsigned long long>(index));
  return line;
}

TEST(ListingCommand, EveryRecordOfTheLargestDatabaseIsListedOnceInOrder) {
  TempDir dir;
  std::string database = MakeLargestDatabase(dir);
  CommandResult result = RunOrmidal({"list", database});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::vector<std::string> lines = Lines(result.out);
  // Two heading lines, the converted and the raw entry, the records, two total lines.
  ASSERT_EQ(lines.size(), 2 + 2 + kRecords + 2);
  EXPECT_EQ(lines[0], "   Length  Date       Time   Name");
  std::uint64_t recordBytes = 0;
  for (std::size_t i = 0; i < kRecords; ++i) {
    recordBytes += RecordSize(i);
    if (lines[4 + i] != RecordLine(i)) {
      ADD_FAILURE() << "line of record " << i << ": " << lines[4 + i];
      break;
    }
  }
  char expected[96];
  std::snprintf(expected, sizeof expected, "%9llu  2008-01-04 12:00  Converted/ORMIDAL_many.txt",
                static_cast<unsigned long long>(recordBytes));
  EXPECT_EQ(lines[2], expected);
  EXPECT_EQ(lines[lines.size() - 2], "---------                    -------");
  std::snprintf(expected, sizeof expected, "%9llu                    65537 entries",
                static_cast<unsigned long long>(3 * recordBytes));
  EXPECT_EQ(lines.back(), expected);
}

TEST(ListingCommand, TheLargestJsonListingHasEveryEntryOnce) {
  TempDir dir;
  std::string database = MakeLargestDatabase(dir);
  CommandResult result = RunOrmidal({"list", database, "--json"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 1 + 2 + kRecords + 1);
  EXPECT_EQ(lines.front(), "[");
  EXPECT_EQ(lines.back(), "]");
  for (std::size_t i = 0; i < kRecords; ++i) {
    char expected[128];
    std::snprintf(expected, sizeof expected,
                  "  {\"name\": \"Records/%05llu\", \"size\": %llu, \"time\": "
                  "\"2008-01-04T12:00:00Z\"}%s",
                  static_cast<unsigned long long>(i),
                  static_cast<unsigned long long>(RecordSize(i)), i + 1 < kRecords ? "," : "");
    if (lines[3 + i] != expected) {
      ADD_FAILURE() << "entry of record " << i << ": " << lines[3 + i];
      break;
    }
  }
}

}  // namespace
}  // namespace ormidal::testing
