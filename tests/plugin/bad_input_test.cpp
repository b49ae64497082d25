// Damaged, hostile and unusable inputs, fed through the exports as a host
// would feed them: every one gives its own result code, never a crash, and
// leaves no file behind that holds nothing of the database. Run under the
// sanitizers and Valgrind, the same cases also show overruns and leaks.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/platform.hpp"
#include "plugin_library.hpp"
#include "support/database_builder.hpp"
#include "support/lz77_encoder.hpp"

#if !defined(_WIN32)
#include <signal.h>
#include <sys/resource.h>
#endif

namespace ormidal::testing {
namespace {

namespace fs = std::filesystem;

PluginLibrary& Plugin() {
  static PluginLibrary library(ORMIDAL_LIBRARY_PATH);
  return library;
}

struct Outcome {
  std::string name;
  int result;
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& outcome) {
  return out << outcome.name << " -> " << outcome.result;
}

std::string InFolder(const std::string& folder, const std::string& name) {
  return folder + platform::kSeparator + name;
}

std::string Records(int index) {
  char digits[6];
  std::snprintf(digits, sizeof digits, "%05d", index);
  return InFolder("Records", digits);
}

// Prose-like text with line feeds, the same for every run.
Bytes Prose(std::size_t size) {
  static const char kWords[] = "the quick brown fox jumps over a lazy dog while it rains\n";
  Bytes text(size);
  for (std::size_t i = 0; i < size; ++i) text[i] = kWords[(i * 7 + i / 53) % (sizeof kWords - 1)];
  return text;
}

// The desktop form of text: control bytes other than tab dropped, LF as CR LF.
Bytes Desktop(const Bytes& text) {
  Bytes out;
  for (unsigned char byte : text) {
    if (byte == '\n') {
      out.push_back('\r');
      out.push_back('\n');
    } else if (byte == '\t' || byte >= 0x20) {
      out.push_back(byte);
    }
  }
  return out;
}

Bytes RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  Bytes bytes(size);
  for (unsigned char& byte : bytes) byte = static_cast<unsigned char>(generator() >> 24);
  return bytes;
}

Bytes Deflated(const Bytes& text) {
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  Bytes out(size);
  EXPECT_EQ(compress2(out.data(), &size, text.data(), static_cast<uLong>(text.size()), 9), Z_OK);
  out.resize(size);
  return out;
}

Bytes Concat(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

bool StartsWith(const Bytes& bytes, const Bytes& prefix) {
  return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

class BadInput : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Plugin().Loaded()) << Plugin().Error(); }

  // Opens `path`, expecting failure with `code`: a null handle, the code,
  // and nothing listed from the refused file.
  void ExpectRefused(const std::string& path, int code) {
    OpenArchiveRequest request{path.c_str(), 0, -1};
    EXPECT_EQ(plugin.OpenArchive(&request), nullptr);
    EXPECT_EQ(request.openResult, code);
  }

  // Opens `path`, lists every entry and extracts each into its own file in
  // `out`; what each extraction returned, in listing order.
  std::vector<Outcome> ListAndExtract(const std::string& path) {
    std::vector<Outcome> outcomes;
    OpenArchiveRequest request{path.c_str(), 0, -1};
    void* handle = plugin.OpenArchive(&request);
    EXPECT_EQ(request.openResult, 0);
    if (handle == nullptr) return outcomes;
    fs::create_directory(out);
    EntryHeader header{};
    while (plugin.ReadHeader(handle, &header) == 0 && outcomes.size() <= 65537) {
      std::string dest = Extracted(outcomes.size());
      int result = plugin.ProcessFile(handle, 2, nullptr, dest.data());
      outcomes.push_back({header.fileName, result});
      sizes.push_back(header.unpackedSize);
      // A converted entry is listed with the size of the data it comes from.
      bool converted = std::strncmp(header.fileName, "Converted", 9) == 0;
      if (result == 0 && !converted) {
        EXPECT_EQ(fs::file_size(dest), header.unpackedSize) << header.fileName;
      } else if (result == 12 && !converted) {
        // A damaged entry keeps what could be read; never more than listed.
        EXPECT_LE(fs::file_size(dest), header.unpackedSize) << header.fileName;
      } else if (result != 0 && result != 12) {
        EXPECT_FALSE(FileExists(dest)) << header.fileName << " failed but left a file";
      }
      header = EntryHeader{};
    }
    EXPECT_EQ(plugin.CloseArchive(handle), 0);
    return outcomes;
  }

  std::string Extracted(std::size_t index) const {
    return InFolder(out, "entry" + std::to_string(index));
  }
  Bytes ExtractedBytes(std::size_t index) const { return ReadFileBytes(Extracted(index)); }

