// The listing the host sees: the converted entries, the raw entry, then
// every record or resource, one per ReadHeader call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "database/archive_state.hpp"
#include "database/dos_time.hpp"
#include "database/result.hpp"

namespace ormidal {

// The 8-bit host record's name field, terminator included.
inline constexpr std::size_t kEntryNameSize = 260;
// Room for the longest name the listing makes, in any form.
inline constexpr std::size_t kListedNameSize = 1024;

// One entry as the listing gives it; the plug-in's boundary writes it into
// whichever record the host passed.
struct ListedEntry {
  char name[kListedNameSize];  // folders separated by the platform's separator
  std::uint32_t size;
  CalendarTime time;
};

// Fills `entry` with the entry at state->listPosition, its name in `form`,
// and advances it: kResultOk; or kResultEndOfListing once every entry was
// listed, leaving `entry` untouched.
//
// Names in the host form are, on Windows, the database's own bytes and the
// folder names in the user's code page, as the 8-bit host reads them;
// elsewhere, and in the Unicode form, UTF-8: the database's name and type
// code are read as Windows-1252, the handheld's character set.
int ReadNextEntry(ArchiveState* state, const char* languageFilePath, NameForm form,
                  ListedEntry* entry);

// The last component of the name of the entry at listing position
// `position` (as the cursor counts; the kind's entries planned), in UTF-8,
// into `title` of kListedNameSize bytes: what a destination named after the
// entry ends in.
void BuildEntryTitle(const ArchiveState& state, std::int32_t position, char* title);

}  // namespace ormidal
