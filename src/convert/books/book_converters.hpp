// The converted entries of a Mobipocket book: its text, a browsable copy of
// its markup, and each of its pictures as stored.
#pragma once

#include <cstdint>

#include "convert/conversion.hpp"
#include "platform/platform.hpp"

namespace ormidal {

enum class BookEntry { kText, kHtml, kPicture };

// The plain text, metadata first. kResultNotSupported, with nothing
// written, when the text is encrypted.
int ConvertBookText(Conversion* conversion);
// The markup as one HTML file whose pictures lie in Images/ beside it.
int ConvertBookHtml(Conversion* conversion);
// The picture record as stored.
int ConvertBookPicture(Conversion* conversion, std::uint32_t record);

// Whether the book's text can be converted at all: false for an encrypted
// book (or one whose record 0 cannot be read), so that the extraction can
// refuse before it creates a file.
bool BookTextReadable(const ArchiveState& state, platform::File source);

// Runs one of the converters above as ConvertDatabase runs a kind's.
int ConvertBookEntry(const ArchiveState& state, platform::File source, platform::File destination,
                     BookEntry entry, std::uint32_t pictureRecord);

}  // namespace ormidal
