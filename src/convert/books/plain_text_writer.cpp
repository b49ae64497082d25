#include "convert/books/plain_text_writer.hpp"

#include <cstring>

#include "convert/charset.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

const unsigned char kLineEnd[] = {'\r', '\n'};

// U+00A0 to U+00FF, in order.
const char* const kLatin1Names[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};

struct NamedCharacter {
  const char* name;
  char32_t codePoint;
};

const NamedCharacter kOtherNames[] = {
    {"quot", 0x22},     {"amp", 0x26},      {"apos", 0x27},    {"lt", 0x3C},
    {"gt", 0x3E},       {"OElig", 0x152},   {"oelig", 0x153},  {"Scaron", 0x160},
    {"scaron", 0x161},  {"Yuml", 0x178},    {"fnof", 0x192},   {"circ", 0x2C6},
    {"tilde", 0x2DC},   {"ensp", 0x2002},   {"emsp", 0x2003},  {"thinsp", 0x2009},
    {"zwnj", 0x200C},   {"zwj", 0x200D},    {"lrm", 0x200E},   {"rlm", 0x200F},
    {"ndash", 0x2013},  {"mdash", 0x2014},  {"lsquo", 0x2018}, {"rsquo", 0x2019},
    {"sbquo", 0x201A},  {"ldquo", 0x201C},  {"rdquo", 0x201D}, {"bdquo", 0x201E},
    {"dagger", 0x2020}, {"Dagger", 0x2021}, {"bull", 0x2022},  {"hellip", 0x2026},
    {"permil", 0x2030}, {"prime", 0x2032},  {"Prime", 0x2033}, {"lsaquo", 0x2039},
    {"rsaquo", 0x203A}, {"oline", 0x203E},  {"frasl", 0x2044}, {"euro", 0x20AC},
    {"trade", 0x2122},  {"larr", 0x2190},   {"uarr", 0x2191},  {"rarr", 0x2192},
    {"darr", 0x2193},   {"harr", 0x2194},   {"minus", 0x2212}, {"infin", 0x221E},
    {"ne", 0x2260},     {"le", 0x2264},     {"ge", 0x2265},
};

bool NameIs(const char* name, std::size_t length, const char* wanted) {
  return std::strlen(wanted) == length && std::memcmp(name, wanted, length) == 0;
}

enum class TagRole { kNone, kSkipped, kBody, kParagraph, kLine, kBreak, kPage, kCell };

TagRole RoleOf(const char* name, std::size_t length) {
  static const char* const paragraphs[] = {"p",          "div", "h1", "h2",    "h3", "h4",
                                           "h5",         "h6",  "ul", "ol",    "dl", "table",
                                           "blockquote", "pre", "hr", "center"};
  static const char* const lines[] = {"li", "tr", "dt", "dd", "caption"};
  for (const char* tag : paragraphs)
    if (NameIs(name, length, tag)) return TagRole::kParagraph;
  for (const char* tag : lines)
    if (NameIs(name, length, tag)) return TagRole::kLine;
  if (NameIs(name, length, "br")) return TagRole::kBreak;
  if (NameIs(name, length, "mbp:pagebreak")) return TagRole::kPage;
  if (NameIs(name, length, "td") || NameIs(name, length, "th")) return TagRole::kCell;
  if (NameIs(name, length, "body")) return TagRole::kBody;
  if (NameIs(name, length, "head") || NameIs(name, length, "script") ||
      NameIs(name, length, "style"))
    return TagRole::kSkipped;
  return TagRole::kNone;
}

bool IsSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}
bool IsLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
bool IsNameByte(unsigned char c) {
  return IsLetter(c) || (c >= '0' && c <= '9') || c == ':' || c == '-' || c == '!' || c == '?';
}
// Bytes that pass into the text as they are.
bool IsPlain(unsigned char c) { return c != '<' && c != '&' && c >= 0x20; }
bool IsWordByte(unsigned char c) { return c > 0x20 && c != '<' && c != '&'; }