  PluginLibrary& plugin = Plugin();
  TempDir dir;
  std::string out = dir.File("out");
  std::vector<std::uint32_t> sizes;
};

TEST_F(BadInput, FilesThatAreNoDatabaseAreRefused) {
  ExpectRefused(dir.File("missing.pdb"), 15);
  ExpectRefused(dir.Path(), 15);
  WriteFileBytes(dir.File("empty.pdb"), {});
  ExpectRefused(dir.File("empty.pdb"), 13);

  Bytes whole = DatabaseBuilder().Name("cut").AddRecord("abc").Build();
  for (std::size_t length = 1; length < 78; ++length) {
    SCOPED_TRACE(length);
    WriteFileBytes(dir.File("cut.pdb"), Bytes(whole.begin(), whole.begin() + length));
    ExpectRefused(dir.File("cut.pdb"), 13);
  }
  // Three records announced, the list ends inside the second entry.
  DatabaseBuilder shortList;
  shortList.AddRecord("a").AddRecord("b").AddRecord("c").TruncateTo(78 + 8 + 4);
  ExpectRefused(shortList.WriteTo(dir.File("list.pdb")), 13);
  // The largest count a header holds, in a file of a hundred bytes.
  DatabaseBuilder tiny;
  tiny.StatedRecordCount(65535).AddRecord("x").TruncateTo(100);
  ExpectRefused(tiny.WriteTo(dir.File("tiny.pdb")), 13);
}

TEST_F(BadInput, PathsAtAndPastThePlatformLimit) {
  // A path of exactly `length` characters to a database, in nested folders
  // where one name could not hold it.
  auto pathOfLength = [&](std::size_t length) {
    std::string path = dir.Path();
    while (path.size() + 1 + 100 < length - 8) {
      path += platform::kSeparator + std::string(100, 'f');
      fs::create_directory(path);
    }
    path += platform::kSeparator;
    path += std::string(length - path.size() - 4, 'n') + ".pdb";
    EXPECT_EQ(path.size(), length);
    return path;
  };
  for (std::size_t length :
       {std::size_t{259}, std::size_t{260}, platform::kPathLimit, platform::kPathLimit + 1}) {
    SCOPED_TRACE(length);
    std::string path = pathOfLength(length);
    bool written = true;
    try {
      DatabaseBuilder().Name("long").Kind("DATA", "GPlm").AddRecord("abc").WriteTo(path);
    } catch (const std::exception&) {
      written = false;
    }
    if (!written || !FileExists(path)) {
      // The platform itself cannot make a file there; the library must
      // still refuse it cleanly.
      ExpectRefused(path, 15);
      continue;
    }
    if (length > platform::kPathLimit) {
      ExpectRefused(path, 15);
    } else {
      std::vector<Outcome> outcomes = ListAndExtract(path);
      EXPECT_EQ(outcomes, (std::vector<Outcome>{{"long.DATA", 0}, {Records(0), 0}}));
      fs::remove_all(out);
      sizes.clear();
    }
  }
}

TEST_F(BadInput, RecordRangesBeyondTheFileAreClippedNotInvented) {
  // Offsets past the end of the file: the records hold nothing.
  {
    DatabaseBuilder builder;
    builder.Kind("DATA", "GPlm").AddRecord("abc").AddRecord("defg");
    builder.StatedOffsets({builder.OffsetOf(0), 0x00100000u});
    std::vector<Outcome> outcomes = ListAndExtract(builder.WriteTo(dir.File("beyond.pdb")));
    EXPECT_EQ(outcomes, (std::vector<Outcome>{{".DATA", 0}, {Records(0), 12}, {Records(1), 12}}));
    EXPECT_EQ(ExtractedBytes(1), ToBytes("abcdefg"));  // what lies between its offset and the end
    EXPECT_TRUE(ExtractedBytes(2).empty());
    fs::remove_all(out);
    sizes.clear();
  }
  // Offsets out of order: record 0 would run backwards and wraps around.
  {
    DatabaseBuilder builder;
    builder.Kind("DATA", "GPlm").AddRecord("abc").AddRecord("defg").AddRecord("hi");
    builder.StatedOffsets({builder.OffsetOf(2), builder.OffsetOf(0), builder.OffsetOf(1)});
    std::vector<Outcome> outcomes = ListAndExtract(builder.WriteTo(dir.File("order.pdb")));
    EXPECT_EQ(outcomes, (std::vector<Outcome>{
                            {".DATA", 0}, {Records(0), 12}, {Records(1), 0}, {Records(2), 0}}));
    EXPECT_EQ(ExtractedBytes(1), ToBytes("hi"));  // from its offset to the end of the file
    EXPECT_EQ(ExtractedBytes(2), ToBytes("abc"));
    EXPECT_EQ(ExtractedBytes(3), ToBytes("defghi"));
    fs::remove_all(out);
    sizes.clear();
  }
  // A size that wraps around 4 GiB: the last offset lies just below it.
  {
    DatabaseBuilder builder;
    builder.Kind("DATA", "GPlm").AddRecord("abc").AddRecord("defg");
    builder.StatedOffsets({builder.OffsetOf(0), 0xFFFFFFF0u});
    std::vector<Outcome> outcomes = ListAndExtract(builder.WriteTo(dir.File("wrap.pdb")));
    EXPECT_EQ(outcomes, (std::vector<Outcome>{{".DATA", 0}, {Records(0), 12}, {Records(1), 12}}));
    ASSERT_EQ(sizes.size(), 3u);
    EXPECT_EQ(sizes[2], 0u);
    EXPECT_TRUE(ExtractedBytes(2).empty());
  }
}

