#include "convert/converters.hpp"

#include <memory>
#include <new>

#include "convert/books/book_converters.hpp"
#include "convert/conversion.hpp"
#include "convert/pictures/pictures.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

// What a database of no known kind is rendered as when asked for a whole.
constexpr ConvertedEntry kWholeDatabase = {ConvertedNaming::kDatabase, 0, 0, 0, ".txt"};

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
    case LaterContacts:
      return ConvertLaterContacts(conversion);
    case LaterCalendar:
      return ConvertLaterCalendar(conversion);
    case LaterTasks:
      return ConvertLaterTasks(conversion);
    case ImageViewer:
      return ConvertImageViewer(conversion);
    case Application:
      return ConvertApplicationEntry(conversion);
    case Book:
      return ConvertBook(conversion);
    default:
      // A database that matched no kind is read as a document.
      return ConvertDocumentText(conversion);
  }
}

// Kinds whose converters list more than the database as a whole plan their
// entries here, reading the file through `conversion` (no destination).
void PlanByKind(Conversion* conversion, ArchiveState* state) {
  switch (state->kind) {
    case Photo:
      return PlanPhoto(conversion, state);
    case Application:
      return PlanApplication(conversion, state);
    case Book:
      PlanBook(conversion, state);
      return;
    default:
      return;
  }
}

std::unique_ptr<Conversion> NewConversion(const ArchiveState& state, platform::File source,
                                          platform::File destination, const ConvertedEntry& entry,
                                          WriteProgress* progress) {
  std::unique_ptr<Conversion> conversion(new (std::nothrow) Conversion());
  if (!conversion) return conversion;
  conversion->state = &state;
  conversion->entry = &entry;
  conversion->source = source;
  conversion->destination = destination;
  conversion->progress = progress;
  return conversion;
}

int Convert(const ArchiveState& state, const ConvertedEntry& entry, platform::File source,
            platform::File destination, WriteProgress* progress) {
  std::unique_ptr<Conversion> conversion =
      NewConversion(state, source, destination, entry, progress);
  if (!conversion) return kResultNoMemory;
  int result = ConvertByKind(conversion.get());
  int flushed = Flush(conversion.get());
  if (result != kResultOk) return result;
  if (flushed != kResultOk) return flushed;
  return conversion->damaged ? kResultBadData : kResultOk;
}

}  // namespace

void PlanConvertedEntries(ArchiveState* state) {
  if (state->convertedEntriesPlanned) return;
  state->convertedEntriesPlanned = true;
  std::int32_t firstPosition = -static_cast<std::int32_t>(state->convertedCount) - 1;
  if (state->convertedCount == 0 || state->archivePath[0] == '\0') return;
  platform::File source = platform::OpenForReading(state->archivePath);
  if (!source.IsOpen()) return;
  std::unique_ptr<Conversion> conversion =
      NewConversion(*state, source, platform::File(), state->convertedEntries[0], nullptr);
  if (conversion) PlanByKind(conversion.get(), state);
  platform::Close(&source);
  if (!state->entryListed && state->listPosition == firstPosition) {
    state->listPosition = -static_cast<std::int32_t>(state->convertedCount) - 1;
  }
}

int ConvertEntry(const ArchiveState& state, std::uint32_t index, platform::File source,
                 platform::File destination, WriteProgress* progress) {
  if (index >= state.convertedCount) return kResultBadData;
  return Convert(state, state.convertedEntries[index], source, destination, progress);
}

int ConvertDatabase(const ArchiveState& state, platform::File source, platform::File destination,
                    WriteProgress* progress) {
  if (state.convertedCount == 0) {
    return Convert(state, kWholeDatabase, source, destination, progress);
  }
  return ConvertEntry(state, 0, source, destination, progress);
}

}  // namespace ormidal
