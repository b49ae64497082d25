// Loads the plug-in library at run time, as a file-manager host does, and
// finds its exports by their plain names.
#pragma once

#include <string>

#include "plugin/interface.hpp"

namespace ormidal::host {

struct PluginExports {
  using GetPackerCapsFn = int(ORMIDAL_CALL*)();
  using OpenArchiveFn = void*(ORMIDAL_CALL*)(OpenArchiveRequest*);
  using ReadHeaderFn = int(ORMIDAL_CALL*)(void*, EntryHeader*);
  using ProcessFileFn = int(ORMIDAL_CALL*)(void*, int, char*, char*);
  using CloseArchiveFn = int(ORMIDAL_CALL*)(void*);
  using PackFilesFn = int(ORMIDAL_CALL*)(char*, char*, char*, char*, int);
  using SetCallbackFn = void(ORMIDAL_CALL*)(void*, void*);
  using OpenArchiveWFn = void*(ORMIDAL_CALL*)(OpenArchiveRequestW*);
  using ReadHeaderExWFn = int(ORMIDAL_CALL*)(void*, EntryHeaderExW*);
  using ProcessFileWFn = int(ORMIDAL_CALL*)(void*, int, char16_t*, char16_t*);
  using PackFilesWFn = int(ORMIDAL_CALL*)(char16_t*, char16_t*, char16_t*, char16_t*, int);

  GetPackerCapsFn GetPackerCaps = nullptr;
  OpenArchiveFn OpenArchive = nullptr;
  ReadHeaderFn ReadHeader = nullptr;
  ProcessFileFn ProcessFile = nullptr;
  CloseArchiveFn CloseArchive = nullptr;
  PackFilesFn PackFiles = nullptr;
  SetCallbackFn SetChangeVolProc = nullptr;
  SetCallbackFn SetProcessDataProc = nullptr;
  // Bound on Windows only, where the 8-bit exports reach no further than
  // the ANSI code page; on POSIX the 8-bit exports take any path and give
  // names in UTF-8.
  OpenArchiveWFn OpenArchiveW = nullptr;
  ReadHeaderExWFn ReadHeaderExW = nullptr;
  ProcessFileWFn ProcessFileW = nullptr;
  PackFilesWFn PackFilesW = nullptr;
};

class PluginLoader {
 public:
  PluginLoader() = default;
  ~PluginLoader();
  PluginLoader(const PluginLoader&) = delete;
  PluginLoader& operator=(const PluginLoader&) = delete;

  // Paths here are in UTF-8.
  // Loads the library at `path`, or the one installed with this program
  // when `path` is empty. On failure, returns false and sets `error` to the
  // reason in words; Path() then names the file that was tried.
  bool Load(const std::string& path, std::string* error);
  const PluginExports& Exports() const { return exports_; }
  const std::string& Path() const { return path_; }

 private:
  bool BindAll(std::string* error);

  void* module_ = nullptr;
  std::string path_;
  PluginExports exports_;
};

// Where the library is looked for when no path is given: beside this
// program, under its built name or on Windows under the name a host
// installs it by (ormidal.wcx for 32 bits, ormidal.wcx64 for 64), then in the plug-in folder of an
// installed layout (lib/ormidal/ from bin/), then in ../lib/.
std::string DefaultPluginPath();

}  // namespace ormidal::host
