#include "terminal.hpp"

#include <filesystem>
#include <system_error>

#include "wide_text.hpp"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace ormidal::host {
namespace {

// Four redraws a second keep the line readable and cost nothing.
constexpr auto kRedrawInterval = std::chrono::milliseconds(250);

std::string HumanBytes(std::uint64_t bytes) {
  static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
  double value = static_cast<double>(bytes);
  int unit = 0;
  while (value >= 1024.0 && unit < 4) {
    value /= 1024.0;
    ++unit;
  }
  char buffer[32];
  if (unit == 0) {
    std::snprintf(buffer, sizeof buffer, "%llu B", static_cast<unsigned long long>(bytes));
  } else {
    std::snprintf(buffer, sizeof buffer, "%.1f %s", value, units[unit]);
  }
  return buffer;
}

}  // namespace

bool IsTerminal(std::FILE* stream) {
#if defined(_WIN32)
  return _isatty(_fileno(stream)) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

void UseBinaryMode([[maybe_unused]] std::FILE* stream) {
#if defined(_WIN32)
  _setmode(_fileno(stream), _O_BINARY);
#endif
}

bool CreateTempFile(std::string* path) {
#if defined(_WIN32)
  wchar_t folder[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return false;
  if (GetTempFileNameW(folder, L"orm", 0, name) == 0) return false;
  *path = Utf8FromWide(name);
  return true;
#else
  std::error_code error;
  std::string folder = std::filesystem::temp_directory_path(error).string();
  if (error) folder = "/tmp";
  std::string pattern = folder + "/ormidal-XXXXXX";
  int descriptor = mkstemp(pattern.data());
  if (descriptor < 0) return false;
  close(descriptor);
  *path = pattern;
  return true;
#endif
}

#if defined(_WIN32)
namespace {

bool IsConsole(DWORD which) {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

}  // namespace

Utf8Console::Utf8Console() {
  if (!IsConsole(STD_OUTPUT_HANDLE) && !IsConsole(STD_ERROR_HANDLE)) return;
  unsigned previous = GetConsoleOutputCP();
  if (previous != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) previous_ = previous;
}

Utf8Console::~Utf8Console() {
  if (previous_ == 0) return;
  // What is still buffered was written in UTF-8 and must reach the console
  // while it reads UTF-8.
  std::fflush(stdout);
  std::fflush(stderr);
  SetConsoleOutputCP(previous_);
}
#endif

ProgressLine::ProgressLine(std::size_t totalEntries, std::uint64_t totalBytes)
    : enabled_(IsTerminal(stderr)), totalEntries_(totalEntries), totalBytes_(totalBytes) {}

ProgressLine::~ProgressLine() { Clear(); }

void ProgressLine::Advance(std::uint64_t entryBytes) {
  ++doneEntries_;
  doneBytes_ += entryBytes;
  if (!enabled_) return;
  auto now = std::chrono::steady_clock::now();
  if (drawnWidth_ != 0 && now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  Draw();
}

void ProgressLine::Draw() {
  std::string line = std::to_string(doneEntries_) + " of " + std::to_string(totalEntries_) +
                     " entries, " + HumanBytes(doneBytes_) + " of " + HumanBytes(totalBytes_);
  std::string padding(drawnWidth_ > line.size() ? drawnWidth_ - line.size() : 0, ' ');
  std::fprintf(stderr, "\r%s%s", line.c_str(), padding.c_str());
  std::fflush(stderr);
  drawnWidth_ = line.size();
}

void ProgressLine::Clear() {
  if (!enabled_ || drawnWidth_ == 0) return;
  std::fprintf(stderr, "\r%s\r", std::string(drawnWidth_, ' ').c_str());
  std::fflush(stderr);
  drawnWidth_ = 0;
}

}  // namespace ormidal::host
