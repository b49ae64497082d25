// The thin layer over the operating system: files, the library's own path,
// the user's language and the language file. Nothing above this folder
// includes a Windows or POSIX header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ormidal::platform {

#if defined(_WIN32)
inline constexpr std::size_t kPathLimit = 259;  // characters, without the terminator
inline constexpr char kSeparator = '\\';
#else
inline constexpr std::size_t kPathLimit = 4095;
inline constexpr char kSeparator = '/';
#endif
inline constexpr std::size_t kPathBufferSize = kPathLimit + 1;

// An open file; `handle` is the platform's descriptor or handle.
struct File {
  std::intptr_t handle = -1;
  bool IsOpen() const { return handle != -1; }
};

enum class CreateResult { kCreated, kExists, kFailed };

// Opens an existing regular file for reading, without sharing where the
// platform has that notion. Folders and devices are refused.
File OpenForReading(const char* path);

// Creates a file for writing. With `exclusive`, creation fails with kExists
// when anything is already there; otherwise an existing file is replaced.
CreateResult CreateForWriting(const char* path, bool exclusive, File* file);

// Reads up to `size` bytes; returns the count read (0 at the end of the
// file) or -1 on failure. Reading stops short only at the end of the file.
std::int64_t Read(File file, void* buffer, std::size_t size);

// Writes all `size` bytes; false on a failed or short write.
bool WriteAll(File file, const void* buffer, std::size_t size);

bool SeekTo(File file, std::uint64_t offset);
bool SizeOf(File file, std::uint64_t* size);
void Close(File* file);

// True when anything (a file, a folder, a device) exists at `path`.
bool PathExists(const char* path);
bool IsRegularFile(const char* path);
// Removes a regular file; anything else is left alone.
bool RemoveRegularFile(const char* path);

// The full path of the loaded library that contains this code. `module` is
// the handle the loader gave the library (ignored where unused).
bool OwnLibraryPath(void* module, char* buffer, std::size_t size);

// The user's language as two lower-case letters and a terminator.
void UserLanguage(char language[3]);

// Reads `key` of `section` from the ini file at `path` into `buffer`
// (at most size - 1 characters), or `fallback` when the file, section or key
// is missing. Returns the number of characters stored.
std::size_t ReadProfileString(const char* section, const char* key, const char* fallback,
                              char* buffer, std::size_t size, const char* path);

#if !defined(_WIN32)
// Seconds since 1970 (UTC) of a date and time on the machine's local clock,
// as the time zone rules in force then give them. False when the C library
// cannot place it.
bool LocalTimeToUnixTime(int year, int month, int day, int hour, int minute, int second,
                         std::int64_t* unixTime);
#endif

}  // namespace ormidal::platform