char32_t NumericEntity(const char* text, std::size_t length) {
  std::size_t at = 1;
  int base = 10;
  if (at < length && (text[at] == 'x' || text[at] == 'X')) {
    base = 16;
    ++at;
  }
  if (at == length) return 0;
  std::uint32_t value = 0;
  for (; at < length; ++at) {
    int digit;
    char c = text[at];
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && (c | 0x20) >= 'a' && (c | 0x20) <= 'f')
      digit = (c | 0x20) - 'a' + 10;
    else
      return 0;
    value = value * base + digit;
    if (value > 0x10FFFF) return 0xFFFD;
  }
  return value == 0 ? 0xFFFD : value;
}

}  // namespace

char32_t NamedEntity(const char* name, std::size_t length) {
  for (int i = 0; i < 96; ++i)
    if (NameIs(name, length, kLatin1Names[i])) return 0xA0 + i;
  for (const NamedCharacter& named : kOtherNames)
    if (NameIs(name, length, named.name)) return named.codePoint;
  return 0;
}

int PlainTextWriter::Flush() {
  if (buffered_ > 0 && result_ == kResultOk) result_ = sink_->Write(buffer_, buffered_);
  buffered_ = 0;
  return result_;
}

int PlainTextWriter::Put(const unsigned char* bytes, std::size_t size) {
  while (size > 0 && result_ == kResultOk) {
    if (buffered_ == sizeof buffer_) Flush();
    std::size_t piece = sizeof buffer_ - buffered_;
    if (piece > size) piece = size;
    std::memcpy(buffer_ + buffered_, bytes, piece);
    buffered_ += piece;
    bytes += piece;
    size -= piece;
  }
  return result_;
}

int PlainTextWriter::PutText(const unsigned char* bytes, std::size_t size) {
  if (skipping_ > 0 || size == 0) return result_;
  if (emptyLinePending_ && wroteAnything_) Put(kLineEnd, 2);
  emptyLinePending_ = false;
  if (spacePending_ && lineHasText_) Put(reinterpret_cast<const unsigned char*>(" "), 1);
  spacePending_ = false;
  lineHasText_ = wroteAnything_ = true;
  return Put(bytes, size);
}

int PlainTextWriter::WriteLine(const char* text, std::size_t size) {
  Put(reinterpret_cast<const unsigned char*>(text), size);
  return Put(kLineEnd, 2);
}

int PlainTextWriter::EndLine(bool emptyLineToo) {
  spacePending_ = false;
  if (lineHasText_) {
    lineHasText_ = false;
    Put(kLineEnd, 2);
  } else if (!emptyLineToo) {
    return result_;
  }
  if (emptyLineToo && wroteAnything_) emptyLinePending_ = true;
  return result_;
}

int PlainTextWriter::TagEnded() {
  state_ = State::kText;
  if (nameTooLong_) return result_;
  switch (RoleOf(name_, nameLength_)) {
    case TagRole::kSkipped:
      if (!closing_)
        ++skipping_;
      else if (skipping_ > 0)
        --skipping_;
      return result_;
    case TagRole::kBody:
      // A head left open must not swallow the book.
      skipping_ = 0;
      return Paragraph();
    case TagRole::kParagraph:
    case TagRole::kPage:
      return Paragraph();
    case TagRole::kLine:
      return EndLine(false);
    case TagRole::kBreak:
      return EndLine(!lineHasText_);
    case TagRole::kCell:
      spacePending_ = true;
      return result_;
    case TagRole::kNone:
      return result_;
  }
  return result_;
}

int PlainTextWriter::Paragraph() { return EndLine(true); }

int PlainTextWriter::EntityEnded(bool terminated) {
  state_ = State::kText;
  char32_t codePoint = 0;
  if (terminated && entityLength_ > 0) {
    codePoint = entity_[0] == '#' ? NumericEntity(entity_, entityLength_)
                                  : NamedEntity(entity_, entityLength_);
  }
  if (codePoint == 0) {
    // Not a reference after all: the text keeps what it said.
    PutText(reinterpret_cast<const unsigned char*>("&"), 1);
    PutText(reinterpret_cast<const unsigned char*>(entity_), entityLength_);
    if (terminated) PutText(reinterpret_cast<const unsigned char*>(";"), 1);
    return result_;
  }
  if (codePoint == 0xA0 || codePoint == ' ') {
    spacePending_ = true;
    return result_;
  }
  char utf8[4];
  std::size_t length = EncodeUtf8(codePoint, utf8);
  return PutText(reinterpret_cast<const unsigned char*>(utf8), length);
}

