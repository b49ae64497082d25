// Mobipocket books of any shape for the tests: record 0 with its headers
// and metadata, text records in each compression with trailing entries,
// picture and other records after them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/database_builder.hpp"

namespace ormidal::testing {

enum class BookCoding { kNone, kLz77, kHuffman };

// A part of a KF8 book: its skeleton, and the fragments inserted into it,
// each at a position counted from the skeleton's start in the part as
// built so far.
struct Kf8PartShape {
  std::string skeleton;
  std::vector<std::pair<std::int64_t, std::string>> fragments;
};

struct BookShape {
  BookCoding coding = BookCoding::kLz77;
  std::uint32_t encoding = 65001;
  std::uint16_t encryption = 0;
  // Each piece of text becomes one text record.
  std::vector<std::string> records;
  // Bytes of a character's continuation the next record starts with, per
  // record, written as the overlap entry (extra flag bit 0).
  std::vector<std::string> overlaps;
  bool indexEntry = true;  // a generic trailing entry (flag bit 1) too
  std::vector<std::pair<std::uint32_t, std::string>> metadata;
  std::vector<Bytes> pictures;  // records from the first picture on
  bool selfReferringPhrase = false;
  // Text records given whole, trailing entries and all, where not empty.
  std::vector<Bytes> rawRecords;
  // When not empty, a KF8 book: its parts make flow 0 (cut into records of
  // 4096 bytes, `records` is ignored), `flows` the flows after it.
  std::vector<Kf8PartShape> parts;
  std::vector<std::string> flows;
  bool unendedFragmentNumber = false;  // the last fragment entry's last number has no end
  bool skeletonIndexOnText = false;    // the skeleton index names a text record
};

// Huffman coding of the tests' own: every byte a fixed 8-bit code, the
// code 0xFF standing for a coded phrase that spells "the ".
Bytes EncodeHuffman(const std::string& text);
// The HUFF record and the CDIC records that go with EncodeHuffman; with
// `selfReferring`, the coded phrase refers to itself.
std::vector<Bytes> HuffmanRecords(bool selfReferring = false);

DatabaseBuilder BuildBook(const BookShape& shape);

}  // namespace ormidal::testing
