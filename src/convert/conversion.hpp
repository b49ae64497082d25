// What every converter works with: the database open for reading, a
// buffered destination, fixed buffers, and the damage seen so far. Memory
// stays the same whatever the size of the database.
#pragma once

#include <cstddef>
#include <cstdint>

#include "database/archive_state.hpp"
#include "database/extent.hpp"
#include "database/progress.hpp"
#include "platform/platform.hpp"

namespace ormidal {

// Reads of 256 KiB keep the system calls few: each has a fixed cost, high on
// a virtual machine.
inline constexpr std::size_t kReadChunk = 256 * 1024;
// Input gathered for the LZ77 decoder: a record's codes, in pieces.
inline constexpr std::size_t kCodeBufferSize = 64 * 1024;
inline constexpr std::size_t kWriteBufferSize = 256 * 1024;
// Room for decoded text: the history a copy may reach into, then new output.
inline constexpr std::size_t kDecodeHistory = 2048;
inline constexpr std::size_t kDecodeBufferSize = kDecodeHistory + 128 * 1024;

struct Conversion {
  const ArchiveState* state;
  const ConvertedEntry* entry;  // which of the database's converted entries is written
  platform::File source;
  platform::File destination;
  WriteProgress* progress;  // null when nobody listens
  bool damaged;             // some input was damaged or cut short: the result is bad data
  std::size_t written;
  // The source is read in large chunks whatever the records' sizes: most
  // records follow one another, so one read serves many of them.
  std::uint64_t readStart;  // file offset of readBuffer[0]
  std::size_t readLength;
  std::uint64_t sourcePosition;
  bool sourcePositionKnown;
  unsigned char readBuffer[kReadChunk];
  unsigned char codeBuffer[kCodeBufferSize];
  unsigned char writeBuffer[kWriteBufferSize];
  unsigned char decodeBuffer[kDecodeBufferSize];
};

// Appends bytes to the destination as they are. Returns kResultOk or
// kResultWriteError.
int WriteRaw(Conversion* conversion, const unsigned char* bytes, std::size_t size);
// Appends bytes to the destination through the desktop text filter.
int WriteFiltered(Conversion* conversion, const unsigned char* bytes, std::size_t size);
// Writes out whatever is buffered; kResultAborted when the listener stops it.
int Flush(Conversion* conversion);

// Points *data at up to `want` bytes of the source from `offset` (at least
// one when want > 0), reading a new chunk when they are not at hand; *got
// receives their number. The offset must lie within the file size the
// archive state gives; a file that ends sooner (it changed since it was
// opened) is a read error.
int ViewSource(Conversion* conversion, std::uint64_t offset, std::size_t want,
               const unsigned char** data, std::size_t* got);
// Copies exactly `size` bytes of the source from `offset`.
int ReadAt(Conversion* conversion, std::uint64_t offset, unsigned char* buffer, std::size_t size);
// The same, but read past the chunk when it does not hold them, so the
// chunk still serves the records: for the record list, which lies apart
// from the records and is read in batches between them.
int ReadBeside(Conversion* conversion, std::uint64_t offset, unsigned char* buffer,
               std::size_t size);

enum class Filtering { kRaw, kText };

// Copies a range of the database to the destination in chunks. A range
// that had to be clipped marks the conversion damaged; its existing bytes
// are still copied.
int CopyRange(Conversion* conversion, ByteRange range, Filtering filtering);

// The converters, one per kind.
int ConvertDocumentText(Conversion* conversion);
int ConvertCompressedText(Conversion* conversion);
int ConvertPhoto(Conversion* conversion);
int ConvertDatedNotes(Conversion* conversion);
int ConvertMemos(Conversion* conversion);
int ConvertContacts(Conversion* conversion);
int ConvertCalendar(Conversion* conversion);
int ConvertTasks(Conversion* conversion);
int ConvertLaterContacts(Conversion* conversion);
int ConvertLaterCalendar(Conversion* conversion);
int ConvertLaterTasks(Conversion* conversion);

// From record 1 to the end of the file, or the whole file when the database
// has fewer than two records: the text of a document or a compressed text
// database, as far as the record list tells.
ByteRange TextRange(const ArchiveState& state);

}  // namespace ormidal
