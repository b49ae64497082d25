#include "plugin_loader.hpp"

#include <filesystem>
#include <system_error>

#include "wide_text.hpp"

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
  return reinterpret_cast<void*>(LoadLibraryW(WideFromUtf8(path).c_str()));
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
  // The path may be longer than MAX_PATH; a full buffer means it was cut.
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = 0;
  while (true) {
    length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size() || path.size() >= 32768) break;
    path.resize(path.size() * 2);
  }
  if (length == 0 || length >= path.size()) return ".";
  std::string full = Utf8FromWide(std::wstring_view(path.data(), length));
#else
  std::error_code error;
  std::string full = std::filesystem::read_symlink("/proc/self/exe", error).string();
#endif
  std::size_t cut = full.find_last_of(kSeparator);
  return cut == std::string::npos ? std::string(".") : full.substr(0, cut);
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(NativePath(path), error);
}

// The names the plug-in goes by beside the command: as built, and as a
// host installs it, one name for each bit width.
#if defined(_WIN32) && defined(_WIN64)
const char* const kBesideNames[] = {ORMIDAL_PLUGIN_FILE, "ormidal.wcx64"};
#elif defined(_WIN32)
const char* const kBesideNames[] = {ORMIDAL_PLUGIN_FILE, "ormidal.wcx"};
#else
const char* const kBesideNames[] = {ORMIDAL_PLUGIN_FILE};
#endif

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
#if defined(_WIN32)
  Bind(module_, "OpenArchiveW", &exports_.OpenArchiveW, &missing);
  Bind(module_, "ReadHeaderExW", &exports_.ReadHeaderExW, &missing);
  Bind(module_, "ProcessFileW", &exports_.ProcessFileW, &missing);
  Bind(module_, "PackFilesW", &exports_.PackFilesW, &missing);
#endif
  if (missing.empty()) return true;
  *error = "not a packer plug-in (no export " + missing + ")";
  return false;
}

std::string DefaultPluginPath() {
  std::string folder = ExecutableFolder();
  std::string beside = folder + kSeparator + ORMIDAL_PLUGIN_FILE;
  for (const char* name : kBesideNames) {
    std::string path = folder + kSeparator + name;
    if (FileExists(path)) return path;
  }
  std::string installed =
      folder + kSeparator + ORMIDAL_LIBDIR_FROM_BINDIR + kSeparator + ORMIDAL_PLUGIN_FILE;
  if (FileExists(installed)) return installed;
  std::string plainLib =
      folder + kSeparator + ".." + kSeparator + "lib" + kSeparator + ORMIDAL_PLUGIN_FILE;
  if (FileExists(plainLib)) return plainLib;
  return beside;
}

}  // namespace ormidal::host
