#include "command_runner.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/database_builder.hpp"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace ormidal::testing {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

#if defined(_WIN32)
std::string Quote(const std::string& text) { return "\"" + text + "\""; }

std::string CommandPath() {
  char path[MAX_PATH + 1];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string own(path, length);
  return own.substr(0, own.find_last_of('\\') + 1) + ORMIDAL_CLI_PATH;
}

int ExitCodeOf(int status) { return status; }
#else
std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string CommandPath() { return ORMIDAL_CLI_PATH; }

int ExitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }
#endif

}  // namespace

CommandResult RunOrmidal(const std::vector<std::string>& args, const std::string& workDir,
                         [[maybe_unused]] const std::string& shellPrefix) {
  TempDir streams;
  std::string outPath = streams.File("out.txt");
  std::string errPath = streams.File("err.txt");
  std::string line = Quote(CommandPath());
  for (const std::string& arg : args) line += " " + Quote(arg);
  line += " >" + Quote(outPath) + " 2>" + Quote(errPath);
#if defined(_WIN32)
  if (!workDir.empty()) line = "cd /d " + Quote(workDir) + " && " + line;
#else
  if (!workDir.empty()) line = "cd " + Quote(workDir) + " && " + line;
#endif
#if defined(_WIN32)
  // cmd.exe drops the outermost pair of quotes of a line that starts with one.
  line = "\"" + line + "\"";
#else
  // Times are read on the local clock: the machine's own zone must not
  // change what a test sees, so every run is in UTC unless the prefix says.
  line = "TZ=UTC0 " + shellPrefix + line + " </dev/null";
#endif
  CommandResult result;
  result.exitCode = ExitCodeOf(std::system(line.c_str()));
  result.out = ReadText(outPath);
  result.err = ReadText(errPath);
  return result;
}

}  // namespace ormidal::testing
