// Several databases open at once, as a host keeps them: used alternately
// from one thread, and each from a thread of its own. Every entry, result
// code and extracted byte must equal what the database gives alone.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.hpp"
#include "plugin_library.hpp"
#include "support/database_builder.hpp"

namespace ormidal::testing {
namespace {

PluginLibrary& Plugin() {
  static PluginLibrary library(ORMIDAL_LIBRARY_PATH);
  return library;
}

#if defined(_WIN32)
// Under Wine each file creation costs milliseconds: copy every 16th entry.
constexpr std::size_t kExtractStride = 16;
#else
constexpr std::size_t kExtractStride = 1;
#endif

// What a host sees of one entry: the record it got and what it copied.
struct Seen {
  std::string name;
  std::uint32_t size;
  std::uint32_t time;
  std::int32_t attributes;
  int result;
  Bytes bytes;
};

bool operator==(const Seen& a, const Seen& b) {
  return a.name == b.name && a.size == b.size && a.time == b.time && a.attributes == b.attributes &&
         a.result == b.result && a.bytes == b.bytes;
}

// Which exports a walk uses: the 8-bit ones or the Unicode ones.
enum class Exports { kAnsi, kUnicode };

std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// One database walked entry by entry, one step per call, so that walks of
// several databases can be interleaved.
class Walk {
 public:
  Walk(const std::string& database, const std::string& folder, Exports exports = Exports::kAnsi)
      : folder_(folder), exports_(exports) {
    if (exports_ == Exports::kAnsi) {
      OpenArchiveRequest request{database.c_str(), 0, -1};
      handle_ = Plugin().OpenArchive(&request);
      openResult_ = request.openResult;
    } else {
      std::u16string path = Wide(database);
      OpenArchiveRequestW request{path.c_str(), 0, -1};
      handle_ = Plugin().OpenArchiveW(&request);
      openResult_ = request.openResult;
    }
  }
  ~Walk() {
    if (handle_ != nullptr) Plugin().CloseArchive(handle_);
  }
  Walk(const Walk&) = delete;
  Walk& operator=(const Walk&) = delete;

  bool Opened() const { return handle_ != nullptr && openResult_ == 0; }

  // Lists the next entry and copies it out (every kExtractStride-th one;
  // the others are skipped). False at the end of the listing.
  bool Step() {
    Seen seen{};
    if (!ReadEntry(&seen)) return false;
    std::size_t index = seen_.size();
    if (index % kExtractStride == 0) {
      std::string dest = folder_ + platform::kSeparator + "entry";
      seen.result = Extract(dest);
      seen.bytes = FileExists(dest) ? ReadFileBytes(dest) : Bytes{};
    } else {
      seen.result = Plugin().ProcessFile(handle_, 0, nullptr, nullptr);
    }
    seen_.push_back(std::move(seen));
    return true;
  }

  void ToTheEnd() {
    while (Step()) {
    }
  }

  const std::vector<Seen>& Entries() const { return seen_; }

 private:
  bool ReadEntry(Seen* seen) {
    if (exports_ == Exports::kAnsi) {
      EntryHeader header{};
      if (Plugin().ReadHeader(handle_, &header) != 0) return false;
      *seen = {header.fileName, header.unpackedSize, header.fileTime, header.fileAttributes, 0, {}};
      return true;
    }
    EntryHeaderExW header{};
    if (Plugin().ReadHeaderExW(handle_, &header) != 0) return false;
    std::u16string name(header.fileName);
    *seen = {std::string(name.begin(), name.end()),
             header.unpackedSizeLow,
             header.fileTime,
             header.fileAttributes,
             0,
             {}};
    return true;
  }

  int Extract(const std::string& dest) {
    if (exports_ == Exports::kAnsi) {
      std::string path = dest;
      return Plugin().ProcessFile(handle_, 2, nullptr, path.data());
    }
    std::u16string path = Wide(dest);
    return Plugin().ProcessFileW(handle_, 2, nullptr, path.data());
  }

