#include "view/listing.hpp"

#include <cstdio>
#include <cstring>

#include "convert/charset.hpp"
#include "convert/converters.hpp"
#include "convert/unicode.hpp"
#include "database/extent.hpp"
#include "database/result.hpp"
#include "platform/platform.hpp"

namespace ormidal {
namespace {

constexpr char kLanguageSection[] = "ORMIDAL";
constexpr char kRecordsKey[] = "Records";
constexpr char kConvertedKey[] = "Converted";
constexpr char kImagesKey[] = "Images";
constexpr char kResourcesKey[] = "Resources";
constexpr char kResourceExtension[] = ".bin";
constexpr char kConvertedPrefix[] = "ORMIDAL_";

#if defined(_WIN32)
constexpr bool kHostNamesAreUtf8 = false;
#else
constexpr bool kHostNamesAreUtf8 = true;
#endif

bool IsUtf8Form(NameForm form) { return form == kUnicodeNames || kHostNamesAreUtf8; }

// One folder name from the language file; a missing key gives the default.
// A key present with an empty value gives an empty name: the entries then
// begin with a separator, which hosts take as the archive's root. A UTF-8
// value that is not well formed is not a name: the default stands.
void ReadFolderName(const char* key, NameForm form, const char* path, char* name) {
  char value[3 * 1024 + 1];
  platform::ProfileText text =
      form == kUnicodeNames ? platform::ProfileText::kUtf8 : platform::ProfileText::kAnsi;
  std::size_t length =
      platform::ReadProfileString(kLanguageSection, key, key, text, value, sizeof value, path);
  if (IsUtf8Form(form)) {
    if (!IsUtf8(value, length)) length = std::strlen(std::strcpy(value, key));
    length = Utf8PrefixOfCharacters(value, length, kFolderNameCharacters);
  } else if (length > kFolderNameCharacters) {
    length = kFolderNameCharacters;
  }
  std::memcpy(name, value, length);
  name[length] = '\0';
}

// The names stay for the whole open: a listing of 65535 records must not
// read the language file once per entry.
const FolderNames& ReadFolderNamesOnce(ArchiveState* state, const char* languageFilePath,
                                       NameForm form) {
  FolderNames& names = state->folderNames[form];
  if (names.read) return names;
  const char* path = languageFilePath != nullptr ? languageFilePath : "";
  ReadFolderName(kRecordsKey, form, path, names.records);
  ReadFolderName(kConvertedKey, form, path, names.converted);
  ReadFolderName(kImagesKey, form, path, names.images);
  ReadFolderName(kResourcesKey, form, path, names.resources);
  names.read = true;
  return names;
}

// An entry name being put together, never past its buffer.
class NameBuilder {
 public:
  NameBuilder(char* name, bool utf8) : name_(name), utf8_(utf8) { name_[0] = '\0'; }

  void Text(const char* text) {
    for (; *text != '\0'; ++text) Byte(*text);
  }
  // Text in the handheld's character set, which is Windows-1252.
  void HandheldText(const char* text) {
    if (!utf8_) return Text(text);
    for (; *text != '\0'; ++text) {
      char bytes[4];
      std::size_t count =
          EncodeUtf8(CodePointOfWindows1252(static_cast<unsigned char>(*text)), bytes);
      if (kListedNameSize - 1 - length_ < count) return;
      for (std::size_t i = 0; i < count; ++i) Byte(bytes[i]);
    }
  }
  void Byte(char c) {
    if (length_ + 1 >= kListedNameSize) return;
    name_[length_++] = c;
    name_[length_] = '\0';
  }

