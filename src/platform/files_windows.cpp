// Windows implementation of the platform layer, over the kernel's Unicode
// calls: paths arrive in UTF-8 and reach the system as UTF-16.
#include <windows.h>

#include <cstring>
#include <cwchar>

#include "platform/platform.hpp"

namespace ormidal::platform {
namespace {

// A path in the form the Unicode file functions take. One longer than the
// classic limit is made absolute and given the \\?\ prefix, which lifts
// that limit. A path that is not well-formed UTF-8 converts to nothing.
class WidePath {
 public:
  explicit WidePath(const char* path) {
    if (path == nullptr || std::strlen(path) > kLongPathLimit) return;
    int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, given_, kUnits);
    if (units <= 0) return;
    if (units - 1 < MAX_PATH || std::wcsncmp(given_, L"\\\\?\\", 4) == 0) {
      text_ = given_;
      return;
    }
    DWORD length = GetFullPathNameW(given_, kUnits - 8, full_ + 8, nullptr);
    if (length == 0 || length >= kUnits - 8) return;
    wchar_t* full = full_ + 8;
    if (full[0] == L'\\' && full[1] == L'\\') {
      // \\server\share becomes \\?\UNC\server\share.
      std::memcpy(full_ + 2, L"\\\\?\\UNC", 7 * sizeof(wchar_t));
      text_ = full_ + 2;
    } else {
      std::memcpy(full_ + 4, L"\\\\?\\", 4 * sizeof(wchar_t));
      text_ = full_ + 4;
    }
  }
  bool Valid() const { return text_ != nullptr; }
  const wchar_t* Text() const { return text_; }

 private:
  static constexpr int kUnits = static_cast<int>(kPathBufferSize) + 16;
  wchar_t given_[kUnits];
  wchar_t full_[kUnits];
  const wchar_t* text_ = nullptr;
};

HANDLE Handle(File file) { return reinterpret_cast<HANDLE>(file.handle); }

File FromHandle(HANDLE handle) {
  File file;
  file.handle = handle == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<std::intptr_t>(handle);
  return file;
}

// ReadFile and WriteFile take 32-bit counts; larger requests go in pieces.
constexpr DWORD kLargestTransfer = 1u << 30;

}  // namespace

File OpenForReading(const char* path) {
  WidePath wide(path);
  if (!wide.Valid()) return File{};
  // Other readers are let in: a host may copy from a database in one thread
  // while another opens it again, and neither may fail for the other.
  // Writers stay out while the file is read.
  HANDLE handle = CreateFileW(wide.Text(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return File{};
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return File{};
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    CloseHandle(handle);
    return File{};
  }
  return FromHandle(handle);
}

CreateResult CreateForWriting(const char* path, bool exclusive, File* file) {
  file->handle = -1;
  WidePath wide(path);
  if (!wide.Valid()) return CreateResult::kFailed;
  HANDLE handle =
      CreateFileW(wide.Text(), GENERIC_WRITE, 0, nullptr, exclusive ? CREATE_NEW : CREATE_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) ? CreateResult::kExists
                                                                         : CreateResult::kFailed;
  }
  *file = FromHandle(handle);
  return CreateResult::kCreated;
}

std::int64_t Read(File file, void* buffer, std::size_t size) {
  std::size_t total = 0;
  char* out = static_cast<char*>(buffer);
  while (total < size) {
    std::size_t want = size - total;
    DWORD request = want > kLargestTransfer ? kLargestTransfer : static_cast<DWORD>(want);
    DWORD got = 0;
    if (!ReadFile(Handle(file), out + total, request, &got, nullptr)) return -1;
    if (got == 0) break;
    total += got;
  }
  return static_cast<std::int64_t>(total);
}

bool WriteAll(File file, const void* buffer, std::size_t size) {
  const char* in = static_cast<const char*>(buffer);
  while (size > 0) {
    DWORD request = size > kLargestTransfer ? kLargestTransfer : static_cast<DWORD>(size);
    DWORD put = 0;
    if (!WriteFile(Handle(file), in, request, &put, nullptr) || put == 0) return false;
    in += put;
    size -= put;
  }
  return true;
}

