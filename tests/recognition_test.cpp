// Recognition by content: every database, record or resource, is known;
// nothing else is, whatever its size or its first bytes.
#include "database/recognition.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/database_builder.hpp"

namespace ormidal {
namespace {

using testing::Bytes;
using testing::DatabaseBuilder;
using testing::TempDir;
using testing::ToBytes;
using testing::WriteFileBytes;

// A resource database: attribute bit 0x0001 and 10-byte entries of type,
// ID and offset.
Bytes ResourceDatabase(const std::vector<Bytes>& resources) {
  Bytes file(78, 0);
  std::string name = "Application";
  std::copy(name.begin(), name.end(), file.begin());
  file[33] = 0x01;
  std::string codes = "applTEST";
  std::copy(codes.begin(), codes.end(), file.begin() + 60);
  file[76] = static_cast<unsigned char>(resources.size() >> 8);
  file[77] = static_cast<unsigned char>(resources.size());
  std::uint32_t offset = static_cast<std::uint32_t>(78 + 10 * resources.size() + 2);
  for (std::size_t i = 0; i < resources.size(); ++i) {
    Bytes entry = ToBytes("code");
    entry.push_back(0);
    entry.push_back(static_cast<unsigned char>(i));
    for (int shift : {24, 16, 8, 0}) entry.push_back(static_cast<unsigned char>(offset >> shift));
    file.insert(file.end(), entry.begin(), entry.end());
    offset += static_cast<std::uint32_t>(resources[i].size());
  }
  file.push_back(0);
  file.push_back(0);
  for (const Bytes& resource : resources) file.insert(file.end(), resource.begin(), resource.end());
  return file;
}

Bytes Cut(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

Bytes Random(std::mt19937* random, std::size_t size) {
  Bytes bytes(size);
  for (unsigned char& byte : bytes) byte = static_cast<unsigned char>((*random)() & 0xFF);
  return bytes;
}

Bytes Text(std::mt19937* random, std::size_t size) {
  static const char kWords[] = "the quick brown fox jumps over a lazy dog\n\t";
  Bytes bytes(size);
  for (unsigned char& byte : bytes) byte = kWords[(*random)() % (sizeof kWords - 1)];
  return bytes;
}

// `prefix` followed by random bytes up to `size`.
Bytes Signed(std::mt19937* random, const Bytes& prefix, std::size_t size) {
  Bytes bytes = prefix;
  Bytes rest = Random(random, size > prefix.size() ? size - prefix.size() : 0);
  bytes.insert(bytes.end(), rest.begin(), rest.end());
  return bytes;
}

std::vector<Bytes> Databases() {
  Bytes big(70000, 'x');
  std::vector<Bytes> databases = {
      DatabaseBuilder().Name("empty").Build(),
      DatabaseBuilder().Name("one").AddRecord("abc").Build(),
      DatabaseBuilder().Name("gap").AddRecord("abc").AddRecord("").Gap({0, 0}).Build(),
      DatabaseBuilder().Name("book").Kind("BOOK", "MOBI").AddRecord(big).AddRecord(big).Build(),
      DatabaseBuilder().Name("memo").Kind("DATA", "memo").AppInfo(Bytes(276, 0)).Build(),
      DatabaseBuilder().Name("query").Kind("pqa ", "clpr").AddRecord("<html>").Build(),
      ResourceDatabase({}),
      ResourceDatabase({ToBytes("code0"), Bytes(5000, 7), ToBytes("")}),
  };
  DatabaseBuilder many;
  many.Name("many");
  for (int i = 0; i < 3000; ++i) many.AddRecord(std::to_string(i));
  databases.push_back(many.Build());
  return databases;
}

std::vector<Bytes> NonDatabases() {
  std::mt19937 random(20);
  Bytes database = DatabaseBuilder().Name("cut").AddRecord("0123456789").AddRecord("ab").Build();
  Bytes resources = ResourceDatabase({Bytes(100, 1), Bytes(100, 2)});
  std::vector<Bytes> files = {
      {},
      Bytes(77, 'a'),
      Bytes(77, 0),
      Bytes(78, 0),
      Bytes(4096, 0),
      // A list longer than the file, offsets out of order, offsets before
      // the list's end or past the file's end, codes with control bytes.
      DatabaseBuilder().Name("short").StatedRecordCount(40).AddRecord("x").Build(),
      DatabaseBuilder().AddRecord("a").AddRecord("b").StatedOffsets({100, 90}).Build(),
      DatabaseBuilder().AddRecord("a").StatedOffsets({20}).Build(),
      DatabaseBuilder().AddRecord("a").StatedOffsets({5000}).Build(),
      DatabaseBuilder().Kind("TE\nt", "REAd").AddRecord("a").Build(),
      DatabaseBuilder().NameBytes(Bytes(32, 'n')).AddRecord("a").Build(),
      DatabaseBuilder().StatedAppInfoOffset(9999).Build(),
  };
  // Every cut before the last record's start leaves a list that points
  // past the file.
  for (std::size_t size = 0; size < database.size() - 2; ++size)
    files.push_back(Cut(database, size));
  for (std::size_t size = 0; size < resources.size() - 100; size += 7)
    files.push_back(Cut(resources, size));
  const Bytes zip = {'P', 'K', 3, 4}, png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F', 0};
  for (std::size_t size : {78, 100, 300, 1000, 5000, 70000}) {
    for (int copy = 0; copy < 12; ++copy) {
      files.push_back(Random(&random, size));
      files.push_back(Text(&random, size));
      files.push_back(Signed(&random, zip, size));
      files.push_back(Signed(&random, png, size));
      files.push_back(Signed(&random, jpeg, size));
    }
  }
  return files;
}

TEST(Recognition, KnowsEveryDatabaseAndNothingElse) {
  TempDir dir;
  int index = 0;
  for (bool database : {true, false}) {
    for (const Bytes& bytes : database ? Databases() : NonDatabases()) {
      std::string path = dir.File("file" + std::to_string(index++));
      WriteFileBytes(path, bytes);
      EXPECT_EQ(FileLooksLikeDatabase(path.c_str()), database) << "file " << index - 1;
      EXPECT_EQ(LooksLikeDatabase(bytes.data(), bytes.size(), bytes.size()), database)
          << "file " << index - 1;
      std::filesystem::remove(path);
    }
  }
  EXPECT_GT(index, 400);
}

// A cross build writes no samples; its packages are checked on the
// native build's samples by scripts/check-package.
#if defined(ORMIDAL_SAMPLES_DIR)
TEST(Recognition, KnowsTheBuiltSamples) {
  int seen = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(ORMIDAL_SAMPLES_DIR, error)) {
    if (entry.path().extension() != ".pdb") continue;
    ++seen;
    EXPECT_TRUE(FileLooksLikeDatabase(entry.path().string().c_str())) << entry.path();
  }
  EXPECT_GE(seen, 7);
}
#endif

TEST(Recognition, RefusesWhatIsNoFile) {
  TempDir dir;
  for (const std::string& path : {dir.Path(), dir.File("missing"), std::string()})
    EXPECT_FALSE(FileLooksLikeDatabase(path.c_str())) << path;
}

}  // namespace
}  // namespace ormidal
