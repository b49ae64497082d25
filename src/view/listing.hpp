// The listing the host sees: the converted entry, the raw entry, then every
// record, one per ReadHeader call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "database/archive_state.hpp"
#include "database/dos_time.hpp"
#include "database/result.hpp"

namespace ormidal {

// Entry names fit the host's 260-byte name field with their terminator.
inline constexpr std::size_t kEntryNameSize = 260;

// One entry as the listing gives it; the plug-in's boundary writes it into
// whichever record the host passed.
struct ListedEntry {
  char name[kEntryNameSize];  // folders separated by the platform's separator
  std::uint32_t size;
  CalendarTime time;
};

// Fills `entry` with the entry at state->listPosition and advances it:
// kResultOk; or kResultEndOfListing once every entry was listed, leaving
// `entry` untouched.
int ReadNextEntry(ArchiveState* state, const char* languageFilePath, ListedEntry* entry);

}  // namespace ormidal
