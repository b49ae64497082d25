#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "convert/lz77.hpp"
#include "database/archive_state.hpp"
#include "database/byte_order.hpp"
#include "pack/packer.hpp"
#include "platform/platform.hpp"
#include "plugin/interface.hpp"
#include "support/database_builder.hpp"

#if !defined(_WIN32)
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace ormidal::testing {
namespace {

// The host's list of names: each zero-terminated, then an empty one.
std::string NameList(std::string name) {
  name.push_back('\0');
  return name;
}

Bytes Repeat(unsigned char byte, std::size_t count) { return Bytes(count, byte); }

Bytes KeptByRule(const Bytes& bytes) {
  Bytes kept;
  for (unsigned char byte : bytes) {
    if (byte == 0x09 || byte == 0x0A || byte >= 0x20) kept.push_back(byte);
  }
  return kept;
}

std::uint16_t At16(const Bytes& file, std::size_t offset) {
  return ReadBigEndian16(file.data() + offset);
}
std::uint32_t At32(const Bytes& file, std::size_t offset) {
  return ReadBigEndian32(file.data() + offset);
}
std::uint32_t EntryOffset(const Bytes& file, std::size_t index) {
  return At32(file, 78 + 8 * index);
}

class Packer : public ::testing::Test {
 protected:
  std::string Folder() const { return dir.Path() + platform::kSeparator; }
  std::string Target() const { return dir.File("packed.pdb"); }

  // Writes `text` as dir/`name` and packs it into Target().
  int Pack(const Bytes& text, const std::string& name = "notes.txt") {
    WriteFileBytes(dir.File(name), text);
    return PackTextFile(Target().c_str(), Folder().c_str(), NameList(name).c_str());
  }

  Bytes Packed() const { return ReadFileBytes(Target()); }

  TempDir dir;
};

TEST_F(Packer, EmptySourceGivesThe110ByteDatabase) {
  std::uint32_t before = HandheldTime(std::time(nullptr));
  ASSERT_EQ(Pack({}, "empty.txt"), kResultOk);
  std::uint32_t after = HandheldTime(std::time(nullptr));
  Bytes file = Packed();
  ASSERT_EQ(file.size(), 110u);
  Bytes name(32, 0);
  std::string title = "empty.txt";
  std::copy(title.begin(), title.end(), name.begin());
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 32), name);
  EXPECT_EQ(At16(file, 32), 0);  // attributes
  EXPECT_EQ(At16(file, 34), 3);  // version
  // Made and changed at the time of packing, never backed up.
  for (std::size_t at : {36, 40}) {
    EXPECT_GE(At32(file, at), before) << at;
    EXPECT_LE(At32(file, at), after) << at;
  }
  EXPECT_EQ(Bytes(file.begin() + 44, file.begin() + 60), Bytes(16, 0));
  EXPECT_EQ(std::string(file.begin() + 60, file.begin() + 68), "TEXtREAd");
  EXPECT_EQ(Bytes(file.begin() + 68, file.begin() + 76), Bytes(8, 0));
  EXPECT_EQ(At16(file, 76), 2);
  // Two entries: record 0 at 94, the empty text record at 110, IDs all zero.
  EXPECT_EQ(Bytes(file.begin() + 78, file.begin() + 94),
            (Bytes{0, 0, 0, 94, 0, 0, 0, 0, 0, 0, 0, 110, 0, 0, 0, 0}));
  EXPECT_EQ(Bytes(file.begin() + 94, file.end()),
            (Bytes{0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0x10, 0, 0, 0, 0, 0}));
}

TEST_F(Packer, TextOfExactlyOneRecordEndsWithAnEmptyRecord) {
  // 4096 kept bytes once the carriage returns are gone.
  Bytes text = Repeat('x', 4000);
  for (int i = 0; i < 96; ++i) {
    text.push_back('\r');
    text.push_back('\n');
  }
  ASSERT_EQ(Pack(text), kResultOk);
  Bytes file = Packed();
  ASSERT_EQ(file.size(), 102u + 16u + 4096u);
  EXPECT_EQ(At16(file, 76), 3);
  EXPECT_EQ(EntryOffset(file, 0), 102u);
  EXPECT_EQ(EntryOffset(file, 1), 118u);
  EXPECT_EQ(EntryOffset(file, 2), file.size());
  EXPECT_EQ(At32(file, 102 + 4), 4096u);
  EXPECT_EQ(At16(file, 102 + 8), 2);
}

