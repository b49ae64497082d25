#include "pack/packer.hpp"

#include <cstddef>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>

#include "database/byte_order.hpp"
#include "database/layout.hpp"
#include "database/result.hpp"
#include "pack/device_filter.hpp"
#include "pack/lz77_encoder.hpp"

namespace ormidal {
namespace {

// The text streams through blocks of this size, taken from the heap since
// a host's thread may have a small stack; nothing grows with the text.
// Blocks this large keep the system calls few (a 100 MB text is 400 reads)
// and still sit in the processor's cache between the read and the filter.
constexpr std::size_t kBufferSize = 256 * 1024;
constexpr std::uint32_t kTextRecordSize = DocumentHeaderRecord::kTextRecordSize;
constexpr std::uint32_t kMostTextRecords = static_cast<std::uint32_t>(kMaxRecords - 1);
constexpr std::uint16_t kDatabaseVersion = 3;
constexpr std::size_t kStoredNameLength = DatabaseHeader::kNameSize - 1;
// Seconds from 1 January 1904 to 1 January 1970.
constexpr std::int64_t kSecondsFrom1904To1970 = 2082844800;
static_assert(kLz77RecordText == kTextRecordSize);
// Even text that no copy shortens keeps every offset within 32 bits.
static_assert(std::uint64_t{kMaxRecords} * (Lz77CodeBound(kTextRecordSize) + 8) < 0xFFFFFFFFu);

// Everything one packing needs beyond the stack, taken at once.
struct Workspace {
  unsigned char input[kBufferSize];
  unsigned char output[kBufferSize];
  unsigned char record[kTextRecordSize];  // the compressed text record being filled
  unsigned char code[Lz77CodeBound(kTextRecordSize)];
  std::uint32_t recordOffsets[kMaxRecords];  // of the compressed text records
  Lz77Encoder encoder;
};

std::unique_ptr<Workspace> NewWorkspace() {
  return std::unique_ptr<Workspace>(new (std::nothrow) Workspace());
}

// The source path is the two parts joined without a separator. A path too
// long for the platform is refused: cut short it would name another file.
bool JoinSourcePath(const char* folder, const char* name, char (&path)[platform::kPathBufferSize]) {
  std::size_t folderLength = std::strlen(folder);
  std::size_t nameLength = std::strlen(name);
  if (folderLength > platform::kLongPathLimit ||
      nameLength > platform::kLongPathLimit - folderLength) {
    return false;
  }
  std::memcpy(path, folder, folderLength);
  std::memcpy(path + folderLength, name, nameLength + 1);
  return true;
}

// The text is written first, behind room for the most record entries the
// source's size allows; the header, the list and record 0 are written last,
// once the text's length is known. Record 0 reaches up to the text, so no
// gap lies between the list and the records: when the filter dropped
// enough bytes to need fewer records than were set aside, record 0 ends in
// zero bytes that readers pass over.
struct Layout {
  std::uint32_t reservedRecords;  // text records the list has room for
  std::uint32_t textStart;
};

Layout LayoutFor(std::uint64_t sourceSize) {
  std::uint64_t records = sourceSize / kTextRecordSize + 1;
  Layout layout;
  layout.reservedRecords =
      records < kMostTextRecords ? static_cast<std::uint32_t>(records) : kMostTextRecords;
  layout.textStart = static_cast<std::uint32_t>(DatabaseHeader::kSize +
                                                RecordEntry::kSize * (layout.reservedRecords + 1u) +
                                                DocumentHeaderRecord::kSize);
  return layout;
}

// What the text turned out to be.
struct TextSummary {
  std::uint32_t textLength;
  std::uint32_t textRecords;
  bool compressed;
};

// Every byte of the target goes out through WriteToTarget, in order from
// where the file position was last set.
struct Target {
  platform::File file;
  unsigned char* buffer;  // small pieces wait here to go out in large blocks
  std::size_t used;
  bool failed;
  WriteProgress* progress;
  bool reportsProgress;
  bool aborted;  // the progress callback asked to stop
};

// Only bytes written for the first time are reported: the directory that
// later overwrites the room set aside for it adds nothing to the file.
bool WriteToTarget(Target* target, const unsigned char* bytes, std::size_t size) {
  if (target->failed || size == 0) return !target->failed;
  target->failed = !platform::WriteAll(target->file, bytes, size);
  if (!target->failed && target->reportsProgress && !ReportWritten(target->progress, size)) {
    target->aborted = true;
    target->failed = true;
  }
  return !target->failed;
}

void Flush(Target* target) {
  WriteToTarget(target, target->buffer, target->used);
  target->used = 0;
}

void Append(Target* target, const unsigned char* bytes, std::size_t size) {
  while (size > 0 && !target->failed) {
    if (target->used == kBufferSize) Flush(target);
    std::size_t room = kBufferSize - target->used;
    std::size_t piece = size < room ? size : room;
    std::memcpy(target->buffer + target->used, bytes, piece);
    target->used += piece;
    bytes += piece;
    size -= piece;
  }
}

void AppendZeros(Target* target, std::size_t count) {
  static const unsigned char kZeros[256] = {};
  while (count > 0 && !target->failed) {
    std::size_t piece = count < sizeof kZeros ? count : sizeof kZeros;
    Append(target, kZeros, piece);
    count -= piece;
  }
}

void AppendHeader(Target* target, const char* name, std::uint32_t recordCount,
                  std::uint32_t packedAt) {
  unsigned char header[DatabaseHeader::kSize] = {};
  std::size_t nameLength = 0;
  while (nameLength < kStoredNameLength && name[nameLength] != '\0') ++nameLength;
  std::memcpy(header + DatabaseHeader::kNameOffset, name, nameLength);
  WriteBigEndian16(header + DatabaseHeader::kVersionOffset, kDatabaseVersion);
  WriteBigEndian32(header + DatabaseHeader::kCreationTimeOffset, packedAt);
  WriteBigEndian32(header + DatabaseHeader::kModificationTimeOffset, packedAt);
  std::memcpy(header + DatabaseHeader::kTypeOffset, "TEXt", kCodeSize);
  std::memcpy(header + DatabaseHeader::kCreatorOffset, "REAd", kCodeSize);
  WriteBigEndian16(header + DatabaseHeader::kRecordCountOffset,
                   static_cast<std::uint16_t>(recordCount));
  Append(target, header, sizeof header);
}

void AppendRecordEntry(Target* target, std::uint32_t offset, std::uint32_t textRecord) {
  unsigned char entry[RecordEntry::kSize] = {};
  WriteBigEndian32(entry + RecordEntry::kOffsetOffset, offset);
  entry[RecordEntry::kUniqueIdOffset + 1] = static_cast<unsigned char>(textRecord % 256);
  entry[RecordEntry::kUniqueIdOffset + 2] = static_cast<unsigned char>(textRecord / 256 % 256);
  Append(target, entry, sizeof entry);
}

// Uncompressed text records follow one another every 4096 bytes; the
// compressed ones where the workspace noted them.
std::uint32_t TextRecordOffset(const Layout& layout, const TextSummary& text, const Workspace& work,
                               std::uint32_t index) {
  return text.compressed ? work.recordOffsets[index] : layout.textStart + kTextRecordSize * index;
}

void AppendDocumentHeader(Target* target, const TextSummary& text) {
  unsigned char record[DocumentHeaderRecord::kSize] = {};
  WriteBigEndian16(
      record + DocumentHeaderRecord::kCompressionOffset,
      text.compressed ? DocumentHeaderRecord::kCompressed : DocumentHeaderRecord::kUncompressed);
  WriteBigEndian32(record + DocumentHeaderRecord::kTextLengthOffset, text.textLength);
  WriteBigEndian16(record + DocumentHeaderRecord::kTextRecordCountOffset,
                   static_cast<std::uint16_t>(text.textRecords));
  WriteBigEndian16(record + DocumentHeaderRecord::kRecordSizeOffset, kTextRecordSize);
  Append(target, record, sizeof record);
}

// The header, the record list and record 0, from the start of the file up
// to the text.
int WriteDirectory(Target* target, const char* name, const Layout& layout, const TextSummary& text,
                   const Workspace& work) {
  if (!platform::SeekTo(target->file, 0)) return kResultWriteError;
  std::uint32_t listEnd = static_cast<std::uint32_t>(DatabaseHeader::kSize +
                                                     RecordEntry::kSize * (text.textRecords + 1u));
  AppendHeader(target, name, text.textRecords + 1u, HandheldTime(std::time(nullptr)));
  AppendRecordEntry(target, listEnd, 0);
  for (std::uint32_t i = 0; i < text.textRecords; ++i) {
    AppendRecordEntry(target, TextRecordOffset(layout, text, work, i), i);
  }
  AppendDocumentHeader(target, text);
  AppendZeros(target, layout.textStart - listEnd - DocumentHeaderRecord::kSize);
  Flush(target);
  return target->failed ? kResultWriteError : kResultOk;
}

// Room for the directory, so that the text can go straight to its place.
int ReserveDirectory(Target* target, const Layout& layout) {
  AppendZeros(target, layout.textStart);
  Flush(target);
  return target->failed ? kResultWriteError : kResultOk;
}

// The longest text the reserved list can describe.
std::uint64_t MostTextFor(const Layout& layout) {
  return std::uint64_t{layout.reservedRecords} * kTextRecordSize - 1;
}

// A text that outgrew the reserved list either grew past the format's
// limit or came from a source that grew since its size was taken.
int TooMuchText(std::uint64_t textLength) {
  return textLength >= kPackedTextLimit ? kResultTooManyFiles : kResultReadError;
}

// Reads the next block of the source and filters it in place; *kept is 0 at
// the end of the source.
bool ReadFilteredBlock(platform::File source, unsigned char* block, std::size_t* kept) {
  for (;;) {
    std::int64_t got = platform::Read(source, block, kBufferSize);
    if (got < 0) return false;
    if (got == 0) {
      *kept = 0;
      return true;
    }
    *kept = StripForDevice(block, static_cast<std::size_t>(got), block);
    if (*kept > 0) return true;
  }
}

// The text records are contiguous: the kept bytes go out as they come.
int WritePlainText(platform::File source, Target* target, const Layout& layout, Workspace* work,
                   std::uint64_t* textLength) {
  std::uint64_t written = 0;
  for (;;) {
    std::size_t kept = 0;
    if (!ReadFilteredBlock(source, work->input, &kept)) return kResultReadError;
    if (kept == 0) break;
    written += kept;
    if (written > MostTextFor(layout)) return TooMuchText(written);
    if (!WriteToTarget(target, work->input, kept)) return kResultWriteError;
  }
  *textLength = written;
  return kResultOk;
}

// Codes one full or final text record behind the ones before it.
void AppendCompressedRecord(Target* target, Workspace* work, std::size_t size, std::uint32_t index,
                            std::uint64_t* position) {
  std::size_t codeLength = 0;
  // A record never holds more than the encoder takes, so this cannot fail.
  EncodeLz77Record(&work->encoder, work->record, size, work->code, &codeLength);
  work->recordOffsets[index] = static_cast<std::uint32_t>(*position);
  Append(target, work->code, codeLength);
  *position += codeLength;
}

// Each record of 4096 text bytes is coded on its own; the last one holds
// the remainder, and is empty when the text fills its records exactly.
int WriteCompressedText(platform::File source, Target* target, const Layout& layout,
                        Workspace* work, std::uint64_t* textLength) {
  std::uint64_t written = 0;
  std::uint64_t position = layout.textStart;
  std::size_t filled = 0;
  std::uint32_t records = 0;
  for (;;) {
    std::size_t kept = 0;
    if (!ReadFilteredBlock(source, work->input, &kept)) return kResultReadError;
    if (kept == 0) break;
    written += kept;
    if (written > MostTextFor(layout)) return TooMuchText(written);
    for (std::size_t at = 0; at < kept;) {
      std::size_t piece =
          kTextRecordSize - filled < kept - at ? kTextRecordSize - filled : kept - at;
      std::memcpy(work->record + filled, work->input + at, piece);
      filled += piece;
      at += piece;
      if (filled == kTextRecordSize) {
        AppendCompressedRecord(target, work, filled, records++, &position);
        filled = 0;
      }
    }
    if (target->failed) return kResultWriteError;
  }
  AppendCompressedRecord(target, work, filled, records, &position);
  Flush(target);
  if (target->failed) return kResultWriteError;
  *textLength = written;
  return kResultOk;
}

int WriteDatabase(platform::File source, platform::File file, const char* name,
                  std::uint64_t sourceSize, const PackOptions& options, Workspace* work) {
  Layout layout = LayoutFor(sourceSize);
  Target target{file, work->output, 0, false, options.progress, true, false};
  int result = ReserveDirectory(&target, layout);
  std::uint64_t textLength = 0;
  if (result == kResultOk) {
    result = options.compress ? WriteCompressedText(source, &target, layout, work, &textLength)
                              : WritePlainText(source, &target, layout, work, &textLength);
  }
  if (target.aborted) return kResultAborted;
  if (result != kResultOk) return result;
  target.reportsProgress = false;
  TextSummary text{static_cast<std::uint32_t>(textLength),
                   static_cast<std::uint32_t>(textLength / kTextRecordSize + 1), options.compress};
  return WriteDirectory(&target, name, layout, text, *work);
}

int WritePacked(const char* packedFile, const char* name, platform::File source,
                std::uint64_t sourceSize, const PackOptions& options, Workspace* work) {
  platform::File target;
  switch (platform::CreateForWriting(packedFile, /*exclusive=*/true, &target)) {
    case platform::CreateResult::kCreated:
      break;
    case platform::CreateResult::kExists:
      return kResultTargetExists;
    case platform::CreateResult::kFailed:
      return kResultCannotCreate;
  }
  int result = WriteDatabase(source, target, name, sourceSize, options, work);
  platform::Close(&target);
  if (result != kResultOk) platform::RemoveRegularFile(packedFile);
  return result;
}

}  // namespace

std::uint32_t HandheldTime(std::int64_t unixTime) {
  // The handheld's unsigned count runs out in 2040 and starts again from 0.
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(unixTime + kSecondsFrom1904To1970));
}

