// One open database: what OpenArchive reads once and every later call on its
// handle works from. Each open database has a state of its own.
#pragma once

#include <cstdint>

#include "database/dos_time.hpp"
#include "database/kinds.hpp"
#include "database/layout.hpp"
#include "platform/platform.hpp"

namespace ormidal {

// Localised folder names hold at most 62 characters, of up to four bytes
// each in UTF-8.
inline constexpr std::size_t kFolderNameCharacters = 62;
inline constexpr std::size_t kFolderNameBufferSize = 4 * kFolderNameCharacters + 1;

// The folder names of one form of the listing's names, read once per open.
struct FolderNames {
  bool read;
  char records[kFolderNameBufferSize];
  char converted[kFolderNameBufferSize];
};

// The forms names are listed in: as the 8-bit exports give them, and UTF-8
// for the Unicode exports (the same on every platform but Windows).
enum NameForm : int { kHostNames = 0, kUnicodeNames = 1 };

struct ArchiveState {
  std::int32_t listPosition;
  char archivePath[platform::kPathBufferSize];
  char databaseName[DatabaseHeader::kNameSize + 1];
  char typeCode[kCodeSize + 1];
  char creatorCode[kCodeSize + 1];
  char convertedExtension[6];
  std::int32_t kind;
  std::uint16_t recordCount;
  std::uint32_t recordOffsets[kMaxRecords];
  std::uint32_t fileSize;
  CalendarTime entryTime;  // the creation time, as every entry carries it

  // A resource database (header attribute 0x0001) holds resources, not
  // records: recordOffsets and recordCount describe them all the same, and
  // these give each one's type code and ID. The header's three times are
  // kept as stored for the application's description.
  bool resourceDatabase;
  std::uint32_t creationSeconds;
  std::uint32_t modificationSeconds;
  std::uint32_t backupSeconds;
  char resourceTypes[kMaxRecords][kCodeSize];
  std::uint16_t resourceIds[kMaxRecords];

  // The listing's view of the database, kept for the whole open.
  FolderNames folderNames[2];  // by NameForm
  // The entry the last ReadHeader call returned, which ProcessFile writes.
  bool entryListed;
  std::int32_t listedEntry;
};

// Sets every field but listPosition to zero bytes.
void ClearArchiveState(ArchiveState* state);

// Replaces the characters a file name cannot hold (" * / : < > ? \ | and
// every byte below 0x20) by '_', up to the first zero byte.
void SanitizeName(char* text);

// Fills `state` from the database at `path`. Returns kResultOk, or
// kResultCannotOpen (missing, unreadable, not a regular file, path too long)
// or kResultBadArchive (shorter than its header or its record list); on
// failure `state` is left cleared with nothing to list.
int OpenDatabase(const char* path, ArchiveState* state);

}  // namespace ormidal
