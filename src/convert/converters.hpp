// Rendering a database of a recognised kind as desktop files: the converted
// entries the listing shows, and the conversion behind each.
#pragma once

#include <cstdint>

#include "database/archive_state.hpp"
#include "database/progress.hpp"
#include "platform/platform.hpp"

namespace ormidal {

// Lets the database's kind fill in its converted entries, once per open:
// a kind that renders more than the database as a whole reads what it needs
// of the file here. A kind that cannot read its file keeps the entry it
// started with, whose conversion then reports the damage; so does a kind
// with nothing more to say. Moves the listing's cursor to the first entry
// if the listing has not begun.
void PlanConvertedEntries(ArchiveState* state);

// Writes converted entry `index` (below state.convertedCount) of the
// database open as `source` to `destination`. Returns kResultOk,
// kResultBadData (damaged input: what could be decoded was written),
// kResultReadError, kResultWriteError, kResultNoMemory, kResultNotSupported,
// or kResultAborted when `progress` stopped it.
int ConvertEntry(const ArchiveState& state, std::uint32_t index, platform::File source,
                 platform::File destination, WriteProgress* progress = nullptr);

// The rendering of the database as a whole: its first converted entry, or,
// for a database of no known kind, its text as a document's.
int ConvertDatabase(const ArchiveState& state, platform::File source, platform::File destination,
                    WriteProgress* progress = nullptr);

}  // namespace ormidal
