// Copying a listed entry out of the open database.
#pragma once

#include "database/archive_state.hpp"
#include "database/progress.hpp"
#include "database/result.hpp"

namespace ormidal {

// Writes the entry for `operation` to `destName`; skip and test touch no file.
// `progress` hears of every block written; when it stops the work, the
// destination is removed and the result is kResultAborted.
int ExtractEntry(const ArchiveState& state, int operation, const char* destName,
                 WriteProgress* progress = nullptr);

}  // namespace ormidal