bool SeekTo(File file, std::uint64_t offset) {
  LONG high = static_cast<LONG>(offset >> 32);
  DWORD low =
      SetFilePointer(Handle(file), static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
  return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

bool SizeOf(File file, std::uint64_t* size) {
  LARGE_INTEGER value;
  if (!GetFileSizeEx(Handle(file), &value) || value.QuadPart < 0) return false;
  *size = static_cast<std::uint64_t>(value.QuadPart);
  return true;
}

void Close(File* file) {
  if (file->IsOpen()) {
    CloseHandle(Handle(*file));
    file->handle = -1;
  }
}

bool PathExists(const char* path) {
  WidePath wide(path);
  if (!wide.Valid()) return false;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(wide.Text(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    FindClose(search);
    return true;
  }
  // FindFirstFileW treats * and ? as patterns and finds no root folder;
  // the attributes answer for those.
  return GetFileAttributesW(wide.Text()) != INVALID_FILE_ATTRIBUTES;
}

bool IsRegularFile(const char* path) {
  WidePath wide(path);
  if (!wide.Valid()) return false;
  DWORD attributes = GetFileAttributesW(wide.Text());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

bool RemoveRegularFile(const char* path) {
  WidePath wide(path);
  return IsRegularFile(path) && DeleteFileW(wide.Text());
}

bool SetModificationTime(const char* path, std::uint32_t entryTime) {
  FILETIME local, universal;
  if (!DosDateTimeToFileTime(static_cast<WORD>(entryTime >> 16), static_cast<WORD>(entryTime),
                             &local) ||
      !LocalFileTimeToFileTime(&local, &universal)) {
    return false;
  }
  WidePath wide(path);
  if (!wide.Valid() || !IsRegularFile(path)) return false;
  HANDLE handle = CreateFileW(wide.Text(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool set = SetFileTime(handle, nullptr, nullptr, &universal) != 0;
  CloseHandle(handle);
  return set;
}

bool OwnLibraryPath(void* module, char* buffer, std::size_t size) {
  if (size == 0) return false;
  wchar_t wide[kUnicodePathUnits + 1];
  DWORD length = GetModuleFileNameW(static_cast<HMODULE>(module), wide, kUnicodePathUnits + 1);
  // A full buffer means the path was cut: an unusable directory.
  if (length == 0 || length > kUnicodePathUnits) return false;
  int capacity =
      size > kPathBufferSize ? static_cast<int>(kPathBufferSize) : static_cast<int>(size);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length) + 1, buffer, capacity,
                                  nullptr, nullptr);
  return bytes > 0;
}

bool AnsiPathToUtf8(const char* ansi, char* out, std::size_t size) {
  if (size == 0 || std::strlen(ansi) > kPathLimit) return false;
  wchar_t wide[kPathLimit + 1];
  UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
  int units = MultiByteToWideChar(codePage, 0, ansi, -1, wide, kPathLimit + 1);
  if (units <= 0) return false;
  int capacity = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
  return WideCharToMultiByte(CP_UTF8, 0, wide, units, out, capacity, nullptr, nullptr) > 0;
}

void UserLanguage(char language[3]) {
  char name[3] = {0, 0, 0};
  int length = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME, name, sizeof name);
  auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (length == 3 && isLetter(name[0]) && isLetter(name[1])) {
    for (int i = 0; i < 2; ++i) {
      char c = name[i];
      language[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    language[2] = '\0';
    return;
  }
  std::memcpy(language, "en", 3);
}

std::size_t ReadProfileString(const char* section, const char* key, const char* fallback,
                              ProfileText form, char* buffer, std::size_t size, const char* path) {
  if (size == 0) return 0;
  buffer[0] = '\0';
  // The names are ASCII: the section, the key and the default folder names.
  auto widen = [](const char* text, wchar_t* out, std::size_t units) {
    std::size_t i = 0;
    for (; text[i] != '\0' && i + 1 < units; ++i) out[i] = static_cast<unsigned char>(text[i]);
    out[i] = L'\0';
  };
  wchar_t wideSection[64], wideKey[64], wideFallback[64];
  widen(section, wideSection, 64);
  widen(key, wideKey, 64);
  widen(fallback, wideFallback, 64);
  WidePath widePath(path);
  wchar_t value[1024];
  DWORD units = GetPrivateProfileStringW(wideSection, wideKey, wideFallback, value, 1024,
                                         widePath.Valid() ? widePath.Text() : L"");
  UINT codePage = form == ProfileText::kUtf8 ? CP_UTF8 : CP_ACP;
  char converted[4 * 1024];
  int bytes = WideCharToMultiByte(codePage, 0, value, static_cast<int>(units), converted,
                                  sizeof converted, nullptr, nullptr);
  if (bytes < 0) bytes = 0;
  std::size_t length = static_cast<std::size_t>(bytes);
  if (length > size - 1) {
    length = size - 1;
    // UTF-8 is cut before a character, never inside one.
    while (form == ProfileText::kUtf8 && length > 0 &&
           (static_cast<unsigned char>(converted[length]) & 0xC0) == 0x80) {
      --length;
    }
  }
  std::memcpy(buffer, converted, length);
  buffer[length] = '\0';
  return length;
}

}  // namespace ormidal::platform
