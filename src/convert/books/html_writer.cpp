#include "convert/books/html_writer.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "database/result.hpp"

namespace ormidal {
namespace {

const char kFilepos[] = "filepos=";
constexpr std::size_t kFileposLength = sizeof kFilepos - 1;
constexpr int kMaxDigits = 10;

unsigned char Lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c | 0x20 : c; }
bool IsSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool NameEquals(const char* name, std::size_t length, const char* wanted) {
  if (std::strlen(wanted) != length) return false;
  for (std::size_t i = 0; i < length; ++i)
    if (Lower(name[i]) != wanted[i]) return false;
  return true;
}

// The decimal number at the start of the value; false when there is none
// or it does not fit 32 bits.
bool LeadingNumber(const char* value, std::size_t length, std::uint32_t* number) {
  std::uint64_t result = 0;
  std::size_t at = 0;
  while (at < length && IsDigit(value[at])) {
    result = result * 10 + (value[at] - '0');
    if (result > 0xFFFFFFFFu) return false;
    ++at;
  }
  *number = static_cast<std::uint32_t>(result);
  return at > 0;
}

bool IsBodyTag(const char* tag, std::size_t length, std::size_t nameStart) {
  if (length < nameStart + 5 || !NameEquals(tag + nameStart, 4, "body")) return false;
  char after = tag[nameStart + 4];
  return IsSpace(after) || after == '>' || after == '/';
}

}  // namespace

// KF8 numbers its resources, flows and fragments in base 32.
bool Base32Number(const char* text, std::size_t length, std::uint32_t* number) {
  std::uint64_t result = 0;
  std::size_t at = 0;
  for (; at < length; ++at) {
    unsigned char c = Lower(text[at]);
    int digit = IsDigit(c) ? c - '0' : (c >= 'a' && c <= 'v') ? c - 'a' + 10 : -1;
    if (digit < 0) break;
    result = result * 32 + digit;
    if (result > 0xFFFFFFFFu) return false;
  }
  *number = static_cast<std::uint32_t>(result);
  return at > 0;
}

bool ParseKindlePosition(const char* text, std::size_t length, std::uint32_t* fragment,
                         std::uint32_t* offset) {
  const char kFragment[] = "kindle:pos:fid:";
  const char kOffset[] = ":off:";
  std::size_t at = sizeof kFragment - 1;
  if (length < at || std::memcmp(text, kFragment, at) != 0) return false;
  std::size_t digits = at;
  while (digits < length && text[digits] != ':') ++digits;
  if (!Base32Number(text + at, digits - at, fragment) || digits - at > 8) return false;
  at = digits;
  if (length - at < sizeof kOffset - 1 || std::memcmp(text + at, kOffset, sizeof kOffset - 1) != 0)
    return false;
  at += sizeof kOffset - 1;
  return Base32Number(text + at, length - at, offset) && length - at <= 10;
}

void LinkTargets::Add(std::uint32_t target) {
  if (count_ == kCapacity) {
    Compact();
    if (count_ == kCapacity) return;
  }
  targets_[count_++] = target;
}

// Reads the digits of a filepos value from markup[at]; the value may run on
// into the next piece. Returns where the scan goes on.
std::size_t LinkTargets::ReadValue(const unsigned char* markup, std::size_t size, std::size_t at) {
  for (; at < size; ++at) {
    unsigned char c = markup[at];
    if (IsDigit(c) && digits_ < kMaxDigits) {
      value_ = value_ * 10 + (c - '0');
      ++digits_;
      continue;
    }
    if ((c == '"' || c == '\'') && digits_ == 0) continue;
    inValue_ = false;
    if (digits_ > 0) Add(value_);
    return at;
  }
  return at;
}

// Whether the bytes just before markup[at] spell "filepos" in any case,
// counting the tail of the pieces before.
bool LinkTargets::FileposEndsAt(const unsigned char* markup, std::size_t at) const {
  constexpr std::size_t kName = kFileposLength - 1;
  for (std::size_t k = 1; k <= kName; ++k) {
    unsigned char c = at >= k ? markup[at - k] : tail_[kName - (k - at)];
    if (Lower(c) != static_cast<unsigned char>(kFilepos[kName - k])) return false;
  }
  return true;
}

