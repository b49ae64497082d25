// ormidal list: every entry with its size, time and name.
#include <cstdio>

#include "commands.hpp"
#include "entry_names.hpp"
#include "file_helpers.hpp"
#include "opened_archive.hpp"

namespace ormidal::host {
namespace {

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

}  // namespace

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

}  // namespace ormidal::host
