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
  char images[kFolderNameBufferSize];     // inside the converted folder
  char resources[kFolderNameBufferSize];  // a resource database's entries
};

// How a converted entry is named in the listing.
enum class ConvertedNaming : std::uint8_t {
  // <converted>/ORMIDAL_<database name><extension>: the database as a whole.
  kDatabase,
  // <converted>/<images>/<number, five digits><extension>.
  kNumbered,
  // <converted>/<images>/<type><ID, four hex digits><extension>: of resource `item`.
  kResource,
};

// One converted entry of a database. A kind may list several: a book its
// text, its markup and each of its pictures. The kind's converter reads
// `role` and `item` to know which output it is asked for.
struct ConvertedEntry {
  ConvertedNaming naming;
  std::uint8_t role;     // the kind's own numbering of its outputs
  std::uint16_t item;    // the record or resource the entry renders
  std::uint16_t number;  // the number a numbered entry is named by
  char extension[6];     // with its dot, or empty
};

// Every record may give a picture, beside a few entries for the whole database.
inline constexpr std::size_t kMaxConvertedEntries = kMaxRecords + 8;

// A resource's key, as a resource database's list gives it.
struct ResourceKey {
  char type[kCodeSize];
  std::uint16_t id;
};

// The forms names are listed in: as the 8-bit exports give them, and UTF-8
// for the Unicode exports (the same on every platform but Windows).
enum NameForm : int { kHostNames = 0, kUnicodeNames = 1 };

// The listing's cursor runs from -(convertedCount + 1) over the converted
// entries to -1, the raw entry, and then over the records from 0.
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

  // A resource database keeps a type and an ID beside each offset.
  bool resourceDatabase;
  ResourceKey resourceKeys[kMaxRecords];

  // What the listing shows under the converted folder, in this order. A
  // matched kind starts with one entry for the whole database; a kind whose
  // converter knows more fills the table when the listing first looks.
  bool convertedEntriesPlanned;
  std::uint32_t convertedCount;
  ConvertedEntry convertedEntries[kMaxConvertedEntries];

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

// Appends a converted entry; false when the table is full.
bool AddConvertedEntry(ArchiveState* state, const ConvertedEntry& entry);

// Fills `state` from the database at `path`. Returns kResultOk, or
// kResultCannotOpen (missing, unreadable, not a regular file, path too long)
// or kResultBadArchive (shorter than its header or its record list); on
// failure `state` is left cleared with nothing to list.
int OpenDatabase(const char* path, ArchiveState* state);

}  // namespace ormidal
