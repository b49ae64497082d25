// Telling a database file by its content, whatever its name: the host asks
// before it offers to open a file with no known extension.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ormidal {

// True when the header and the record (or resource) list at the start of
// `bytes` describe a database of `fileSize` bytes: a terminated name
// without control characters, printable type and creator codes, a list that
// fits the file, and entries in order that point between the list's end
// and the end of the file. `bytes` holds the first `size` bytes of the file;
// fewer than the header and list need is a "no".
bool LooksLikeDatabase(const unsigned char* bytes, std::size_t size, std::uint64_t fileSize);

// The same for the file at `path`, reading no more than its header and its
// list. False for anything that cannot be opened as a regular file.
bool FileLooksLikeDatabase(const char* path);

}  // namespace ormidal
