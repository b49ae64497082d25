#include "database_builder.hpp"

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "database/byte_order.hpp"

namespace ormidal::samples {

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

DatabaseBuilder& DatabaseBuilder::Name(const std::string& name) {
  name_.assign(32, 0);
  for (std::size_t i = 0; i < name.size() && i < 32; ++i)
    name_[i] = static_cast<unsigned char>(name[i]);
  return *this;
}

DatabaseBuilder& DatabaseBuilder::NameBytes(const Bytes& bytes) {
  name_.assign(32, 0);
  for (std::size_t i = 0; i < bytes.size() && i < 32; ++i) name_[i] = bytes[i];
  return *this;
}

DatabaseBuilder& DatabaseBuilder::Type(const std::string& code) {
  type_ = code;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::Creator(const std::string& code) {
  creator_ = code;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::Kind(const std::string& type, const std::string& creator) {
  type_ = type;
  creator_ = creator;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::CreationTime(std::uint32_t seconds) {
  creationTime_ = seconds;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::ModificationTime(std::uint32_t seconds) {
  modificationTime_ = seconds;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::AppInfo(const Bytes& block) {
  appInfo_ = block;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::StatedAppInfoOffset(std::uint32_t offset) {
  statedAppInfoOffset_ = offset;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::AddRecord(const Bytes& bytes) {
  records_.push_back(bytes);
  entryFields_.push_back(std::nullopt);
  return *this;
}

DatabaseBuilder& DatabaseBuilder::AddRecord(const Bytes& bytes, std::uint8_t attributes,
                                            std::uint32_t uniqueId) {
  records_.push_back(bytes);
  entryFields_.push_back(EntryFields{attributes, uniqueId});
  return *this;
}

DatabaseBuilder& DatabaseBuilder::AddRecord(const std::string& text) {
  return AddRecord(ToBytes(text));
}

DatabaseBuilder& DatabaseBuilder::StatedRecordCount(std::uint16_t count) {
  statedCount_ = count;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::StatedOffsets(const std::vector<std::uint32_t>& offsets) {
  statedOffsets_ = offsets;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::Gap(const Bytes& bytes) {
  gap_ = bytes;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::TruncateTo(std::size_t size) {
  truncateTo_ = size;
  return *this;
}

std::size_t DatabaseBuilder::ListedEntries() const {
  return statedOffsets_ ? std::max(statedOffsets_->size(), records_.size()) : records_.size();
}

std::uint32_t DatabaseBuilder::OffsetOf(std::size_t index) const {
  std::size_t offset = 78 + 8 * ListedEntries() + gap_.size() + appInfo_.size();
  for (std::size_t i = 0; i < index && i < records_.size(); ++i) offset += records_[i].size();
  return static_cast<std::uint32_t>(offset);
}

Bytes DatabaseBuilder::Build() const {
  Bytes out(78, 0);
  std::copy(name_.begin(), name_.end(), out.begin());
  WriteBigEndian16(&out[34], 3);
  WriteBigEndian32(&out[36], creationTime_);
  WriteBigEndian32(&out[40], modificationTime_);
  std::uint32_t appInfoOffset = 0;
  if (!appInfo_.empty())
    appInfoOffset = static_cast<std::uint32_t>(78 + 8 * ListedEntries() + gap_.size());
  WriteBigEndian32(&out[52], statedAppInfoOffset_ ? *statedAppInfoOffset_ : appInfoOffset);
  for (std::size_t i = 0; i < 4; ++i) {
    out[60 + i] = i < type_.size() ? static_cast<unsigned char>(type_[i]) : 0;
    out[64 + i] = i < creator_.size() ? static_cast<unsigned char>(creator_[i]) : 0;
  }
  WriteBigEndian16(&out[76],
                   statedCount_ ? *statedCount_ : static_cast<std::uint16_t>(records_.size()));
  std::size_t listed = ListedEntries();
  for (std::size_t i = 0; i < listed; ++i) {
    unsigned char entry[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    std::uint32_t offset = 0;
    if (statedOffsets_ && i < statedOffsets_->size()) {
      offset = (*statedOffsets_)[i];
    } else {
      offset = OffsetOf(i);
    }
    WriteBigEndian32(entry, offset);
    if (i < entryFields_.size() && entryFields_[i]) {
      entry[4] = entryFields_[i]->attributes;
      entry[5] = static_cast<unsigned char>(entryFields_[i]->uniqueId >> 16);
      entry[6] = static_cast<unsigned char>(entryFields_[i]->uniqueId >> 8);
      entry[7] = static_cast<unsigned char>(entryFields_[i]->uniqueId);
    } else {
      entry[6] = static_cast<unsigned char>(i);
      entry[7] = static_cast<unsigned char>(i >> 8);
    }
    out.insert(out.end(), entry, entry + 8);
  }
  out.insert(out.end(), gap_.begin(), gap_.end());
  out.insert(out.end(), appInfo_.begin(), appInfo_.end());
  for (const Bytes& record : records_) out.insert(out.end(), record.begin(), record.end());
  if (truncateTo_ && *truncateTo_ < out.size()) out.resize(*truncateTo_);
  return out;
}

std::string DatabaseBuilder::WriteTo(const std::string& path) const {
  WriteFileBytes(path, Build());
  return path;
}

Bytes DocumentHeader(std::uint16_t compression, std::uint32_t textLength, std::uint16_t textRecords,
                     std::uint16_t recordSize) {
  Bytes out(16, 0);
  WriteBigEndian16(&out[0], compression);
  WriteBigEndian32(&out[4], textLength);
  WriteBigEndian16(&out[8], textRecords);
  WriteBigEndian16(&out[10], recordSize);
  return out;
}

void WriteFileBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace ormidal::samples
