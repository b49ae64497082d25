// What a host sees through its process-data callbacks: every byte written,
// a cancel honoured with nothing left behind, each database and each packing
// thread with callbacks of its own; and the extracted entry's time.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.hpp"
#include "plugin_library.hpp"
#include "support/database_builder.hpp"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace ormidal::testing {
namespace {

PluginLibrary& Plugin() {
  static PluginLibrary library(ORMIDAL_LIBRARY_PATH);
  return library;
}

// What one callback heard. Each listener is a function of its own, as a
// host's is, so that two databases can be told apart.
struct Heard {
  std::atomic<std::uint64_t> bytes{0};
  std::atomic<int> calls{0};
  std::atomic<int> largest{0};
  std::atomic<bool> namesMatch{true};
  std::uint64_t cancelAfter = ~0ull;  // answer 0 once this much was heard
  std::string name;                   // the file name every call must carry
};

Heard heard[3];

template <int kListener, typename Char>
int ORMIDAL_CALL Listen(Char* fileName, int size) {
  Heard& h = heard[kListener];
  h.calls++;
  if (size > h.largest) h.largest = size;
  h.bytes += static_cast<std::uint64_t>(size);
  std::string name;
  for (const Char* c = fileName; *c != 0; ++c) name.push_back(static_cast<char>(*c));
  if (name != h.name) h.namesMatch = false;
  return h.bytes >= h.cancelAfter ? 0 : 1;
}

void Reset(int listener, const std::string& name, std::uint64_t cancelAfter = ~0ull) {
  heard[listener].bytes = 0;
  heard[listener].calls = 0;
  heard[listener].largest = 0;
  heard[listener].namesMatch = true;
  heard[listener].cancelAfter = cancelAfter;
  heard[listener].name = name;
}

template <int kListener>
void* AnsiListener() {
  return reinterpret_cast<void*>(&Listen<kListener, char>);
}
template <int kListener>
void* WideListener() {
  return reinterpret_cast<void*>(&Listen<kListener, char16_t>);
}

void* const kPacking = reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));

std::uint64_t SizeOf(const std::string& path) {
  std::error_code error;
  return std::filesystem::file_size(path, error);
}

class Progress : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Plugin().Loaded()) << Plugin().Error(); }

  // A database of two 3 MB records, so that a copy takes several reports.
  std::string BigDatabase(const std::string& name) {
    Bytes record(3 * 1024 * 1024 + 17);
    for (std::size_t i = 0; i < record.size(); ++i) record[i] = static_cast<unsigned char>(i % 251);
    return DatabaseBuilder()
        .Name(name)
        .AddRecord(ToBytes("header"))
        .AddRecord(record)
        .AddRecord(record)
        .WriteTo(dir.File(name + ".pdb"));
  }

  void* Open(const std::string& path) {
    OpenArchiveRequest request{path.c_str(), 0, -1};
    return plugin.OpenArchive(&request);
  }

  // Lists the database's entries up to the one whose name ends in `suffix`.
  EntryHeader ListUpTo(void* handle, const std::string& suffix) {
    EntryHeader header{};
    while (plugin.ReadHeader(handle, &header) == 0) {
      std::string name = header.fileName;
      if (name.size() >= suffix.size() &&
          name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        return header;
      plugin.ProcessFile(handle, 0, nullptr, nullptr);
    }
    ADD_FAILURE() << "no entry " << suffix;
    return header;
  }

  int Extract(void* handle, const std::string& destination) {
    std::string copy = destination;
    return plugin.ProcessFile(handle, 2, nullptr, copy.data());
  }

  PluginLibrary& plugin = Plugin();
  TempDir dir;
};

TEST_F(Progress, ReportsEveryByteOfEachKindOfEntryAndCancelsLeavingNothing) {
  std::string database = BigDatabase("big");
  struct Case {
    const char* entry;  // the end of the listed name
    bool wide;          // the Unicode callback
    std::uint64_t cancelAfter;
  };
  const Case cases[] = {
      {"00002", false, ~0ull},      {"big.TEXt", true, ~0ull}, {".txt", false, ~0ull},
      {"00001", true, 1024 * 1024}, {"big.TEXt", false, 1},    {".txt", true, 4 * 1024 * 1024},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.entry) + (c.wide ? " wide" : " ansi"));
    void* handle = Open(database);
    ASSERT_NE(handle, nullptr);
    std::string destination = dir.File("out");
    Reset(0, destination, c.cancelAfter);
    if (c.wide) {
      plugin.SetProcessDataProcW(handle, WideListener<0>());
    } else {
      plugin.SetProcessDataProc(handle, AnsiListener<0>());
    }
    ListUpTo(handle, c.entry);
    int result = Extract(handle, destination);
    if (c.cancelAfter == ~0ull) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(heard[0].bytes, SizeOf(destination));
      EXPECT_GE(heard[0].calls, 3);
    } else {
      EXPECT_EQ(result, 21);
      EXPECT_FALSE(std::filesystem::exists(destination));
    }
    EXPECT_LE(heard[0].largest, 1024 * 1024);
    EXPECT_TRUE(heard[0].namesMatch);
    plugin.CloseArchive(handle);
    std::filesystem::remove(destination);
  }
}

