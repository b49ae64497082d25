// Listing and copying entries as a host does: ReadHeader, then ProcessFile
// for the entry just listed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "plugin_library.hpp"
#include "support/database_builder.hpp"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ormidal::testing {
namespace {

#if defined(_WIN32)
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

PluginLibrary& Plugin() {
  static PluginLibrary library(ORMIDAL_LIBRARY_PATH);
  return library;
}

std::string LastComponent(const std::string& name) {
  std::size_t at = name.rfind(kSeparator);
  return at == std::string::npos ? name : name.substr(at + 1);
}

struct Listed {
  std::string name;
  std::uint32_t size;
};

std::vector<Listed> ListAll(PluginLibrary& plugin, void* handle) {
  std::vector<Listed> entries;
  EntryHeader header{};
  while (entries.size() < 70000 && plugin.ReadHeader(handle, &header) == 0) {
    entries.push_back({header.fileName, header.packedSize});
  }
  return entries;
}

TEST(ViewExports, HostListsAndCopiesEveryEntry) {
  ASSERT_TRUE(Plugin().Loaded()) << Plugin().Error();
  PluginLibrary& plugin = Plugin();
  TempDir dir;
  DatabaseBuilder builder;
  builder.Name("book").Kind("DATA", "none").AddRecord("one").AddRecord("").AddRecord("three");
  std::string path = builder.WriteTo(dir.File("book.pdb"));
  OpenArchiveRequest request{path.c_str(), 0, -1};
  void* handle = plugin.OpenArchive(&request);
  ASSERT_NE(handle, nullptr);

  std::vector<std::string> names;
  std::vector<Bytes> copies;
  EntryHeader header{};
  while (plugin.ReadHeader(handle, &header) == 0 && names.size() < 10) {
    names.push_back(header.fileName);
    // The user saves every entry under a name of their own.
    std::string dest = dir.File("copy" + std::to_string(names.size()));
    EXPECT_EQ(plugin.ProcessFile(handle, 2, nullptr, dest.data()), 0) << names.back();
    copies.push_back(ReadFileBytes(dest));
    EXPECT_EQ(copies.back().size(), header.unpackedSize) << names.back();
  }
  std::string records = std::string("Records") + kSeparator;
  EXPECT_EQ(names, (std::vector<std::string>{"book.DATA", records + "00000", records + "00001",
                                             records + "00002"}));
  ASSERT_EQ(copies.size(), 4u);
  Bytes database = builder.Build();
  EXPECT_EQ(copies[0], Bytes(database.begin() + builder.OffsetOf(0), database.end()));
  EXPECT_EQ(copies[1], ToBytes("one"));
  EXPECT_TRUE(copies[2].empty());
  EXPECT_EQ(copies[3], ToBytes("three"));

  // A destination that cannot be created is reported.
  std::string blocked = dir.File("missing") + kSeparator + "00000";
  EXPECT_EQ(plugin.ProcessFile(handle, 2, nullptr, blocked.data()), 16);
  EXPECT_EQ(plugin.CloseArchive(handle), 0);
  EXPECT_EQ(plugin.ReadHeader(handle, &header), 1);
}

// The language the library picks up at load, as it finds it.
std::string LoadLanguage() {
#if defined(_WIN32)
  char name[3] = {0, 0, 0};
  int length = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME, name, sizeof name);
  if (length != 3) return "en";
  for (char& c : name) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return name;
#else
  return "fr";
#endif
}

class ChosenLanguage {
 public:
  ChosenLanguage() {
#if !defined(_WIN32)
    const char* old = std::getenv("LC_ALL");
    if (old != nullptr) saved_ = old;
    setenv("LC_ALL", "fr_FR.UTF-8", 1);
#endif
  }
  ~ChosenLanguage() {
#if !defined(_WIN32)
    if (saved_) {
      setenv("LC_ALL", saved_->c_str(), 1);
    } else {
      unsetenv("LC_ALL");
    }
#endif
  }

 private:
  std::optional<std::string> saved_;
};

// Lists a one-record database named b through a copy of the library in a
// folder of its own, with `iniText` as its language file.
std::vector<Listed> ListWithLanguageFile(const std::string& iniText) {
  TempDir dir;
  std::string library = dir.File(LastComponent(Plugin().ModulePath()) + ".copy");
  WriteFileBytes(library, ReadFileBytes(Plugin().ModulePath()));
  ChosenLanguage chosen;
  std::string language = LoadLanguage();
  std::string langFolder = dir.File("lang");
  std::string folder = langFolder + kSeparator + language;
#if defined(_WIN32)
  EXPECT_TRUE(CreateDirectoryA(langFolder.c_str(), nullptr));
  EXPECT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
#else
  EXPECT_EQ(mkdir(langFolder.c_str(), 0777), 0);
  EXPECT_EQ(mkdir(folder.c_str(), 0777), 0);
#endif
  std::string iniPath = folder + kSeparator + "ormidal.ini";
  WriteFileBytes(iniPath, ToBytes(iniText));

  std::string database = DatabaseBuilder().Name("b").AddRecord("x").WriteTo(dir.File("b.pdb"));
  std::vector<Listed> entries;
  {
    PluginLibrary copy(library.c_str());
    EXPECT_TRUE(copy.Loaded()) << copy.Error();
    if (copy.Loaded()) {
      OpenArchiveRequest request{database.c_str(), 0, -1};
      void* handle = copy.OpenArchive(&request);
      EXPECT_NE(handle, nullptr);
      if (handle != nullptr) {
        entries = ListAll(copy, handle);
        copy.CloseArchive(handle);
      }
    }
  }
  std::remove(iniPath.c_str());
  std::remove(library.c_str());
#if defined(_WIN32)
  RemoveDirectoryA(folder.c_str());
  RemoveDirectoryA(langFolder.c_str());
#else
  rmdir(folder.c_str());
  rmdir(langFolder.c_str());
#endif
  return entries;
}

