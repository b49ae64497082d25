#include "database/archive_state.hpp"

#include <cstring>

#include "database/byte_order.hpp"
#include "database/dos_time.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

int Fail(ArchiveState* state, int result) {
  ClearArchiveState(state);
  state->listPosition = 0;  // equals recordCount: the listing is empty
  return result;
}

void TakeHeaderFields(const unsigned char* header, ArchiveState* state) {
  state->recordCount = ReadBigEndian16(header + DatabaseHeader::kRecordCountOffset);
  std::size_t nameLength = 0;
  while (nameLength < DatabaseHeader::kNameSize && header[nameLength] != 0) ++nameLength;
  std::memcpy(state->databaseName, header + DatabaseHeader::kNameOffset, nameLength);
  state->databaseName[nameLength] = '\0';
  SanitizeName(state->databaseName);
  std::memcpy(state->typeCode, header + DatabaseHeader::kTypeOffset, kCodeSize);
  state->typeCode[kCodeSize] = '\0';
  std::memcpy(state->creatorCode, header + DatabaseHeader::kCreatorOffset, kCodeSize);
  state->creatorCode[kCodeSize] = '\0';
  state->entryTime =
      DatabaseTimeToCalendar(ReadBigEndian32(header + DatabaseHeader::kCreationTimeOffset));
}

// Reads the record list in pieces, so no buffer grows with the record count.
bool ReadRecordList(platform::File file, ArchiveState* state) {
  unsigned char entries[512 * RecordEntry::kSize];
  std::size_t remaining = state->recordCount;
  std::size_t index = 0;
  while (remaining > 0) {
    std::size_t batch = remaining < 512 ? remaining : 512;
    std::size_t bytes = batch * RecordEntry::kSize;
    if (platform::Read(file, entries, bytes) != static_cast<std::int64_t>(bytes)) return false;
    for (std::size_t i = 0; i < batch; ++i) {
      state->recordOffsets[index++] =
          ReadBigEndian32(entries + i * RecordEntry::kSize + RecordEntry::kOffsetOffset);
    }
    remaining -= batch;
  }
  return true;
}

// A matched kind lists one converted entry, the database as a whole, until
// its converter says otherwise.
void MatchDatabaseKind(ArchiveState* state) {
  const KindRow* row = MatchKind(state->typeCode, state->creatorCode);
  if (row != nullptr) {
    std::strcpy(state->convertedExtension, row->convertedExtension);
    state->kind = row->kind;
    ConvertedEntry& whole = state->convertedEntries[0];
    whole.naming = ConvertedNaming::kDatabase;
    std::strcpy(whole.extension, row->convertedExtension);
    state->convertedCount = 1;
  }
  state->listPosition = -static_cast<std::int32_t>(state->convertedCount) - 1;
}

}  // namespace

void ClearArchiveState(ArchiveState* state) {
  std::int32_t listPosition = state->listPosition;
  std::memset(static_cast<void*>(state), 0, sizeof *state);
  state->listPosition = listPosition;
}

void SanitizeName(char* text) {
  for (; *text != '\0'; ++text) {
    unsigned char c = static_cast<unsigned char>(*text);
    if (c < 0x20 || std::strchr("\"*/:<>?\\|", c) != nullptr) *text = '_';
  }
}

bool AddConvertedEntry(ArchiveState* state, const ConvertedEntry& entry) {
  if (state->convertedCount >= kMaxConvertedEntries) return false;
  state->convertedEntries[state->convertedCount++] = entry;
  return true;
}

int OpenDatabase(const char* path, ArchiveState* state) {
  ClearArchiveState(state);
  if (path == nullptr) return Fail(state, kResultCannotOpen);
  std::size_t pathLength = std::strlen(path);
  if (pathLength > platform::kLongPathLimit) return Fail(state, kResultCannotOpen);
  std::memcpy(state->archivePath, path, pathLength + 1);

  platform::File file = platform::OpenForReading(path);
  if (!file.IsOpen()) return Fail(state, kResultCannotOpen);

  unsigned char header[DatabaseHeader::kSize];
  std::uint64_t size = 0;
  bool complete = platform::Read(file, header, sizeof header) == sizeof header;
  if (complete) {
    TakeHeaderFields(header, state);
    complete = ReadRecordList(file, state);
  }
  bool sized = complete && platform::SizeOf(file, &size);
  platform::Close(&file);
  if (!complete) return Fail(state, kResultBadArchive);
  if (!sized) return Fail(state, kResultCannotOpen);

  // Record offsets are 32-bit: nothing past 4 GiB can belong to a record.
  state->fileSize = size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(size);
  MatchDatabaseKind(state);
  return kResultOk;
}

}  // namespace ormidal
