#include "convert/converters.hpp"

#include <memory>
#include <new>

#include "convert/conversion.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

int ConvertByKind(Conversion* conversion) {
  switch (conversion->state->kind) {
    case Photo:
      return ConvertPhoto(conversion);
    case DatedNotes:
      return ConvertDatedNotes(conversion);
    case CompressedText:
      return ConvertCompressedText(conversion);
    case Memos:
      return ConvertMemos(conversion);
    case Contacts:
      return ConvertContacts(conversion);
    case Calendar:
      return ConvertCalendar(conversion);
    case Tasks:
      return ConvertTasks(conversion);
    default:
      // A database that matched no kind is read as a document.
      return ConvertDocumentText(conversion);
  }
}

}  // namespace

int ConvertDatabase(const ArchiveState& state, platform::File source, platform::File destination,
                    WriteProgress* progress) {
  std::unique_ptr<Conversion> conversion(new (std::nothrow) Conversion());
  if (!conversion) return kResultNoMemory;
  conversion->state = &state;
  conversion->source = source;
  conversion->destination = destination;
  conversion->progress = progress;
  int result = ConvertByKind(conversion.get());
  int flushed = Flush(conversion.get());
  if (result != kResultOk) return result;
  if (flushed != kResultOk) return flushed;
  return conversion->damaged ? kResultBadData : kResultOk;
}

}  // namespace ormidal
