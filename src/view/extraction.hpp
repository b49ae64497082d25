// Copying a listed entry out of the open database.
#pragma once

#include "database/archive_state.hpp"
#include "database/result.hpp"

namespace ormidal {

// Writes the entry for `operation` to `destName`; skip and test touch no file.
int ExtractEntry(const ArchiveState& state, int operation, const char* destName);

}  // namespace ormidal
