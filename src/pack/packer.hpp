// Packing a desktop text file into a new document database.
#pragma once

#include <cstdint>

#include "database/progress.hpp"
#include "platform/platform.hpp"

namespace ormidal {

// Text records hold 4096 bytes and the last one the remainder, so the record
// count (len / 4096 + 2, with record 0) fits 16 bits only below this length.
inline constexpr std::uint64_t kPackedTextLimit = 65534ull * 4096;

struct PackOptions {
  // The text records in the handheld's LZ77 code rather than as they are.
  bool compress = false;
  // Hears of every block written to the target; when it stops the work,
  // the target is removed and the result is kResultAborted.
  WriteProgress* progress = nullptr;
};

// Creates `packedFile` from the file `sourcePath` + the one name of `addList`
// (zero-terminated names, then an empty one). A document holds one text:
// with more than one name, nothing is created and the result is
// kResultTooManyFiles. Returns kResultOk, kResultTargetExists (nothing is touched),
// kResultCannotOpen, kResultReadError, kResultTooManyFiles, kResultNoMemory
// (nothing is created), kResultCannotCreate or kResultWriteError (nothing is
// left); kResultTooManyFiles also for a text too long for the format.
// The database is named `storedName`, in the handheld's character set, or
// the name as given when that is null. A null `sourcePath` stands for a
// source that cannot be named: after the checks of the list and the target,
// the result is kResultCannotOpen.
int PackTextFile(const char* packedFile, const char* sourcePath, const char* addList,
                 const char* storedName = nullptr, const PackOptions& options = {});

// True when the host's list of names (each zero-terminated, then an empty
// one) holds more than one name.
bool NamesSeveralFiles(const char* addList);

// Creates `packedFile` (never over an existing file) and writes the database
// named `name` whose text is what the device filter keeps of `source`, read
// once from its current position to its end. `sourceSize`, the source's size
// when it was opened, sets how many record entries are set aside ahead of
// the text; a source that has grown past them is a read error. Returns
// kResultOk, kResultTargetExists, kResultCannotCreate, kResultReadError,
// kResultWriteError, kResultTooManyFiles or kResultNoMemory; a target this
// call created is removed on failure.
int WritePackedDatabase(const char* packedFile, const char* name, platform::File source,
                        std::uint64_t sourceSize, const PackOptions& options = {});

// The time of packing as the handheld counts it: seconds since 1 January
// 1904, from `unixTime`, seconds since 1970 (UTC).
std::uint32_t HandheldTime(std::int64_t unixTime);

}  // namespace ormidal
