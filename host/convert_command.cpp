// ormidal convert: the converted entry alone, to a file or standard output.
#include "commands.hpp"
#include "entry_names.hpp"
#include "file_helpers.hpp"
#include "opened_archive.hpp"
#include "terminal.hpp"

namespace ormidal::host {
namespace {

constexpr char kConvertedPrefix[] = "ORMIDAL_";
constexpr int kNoConvertedEntry = -1;

bool RefuseTerminalOutput() {
  if (!IsTerminal(stdout)) return false;
  Report("convert", "standard output is a terminal; give -o FILE or redirect the output");
  return true;
}

// The extension of a path's last component, with its dot; "" when none.
std::string ExtensionOf(const std::string& path) {
  std::string title = FileTitle(path);
  std::size_t dot = title.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? std::string() : title.substr(dot);
}

// Finds the converted entry of the database as a whole whose extension the
// destination names (a kind may list several, such as a book's .txt and
// .html; with no match, the first) and writes it to `destination`. Returns
// the plug-in's result, or kNoConvertedEntry. The entries after it are not
// walked: a host may close an archive at any entry, and a document lists
// one entry per 4096 bytes of text.
int WriteConvertedEntry(OpenedArchive* archive, const std::string& destination,
                        const std::string& wanted) {
  ListedEntry entry;
  bool first = true;
  while (archive->Next(&entry)) {
    std::string title = FileTitle(entry.name);
    if (title.rfind(kConvertedPrefix, 0) != 0) {
      if (!first) break;
      archive->Skip();
      continue;
    }
    if (first) first = false;
    if (wanted.empty() || ExtensionOf(title) == wanted) return archive->Extract(destination);
    archive->Skip();
  }
  return kNoConvertedEntry;
}

// The plug-in's result for the converted entry; an archive that does not
// open gives its open result.
int ConvertInto(const PluginExports& plugin, const std::string& database,
                const std::string& destination) {
  std::string wanted = ExtensionOf(destination);
  {
    OpenedArchive archive(plugin, database);
    if (!archive.IsOpen()) return archive.OpenResult();
    int result = WriteConvertedEntry(&archive, destination, wanted);
    if (result != kNoConvertedEntry || wanted.empty()) return result;
  }
  // No entry of that extension: the kind's first one.
  OpenedArchive archive(plugin, database);
  if (!archive.IsOpen()) return archive.OpenResult();
  return WriteConvertedEntry(&archive, destination, std::string());
}

void ReportConversionFailure(int result, const std::string& database,
                             const std::string& destination) {
  if (result == kNoConvertedEntry) {
    Report(database, "no converted form: the plug-in does not convert this kind of database");
  } else if (result == kResultNotSupported) {
    Report(database, "the book's text is encrypted (DRM); its pictures and metadata can be read");
  } else if (result == kResultCannotCreate || result == kResultWriteError) {
    Report(destination, ResultText(result));
  } else {
    Report(database, ResultText(result));
  }
}

int ConvertToStandardOutput(const PluginExports& plugin, const std::string& database) {
  std::string temporary;
  if (!CreateTempFile(&temporary)) {
    Report("temporary file", ResultText(kResultCannotCreate));
    return kExitFailed;
  }
  int result = ConvertInto(plugin, database, temporary);
  // A damaged database still yields the part that could be read.
  bool copied = true;
  if (result == kResultOk || result == kResultBadData) copied = CopyToStandardOutput(temporary);
  if (result != kResultOk) ReportConversionFailure(result, database, "temporary file " + temporary);
  RemoveFile(temporary);
  return result == kResultOk && copied ? kExitOk : kExitFailed;
}

}  // namespace

int ConvertCommand(const PluginExports& plugin, const std::string& database,
                   const std::string& output) {
  bool toStandardOutput = output.empty() || output == "-";
  if (toStandardOutput) {
    if (RefuseTerminalOutput()) return kExitUsage;
    return ConvertToStandardOutput(plugin, database);
  }
  if (IsSameFile(output, database)) {
    Report(output, "is the database itself, not replaced");
    return kExitFailed;
  }
  int result = ConvertInto(plugin, database, output);
  if (result == kResultOk) return kExitOk;
  ReportConversionFailure(result, database, output);
  return kExitFailed;
}

}  // namespace ormidal::host
