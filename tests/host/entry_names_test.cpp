// The host's own handling of entry names, apart from any database: names
// that must not leave the destination folder, patterns, and output forms.
#include "entry_names.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>

namespace ormidal::host {
namespace {

// One leading separator is the archive's root, so "/etc/passwd" is the
// entry etc/passwd under the destination, not the system's file.
TEST(EntryNames, NamesThatStayInsideTheFolderAreAccepted) {
  for (const char* name :
       {"book.TEXt", "Records\\00001", "Converted/ORMIDAL_book.txt", "a..b", "...", "a/./b",
        "1:", "a/12:c", "\\00001", "/ORMIDAL_b.txt", "/etc/passwd"})
    EXPECT_TRUE(IsContainedName(name)) << name;
}

TEST(EntryNames, NamesThatWouldEscapeAreRefused) {
  for (const char* name :
       {"",     "/",     "\\",     "//x",    "\\\\server\\share", "\\/x",        "..",
        "../x", "/../x", "\\..",   "a/../b", "a\\..\\b",          "Records\\..", "C:x",
        "x:y",  "c:\\x", "/c:\\x", "Z:",     "a\\C:\\x",          "a/d:b"})
    EXPECT_FALSE(IsContainedName(name)) << name;
}

TEST(EntryNames, OneLeadingSeparatorIsTheRoot) {
  EXPECT_EQ(RootRelativeName("\\00001"), "00001");
  EXPECT_EQ(RootRelativeName("/a/b"), "a/b");
  EXPECT_EQ(RootRelativeName("//a"), "//a");
  EXPECT_EQ(RootRelativeName("/"), "/");
  EXPECT_EQ(DisplayName("\\ORMIDAL_b.txt"), "ORMIDAL_b.txt");
  EXPECT_EQ(DisplayName("\\\\x"), "//x");
  EXPECT_TRUE(MatchesPattern("0000?", DisplayName("\\00001")));
}

TEST(EntryNames, ShellPatternsMatchWholeNames) {
  EXPECT_TRUE(MatchesPattern("*", "Records/00001"));
  EXPECT_TRUE(MatchesPattern("Records/*", "Records/00001"));
  EXPECT_TRUE(MatchesPattern("Records\\0000?", "Records/00001"));
  EXPECT_TRUE(MatchesPattern("*.txt", "Converted/ORMIDAL_book.txt"));
  EXPECT_TRUE(MatchesPattern("*/*_b*k.t?t", "Converted/ORMIDAL_book.txt"));
  EXPECT_TRUE(MatchesPattern("Records/000[0-2][!3]", "Records/00011"));
  EXPECT_TRUE(MatchesPattern("a[]]", "a]"));
  EXPECT_TRUE(MatchesPattern("[", "["));
  EXPECT_FALSE(MatchesPattern("Records/0000", "Records/00001"));
  EXPECT_FALSE(MatchesPattern("*.txt", "book.TEXt"));
  EXPECT_FALSE(MatchesPattern("Records/000[^1]1", "Records/00011"));
  EXPECT_FALSE(MatchesPattern("?", ""));
  EXPECT_TRUE(MatchesPattern("**a*", "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbba"));
  EXPECT_FALSE(MatchesPattern("*a*a*a*a*a*b", std::string(200, 'a')));
}

// Names arrive in UTF-8: '?' and a set stand for a whole character, never
// for one byte of it.
TEST(EntryNames, PatternsTakeWholeUtf8Characters) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  } const cases[] = {
      {"Caf?", "Caf\xC3\xA9", true},
      {"Caf??", "Caf\xC3\xA9", false},
      {"?", "\xF0\x9F\x98\x80", true},  // an emoji, four bytes
      {"??", "\xF0\x9F\x98\x80", false},
      {"*??", "\xC3\xA9", false},
      {"*?", "a\xE6\x9B\xB8", true},
      {"*[\xE6\x9B\xB8]", "a\xE6\x9B\xB8", true},  // the set holds one CJK character
      {"[\xC3\xA0-\xC3\xAB]", "\xC3\xAA", true},   // à-ë holds ê
      {"[\xC3\xA0-\xC3\xAB]", "\xC3\xAC", false},
      {"[!\xC3\xA9]", "\xC3\xA9", false},
      {"[!\xC3\xA9]", "e", true},
      {"[!a]", "\xC3\xA9", true},
      {"*\xE2\x82\xAC.TEXt", "Caf\xC3\xA9 \xE2\x82\xAC.TEXt", true},
      {"Records/*\xCE\xB2", "Records/\xCE\xB1\xCE\xB2", true},
      {"?", "\xE9", true},  // a byte that starts no sequence is one character
      {"??", "\xC3", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MatchesPattern(c.pattern, c.name), c.matches) << c.pattern << " / " << c.name;
}

TEST(EntryNames, DisplayUsesForwardSlashesAndTitlesAreTheLastPart) {
  EXPECT_EQ(DisplayName("Records\\00001"), "Records/00001");
  EXPECT_EQ(FileTitle("Converted\\ORMIDAL_book.txt"), "ORMIDAL_book.txt");
  EXPECT_EQ(FileTitle("a/b\\c"), "c");
  EXPECT_EQ(FileTitle("book.TEXt"), "book.TEXt");
}

#if defined(_WIN32)
TEST(EntryNames, TimesComeFromThePackedDosForm) {
  // 2008-01-04 12:34:56: year 28, month 1, day 4; 12 h, 34 min, 28 two-second steps.
  std::uint32_t dos = (28u << 25) | (1u << 21) | (4u << 16) | (12u << 11) | (34u << 5) | 28u;
  EXPECT_EQ(ListingTime(dos), "2008-01-04 12:34");
  std::string iso = IsoTime(dos);
  EXPECT_EQ(iso.size(), 20u) << iso;
  EXPECT_EQ(iso.back(), 'Z') << iso;
}
#else
// Unix times, shown on the local clock and in UTC; the sign counts.
TEST(EntryNames, TimesComeFromUnixTimes) {
  const char* saved = std::getenv("TZ");
  std::string restore = saved != nullptr ? saved : "";
  setenv("TZ", "UTC-3", 1);
  tzset();
  std::uint32_t noon = 1199448000;  // 2008-01-04T12:00:00Z
  EXPECT_EQ(ListingTime(noon), "2008-01-04 15:00");
  EXPECT_EQ(IsoTime(noon), "2008-01-04T12:00:00Z");
  EXPECT_EQ(IsoTime(0xFFFFFFFFu), "1969-12-31T23:59:59Z");
  EXPECT_EQ(IsoTime(0x7FFFFFFFu), "2038-01-19T03:14:07Z");
  EXPECT_EQ(IsoTime(0x80000000u), "1901-12-13T20:45:52Z");
  if (saved != nullptr) {
    setenv("TZ", restore.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}
#endif

TEST(EntryNames, JsonStringsAreAlwaysValid) {
  EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(JsonString("tab\there"), "\"tab\\u0009here\"");
  EXPECT_EQ(JsonString("caf\xC3\xA9"), "\"caf\xC3\xA9\"");  // UTF-8 stays as it is
  EXPECT_EQ(JsonString("caf\xE9"), "\"caf\\u00e9\"");       // Latin-1 is escaped
  EXPECT_EQ(JsonString("\xC3"), "\"\\u00c3\"");             // a cut sequence too
  EXPECT_EQ(JsonString("\xF0\x9F\x98\x80"), "\"\xF0\x9F\x98\x80\"");
  // Forms no UTF-8 reader accepts: overlong, a surrogate, past U+10FFFF.
  EXPECT_EQ(JsonString("\xC0\xAF"), "\"\\u00c0\\u00af\"");
  EXPECT_EQ(JsonString("\xED\xA0\x80"), "\"\\u00ed\\u00a0\\u0080\"");
  EXPECT_EQ(JsonString("\xF4\x90\x80\x80"), "\"\\u00f4\\u0090\\u0080\\u0080\"");
}

// The listing is built with these instead of printf; they must write what
// printf's "%*llu" writes, for every width, or the columns shift.
TEST(EntryNames, DecimalsAreAlignedAsPrintfAlignsThem) {
  const std::uint64_t values[] = {0,
                                  1,
                                  9,
                                  10,
                                  99999999,
                                  999999999,
                                  1000000000,
                                  4294967295u,
                                  1234567890123ull,
                                  std::numeric_limits<std::uint64_t>::max()};
  for (std::uint64_t value : values) {
    for (int width : {0, 1, 5, 9, 20, 24}) {
      char expected[40];
      std::snprintf(expected, sizeof expected, "%*llu", width,
                    static_cast<unsigned long long>(value));
      std::string out = "x";
      AppendDecimal(&out, value, static_cast<std::size_t>(width));
      EXPECT_EQ(out, std::string("x") + expected) << value << " in " << width;
    }
  }
}

TEST(EntryNames, AppendingKeepsWhatIsThereAndConvertsOnlyTheNewPart) {
  std::string out = "a\\b ";
  AppendDisplayName(&out, "Records\\00001");
  EXPECT_EQ(out, "a\\b Records/00001");
  out = "[";
  AppendJsonString(&out, "caf\xE9");
  AppendJsonString(&out, "caf\xC3\xA9");
  EXPECT_EQ(out, "[\"caf\\u00e9\"\"caf\xC3\xA9\"");
}

}  // namespace
}  // namespace ormidal::host
