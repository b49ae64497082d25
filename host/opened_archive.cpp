#include "opened_archive.hpp"

#include <cstring>

#include "wide_text.hpp"

namespace ormidal::host {

#if defined(_WIN32)

OpenedArchive::OpenedArchive(const PluginExports& plugin, const std::string& path)
    : plugin_(plugin) {
  std::u16string wide = Utf16FromUtf8(path);
  OpenArchiveRequestW request{};
  request.archiveName = wide.c_str();
  handle_ = plugin_.OpenArchiveW(&request);
  result_ = request.openResult;
  if (handle_ == nullptr && result_ == kResultOk) result_ = kResultCannotOpen;
}

bool OpenedArchive::Next(ListedEntry* entry) {
  EntryHeaderExW header{};
  if (plugin_.ReadHeaderExW(handle_, &header) != kResultOk) return false;
  std::size_t length = 0;
  while (length < kWideNameUnits && header.fileName[length] != 0) ++length;
  entry->name = Utf8FromUtf16(std::u16string_view(header.fileName, length));
  entry->size = (std::uint64_t{header.unpackedSizeHigh} << 32) | header.unpackedSizeLow;
  entry->time = header.fileTime;
  return true;
}

int OpenedArchive::Skip() {
  return plugin_.ProcessFileW(handle_, kOperationSkip, nullptr, nullptr);
}

int OpenedArchive::Extract(const std::string& destination) {
  std::u16string buffer = Utf16FromUtf8(destination);
  return plugin_.ProcessFileW(handle_, kOperationExtract, nullptr, buffer.data());
}

#else

OpenedArchive::OpenedArchive(const PluginExports& plugin, const std::string& path)
    : plugin_(plugin) {
  OpenArchiveRequest request{};
  request.archiveName = path.c_str();
  handle_ = plugin_.OpenArchive(&request);
  result_ = request.openResult;
  if (handle_ == nullptr && result_ == kResultOk) result_ = kResultCannotOpen;
}

bool OpenedArchive::Next(ListedEntry* entry) {
  EntryHeader header{};
  if (plugin_.ReadHeader(handle_, &header) != kResultOk) return false;
  entry->name.assign(header.fileName, strnlen(header.fileName, sizeof header.fileName));
  entry->size = header.unpackedSize;
  entry->time = header.fileTime;
  return true;
}

int OpenedArchive::Skip() { return plugin_.ProcessFile(handle_, kOperationSkip, nullptr, nullptr); }

int OpenedArchive::Extract(const std::string& destination) {
  std::string buffer = destination;
  return plugin_.ProcessFile(handle_, kOperationExtract, nullptr, buffer.data());
}

#endif

OpenedArchive::~OpenedArchive() {
  if (handle_ != nullptr) plugin_.CloseArchive(handle_);
}

}  // namespace ormidal::host
