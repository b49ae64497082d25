// POSIX implementation of the platform layer.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <mutex>

#include "platform/platform.hpp"
#include "platform/profile_reader.hpp"

namespace ormidal::platform {
namespace {

int Descriptor(File file) { return static_cast<int>(file.handle); }

}  // namespace

File OpenForReading(const char* path) {
  File file;
  int fd;
  do {
    fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return file;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return file;
  }
  // O_NONBLOCK only kept the open from hanging on a fifo; regular files ignore it.
  file.handle = fd;
  return file;
}

CreateResult CreateForWriting(const char* path, bool exclusive, File* file) {
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | (exclusive ? O_EXCL : O_TRUNC);
  int fd;
  do {
    fd = ::open(path, flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    file->handle = -1;
    return errno == EEXIST ? CreateResult::kExists : CreateResult::kFailed;
  }
  file->handle = fd;
  return CreateResult::kCreated;
}

std::int64_t Read(File file, void* buffer, std::size_t size) {
  std::size_t total = 0;
  char* out = static_cast<char*>(buffer);
  while (total < size) {
    ssize_t got = ::read(Descriptor(file), out + total, size - total);
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
  }
  return static_cast<std::int64_t>(total);
}

bool WriteAll(File file, const void* buffer, std::size_t size) {
  const char* in = static_cast<const char*>(buffer);
  while (size > 0) {
    ssize_t put = ::write(Descriptor(file), in, size);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (put == 0) return false;
    in += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

bool SeekTo(File file, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
  return ::lseek(Descriptor(file), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool SizeOf(File file, std::uint64_t* size) {
  struct stat info;
  if (::fstat(Descriptor(file), &info) != 0 || info.st_size < 0) return false;
  *size = static_cast<std::uint64_t>(info.st_size);
  return true;
}

void Close(File* file) {
  if (file->IsOpen()) {
    ::close(Descriptor(*file));
    file->handle = -1;
  }
}

bool PathExists(const char* path) {
  struct stat info;
  return ::lstat(path, &info) == 0;
}

bool IsRegularFile(const char* path) {
  struct stat info;
  return ::lstat(path, &info) == 0 && S_ISREG(info.st_mode);
}

bool RemoveRegularFile(const char* path) { return IsRegularFile(path) && ::unlink(path) == 0; }

bool SetModificationTime(const char* path, std::uint32_t entryTime) {
  if (!IsRegularFile(path)) return false;
  struct timespec times[2] = {};
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(static_cast<std::int32_t>(entryTime));
  // A link put in the file's place since it was written is not followed.
  return ::utimensat(AT_FDCWD, path, times, AT_SYMLINK_NOFOLLOW) == 0;
}

bool OwnLibraryPath(void*, char* buffer, std::size_t size) {
  Dl_info info;
  static const int anchor = 0;
  if (::dladdr(&anchor, &info) == 0 || info.dli_fname == nullptr) return false;
  std::size_t length = std::strlen(info.dli_fname);
  if (length + 1 > size) return false;
  std::memcpy(buffer, info.dli_fname, length + 1);
  return true;
}

void UserLanguage(char language[3]) {
  std::memcpy(language, "en", 3);
  const char* chosen = nullptr;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') {
      chosen = value;
      break;
    }
  }
  if (chosen == nullptr || std::strcmp(chosen, "C") == 0 || std::strcmp(chosen, "POSIX") == 0) {
    return;
  }
  auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (!isLetter(chosen[0]) || !isLetter(chosen[1])) return;
  for (int i = 0; i < 2; ++i) {
    char c = chosen[i];
    language[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
}

std::size_t ReadProfileString(const char* section, const char* key, const char* fallback,
                              ProfileText, char* buffer, std::size_t size, const char* path) {
  File file = OpenForReading(path);
  if (!file.IsOpen()) return StoreProfileAnswer(fallback, std::strlen(fallback), buffer, size);

  // Lines are gathered in a fixed buffer; the part of an overlong line beyond
  // it is dropped, which only ever shortens a value past the caller's limit.
  ProfileLookup lookup(section, key);
  char chunk[4096];
  char line[1024];
  std::size_t lineLength = 0;
  bool done = false;
  std::int64_t got;
  while (!done && (got = Read(file, chunk, sizeof chunk)) > 0) {
    for (std::int64_t i = 0; i < got && !done; ++i) {
      char c = chunk[i];
      if (c == '\n') {
        done = lookup.FeedLine(line, lineLength);
        lineLength = 0;
      } else if (lineLength < sizeof line) {
        line[lineLength++] = c;
      }
    }
  }
  if (!done && lineLength > 0) done = lookup.FeedLine(line, lineLength);
  Close(&file);
  if (lookup.Found()) return StoreProfileAnswer(lookup.Value(), lookup.ValueLength(), buffer, size);
  return StoreProfileAnswer(fallback, std::strlen(fallback), buffer, size);
}

bool LocalTimeToUnixTime(int year, int month, int day, int hour, int minute, int second,
                         std::int64_t* unixTime) {
  std::tm fields{};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  fields.tm_isdst = -1;  // whether summer time applies is the zone's to say
  std::time_t value;
  {
    // The C library guards its zone data with a lock of its own that thread
    // checkers cannot see; this one makes the order plain to them too.
    static std::mutex zoneLock;
    std::lock_guard<std::mutex> lock(zoneLock);
    value = std::mktime(&fields);
  }
  // -1 is also one second before 1970 in a zone at UTC; the fields tell.
  if (value == static_cast<std::time_t>(-1) &&
      !(fields.tm_year == 69 && fields.tm_mon == 11 && fields.tm_mday == 31 &&
        fields.tm_hour == 23 && fields.tm_min == 59 && fields.tm_sec == 59)) {
    return false;
  }
  *unixTime = static_cast<std::int64_t>(value);
  return true;
}

}  // namespace ormidal::platform
