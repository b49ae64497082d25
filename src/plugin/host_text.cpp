#include "plugin/host_text.hpp"

#include <cstring>

#include "convert/unicode.hpp"
#include "database/layout.hpp"

namespace ormidal {

bool PathFromHost(const char* path, PathBuffer out) {
  if (path == nullptr) return false;
#if defined(_WIN32)
  return platform::AnsiPathToUtf8(path, out, platform::kPathBufferSize);
#else
  std::size_t length = std::strlen(path);
  if (length > platform::kPathLimit) return false;
  std::memcpy(out, path, length + 1);
  return true;
#endif
}

bool PathFromWide(const char16_t* path, PathBuffer out) {
  if (path == nullptr) return false;
  return Utf16ToUtf8(path, platform::kUnicodePathUnits, out, platform::kPathBufferSize);
}

bool NameListFromHost(const char* list, std::string* out) {
  out->clear();
  if (list == nullptr) return false;
  for (const char* name = list; *name != '\0'; name += std::strlen(name) + 1) {
    PathBuffer converted;
    if (!PathFromHost(name, converted)) return false;
    out->append(converted);
    out->push_back('\0');
  }
  out->push_back('\0');
  return true;
}

bool NameListFromWide(const char16_t* list, std::string* out) {
  out->clear();
  if (list == nullptr) return false;
  for (const char16_t* name = list; *name != 0;) {
    PathBuffer converted;
    if (!PathFromWide(name, converted)) return false;
    out->append(converted);
    out->push_back('\0');
    while (*name != 0) ++name;
    ++name;
  }
  out->push_back('\0');
  return true;
}

std::string StoredNameFromHost(const char* name) {
#if defined(_WIN32)
  return name;
#else
  return StoredNameFromUtf8(name);
#endif
}

std::string StoredNameFromUtf8(const char* name) {
  std::size_t length = std::strlen(name);
  if (!IsUtf8(name, length)) return name;
  char stored[DatabaseHeader::kNameSize];
  Utf8ToWindows1252(name, length, stored, sizeof stored);
  return stored;
}

}  // namespace ormidal