// A second name follows when the first one's terminator is not the end.
bool NamesSeveralFiles(const char* addList) {
  if (addList == nullptr || addList[0] == '\0') return false;
  return addList[std::strlen(addList) + 1] != '\0';
}

int WritePackedDatabase(const char* packedFile, const char* name, platform::File source,
                        std::uint64_t sourceSize, const PackOptions& options) {
  std::unique_ptr<Workspace> work = NewWorkspace();
  if (!work) return kResultNoMemory;
  return WritePacked(packedFile, name, source, sourceSize, options, work.get());
}

int PackTextFile(const char* packedFile, const char* sourcePath, const char* addList,
                 const char* storedName, const PackOptions& options) {
  if (packedFile == nullptr) return kResultCannotCreate;
  if (NamesSeveralFiles(addList)) return kResultTooManyFiles;
  if (platform::PathExists(packedFile)) return kResultTargetExists;
  if (sourcePath == nullptr) return kResultCannotOpen;
  const char* name = addList != nullptr ? addList : "";
  char path[platform::kPathBufferSize];
  if (!JoinSourcePath(sourcePath, name, path)) return kResultCannotOpen;
  std::unique_ptr<Workspace> work = NewWorkspace();
  if (!work) return kResultNoMemory;
  platform::File source = platform::OpenForReading(path);
  if (!source.IsOpen()) return kResultCannotOpen;
  std::uint64_t sourceSize = 0;
  int result = kResultReadError;
  if (platform::SizeOf(source, &sourceSize)) {
    result = WritePacked(packedFile, storedName != nullptr ? storedName : name, source, sourceSize,
                         options, work.get());
  }
  platform::Close(&source);
  return result;
}

}  // namespace ormidal
