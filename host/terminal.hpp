// The few things the host asks of the console and the file system that
// differ between POSIX and Windows.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace ormidal::host {

bool IsTerminal(std::FILE* stream);

#if defined(_WIN32)
// While it lives, a console shows the command's UTF-8 output as the
// characters it encodes; the console's own code page is given back at the
// end, as the shell that started the command goes on using it. Output
// redirected to a file is UTF-8 bytes either way.
class Utf8Console {
 public:
  Utf8Console();
  ~Utf8Console();
  Utf8Console(const Utf8Console&) = delete;
  Utf8Console& operator=(const Utf8Console&) = delete;

 private:
  unsigned previous_ = 0;
};
#endif

// Binary output: no newline translation on Windows.
void UseBinaryMode(std::FILE* stream);

// Creates a new, empty file in the system's temporary folder that no other
// process can have chosen, and gives its path in UTF-8; false when none
// could be made.
bool CreateTempFile(std::string* path);

// One line on standard error showing how far an extraction has come,
// redrawn at most a few times a second and only on a terminal.
class ProgressLine {
 public:
  ProgressLine(std::size_t totalEntries, std::uint64_t totalBytes);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void Advance(std::uint64_t entryBytes);
  // Wipes the line so that later messages start on a clean one.
  void Clear();

 private:
  void Draw();

  bool enabled_;
  std::size_t totalEntries_;
  std::uint64_t totalBytes_;
  std::size_t doneEntries_ = 0;
  std::uint64_t doneBytes_ = 0;
  std::size_t drawnWidth_ = 0;
  std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace ormidal::host