int PlainTextWriter::Feed(const unsigned char* markup, std::size_t size) {
  std::size_t at = 0;
  while (at < size && result_ == kResultOk) {
    unsigned char c = markup[at];
    switch (state_) {
      case State::kText: {
        if (IsPlain(c)) {
          // A word, and the words after it each behind one space, go out
          // as one piece; a space before anything else waits.
          std::size_t end = at + 1;
          while (end < size) {
            if (IsWordByte(markup[end])) {
              ++end;
            } else if (markup[end] == ' ' && end + 1 < size && IsWordByte(markup[end + 1])) {
              end += 2;
            } else {
              break;
            }
          }
          if (c == ' ') {
            spacePending_ = true;
            ++at;
          } else {
            PutText(markup + at, end - at);
            at = end;
          }
          continue;
        }
        if (IsSpace(c))
          spacePending_ = true;
        else if (c == '<')
          state_ = State::kTagStart;
        else if (c == '&') {
          state_ = State::kEntity;
          entityLength_ = 0;
        }
        ++at;
        continue;
      }
      case State::kTagStart:
        closing_ = false;
        nameLength_ = 0;
        nameTooLong_ = false;
        if (c == '/') {
          closing_ = true;
          state_ = State::kTagName;
          ++at;
          continue;
        }
        if (!IsLetter(c) && c != '!' && c != '?') {
          // "a < b": not a tag.
          state_ = State::kText;
          PutText(reinterpret_cast<const unsigned char*>("<"), 1);
          continue;
        }
        state_ = State::kTagName;
        continue;
      case State::kTagName:
        if (IsNameByte(c)) {
          if (nameLength_ < sizeof name_)
            name_[nameLength_++] = static_cast<char>(c | (IsLetter(c) ? 0x20 : 0));
          else
            nameTooLong_ = true;
          if (nameLength_ == 3 && std::memcmp(name_, "!--", 3) == 0) {
            state_ = State::kComment;
            dashes_ = 0;
          }
          ++at;
          continue;
        }
        state_ = State::kTagRest;
        continue;
      case State::kTagRest:
        if (c == '>')
          TagEnded();
        else if (c == '"' || c == '\'') {
          quote_ = c;
          state_ = State::kQuoted;
        }
        ++at;
        continue;
      case State::kQuoted:
        if (c == quote_) state_ = State::kTagRest;
        ++at;
        continue;
      case State::kComment:
        if (c == '>' && dashes_ >= 2) state_ = State::kText;
        dashes_ = c == '-' ? dashes_ + 1 : 0;
        ++at;
        continue;
      case State::kEntity:
        if (c == ';') {
          EntityEnded(true);
          ++at;
        } else if ((IsLetter(c) || (c >= '0' && c <= '9') || c == '#') &&
                   entityLength_ < sizeof entity_) {
          entity_[entityLength_++] = static_cast<char>(c);
          ++at;
        } else {
          EntityEnded(false);
        }
        continue;
    }
  }
  return result_;
}

int PlainTextWriter::FeedPlain(const unsigned char* text, std::size_t size) {
  std::size_t at = 0;
  while (at < size && result_ == kResultOk) {
    if (text[at] <= ' ') {
      spacePending_ = true;
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < size && text[end] > ' ') ++end;
    PutText(text + at, end - at);
    at = end;
  }
  return result_;
}

int PlainTextWriter::Finish() {
  if (state_ == State::kEntity) EntityEnded(false);
  if (lineHasText_) Put(kLineEnd, 2);
  lineHasText_ = false;
  return Flush();
}

}  // namespace ormidal
