// The Unicode exports as a host calls them: paths in any script, names of
// the handheld's character set in UTF-16, and the host's record written
// exactly as far as the plug-in owns it.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "convert/unicode.hpp"
#include "platform/platform.hpp"
#include "plugin_library.hpp"
#include "support/database_builder.hpp"

namespace ormidal::testing {
namespace {

namespace fs = std::filesystem;

PluginLibrary& Plugin() {
  static PluginLibrary library(ORMIDAL_LIBRARY_PATH);
  return library;
}

const char16_t kSeparator16 = static_cast<char16_t>(platform::kSeparator);

fs::path PathOf(const std::u16string& path) { return fs::path(path); }

std::u16string Utf16(const std::string& utf8) {
  std::vector<char16_t> units(utf8.size() + 1);
  std::size_t length = Utf8ToUtf16(utf8.data(), utf8.size(), units.data(), units.size());
  return std::u16string(units.data(), length);
}

void WriteBytes(const std::u16string& path, const Bytes& bytes) {
  std::ofstream out(PathOf(path), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good());
}

Bytes ReadBytes(const std::u16string& path) {
  std::ifstream in(PathOf(path), std::ios::binary);
  if (!in) return {};
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct WideEntry {
  std::u16string name;
  std::uint32_t size;
};

class UnicodeExports : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Plugin().Loaded()) << Plugin().Error(); }

  std::u16string Root() const { return Utf16(dir.Path()); }

  void* Open(std::u16string path, int* result) {
    OpenArchiveRequestW request{path.c_str(), 0, -1};
    void* handle = plugin.OpenArchiveW(&request);
    *result = request.openResult;
    return handle;
  }

  // Lists every entry, copying each into `folder` under its last name part.
  std::vector<WideEntry> ListAndExtract(void* handle, const std::u16string& folder,
                                        std::vector<int>* results) {
    std::vector<WideEntry> entries;
    EntryHeaderExW header;
    while (entries.size() < 100 && plugin.ReadHeaderExW(handle, &header) == 0) {
      std::u16string name(header.fileName);
      entries.push_back({name, header.unpackedSizeLow});
      std::u16string dest = folder + kSeparator16 + name.substr(name.rfind(kSeparator16) + 1);
      results->push_back(plugin.ProcessFileW(handle, 2, nullptr, dest.data()));
    }
    return entries;
  }

  PluginLibrary& plugin = Plugin();
  TempDir dir;
};

TEST_F(UnicodeExports, DeclaresBackgroundUse) { EXPECT_EQ(plugin.GetBackgroundFlags(), 3); }

// Greek, CJK and an emoji (a surrogate pair) in the folder and file names:
// none of them in a Western ANSI code page.
TEST_F(UnicodeExports, PathsOutsideTheAnsiCodePageOpenListExtractAndPack) {
  std::u16string folder = Root() + kSeparator16 + u"Φάκελος 書 😀";
  fs::create_directory(PathOf(folder));
  std::u16string database = folder + kSeparator16 + u"βιβλίο 😀.pdb";
  DatabaseBuilder builder;
  builder.Name("book").AddRecord(DocumentHeader(1, 8, 1)).AddRecord("Hi\nthere");
  WriteBytes(database, builder.Build());

  int result = -1;
  void* handle = Open(database, &result);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(result, 0);
  std::u16string out = folder + kSeparator16 + u"ἔξοδος";
  fs::create_directory(PathOf(out));
  std::vector<int> results;
  std::vector<WideEntry> entries = ListAndExtract(handle, out, &results);
  plugin.CloseArchive(handle);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].name, u"Converted" + std::u16string(1, kSeparator16) + u"ORMIDAL_book.txt");
  EXPECT_EQ(entries[1].name, u"book.TEXt");
  EXPECT_EQ(entries[3].name, u"Records" + std::u16string(1, kSeparator16) + u"00001");
  EXPECT_EQ(results, (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(ReadBytes(out + kSeparator16 + u"ORMIDAL_book.txt"), ToBytes("Hi\r\nthere"));
  EXPECT_EQ(ReadBytes(out + kSeparator16 + u"00001"), ToBytes("Hi\nthere"));
  EXPECT_EQ(ReadBytes(out + kSeparator16 + u"book.TEXt").size(), 16u + 8u);

  // Packing from and into such names; the database is named in the
  // handheld's character set, so what it lacks becomes '_'.
  WriteBytes(folder + kSeparator16 + u"Café € κείμενο.txt", ToBytes("packed\r\ntext"));
  std::u16string target = folder + kSeparator16 + u"νέο 😀.pdb";
  std::u16string source = folder + kSeparator16;
  std::u16string names = std::u16string(u"Café € κείμενο.txt") + u'\0' + u'\0';
  std::u16string subPath;
  ASSERT_EQ(plugin.PackFilesW(target.data(), subPath.data(), source.data(), names.data(), 0), 0);
  Bytes packed = ReadBytes(target);
  ASSERT_GT(packed.size(), 78u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(packed.data())), "Caf\xE9 \x80 _______.txt");
  handle = Open(target, &result);
  ASSERT_NE(handle, nullptr);
  EntryHeaderExW header;
  ASSERT_EQ(plugin.ReadHeaderExW(handle, &header), 0);
  EXPECT_EQ(std::u16string(header.fileName),
            u"Converted" + std::u16string(1, kSeparator16) + u"ORMIDAL_Café € _______.txt.txt");
  plugin.CloseArchive(handle);
  // Packing never replaces a database.
  EXPECT_EQ(plugin.PackFilesW(target.data(), subPath.data(), source.data(), names.data(), 0), 24);
}

