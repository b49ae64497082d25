#include "convert/handheld/categories.hpp"

#include <cstring>

#include "convert/handheld/content_lines.hpp"
#include "database/layout.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

constexpr unsigned char kUnfiled[] = "Unfiled";
constexpr std::size_t kNamesOffset = 2;

// Where the block ends: at record 0 when that follows it, else at the end
// of the file (a block written after the records, or no records at all).
std::uint32_t AppInfoEnd(const ArchiveState& state, std::uint32_t start) {
  if (state.recordCount > 0 && state.recordOffsets[0] > start &&
      state.recordOffsets[0] <= state.fileSize) {
    return state.recordOffsets[0];
  }
  return state.fileSize;
}

}  // namespace

int ReadCategories(Conversion* conversion, std::uint32_t appInfoOffset, CategoryTable* table) {
  std::memset(table, 0, sizeof *table);
  if (appInfoOffset == 0) return kResultOk;
  const ArchiveState& state = *conversion->state;
  std::uint64_t listEnd =
      DatabaseHeader::kSize + std::uint64_t{state.recordCount} * RecordEntry::kSize;
  std::uint32_t end = AppInfoEnd(state, appInfoOffset);
  if (appInfoOffset < listEnd || appInfoOffset >= end || end - appInfoOffset < kCategoryTableSize) {
    conversion->damaged = true;
    return kResultOk;
  }
  unsigned char block[kCategoryTableSize];
  int result = ReadAt(conversion, appInfoOffset, block, sizeof block);
  if (result != kResultOk) return result;
  for (std::size_t i = 0; i < kCategoryCount; ++i) {
    // A name that fills all 16 bytes has no terminator.
    std::memcpy(table->names[i], block + kNamesOffset + i * kCategoryNameSize, kCategoryNameSize);
  }
  return kResultOk;
}

bool IsUnfiled(const CategoryTable& table, unsigned category) {
  return category == 0 || category >= kCategoryCount || table.names[category][0] == 0;
}

const unsigned char* CategoryName(const CategoryTable& table, unsigned category,
                                  std::size_t* size) {
  if (category >= kCategoryCount || table.names[category][0] == 0) {
    *size = sizeof kUnfiled - 1;
    return kUnfiled;
  }
  const unsigned char* name = table.names[category];
  *size = std::strlen(reinterpret_cast<const char*>(name));
  return name;
}

int WriteCategoryAndClass(Conversion* conversion, const CategoryTable& table,
                          const HandheldRecord& record) {
  int result = kResultOk;
  if (!IsUnfiled(table, record.Category())) {
    ContentLine line;
    std::size_t size = 0;
    const unsigned char* name = CategoryName(table, record.Category(), &size);
    result = AppendAscii(conversion, &line, "CATEGORIES:");
    if (result == kResultOk) result = AppendText(conversion, &line, name, size);
    if (result == kResultOk) result = EndLine(conversion, &line);
  }
  if (result == kResultOk && record.IsPrivate())
    result = WriteAsciiLine(conversion, "CLASS:PRIVATE");
  return result;
}

int ReadHandheldDatabase(Conversion* conversion, HandheldDatabase* database) {
  int result = ReadHandheldHeader(conversion, &database->header);
  if (result != kResultOk) return result;
  return ReadCategories(conversion, database->header.appInfoOffset, &database->categories);
}

}  // namespace ormidal
