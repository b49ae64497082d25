// ormidal extract: the entries a pattern selects, or all, into a folder.
#include <vector>

#include "commands.hpp"
#include "entry_names.hpp"
#include "file_helpers.hpp"
#include "opened_archive.hpp"
#include "terminal.hpp"

namespace ormidal::host {
namespace {

bool ListAll(const PluginExports& plugin, const std::string& database,
             std::vector<ListedEntry>* entries) {
  OpenedArchive archive(plugin, database);
  if (!archive.IsOpen()) {
    Report(database, ResultText(archive.OpenResult()));
    return false;
  }
  ListedEntry entry;
  while (archive.Next(&entry)) {
    entries->push_back(entry);
    archive.Skip();
  }
  return true;
}

bool SelectedByPatterns(const std::vector<std::string>& patterns, const std::string& name,
                        std::vector<bool>* used) {
  if (patterns.empty()) return true;
  bool selected = false;
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    if (MatchesPattern(patterns[i], DisplayName(name))) {
      (*used)[i] = true;
      selected = true;
    }
  }
  return selected;
}

struct Selection {
  std::size_t entries = 0;
  std::uint64_t bytes = 0;
  bool allPatternsUsed = true;
};

Selection Select(const std::vector<ListedEntry>& entries, const std::string& database,
                 const std::vector<std::string>& patterns) {
  Selection selection;
  std::vector<bool> used(patterns.size(), false);
  for (const ListedEntry& entry : entries) {
    if (!SelectedByPatterns(patterns, entry.name, &used)) continue;
    ++selection.entries;
    selection.bytes += entry.size;
  }
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    if (used[i]) continue;
    Report(database, "no entry matches " + patterns[i]);
    selection.allPatternsUsed = false;
  }
  return selection;
}

class Extractor {
 public:
  Extractor(OpenedArchive* archive, const std::string& database, const ExtractOptions& options,
            ProgressLine* progress)
      : archive_(archive), database_(database), options_(options), progress_(progress) {}

  // Writes one listed entry, or explains on standard error why not.
  bool Write(const ListedEntry& entry) {
    if (!IsContainedName(entry.name)) {
      Report(database_, "entry " + DisplayName(entry.name) + " refused: its name leads outside " +
                            options_.directory);
      return Skip();
    }
    std::string destination = DestinationPath(options_.directory, entry.name);
    if (IsSameFile(destination, database_)) {
      Report(destination, "is the database itself, not replaced");
      return Skip();
    }
    if (AnythingAt(destination)) {
      if (!options_.force) {
        Report(destination, ResultText(kResultTargetExists) + " (--force replaces it)");
        return Skip();
      }
      RemoveLinkInTheWay(destination);
    }
    if (!CreateParentFolders(destination)) return Skip();
    int result = archive_->Extract(destination);
    if (result == kResultOk) return true;
    ReportExtractionFailure(result, entry, destination);
    return false;
  }

  bool Skip() {
    archive_->Skip();
    return false;
  }

 private:
  void ReportExtractionFailure(int result, const ListedEntry& entry,
                               const std::string& destination) {
    bool databaseAtFault = result == kResultBadData || result == kResultReadError;
    if (result == kResultNotSupported) {
      // An extraction answers 24 only for what it cannot convert: a
      // book's encrypted text.
      Report(database_ + " (entry " + DisplayName(entry.name) + ")",
             "the book's text is encrypted (DRM); its pictures and metadata can be read");
    } else if (databaseAtFault) {
      Report(database_ + " (entry " + DisplayName(entry.name) + ")", ResultText(result));
    } else {
      Report(destination, ResultText(result));
    }
  }

  // Messages start on a clean line, not behind the progress line.
  void Report(const std::string& subject, const std::string& reason) {
    progress_->Clear();
    host::Report(subject, reason);
  }

  OpenedArchive* archive_;
  const std::string& database_;
  const ExtractOptions& options_;
  ProgressLine* progress_;
};

}  // namespace

int ExtractCommand(const PluginExports& plugin, const std::string& database,
                   const ExtractOptions& options) {
  std::vector<ListedEntry> entries;
  if (!ListAll(plugin, database, &entries)) return kExitFailed;
  Selection selection = Select(entries, database, options.patterns);
  bool allWritten = selection.allPatternsUsed;

  OpenedArchive archive(plugin, database);
  if (!archive.IsOpen()) {
    Report(database, ResultText(archive.OpenResult()));
    return kExitFailed;
  }
  ProgressLine progress(selection.entries, selection.bytes);
  Extractor extractor(&archive, database, options, &progress);
  std::vector<bool> unused(options.patterns.size());
  ListedEntry entry;
  while (archive.Next(&entry)) {
    if (!SelectedByPatterns(options.patterns, entry.name, &unused)) {
      archive.Skip();
      continue;
    }
    if (!extractor.Write(entry)) allWritten = false;
    progress.Advance(entry.size);
  }
  progress.Clear();
  return allWritten ? kExitOk : kExitFailed;
}

}  // namespace ormidal::host