// A path longer than the classic Windows limit, up to what the host's
// record holds.
TEST_F(UnicodeExports, LongPathsWork) {
  std::u16string folder = Root();
  std::u16string create = folder;
#if defined(_WIN32)
  create = u"\\\\?\\" + folder;  // lets the test itself make the folders
#endif
  while (folder.size() < 700) {
    std::u16string part = std::u16string(1, kSeparator16) + std::u16string(90, u'ä');
    folder += part;
    create += part;
    fs::create_directory(PathOf(create));
  }
  std::u16string name = std::u16string(1, kSeparator16) + u"long.pdb";
  WriteBytes(create + name,
             DatabaseBuilder().Name("long").Kind("DATA", "none").AddRecord("abc").Build());
  int result = -1;
  void* handle = Open(folder + name, &result);
  ASSERT_NE(handle, nullptr) << result;
  std::vector<int> results;
  std::vector<WideEntry> entries = ListAndExtract(handle, folder, &results);
  plugin.CloseArchive(handle);
  EXPECT_EQ(entries.size(), 2u);
  EXPECT_EQ(results, (std::vector<int>{0, 0}));
  EXPECT_EQ(ReadBytes(create + kSeparator16 + u"00000"), ToBytes("abc"));
}

// The database's name and type are in Windows-1252; the Unicode record
// gives them as the characters they stand for.
TEST_F(UnicodeExports, HandheldNamesAreReadAsWindows1252) {
  Bytes name(32, 0);
  const char stored[] = "Caf\xE9 \x80 \x84quoted\x93 \x81";
  std::memcpy(name.data(), stored, sizeof stored - 1);
  std::string path = DatabaseBuilder()
                         .NameBytes(name)
                         .Kind("D\xE9t\x80", "none")
                         .AddRecord("x")
                         .WriteTo(dir.File("names.pdb"));
  int result = -1;
  void* handle = Open(Utf16(path), &result);
  ASSERT_NE(handle, nullptr);
  EntryHeaderExW header;
  ASSERT_EQ(plugin.ReadHeaderExW(handle, &header), 0);
  EXPECT_EQ(std::u16string(header.fileName), u"Café € „quoted“ \uFFFD.Dét€");
  plugin.CloseArchive(handle);

  OpenArchiveRequest request{path.c_str(), 0, -1};
  handle = plugin.OpenArchive(&request);
  ASSERT_NE(handle, nullptr);
  EntryHeader ansi{};
  ASSERT_EQ(plugin.ReadHeader(handle, &ansi), 0);
#if defined(_WIN32)
  // The 8-bit record keeps the stored bytes, as it always has.
  EXPECT_EQ(std::string(ansi.fileName), std::string(stored) + ".D\xE9t\x80");
#else
  // Hosts on POSIX read UTF-8.
  EXPECT_EQ(std::string(ansi.fileName),
            "Caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Equoted\xE2\x80\x9C "
            "\xEF\xBF\xBD.D\xC3\xA9t\xE2\x82\xAC");
#endif
  plugin.CloseArchive(handle);
}

