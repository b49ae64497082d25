// Copying a listed entry out of the open database.
#pragma once

#include "database/archive_state.hpp"
#include "database/progress.hpp"
#include "database/result.hpp"

namespace ormidal {

// Writes the entry for `operation` to `destName`; skip and test touch no file.
// The entry is the one the listing gave last, or, with nothing listed, the
// one the destination's name names. Plans the kind's converted entries
// first, as the listing does, if it has not yet. `progress` hears of every
// block written; when it stops the work, the destination is removed and the
// result is kResultAborted.
int ExtractEntry(ArchiveState& state, int operation, const char* destName,
                 WriteProgress* progress = nullptr);

}  // namespace ormidal
