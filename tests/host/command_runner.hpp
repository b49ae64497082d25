// Starts the built `ormidal` command with arguments and collects what it
// did: its exit code and both output streams.
#pragma once

#include <string>
#include <vector>

namespace ormidal::testing {

struct CommandResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs the command in `workDir` (empty: the current folder); arguments and
// the folder are in UTF-8 on every platform. `shellPrefix` goes before it
// in the POSIX shell, for resource limits and variables; the time zone is
// UTC unless the prefix sets TZ. `program` is a copy of the command to run
// instead of the built one.
CommandResult RunOrmidal(const std::vector<std::string>& args, const std::string& workDir = "",
                         const std::string& shellPrefix = "", const std::string& program = "");

// The built command and the plug-in beside it, which it loads by default.
std::string BuiltCommandPath();
std::string BuiltPluginPath();

}  // namespace ormidal::testing
