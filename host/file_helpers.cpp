#include "file_helpers.hpp"

#include <filesystem>
#include <system_error>

#include "commands.hpp"
#include "entry_names.hpp"
#include "terminal.hpp"
#include "wide_text.hpp"

namespace ormidal::host {

namespace fs = std::filesystem;

std::string DestinationPath(const std::string& directory, const std::string& entryName) {
  std::string path = directory;
  if (!path.empty() && path.back() != '/' && path.back() != kSeparator) path += kSeparator;
  for (char c : RootRelativeName(entryName)) path += (c == '/' || c == '\\') ? kSeparator : c;
  return path;
}

bool IsSameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return fs::equivalent(NativePath(a), NativePath(b), error) && !error;
}

bool AnythingAt(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(NativePath(path), error));
}

bool CreateParentFolders(const std::string& path) {
  fs::path parent = NativePath(path).parent_path();
  if (parent.empty()) return true;
  std::error_code error;
  fs::create_directories(parent, error);
  if (!error) return true;
  Report(PathText(parent), ResultText(kResultCannotCreate));
  return false;
}

void RemoveLinkInTheWay(const std::string& path) {
  std::error_code error;
  fs::path native = NativePath(path);
  if (fs::is_symlink(fs::symlink_status(native, error))) fs::remove(native, error);
}

void RemoveFile(const std::string& path) {
  std::error_code error;
  fs::remove(NativePath(path), error);
}

bool FinishOutput(std::FILE* stream) {
  bool ok = std::fflush(stream) == 0 && std::ferror(stream) == 0;
  if (!ok) Report("standard output", ResultText(kResultWriteError));
  return ok;
}

bool CopyToStandardOutput(const std::string& path) {
  std::FILE* file = OpenFile(path, "rb");
  if (file == nullptr) {
    Report(path, ResultText(kResultCannotOpen));
    return false;
  }
  UseBinaryMode(stdout);
  char buffer[64 * 1024];
  std::size_t got;
  bool readOk = true;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    if (std::fwrite(buffer, 1, got, stdout) != got) break;
  }
  if (std::ferror(file)) readOk = false;
  std::fclose(file);
  if (!readOk) {
    Report(path, ResultText(kResultReadError));
    return false;
  }
  return FinishOutput(stdout);
}

}  // namespace ormidal::host
