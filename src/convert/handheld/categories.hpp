// The category table every application of the handheld keeps at the start
// of its application-info block: 16 names, and each record's attributes
// name one of them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/conversion.hpp"
#include "convert/handheld/handheld_records.hpp"

namespace ormidal {

inline constexpr std::size_t kCategoryCount = 16;
inline constexpr std::size_t kCategoryNameSize = 16;
// A 16-bit renamed mask, the names, 16 category IDs, the last ID and a pad.
inline constexpr std::size_t kCategoryTableSize = 2 + kCategoryCount * kCategoryNameSize + 16 + 2;

struct CategoryTable {
  // As stored (Windows-1252), each cut at its first zero byte; empty when
  // missing.
  unsigned char names[kCategoryCount][kCategoryNameSize + 1];
};

// Reads the table from the application-info block at `appInfoOffset`,
// which ends where record 0 begins, or at the end of the file. Without a
// block every name is missing; a block that the offset points to but that
// cannot hold the table (inside the header or record list, past the end,
// or too short) is damage.
int ReadCategories(Conversion* conversion, std::uint32_t appInfoOffset, CategoryTable* table);

// What every application's converter reads before the records: the header
// fields and the category table.
struct HandheldDatabase {
  HandheldHeader header;
  CategoryTable categories;
};

int ReadHandheldDatabase(Conversion* conversion, HandheldDatabase* database);

// The record's category is "Unfiled" when it is category 0 or its name is
// missing; such a record carries no category in vCard and iCalendar.
bool IsUnfiled(const CategoryTable& table, unsigned category);

// The name shown for a category: its stored name, or "Unfiled" when that
// is missing.
const unsigned char* CategoryName(const CategoryTable& table, unsigned category, std::size_t* size);

// The lines vCard and iCalendar share for a record's attributes:
// CATEGORIES with its category unless it is Unfiled, and CLASS:PRIVATE for a
// private record.
int WriteCategoryAndClass(Conversion* conversion, const CategoryTable& table,
                          const HandheldRecord& record);

}  // namespace ormidal
