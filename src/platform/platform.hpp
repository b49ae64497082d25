// The thin layer over the operating system: files, the library's own path,
// the user's language and the language file. Nothing above this folder
// includes a Windows or POSIX header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ormidal::platform {

// Paths inside the library are UTF-8 on every platform; the Windows layer
// hands them to the system's Unicode file functions. kPathLimit is the
// longest path the 8-bit exports take, in their own characters; a path from
// the Unicode exports may have kUnicodePathUnits UTF-16 code units (the
// host's record size less the terminator). kLongPathLimit bytes of UTF-8
// hold either.
#if defined(_WIN32)
inline constexpr std::size_t kPathLimit = 259;
inline constexpr std::size_t kUnicodePathUnits = 1023;
inline constexpr std::size_t kLongPathLimit = 3 * kUnicodePathUnits;
inline constexpr char kSeparator = '\\';
#else
inline constexpr std::size_t kPathLimit = 4095;
inline constexpr std::size_t kUnicodePathUnits = 4095;
inline constexpr std::size_t kLongPathLimit = 4095;
inline constexpr char kSeparator = '/';
#endif
inline constexpr std::size_t kPathBufferSize = kLongPathLimit + 1;

// An open file; `handle` is the platform's descriptor or handle.
struct File {
  std::intptr_t handle = -1;
  bool IsOpen() const { return handle != -1; }
};

enum class CreateResult { kCreated, kExists, kFailed };

// Opens an existing regular file for reading, shared with other readers
// only where the platform has that notion. Folders and devices are refused.
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

// Gives the regular file at `path` the modification time `entryTime`, an
// entry's time as the listing hands it to hosts: on Windows a packed DOS
// date-time on the local clock, read as hosts read it; elsewhere a Unix time
// (signed 32-bit). The access time is left alone.
bool SetModificationTime(const char* path, std::uint32_t entryTime);

// The full path of the loaded library that contains this code. `module` is
// the handle the loader gave the library (ignored where unused).
bool OwnLibraryPath(void* module, char* buffer, std::size_t size);

// The user's language as two lower-case letters and a terminator.
void UserLanguage(char language[3]);

// The text a profile value is wanted in: the 8-bit exports' form (on
// Windows the user's ANSI code page, elsewhere UTF-8) or UTF-8.
enum class ProfileText { kAnsi, kUtf8 };

// Reads `key` of `section` from the ini file at `path` into `buffer` (at
// most size - 1 bytes and a terminator), or `fallback` when the file,
// section or key is missing. On Windows the file is read as the system's
// profile reader reads it and the value converted to `form`; elsewhere the
// file is UTF-8 and the value comes as it is stored, for the caller to check.
// Returns the number of bytes stored.
std::size_t ReadProfileString(const char* section, const char* key, const char* fallback,
                              ProfileText form, char* buffer, std::size_t size, const char* path);

#if defined(_WIN32)
// Converts a path of the 8-bit exports, in the code page the system's file
// functions read them in, to UTF-8. False when it does not fit `size`.
bool AnsiPathToUtf8(const char* ansi, char* out, std::size_t size);
#endif

#if !defined(_WIN32)
// Seconds since 1970 (UTC) of a date and time on the machine's local clock,
// as the time zone rules in force then give them. False when the C library
// cannot place it.
bool LocalTimeToUnixTime(int year, int month, int day, int hour, int minute, int second,
                         std::int64_t* unixTime);
#endif

}  // namespace ormidal::platform