TEST_F(Packer, FiveThousandBytesFillTwoTextRecords) {
  Bytes text = Repeat('y', 5000);
  ASSERT_EQ(Pack(text), kResultOk);
  Bytes file = Packed();
  ASSERT_EQ(file.size(), 118u + 5000u);
  EXPECT_EQ(At16(file, 76), 3);
  EXPECT_EQ(EntryOffset(file, 0), 102u);
  EXPECT_EQ(EntryOffset(file, 1), 118u);
  EXPECT_EQ(EntryOffset(file, 2), 4214u);
  // Attributes 0 and unique IDs 0,0,0 / 0,0,0 / 0,1,0.
  EXPECT_EQ(Bytes(file.begin() + 82, file.begin() + 86), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(Bytes(file.begin() + 90, file.begin() + 94), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(Bytes(file.begin() + 98, file.begin() + 102), (Bytes{0, 0, 1, 0}));
  EXPECT_EQ(At16(file, 102), 1);
  EXPECT_EQ(At32(file, 106), 5000u);
  EXPECT_EQ(At16(file, 110), 2);
  EXPECT_EQ(At16(file, 112), 4096);
  EXPECT_EQ(Bytes(file.begin() + 118, file.end()), text);
}

TEST_F(Packer, StoresTheDeviceFilteredText) {
  Bytes text = ToBytes("line one\r\n\tindented\r\nbell\a nul");
  text.push_back(0);
  for (int value = 0x7F; value < 256; ++value) text.push_back(static_cast<unsigned char>(value));
  for (int value = 0; value < 0x20; ++value) text.push_back(static_cast<unsigned char>(value));
  ASSERT_EQ(Pack(text), kResultOk);
  Bytes file = Packed();
  Bytes stored(file.begin() + 94 + 16, file.end());
  Bytes expected = ToBytes("line one\n\tindented\nbell nul");
  for (int value = 0x7F; value < 256; ++value)
    expected.push_back(static_cast<unsigned char>(value));
  expected.push_back('\t');
  expected.push_back('\n');
  EXPECT_EQ(stored, expected);
  EXPECT_EQ(At32(file, 94 + 4), expected.size());
}

TEST_F(Packer, NameKeepsAFolderPartAndIsCutAt31Bytes) {
  std::filesystem::create_directory(dir.File("sub"));
  std::string withFolder = std::string("sub") + platform::kSeparator + "notes.txt";
  ASSERT_EQ(Pack(ToBytes("a"), withFolder), kResultOk);
  Bytes file = Packed();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data())), withFolder);
  std::remove(Target().c_str());

  std::string forty = "abcdefghijklmnopqrstuvwxyz0123456789.txt";
  ASSERT_EQ(forty.size(), 40u);
  ASSERT_EQ(Pack(ToBytes("b"), forty), kResultOk);
  file = Packed();
  EXPECT_EQ(std::string(file.begin(), file.begin() + 31), forty.substr(0, 31));
  EXPECT_EQ(file[31], 0);
  std::remove(Target().c_str());

  ASSERT_EQ(Pack(ToBytes("c"), "8chr.txt"), kResultOk);
  file = Packed();
  EXPECT_EQ(std::string(file.begin(), file.begin() + 8), "8chr.txt");
  EXPECT_EQ(Bytes(file.begin() + 8, file.begin() + 32), Bytes(24, 0));
}

