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

  GetPackerCapsFn GetPackerCaps = nullptr;
  OpenArchiveFn OpenArchive = nullptr;
  ReadHeaderFn ReadHeader = nullptr;
  ProcessFileFn ProcessFile = nullptr;
  CloseArchiveFn CloseArchive = nullptr;
  PackFilesFn PackFiles = nullptr;
  SetCallbackFn SetChangeVolProc = nullptr;
  SetCallbackFn SetProcessDataProc = nullptr;
};

class PluginLoader {
 public:
  PluginLoader() = default;
  ~PluginLoader();
  PluginLoader(const PluginLoader&) = delete;
  PluginLoader& operator=(const PluginLoader&) = delete;

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
// program, then in the plug-in folder of an installed layout
// (lib/ormidal/ from bin/), then in ../lib/.
std::string DefaultPluginPath();

}  // namespace ormidal::host
