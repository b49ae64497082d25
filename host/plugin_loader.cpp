#include "plugin_loader.hpp"

#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace ormidal::host {
namespace {

#if defined(_WIN32)
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

void* OpenLibrary(const std::string& path) {
#if defined(_WIN32)
  return reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
#else
  // A bare name would send dlopen through the system's library search.
  std::string local = path.find('/') == std::string::npos ? "./" + path : path;
  return dlopen(local.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

std::string LastLoaderError() {
#if defined(_WIN32)
  return "error " + std::to_string(GetLastError());
#else
  const char* message = dlerror();
  return message != nullptr ? message : "unknown error";
#endif
}

void CloseLibrary(void* module) {
#if defined(_WIN32)
  FreeLibrary(static_cast<HMODULE>(module));
#else
  dlclose(module);
#endif
}

void* FindSymbol(void* module, const char* name) {
#if defined(_WIN32)
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
#else
  return dlsym(module, name);
#endif
}

template <typename Fn>
bool Bind(void* module, const char* name, Fn* slot, std::string* missing) {
  void* symbol = FindSymbol(module, name);
  *slot = reinterpret_cast<Fn>(symbol);
  if (symbol != nullptr) return true;
  if (missing->empty()) *missing = name;
  return false;
}

std::string ExecutableFolder() {
#if defined(_WIN32)
  char path[MAX_PATH + 1];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string full(path, length);
#else
  std::error_code error;
  std::string full = std::filesystem::read_symlink("/proc/self/exe", error).string();
#endif
  std::size_t cut = full.find_last_of(kSeparator);
  return cut == std::string::npos ? std::string(".") : full.substr(0, cut);
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

}  // namespace

PluginLoader::~PluginLoader() {
  if (module_ != nullptr) CloseLibrary(module_);
}

bool PluginLoader::Load(const std::string& path, std::string* error) {
  path_ = path.empty() ? DefaultPluginPath() : path;
  module_ = OpenLibrary(path_);
  if (module_ == nullptr) {
    *error = "cannot load the plug-in (" + LastLoaderError() + ")";
    return false;
  }
  return BindAll(error);
}

bool PluginLoader::BindAll(std::string* error) {
  std::string missing;
  Bind(module_, "GetPackerCaps", &exports_.GetPackerCaps, &missing);
  Bind(module_, "OpenArchive", &exports_.OpenArchive, &missing);
  Bind(module_, "ReadHeader", &exports_.ReadHeader, &missing);
  Bind(module_, "ProcessFile", &exports_.ProcessFile, &missing);
  Bind(module_, "CloseArchive", &exports_.CloseArchive, &missing);
  Bind(module_, "PackFiles", &exports_.PackFiles, &missing);
  Bind(module_, "SetChangeVolProc", &exports_.SetChangeVolProc, &missing);
  Bind(module_, "SetProcessDataProc", &exports_.SetProcessDataProc, &missing);
  if (missing.empty()) return true;
  *error = "not a packer plug-in (no export " + missing + ")";
  return false;
}

std::string DefaultPluginPath() {
  std::string folder = ExecutableFolder();
  std::string beside = folder + kSeparator + ORMIDAL_PLUGIN_FILE;
  if (FileExists(beside)) return beside;
  std::string installed =
      folder + kSeparator + ORMIDAL_LIBDIR_FROM_BINDIR + kSeparator + ORMIDAL_PLUGIN_FILE;
  if (FileExists(installed)) return installed;
  std::string plainLib =
      folder + kSeparator + ".." + kSeparator + "lib" + kSeparator + ORMIDAL_PLUGIN_FILE;
  if (FileExists(plainLib)) return plainLib;
  return beside;
}

}  // namespace ormidal::host
