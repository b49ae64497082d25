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
  // Sorts the positions and removes repeats; call before Count/At.
  void Finish();
  std::size_t Count() const { return count_; }
  std::uint32_t At(std::size_t i) const { return targets_[i]; }

 private:
  void Add(std::uint32_t target);
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

class HtmlWriter {
 public:
  HtmlWriter(ByteSink* sink, const LinkTargets* targets, const PictureNames* pictures)
      : sink_(sink), targets_(targets), pictures_(pictures) {}
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
  int PutAnchors(std::uint32_t position);
  int TagEnded();
  int RewriteAttribute(const char* name, std::size_t nameLength, const char* value,
                       std::size_t valueLength, bool* pictureDone, bool* replaced);
  int Flush();

  ByteSink* sink_;
  const LinkTargets* targets_;
  const PictureNames* pictures_;
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
