// Packs the input as a text file and checks the database opens again with
// the kept text in its records.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "database/archive_state.hpp"
#include "pack/packer.hpp"
#include "plugin/interface.hpp"

namespace {

std::string WorkFolder() {
  static std::string folder = [] {
    char pattern[] = "/tmp/ormidal-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) std::abort();
    return std::string(made);
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ormidal::ArchiveState* state = new ormidal::ArchiveState();
  std::string folder = WorkFolder() + "/";
  std::string source = folder + "text.txt";
  std::string target = folder + "packed.pdb";
  FILE* file = std::fopen(source.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
  unlink(target.c_str());

  char names[] = "text.txt\0";
  if (ormidal::PackTextFile(target.c_str(), folder.c_str(), names) != ormidal::kResultOk) {
    std::abort();
  }
  if (ormidal::OpenDatabase(target.c_str(), state) != ormidal::kResultOk) std::abort();
  std::size_t kept = 0;
  for (std::size_t i = 0; i < size; ++i) {
    uint8_t c = data[i];
    if (c == 0x09 || c == 0x0A || c >= 0x20) ++kept;
  }
  if (state->recordCount != kept / 4096 + 2) std::abort();
  if (state->fileSize != state->recordOffsets[1] + kept) std::abort();
  unlink(target.c_str());
  return 0;
}