TEST_F(Packer, AnExistingTargetIsLeftUntouched) {
  Bytes before = ToBytes("not a database");
  WriteFileBytes(Target(), before);
  EXPECT_EQ(Pack(ToBytes("text")), kResultTargetExists);
  EXPECT_EQ(Packed(), before);
  // The test comes first: even a missing source gives 24.
  EXPECT_EQ(PackTextFile(Target().c_str(), Folder().c_str(), NameList("missing.txt").c_str()),
            kResultTargetExists);
  // A folder in the way counts as existing too.
  std::string folder = dir.File("folder.pdb");
  std::filesystem::create_directory(folder);
  EXPECT_EQ(PackTextFile(folder.c_str(), Folder().c_str(), NameList("notes.txt").c_str()),
            kResultTargetExists);
}

// The exclusive creation is what keeps a file that appears after the
// existence test from being overwritten.
TEST_F(Packer, CreationNeverReplacesAFileThatAppearedMeanwhile) {
  WriteFileBytes(dir.File("notes.txt"), ToBytes("text"));
  Bytes before = ToBytes("arrived late");
  WriteFileBytes(Target(), before);
  platform::File source = platform::OpenForReading(dir.File("notes.txt").c_str());
  ASSERT_TRUE(source.IsOpen());
  EXPECT_EQ(WritePackedDatabase(Target().c_str(), "notes.txt", source, 4), kResultTargetExists);
  platform::Close(&source);
  EXPECT_EQ(Packed(), before);
}

// A document holds one text: a second name is refused before anything is
// looked at or created, an existing target included.
TEST_F(Packer, SeveralSourcesAreRefusedWithoutCreatingAnything) {
  WriteFileBytes(dir.File("a.txt"), ToBytes("first"));
  WriteFileBytes(dir.File("b.txt"), ToBytes("second"));
  const std::string lists[] = {std::string("a.txt\0b.txt\0", 13),
                               std::string("a.txt\0missing.txt\0", 19),
                               std::string("a.txt\0b.txt\0a.txt\0", 19)};
  for (const std::string& list : lists) {
    EXPECT_EQ(PackTextFile(Target().c_str(), Folder().c_str(), list.c_str()), kResultTooManyFiles);
    EXPECT_FALSE(FileExists(Target()));
  }
  Bytes before = ToBytes("not a database");
  WriteFileBytes(Target(), before);
  EXPECT_EQ(PackTextFile(Target().c_str(), Folder().c_str(), lists[0].c_str()),
            kResultTooManyFiles);
  EXPECT_EQ(Packed(), before);
}

TEST_F(Packer, ASourceThatCannotBeOpenedCreatesNothing) {
  EXPECT_EQ(PackTextFile(Target().c_str(), Folder().c_str(), NameList("missing.txt").c_str()),
            kResultCannotOpen);
  EXPECT_FALSE(FileExists(Target()));
  std::filesystem::create_directory(dir.File("folder"));
  EXPECT_EQ(PackTextFile(Target().c_str(), Folder().c_str(), NameList("folder").c_str()),
            kResultCannotOpen);
  EXPECT_FALSE(FileExists(Target()));
  // No separator is added: the folder alone plus an empty name is a folder.
  EXPECT_EQ(PackTextFile(Target().c_str(), Folder().c_str(), NameList("").c_str()),
            kResultCannotOpen);
  EXPECT_FALSE(FileExists(Target()));
}

// Builds a file whose path is exactly the platform's limit long, through
// folders of at most 100 characters each.
std::string FileAtThePathLimit(const std::string& base) {
  std::string path = base;
  while (platform::kPathLimit - path.size() > 101) {
    path += platform::kSeparator + std::string(99, 'd');
    std::filesystem::create_directory(path);
  }
  path += platform::kSeparator;
  path += std::string(platform::kPathLimit - path.size(), 'f');
  WriteFileBytes(path, ToBytes("the file a cut path names"));
  return path;
}

TEST_F(Packer, AJoinedPathOverTheLimitIsRefusedNotCut) {
  std::string limit = FileAtThePathLimit(dir.Path());
  ASSERT_EQ(limit.size(), platform::kPathLimit);
  ASSERT_TRUE(FileExists(limit));
  std::size_t split = limit.rfind(platform::kSeparator) + 1;
  std::string folder = limit.substr(0, split);
  std::string name = limit.substr(split);
  // At the limit the joined path opens; one character more names another file.
  ASSERT_EQ(PackTextFile(Target().c_str(), folder.c_str(), NameList(name).c_str()), kResultOk);
  std::remove(Target().c_str());
  EXPECT_EQ(PackTextFile(Target().c_str(), folder.c_str(), NameList(name + "x").c_str()),
            kResultCannotOpen);
  EXPECT_FALSE(FileExists(Target()));
}