 private:
  char* name_;
  bool utf8_;
  std::size_t length_ = 0;
};

std::int32_t FirstPosition(const ArchiveState& state) {
  return -static_cast<std::int32_t>(state.convertedCount) - 1;
}

// A closed database (empty path) lists nothing, and a cursor outside the
// listing never indexes the record offsets.
bool ListingIsOver(const ArchiveState& state) {
  return state.archivePath[0] == '\0' || state.listPosition < FirstPosition(state) ||
         state.listPosition >= static_cast<std::int32_t>(state.recordCount);
}

// A type code is named as a database name is: its characters in the
// handheld's set, none that a file name cannot hold.
void BuildResourceKeyName(const ArchiveState& state, std::uint32_t index, NameBuilder* name) {
  const ResourceKey& key = state.resourceKeys[index];
  char type[kCodeSize + 1] = {};
  std::memcpy(type, key.type, kCodeSize);
  for (char& c : type) {
    if (c == '\0') c = '_';
  }
  type[kCodeSize] = '\0';
  SanitizeName(type);
  char id[8];
  std::snprintf(id, sizeof id, "%04x", static_cast<unsigned>(key.id));
  name->HandheldText(type);
  name->Text(id);
}

void BuildConvertedName(const ArchiveState& state, const FolderNames& folders,
                        const ConvertedEntry& entry, NameBuilder* name) {
  name->Text(folders.converted);
  name->Byte(platform::kSeparator);
  if (entry.naming == ConvertedNaming::kDatabase) {
    name->Text(kConvertedPrefix);
    name->HandheldText(state.databaseName);
  } else {
    name->Text(folders.images);
    name->Byte(platform::kSeparator);
    if (entry.naming == ConvertedNaming::kResource && entry.item < state.recordCount) {
      BuildResourceKeyName(state, entry.item, name);
    } else {
      char number[16];
      std::snprintf(number, sizeof number, "%05u", static_cast<unsigned>(entry.number));
      name->Text(number);
    }
  }
  name->Text(entry.extension);
}

// Both stand for all record data, the size the listing gives for a whole
// database's conversion, which is not known before it runs; a picture of
// one record is listed with that record's size.
std::uint32_t ConvertedSize(const ArchiveState& state, const ConvertedEntry& entry) {
  if (entry.naming == ConvertedNaming::kDatabase || entry.item >= state.recordCount) {
    return AllRecordsRange(state).size;
  }
  return RecordRange(state, entry.item).size;
}

// The type code becomes a file extension, so it obeys the same rules as a
// file name: a backslash or a colon in it must not make a folder or a drive.
void BuildRawName(const ArchiveState& state, NameBuilder* name) {
  char extension[sizeof state.typeCode];
  std::memcpy(extension, state.typeCode, sizeof extension);
  extension[sizeof extension - 1] = '\0';
  SanitizeName(extension);
  name->HandheldText(state.databaseName);
  name->Byte('.');
  name->HandheldText(extension);
}

// A resource is named by its type and ID, as the tools that build
// applications name such files, so that an extracted folder can be built
// again.
void BuildRecordName(const ArchiveState& state, const FolderNames& folders, std::uint32_t index,
                     NameBuilder* name) {
  if (state.resourceDatabase) {
    name->Text(folders.resources);
    name->Byte(platform::kSeparator);
    BuildResourceKeyName(state, index, name);
    name->Text(kResourceExtension);
    return;
  }
  char number[16];
  std::snprintf(number, sizeof number, "%05u", static_cast<unsigned>(index));
  name->Text(folders.records);
  name->Byte(platform::kSeparator);
  name->Text(number);
}

void BuildNameAt(const ArchiveState& state, const FolderNames& folders, std::int32_t position,
                 NameBuilder* name, std::uint32_t* size) {
  if (position >= 0) {
    std::uint32_t index = static_cast<std::uint32_t>(position);
    BuildRecordName(state, folders, index, name);
    *size = RecordRange(state, index).size;
  } else if (position == -1) {
    BuildRawName(state, name);
    *size = AllRecordsRange(state).size;
  } else {
    const ConvertedEntry& converted =
        state.convertedEntries[static_cast<std::uint32_t>(position - FirstPosition(state))];
    BuildConvertedName(state, folders, converted, name);
    *size = ConvertedSize(state, converted);
  }
}

}  // namespace

void BuildEntryTitle(const ArchiveState& state, std::int32_t position, char* title) {
  static const FolderNames kNoFolders = {};
  char name[kListedNameSize];
  NameBuilder builder(name, true);
  std::uint32_t size = 0;
  BuildNameAt(state, kNoFolders, position, &builder, &size);
  const char* last = std::strrchr(name, platform::kSeparator);
  std::strcpy(title, last != nullptr ? last + 1 : name);
}

int ReadNextEntry(ArchiveState* state, const char* languageFilePath, NameForm form,
                  ListedEntry* entry) {
  PlanConvertedEntries(state);
  const FolderNames& folders = ReadFolderNamesOnce(state, languageFilePath, form);
  if (ListingIsOver(*state)) return kResultEndOfListing;

  std::memset(entry->name, 0, sizeof entry->name);
  NameBuilder name(entry->name, IsUtf8Form(form));
  std::uint32_t size = 0;
  std::int32_t position = state->listPosition;
  BuildNameAt(*state, folders, position, &name, &size);
  entry->size = size;
  entry->time = state->entryTime;

  state->entryListed = true;
  state->listedEntry = position;
  state->listPosition = position + 1;
  return kResultOk;
}

}  // namespace ormidal
