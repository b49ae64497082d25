// The four subcommands, each in a file of its own. Each talks to the plug-in only through its
// exports, in the order a file-manager host calls them, and returns the exit code.
#pragma once

#include <string>
#include <vector>

#include "plugin_loader.hpp"

namespace ormidal::host {

enum ExitCode : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// The plug-in's result code in words, for messages.
std::string ResultText(int result);

// Prints "ormidal: SUBJECT: REASON" as one line on standard error.
void Report(const std::string& subject, const std::string& reason);

struct ExtractOptions {
  std::vector<std::string> patterns;
  std::string directory = ".";
  bool force = false;
};

int ListCommand(const PluginExports& plugin, const std::string& database, bool json);
int ExtractCommand(const PluginExports& plugin, const std::string& database,
                   const ExtractOptions& options);
// An empty `output` or "-" means standard output.
int ConvertCommand(const PluginExports& plugin, const std::string& database,
                   const std::string& output);
// `compress` asks for a compressed document; otherwise the plug-in's setting decides.
int PackCommand(const PluginExports& plugin, const std::vector<std::string>& texts,
                const std::string& database, bool compress);

}  // namespace ormidal::host