TEST_F(Packer, ACreationFailureGives16) {
  WriteFileBytes(dir.File("notes.txt"), ToBytes("text"));
  std::string target = dir.File("no-such-folder") + platform::kSeparator + "packed.pdb";
  EXPECT_EQ(PackTextFile(target.c_str(), Folder().c_str(), NameList("notes.txt").c_str()),
            kResultCannotCreate);
  EXPECT_FALSE(FileExists(target));
}

// The record list is set aside for the source's size when it was opened:
// a source that has since grown past what that list describes is a read
// error and leaves nothing; a smaller text leaves the room to record 0.
TEST_F(Packer, ASourceThatGrewPastItsSizeLeavesNothing) {
  Bytes text = Repeat('z', 70000);  // 18 text records
  WriteFileBytes(dir.File("notes.txt"), text);
  platform::File source = platform::OpenForReading(dir.File("notes.txt").c_str());
  ASSERT_TRUE(source.IsOpen());
  const struct {
    std::uint64_t stated;
    int result;
    std::size_t recordZero;
  } cases[] = {{0, kResultReadError, 0},
               {17 * 4096 - 1, kResultReadError, 0},
               {17 * 4096, kResultOk, 16},
               {70000, kResultOk, 16},
               {20 * 4096, kResultOk, 16 + 8 * 3}};
  for (const auto& c : cases) {
    ASSERT_TRUE(platform::SeekTo(source, 0));
    EXPECT_EQ(WritePackedDatabase(Target().c_str(), "notes.txt", source, c.stated), c.result)
        << c.stated;
    EXPECT_EQ(FileExists(Target()), c.result == kResultOk) << c.stated;
    if (c.result != kResultOk) continue;
    Bytes file = Packed();
    EXPECT_EQ(At16(file, 76), 19);
    EXPECT_EQ(EntryOffset(file, 1) - EntryOffset(file, 0), c.recordZero) << c.stated;
    EXPECT_EQ(file.size(), 78u + 8u * 19u + c.recordZero + 70000u) << c.stated;
    EXPECT_EQ(Bytes(file.end() - 70000, file.end()), text);
    std::remove(Target().c_str());
  }
  platform::Close(&source);
}

#if defined(__linux__)
TEST_F(Packer, AReadFailureGives18AndCreatesNothing) {
  // A regular file whose reading fails: the process memory at address 0.
  EXPECT_EQ(PackTextFile(Target().c_str(), "/proc/self/", NameList("mem").c_str()),
            kResultReadError);
  EXPECT_FALSE(FileExists(Target()));
}
#endif

TEST_F(Packer, TooLongATextIsRefusedBeforeAnythingIsWritten) {
  std::string path = dir.File("long.txt");
  {
    std::ofstream out(path, std::ios::binary);
    std::string block(1 << 20, 'w');
    std::uint64_t left = kPackedTextLimit;
    for (; left >= block.size(); left -= block.size()) out.write(block.data(), block.size());
    out.write(block.data(), static_cast<std::streamsize>(left));
  }
  EXPECT_EQ(PackTextFile(Target().c_str(), Folder().c_str(), NameList("long.txt").c_str()),
            kResultTooManyFiles);
  EXPECT_FALSE(FileExists(Target()));

  // One kept byte less is the longest text the record count can describe.
  {
    std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(static_cast<std::streamoff>(kPackedTextLimit - 1));
    out.put('\r');
  }
  ASSERT_EQ(PackTextFile(Target().c_str(), Folder().c_str(), NameList("long.txt").c_str()),
            kResultOk);
  std::remove(path.c_str());
  std::ifstream in(Target(), std::ios::binary);
  Bytes head(78 + 8 * 65535 + 16);
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  ASSERT_TRUE(in);
  EXPECT_EQ(At16(head, 76), 65535);
  EXPECT_EQ(EntryOffset(head, 65534), 78u + 8u * 65535u + 16u + 4096u * 65533u);
  EXPECT_EQ(Bytes(head.begin() + 78 + 8 * 65534 + 4, head.begin() + 78 + 8 * 65535),
            (Bytes{0, 0, 0xFD, 0xFF}));  // text record 65533
  EXPECT_EQ(At32(head, 78 + 8 * 65535 + 4), kPackedTextLimit - 1);
  in.close();
  std::remove(Target().c_str());
}

