// The file-system steps the commands share: where an entry goes, what is
// already there, and writing to standard output.
#pragma once

#include <cstdio>
#include <string>

namespace ormidal::host {

#if defined(_WIN32)
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

// The entry's place under `directory`, with the platform's separators.
std::string DestinationPath(const std::string& directory, const std::string& entryName);

bool IsSameFile(const std::string& a, const std::string& b);
// True for a file, a folder or a link, even a dangling one.
bool AnythingAt(const std::string& path);
// Creates the folders above `path`; says why not on standard error.
bool CreateParentFolders(const std::string& path);
// A link in the way is replaced, not written through: the entry must land
// inside the destination folder.
void RemoveLinkInTheWay(const std::string& path);
void RemoveFile(const std::string& path);

// Flushes `stream`; says so on standard error when the output was lost.
bool FinishOutput(std::FILE* stream);
bool CopyToStandardOutput(const std::string& path);

}  // namespace ormidal::host
