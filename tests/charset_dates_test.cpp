// Windows-1252 to UTF-8, the handheld's packed dates and the database time
// stamps as vCard and iCalendar write them.
#include <gtest/gtest.h>

#include <string>

#include "convert/charset.hpp"
#include "convert/handheld/packed_date.hpp"

#if !defined(_WIN32)
#include <iconv.h>
#endif

namespace ormidal {
namespace {

std::string Utf8(char32_t codePoint) {
  char out[4];
  return std::string(out, EncodeUtf8(codePoint, out));
}

TEST(Charset, Windows1252BytesThatDifferFromLatin1AndTheUndefinedFive) {
  struct Case {
    unsigned char byte;
    char32_t codePoint;
  } cases[] = {
      {0x00, 0x0000}, {0x41, 0x0041}, {0x7F, 0x007F}, {0x80, 0x20AC},
      {0x81, 0xFFFD}, {0x8A, 0x0160}, {0x8D, 0xFFFD}, {0x8F, 0xFFFD},
      {0x90, 0xFFFD}, {0x93, 0x201C}, {0x99, 0x2122}, {0x9D, 0xFFFD},
      {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xE9, 0x00E9}, {0xFF, 0x00FF},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<unsigned long>(CodePointOfWindows1252(c.byte)),
              static_cast<unsigned long>(c.codePoint))
        << int{c.byte};
  }
}

#if !defined(_WIN32)
// The C library's own CP1252 table decides every defined byte.
TEST(Charset, EveryDefinedByteAgreesWithIconv) {
  iconv_t decoder = iconv_open("UTF-8", "CP1252");
  if (decoder == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "iconv has no CP1252";
  int undefined = 0;
  for (int byte = 0; byte < 256; ++byte) {
    char in[1] = {static_cast<char>(byte)};
    char out[8];
    char* inPointer = in;
    char* outPointer = out;
    std::size_t inLeft = 1, outLeft = sizeof out;
    iconv(decoder, nullptr, nullptr, nullptr, nullptr);
    std::size_t done = iconv(decoder, &inPointer, &inLeft, &outPointer, &outLeft);
    std::string mine = Utf8(CodePointOfWindows1252(static_cast<unsigned char>(byte)));
    if (done == static_cast<std::size_t>(-1)) {
      ++undefined;
      EXPECT_EQ(mine, "\xEF\xBF\xBD") << byte;
    } else {
      EXPECT_EQ(mine, std::string(out, outPointer)) << byte;
    }
  }
  iconv_close(decoder);
  EXPECT_EQ(undefined, 5);
}
#endif

TEST(Charset, Utf8AtEachLengthBoundaryAndForNonCharacters) {
  struct Case {
    char32_t codePoint;
    const char* utf8;
  } cases[] = {
      {0x7F, "\x7F"},
      {0x80, "\xC2\x80"},
      {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},
      {0x20AC, "\xE2\x82\xAC"},
      {0xFFFF, "\xEF\xBF\xBF"},
      {0x10000, "\xF0\x90\x80\x80"},
      {0x10FFFF, "\xF4\x8F\xBF\xBF"},
      {0xD800, "\xEF\xBF\xBD"},
      {0xDFFF, "\xEF\xBF\xBD"},
      {0x110000, "\xEF\xBF\xBD"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Utf8(c.codePoint), c.utf8) << std::hex << static_cast<unsigned long>(c.codePoint);
  EXPECT_EQ(Utf8(0), std::string(1, '\0'));
}

std::uint16_t Pack(int year, int month, int day) {
  return static_cast<std::uint16_t>(((year - 1904) << 9) | (month << 5) | day);
}

TEST(PackedDate, ValidNoneAndImpossibleDates) {
  struct Case {
    std::uint16_t packed;
    DateStatus status;
    const char* text;
  } cases[] = {
      {Pack(2008, 1, 4), DateStatus::kValid, "20080104"},
      {Pack(1904, 1, 1), DateStatus::kValid, "19040101"},
      {Pack(2031, 12, 31), DateStatus::kValid, "20311231"},
      {Pack(2004, 2, 29), DateStatus::kValid, "20040229"},
      {Pack(2000, 2, 29), DateStatus::kValid, "20000229"},
      {0xFFFF, DateStatus::kNone, ""},
      {Pack(2003, 2, 29), DateStatus::kInvalid, ""},
      {Pack(1904 + 96, 2, 30), DateStatus::kInvalid, ""},
      {Pack(2004, 4, 31), DateStatus::kInvalid, ""},
      {Pack(2004, 0, 10), DateStatus::kInvalid, ""},
      {Pack(2004, 13, 10), DateStatus::kInvalid, ""},
      {Pack(2004, 15, 31), DateStatus::kInvalid, ""},
      {Pack(2004, 5, 0), DateStatus::kInvalid, ""},
  };
  for (const Case& c : cases) {
    CalendarDate date = {0, 0, 0};
    EXPECT_EQ(UnpackDate(c.packed, &date), c.status) << std::hex << c.packed;
    if (c.status == DateStatus::kValid) {
      char text[kDateTextSize];
      FormatDate(date, text);
      EXPECT_STREQ(text, c.text);
    }
  }
}

TEST(PackedDate, NextDayCrossesMonthsYearsAndLeapDays) {
  struct Case {
    CalendarDate day, next;
  } cases[] = {
      {{2004, 3, 12}, {2004, 3, 13}}, {{2004, 2, 28}, {2004, 2, 29}},
      {{2003, 2, 28}, {2003, 3, 1}},  {{2004, 2, 29}, {2004, 3, 1}},
      {{2004, 4, 30}, {2004, 5, 1}},  {{2031, 12, 31}, {2032, 1, 1}},
  };
  for (const Case& c : cases) {
    CalendarDate next = NextDay(c.day);
    EXPECT_EQ(next.year, c.next.year);
    EXPECT_EQ(next.month, c.next.month);
    EXPECT_EQ(next.day, c.next.day);
  }
}

TEST(DatabaseTime, BothEpochsInUtc) {
  constexpr std::uint32_t k1904To1970 = 2082844800u;
  struct Case {
    std::uint32_t seconds;
    const char* text;
  } cases[] = {
      {0, "19700101T000000Z"},
      {1079087400u, "20040312T103000Z"},
      {1079087400u + k1904To1970, "20040312T103000Z"},
      {951825600u + k1904To1970, "20000229T120000Z"},
      {0x7FFFFFFFu, "20380119T031407Z"},
      {0x80000000u, "19720119T031408Z"},
      {0xFFFFFFFFu, "20400206T062815Z"},
  };
  for (const Case& c : cases) {
    char text[kUtcTextSize];
    FormatUtc(DatabaseTimeToUtc(c.seconds), text);
    EXPECT_STREQ(text, c.text) << c.seconds;
  }
}

}  // namespace
}  // namespace ormidal
