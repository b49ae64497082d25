// The parts of a KF8 book rebuilt from flow 0: each skeleton with its
// fragments inserted at their positions, in order. A part is never held
// whole: it is a list of flow-0 ranges, read through a small cache of
// decoded text records (every record but the last decodes to the stated
// record size, so a position names its record).
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/books/book_reader.hpp"
#include "convert/books/kf8_index.hpp"

namespace ormidal {

class Kf8Text {
 public:
  Kf8Text(OpenedBook* book, const Kf8Tables* tables) : book_(book), tables_(tables) {}
  // Hands on every part in order. A part's byte k is at offset
  // (skeleton start + k): the positions the fragment index and the book's
  // links use. Damage marks the conversion and ends the text there.
  int WriteParts(BookTextConsumer* consumer);
  // Hands on the decoded text [start, end), e.g. a style-sheet flow.
  int WriteRange(std::uint32_t start, std::uint32_t end, BookTextConsumer* consumer);
  // Where fragment `fragment`'s byte `offset` lies in the rebuilt text.
  bool Position(std::uint32_t fragment, std::uint32_t offset, std::uint32_t* position) const;

  static constexpr std::size_t kMaxSegments = 16 * 1024;

 private:
  static constexpr std::size_t kSlots = 4;
  static constexpr std::size_t kSlotSize = 64 * 1024;
  struct Slot {
    std::uint32_t record = 0;  // 0: empty
    std::uint32_t size = 0;
    std::uint32_t used = 0;  // when last used
    unsigned char bytes[kSlotSize];
  };
  struct Segment {
    std::uint32_t start;  // in flow 0
    std::uint32_t length;
  };
  // Points *data at the decoded text from `offset` to its record's end;
  // *size 0 when it cannot be had (damage noted).
  int View(std::uint32_t offset, const unsigned char** data, std::size_t* size);
  int Stream(std::uint32_t start, std::uint32_t length, std::uint32_t offset,
             BookTextConsumer* consumer, bool* ok);
  bool Insert(std::uint64_t at, Segment segment);
  // Lays out part `skeleton` as segments; false when the index is damaged
  // (the segments then hold what was inserted before the damage).
  bool LayOut(std::size_t skeleton, std::size_t* nextFragment);
  std::uint32_t FlowZeroEnd() const;

  OpenedBook* book_;
  const Kf8Tables* tables_;
  std::uint32_t clock_ = 0;
  Slot slots_[kSlots];
  std::size_t segmentCount_ = 0;
  std::uint64_t partLength_ = 0;
  Segment segments_[kMaxSegments];
};

}  // namespace ormidal
