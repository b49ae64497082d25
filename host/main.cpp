// ormidal: lists, extracts, converts and packs handheld databases through
// the packer plug-in, loaded at run time as a file manager loads it.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.hpp"
#include "plugin_loader.hpp"
#include "terminal.hpp"
#include "wide_text.hpp"

using namespace ormidal::host;

namespace {

const char kGeneralHelp[] =
    "Usage: ormidal [--plugin PATH] COMMAND [OPTIONS] ARGUMENTS\n"
    "\n"
    "Opens handheld (Palm) database files as archives through the ormidal plug-in.\n"
    "\n"
    "Commands:\n"
    "  list DB [--json]              list the entries of a database\n"
    "  extract DB [ENTRY...] [-d DIR] [--force]\n"
    "                                extract all entries, or those named\n"
    "  convert DB [-o FILE]          write the database as a desktop file\n"
    "  pack [--compress] TEXT DB     create a new text database from a text file\n"
    "\n"
    "Options:\n"
    "  --plugin PATH   load the plug-in from PATH instead of beside this program\n"
    "  --help          show this help, or a command's help after the command\n"
    "  --version       show the version\n"
    "\n"
    "Exit codes: 0 success, 1 the operation failed, 2 bad usage.\n";

const char kListHelp[] =
    "Usage: ormidal list DB [--json]\n"
    "\n"
    "Lists each entry of DB with its size, date, time and name, and a total line.\n"
    "  --json   print a JSON array of {\"name\", \"size\", \"time\"} objects instead;\n"
    "           time is ISO 8601 local time as the database stores it\n";

const char kExtractHelp[] =
    "Usage: ormidal extract DB [ENTRY...] [-d DIR] [--force]\n"
    "\n"
    "Extracts every entry of DB, or those matching the ENTRY patterns, into DIR\n"
    "(default: the current folder), creating folders as needed. Patterns are\n"
    "shell-style (* ? [set]) and match whole names such as Records/00001;\n"
    "quote them so the shell leaves them alone.\n"
    "  -d DIR    extract into DIR\n"
    "  --force   replace files that already exist\n"
    "Names that would lead outside DIR are refused.\n";

const char kConvertHelp[] =
    "Usage: ormidal convert DB [-o FILE]\n"
    "\n"
    "Writes the converted form of DB (text, dated notes, or picture data) to FILE,\n"
    "or to standard output when FILE is - or not given. Standard output must then\n"
    "be redirected: nothing is written to a terminal.\n";

const char kPackHelp[] =
    "Usage: ormidal pack [--compress] TEXT DB\n"
    "\n"
    "Creates the new text database DB from the text file TEXT. An existing DB is\n"
    "never replaced. A database holds one text: given several, the plug-in\n"
    "creates nothing.\n"
    "  --compress   store the text compressed, as handheld readers expect (about\n"
    "               a third of the size); without it the plug-in's setting\n"
    "               Compress in ormidal.ini beside it decides\n";

struct Invocation {
  std::string command;
  std::vector<std::string> operands;
  std::string plugin;
  std::string output;
  ExtractOptions extract;
  std::vector<std::string> optionsSeen;
  bool json = false;
  bool compress = false;
  bool help = false;
  bool version = false;
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "ormidal: %s (see ormidal --help)\n", message.c_str());
  return kExitUsage;
}

// Takes the value of an option given as "-o VALUE", "--plugin VALUE" or
// "--plugin=VALUE". Returns false when it is missing.
bool TakeValue(const std::string& arg, const std::string& name,
               const std::vector<std::string>& args, std::size_t* i, std::string* value) {
  if (arg.size() > name.size() && arg.compare(0, name.size() + 1, name + "=") == 0) {
    *value = arg.substr(name.size() + 1);
    return true;
  }
  if (*i + 1 >= args.size()) return false;
  *value = args[++*i];
  return true;
}

bool IsOption(const std::string& arg, const std::string& name) {
  return arg == name || arg.rfind(name + "=", 0) == 0;
}

