// A host's search extracts entries to look inside them, one at a time and
// not always in listing order: each entry, converted ones included, must
// give the same bytes alone as in a full copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "plugin_library.hpp"
#include "support/database_builder.hpp"

namespace ormidal::testing {
namespace {

PluginLibrary& Plugin() {
  static PluginLibrary library(ORMIDAL_LIBRARY_PATH);
  return library;
}

struct Copied {
  std::string name;
  Bytes bytes;
};

// Opens `database` and copies the entries whose index `wanted` accepts,
// skipping the others, as a host does.
template <typename Wanted>
std::vector<Copied> CopyEntries(const std::string& database, const TempDir& dir, Wanted wanted) {
  std::vector<Copied> copied;
  OpenArchiveRequest request{database.c_str(), 0, -1};
  void* handle = Plugin().OpenArchive(&request);
  EntryHeader header{};
  for (int index = 0; handle != nullptr && Plugin().ReadHeader(handle, &header) == 0; ++index) {
    if (!wanted(index)) {
      Plugin().ProcessFile(handle, 0, nullptr, nullptr);
      continue;
    }
    std::string name = header.fileName;
    std::string destination = dir.File("entry" + std::to_string(index));
    if (name.find("ORMIDAL_") != std::string::npos) destination = dir.File("ORMIDAL_e");
    EXPECT_EQ(Plugin().ProcessFile(handle, 2, nullptr, destination.data()), 0) << name;
    copied.push_back({name, ReadFileBytes(destination)});
  }
  if (handle != nullptr) Plugin().CloseArchive(handle);
  return copied;
}

TEST(Search, EveryEntryExtractsAloneAndInAnyOrder) {
  ASSERT_TRUE(Plugin().Loaded()) << Plugin().Error();
  TempDir dir;
  std::string text(9000, 'w');
  const DatabaseBuilder databases[] = {
      DatabaseBuilder()
          .Name("doc")
          .AddRecord(DocumentHeader(1, 9000, 3))
          .AddRecord(text.substr(0, 4096))
          .AddRecord(text.substr(4096, 4096))
          .AddRecord(text.substr(8192)),
      DatabaseBuilder().Name("notes").Kind("DATA", "MNBi").AddRecord("note one").AddRecord("two"),
      DatabaseBuilder().Name("other").Kind("abcd", "efgh").AddRecord("x").AddRecord(""),
  };
  for (const DatabaseBuilder& builder : databases) {
    std::string database = builder.WriteTo(dir.File("db.pdb"));
    std::vector<Copied> all = CopyEntries(database, dir, [](int) { return true; });
    ASSERT_GE(all.size(), 3u);
    for (int index = static_cast<int>(all.size()) - 1; index >= 0; --index) {
      std::vector<Copied> alone = CopyEntries(database, dir, [&](int i) { return i == index; });
      ASSERT_EQ(alone.size(), 1u);
      EXPECT_EQ(alone[0].name, all[index].name);
      EXPECT_EQ(alone[0].bytes, all[index].bytes) << all[index].name;
    }
  }
}

}  // namespace
}  // namespace ormidal::testing
