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

// Finds the converted entry and writes it to `destination`. Returns the
// plug-in's result, or kNoConvertedEntry. The entries after it are not
// walked: a host may close an archive at any entry, and a document lists
// one entry per 4096 bytes of text.
int WriteConvertedEntry(OpenedArchive* archive, const std::string& destination) {
  ListedEntry entry;
  while (archive->Next(&entry)) {
    if (FileTitle(entry.name).rfind(kConvertedPrefix, 0) == 0) return archive->Extract(destination);
    archive->Skip();
  }
  return kNoConvertedEntry;
}

// The plug-in's result for the converted entry; an archive that does not
// open gives its open result.
int ConvertInto(const PluginExports& plugin, const std::string& database,
                const std::string& destination) {
  OpenedArchive archive(plugin, database);
  if (!archive.IsOpen()) return archive.OpenResult();
  return WriteConvertedEntry(&archive, destination);
}

void ReportConversionFailure(int result, const std::string& database,
                             const std::string& destination) {
  if (result == kNoConvertedEntry) {
    Report(database, "no converted form: the plug-in does not convert this kind of database");
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