// Returns an empty string on success, else what was wrong. `args` are in
// UTF-8 on Windows, and the bytes as given elsewhere; the program's name
// is not among them.
std::string ParseArguments(const std::vector<std::string>& args, Invocation* call) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::string* value = nullptr;
    std::string name;
    if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
      if (call->command.empty()) {
        call->command = arg;
      } else {
        call->operands.push_back(arg);
      }
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      call->help = true;
    } else if (arg == "--version") {
      call->version = true;
    } else if (arg == "--json") {
      call->json = true;
    } else if (arg == "--compress") {
      call->compress = true;
    } else if (arg == "--force") {
      call->extract.force = true;
    } else if (IsOption(arg, "--plugin")) {
      name = "--plugin", value = &call->plugin;
    } else if (arg == "-d") {
      name = "-d", value = &call->extract.directory;
    } else if (arg == "-o") {
      name = "-o", value = &call->output;
    } else {
      return "unknown option " + arg;
    }
    if (value != nullptr && !TakeValue(arg, name, args, &i, value))
      return "option " + name + " needs a value";
    call->optionsSeen.push_back(arg.substr(0, arg.find('=')));
  }
  return "";
}

const char* HelpFor(const std::string& command) {
  if (command == "list") return kListHelp;
  if (command == "extract") return kExtractHelp;
  if (command == "convert") return kConvertHelp;
  if (command == "pack") return kPackHelp;
  return nullptr;
}

bool OptionApplies(const std::string& option, const std::string& command) {
  static const char* const everywhere[] = {"--", "--help", "-h", "--version", "--plugin"};
  for (const char* name : everywhere) {
    if (option == name) return true;
  }
  if (option == "--json") return command == "list";
  if (option == "-d" || option == "--force") return command == "extract";
  if (option == "-o") return command == "convert";
  if (option == "--compress") return command == "pack";
  return false;
}

// Returns an empty string when the arguments suit the command.
std::string CheckArguments(const Invocation& call) {
  for (const std::string& option : call.optionsSeen) {
    if (!OptionApplies(option, call.command))
      return "option " + option + " does not apply to " + call.command;
  }
  std::size_t count = call.operands.size();
  if (call.command == "pack") {
    return count >= 2 ? "" : "pack needs a text file and a database name";
  }
  if (count == 0) return call.command + " needs a database";
  if (call.command != "extract" && count > 1) return "too many arguments for " + call.command;
  return "";
}

int Run(const Invocation& call) {
  PluginLoader loader;
  std::string error;
  if (!loader.Load(call.plugin, &error)) {
    Report(loader.Path(), error);
    return kExitFailed;
  }
  const PluginExports& plugin = loader.Exports();
  const std::string& database = call.command == "pack" ? call.operands.back() : call.operands[0];
  if (call.command == "list") return ListCommand(plugin, database, call.json);
  if (call.command == "convert") return ConvertCommand(plugin, database, call.output);
  if (call.command == "pack") {
    std::vector<std::string> texts(call.operands.begin(), call.operands.end() - 1);
    return PackCommand(plugin, texts, database, call.compress);
  }
  ExtractOptions options = call.extract;
  options.patterns.assign(call.operands.begin() + 1, call.operands.end());
  return ExtractCommand(plugin, database, options);
}

int Main(const std::vector<std::string>& args) {
  Invocation call;
  std::string problem = ParseArguments(args, &call);
  if (!problem.empty()) return UsageError(problem);
  if (call.version) {
    std::printf("ormidal %s\n", ORMIDAL_VERSION);
    return kExitOk;
  }
  const char* commandHelp = HelpFor(call.command);
  if (call.help || call.command.empty()) {
    if (!call.command.empty() && commandHelp == nullptr)
      return UsageError("unknown command " + call.command);
    std::fputs(commandHelp != nullptr ? commandHelp : kGeneralHelp, call.help ? stdout : stderr);
    return call.help ? kExitOk : kExitUsage;
  }
  if (commandHelp == nullptr) return UsageError("unknown command " + call.command);
  problem = CheckArguments(call);
  if (!problem.empty()) return UsageError(problem);
  return Run(call);
}

}  // namespace

#if defined(_WIN32)
// The arguments in UTF-16, as Windows holds them: any path, whatever the
// ANSI code page.
extern "C" int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Utf8FromWide(argv[i]));
  Utf8Console console;
  return Main(args);
}
#else
int main(int argc, char** argv) {
  return Main(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}
#endif
