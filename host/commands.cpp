#include "commands.hpp"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "entry_names.hpp"
#include "terminal.hpp"
#include "wide_text.hpp"

namespace ormidal::host {
namespace {

namespace fs = std::filesystem;

#if defined(_WIN32)
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif
constexpr char kConvertedPrefix[] = "ORMIDAL_";

struct ListedEntry {
  std::string name;  // UTF-8
  std::uint64_t size = 0;
  std::uint32_t time = 0;
};

// One open database, closed again when the object goes, as a host closes
// every archive it opened. On Windows it goes through the Unicode exports,
// which take any path and give names as the characters they stand for.
class OpenedArchive {
 public:
  OpenedArchive(const PluginExports& plugin, const std::string& path) : plugin_(plugin) {
#if defined(_WIN32)
    std::u16string wide = Utf16FromUtf8(path);
    OpenArchiveRequestW request{};
    request.archiveName = wide.c_str();
    handle_ = plugin_.OpenArchiveW(&request);
#else
    OpenArchiveRequest request{};
    request.archiveName = path.c_str();
    handle_ = plugin_.OpenArchive(&request);
#endif
    result_ = request.openResult;
    if (handle_ == nullptr && result_ == kResultOk) result_ = kResultCannotOpen;
  }
  ~OpenedArchive() {
    if (handle_ != nullptr) plugin_.CloseArchive(handle_);
  }
  OpenedArchive(const OpenedArchive&) = delete;
  OpenedArchive& operator=(const OpenedArchive&) = delete;

  bool IsOpen() const { return handle_ != nullptr && result_ == kResultOk; }
  int OpenResult() const { return result_; }

  // The next entry, or false at the end of the listing.
#if defined(_WIN32)
  bool Next(ListedEntry* entry) {
    EntryHeaderExW header{};
    if (plugin_.ReadHeaderExW(handle_, &header) != kResultOk) return false;
    std::size_t length = 0;
    while (length < kWideNameUnits && header.fileName[length] != 0) ++length;
    entry->name = Utf8FromUtf16(std::u16string_view(header.fileName, length));
    entry->size = (std::uint64_t{header.unpackedSizeHigh} << 32) | header.unpackedSizeLow;
    entry->time = header.fileTime;
    return true;
  }
  int Skip() { return plugin_.ProcessFileW(handle_, kOperationSkip, nullptr, nullptr); }
  int Extract(const std::string& destination) {
    std::u16string buffer = Utf16FromUtf8(destination);
    return plugin_.ProcessFileW(handle_, kOperationExtract, nullptr, buffer.data());
  }
#else
  bool Next(ListedEntry* entry) {
    EntryHeader header{};
    if (plugin_.ReadHeader(handle_, &header) != kResultOk) return false;
    entry->name.assign(header.fileName, strnlen(header.fileName, sizeof header.fileName));
    entry->size = header.unpackedSize;
    entry->time = header.fileTime;
    return true;
  }
  int Skip() { return plugin_.ProcessFile(handle_, kOperationSkip, nullptr, nullptr); }
  int Extract(const std::string& destination) {
    std::string buffer = destination;
    return plugin_.ProcessFile(handle_, kOperationExtract, nullptr, buffer.data());
  }
#endif

 private:
  const PluginExports& plugin_;
  void* handle_ = nullptr;
  int result_ = kResultOk;
};

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

// Listing lines are gathered in a block and written a block at a time, as
// they are read: a listing of 65537 entries is 3 MB of text, and neither
// the entries nor their lines are kept.
class ListingPrinter {
 public:
  ListingPrinter(std::FILE* stream, bool json) : stream_(stream), json_(json) {
    block_.reserve(2 * kBlockSize);  // a block and its last line, however long
    block_ = json_ ? "[" : "   Length  Date       Time   Name\n---------  ---------- -----  ----\n";
  }

  void Add(const ListedEntry& entry) {
    if (json_) {
      block_ += count_ == 0 ? "\n  {\"name\": " : ",\n  {\"name\": ";
      shown_.clear();
      AppendDisplayName(&shown_, entry.name);
      AppendJsonString(&block_, shown_);
      block_ += ", \"size\": ";
      AppendDecimal(&block_, entry.size);
      block_ += ", \"time\": \"";
      block_ += TimeText(entry.time);
      block_ += "\"}";
    } else {
      AppendDecimal(&block_, entry.size, 9);
      block_ += "  ";
      block_ += TimeText(entry.time);
      block_ += "  ";
      AppendDisplayName(&block_, entry.name);
      block_ += '\n';
    }
    ++count_;
    total_ += entry.size;
    if (block_.size() >= kBlockSize) WriteBlock();
  }