void LinkTargets::KeepTail(const unsigned char* markup, std::size_t size) {
  constexpr std::size_t kName = kFileposLength - 1;
  if (size >= kName) {
    std::memcpy(tail_, markup + size - kName, kName);
    return;
  }
  std::memmove(tail_, tail_ + size, kName - size);
  std::memcpy(tail_ + kName - size, markup, size);
}

// The name ends in '=', which markup has far fewer of than letters: the
// scan jumps from one '=' to the next and looks back.
void LinkTargets::Feed(const unsigned char* markup, std::size_t size) {
  std::size_t at = inValue_ ? ReadValue(markup, size, 0) : 0;
  while (at < size) {
    const void* found = std::memchr(markup + at, '=', size - at);
    if (found == nullptr) break;
    std::size_t equals =
        static_cast<std::size_t>(static_cast<const unsigned char*>(found) - markup);
    at = equals + 1;
    if (!FileposEndsAt(markup, equals)) continue;
    inValue_ = true;
    digits_ = 0;
    value_ = 0;
    at = ReadValue(markup, size, at);
  }
  KeepTail(markup, size);
}

void LinkTargets::Finish() {
  if (inValue_ && digits_ > 0) Add(value_);
  inValue_ = false;
  Compact();
}

void LinkTargets::Compact() {
  std::sort(targets_, targets_ + count_);
  count_ = static_cast<std::size_t>(std::unique(targets_, targets_ + count_) - targets_);
}

int HtmlWriter::Flush() {
  if (buffered_ > 0 && result_ == kResultOk) result_ = sink_->Write(buffer_, buffered_);
  buffered_ = 0;
  return result_;
}

int HtmlWriter::Put(const void* bytes, std::size_t size) {
  const unsigned char* at = static_cast<const unsigned char*>(bytes);
  while (size > 0 && result_ == kResultOk) {
    if (buffered_ == sizeof buffer_) Flush();
    std::size_t piece = std::min(size, sizeof buffer_ - buffered_);
    std::memcpy(buffer_ + buffered_, at, piece);
    buffered_ += piece;
    at += piece;
    size -= piece;
  }
  return result_;
}

int HtmlWriter::WriteRaw(const char* text, std::size_t size) { return Put(text, size); }

int HtmlWriter::PutAnchors(std::uint32_t position) {
  while (targets_ != nullptr && nextTarget_ < targets_->Count() &&
         targets_->At(nextTarget_) <= position) {
    char anchor[48];
    int length = std::snprintf(anchor, sizeof anchor, "<a id=\"filepos%lu\"></a>",
                               static_cast<unsigned long>(targets_->At(nextTarget_)));
    Put(anchor, static_cast<std::size_t>(length));
    ++nextTarget_;
  }
  return result_;
}

