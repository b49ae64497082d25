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

// Runs the command in `workDir` (empty: the current folder). `shellPrefix`
// goes before it in the POSIX shell, for resource limits and variables; the
// time zone is UTC unless the prefix sets TZ.
CommandResult RunOrmidal(const std::vector<std::string>& args, const std::string& workDir = "",
                         const std::string& shellPrefix = "");

}  // namespace ormidal::testing
