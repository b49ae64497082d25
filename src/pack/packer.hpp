// Packing a desktop text file into a new document database.
#pragma once

#include <cstdint>

#include "database/progress.hpp"
#include "platform/platform.hpp"

namespace ormidal {

// Text records hold 4096 bytes and the last one the remainder, so the record
// count (len / 4096 + 2, with record 0) fits 16 bits only below this length.
inline constexpr std::uint64_t kPackedTextLimit = 65534ull * 4096;

// Creates `packedFile` from the file `sourcePath` + the one name of `addList`
// (zero-terminated names, then an empty one). A document holds one text:
// with more than one name, nothing is created and the result is
// kResultTooManyFiles. Returns kResultOk, kResultTargetExists (nothing is touched),
// kResultCannotOpen, kResultReadError, kResultTooManyFiles, kResultNoMemory
// (nothing is created), kResultCannotCreate or kResultWriteError (nothing is
// left).
// The database is named `storedName`, in the handheld's character set, or
// the name as given when that is null. A null `sourcePath` stands for a
// source that cannot be named: after the checks of the list and the target,
// the result is kResultCannotOpen. `progress` hears of every block written
// to the target; when it stops the work, the target is removed and the
// result is kResultAborted.
int PackTextFile(const char* packedFile, const char* sourcePath, const char* addList,
                 const char* storedName = nullptr, WriteProgress* progress = nullptr);

// True when the host's list of names (each zero-terminated, then an empty
// one) holds more than one name.
bool NamesSeveralFiles(const char* addList);

// Counts the bytes StripForDevice keeps from the current position of `source`
// to its end. False when reading fails (or no buffer could be had).
bool CountKeptBytes(platform::File source, std::uint64_t* kept);

// Creates `packedFile` (never over an existing file) and writes the database
// named `name` whose text is the `textLength` kept bytes of `source`, read
// from its start. Returns kResultOk, kResultTargetExists, kResultCannotCreate,
// kResultReadError (also when the source no longer yields `textLength` kept
// bytes), kResultWriteError or kResultNoMemory; a target this call created
// is removed on failure. `textLength` must be below kPackedTextLimit.
int WritePackedDatabase(const char* packedFile, const char* name, platform::File source,
                        std::uint32_t textLength);

}  // namespace ormidal
