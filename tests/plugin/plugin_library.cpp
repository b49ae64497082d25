#include "plugin_library.hpp"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace ormidal::testing {
namespace {

void* FindSymbol(void* module, const char* name) {
#if defined(_WIN32)
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
#else
  return dlsym(module, name);
#endif
}

template <typename Fn>
void Bind(void* module, const char* name, Fn* slot, std::string* error) {
  void* symbol = FindSymbol(module, name);
  if (symbol == nullptr) *error += std::string(" missing export ") + name;
  *slot = reinterpret_cast<Fn>(symbol);
}

}  // namespace

PluginLibrary::PluginLibrary(const char* path) {
#if defined(_WIN32)
  module = reinterpret_cast<void*>(LoadLibraryA(path));
#else
  module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
#endif
  if (module == nullptr) {
    error = std::string("cannot load ") + path;
    return;
  }
  Bind(module, "GetPackerCaps", &GetPackerCaps, &error);
  Bind(module, "OpenArchive", &OpenArchive, &error);
  Bind(module, "ReadHeader", &ReadHeader, &error);
  Bind(module, "ProcessFile", &ProcessFile, &error);
  Bind(module, "CloseArchive", &CloseArchive, &error);
  Bind(module, "PackFiles", &PackFiles, &error);
  Bind(module, "SetChangeVolProc", &SetChangeVolProc, &error);
  Bind(module, "SetProcessDataProc", &SetProcessDataProc, &error);
  Bind(module, "GetBackgroundFlags", &GetBackgroundFlags, &error);
  Bind(module, "OpenArchiveW", &OpenArchiveW, &error);
  Bind(module, "ReadHeaderExW", &ReadHeaderExW, &error);
  Bind(module, "ProcessFileW", &ProcessFileW, &error);
  Bind(module, "PackFilesW", &PackFilesW, &error);
  Bind(module, "CanYouHandleThisFile", &CanYouHandleThisFile, &error);
  Bind(module, "CanYouHandleThisFileW", &CanYouHandleThisFileW, &error);
  Bind(module, "PackSetDefaultParams", &PackSetDefaultParams, &error);
  Bind(module, "SetProcessDataProcW", &SetProcessDataProcW, &error);
  Bind(module, "SetChangeVolProcW", &SetChangeVolProcW, &error);
}

PluginLibrary::~PluginLibrary() {
  if (module == nullptr) return;
#if defined(_WIN32)
  FreeLibrary(static_cast<HMODULE>(module));
#else
  dlclose(module);
#endif
}

bool PluginLibrary::Loaded() const { return module != nullptr && error.empty(); }

std::string PluginLibrary::ModulePath() const {
#if defined(_WIN32)
  char path[MAX_PATH + 1];
  DWORD length = GetModuleFileNameA(static_cast<HMODULE>(module), path, sizeof path);
  return std::string(path, length);
#else
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(GetPackerCaps), &info) == 0 || info.dli_fname == nullptr)
    return "";
  return info.dli_fname;
#endif
}

}  // namespace ormidal::testing
