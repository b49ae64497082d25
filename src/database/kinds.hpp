// The four kinds of database the converters understand.
#pragma once

#include <cstdint>

namespace ormidal {

enum DatabaseKind : std::int32_t {
  DocumentText = 0,
  Photo = 1,
  DatedNotes = 2,
  CompressedText = 3,
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
};

// The first row whose type and creator both equal the codes (compared
// case-sensitively as zero-terminated strings), or null.
const KindRow* MatchKind(const char* typeCode, const char* creatorCode);

}  // namespace ormidal
