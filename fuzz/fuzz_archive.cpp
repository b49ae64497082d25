// Opens the input as a database, lists every entry and extracts each one,
// the converted entry included, exactly as a host would.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "database/archive_state.hpp"
#include "plugin/interface.hpp"
#include "view/extraction.hpp"
#include "view/listing.hpp"

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
  std::string database = WorkFolder() + "/input.pdb";
  std::string output = WorkFolder() + "/out";
  FILE* file = std::fopen(database.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);

  if (ormidal::OpenDatabase(database.c_str(), state) != ormidal::kResultOk) return 0;
  ormidal::ListedEntry entry;
  int entries = 0;
  while (ormidal::ReadNextEntry(state, "", ormidal::kHostNames, &entry) == ormidal::kResultOk) {
    if (entry.name[sizeof entry.name - 1] != '\0') std::abort();
    // The listing never promises more bytes than the file holds.
    if (entry.size > state->fileSize) std::abort();
    // A thousand extractions per input keep each run short.
    int operation = ++entries < 1000 ? ormidal::kOperationExtract : ormidal::kOperationSkip;
    ormidal::ExtractEntry(*state, operation, output.c_str());
  }
  unlink(output.c_str());
  ormidal::ClearArchiveState(state);
  return 0;
}
