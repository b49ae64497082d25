// ormidal pack: a new text database from a text file.
#include "commands.hpp"
#include "file_helpers.hpp"
#include "wide_text.hpp"

namespace ormidal::host {
namespace {

struct SourceParts {
  std::string folder;
  std::string name;
};

// PackFiles takes the folder, ending in a separator, and the bare name.
SourceParts SplitSource(const std::string& text) {
#if defined(_WIN32)
  std::size_t cut = text.find_last_of("/\\");
#else
  std::size_t cut = text.find_last_of('/');
#endif
  if (cut == std::string::npos) return {std::string(".") + kSeparator, text};
  return {text.substr(0, cut + 1), text.substr(cut + 1)};
}

struct PackSources {
  std::string folder;
  std::string names;  // each zero-terminated, then an empty one
};

// What a host passes: the folder of the sources and their names in it. Texts
// from different folders are passed by their whole paths under an empty folder.
PackSources ListSources(const std::vector<std::string>& texts) {
  PackSources sources;
  sources.folder = SplitSource(texts.front()).folder;
  bool oneFolder = true;
  for (const std::string& text : texts)
    oneFolder = oneFolder && SplitSource(text).folder == sources.folder;
  if (!oneFolder) sources.folder.clear();
  for (const std::string& text : texts) {
    sources.names += oneFolder ? SplitSource(text).name : text;
    sources.names.push_back('\0');
  }
  sources.names.push_back('\0');
  return sources;
}

}  // namespace

int PackCommand(const PluginExports& plugin, const std::vector<std::string>& texts,
                const std::string& database, bool compress) {
  PackSources sources = ListSources(texts);
  int flags = compress ? kPackFlagCompress : 0;
#if defined(_WIN32)
  // The list's zero separators carry over into UTF-16 as they are.
  std::u16string target = Utf16FromUtf8(database);
  std::u16string subPath;
  std::u16string folder = Utf16FromUtf8(sources.folder);
  std::u16string names = Utf16FromUtf8(sources.names);
  int result = plugin.PackFilesW(target.data(), subPath.data(), folder.data(), names.data(), flags);
#else
  std::string target = database;
  std::string subPath;
  int result = plugin.PackFiles(target.data(), subPath.data(), sources.folder.data(),
                                sources.names.data(), flags);
#endif
  if (result == kResultOk) return kExitOk;
  if (result == kResultTooManyFiles && texts.size() > 1) {
    Report(database, "a database holds one text; " + std::to_string(texts.size()) +
                         " text files were given, so nothing was created");
    return kExitFailed;
  }
  bool sourceAtFault =
      result == kResultCannotOpen || result == kResultReadError || result == kResultTooManyFiles;
  Report(sourceAtFault ? texts.front() : database, ResultText(result));
  return kExitFailed;
}

}  // namespace ormidal::host