  std::string folder_;
  Exports exports_;
  void* handle_ = nullptr;
  int openResult_ = -1;
  std::vector<Seen> seen_;
};

class Concurrency : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Plugin().Loaded()) << Plugin().Error();
    // A document of 3000 records and a photo of 2500, with records of
    // different sizes and contents, so no entry of one equals the other's.
    DatabaseBuilder text;
    text.Name("text").CreationTime(1199448000);
    text.AddRecord(DocumentHeader(1, 0, 2999));
    for (int i = 1; i < 3000; ++i) text.AddRecord("line " + std::to_string(i) + "\n");
    databases_[0] = text.WriteTo(dir_.File("text.pdb"));
    DatabaseBuilder photo;
    photo.Name("photo").Kind("Foto", "Foto").CreationTime(3000000000u);
    for (int i = 0; i < 2500; ++i) {
      photo.AddRecord(std::string(8, 'p') +
                      std::string(1 + i % 97, static_cast<char>('a' + i % 26)));
    }
    databases_[1] = photo.WriteTo(dir_.File("photo.pdb"));
    for (int i = 0; i < 2; ++i) {
      folders_[i] = Folder("alone" + std::to_string(i));
      Walk alone(databases_[i], folders_[i]);
      ASSERT_TRUE(alone.Opened());
      alone.ToTheEnd();
      alone_[i] = alone.Entries();
    }
    ASSERT_EQ(alone_[0].size(), 2u + 3000u);
    ASSERT_EQ(alone_[1].size(), 2u + 2500u);
  }

  std::string Folder(const std::string& name) {
    std::string folder = dir_.File(name);
    std::filesystem::create_directory(folder);
    return folder;
  }

  void ExpectSameAsAlone(int database, const std::vector<Seen>& entries) {
    ASSERT_EQ(entries.size(), alone_[database].size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (!(entries[i] == alone_[database][i])) {
        ADD_FAILURE() << "database " << database << ", entry " << i << " ("
                      << alone_[database][i].name << ") differs: got " << entries[i].name
                      << ", result " << entries[i].result;
        return;
      }
    }
  }

  TempDir dir_;
  std::string databases_[2];
  std::string folders_[2];
  std::vector<Seen> alone_[2];
};

TEST_F(Concurrency, TwoDatabasesUsedAlternatelyFromOneThread) {
  Walk text(databases_[0], Folder("a0"));
  Walk photo(databases_[1], Folder("a1"));
  ASSERT_TRUE(text.Opened() && photo.Opened());
  // Uneven steps, as a user browsing one while the other is copied.
  bool textGoes = true, photoGoes = true;
  for (int round = 0; textGoes || photoGoes; ++round) {
    for (int i = 0; i < 1 + round % 3 && textGoes; ++i) textGoes = text.Step();
    if (photoGoes) photoGoes = photo.Step();
  }
  ExpectSameAsAlone(0, text.Entries());
  ExpectSameAsAlone(1, photo.Entries());
}

TEST_F(Concurrency, EachDatabaseInAThreadOfItsOwn) {
  for (Exports exports : {Exports::kAnsi, Exports::kUnicode}) {
    SCOPED_TRACE(exports == Exports::kAnsi ? "8-bit exports" : "Unicode exports");
    std::vector<Seen> results[2];
    std::string folders[2] = {Folder("t0"), Folder("t1")};
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
      threads.emplace_back([&, i] {
        Walk walk(databases_[i], folders[i], exports);
        if (walk.Opened()) walk.ToTheEnd();
        results[i] = walk.Entries();
      });
    }
    for (std::thread& thread : threads) thread.join();
    ExpectSameAsAlone(0, results[0]);
    ExpectSameAsAlone(1, results[1]);
  }
}

// While one thread copies a database out, others open and close databases
// over and over: handles are taken and released under its feet, and its
// own handle must keep working throughout.
TEST_F(Concurrency, OpeningAndClosingElsewhereLeavesAWalkAlone) {
  std::vector<Seen> walked;
  std::string folder = Folder("w");
  std::thread walker([&] {
    Walk walk(databases_[0], folder);
    if (walk.Opened()) walk.ToTheEnd();
    walked = walk.Entries();
  });
  std::vector<std::thread> churners;
  int failures[2] = {0, 0};
  for (int c = 0; c < 2; ++c) {
    churners.emplace_back([&, c] {
      for (int i = 0; i < 300; ++i) {
        OpenArchiveRequest request{databases_[1].c_str(), 0, -1};
        void* handle = Plugin().OpenArchive(&request);
        EntryHeader header{};
        if (handle == nullptr || Plugin().ReadHeader(handle, &header) != 0 ||
            header.fileName != alone_[1][0].name) {
          ++failures[c];
        }
        Plugin().CloseArchive(handle);
        // Closed: refused from now on, however often the slot is reused.
        if (Plugin().ReadHeader(handle, &header) != 1) ++failures[c];
      }
    });
  }
  walker.join();
  for (std::thread& churner : churners) churner.join();
  EXPECT_EQ(failures[0] + failures[1], 0);
  ExpectSameAsAlone(0, walked);
}

}  // namespace
}  // namespace ormidal::testing
