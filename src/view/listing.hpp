// The listing the host sees: the converted entry, the raw entry, then every
// record, one per ReadHeader call.
#pragma once

#include "database/archive_state.hpp"
#include "plugin/interface.hpp"

namespace ormidal {

// Fills `header` with the entry at state->listPosition and advances it:
// kResultOk; or kResultEndOfListing once every entry was listed.
int ReadNextEntry(ArchiveState* state, const char* languageFilePath, EntryHeader* header);

}  // namespace ormidal
