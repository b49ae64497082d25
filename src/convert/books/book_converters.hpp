// The converted entries of a Mobipocket book: its text, a browsable copy of
// its markup, and each of its pictures as stored.
#pragma once

#include <cstdint>

#include "convert/conversion.hpp"
#include "platform/platform.hpp"

namespace ormidal {

// The roles of a book's converted entries.
enum BookRole : std::uint8_t { kBookText = 0, kBookHtml = 1, kBookPicture = 2 };

// Lists the text, the HTML copy and every picture record, numbered as the
// book's markup numbers them.
void PlanBook(Conversion* conversion, ArchiveState* state);
// Writes the entry conversion->entry names.
int ConvertBook(Conversion* conversion);

// The plain text, metadata first. kResultNotSupported, with nothing
// written, when the text is encrypted.
int ConvertBookText(Conversion* conversion);
// The markup as one HTML file whose pictures lie in Images/ beside it.
int ConvertBookHtml(Conversion* conversion);
// The picture record as stored.
int ConvertBookPicture(Conversion* conversion, std::uint32_t record);

}  // namespace ormidal
