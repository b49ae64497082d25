// Resource databases (header attribute 0x0001) are read with their own
// 10-byte entries: every resource with its type, ID, exact size and bytes,
// as Debian's libpalm-pdb-perl writes them; damaged lists are refused or
// give ranges that never reach past the file.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "convert/pictures/pictures.hpp"
#include "database/archive_state.hpp"
#include "database/extent.hpp"
#include "database/result.hpp"
#include "support/database_builder.hpp"
#include "view/extraction.hpp"
#include "view/listing.hpp"

namespace ormidal {
namespace {

using testing::Bytes;
using testing::TempDir;

#if !defined(_WIN32)

Bytes RangeOf(const Bytes& file, ByteRange range) {
  return Bytes(file.begin() + range.start, file.begin() + range.start + range.size);
}

std::string ResourceName(const ArchiveState& state, std::uint32_t index) {
  char id[8];
  std::snprintf(id, sizeof id, "%04x", state.resourceKeys[index].id);
  return std::string(state.resourceKeys[index].type, kCodeSize) + id;
}

TEST(ResourceDatabase, PeerApplicationListsEveryResourceWithItsBytes) {
  if (std::system("/usr/bin/perl -MPalm::PDB -MPalm::Raw -e 1 >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "libpalm-pdb-perl missing";
  }
  TempDir dir;
  ASSERT_EQ(std::system(("/usr/bin/perl '" + std::string(ORMIDAL_INTEROP_SCRIPTS) +
                         "/write_resources.pl' '" + dir.Path() + "'")
                            .c_str()),
            0);
  std::string path = dir.File("tide.prc");
  Bytes file = testing::ReadFileBytes(path);
  auto state = std::make_unique<ArchiveState>();
  ASSERT_EQ(OpenDatabase(path.c_str(), state.get()), kResultOk);
  EXPECT_TRUE(state->resourceDatabase);
  ASSERT_EQ(state->recordCount, 8);
  const char* names[] = {"tAIN03e8", "tver03e8", "code0000", "code0001",
                         "pref0000", "tSTRbeef", "data0000", "Tbmp0bb8"};
  Bytes all;
  for (std::uint32_t i = 0; i < state->recordCount; ++i) {
    SCOPED_TRACE(names[i]);
    EXPECT_EQ(ResourceName(*state, i), names[i]);
    ByteRange range = RecordRange(*state, i);
    EXPECT_FALSE(range.clipped);
    Bytes expected = testing::ReadFileBytes(dir.File("expected") + "/" + names[i] + ".bin");
    EXPECT_EQ(RangeOf(file, range), expected);
    all.insert(all.end(), expected.begin(), expected.end());
  }
  EXPECT_EQ(RangeOf(file, AllRecordsRange(*state)), all);

  // The description: the tAIN's and tver's text, the header's codes and
  // times, a line per resource.
  auto conversion = std::make_unique<Conversion>();
  conversion->state = state.get();
  conversion->source = platform::OpenForReading(path.c_str());
  std::string out = dir.File("description.txt");
  ASSERT_EQ(platform::CreateForWriting(out.c_str(), false, &conversion->destination),
            platform::CreateResult::kCreated);
  EXPECT_EQ(ConvertApplication(conversion.get()), kResultOk);
  EXPECT_EQ(Flush(conversion.get()), kResultOk);
  platform::Close(&conversion->source);
  platform::Close(&conversion->destination);
  Bytes text = testing::ReadFileBytes(out);
  EXPECT_EQ(std::string(text.begin(), text.end()),
            "Name: Tide Tbl\r\n"
            "Version: 1.2\r\n"
            "Database: Tide Table\r\n"
            "Type: appl\r\n"
            "Creator: TdTb\r\n"
            "Created: 2004-03-12 10:30:00\r\n"
            "Modified: 2004-03-12 11:30:00\r\n"
            "Backed up: none\r\n"
            "Resources: 8\r\n"
            "tAIN  1000 (03e8): 10 bytes\r\n"
            "tver  1000 (03e8): 4 bytes\r\n"
            "code     0 (0000): 24 bytes\r\n"
            "code     1 (0001): 100 bytes\r\n"
            "pref     0 (0000): 10 bytes\r\n"
            "tSTR 48879 (beef): 11 bytes\r\n"
            "data     0 (0000): 0 bytes\r\n"
            "Tbmp  3000 (0bb8): 300 bytes\r\n");
}

#endif

struct Resource {
  const char* type;
  std::uint16_t id;
  std::uint32_t offset;  // 0: where its bytes are placed
  Bytes bytes;
};

// A resource database by hand: the header, the stated count (or the number
// of resources), 10-byte entries, `gap` bytes, then the resources' bytes.
Bytes ResourceDatabase(const std::vector<Resource>& resources, std::size_t gap, int count = -1) {
  Bytes file(78, 0);
  std::memcpy(file.data(), "Res", 3);
  file[33] = 0x01;
  std::memcpy(file.data() + 60, "applTeSt", 8);
  std::size_t stated = count < 0 ? resources.size() : static_cast<std::size_t>(count);
  file[76] = static_cast<unsigned char>(stated >> 8);
  file[77] = static_cast<unsigned char>(stated);
  std::uint32_t at = static_cast<std::uint32_t>(78 + 10 * resources.size() + gap);
  Bytes data;
  for (const Resource& r : resources) {
    std::uint32_t offset = r.offset != 0 ? r.offset : at + static_cast<std::uint32_t>(data.size());
    file.insert(file.end(), r.type, r.type + 4);
    file.push_back(static_cast<unsigned char>(r.id >> 8));
    file.push_back(static_cast<unsigned char>(r.id));
    for (int shift = 24; shift >= 0; shift -= 8)
      file.push_back(static_cast<unsigned char>(offset >> shift));
    data.insert(data.end(), r.bytes.begin(), r.bytes.end());
  }
  file.insert(file.end(), gap, 0);
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

TEST(ResourceDatabase, GapsAndDamagedListsNeverGiveBytesFromOutsideTheFile) {
  const Bytes a(9, 'a'), b(4, 'b'), c(24, 'c');
  struct Case {
    const char* what;
    Bytes file;
    int result;
    std::vector<std::uint32_t> sizes;
    std::vector<bool> clipped;
  } cases[] = {
      {"no gap",
       ResourceDatabase({{"tAIB", 1000, 0, a}, {"code", 1, 0, b}}, 0),
       kResultOk,
       {9, 4},
       {false, false}},
      {"a gap of 5 bytes",
       ResourceDatabase({{"tAIB", 1000, 0, a}, {"code", 1, 0, b}}, 5),
       kResultOk,
       {9, 4},
       {false, false}},
      {"the second offset before the first",
       ResourceDatabase({{"tAIB", 1, 0, a}, {"code", 1, 100, b}, {"x\x01yz", 2, 98, c}}, 2),
       // As for records: a size that wraps runs to the end of the file and is
       // marked clipped.
       kResultOk,
       {37, 47, 49},
       {true, true, false}},
      {"an offset past the end",
       ResourceDatabase({{"tAIB", 1, 0, a}, {"code", 2, 5000, b}}, 2),
       kResultOk,
       {13, 0},
       {true, true}},
      {"a count larger than the list the file holds",
       ResourceDatabase({{"tAIB", 1, 0, a}}, 0, 30),
       kResultBadArchive,
       {},
       {}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    TempDir dir;
    std::string path = dir.File("r.prc");
    testing::WriteFileBytes(path, k.file);
    auto state = std::make_unique<ArchiveState>();
    ASSERT_EQ(OpenDatabase(path.c_str(), state.get()), k.result);
    ASSERT_EQ(state->recordCount, k.sizes.size());
    for (std::uint32_t i = 0; i < state->recordCount; ++i) {
      ByteRange range = RecordRange(*state, i);
      EXPECT_LE(std::uint64_t{range.start} + range.size, k.file.size());
      EXPECT_EQ(range.size, k.sizes[i]) << i;
      EXPECT_EQ(range.clipped, k.clipped[i]) << i;
    }
  }
}

// An application lists its description, each bitmap that decodes as a
// PNG, the raw data and every resource; a bitmap that does not decode is
// only a resource, and the database still opens.
TEST(ResourceDatabase, ListsAndExtractsTheApplicationsPictures) {
  const Bytes kBitmap = {0, 2, 0, 1, 0, 2, 0, 0, 2, 2, 0, 0, 0, 0, 0, 0, 0x60, 0};
  Bytes damaged = kBitmap;
  damaged[8] = 3;  // no such depth
  Bytes bootScreen = {0, 0, 0, 18, 0xAB, 0xCD};
  bootScreen.insert(bootScreen.end(), kBitmap.begin(), kBitmap.end());
  TempDir dir;
  std::string path = dir.File("app.prc");
  testing::WriteFileBytes(
      path, ResourceDatabase({{"tAIN", 1000, 0, testing::ToBytes(std::string("Tides\0", 6))},
                              {"tAIB", 1000, 0, kBitmap},
                              {"Tbmp", 3000, 0, damaged},
                              {"Tbsb", 1, 0, bootScreen},
                              {"code", 1, 0, Bytes(5, 0x4E)}},
                             2));
  auto state = std::make_unique<ArchiveState>();
  ASSERT_EQ(OpenDatabase(path.c_str(), state.get()), kResultOk);
  const char sep = platform::kSeparator;
  std::string converted = std::string("Converted") + sep, images = converted + "Images" + sep,
              resources = std::string("Resources") + sep;
  struct Listed {
    std::string name;
    std::uint32_t size;
    int result;
    std::string begins;
  } expected[] = {
      {converted + "ORMIDAL_Res.txt", 0, kResultOk, "Name: Tides\r\n"},
      {images + "tAIB03e8.png", 18, kResultOk, "\x89PNG"},
      {images + "Tbsb0001.png", 24, kResultOk, "\x89PNG"},
      {"Res.appl", 6 + 18 + 18 + 24 + 5, kResultOk, "Tides"},
      {resources + "tAIN03e8.bin", 6, kResultOk, "Tides"},
      {resources + "tAIB03e8.bin", 18, kResultOk, std::string("\0\2", 2)},
      {resources + "Tbmp0bb8.bin", 18, kResultOk, std::string("\0\2", 2)},
      {resources + "Tbsb0001.bin", 24, kResultOk, std::string("\0\0\0\x12", 4)},
      {resources + "code0001.bin", 5, kResultOk, "NNNNN"},
  };
  ListedEntry entry;
  for (const Listed& e : expected) {
    SCOPED_TRACE(e.name);
    ASSERT_EQ(ReadNextEntry(state.get(), "", kHostNames, &entry), kResultOk);
    EXPECT_EQ(entry.name, e.name);
    if (e.size != 0) {
      EXPECT_EQ(entry.size, e.size);
    }
    std::string out = dir.File("out");
    EXPECT_EQ(ExtractEntry(*state, kOperationExtract, out.c_str()), e.result);
    Bytes bytes = testing::ReadFileBytes(out);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()).substr(0, e.begins.size()), e.begins);
  }
  EXPECT_EQ(ReadNextEntry(state.get(), "", kHostNames, &entry), kResultEndOfListing);
}

}  // namespace
}  // namespace ormidal
