// One database opened through the plug-in's exports, as a host opens an
// archive: the commands walk its entries and extract them through it.
#pragma once

#include <cstdint>
#include <string>

#include "plugin_loader.hpp"

namespace ormidal::host {

struct ListedEntry {
  std::string name;  // UTF-8
  std::uint64_t size = 0;
  std::uint32_t time = 0;
};

// Closed again when the object goes, as a host closes every archive it
// opened. On Windows it goes through the Unicode exports, which take any
// path and give names as the characters they stand for.
class OpenedArchive {
 public:
  OpenedArchive(const PluginExports& plugin, const std::string& path);
  ~OpenedArchive();
  OpenedArchive(const OpenedArchive&) = delete;
  OpenedArchive& operator=(const OpenedArchive&) = delete;

  bool IsOpen() const { return handle_ != nullptr && result_ == kResultOk; }
  int OpenResult() const { return result_; }

  // The next entry, or false at the end of the listing.
  bool Next(ListedEntry* entry);
  int Skip();
  int Extract(const std::string& destination);

 private:
  const PluginExports& plugin_;
  void* handle_ = nullptr;
  int result_ = kResultOk;
};

}  // namespace ormidal::host
