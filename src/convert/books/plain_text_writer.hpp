// Book markup turned into plain text as it streams past: tags removed,
// character references decoded, one line per paragraph, heading, list item,
// table row or line break, an empty line between paragraphs and at page
// breaks, runs of white space as one space, CR LF line ends. The input is
// UTF-8; so is the output.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ormidal {

class ByteSink {
 public:
  virtual int Write(const unsigned char* bytes, std::size_t size) = 0;

 protected:
  ~ByteSink() = default;
};

class PlainTextWriter {
 public:
  explicit PlainTextWriter(ByteSink* sink) : sink_(sink) {}
  // Writes text that is no markup as one line of its own (the metadata).
  int WriteLine(const char* text, std::size_t size);
  int Feed(const unsigned char* markup, std::size_t size);
  // Adds UTF-8 text that is no markup to the current line; control bytes
  // and line ends in it become spaces.
  int FeedPlain(const unsigned char* text, std::size_t size);
  // End the current line as a line break or a paragraph's end would.
  int EndLine() { return EndLine(false); }
  int EndParagraph() { return Paragraph(); }
  // Ends the last line and writes out what is buffered.
  int Finish();

 private:
  enum class State { kText, kTagStart, kTagName, kTagRest, kQuoted, kComment, kEntity };
  int Put(const unsigned char* bytes, std::size_t size);
  int PutText(const unsigned char* bytes, std::size_t size);
  int EndLine(bool emptyLineToo);
  int Paragraph();
  int TagEnded();
  int EntityEnded(bool terminated);
  int Flush();

  ByteSink* sink_;
  State state_ = State::kText;
  unsigned char quote_ = 0;
  bool closing_ = false;
  char name_[16] = {};
  std::size_t nameLength_ = 0;
  bool nameTooLong_ = false;
  char entity_[12] = {};
  std::size_t entityLength_ = 0;
  int dashes_ = 0;    // of a comment's possible end
  int skipping_ = 0;  // inside <head>, <script>, <style>
  bool lineHasText_ = false;
  bool spacePending_ = false;
  bool emptyLinePending_ = false;
  bool wroteAnything_ = false;
  int result_ = 0;
  unsigned char buffer_[8192];
  std::size_t buffered_ = 0;
};

// The code point an HTML entity name stands for, or 0 when none is known.
char32_t NamedEntity(const char* name, std::size_t length);

}  // namespace ormidal