TEST_F(Packer, RoundTripsThroughTheDatabaseReader) {
  Bytes text;
  for (int i = 0; i < 3000; ++i) {
    std::string line = "line " + std::to_string(i) + "\t\x01value\r\n";
    text.insert(text.end(), line.begin(), line.end());
  }
  ASSERT_EQ(Pack(text, "round.txt"), kResultOk);
  Bytes expected = KeptByRule(text);
  Bytes file = Packed();

  auto state = std::make_unique<ArchiveState>();
  ASSERT_EQ(OpenDatabase(Target().c_str(), state.get()), kResultOk);
  EXPECT_STREQ(state->databaseName, "round.txt");
  EXPECT_STREQ(state->typeCode, "TEXt");
  EXPECT_STREQ(state->creatorCode, "REAd");
  EXPECT_EQ(state->fileSize, file.size());
  std::size_t textRecords = expected.size() / 4096 + 1;
  ASSERT_EQ(state->recordCount, textRecords + 1);
  // The list was set aside for the source's size; record 0 takes up the
  // entries the dropped bytes made unneeded.
  std::size_t reserved = text.size() / 4096 + 1;
  EXPECT_EQ(state->recordOffsets[1] - state->recordOffsets[0], 16u + 8u * (reserved - textRecords));
  Bytes joined;
  for (std::size_t i = 1; i <= textRecords; ++i) {
    std::uint32_t end = i == textRecords ? state->fileSize : state->recordOffsets[i + 1];
    std::uint32_t size = end - state->recordOffsets[i];
    EXPECT_EQ(size, i < textRecords ? 4096u : expected.size() % 4096) << i;
    joined.insert(joined.end(), file.begin() + state->recordOffsets[i], file.begin() + end);
  }
  EXPECT_EQ(joined, expected);
}

// The packer reads and filters the text in blocks of a few hundred
// kilobytes, twice (to count, then to write). A text of several blocks must
// come out whole and in order; at every multiple of 64 KiB, a block edge
// for any block size of that grain, the text has a dropped byte on each side
// and a CR LF pair split across it.
TEST_F(Packer, ATextOfManyBlocksKeepsEveryByteInOrder) {
  Bytes text;
  std::uint32_t seed = 7;
  while (text.size() < 3 * 1024 * 1024 + 123) {
    seed = seed * 1103515245u + 12345u;
    std::size_t edge = text.size() % 65536;
    unsigned pick = (seed >> 16) % 64;
    if (edge == 65535) {
      text.push_back('\r');
    } else if (edge == 0) {
      text.push_back(0x01);
    } else if (edge == 1) {
      text.push_back('\n');
    } else if (pick == 0) {
      text.push_back(static_cast<unsigned char>((seed >> 8) % 0x20));
    } else {
      text.push_back(static_cast<unsigned char>(0x20 + (seed >> 8) % 0xE0));
    }
  }
  ASSERT_EQ(Pack(text, "blocks.txt"), kResultOk);
  Bytes expected = KeptByRule(text);
  Bytes file = Packed();
  std::size_t textRecords = expected.size() / 4096 + 1;
  std::size_t textStart = 78 + 8 * (text.size() / 4096 + 2) + 16;
  ASSERT_EQ(file.size(), textStart + expected.size());
  EXPECT_EQ(EntryOffset(file, 1), textStart);
  EXPECT_EQ(At32(file, 78 + 8 * (textRecords + 1) + 4), expected.size());
  EXPECT_TRUE(Bytes(file.begin() + static_cast<std::ptrdiff_t>(textStart), file.end()) == expected);
}