// An unpaired surrogate is no path: refused as a path that cannot be opened
// or created, never turned into another file's name.
TEST_F(UnicodeExports, UnpairedSurrogatesAreRefused) {
  std::string good = DatabaseBuilder().Name("s").AddRecord("x").WriteTo(dir.File("s.pdb"));
  std::u16string broken[] = {Root() + kSeparator16 + u"a\xD800.pdb",
                             Root() + kSeparator16 + u"a\xDC00.pdb",
                             Root() + kSeparator16 + u"\xD83D"};
  for (std::u16string& path : broken) {
    int result = -1;
    EXPECT_EQ(Open(path, &result), nullptr);
    EXPECT_EQ(result, 15);
  }
  int result = -1;
  void* handle = Open(Utf16(good), &result);
  ASSERT_NE(handle, nullptr);
  EntryHeaderExW header;
  ASSERT_EQ(plugin.ReadHeaderExW(handle, &header), 0);
  EXPECT_EQ(plugin.ProcessFileW(handle, 2, nullptr, broken[0].data()), 16);
  EXPECT_EQ(plugin.ProcessFileW(handle, 0, nullptr, broken[0].data()), 0);
  plugin.CloseArchive(handle);

  WriteFileBytes(dir.File("t.txt"), ToBytes("text"));
  std::u16string folder = Root() + kSeparator16;
  std::u16string target = Root() + kSeparator16 + u"t.pdb";
  std::u16string names = std::u16string(u"t.txt") + u'\0' + u'\0';
  std::u16string brokenNames = std::u16string(u"t\xDC01.txt") + u'\0' + u'\0';
  std::u16string subPath;
  EXPECT_EQ(plugin.PackFilesW(broken[0].data(), subPath.data(), folder.data(), names.data(), 0),
            16);
  EXPECT_EQ(plugin.PackFilesW(target.data(), subPath.data(), folder.data(), brokenNames.data(), 0),
            15);
  EXPECT_EQ(plugin.PackFilesW(target.data(), subPath.data(), broken[0].data(), names.data(), 0),
            15);
  EXPECT_FALSE(FileExists(dir.File("t.pdb")));
  for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(dir.Path()))) {
    std::string file = entry.path().filename().string();
    EXPECT_TRUE(file == "s.pdb" || file == "t.txt") << file;
  }
}

// The plug-in owns the record's first 4140 bytes and nothing beyond.
TEST_F(UnicodeExports, TheRecordIsWrittenUpToItsEndAndNoFurther) {
  std::string path = DatabaseBuilder()
                         .Name("rec")
                         .CreationTime(1199448000)
                         .AddRecord(DocumentHeader(1, 3, 1))
                         .AddRecord("abc")
                         .WriteTo(dir.File("rec.pdb"));
  int result = -1;
  void* handle = Open(Utf16(path), &result);
  ASSERT_NE(handle, nullptr);
  OpenArchiveRequest request{path.c_str(), 0, -1};
  void* ansiHandle = plugin.OpenArchive(&request);
  ASSERT_NE(ansiHandle, nullptr);

  constexpr std::size_t kOwned = 4140;
  std::vector<unsigned char> record(kOwned + 256, 0xA5);
  auto* header = reinterpret_cast<EntryHeaderExW*>(record.data());
  for (int entry = 0; entry < 4; ++entry) {
    SCOPED_TRACE(entry);
    std::fill(record.begin(), record.end(), 0xA5);
    ASSERT_EQ(plugin.ReadHeaderExW(handle, header), 0);
    EntryHeader ansi{};
    ASSERT_EQ(plugin.ReadHeader(ansiHandle, &ansi), 0);
    for (std::size_t i = kOwned; i < record.size(); ++i) ASSERT_EQ(record[i], 0xA5) << i;
    EXPECT_EQ(header->packedSizeLow, ansi.packedSize);
    EXPECT_EQ(header->unpackedSizeLow, ansi.unpackedSize);
    EXPECT_EQ(header->fileTime, ansi.fileTime);
    EXPECT_EQ(header->fileAttributes, ansi.fileAttributes);
    std::size_t nameUnits = std::u16string(header->fileName).size();
    EXPECT_EQ(nameUnits, std::strlen(ansi.fileName));
    for (std::size_t i = 0; i < kOwned; ++i) {
      bool inName = i >= offsetof(EntryHeaderExW, fileName) &&
                    i < offsetof(EntryHeaderExW, fileName) + 2 * nameUnits;
      bool inSizes = i >= 4100 && i < 4104;
      bool inUnpacked = i >= 4108 && i < 4112;
      bool inTime = i >= 4124 && i < 4128;
      bool inAttributes = i >= 4136 && i < 4140;
      if (!inName && !inSizes && !inUnpacked && !inTime && !inAttributes) {
        ASSERT_EQ(record[i], 0) << "byte " << i;
      }
    }
  }
  unsigned char before = record[100];
  EXPECT_EQ(plugin.ReadHeaderExW(handle, header), 1);  // the end: left as it was
  EXPECT_EQ(record[100], before);
  plugin.CloseArchive(handle);
  plugin.CloseArchive(ansiHandle);
}

}  // namespace
}  // namespace ormidal::testing
