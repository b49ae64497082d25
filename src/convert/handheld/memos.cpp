// Memo databases: each record is one memo, its text up to a zero byte.
// The memos become one text file, each under a line naming its category,
// in the handheld's own bytes as the document converters keep them.

#include <cstring>

#include "convert/conversion.hpp"
#include "convert/handheld/categories.hpp"
#include "convert/handheld/handheld_records.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

const unsigned char kRuleBefore[] = "---------- ";
const unsigned char kRuleAfter[] = " ----------\r\n";
const unsigned char kMemoEnd[] = "\r\n\r\n";

int WriteCategoryLine(Conversion* conversion, const CategoryTable& categories, unsigned category) {
  std::size_t size = 0;
  const unsigned char* name = CategoryName(categories, category, &size);
  int result = WriteRaw(conversion, kRuleBefore, sizeof kRuleBefore - 1);
  if (result == kResultOk) result = WriteFiltered(conversion, name, size);
  if (result == kResultOk) result = WriteRaw(conversion, kRuleAfter, sizeof kRuleAfter - 1);
  return result;
}

// The memo's bytes up to its first zero byte, or all of them.
int WriteMemoText(Conversion* conversion, ByteRange record) {
  std::uint64_t offset = record.start;
  std::size_t remaining = record.size;
  while (remaining > 0) {
    const unsigned char* data = nullptr;
    std::size_t got = 0;
    int result = ViewSource(conversion, offset, remaining, &data, &got);
    if (result != kResultOk) return result;
    const void* zero = std::memchr(data, 0, got);
    std::size_t size =
        zero ? static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - data) : got;
    result = WriteFiltered(conversion, data, size);
    if (result != kResultOk || zero != nullptr) return result;
    offset += got;
    remaining -= got;
  }
  return kResultOk;
}

}  // namespace

int ConvertMemos(Conversion* conversion) {
  HandheldDatabase database;
  int result = ReadHandheldDatabase(conversion, &database);
  if (result != kResultOk) return result;
  return ForEachLiveRecord(conversion, [&](const HandheldRecord& record) {
    int written = WriteCategoryLine(conversion, database.categories, record.Category());
    if (written == kResultOk) written = WriteMemoText(conversion, record.range);
    if (written == kResultOk) written = WriteRaw(conversion, kMemoEnd, sizeof kMemoEnd - 1);
    return written;
  });
}

}  // namespace ormidal
