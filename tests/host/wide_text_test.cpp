// The command's conversions between its UTF-8 and Windows' UTF-16: any
// name Windows gives must come back unchanged, and no byte string may turn
// into the name of another file.
#include "wide_text.hpp"

#include <gtest/gtest.h>

#include <string>

namespace ormidal::host {
namespace {

TEST(WideText, Utf16RoundTripsThroughUtf8) {
  struct Case {
    std::u16string wide;
    std::string utf8;
  } const cases[] = {
      {u"", ""},
      {u"book.pdb", "book.pdb"},
      {u"Caf\u00E9 \u20AC \u201E", "Caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9E"},
      {u"\u03A6\u03AC \u66F8", "\xCE\xA6\xCE\xAC \xE6\x9B\xB8"},
      {u"\U0001F600", "\xF0\x9F\x98\x80"},  // a surrogate pair
      {u"\uFFFF\u0080\u07FF\u0800", "\xEF\xBF\xBF\xC2\x80\xDF\xBF\xE0\xA0\x80"},
      // Surrogates without a partner, as Windows file names may hold them.
      {std::u16string(1, 0xD800), "\xED\xA0\x80"},
      {u"a" + std::u16string(1, 0xDFFF) + u"b",
       "a\xED\xBF\xBF"
       "b"},
      {std::u16string{0xDC00, 0xD800}, "\xED\xB0\x80\xED\xA0\x80"},  // the pair reversed
      {std::u16string{0xD83D, u'x'}, "\xED\xA0\xBDx"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8FromUtf16(c.wide), c.utf8) << c.utf8;
    EXPECT_EQ(Utf16FromUtf8(c.utf8), c.wide) << c.utf8;
  }
  // Zeros are kept: a host's list of names is zero-separated.
  EXPECT_EQ(Utf16FromUtf8(std::string("a\0\xC3\xA9\0\0", 6)), std::u16string(u"a\0\u00E9\0\0", 5));
}

// A byte that begins no valid sequence becomes a lone surrogate of its
// own, which a plug-in refuses, rather than U+FFFD, which is a character
// that files may be named with.
TEST(WideText, BytesThatAreNotUtf8BecomeLoneSurrogates) {
  struct Case {
    std::string utf8;
    std::u16string wide;
  } const cases[] = {
      {"caf\xE9", u"caf" + std::u16string(1, 0xDCE9)},
      {"\xC3", std::u16string(1, 0xDCC3)},                                   // cut short
      {"\xC0\xAF", std::u16string{0xDCC0, 0xDCAF}},                          // overlong '/'
      {"\xE0\x80\xAF", std::u16string{0xDCE0, 0xDC80, 0xDCAF}},              // overlong '/'
      {"\xF4\x90\x80\x80", std::u16string{0xDCF4, 0xDC90, 0xDC80, 0xDC80}},  // past U+10FFFF
      {"\xC3(", std::u16string{0xDCC3, u'('}},
  };
  for (const Case& c : cases) {
    std::u16string wide = Utf16FromUtf8(c.utf8);
    EXPECT_EQ(wide, c.wide) << c.utf8;
    EXPECT_EQ(wide.find(u'\uFFFD'), std::u16string::npos) << c.utf8;
  }
}

}  // namespace
}  // namespace ormidal::host
