#include "platform/profile_reader.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.hpp"
#include "support/database_builder.hpp"

namespace ormidal::platform {
namespace {

// Answers a lookup over `text` through the platform's reader, from a file.
std::string Lookup(const std::string& text, const char* section, const char* key,
                   std::size_t size = 63) {
  testing::TempDir dir;
  std::string path = dir.File("ormidal.ini");
  testing::WriteFileBytes(path, testing::ToBytes(text));
  char buffer[256];
  std::memset(buffer, 'x', sizeof buffer);
  std::size_t length =
      ReadProfileString(section, key, "DEFAULT", ProfileText::kAnsi, buffer, size, path.c_str());
  EXPECT_EQ(length, std::strlen(buffer));
  return buffer;
}

TEST(ProfileReader, FindsKeysOfTheSectionAndFallsBackOtherwise) {
  std::string text = "[Other]\nRecords=Wrong\n[ORMIDAL]\nRecords=Daten\n";
  EXPECT_EQ(Lookup(text, "ORMIDAL", "Records"), "Daten");
  EXPECT_EQ(Lookup(text, "ORMIDAL", "Converted"), "DEFAULT");
  EXPECT_EQ(Lookup(text, "Missing", "Records"), "DEFAULT");
  EXPECT_EQ(Lookup("Records=Top\n[ORMIDAL]\n", "ORMIDAL", "Records"), "DEFAULT");
}

TEST(ProfileReader, MissingFileGivesTheDefault) {
  char buffer[63];
  ReadProfileString("ORMIDAL", "Records", "Records", ProfileText::kAnsi, buffer, sizeof buffer,
                    "no-such-folder/ormidal.ini");
  EXPECT_STREQ(buffer, "Records");
}

TEST(ProfileReader, EmptyValueIsEmptyNotTheDefault) {
  EXPECT_EQ(Lookup("[ORMIDAL]\nRecords=\n", "ORMIDAL", "Records"), "");
  EXPECT_EQ(Lookup("[ORMIDAL]\nRecords=   \n", "ORMIDAL", "Records"), "");
}

TEST(ProfileReader, NamesAreCaseInsensitiveAndBlanksTrimmed) {
  EXPECT_EQ(Lookup("  [ ormidal ]  \n  records  =  Mes notes  \n", "ORMIDAL", "Records"),
            "Mes notes");
  EXPECT_EQ(Lookup("[ORMIDAL]\r\nConverted=Umgewandelt\r\n", "ORMIDAL", "Converted"),
            "Umgewandelt");
  EXPECT_EQ(Lookup("[ORMIDAL]\n\tRecords\t=\tTabs\t", "ORMIDAL", "Records"), "Tabs");
}

TEST(ProfileReader, MatchingQuotesAreRemoved) {
  EXPECT_EQ(Lookup("[ORMIDAL]\nRecords=\" spaced \"\n", "ORMIDAL", "Records"), " spaced ");
  EXPECT_EQ(Lookup("[ORMIDAL]\nRecords='single'\n", "ORMIDAL", "Records"), "single");
  EXPECT_EQ(Lookup("[ORMIDAL]\nRecords=\"open\n", "ORMIDAL", "Records"), "\"open");
  EXPECT_EQ(Lookup("[ORMIDAL]\nRecords=\"mixed'\n", "ORMIDAL", "Records"), "\"mixed'");
}

TEST(ProfileReader, CommentsByteOrderMarkAndFirstMatchWins) {
  std::string text =
      "\xEF\xBB\xBF[ORMIDAL]\n;Records=Commented\n  ; Records=Also\nRecords=First\nRecords=Second\n"
      "[ORMIDAL]\nRecords=Third\nConverted=Later\n";
  EXPECT_EQ(Lookup(text, "ORMIDAL", "Records"), "First");
  // A second section of the same name is not read.
  EXPECT_EQ(Lookup(text, "ORMIDAL", "Converted"), "DEFAULT");
}

TEST(ProfileReader, KeepsAtMostSizeLessOneCharacters) {
  std::string seventy(70, 'v');
  EXPECT_EQ(Lookup("[ORMIDAL]\nRecords=" + seventy + "\n", "ORMIDAL", "Records"),
            std::string(62, 'v'));
  EXPECT_EQ(Lookup("[ORMIDAL]\nRecords=" + std::string(62, 'w') + "\n", "ORMIDAL", "Records"),
            std::string(62, 'w'));
}

TEST(ProfileReader, ValueWithEqualsSignsKeepsThem) {
  EXPECT_EQ(Lookup("[ORMIDAL]\nRecords=a=b\n", "ORMIDAL", "Records"), "a=b");
}

}  // namespace
}  // namespace ormidal::platform