TEST_F(BadInput, DamagedTextKeepsWhatCouldBeReadAndSaysSo) {
  Bytes text = Prose(6000);
  Bytes firstRecord(text.begin(), text.begin() + 4096);

  // Record 1, the first text record, starts beyond the end of the file.
  {
    DatabaseBuilder builder;
    builder.Name("gone").Kind("TEXt", "REAd").AddRecord(DocumentHeader(1, 6000, 1));
    builder.AddRecord(text);
    builder.StatedOffsets({builder.OffsetOf(0), 0x7FFFFFFFu});
    std::vector<Outcome> outcomes = ListAndExtract(builder.WriteTo(dir.File("gone.pdb")));
    ASSERT_FALSE(outcomes.empty());
    EXPECT_EQ(outcomes[0], (Outcome{InFolder("Converted", "ORMIDAL_gone.txt"), 12}));
    EXPECT_TRUE(ExtractedBytes(0).empty());
    fs::remove_all(out);
    sizes.clear();
  }
  // LZ77 copies that reach before the start of their record.
  {
    Bytes second = EncodeLz77(Bytes(text.begin() + 4096, text.end()));
    Bytes bad = Concat({ToBytes("ok "), CopyCode(2000, 5), EncodeLz77(ToBytes("never seen"))});
    DatabaseBuilder builder;
    builder.Name("far").Kind("TEXt", "REAd").AddRecord(DocumentHeader(2, 6000, 3));
    builder.AddRecord(EncodeLz77(firstRecord)).AddRecord(bad).AddRecord(second);
    std::vector<Outcome> outcomes = ListAndExtract(builder.WriteTo(dir.File("far.pdb")));
    ASSERT_FALSE(outcomes.empty());
    EXPECT_EQ(outcomes[0].result, 12);
    // The damaged record keeps its start; the records around it are whole.
    Bytes expected =
        Desktop(Concat({firstRecord, ToBytes("ok "), Bytes(text.begin() + 4096, text.end())}));
    EXPECT_EQ(ExtractedBytes(0), expected);
    fs::remove_all(out);
    sizes.clear();
  }
  // Random bytes where LZ77 records should be: whatever they decode to is
  // kept, and the damage is reported.
  {
    DatabaseBuilder builder;
    builder.Name("noise").Kind("TEXt", "REAd").AddRecord(DocumentHeader(2, 8192, 2));
    builder.AddRecord(RandomBytes(4096, 1)).AddRecord(RandomBytes(4096, 2));
    std::vector<Outcome> outcomes = ListAndExtract(builder.WriteTo(dir.File("noise.pdb")));
    ASSERT_FALSE(outcomes.empty());
    EXPECT_EQ(outcomes[0].result, 12);
  }
}

TEST_F(BadInput, DamagedCompressedTextKeepsWhatWasInflated) {
  Bytes text = Prose(50000);
  Bytes stream = Deflated(text);
  auto zTxt = [&](const std::string& name, const Bytes& data) {
    DatabaseBuilder builder;
    builder.Name(name).Kind("zTXT", "GPlm").AddRecord(Bytes(20, 0)).AddRecord(data);
    return builder.WriteTo(dir.File(name + ".pdb"));
  };
  {
    std::vector<Outcome> outcomes = ListAndExtract(zTxt("whole", stream));
    ASSERT_FALSE(outcomes.empty());
    EXPECT_EQ(outcomes[0], (Outcome{InFolder("Converted", "ORMIDAL_whole.txt"), 0}));
    EXPECT_EQ(ExtractedBytes(0), Desktop(text));
    fs::remove_all(out);
    sizes.clear();
  }
  {
    Bytes half(stream.begin(), stream.begin() + stream.size() / 2);
    std::vector<Outcome> outcomes = ListAndExtract(zTxt("half", half));
    ASSERT_FALSE(outcomes.empty());
    EXPECT_EQ(outcomes[0].result, 12);
    Bytes kept = ExtractedBytes(0);
    EXPECT_FALSE(kept.empty());
    EXPECT_LT(kept.size(), Desktop(text).size());
    EXPECT_TRUE(StartsWith(Desktop(text), kept));
    fs::remove_all(out);
    sizes.clear();
  }
  {
    std::vector<Outcome> outcomes = ListAndExtract(zTxt("random", RandomBytes(30000, 3)));
    ASSERT_FALSE(outcomes.empty());
    EXPECT_EQ(outcomes[0].result, 12);
    EXPECT_TRUE(ExtractedBytes(0).empty());
  }
}

