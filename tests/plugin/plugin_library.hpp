// Loads the built plug-in as a host does, by file name, and finds each
// export by its plain name.
#pragma once

#include <string>

#include "plugin/interface.hpp"

namespace ormidal::testing {

struct PluginLibrary {
  using GetPackerCapsFn = int(ORMIDAL_CALL*)();
  using OpenArchiveFn = void*(ORMIDAL_CALL*)(OpenArchiveRequest*);
  using ReadHeaderFn = int(ORMIDAL_CALL*)(void*, EntryHeader*);
  using ProcessFileFn = int(ORMIDAL_CALL*)(void*, int, char*, char*);
  using CloseArchiveFn = int(ORMIDAL_CALL*)(void*);
  using PackFilesFn = int(ORMIDAL_CALL*)(char*, char*, char*, char*, int);
  using SetCallbackFn = void(ORMIDAL_CALL*)(void*, void*);
  using GetBackgroundFlagsFn = int(ORMIDAL_CALL*)();
  using OpenArchiveWFn = void*(ORMIDAL_CALL*)(OpenArchiveRequestW*);
  using ReadHeaderExWFn = int(ORMIDAL_CALL*)(void*, EntryHeaderExW*);
  using ProcessFileWFn = int(ORMIDAL_CALL*)(void*, int, char16_t*, char16_t*);
  using PackFilesWFn = int(ORMIDAL_CALL*)(char16_t*, char16_t*, char16_t*, char16_t*, int);
  using CanYouHandleThisFileFn = int(ORMIDAL_CALL*)(char*);
  using CanYouHandleThisFileWFn = int(ORMIDAL_CALL*)(char16_t*);
  using PackSetDefaultParamsFn = void(ORMIDAL_CALL*)(PackDefaultParams*);

  // Loads the library at `path`; Loaded() tells whether every export was found.
  explicit PluginLibrary(const char* path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  bool Loaded() const;
  std::string Error() const { return error; }
  // The library's own file, as the loader reports it.
  std::string ModulePath() const;

  void* module = nullptr;
  std::string error;
  GetPackerCapsFn GetPackerCaps = nullptr;
  OpenArchiveFn OpenArchive = nullptr;
  ReadHeaderFn ReadHeader = nullptr;
  ProcessFileFn ProcessFile = nullptr;
  CloseArchiveFn CloseArchive = nullptr;
  PackFilesFn PackFiles = nullptr;
  SetCallbackFn SetChangeVolProc = nullptr;
  SetCallbackFn SetProcessDataProc = nullptr;
  GetBackgroundFlagsFn GetBackgroundFlags = nullptr;
  OpenArchiveWFn OpenArchiveW = nullptr;
  ReadHeaderExWFn ReadHeaderExW = nullptr;
  ProcessFileWFn ProcessFileW = nullptr;
  PackFilesWFn PackFilesW = nullptr;
  CanYouHandleThisFileFn CanYouHandleThisFile = nullptr;
  CanYouHandleThisFileWFn CanYouHandleThisFileW = nullptr;
  PackSetDefaultParamsFn PackSetDefaultParams = nullptr;
  SetCallbackFn SetProcessDataProcW = nullptr;
  SetCallbackFn SetChangeVolProcW = nullptr;
};

}  // namespace ormidal::testing