int HtmlWriter::RewriteAttribute(const char* name, std::size_t nameLength, const char* value,
                                 std::size_t valueLength, bool* pictureDone, bool* replaced) {
  *replaced = false;
  std::uint32_t number = 0;
  char text[64];
  int length = 0;
  bool picture = NameEquals(name, nameLength, "recindex") ||
                 NameEquals(name, nameLength, "hirecindex") ||
                 NameEquals(name, nameLength, "lorecindex");
  const char kEmbed[] = "kindle:embed:";
  bool linking = NameEquals(name, nameLength, "src") || NameEquals(name, nameLength, "href") ||
                 NameEquals(name, nameLength, "xlink:href");
  std::uint32_t fragment = 0;
  std::uint32_t position = 0;
  bool kindlePosition = linking && positions_ != nullptr &&
                        ParseKindlePosition(value, valueLength, &fragment, &number) &&
                        positions_->Position(fragment, number, &position);
  bool embedded =
      linking && valueLength > sizeof kEmbed - 1 &&
      std::memcmp(value, kEmbed, sizeof kEmbed - 1) == 0 &&
      Base32Number(value + sizeof kEmbed - 1, valueLength - (sizeof kEmbed - 1), &number);
  if (picture && LeadingNumber(value, valueLength, &number)) {
    // One picture per tag: the first reference names it, the others (the
    // same picture at other resolutions) go.
    *replaced = true;
    if (*pictureDone) return result_;
    *pictureDone = true;
    const char* extension = pictures_ ? pictures_->Extension(number) : nullptr;
    length = std::snprintf(text, sizeof text, " src=\"Images/%05lu%s\"",
                           static_cast<unsigned long>(number), extension ? extension : "");
  } else if (embedded) {
    *replaced = true;
    const char* extension = pictures_ ? pictures_->Extension(number) : nullptr;
    length =
        std::snprintf(text, sizeof text, " %.*s=\"Images/%05lu%s\"", static_cast<int>(nameLength),
                      name, static_cast<unsigned long>(number), extension ? extension : "");
  } else if (kindlePosition) {
    *replaced = true;
    length = std::snprintf(text, sizeof text, " %.*s=\"#filepos%lu\"", static_cast<int>(nameLength),
                           name, static_cast<unsigned long>(position));
  } else if (NameEquals(name, nameLength, "filepos") &&
             LeadingNumber(value, valueLength, &number)) {
    *replaced = true;
    length = std::snprintf(text, sizeof text, " href=\"#filepos%lu\"",
                           static_cast<unsigned long>(number));
  }
  if (length > 0) Put(text, static_cast<std::size_t>(length));
  return result_;
}

// Copies the tag, rewriting the attributes that name pictures or
// positions; everything else stays as the book wrote it.
int HtmlWriter::TagEnded() {
  state_ = State::kText;
  const char* tag = tag_;
  std::size_t length = tagLength_;
  tagLength_ = 0;
  if (partsOnly_ && IsBodyTag(tag, length, tag[1] == '/' ? 2 : 1)) {
    // The part's body becomes a division of the one document.
    std::size_t name = tag[1] == '/' ? 2 : 1;
    std::memcpy(tag_ + name, "div ", 4);
    inBody_ = tag[1] != '/';
    if (!inBody_) return Put(tag, length);
  }
  if (length < 3 || tag[1] == '/' || tag[1] == '!' || tag[1] == '?') return Emit(tag, length);
  if (partsOnly_ && !inBody_) return result_;
  std::size_t at = 1;
  while (at < length && !IsSpace(tag[at]) && tag[at] != '>' && tag[at] != '/') ++at;
  std::size_t copied = 0;  // tag[0, copied) is written
  bool pictureDone = false;
  while (at < length) {
    std::size_t spaceStart = at;
    while (at < length && (IsSpace(tag[at]) || tag[at] == '/')) ++at;
    if (at >= length || tag[at] == '>') break;
    std::size_t nameStart = at;
    while (at < length && !IsSpace(tag[at]) && tag[at] != '=' && tag[at] != '>') ++at;
    std::size_t nameEnd = at;
    std::size_t valueStart = at;
    std::size_t valueEnd = at;
    std::size_t probe = at;
    while (probe < length && IsSpace(tag[probe])) ++probe;
    if (probe < length && tag[probe] == '=') {
      ++probe;
      while (probe < length && IsSpace(tag[probe])) ++probe;
      if (probe < length && (tag[probe] == '"' || tag[probe] == '\'')) {
        char quote = tag[probe];
        valueStart = ++probe;
        while (probe < length && tag[probe] != quote) ++probe;
        valueEnd = probe;
        if (probe < length) ++probe;
      } else {
        valueStart = probe;
        while (probe < length && !IsSpace(tag[probe]) && tag[probe] != '>') ++probe;
        valueEnd = probe;
      }
      at = probe;
    }
    Put(tag + copied, spaceStart - copied);
    copied = spaceStart;
    bool replaced = false;
    RewriteAttribute(tag + nameStart, nameEnd - nameStart, tag + valueStart, valueEnd - valueStart,
                     &pictureDone, &replaced);
    if (replaced) copied = at;
  }
  return Put(tag + copied, length - copied);
}

