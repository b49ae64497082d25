// The kinds of database the converters understand: three text kinds and a
// photo kind, then the handheld's own memos, contacts, calendar and tasks.
#pragma once

#include <cstdint>

namespace ormidal {

enum DatabaseKind : std::int32_t {
  DocumentText = 0,
  Photo = 1,
  DatedNotes = 2,
  CompressedText = 3,
  Memos = 4,
  Contacts = 5,
  Calendar = 6,
  Tasks = 7,
  Book = 8,
};

struct KindRow {
  DatabaseKind kind;
  const char* typeCode;
  const char* creatorCode;
  const char* convertedExtension;
};

inline constexpr KindRow KindTable[] = {
    {DocumentText, "TEXt", "REAd", ".txt"},
    {Photo, "Foto", "Foto", ""},
    {DatedNotes, "DATA", "MNBi", ".txt"},
    {CompressedText, "zTXT", "GPlm", ".txt"},
    {Memos, "DATA", "memo", ".txt"},
    {Contacts, "DATA", "addr", ".vcf"},
    {Calendar, "DATA", "date", ".ics"},
    {Tasks, "DATA", "todo", ".ics"},
    // The later memo application keeps the same records under its own creator.
    {Memos, "DATA", "PMem", ".txt"},
    {Book, "BOOK", "MOBI", ".txt"},
};

// The first row whose type and creator both equal the codes (compared
// case-sensitively as zero-terminated strings), or null.
const KindRow* MatchKind(const char* typeCode, const char* creatorCode);

}  // namespace ormidal
