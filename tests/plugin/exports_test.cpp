// The library as a host sees it: loaded by name, called through its exports.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "platform/platform.hpp"
#include "plugin_library.hpp"
#include "support/database_builder.hpp"

namespace ormidal::testing {
namespace {

PluginLibrary& Plugin() {
  static PluginLibrary library(ORMIDAL_LIBRARY_PATH);
  return library;
}

class Exports : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Plugin().Loaded()) << Plugin().Error(); }
  PluginLibrary& plugin = Plugin();
  TempDir dir;
};

TEST_F(Exports, PackerCapsBeforeAnyDatabase) { EXPECT_EQ(plugin.GetPackerCaps(), 453); }

// Each open database has a handle of its own; once closed, a handle is
// refused, as is one the library never gave out, without touching memory.
TEST_F(Exports, EachOpenGetsAHandleOfItsOwnAndOnlyOpenHandlesWork) {
  std::string first = DatabaseBuilder()
                          .Name("one")
                          .Kind("DATA", "none")
                          .AddRecord("a")
                          .WriteTo(dir.File("one.pdb"));
  std::string second =
      DatabaseBuilder().Name("two").Kind("Foto", "Foto").WriteTo(dir.File("two.pdb"));
  OpenArchiveRequest request{first.c_str(), 0, -1};
  void* one = plugin.OpenArchive(&request);
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(request.openResult, 0);
  request = {second.c_str(), 0, -1};
  void* two = plugin.OpenArchive(&request);
  ASSERT_NE(two, nullptr);
  EXPECT_NE(two, one);
  EXPECT_EQ(request.openResult, 0);

  EntryHeader header{};
  ASSERT_EQ(plugin.ReadHeader(one, &header), 0);
  EXPECT_STREQ(header.fileName, "one.DATA");
  ASSERT_EQ(plugin.ReadHeader(two, &header), 0);
  EXPECT_STREQ(header.fileName,
               (std::string("Converted") + platform::kSeparator + "ORMIDAL_two").c_str());
  EXPECT_EQ(plugin.CloseArchive(one), 0);

  std::string dest = dir.File("00000");
  int local = 0;
  for (void* refused : {one, static_cast<void*>(nullptr), static_cast<void*>(&local),
                        reinterpret_cast<void*>(static_cast<std::uintptr_t>(1)),
                        reinterpret_cast<void*>(~static_cast<std::uintptr_t>(0))}) {
    header = EntryHeader{};
    header.packedSize = 77;
    EXPECT_EQ(plugin.ReadHeader(refused, &header), 1);
    EXPECT_EQ(header.packedSize, 77u);  // left untouched
    EXPECT_EQ(plugin.ProcessFile(refused, 2, nullptr, dest.data()), 13);
    EXPECT_FALSE(FileExists(dest));
    EXPECT_EQ(plugin.CloseArchive(refused), 0);
  }
  // The other database is still open, at the entry it reached.
  ASSERT_EQ(plugin.ReadHeader(two, &header), 0);
  EXPECT_STREQ(header.fileName, "two.Foto");
  EXPECT_EQ(plugin.CloseArchive(two), 0);
  EXPECT_EQ(plugin.ReadHeader(two, &header), 1);
}

TEST_F(Exports, FailuresGiveANullHandleAndTheirCode) {
  struct HostRecord {
    OpenArchiveRequest request;
    std::int32_t after[4];
  } record{};
  std::string missing = dir.File("missing.pdb");
  record.request = {missing.c_str(), 0, -1};
  record.after[0] = 0x5A5A5A5A;
  EXPECT_EQ(plugin.OpenArchive(&record.request), nullptr);
  EXPECT_EQ(record.request.openResult, 15);
  EXPECT_EQ(record.after[0], 0x5A5A5A5A);  // fields after openResult are not touched

  std::string cut = dir.File("cut.pdb");
  WriteFileBytes(cut, Bytes(40, 1));
  record.request = {cut.c_str(), 0, -1};
  EXPECT_EQ(plugin.OpenArchive(&record.request), nullptr);
  EXPECT_EQ(record.request.openResult, 13);

  EXPECT_EQ(plugin.OpenArchive(nullptr), nullptr);
}

TEST_F(Exports, CallbackRegistrationsChangeNothing) {
  std::string path = DatabaseBuilder().Name("cb").AddRecord("abc").WriteTo(dir.File("cb.pdb"));
  OpenArchiveRequest request{path.c_str(), 0, 0};
  void* handle = plugin.OpenArchive(&request);
  ASSERT_NE(handle, nullptr);
  // A second open of the same file is a database of its own, listed afresh.
  void* again = plugin.OpenArchive(&request);
  ASSERT_NE(again, nullptr);
  EntryHeader before{};
  int firstResult = plugin.ReadHeader(handle, &before);
  plugin.SetChangeVolProc(again, reinterpret_cast<void*>(&before));
  plugin.SetProcessDataProc(nullptr, nullptr);
  EntryHeader after{};
  EXPECT_EQ(plugin.ReadHeader(again, &after), firstResult);
  EXPECT_EQ(0, std::memcmp(&before, &after, sizeof before));
  EXPECT_EQ(plugin.CloseArchive(again), 0);
  EXPECT_EQ(plugin.CloseArchive(handle), 0);
}

TEST_F(Exports, SkipAndTestTouchNoFile) {
  std::string path = DatabaseBuilder().Name("st").AddRecord("abc").WriteTo(dir.File("st.pdb"));
  OpenArchiveRequest request{path.c_str(), 0, 0};
  void* handle = plugin.OpenArchive(&request);
  std::string dest = dir.File("00000");
  for (int operation : {0, 1}) {
    EXPECT_EQ(plugin.ProcessFile(handle, operation, nullptr, dest.data()), 0);
    EXPECT_FALSE(FileExists(dest));
  }
  plugin.CloseArchive(handle);
}

TEST_F(Exports, TheEntryRoutineFindsTheLibraryFolder) {
  // The language file is looked up beside the library; a file there renames
  // the folders. That is seen through the listing, so here it is enough that
  // the library knows where it was loaded from.
  std::string path = plugin.ModulePath();
  EXPECT_NE(path.find("ormidal"), std::string::npos) << path;
}

}  // namespace
}  // namespace ormidal::testing
