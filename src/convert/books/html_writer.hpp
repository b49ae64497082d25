// Book markup made browsable as it streams past: picture references point
// at the pictures beside the file (Images/NNNNN.ext), and the book's
// internal links, byte positions in its text, become # links to anchors
// placed at those positions. A first pass collects the positions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/books/plain_text_writer.hpp"

namespace ormidal {

// The positions the book's links point at, collected in a first pass.
class LinkTargets {
 public:
  // Beyond this many distinct targets the further links stay without an
  // anchor; the memory stays fixed.
  static constexpr std::size_t kCapacity = 64 * 1024;

  void Feed(const unsigned char* markup, std::size_t size);
  // A target found otherwise (KF8's links).
  void Add(std::uint32_t target);
  // Sorts the positions and removes repeats; call before Count/At.
  void Finish();
  std::size_t Count() const { return count_; }
  std::uint32_t At(std::size_t i) const { return targets_[i]; }

 private:
  void Compact();
  std::size_t ReadValue(const unsigned char* markup, std::size_t size, std::size_t at);
  bool FileposEndsAt(const unsigned char* markup, std::size_t at) const;
  void KeepTail(const unsigned char* markup, std::size_t size);
  std::size_t count_ = 0;
  // The last bytes of the pieces fed so far, for a name cut by a piece's end.
  unsigned char tail_[7] = {};
  bool inValue_ = false;
  int digits_ = 0;
  std::uint32_t value_ = 0;
  std::uint32_t targets_[kCapacity];
};

class PictureNames {
 public:
  // The extension (".jpg" ...) of the picture the book numbers `number`,
  // or nullptr when that record is no picture.
  virtual const char* Extension(std::uint32_t number) const = 0;

 protected:
  ~PictureNames() = default;
};

// Resolves KF8's "kindle:pos:fid:F:off:O" links to positions in the text.
class PositionLinks {
 public:
  virtual bool Position(std::uint32_t fragment, std::uint32_t offset,
                        std::uint32_t* position) const = 0;

 protected:
  ~PositionLinks() = default;
};

// The fragment and offset of a "kindle:pos:fid:F:off:O" reference.
bool ParseKindlePosition(const char* text, std::size_t length, std::uint32_t* fragment,
                         std::uint32_t* offset);
// A number in KF8's base 32 (digits 0-9 then A-V) at the start of text.
bool Base32Number(const char* text, std::size_t length, std::uint32_t* number);

// Finds KF8's "kindle:..." references in a stream of bytes: out.Plain(bytes,
// size) receives the bytes around them, out.Reference(text, size) each
// reference whole, however the stream is cut.
class KindleReferences {
 public:
  template <typename Out>
  void Feed(const unsigned char* bytes, std::size_t size, Out& out);
  template <typename Out>
  void Finish(Out& out) {
    if (held_ > 0)
      matched_ == kPrefixLength ? out.Reference(text_, held_) : out.Plain(text_, held_);
    held_ = matched_ = 0;
  }

 private:
  static constexpr std::size_t kPrefixLength = 7;  // "kindle:"
  static bool InReference(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == ':' ||
           c == '?' || c == '=' || c == '/' || c == '+' || c == '-' || c == '.' || c == '_';
  }
  char text_[96];
  std::size_t held_ = 0;
  std::size_t matched_ = 0;
};

template <typename Out>
void KindleReferences::Feed(const unsigned char* bytes, std::size_t size, Out& out) {
  static const char kPrefix[] = "kindle:";
  std::size_t plain = 0;  // bytes[plain, i) are plain text not yet handed on
  for (std::size_t i = 0; i < size; ++i) {
    unsigned char c = bytes[i];
    if (matched_ == kPrefixLength) {
      if (InReference(c) && held_ < sizeof text_) {
        text_[held_++] = static_cast<char>(c);
        plain = i + 1;
        continue;
      }
      // One too long to be a reference is text.
      InReference(c) ? out.Plain(text_, held_) : out.Reference(text_, held_);
      held_ = matched_ = 0;
      plain = i;
    }
    if (c == static_cast<unsigned char>(kPrefix[matched_])) {
      if (held_ == 0 && i > plain)
        out.Plain(reinterpret_cast<const char*>(bytes + plain), i - plain);
      text_[held_++] = static_cast<char>(c);
      ++matched_;
      plain = i + 1;
      continue;
    }
    if (held_ > 0) {
      out.Plain(text_, held_);
      held_ = matched_ = 0;
      plain = i;
      if (c == 'k') {
        text_[held_++] = 'k';
        matched_ = 1;
        plain = i + 1;
      }
    }
  }
  if (held_ == 0 && size > plain)
    out.Plain(reinterpret_cast<const char*>(bytes + plain), size - plain);
}

class HtmlWriter {
 public:
  HtmlWriter(ByteSink* sink, const LinkTargets* targets, const PictureNames* pictures)
      : sink_(sink), targets_(targets), pictures_(pictures) {}
  // Writes the rebuilt parts of a KF8 book as one document: of each part
  // only what its body holds, the body itself as a <div>, and its
  // "kindle:pos" links resolved by `positions`.
  void WriteParts(const PositionLinks* positions) {
    positions_ = positions;
    partsOnly_ = true;
  }
  // A new part starts: its markup up to <body> is left out.
  void StartPart();
  // Writes bytes that are not the book's markup (the head this file adds).
  int WriteRaw(const char* text, std::size_t size);
  // `offset` is the position of markup[0] in the book's text.
  int Feed(const unsigned char* markup, std::size_t size, std::uint32_t offset);
  // Writes out a tag left open and what is buffered.
  int Finish();

 private:
  static constexpr std::size_t kTagLimit = 4096;
  enum class State { kText, kTag, kLongTag, kComment };
  int Put(const void* bytes, std::size_t size);
  // Book markup: left out where a part is outside its body.
  int Emit(const void* bytes, std::size_t size) {
    return partsOnly_ && !inBody_ ? result_ : Put(bytes, size);
  }
  int PutAnchors(std::uint32_t position);
  int TagEnded();
  int RewriteAttribute(const char* name, std::size_t nameLength, const char* value,
                       std::size_t valueLength, bool* pictureDone, bool* replaced);
  int Flush();

  ByteSink* sink_;
  const LinkTargets* targets_;
  const PictureNames* pictures_;
  const PositionLinks* positions_ = nullptr;
  bool partsOnly_ = false;
  bool inBody_ = false;
  std::size_t nextTarget_ = 0;
  State state_ = State::kText;
  unsigned char quote_ = 0;
  char tag_[kTagLimit];
  std::size_t tagLength_ = 0;
  int result_ = 0;
  unsigned char buffer_[16384];
  std::size_t buffered_ = 0;
};

// Writes `text` with the characters markup gives meaning to (& < > ")
// written as references.
int WriteEscaped(HtmlWriter* writer, const unsigned char* text, std::size_t size);

}  // namespace ormidal