// Texts of every kind the code treats apart, each over a few records.
std::vector<std::pair<const char*, Bytes>> TextsOfEveryKind() {
  std::vector<std::pair<const char*, Bytes>> texts;
  Bytes prose, high, runs, spaces, controls, midPair;
  std::uint32_t seed = 11;
  for (int i = 0; prose.size() < 9000; ++i) {
    std::string line = "\tThe tide at number " + std::to_string(i * 7919 % 1000) + " turns.\n";
    prose.insert(prose.end(), line.begin(), line.end());
  }
  for (int i = 0; i < 9000; ++i) {
    seed = seed * 1103515245u + 12345u;
    high.push_back(static_cast<unsigned char>(0x80 + (seed >> 16) % 0x80));
  }
  for (unsigned char byte : {'a', ' ', '\xE9', '\n'}) runs.insert(runs.end(), 3000, byte);
  for (int round = 0; round < 40; ++round) {
    for (unsigned value = 0x09; value < 0x100; ++value) {
      spaces.push_back(' ');
      spaces.push_back(static_cast<unsigned char>(value));
    }
  }
  for (int i = 0; i < 6000; ++i)
    controls.push_back(static_cast<unsigned char>(i % 9 == 0 ? 'x' : i % 9));
  midPair = Repeat('q', 4095);  // a space ends record 0, its letter starts record 1
  midPair.push_back(' ');
  midPair.push_back('A');
  midPair.insert(midPair.end(), 100, 'b');
  texts = {{"prose", prose},
           {"bytes 0x80-0xFF", high},
           {"long runs", runs},
           {"space pairs", spaces},
           {"0x01-0x08", controls},
           {"mid-pair", midPair},
           {"two full records", Repeat('r', 8192)},
           {"empty", {}}};
  return texts;
}

// Our decoder, record by record, as the header record describes them.
Bytes DecodeCompressedRecords(const Bytes& file) {
  Bytes text;
  std::size_t records = At16(file, 76);
  for (std::size_t i = 1; i < records; ++i) {
    std::size_t start = EntryOffset(file, i);
    std::size_t end = i + 1 < records ? EntryOffset(file, i + 1) : file.size();
    unsigned char out[4096];
    std::size_t produced = 0;
    EXPECT_EQ(DecodeRecord(file.data() + start, end - start, out, sizeof out, &produced),
              Lz77Result::kComplete)
        << i;
    text.insert(text.end(), out, out + produced);
  }
  return text;
}

TEST_F(Packer, CompressedTextsDecodeToTheKeptText) {
  for (const auto& [kind, text] : TextsOfEveryKind()) {
    WriteFileBytes(dir.File("notes.txt"), text);
    ASSERT_EQ(PackTextFile(Target().c_str(), Folder().c_str(), NameList("notes.txt").c_str(),
                           nullptr, PackOptions{true}),
              kResultOk)
        << kind;
    Bytes expected = KeptByRule(text);
    Bytes file = Packed();
    std::size_t recordZero = EntryOffset(file, 0);
    EXPECT_EQ(At16(file, recordZero), 2) << kind;
    EXPECT_EQ(At32(file, recordZero + 4), expected.size()) << kind;
    EXPECT_EQ(At16(file, recordZero + 8), expected.size() / 4096 + 1) << kind;
    EXPECT_EQ(At16(file, recordZero + 10), 4096) << kind;
    EXPECT_TRUE(DecodeCompressedRecords(file) == expected) << kind;
    std::remove(Target().c_str());
  }
}

