#include "pack/packer.hpp"

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

#include "database/byte_order.hpp"
#include "database/layout.hpp"
#include "database/result.hpp"
#include "pack/device_filter.hpp"

namespace ormidal {
namespace {

// The text streams through one block of this size, taken from the heap
// since a host's thread may have a small stack; nothing grows with the
// text. Blocks this large keep the system calls few (a 100 MB text is 400
// reads a pass) and still sit in the processor's cache between the read
// and the filter.
constexpr std::size_t kBufferSize = 256 * 1024;

struct Block {
  unsigned char bytes[kBufferSize];
};

std::unique_ptr<Block> NewBlock() { return std::unique_ptr<Block>(new (std::nothrow) Block()); }
constexpr std::uint32_t kTextRecordSize = DocumentHeaderRecord::kTextRecordSize;
constexpr std::uint16_t kDatabaseVersion = 3;
constexpr std::size_t kStoredNameLength = DatabaseHeader::kNameSize - 1;

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

struct Layout {
  std::uint32_t textLength;
  std::uint16_t textRecords;
  std::uint32_t firstRecordOffset;  // record 0, directly after the record list
};

Layout LayoutFor(std::uint32_t textLength) {
  Layout layout;
  layout.textLength = textLength;
  layout.textRecords = static_cast<std::uint16_t>(textLength / kTextRecordSize + 1);
  layout.firstRecordOffset = static_cast<std::uint32_t>(
      DatabaseHeader::kSize + RecordEntry::kSize * (layout.textRecords + 1u));
  return layout;
}

// Collects small pieces of the file in the caller's buffer and writes them
// out in large blocks; after the first failed write everything is dropped.
struct TargetWriter {
  platform::File file;
  unsigned char* buffer;
  std::size_t used;
  bool failed;
  WriteProgress* progress;
  bool aborted;
};

void Flush(TargetWriter* writer) {
  if (!writer->failed && writer->used > 0) {
    writer->failed = !platform::WriteAll(writer->file, writer->buffer, writer->used);
    writer->aborted = !writer->failed && !ReportWritten(writer->progress, writer->used);
    writer->failed = writer->failed || writer->aborted;
  }
  writer->used = 0;
}

void Append(TargetWriter* writer, const unsigned char* bytes, std::size_t size) {
  while (size > 0 && !writer->failed) {
    if (writer->used == kBufferSize) Flush(writer);
    std::size_t room = kBufferSize - writer->used;
    std::size_t piece = size < room ? size : room;
    std::memcpy(writer->buffer + writer->used, bytes, piece);
    writer->used += piece;
    bytes += piece;
    size -= piece;
  }
}

void AppendHeader(TargetWriter* writer, const char* name, const Layout& layout) {
  unsigned char header[DatabaseHeader::kSize] = {};
  std::size_t nameLength = 0;
  while (nameLength < kStoredNameLength && name[nameLength] != '\0') ++nameLength;
  std::memcpy(header + DatabaseHeader::kNameOffset, name, nameLength);
  WriteBigEndian16(header + DatabaseHeader::kVersionOffset, kDatabaseVersion);
  std::memcpy(header + DatabaseHeader::kTypeOffset, "TEXt", kCodeSize);
  std::memcpy(header + DatabaseHeader::kCreatorOffset, "REAd", kCodeSize);
  WriteBigEndian16(header + DatabaseHeader::kRecordCountOffset,
                   static_cast<std::uint16_t>(layout.textRecords + 1u));
  Append(writer, header, sizeof header);
}

void AppendRecordEntry(TargetWriter* writer, std::uint32_t offset, std::uint32_t textRecord) {
  unsigned char entry[RecordEntry::kSize] = {};
  WriteBigEndian32(entry + RecordEntry::kOffsetOffset, offset);
  entry[RecordEntry::kUniqueIdOffset + 1] = static_cast<unsigned char>(textRecord % 256);
  entry[RecordEntry::kUniqueIdOffset + 2] = static_cast<unsigned char>(textRecord / 256 % 256);
  Append(writer, entry, sizeof entry);
}

void AppendRecordList(TargetWriter* writer, const Layout& layout) {
  AppendRecordEntry(writer, layout.firstRecordOffset, 0);
  std::uint32_t textOffset = layout.firstRecordOffset + DocumentHeaderRecord::kSize;
  for (std::uint32_t i = 0; i < layout.textRecords; ++i) {
    AppendRecordEntry(writer, textOffset + kTextRecordSize * i, i);
  }
}

void AppendDocumentHeader(TargetWriter* writer, const Layout& layout) {
  unsigned char record[DocumentHeaderRecord::kSize] = {};
  WriteBigEndian16(record + DocumentHeaderRecord::kCompressionOffset,
                   DocumentHeaderRecord::kUncompressed);
  WriteBigEndian32(record + DocumentHeaderRecord::kTextLengthOffset, layout.textLength);
  WriteBigEndian16(record + DocumentHeaderRecord::kTextRecordCountOffset, layout.textRecords);
  WriteBigEndian16(record + DocumentHeaderRecord::kRecordSizeOffset, kTextRecordSize);
  Append(writer, record, sizeof record);
}

// Filters the source into the target block by block. The text records are
// contiguous, so the kept bytes are written exactly as they come.
int CopyFilteredText(platform::File source, platform::File target, unsigned char* buffer,
                     std::uint32_t textLength, WriteProgress* progress) {
  if (!platform::SeekTo(source, 0)) return kResultReadError;
  std::uint64_t written = 0;
  for (;;) {
    std::int64_t got = platform::Read(source, buffer, kBufferSize);
    if (got < 0) return kResultReadError;
    if (got == 0) break;
    std::size_t kept = StripForDevice(buffer, static_cast<std::size_t>(got), buffer);
    written += kept;
    // A source that grew since it was counted would overrun the stated length.
    if (written > textLength) return kResultReadError;
    if (!platform::WriteAll(target, buffer, kept)) return kResultWriteError;
    if (!ReportWritten(progress, kept)) return kResultAborted;
  }
  return written == textLength ? kResultOk : kResultReadError;
}

int WriteDatabase(platform::File source, platform::File target, const char* name,
                  std::uint32_t textLength, unsigned char* buffer, WriteProgress* progress) {
  Layout layout = LayoutFor(textLength);
  TargetWriter writer{target, buffer, 0, false, progress, false};
  AppendHeader(&writer, name, layout);
  AppendRecordList(&writer, layout);
  AppendDocumentHeader(&writer, layout);
  Flush(&writer);
  if (writer.failed) return writer.aborted ? kResultAborted : kResultWriteError;
  return CopyFilteredText(source, target, buffer, textLength, progress);
}

bool CountKept(platform::File source, unsigned char* buffer, std::uint64_t* kept) {
  std::uint64_t total = 0;
  for (;;) {
    std::int64_t got = platform::Read(source, buffer, kBufferSize);
    if (got < 0) return false;
    if (got == 0) break;
    total += CountKeptForDevice(buffer, static_cast<std::size_t>(got));
  }
  *kept = total;
  return true;
}

int WritePacked(const char* packedFile, const char* name, platform::File source,
                std::uint32_t textLength, unsigned char* buffer,
                WriteProgress* progress = nullptr) {
  if (textLength >= kPackedTextLimit) return kResultTooManyFiles;
  platform::File target;
  switch (platform::CreateForWriting(packedFile, /*exclusive=*/true, &target)) {
    case platform::CreateResult::kCreated:
      break;
    case platform::CreateResult::kExists:
      return kResultTargetExists;
    case platform::CreateResult::kFailed:
      return kResultCannotCreate;
  }
  int result = WriteDatabase(source, target, name, textLength, buffer, progress);
  platform::Close(&target);
  if (result != kResultOk) platform::RemoveRegularFile(packedFile);
  return result;
}

}  // namespace

// A second name follows when the first one's terminator is not the end.
bool NamesSeveralFiles(const char* addList) {
  if (addList == nullptr || addList[0] == '\0') return false;
  return addList[std::strlen(addList) + 1] != '\0';
}

bool CountKeptBytes(platform::File source, std::uint64_t* kept) {
  std::unique_ptr<Block> block = NewBlock();
  return block && CountKept(source, block->bytes, kept);
}

int WritePackedDatabase(const char* packedFile, const char* name, platform::File source,
                        std::uint32_t textLength) {
  std::unique_ptr<Block> block = NewBlock();
  if (!block) return kResultNoMemory;
  return WritePacked(packedFile, name, source, textLength, block->bytes);
}

int PackTextFile(const char* packedFile, const char* sourcePath, const char* addList,
                 const char* storedName, WriteProgress* progress) {
  if (packedFile == nullptr) return kResultCannotCreate;
  if (NamesSeveralFiles(addList)) return kResultTooManyFiles;
  if (platform::PathExists(packedFile)) return kResultTargetExists;
  if (sourcePath == nullptr) return kResultCannotOpen;
  const char* name = addList != nullptr ? addList : "";
  char path[platform::kPathBufferSize];
  if (!JoinSourcePath(sourcePath, name, path)) return kResultCannotOpen;
  std::unique_ptr<Block> block = NewBlock();
  if (!block) return kResultNoMemory;
  platform::File source = platform::OpenForReading(path);
  if (!source.IsOpen()) return kResultCannotOpen;
  std::uint64_t kept = 0;
  int result = kResultReadError;
  if (CountKept(source, block->bytes, &kept)) {
    result = kept >= kPackedTextLimit
                 ? kResultTooManyFiles
                 : WritePacked(packedFile, storedName != nullptr ? storedName : name, source,
                               static_cast<std::uint32_t>(kept), block->bytes, progress);
  }
  platform::Close(&source);
  return result;
}

}  // namespace ormidal