  void Finish() {
    if (json_) {
      block_ += count_ == 0 ? "]\n" : "\n]\n";
    } else {
      block_ += "---------                    -------\n";
      AppendDecimal(&block_, total_, 9);
      block_ += "                    ";
      AppendDecimal(&block_, count_);
      block_ += count_ == 1 ? " entry\n" : " entries\n";
    }
    WriteBlock();
  }

 private:
  static constexpr std::size_t kBlockSize = 64 * 1024;

  // Every entry of a database has the same time, so it is formatted once.
  const std::string& TimeText(std::uint32_t time) {
    if (!timeKnown_ || time != time_) {
      timeText_ = json_ ? IsoTime(time) : ListingTime(time);
      time_ = time;
      timeKnown_ = true;
    }
    return timeText_;
  }

  void WriteBlock() {
    std::fwrite(block_.data(), 1, block_.size(), stream_);
    block_.clear();
  }

  std::FILE* stream_;
  bool json_;
  std::string block_;
  std::uint64_t count_ = 0;
  std::uint64_t total_ = 0;
  bool timeKnown_ = false;
  std::uint32_t time_ = 0;
  std::string timeText_;
  std::string shown_;
};

bool FinishOutput(std::FILE* stream) {
  bool ok = std::fflush(stream) == 0 && std::ferror(stream) == 0;
  if (!ok) Report("standard output", ResultText(kResultWriteError));
  return ok;
}

// The entry's place under `directory`, with the platform's separators.
std::string DestinationPath(const std::string& directory, const std::string& entryName) {
  std::string path = directory;
  if (!path.empty() && path.back() != '/' && path.back() != kSeparator) path += kSeparator;
  for (char c : RootRelativeName(entryName)) path += (c == '/' || c == '\\') ? kSeparator : c;
  return path;
}

bool IsSameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return fs::equivalent(NativePath(a), NativePath(b), error) && !error;
}

bool AnythingAt(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(NativePath(path), error));
}

bool CreateParentFolders(const std::string& path) {
  fs::path parent = NativePath(path).parent_path();
  if (parent.empty()) return true;
  std::error_code error;
  fs::create_directories(parent, error);
  if (!error) return true;
  Report(PathText(parent), ResultText(kResultCannotCreate));
  return false;
}

// A link in the way is replaced, not written through: the entry must land
// inside the destination folder.
void RemoveLinkInTheWay(const std::string& path) {
  std::error_code error;
  fs::path native = NativePath(path);
  if (fs::is_symlink(fs::symlink_status(native, error))) fs::remove(native, error);
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
    if (databaseAtFault) {
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

bool RefuseTerminalOutput() {
  if (!IsTerminal(stdout)) return false;
  Report("convert", "standard output is a terminal; give -o FILE or redirect the output");
  return true;
}

constexpr int kNoConvertedEntry = -1;

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

bool CopyToStandardOutput(const std::string& path) {
  std::FILE* file = OpenFile(path, "rb");
  if (file == nullptr) {
    Report(path, ResultText(kResultCannotOpen));
    return false;
  }
  UseBinaryMode(stdout);
  char buffer[64 * 1024];
  std::size_t got;
  bool readOk = true;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    if (std::fwrite(buffer, 1, got, stdout) != got) break;
  }
  if (std::ferror(file)) readOk = false;
  std::fclose(file);
  if (!readOk) {
    Report(path, ResultText(kResultReadError));
    return false;
  }
  return FinishOutput(stdout);
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
  std::error_code error;
  fs::remove(NativePath(temporary), error);
  return result == kResultOk && copied ? kExitOk : kExitFailed;
}

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

std::string ResultText(int result) {
  switch (result) {
    case kResultNoMemory:
      return "not enough memory";
    case kResultBadData:
      return "damaged data";
    case kResultBadArchive:
      return "not a valid database";
    case kResultCannotOpen:
      return "cannot open";
    case kResultCannotCreate:
      return "cannot create";
    case kResultReadError:
      return "read error";
    case kResultWriteError:
      return "write error";
    case kResultTooManyFiles:
      return "text too long for the format";
    case kResultTargetExists:
      return "already exists";
    default:
      return "failed with code " + std::to_string(result);
  }
}

void Report(const std::string& subject, const std::string& reason) {
  std::fprintf(stderr, "ormidal: %s: %s\n", subject.c_str(), reason.c_str());
}

int ListCommand(const PluginExports& plugin, const std::string& database, bool json) {
  OpenedArchive archive(plugin, database);
  if (!archive.IsOpen()) {
    Report(database, ResultText(archive.OpenResult()));
    return kExitFailed;
  }
  ListingPrinter printer(stdout, json);
  ListedEntry entry;
  while (archive.Next(&entry)) {
    printer.Add(entry);
    archive.Skip();
  }
  printer.Finish();
  return FinishOutput(stdout) ? kExitOk : kExitFailed;
}

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