TEST_F(Progress, PackingReportsToTheCallbacksOfItsOwnThread) {
  std::string text(5 * 1024 * 1024, 'a');
  WriteFileBytes(dir.File("notes.txt"), ToBytes(text));
  struct Case {
    bool wide;
    std::uint64_t cancelAfter;
  };
  for (const Case& c : {Case{false, ~0ull}, Case{true, ~0ull}, Case{false, 2 * 1024 * 1024}}) {
    std::string folder = dir.Path() + platform::kSeparator;
    std::string target = dir.File("packed.pdb");
    Reset(1, folder + "notes.txt", c.cancelAfter);
    // Set on another thread, the callbacks must not reach this one.
    std::thread([] { Plugin().SetProcessDataProc(kPacking, AnsiListener<2>()); }).join();
    Reset(2, "");
    plugin.SetProcessDataProc(kPacking, c.wide ? nullptr : AnsiListener<1>());
    plugin.SetProcessDataProcW(kPacking, c.wide ? WideListener<1>() : nullptr);
    int result;
    if (c.wide) {
      std::u16string wideTarget(target.begin(), target.end()),
          wideFolder(folder.begin(), folder.end());
      std::u16string names = u"notes.txt";
      names.push_back(0);
      result = plugin.PackFilesW(wideTarget.data(), nullptr, wideFolder.data(), names.data(), 0);
    } else {
      std::string names = std::string("notes.txt") + '\0';
      result = plugin.PackFiles(target.data(), nullptr, folder.data(), names.data(), 0);
    }
    if (c.cancelAfter == ~0ull) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(heard[1].bytes, SizeOf(target));
    } else {
      EXPECT_EQ(result, 21);
      EXPECT_FALSE(std::filesystem::exists(target));
    }
    EXPECT_TRUE(heard[1].namesMatch);
    EXPECT_EQ(heard[2].calls, 0);
    std::filesystem::remove(target);
  }
  plugin.SetProcessDataProc(kPacking, nullptr);
  plugin.SetProcessDataProcW(kPacking, nullptr);
}

TEST_F(Progress, TwoDatabasesInTwoThreadsHearOnlyTheirOwn) {
  std::string first = BigDatabase("first"), second = BigDatabase("second");
  std::string firstOut = dir.File("first.out"), secondOut = dir.File("second.out");
  Reset(0, firstOut);
  Reset(1, secondOut);
  auto copy = [this](const std::string& database, const std::string& out, void* listener) {
    void* handle = Open(database);
    plugin.SetProcessDataProc(handle, listener);
    for (int round = 0; round < 3; ++round) {
      ListUpTo(handle, "00002");
      EXPECT_EQ(Extract(handle, out), 0);
      plugin.CloseArchive(handle);
      handle = Open(database);
      plugin.SetProcessDataProc(handle, listener);
    }
    plugin.CloseArchive(handle);
  };
  std::thread a(copy, first, firstOut, AnsiListener<0>());
  std::thread b(copy, second, secondOut, AnsiListener<1>());
  a.join();
  b.join();
  EXPECT_EQ(heard[0].bytes, 3 * SizeOf(firstOut));
  EXPECT_EQ(heard[1].bytes, 3 * SizeOf(secondOut));
  EXPECT_TRUE(heard[0].namesMatch);
  EXPECT_TRUE(heard[1].namesMatch);
}

// The time a host reads from the file, in the form the listing gives it.
std::uint32_t WrittenTime(const std::string& path) {
#if defined(_WIN32)
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  FILETIME written{}, local{};
  GetFileTime(file, nullptr, nullptr, &written);
  CloseHandle(file);
  WORD date = 0, time = 0;
  FileTimeToLocalFileTime(&written, &local);
  FileTimeToDosDateTime(&local, &date, &time);
  return (std::uint32_t{date} << 16) | time;
#else
  struct stat status {};
  stat(path.c_str(), &status);
  return static_cast<std::uint32_t>(status.st_mtime);
#endif
}

TEST_F(Progress, ExtractedEntriesKeepTheListedTimeAndNoCallbackIsNeeded) {
  // 2001-02-03 and 1999-12-31 from 1904, and a desktop tool's 1970-based time.
  for (std::uint32_t created : {0xB6A8C5A0u, 0xB4796D12u, 0x3A7C1C00u}) {
    std::string database = DatabaseBuilder()
                               .Name("timed")
                               .CreationTime(created)
                               .AddRecord("abc")
                               .AddRecord("defg")
                               .WriteTo(dir.File("timed.pdb"));
    void* handle = Open(database);
    for (const char* entry : {".TEXt", "00001"}) {
      EntryHeader header = ListUpTo(handle, entry);
      std::string destination = dir.File(std::string("t") + entry);
      EXPECT_EQ(Extract(handle, destination), 0);
      EXPECT_EQ(WrittenTime(destination), header.fileTime) << entry << " " << created;
    }
    plugin.CloseArchive(handle);
  }
}

TEST_F(Progress, RecognitionAndHostParametersThroughTheExports) {
  std::string database = DatabaseBuilder().Name("db").AddRecord("abc").WriteTo(dir.File("db"));
  WriteFileBytes(dir.File("text"), ToBytes(std::string(200, 'x')));
  for (const auto& [name, expected] : {std::pair{"db", 1}, {"text", 0}, {"missing", 0}}) {
    std::string path = dir.File(name);
    std::u16string wide(path.begin(), path.end());
    EXPECT_EQ(plugin.CanYouHandleThisFile(path.data()), expected) << name;
    EXPECT_EQ(plugin.CanYouHandleThisFileW(wide.data()), expected) << name;
  }
  EXPECT_EQ(plugin.CanYouHandleThisFile(nullptr), 0);
  PackDefaultParams params{};
  for (std::int32_t size : {0, 12, 20, static_cast<std::int32_t>(sizeof params), -5}) {
    params.size = size;
    std::memset(params.defaultIniName, 'a', sizeof params.defaultIniName);  // no terminator
    plugin.PackSetDefaultParams(&params);
  }
  plugin.PackSetDefaultParams(nullptr);
  EXPECT_EQ(plugin.GetPackerCaps(), 453);
}

}  // namespace
}  // namespace ormidal::testing