#if !defined(_WIN32)
// Packs in a child whose files may grow to `limit` bytes at most, as on a
// full disk; returns the child's result.
int PackUnderFileSizeLimit(const std::string& target, const std::string& folder,
                           const std::string& name, rlim_t limit) {
  pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit cap = {limit, limit};
    if (setrlimit(RLIMIT_FSIZE, &cap) != 0) _exit(100);
    _exit(PackTextFile(target.c_str(), folder.c_str(), NameList(name).c_str()));
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST_F(Packer, AFailedWriteGives19AndLeavesNothing) {
  Bytes text = Repeat('q', 200000);
  WriteFileBytes(dir.File("notes.txt"), text);
  std::size_t full = 78 + 8 * 50 + 16 + 200000;
  // In the header, in the record list, in the text, one byte short of the end.
  for (rlim_t limit : {rlim_t{40}, rlim_t{300}, rlim_t{100000}, rlim_t{full - 1}}) {
    EXPECT_EQ(PackUnderFileSizeLimit(Target(), Folder(), "notes.txt", limit), kResultWriteError)
        << limit;
    EXPECT_FALSE(FileExists(Target())) << limit;
  }
  EXPECT_EQ(PackUnderFileSizeLimit(Target(), Folder(), "notes.txt", full), kResultOk);
  EXPECT_EQ(Packed().size(), full);
}
#endif

#if defined(__linux__)
bool ToolOnPath(const char* tool) {
  return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

#if defined(ORMIDAL_INTEROP_SCRIPTS)
// The peers read every kind of compressed text as our decoder does:
// txt2pdbdoc (which cannot read an empty record, so the texts that fill
// their records exactly are left to calibre) and calibre's own decoder.
TEST_F(Packer, ThePeersReadCompressedTextsBack) {
  bool txt2pdbdoc = ToolOnPath("txt2pdbdoc");
  bool calibre = ToolOnPath("calibre-debug");
  if (!txt2pdbdoc && !calibre) GTEST_SKIP() << "neither txt2pdbdoc nor calibre is installed";
  std::string decoded = dir.File("decoded.txt");
  for (const auto& [kind, text] : TextsOfEveryKind()) {
    WriteFileBytes(dir.File("notes.txt"), text);
    ASSERT_EQ(PackTextFile(Target().c_str(), Folder().c_str(), NameList("notes.txt").c_str(),
                           nullptr, PackOptions{true}),
              kResultOk)
        << kind;
    Bytes expected = KeptByRule(text);
    if (txt2pdbdoc && expected.size() % 4096 != 0) {
      std::string command = "txt2pdbdoc -d '" + Target() + "' '" + decoded + "' >/dev/null 2>&1";
      ASSERT_EQ(std::system(command.c_str()), 0) << kind;
      EXPECT_TRUE(ReadFileBytes(decoded) == expected) << "txt2pdbdoc, " << kind;
      std::remove(decoded.c_str());
    }
    if (calibre) {
      std::string command = "calibre-debug -e '" ORMIDAL_INTEROP_SCRIPTS
                            "/read_document_calibre.py' '" +
                            Target() + "' '" + decoded + "' >/dev/null 2>&1";
      ASSERT_EQ(std::system(command.c_str()), 0) << kind;
      EXPECT_TRUE(ReadFileBytes(decoded) == expected) << "calibre, " << kind;
      std::remove(decoded.c_str());
    }
    std::remove(Target().c_str());
  }
}
#endif

// A real reader of the format gives the filtered text back. It cannot read
// an empty record, so no length here is a multiple of 4096.
TEST_F(Packer, ThePeerToolReadsThePackedTextBack) {
  if (!ToolOnPath("txt2pdbdoc")) GTEST_SKIP() << "txt2pdbdoc is not installed";
  for (std::size_t length : {std::size_t{1}, std::size_t{5000}, std::size_t{3 * 4096 + 7}}) {
    Bytes text;
    for (std::size_t i = 0; text.size() < length; ++i) {
      text.push_back(i % 61 == 60 ? '\n' : static_cast<unsigned char>('!' + i % 90));
    }
    ASSERT_EQ(Pack(text, "peer.txt"), kResultOk);
    std::string decoded = dir.File("decoded.txt");
    std::string command = "txt2pdbdoc -d '" + Target() + "' '" + decoded + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << length;
    EXPECT_EQ(ReadFileBytes(decoded), text) << length;
    std::remove(Target().c_str());
    std::remove(decoded.c_str());
  }
}
#endif

}  // namespace
}  // namespace ormidal::testing
