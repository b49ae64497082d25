// Builds database files of any shape: any header, record list and record
// bytes, broken ones included. The sample generator writes the bundled
// sample databases with it; the tests and the fuzz seeds make their
// fixtures with it (tests/support/database_builder.hpp).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ormidal::samples {

using Bytes = std::vector<unsigned char>;

Bytes ToBytes(const std::string& text);

class DatabaseBuilder {
 public:
  DatabaseBuilder& Name(const std::string& name);
  // Raw 32 name bytes, for names without a terminator.
  DatabaseBuilder& NameBytes(const Bytes& bytes);
  DatabaseBuilder& Type(const std::string& code);
  DatabaseBuilder& Creator(const std::string& code);
  DatabaseBuilder& Kind(const std::string& type, const std::string& creator);
  DatabaseBuilder& CreationTime(std::uint32_t seconds);
  DatabaseBuilder& ModificationTime(std::uint32_t seconds);
  // An application-info block, placed after the record list (and the gap);
  // the header points to it.
  DatabaseBuilder& AppInfo(const Bytes& block);
  // Stores this application-info offset in the header instead.
  DatabaseBuilder& StatedAppInfoOffset(std::uint32_t offset);
  DatabaseBuilder& AddRecord(const Bytes& bytes);
  DatabaseBuilder& AddRecord(const std::string& text);
  // A record with its entry's attribute byte and 24-bit unique ID.
  DatabaseBuilder& AddRecord(const Bytes& bytes, std::uint8_t attributes, std::uint32_t uniqueId);
  // Stores `count` in the header instead of the number of records added;
  // the record list still holds one entry per record added (or per stated
  // offset), so a larger count describes a list cut short.
  DatabaseBuilder& StatedRecordCount(std::uint16_t count);
  // Stores these offsets in the record list instead of the computed ones;
  // more offsets than records make extra entries.
  DatabaseBuilder& StatedOffsets(const std::vector<std::uint32_t>& offsets);
  // Bytes placed between the record list and the first record.
  DatabaseBuilder& Gap(const Bytes& bytes);
  // Cuts the finished file to `size` bytes.
  DatabaseBuilder& TruncateTo(std::size_t size);

  // The offset at which record `index` begins in the built file.
  std::uint32_t OffsetOf(std::size_t index) const;
  Bytes Build() const;
  // Writes the file and returns its path.
  std::string WriteTo(const std::string& path) const;

 private:
  std::size_t ListedEntries() const;

  Bytes name_ = Bytes(32, 0);
  std::string type_ = "TEXt";
  std::string creator_ = "REAd";
  std::uint32_t creationTime_ = 0;
  std::uint32_t modificationTime_ = 0;
  Bytes appInfo_;
  std::optional<std::uint32_t> statedAppInfoOffset_;
  struct EntryFields {
    std::uint8_t attributes;
    std::uint32_t uniqueId;
  };
  std::vector<Bytes> records_;
  std::vector<std::optional<EntryFields>> entryFields_;
  std::optional<std::uint16_t> statedCount_;
  std::optional<std::vector<std::uint32_t>> statedOffsets_;
  Bytes gap_;
  std::optional<std::size_t> truncateTo_;
};

// A document record 0: compression, text length, text record count.
Bytes DocumentHeader(std::uint16_t compression, std::uint32_t textLength, std::uint16_t textRecords,
                     std::uint16_t recordSize = 4096);

// Writes `bytes` to `path`, replacing what is there; throws std::runtime_error
// when the file cannot be written.
void WriteFileBytes(const std::string& path, const Bytes& bytes);

}  // namespace ormidal::samples
