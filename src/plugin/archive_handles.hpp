// The handles OpenArchive gives out. Each names an archive state of its own,
// so a host may keep several databases open and use each from its own
// thread. A handle is a number, not an address: one the library did not give
// out, or one already closed, is recognised as such without touching memory.
#pragma once

#include <cstdint>

#include "database/archive_state.hpp"
#include "plugin/host_callbacks.hpp"

namespace ormidal {

// An open database and what the host is told of it alike for every entry.
struct OpenedArchive {
  ArchiveState state;
  std::uint32_t hostFileTime;  // the entries' time in the platform's form
  HostCallbacks callbacks;
};

// How many databases may be open at once in one process.
inline constexpr unsigned kMaxOpenArchives = 1024;

// Opens the database at `path` into a new state. Returns its handle and sets
// *result to kResultOk; or returns null with *result kResultCannotOpen,
// kResultBadArchive or kResultNoMemory (no memory, or every handle in use).
void* OpenArchiveHandle(const char* path, int* result);

// The database `handle` names, or null for a handle that is not open.
OpenedArchive* FindArchive(void* handle);

// Releases the state `handle` names. False for a handle that is not open.
bool CloseArchiveHandle(void* handle);

}  // namespace ormidal