int HtmlWriter::Feed(const unsigned char* markup, std::size_t size, std::uint32_t offset) {
  std::size_t at = 0;
  while (at < size && result_ == kResultOk) {
    unsigned char c = markup[at];
    switch (state_) {
      case State::kText: {
        PutAnchors(offset + static_cast<std::uint32_t>(at));
        // The text runs to the next tag or the next anchor's place, which
        // PutAnchors has left ahead of `at`.
        std::size_t limit = size;
        if (targets_ != nullptr && nextTarget_ < targets_->Count()) {
          std::uint64_t stop = targets_->At(nextTarget_);
          if (stop > offset + at && stop - offset < size) limit = stop - offset;
        }
        const void* tag = std::memchr(markup + at, '<', limit - at);
        std::size_t end =
            tag ? static_cast<std::size_t>(static_cast<const unsigned char*>(tag) - markup) : limit;
        if (end > at) {
          Emit(markup + at, end - at);
          at = end;
          continue;
        }
        if (c == '<') {
          state_ = State::kTag;
          tag_[0] = '<';
          tagLength_ = 1;
          quote_ = 0;
          ++at;
        }
        continue;
      }
      case State::kTag:
        tag_[tagLength_++] = static_cast<char>(c);
        ++at;
        if (tagLength_ == 4 && std::memcmp(tag_, "<!--", 4) == 0) {
          Emit(tag_, tagLength_);
          tagLength_ = 0;
          state_ = State::kComment;
          quote_ = 0;
          continue;
        }
        if (quote_ != 0) {
          if (c == quote_) quote_ = 0;
        } else if (c == '"' || c == '\'') {
          // Quotes open a value only after "="; elsewhere they are text.
          if (tagLength_ >= 2 && tag_[tagLength_ - 2] == '=') quote_ = c;
        } else if (c == '>') {
          TagEnded();
          continue;
        }
        if (tagLength_ == kTagLimit) {
          // Too long to rewrite: passed on as it is.
          Emit(tag_, tagLength_);
          tagLength_ = 0;
          state_ = State::kLongTag;
        }
        continue;
      case State::kLongTag:
        Emit(&c, 1);
        if (c == '>') state_ = State::kText;
        ++at;
        continue;
      case State::kComment:
        Emit(&c, 1);
        // quote_ counts the dashes before a possible end.
        if (c == '>' && quote_ >= 2) state_ = State::kText;
        quote_ = c == '-' ? static_cast<unsigned char>(std::min(quote_ + 1, 2)) : 0;
        ++at;
        continue;
    }
  }
  return result_;
}

void HtmlWriter::StartPart() {
  // A part cut short by damage may leave a tag open: it is its own.
  if (state_ == State::kTag) Emit(tag_, tagLength_);
  tagLength_ = 0;
  state_ = State::kText;
  inBody_ = false;
}

int HtmlWriter::Finish() {
  if (state_ == State::kTag) Emit(tag_, tagLength_);
  tagLength_ = 0;
  state_ = State::kText;
  PutAnchors(0xFFFFFFFFu);
  return Flush();
}

int WriteEscaped(HtmlWriter* writer, const unsigned char* text, std::size_t size) {
  int result = kResultOk;
  std::size_t start = 0;
  for (std::size_t i = 0; i < size && result == kResultOk; ++i) {
    const char* reference = nullptr;
    switch (text[i]) {
      case '&':
        reference = "&amp;";
        break;
      case '<':
        reference = "&lt;";
        break;
      case '>':
        reference = "&gt;";
        break;
      case '"':
        reference = "&quot;";
        break;
      default:
        continue;
    }
    writer->WriteRaw(reinterpret_cast<const char*>(text + start), i - start);
    result = writer->WriteRaw(reference, std::strlen(reference));
    start = i + 1;
  }
  if (result == kResultOk)
    result = writer->WriteRaw(reinterpret_cast<const char*>(text + start), size - start);
  return result;
}

}  // namespace ormidal
