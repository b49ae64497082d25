#include "view/listing.hpp"

#include <cstdio>
#include <cstring>

#include "database/extent.hpp"
#include "database/result.hpp"
#include "platform/platform.hpp"

namespace ormidal {
namespace {

constexpr char kLanguageSection[] = "ORMIDAL";
constexpr char kRecordsKey[] = "Records";
constexpr char kConvertedKey[] = "Converted";
constexpr char kConvertedPrefix[] = "ORMIDAL_";

// One folder name from the language file; a missing key gives the default.
// A key present with an empty value gives an empty name: the entries then
// begin with a separator, which hosts take as the archive's root.
void ReadFolderName(const char* key, char* buffer, std::size_t size, const char* path) {
  platform::ReadProfileString(kLanguageSection, key, key, buffer, size, path);
}

// The names stay for the whole open: a listing of 65535 records must not
// read the language file once per entry.
void ReadFolderNamesOnce(ArchiveState* state, const char* languageFilePath) {
  if (state->folderNamesRead) return;
  const char* path = languageFilePath != nullptr ? languageFilePath : "";
  ReadFolderName(kRecordsKey, state->recordsFolderName, sizeof state->recordsFolderName, path);
  ReadFolderName(kConvertedKey, state->convertedFolderName, sizeof state->convertedFolderName,
                 path);
  state->folderNamesRead = true;
}

// A closed database (empty path) lists nothing, and a cursor outside the
// listing never indexes the record offsets.
bool ListingIsOver(const ArchiveState& state) {
  return state.archivePath[0] == '\0' || state.listPosition < -2 ||
         state.listPosition >= static_cast<std::int32_t>(state.recordCount);
}

void BuildConvertedName(const ArchiveState& state, char* name) {
  std::snprintf(name, kEntryNameSize, "%s%c%s%s%s", state.convertedFolderName, platform::kSeparator,
                kConvertedPrefix, state.databaseName, state.convertedExtension);
}

// The type code becomes a file extension, so it obeys the same rules as a
// file name: a backslash or a colon in it must not make a folder or a drive.
void BuildRawName(const ArchiveState& state, char* name) {
  char extension[sizeof state.typeCode];
  std::memcpy(extension, state.typeCode, sizeof extension);
  extension[sizeof extension - 1] = '\0';
  SanitizeName(extension);
  std::snprintf(name, kEntryNameSize, "%s.%s", state.databaseName, extension);
}

void BuildRecordName(const ArchiveState& state, std::uint32_t index, char* name) {
  std::snprintf(name, kEntryNameSize, "%s%c%05u", state.recordsFolderName, platform::kSeparator,
                static_cast<unsigned>(index));
}

}  // namespace

int ReadNextEntry(ArchiveState* state, const char* languageFilePath, ListedEntry* entry) {
  ReadFolderNamesOnce(state, languageFilePath);
  if (ListingIsOver(*state)) return kResultEndOfListing;

  char* name = entry->name;
  std::memset(name, 0, kEntryNameSize);
  std::uint32_t size;
  std::int32_t position = state->listPosition;
  if (position < 0) {
    if (position == -2) {
      BuildConvertedName(*state, name);
    } else {
      BuildRawName(*state, name);
    }
    // Both stand for all record data; the converted size is not known
    // before the conversion runs.
    size = AllRecordsRange(*state).size;
  } else {
    std::uint32_t index = static_cast<std::uint32_t>(position);
    BuildRecordName(*state, index, name);
    size = RecordRange(*state, index).size;
  }
  entry->size = size;
  entry->time = state->entryTime;

  state->entryListed = true;
  state->listedEntry = position;
  state->listPosition = position + 1;
  return kResultOk;
}

}  // namespace ormidal
