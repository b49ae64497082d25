#include "convert/books/kf8_text.hpp"

#include <algorithm>
#include <cstring>

#include "database/result.hpp"

namespace ormidal {

std::uint32_t Kf8Text::FlowZeroEnd() const {
  if (tables_->flowCount > 0) return tables_->flows[0].end;
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(
      std::uint64_t{book_->layout.header.textRecords} * book_->layout.header.textRecordSize,
      0xFFFFFFFFu));
}

int Kf8Text::View(std::uint32_t offset, const unsigned char** data, std::size_t* size) {
  *size = 0;
  std::uint32_t recordSize = book_->layout.header.textRecordSize;
  std::uint64_t record = std::uint64_t{book_->layout.base} + 1 + offset / recordSize;
  if (record >= book_->layout.textEnd || recordSize > kSlotSize) {
    book_->conversion->damaged = true;
    return kResultOk;
  }
  Slot* slot = &slots_[0];
  for (Slot& candidate : slots_) {
    if (candidate.record == record) {
      slot = &candidate;
      break;
    }
    if (candidate.used < slot->used) slot = &candidate;
  }
  if (slot->record != record) {
    std::size_t produced = 0;
    bool whole = false;
    int result = DecodeTextRecord(book_, static_cast<std::uint32_t>(record), &produced, &whole);
    if (result != kResultOk) return result;
    // A record short of the stated size would move every later position.
    bool last = record + 1 == book_->layout.textEnd;
    if (!whole || (!last && produced != recordSize)) book_->conversion->damaged = true;
    std::memcpy(slot->bytes, book_->conversion->decodeBuffer, produced);
    slot->record = static_cast<std::uint32_t>(record);
    slot->size = static_cast<std::uint32_t>(produced);
  }
  slot->used = ++clock_;
  std::uint32_t within = offset % recordSize;
  if (within >= slot->size) {
    book_->conversion->damaged = true;
    return kResultOk;
  }
  *data = slot->bytes + within;
  *size = slot->size - within;
  return kResultOk;
}

int Kf8Text::Stream(std::uint32_t start, std::uint32_t length, std::uint32_t offset,
                    BookTextConsumer* consumer, bool* ok) {
  *ok = false;
  while (length > 0) {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    int result = View(start, &data, &size);
    if (result != kResultOk || size == 0) return result;
    std::uint32_t piece = static_cast<std::uint32_t>(std::min<std::size_t>(size, length));
    result = consumer->Text(data, piece, offset);
    if (result != kResultOk) return result;
    start += piece;
    offset += piece;
    length -= piece;
  }
  *ok = true;
  return kResultOk;
}

int Kf8Text::WriteRange(std::uint32_t start, std::uint32_t end, BookTextConsumer* consumer) {
  bool ok = false;
  return start < end ? Stream(start, end - start, start, consumer, &ok) : kResultOk;
}

bool Kf8Text::Insert(std::uint64_t at, Segment segment) {
  if (segmentCount_ + 2 > kMaxSegments) return false;
  std::size_t k = 0;
  std::uint64_t before = 0;  // the part's length up to segment k
  while (k < segmentCount_ && before + segments_[k].length <= at) before += segments_[k++].length;
  if (k < segmentCount_ && at > before) {
    // Split segment k around the insertion.
    std::uint32_t head = static_cast<std::uint32_t>(at - before);
    Segment tail{segments_[k].start + head, segments_[k].length - head};
    segments_[k].length = head;
    std::memmove(segments_ + k + 2, segments_ + k + 1, (segmentCount_ - k - 1) * sizeof(Segment));
    segments_[k + 1] = segment;
    segments_[k + 2] = tail;
    segmentCount_ += 2;
  } else {
    std::memmove(segments_ + k + 1, segments_ + k, (segmentCount_ - k) * sizeof(Segment));
    segments_[k] = segment;
    segmentCount_ += 1;
  }
  partLength_ += segment.length;
  return true;
}

bool Kf8Text::LayOut(std::size_t skeletonNumber, std::size_t* nextFragment) {
  const Kf8Skeleton& skeleton = tables_->skeletons[skeletonNumber];
  std::uint32_t flowEnd = FlowZeroEnd();
  segmentCount_ = 0;
  partLength_ = 0;
  if (skeleton.start > flowEnd || skeleton.length > flowEnd - skeleton.start) return false;
  segments_[segmentCount_++] = {skeleton.start, skeleton.length};
  partLength_ = skeleton.length;
  // The fragments' bytes follow their skeleton in flow 0, in order.
  std::uint32_t next = skeleton.start + skeleton.length;
  for (std::uint32_t i = 0; i < skeleton.fragments; ++i) {
    if (*nextFragment >= tables_->fragmentCount) return false;
    const Kf8Fragment& fragment = tables_->fragments[(*nextFragment)++];
    if (fragment.insertAt < skeleton.start || fragment.length > flowEnd - next) return false;
    std::uint64_t at = fragment.insertAt - skeleton.start;
    // A position past the end is taken as the end, but the index is wrong.
    bool past = at > partLength_;
    if (!Insert(std::min(at, partLength_), {next, fragment.length})) return false;
    next += fragment.length;
    if (past) book_->conversion->damaged = true;
  }
  return true;
}

int Kf8Text::WriteParts(BookTextConsumer* consumer) {
  std::size_t nextFragment = 0;
  for (std::size_t part = 0; part < tables_->skeletonCount; ++part) {
    bool laidOut = LayOut(part, &nextFragment);
    if (!laidOut) book_->conversion->damaged = true;
    int result = consumer->PartBegins();
    if (result != kResultOk) return result;
    std::uint32_t offset = tables_->skeletons[part].start;
    for (std::size_t k = 0; k < segmentCount_; ++k) {
      bool ok = false;
      result = Stream(segments_[k].start, segments_[k].length, offset, consumer, &ok);
      if (result != kResultOk || !ok) return result;
      offset += segments_[k].length;
    }
    if (!laidOut) return kResultOk;
  }
  return kResultOk;
}

bool Kf8Text::Position(std::uint32_t fragment, std::uint32_t offset,
                       std::uint32_t* position) const {
  if (fragment >= tables_->fragmentCount) return false;
  std::uint64_t at = std::uint64_t{tables_->fragments[fragment].insertAt} + offset;
  if (at > 0xFFFFFFFFu) return false;
  *position = static_cast<std::uint32_t>(at);
  return true;
}

}  // namespace ormidal