TEST_F(BadInput, NamesWithEveryByteValueBecomeFileNames) {
  // 255 byte values in nine databases of 31 name bytes; each converted
  // entry must be a name the platform can create inside the folder.
  for (int first = 1; first < 256; first += 31) {
    Bytes name(32, 0);
    for (int i = 0; i < 31 && first + i < 256; ++i) name[i] = static_cast<unsigned char>(first + i);
    DatabaseBuilder builder;
    builder.NameBytes(name).Kind("TEXt", "REAd").AddRecord(DocumentHeader(1, 3, 1));
    builder.AddRecord("abc");
    std::string path = builder.WriteTo(dir.File("names.pdb"));
    OpenArchiveRequest request{path.c_str(), 0, -1};
    void* handle = plugin.OpenArchive(&request);
    ASSERT_NE(handle, nullptr);
    EntryHeader header{};
    ASSERT_EQ(plugin.ReadHeader(handle, &header), 0);
    std::string converted = header.fileName;
    std::string prefix = InFolder("Converted", "ORMIDAL_");
    ASSERT_EQ(converted.compare(0, prefix.size(), prefix), 0) << converted;
    std::string fileName = converted.substr(prefix.size() - 8);
    for (unsigned char byte : fileName) {
      EXPECT_GE(byte, 0x20) << first;
      EXPECT_EQ(std::strchr("\\/:*?\"<>|", byte), nullptr) << first << ": " << fileName;
    }
    std::string dest = dir.File(fileName);
    EXPECT_EQ(plugin.ProcessFile(handle, 2, nullptr, dest.data()), 0) << fileName;
    EXPECT_EQ(ReadFileBytes(dest), ToBytes("abc"));
    EXPECT_EQ(plugin.CloseArchive(handle), 0);
    fs::remove(dest);
  }
}

TEST_F(BadInput, DestinationsThatCannotBeWrittenLeaveNothing) {
  std::string path = DatabaseBuilder()
                         .Name("d")
                         .Kind("DATA", "GPlm")
                         .AddRecord(Prose(3000))
                         .WriteTo(dir.File("d.pdb"));
  OpenArchiveRequest request{path.c_str(), 0, -1};
  void* handle = plugin.OpenArchive(&request);
  ASSERT_NE(handle, nullptr);
  EntryHeader header{};
  ASSERT_EQ(plugin.ReadHeader(handle, &header), 0);
  std::string missingFolder = InFolder(dir.File("no-such-folder"), "copy");
  EXPECT_EQ(plugin.ProcessFile(handle, 2, nullptr, missingFolder.data()), 16);
  std::string aFolder = dir.Path();
  EXPECT_EQ(plugin.ProcessFile(handle, 2, nullptr, aFolder.data()), 16);
  EXPECT_TRUE(fs::is_directory(aFolder));
  std::string tooLong = dir.File(std::string(platform::kPathLimit, 'x'));
  EXPECT_EQ(plugin.ProcessFile(handle, 2, nullptr, tooLong.data()), 16);
  EXPECT_FALSE(fs::exists(dir.File("no-such-folder")));

#if !defined(_WIN32)
  // A full disk, as a file-size limit: the write fails part way, the
  // partial copy is removed and the database stays readable.
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &previous), 0);
  struct rlimit limit = saved;
  limit.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  std::string full = dir.File("full");
  int result = plugin.ProcessFile(handle, 2, nullptr, full.data());
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
  sigaction(SIGXFSZ, &previous, nullptr);
  EXPECT_EQ(result, 19);
  EXPECT_FALSE(FileExists(full));
  EXPECT_EQ(plugin.ProcessFile(handle, 2, nullptr, full.data()), 0);
  EXPECT_EQ(fs::file_size(full), header.unpackedSize);
#endif
  EXPECT_EQ(plugin.CloseArchive(handle), 0);
}

}  // namespace
}  // namespace ormidal::testing