// Every entry carries the database's creation time and the attributes of
// a plain file, in the forms the platform's hosts read.
TEST(ViewExports, TimeAndAttributesInThePlatformsForm) {
  ASSERT_TRUE(Plugin().Loaded()) << Plugin().Error();
  TempDir dir;
  // 4 January 2008, 12:34:56, counted from 1970.
  std::string path = DatabaseBuilder()
                         .Name("t")
                         .Kind("DATA", "none")
                         .CreationTime(1199450096)
                         .AddRecord("x")
                         .WriteTo(dir.File("t.pdb"));
#if !defined(_WIN32)
  const char* zone = getenv("TZ");
  std::string saved = zone != nullptr ? zone : "";
  setenv("TZ", "UTC-3", 1);  // the host shows Unix times on the local clock
  tzset();
#endif
  OpenArchiveRequest request{path.c_str(), 0, -1};
  void* handle = Plugin().OpenArchive(&request);
  ASSERT_NE(handle, nullptr);
  EntryHeader header{};
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(Plugin().ReadHeader(handle, &header), 0);
#if defined(_WIN32)
    EXPECT_EQ(header.fileTime,
              (28u << 25) | (1u << 21) | (4u << 16) | (12u << 11) | (34u << 5) | 28u);
    EXPECT_EQ(header.fileAttributes, 0);
#else
    EXPECT_EQ(header.fileTime, 1199450096u - 3 * 3600);
    EXPECT_EQ(header.fileAttributes, 0100644);
#endif
  }
  Plugin().CloseArchive(handle);
#if !defined(_WIN32)
  if (zone != nullptr) {
    setenv("TZ", saved.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
#endif
}

TEST(ViewExports, LanguageFileBesideTheLibraryRenamesTheFolders) {
  ASSERT_TRUE(Plugin().Loaded()) << Plugin().Error();
  std::vector<Listed> entries =
      ListWithLanguageFile("[ORMIDAL]\r\nRecords=Fiches\r\nConverted=Converti\r\n");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, std::string("Converti") + kSeparator + "ORMIDAL_b.txt");
  EXPECT_EQ(entries[2].name, std::string("Fiches") + kSeparator + "00000");
}

// An empty value is an empty folder name: the entries in it begin with a
// separator, which hosts take as the archive's root.
TEST(ViewExports, EmptyValuesInTheLanguageFileGiveEmptyFolderNames) {
  ASSERT_TRUE(Plugin().Loaded()) << Plugin().Error();
  std::vector<Listed> entries = ListWithLanguageFile("[ORMIDAL]\r\nRecords=\r\nConverted=  \r\n");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, std::string(1, kSeparator) + "ORMIDAL_b.txt");
  EXPECT_EQ(entries[1].name, "b.TEXt");
  EXPECT_EQ(entries[2].name, std::string(1, kSeparator) + "00000");
}

#if !defined(_WIN32)
// The shipped language files rename both folders.
TEST(ViewExports, ShippedLanguageFilesRenameBothFolders) {
  std::string source = __FILE__;
  std::string root = source.substr(0, source.rfind("/tests/"));
  for (const char* language : {"de", "fr", "es"}) {
    SCOPED_TRACE(language);
    std::string ini = root + "/lang/" + language + "/ormidal.ini";
    ASSERT_TRUE(FileExists(ini));
    std::string text(reinterpret_cast<const char*>(ReadFileBytes(ini).data()),
                     ReadFileBytes(ini).size());
    EXPECT_NE(text.find("[ORMIDAL]"), std::string::npos);
    EXPECT_NE(text.find("\nRecords="), std::string::npos);
    EXPECT_NE(text.find("\nConverted="), std::string::npos);
    EXPECT_EQ(text.find("Records=Records"), std::string::npos);
    EXPECT_EQ(text.find("Converted=Converted"), std::string::npos);
  }
}
#endif

TEST(ViewExports, ListsAndExtractsAll65535Records) {
  ASSERT_TRUE(Plugin().Loaded()) << Plugin().Error();
  PluginLibrary& plugin = Plugin();
  TempDir dir;
  DatabaseBuilder builder;
  builder.Name("big").StatedRecordCount(65535).AddRecord("last");
  builder.StatedOffsets(std::vector<std::uint32_t>(65535, 78 + 8 * 65535));
  std::string path = builder.WriteTo(dir.File("big.pdb"));
  OpenArchiveRequest request{path.c_str(), 0, -1};
  void* handle = plugin.OpenArchive(&request);
  ASSERT_NE(handle, nullptr);
  std::vector<Listed> entries = ListAll(plugin, handle);
  ASSERT_EQ(entries.size(), 65537u);
  EXPECT_EQ(LastComponent(entries.back().name), "65534");
  EXPECT_EQ(entries.back().size, 4u);
  std::string dest = dir.File("65534");
  EXPECT_EQ(plugin.ProcessFile(handle, 2, nullptr, dest.data()), 0);
  EXPECT_EQ(ReadFileBytes(dest), ToBytes("last"));
  plugin.CloseArchive(handle);
}

}  // namespace
}  // namespace ormidal::testing
