// Lists the largest database the format allows through the loaded plug-in.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "plugin/interface.hpp"

namespace {

using OpenArchiveFn = void* (*)(ormidal::OpenArchiveRequest*);
using ReadHeaderFn = int (*)(void*, ormidal::EntryHeader*);
using CloseArchiveFn = int (*)(void*);

void PutBigEndian32(std::vector<unsigned char>* out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) (*out)[at + i] = static_cast<unsigned char>(value >> (24 - 8 * i));
}

// 65535 records of 16 bytes each, in a document database.
std::string WriteLargestDatabase() {
  constexpr std::uint32_t kRecords = 65535;
  constexpr std::uint32_t kRecordSize = 16;
  std::uint32_t first = 78 + 8 * kRecords;
  std::vector<unsigned char> bytes(first + kRecords * kRecordSize, 'r');
  std::fill(bytes.begin(), bytes.begin() + first, 0);
  std::snprintf(reinterpret_cast<char*>(bytes.data()), 32, "benchmark");
  std::copy_n("TEXtREAd", 8, bytes.begin() + 60);
  bytes[76] = 0xFF;
  bytes[77] = 0xFF;
  for (std::uint32_t i = 0; i < kRecords; ++i) PutBigEndian32(&bytes, 78 + 8 * i, first + i * 16);
  std::string path = (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
  path += "/ormidal_bench_65535.pdb";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return "";
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  return path;
}

void ListingThroughExports(benchmark::State& state) {
  void* library = dlopen(ORMIDAL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  std::string path = WriteLargestDatabase();
  if (library == nullptr || path.empty()) {
    state.SkipWithError("cannot load the plug-in or write the database");
    return;
  }
  auto open = reinterpret_cast<OpenArchiveFn>(dlsym(library, "OpenArchive"));
  auto read = reinterpret_cast<ReadHeaderFn>(dlsym(library, "ReadHeader"));
  auto close = reinterpret_cast<CloseArchiveFn>(dlsym(library, "CloseArchive"));
  std::size_t entries = 0;
  for (auto _ : state) {
    ormidal::OpenArchiveRequest request{path.c_str(), 0, 0};
    void* handle = open(&request);
    ormidal::EntryHeader header;
    entries = 0;
    while (read(handle, &header) == 0) ++entries;
    close(handle);
    benchmark::DoNotOptimize(entries);
  }
  state.counters["entries"] = static_cast<double>(entries);
  std::remove(path.c_str());
  dlclose(library);
}
BENCHMARK(ListingThroughExports)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
