// The conversions paths and names go through at the host boundary.
#include "convert/unicode.hpp"

#include <gtest/gtest.h>

#include <string>

namespace ormidal {
namespace {

TEST(Unicode, OnlyWellFormedUtf8IsAccepted) {
  struct Case {
    std::string text;
    bool valid;
  } cases[] = {
      {"", true},
      {"plain", true},
      {"\xC3\xA9", true},
      {"\xE2\x82\xAC", true},
      {"\xF0\x9F\x98\x80", true},
      {"\xF4\x8F\xBF\xBF", true},  // U+10FFFF
      {"\xC3", false},             // cut short
      {"\xE2\x82", false},
      {"\xC0\xAF", false},          // overlong '/'
      {"\xE0\x80\xAF", false},      // overlong '/'
      {"\xED\xA0\x80", false},      // a surrogate
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"\x80", false},              // a lone continuation
      {"a\xE9z", false},            // Latin-1
  };
  for (const Case& c : cases) EXPECT_EQ(IsUtf8(c.text.data(), c.text.size()), c.valid) << c.text;
}

TEST(Unicode, Utf16PathsConvertWholeOrNotAtAll) {
  char out[16];
  ASSERT_TRUE(Utf16ToUtf8(u"a\u00e9\u20ac\U0001F600", 100, out, sizeof out));
  EXPECT_STREQ(out, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  for (const char16_t* broken : {u"\xD800", u"a\xD800z", u"\xDC00", u"a\xDBFF\xDBFF"}) {
    EXPECT_FALSE(Utf16ToUtf8(broken, 100, out, sizeof out));
  }
  // Limits in code units and in bytes: refused, never cut.
  EXPECT_TRUE(Utf16ToUtf8(u"abc", 3, out, sizeof out));
  EXPECT_FALSE(Utf16ToUtf8(u"abcd", 3, out, sizeof out));
  EXPECT_FALSE(Utf16ToUtf8(u"ab\U0001F600", 3, out, sizeof out));  // the pair would pass 3
  EXPECT_FALSE(Utf16ToUtf8(u"\u20ac\u20ac\u20ac\u20ac\u20ac\u20ac", 100, out, sizeof out));
}

TEST(Unicode, Utf8ToUtf16StopsBeforeACharacterThatWouldNotFit) {
  char16_t out[4];
  std::string text = "ab\xF0\x9F\x98\x80";
  EXPECT_EQ(Utf8ToUtf16(text.data(), text.size(), out, 4), 2u);  // the pair needs two more
  EXPECT_EQ(std::u16string(out), u"ab");
  char16_t wide[8];
  std::string bad = "a\xFFz";
  EXPECT_EQ(Utf8ToUtf16(bad.data(), bad.size(), wide, 8), 3u);
  EXPECT_EQ(std::u16string(wide), u"a\uFFFDz");
}

TEST(Unicode, CutsFallOnCharacterBoundaries) {
  std::string text = "a\xC3\xA9\xE2\x82\xAC";
  EXPECT_EQ(Utf8PrefixOfBytes(text.data(), text.size(), 6), 6u);
  EXPECT_EQ(Utf8PrefixOfBytes(text.data(), text.size(), 5), 3u);
  EXPECT_EQ(Utf8PrefixOfBytes(text.data(), text.size(), 2), 1u);
  EXPECT_EQ(Utf8PrefixOfCharacters(text.data(), text.size(), 2), 3u);
  EXPECT_EQ(Utf8PrefixOfCharacters(text.data(), text.size(), 9), 6u);
}

TEST(Unicode, Windows1252HasWhatItHasAndUnderscoresTheRest) {
  std::string text = "Caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9E\xCE\xB1\xEF\xBF\xBD";
  char out[32];
  std::size_t length = Utf8ToWindows1252(text.data(), text.size(), out, sizeof out);
  EXPECT_EQ(std::string(out, length), "Caf\xE9 \x80 \x84__");
  EXPECT_EQ(Utf8ToWindows1252(text.data(), text.size(), out, 4), 3u);  // cut to the room
}

}  // namespace
}  // namespace ormidal
