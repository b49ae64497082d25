// Windows implementation of the platform layer, over the kernel's ANSI calls.
#include <windows.h>

#include <cstring>

#include "platform/platform.hpp"

namespace ormidal::platform {
namespace {

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
  if (std::strlen(path) > kPathLimit) return File{};
  HANDLE handle =
      CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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
  if (std::strlen(path) > kPathLimit) return CreateResult::kFailed;
  HANDLE handle =
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, exclusive ? CREATE_NEW : CREATE_ALWAYS,
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
  if (std::strlen(path) > kPathLimit) return false;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search != INVALID_HANDLE_VALUE) {
    FindClose(search);
    return true;
  }
  // FindFirstFileA treats * and ? as patterns and finds no root folder;
  // the attributes answer for those.
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool IsRegularFile(const char* path) {
  if (std::strlen(path) > kPathLimit) return false;
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

bool RemoveRegularFile(const char* path) { return IsRegularFile(path) && DeleteFileA(path); }

bool OwnLibraryPath(void* module, char* buffer, std::size_t size) {
  if (size == 0) return false;
  DWORD capacity =
      size > kPathBufferSize ? static_cast<DWORD>(kPathBufferSize) : static_cast<DWORD>(size);
  DWORD length = GetModuleFileNameA(static_cast<HMODULE>(module), buffer, capacity);
  // A full buffer means the path was cut: an unusable directory.
  return length > 0 && length < capacity;
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
                              char* buffer, std::size_t size, const char* path) {
  if (size == 0) return 0;
  DWORD capacity = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(size);
  return GetPrivateProfileStringA(section, key, fallback, buffer, capacity, path);
}

}  // namespace ormidal::platform
