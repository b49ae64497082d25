#include "command_runner.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/database_builder.hpp"
#include "wide_text.hpp"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace ormidal::testing {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(host::NativePath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

#if defined(_WIN32)
std::string Quote(const std::string& text) { return "\"" + text + "\""; }

std::string BuiltCommandFolder() {
  wchar_t path[MAX_PATH + 1];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::string own = host::Utf8FromWide(std::wstring_view(path, length));
  return own.substr(0, own.find_last_of('\\') + 1);
}

std::string BuiltCommand() { return BuiltCommandFolder() + ORMIDAL_CLI_PATH; }

const char kPluginFile[] = "ormidal.dll";

int ExitCodeOf(int status) { return status; }
#else
std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string BuiltCommandFolder() {
  std::string path = ORMIDAL_CLI_PATH;
  return path.substr(0, path.rfind('/') + 1);
}

std::string BuiltCommand() { return ORMIDAL_CLI_PATH; }

const char kPluginFile[] = "libormidal.so";

int ExitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }
#endif

}  // namespace

std::string BuiltCommandPath() { return BuiltCommand(); }

std::string BuiltPluginPath() { return BuiltCommandFolder() + kPluginFile; }

CommandResult RunOrmidal(const std::vector<std::string>& args, const std::string& workDir,
                         [[maybe_unused]] const std::string& shellPrefix,
                         const std::string& program) {
  TempDir streams;
  std::string outPath = streams.File("out.txt");
  std::string errPath = streams.File("err.txt");
  std::string line = Quote(program.empty() ? BuiltCommand() : program);
  for (const std::string& arg : args) line += " " + Quote(arg);
  line += " >" + Quote(outPath) + " 2>" + Quote(errPath);
#if defined(_WIN32)
  if (!workDir.empty()) line = "cd /d " + Quote(workDir) + " && " + line;
  // cmd.exe drops the outermost pair of quotes of a line that starts with
  // one. The line goes in UTF-16: the 8-bit one could only carry the
  // characters of the ANSI code page.
  line = "\"" + line + "\"";
  int status = _wsystem(host::WideFromUtf8(line).c_str());
#else
  if (!workDir.empty()) line = "cd " + Quote(workDir) + " && " + line;
  // Times are read on the local clock: the machine's own zone must not
  // change what a test sees, so every run is in UTC unless the prefix says.
  line = "TZ=UTC0 " + shellPrefix + line + " </dev/null";
  int status = std::system(line.c_str());
#endif
  CommandResult result;
  result.exitCode = ExitCodeOf(status);
  result.out = ReadText(outPath);
  result.err = ReadText(errPath);
  return result;
}

}  // namespace ormidal::testing
