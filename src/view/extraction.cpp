#include "view/extraction.hpp"

#include <cstdint>
#include <cstring>

#include "convert/converters.hpp"
#include "database/extent.hpp"
#include "platform/platform.hpp"
#include "view/listing.hpp"

namespace ormidal {
namespace {

constexpr char kConvertedPrefix[] = "ORMIDAL_";
constexpr std::size_t kConvertedPrefixLength = sizeof kConvertedPrefix - 1;
// Records are copied through this much memory whatever their size.
constexpr std::size_t kCopyBufferSize = 64 * 1024;

struct EntryChoice {
  bool converted;
  std::uint32_t convertedIndex;  // which converted entry, when converted
  ByteRange range;
};

std::int32_t FirstPosition(const ArchiveState& state) {
  return -static_cast<std::int32_t>(state.convertedCount) - 1;
}

// The destination's last path component, extension included.
const char* FileTitle(const char* path) {
  const char* title = path;
  for (const char* c = path; *c != '\0'; ++c) {
    if (*c == platform::kSeparator || *c == '/') title = c + 1;
  }
  return title;
}

bool IsAllDigits(const char* text) {
  for (; *text != '\0'; ++text) {
    if (*text < '0' || *text > '9') return false;
  }
  return true;
}

// The leading digits' value, held at a value beyond every record index
// rather than wrapping around.
std::uint32_t ParseLeadingDigits(const char* text) {
  constexpr std::uint32_t kBeyondAnyRecord = 0xFFFFFFFFu;
  std::uint32_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    std::uint32_t digit = static_cast<std::uint32_t>(*text - '0');
    if (value > (kBeyondAnyRecord - digit) / 10) return kBeyondAnyRecord;
    value = value * 10 + digit;
  }
  return value;
}

EntryChoice ChooseListedEntry(const ArchiveState& state, std::int32_t entry) {
  if (entry >= FirstPosition(state) && entry < -1) {
    return {true, static_cast<std::uint32_t>(entry - FirstPosition(state)), {}};
  }
  if (entry >= 0 && entry < static_cast<std::int32_t>(state.recordCount)) {
    return {false, 0, RecordRange(state, static_cast<std::uint32_t>(entry))};
  }
  return {false, 0, AllRecordsRange(state)};
}

// The first entry from `first` to before `end` whose name ends in `title`.
bool FindEntryTitled(const ArchiveState& state, std::int32_t first, std::int32_t end,
                     const char* title, std::int32_t* found) {
  char entryTitle[kListedNameSize];
  for (std::int32_t position = first; position < end; ++position) {
    BuildEntryTitle(state, position, entryTitle);
    if (std::strcmp(entryTitle, title) == 0) {
      *found = position;
      return true;
    }
  }
  return false;
}

// A destination that begins with the prefix names the conversion of the
// whole database: the one whose extension it has, else the first.
EntryChoice ChooseConvertedByName(const ArchiveState& state, const char* title) {
  const char* extension = std::strrchr(title, '.');
  for (std::uint32_t i = 0; extension != nullptr && i < state.convertedCount; ++i) {
    const ConvertedEntry& entry = state.convertedEntries[i];
    if (entry.naming == ConvertedNaming::kDatabase &&
        std::strcmp(entry.extension, extension) == 0) {
      return {true, i, {}};
    }
  }
  return {true, 0, {}};
}

// With nothing listed, the destination's name is all there is to go by.
EntryChoice ChooseEntryByName(const ArchiveState& state, const char* destName) {
  const char* title = FileTitle(destName);
  if (std::strncmp(title, kConvertedPrefix, kConvertedPrefixLength) == 0) {
    return ChooseConvertedByName(state, title);
  }
  std::int32_t position = 0;
  if (FindEntryTitled(state, FirstPosition(state), -1, title, &position)) {
    return ChooseListedEntry(state, position);
  }
  if (state.resourceDatabase &&
      FindEntryTitled(state, 0, static_cast<std::int32_t>(state.recordCount), title, &position)) {
    return ChooseListedEntry(state, position);
  }
  if (!IsAllDigits(title)) return {false, 0, AllRecordsRange(state)};
  std::uint32_t index = ParseLeadingDigits(title);
  if (index < state.recordCount) return {false, 0, RecordRange(state, index)};
  // A number no record has names an unfilled slot, which starts at 0 and so
  // stands for the whole file.
  return {false, 0, ClipToFile(0, state.fileSize, state.fileSize)};
}

EntryChoice ChooseEntry(const ArchiveState& state, const char* destName) {
  if (state.entryListed) return ChooseListedEntry(state, state.listedEntry);
  return ChooseEntryByName(state, destName);
}

int CopyRange(platform::File source, platform::File destination, ByteRange range,
              WriteProgress* progress) {
  if (!platform::SeekTo(source, range.start)) return kResultReadError;
  unsigned char buffer[kCopyBufferSize];
  std::uint32_t remaining = range.size;
  while (remaining > 0) {
    std::size_t wanted = remaining < kCopyBufferSize ? remaining : kCopyBufferSize;
    std::int64_t got = platform::Read(source, buffer, wanted);
    if (got < 0) return kResultReadError;
    // The file shrank since it was opened: what is there has been copied.
    if (got == 0) return kResultBadData;
    if (!platform::WriteAll(destination, buffer, static_cast<std::size_t>(got))) {
      return kResultWriteError;
    }
    if (!ReportWritten(progress, static_cast<std::size_t>(got))) return kResultAborted;
    remaining -= static_cast<std::uint32_t>(got);
  }
  return range.clipped ? kResultBadData : kResultOk;
}

// Writes `destName` from the open database by `choice`. A failure removes
// what was written; bad data keeps the bytes that exist.
int WriteEntry(const ArchiveState& state, const EntryChoice& choice, const char* destName,
               WriteProgress* progress) {
  platform::File source = platform::OpenForReading(state.archivePath);
  if (!source.IsOpen()) return kResultReadError;
  platform::File destination;
  if (platform::CreateForWriting(destName, false, &destination) !=
      platform::CreateResult::kCreated) {
    platform::Close(&source);
    return kResultCannotCreate;
  }
  int result = !choice.converted ? CopyRange(source, destination, choice.range, progress)
               : state.convertedCount == 0
                   ? ConvertDatabase(state, source, destination, progress)
                   : ConvertEntry(state, choice.convertedIndex, source, destination, progress);
  platform::Close(&source);
  platform::Close(&destination);
  if (result != kResultOk && result != kResultBadData) platform::RemoveRegularFile(destName);
  return result;
}

}  // namespace

int ExtractEntry(ArchiveState& state, int operation, const char* destName,
                 WriteProgress* progress) {
  if (operation == kOperationSkip || operation == kOperationTest) return kResultOk;
  if (destName == nullptr || destName[0] == '\0') return kResultCannotCreate;
  PlanConvertedEntries(&state);
  return WriteEntry(state, ChooseEntry(state, destName), destName, progress);
}

}  // namespace ormidal
