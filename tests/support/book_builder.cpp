#include "support/book_builder.hpp"

#include <array>

#include "support/lz77_encoder.hpp"

namespace ormidal::testing {
namespace {

void Put16(Bytes* bytes, std::size_t at, std::uint32_t value) {
  (*bytes)[at] = static_cast<unsigned char>(value >> 8);
  (*bytes)[at + 1] = static_cast<unsigned char>(value);
}

void Put32(Bytes* bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = static_cast<unsigned char>(value >> (24 - 8 * i));
}

void Append32(Bytes* bytes, std::uint32_t value) {
  bytes->resize(bytes->size() + 4);
  Put32(bytes, bytes->size() - 4, value);
}

Bytes Exth(const BookShape& shape) {
  Bytes exth = ToBytes("EXTH");
  Append32(&exth, 0);
  Append32(&exth, static_cast<std::uint32_t>(shape.metadata.size()));
  for (const auto& [type, value] : shape.metadata) {
    Append32(&exth, type);
    Append32(&exth, static_cast<std::uint32_t>(value.size() + 8));
    exth.insert(exth.end(), value.begin(), value.end());
  }
  Put32(&exth, 4, static_cast<std::uint32_t>(exth.size()));
  while (exth.size() % 4 != 0) exth.push_back(0);
  return exth;
}

struct Kf8Records {
  std::uint32_t fdst = 0xFFFFFFFFu;
  std::uint32_t skeletons = 0xFFFFFFFFu;
  std::uint32_t fragments = 0xFFFFFFFFu;
};

Bytes RecordZero(const BookShape& shape, std::uint32_t huffRecord, std::uint32_t firstPicture,
                 const Kf8Records& kf8 = {}) {
  const bool isKf8 = !shape.parts.empty();
  const std::uint32_t kHeaderLength = isKf8 ? 264 : 232;
  Bytes record(16 + kHeaderLength, 0);
  std::uint32_t compression = shape.coding == BookCoding::kNone   ? 1
                              : shape.coding == BookCoding::kLz77 ? 2
                                                                  : 17480;
  std::uint32_t length = 0;
  for (const std::string& text : shape.records) length += static_cast<std::uint32_t>(text.size());
  Put16(&record, 0, compression);
  Put32(&record, 4, length);
  Put16(&record, 8, static_cast<std::uint32_t>(shape.records.size()));
  Put16(&record, 10, 4096);
  Put16(&record, 12, shape.encryption);
  record[16] = 'M', record[17] = 'O', record[18] = 'B', record[19] = 'I';
  Put32(&record, 20, kHeaderLength);
  Put32(&record, 24, 2);
  Put32(&record, 28, shape.encoding);
  Put32(&record, 36, isKf8 ? 8 : 6);
  for (std::size_t at = 40; at < 80; at += 4) Put32(&record, at, 0xFFFFFFFFu);
  Put32(&record, 108, firstPicture);
  Put32(&record, 112, huffRecord);
  Put32(&record, 116, huffRecord == 0xFFFFFFFFu ? 0 : 2);
  Put32(&record, 128, 0x50);
  Put32(&record, 168, 0xFFFFFFFFu);
  std::uint16_t flags = (shape.overlaps.empty() ? 0 : 1) | (shape.indexEntry ? 2 : 0);
  Put16(&record, 242, flags);
  if (isKf8) {
    Put32(&record, 192, kf8.fdst);
    Put32(&record, 196, static_cast<std::uint32_t>(shape.flows.size() + 1));
    Put32(&record, 248, kf8.fragments);
    Put32(&record, 252, kf8.skeletons);
  }
  Bytes exth = Exth(shape);
  record.insert(record.end(), exth.begin(), exth.end());
  const std::string name = "Built Book";
  Put32(&record, 84, static_cast<std::uint32_t>(record.size()));
  Put32(&record, 88, static_cast<std::uint32_t>(name.size()));
  record.insert(record.end(), name.begin(), name.end());
  record.insert(record.end(), {0, 0, 0, 0});
  return record;
}

Bytes TextRecord(const BookShape& shape, std::size_t index) {
  if (index < shape.rawRecords.size() && !shape.rawRecords[index].empty())
    return shape.rawRecords[index];
  const std::string& text = shape.records[index];
  Bytes record = shape.coding == BookCoding::kNone   ? ToBytes(text)
                 : shape.coding == BookCoding::kLz77 ? EncodeLz77(ToBytes(text))
                                                     : EncodeHuffman(text);
  if (!shape.overlaps.empty()) {
    const std::string& overlap = index < shape.overlaps.size() ? shape.overlaps[index] : "";
    record.insert(record.end(), overlap.begin(), overlap.end());
    record.push_back(static_cast<unsigned char>(overlap.size()));
  }
  // An index entry: two bytes of data and its size, marked as the first
  // byte of the backward number.
  if (shape.indexEntry) record.insert(record.end(), {0x01, 0x02, 0x83});
  return record;
}

void AppendNumber(Bytes* bytes, std::uint32_t value) {
  Bytes digits;
  do {
    digits.insert(digits.begin(), static_cast<unsigned char>(value & 0x7F));
    value >>= 7;
  } while (value != 0);
  digits.back() |= 0x80;
  bytes->insert(bytes->end(), digits.begin(), digits.end());
}

Bytes IndexHeader(std::uint32_t count) {
  Bytes record = ToBytes("INDX");
  record.resize(192, 0);
  Put32(&record, 4, 192);
  Put32(&record, 24, count);
  return record;
}

// The meta record: its tag table, each entry (tag, values per group,
// mask, end of control byte), one control byte.
Bytes IndexMeta(const std::vector<std::array<unsigned char, 4>>& tags, std::uint32_t cncx) {
  Bytes record = IndexHeader(1);
  Put32(&record, 52, cncx);
  Bytes tagx = ToBytes("TAGX");
  Append32(&tagx, static_cast<std::uint32_t>(12 + 4 * tags.size()));
  Append32(&tagx, 1);
  for (const auto& tag : tags) tagx.insert(tagx.end(), tag.begin(), tag.end());
  record.insert(record.end(), tagx.begin(), tagx.end());
  return record;
}

Bytes IndexData(const std::vector<Bytes>& entries) {
  Bytes record = IndexHeader(static_cast<std::uint32_t>(entries.size()));
  std::vector<std::uint32_t> offsets;
  for (const Bytes& entry : entries) {
    offsets.push_back(static_cast<std::uint32_t>(record.size()));
    record.insert(record.end(), entry.begin(), entry.end());
  }
  while (record.size() % 4 != 0) record.push_back(0);
  Put32(&record, 20, static_cast<std::uint32_t>(record.size()));
  record.insert(record.end(), {'I', 'D', 'X', 'T'});
  for (std::uint32_t offset : offsets) {
    record.push_back(static_cast<unsigned char>(offset >> 8));
    record.push_back(static_cast<unsigned char>(offset));
  }
  return record;
}

Bytes Labelled(const std::string& label, unsigned char control) {
  Bytes entry{static_cast<unsigned char>(label.size())};
  entry.insert(entry.end(), label.begin(), label.end());
  entry.push_back(control);
  return entry;
}

// The records of a KF8 book after its text: the skeleton index (its
// position values given by byte count), the fragment index with its
// strings, and the flow table; `raw` receives the text itself.
std::vector<Bytes> Kf8IndexRecords(const BookShape& shape, std::string* raw) {
  std::vector<Bytes> skeletons, fragments;
  Bytes strings;
  for (std::size_t p = 0; p < shape.parts.size(); ++p) {
    const Kf8PartShape& part = shape.parts[p];
    auto start = static_cast<std::uint32_t>(raw->size());
    *raw += part.skeleton;
    Bytes skeleton = Labelled("SKEL" + std::to_string(1000000 + p), 0x0D);
    Bytes position;
    AppendNumber(&position, start);
    AppendNumber(&position, static_cast<std::uint32_t>(part.skeleton.size()));
    AppendNumber(&skeleton, static_cast<std::uint32_t>(position.size()));
    AppendNumber(&skeleton, static_cast<std::uint32_t>(part.fragments.size()));
    skeleton.insert(skeleton.end(), position.begin(), position.end());
    skeletons.push_back(skeleton);
    for (const auto& [at, text] : part.fragments) {
      std::string selector = "P-//*[@aid='" + std::to_string(fragments.size()) + "']";
      Bytes fragment =
          Labelled(std::to_string(static_cast<std::uint32_t>(std::int64_t{start} + at)), 0x0F);
      AppendNumber(&fragment, static_cast<std::uint32_t>(strings.size()));
      AppendNumber(&fragment, static_cast<std::uint32_t>(p));
      AppendNumber(&fragment, static_cast<std::uint32_t>(fragments.size()));
      AppendNumber(&fragment, static_cast<std::uint32_t>(raw->size()));
      AppendNumber(&fragment, static_cast<std::uint32_t>(text.size()));
      fragments.push_back(fragment);
      AppendNumber(&strings, static_cast<std::uint32_t>(selector.size()));
      strings.insert(strings.end(), selector.begin(), selector.end());
      *raw += text;
    }
  }
  if (shape.unendedFragmentNumber) fragments.back().back() &= 0x7F;
  Bytes fdst = ToBytes("FDST");
  Append32(&fdst, 12);
  Append32(&fdst, static_cast<std::uint32_t>(shape.flows.size() + 1));
  Append32(&fdst, 0);
  Append32(&fdst, static_cast<std::uint32_t>(raw->size()));
  for (const std::string& flow : shape.flows) {
    Append32(&fdst, static_cast<std::uint32_t>(raw->size()));
    *raw += flow;
    Append32(&fdst, static_cast<std::uint32_t>(raw->size()));
  }
  return {
      IndexMeta({{1, 1, 0x03, 0}, {6, 2, 0x0C, 0}, {0, 0, 0, 1}}, 0),
      IndexData(skeletons),
      IndexMeta({{2, 1, 0x01, 0}, {3, 1, 0x02, 0}, {4, 1, 0x04, 0}, {6, 2, 0x08, 0}, {0, 0, 0, 1}},
                1),
      IndexData(fragments),
      strings,
      fdst};
}

DatabaseBuilder BuildKf8Book(BookShape shape) {
  std::string raw;
  std::vector<Bytes> indexes = Kf8IndexRecords(shape, &raw);
  shape.records.clear();
  for (std::size_t at = 0; at < raw.size(); at += 4096)
    shape.records.push_back(raw.substr(at, 4096));
  auto text = static_cast<std::uint32_t>(shape.records.size());
  Kf8Records kf8{text + 6 + static_cast<std::uint32_t>(shape.pictures.size()),
                 shape.skeletonIndexOnText ? 1 : text + 1, text + 3};
  DatabaseBuilder builder;
  builder.Name("Built_Book").Kind("BOOK", "MOBI");
  builder.AddRecord(
      RecordZero(shape, 0xFFFFFFFFu, shape.pictures.empty() ? 0xFFFFFFFFu : text + 6, kf8));
  for (std::size_t i = 0; i < shape.records.size(); ++i) builder.AddRecord(TextRecord(shape, i));
  for (std::size_t i = 0; i + 1 < indexes.size(); ++i) builder.AddRecord(indexes[i]);
  for (const Bytes& picture : shape.pictures) builder.AddRecord(picture);
  builder.AddRecord(indexes.back());
  builder.AddRecord(Bytes{0xE9, 0x8E, 0x0D, 0x0A});
  return builder;
}

}  // namespace

Bytes EncodeHuffman(const std::string& text) {
  Bytes coded;
  for (std::size_t at = 0; at < text.size();) {
    if (text.compare(at, 4, "the ") == 0) {
      coded.push_back(0xFF);
      at += 4;
    } else {
      coded.push_back(static_cast<unsigned char>(text[at++]));
    }
  }
  return coded;
}

std::vector<Bytes> HuffmanRecords(bool selfReferring) {
  Bytes huff(2584, 0);
  huff[0] = 'H', huff[1] = 'U', huff[2] = 'F', huff[3] = 'F';
  Put32(&huff, 4, 24);
  Put32(&huff, 8, 24);
  Put32(&huff, 12, 1048);
  // Every code 8 bits long and complete in its first byte; byte c stands
  // for phrase 255 - c.
  for (int c = 0; c < 256; ++c) Put32(&huff, 24 + 4 * c, (255u << 8) | 0x80 | 8);
  Bytes cdic = ToBytes("CDIC");
  Append32(&cdic, 16);
  Append32(&cdic, 256);
  Append32(&cdic, 8);
  Bytes phrases;
  std::vector<std::uint32_t> offsets;
  for (int phrase = 0; phrase < 256; ++phrase) {
    offsets.push_back(static_cast<std::uint32_t>(512 + phrases.size()));
    Bytes body = phrase == 0 ? (selfReferring ? Bytes{0x41, 0xFF} : ToBytes("the "))
                             : Bytes{static_cast<unsigned char>(255 - phrase)};
    std::uint32_t head = static_cast<std::uint32_t>(body.size()) | (phrase == 0 ? 0 : 0x8000);
    phrases.push_back(static_cast<unsigned char>(head >> 8));
    phrases.push_back(static_cast<unsigned char>(head));
    phrases.insert(phrases.end(), body.begin(), body.end());
  }
  for (std::uint32_t offset : offsets) {
    cdic.push_back(static_cast<unsigned char>(offset >> 8));
    cdic.push_back(static_cast<unsigned char>(offset));
  }
  cdic.insert(cdic.end(), phrases.begin(), phrases.end());
  return {huff, cdic};
}

DatabaseBuilder BuildBook(const BookShape& shape) {
  if (!shape.parts.empty()) return BuildKf8Book(shape);
  std::uint32_t next = 1 + static_cast<std::uint32_t>(shape.records.size());
  std::uint32_t huffRecord = shape.coding == BookCoding::kHuffman ? next : 0xFFFFFFFFu;
  if (shape.coding == BookCoding::kHuffman) next += 2;
  std::uint32_t firstPicture = shape.pictures.empty() ? 0xFFFFFFFFu : next;
  DatabaseBuilder builder;
  builder.Name("Built_Book").Kind("BOOK", "MOBI");
  builder.AddRecord(RecordZero(shape, huffRecord, firstPicture));
  for (std::size_t i = 0; i < shape.records.size(); ++i) builder.AddRecord(TextRecord(shape, i));
  if (shape.coding == BookCoding::kHuffman)
    for (const Bytes& record : HuffmanRecords(shape.selfReferringPhrase)) builder.AddRecord(record);
  for (const Bytes& picture : shape.pictures) builder.AddRecord(picture);
  builder.AddRecord(Bytes{0xE9, 0x8E, 0x0D, 0x0A});
  return builder;
}

}  // namespace ormidal::testing
