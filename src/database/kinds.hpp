// The kinds of database the converters understand: three text kinds and a
// photo kind, the handheld's own memos, contacts, calendar and tasks, the
// later applications' contacts, calendar and tasks, Image Viewer pictures,
// and applications (resource databases).
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
  LaterContacts = 8,
  LaterCalendar = 9,
  LaterTasks = 10,
  ImageViewer = 11,
  // Every resource database, whatever its codes: an application, its icons
  // and its bitmaps.
  Application = 12,
  Book = 13,
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
    // The later contacts, calendar and tasks applications' own layouts.
    {LaterContacts, "DATA", "PAdd", ".vcf"},
    {LaterCalendar, "DATA", "PDat", ".ics"},
    {LaterTasks, "DATA", "PTod", ".ics"},
    {ImageViewer, "vIMG", "View", ".png"},
    {Book, "BOOK", "MOBI", ".txt"},
};

// The row every resource database takes: its resources are no records, so
// no record kind can read it, whatever its type and creator say.
inline constexpr KindRow kResourceDatabaseRow = {Application, "", "", ".txt"};

// The first row whose type and creator both equal the codes (compared
// case-sensitively as zero-terminated strings), or null.
const KindRow* MatchKind(const char* typeCode, const char* creatorCode);

}  // namespace ormidal
