// Rendering a whole database of a recognised kind as one desktop file.
#pragma once

#include "database/archive_state.hpp"
#include "database/progress.hpp"
#include "platform/platform.hpp"

namespace ormidal {

// Writes the converted rendering of the database open as `source` to
// `destination`, by state.kind. Returns kResultOk, kResultBadData (damaged
// input: what could be decoded was written), kResultReadError,
// kResultWriteError, kResultNoMemory, or kResultAborted when `progress`
// stopped it.
int ConvertDatabase(const ArchiveState& state, platform::File source, platform::File destination,
                    WriteProgress* progress = nullptr);

}  // namespace ormidal
