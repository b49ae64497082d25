#include "plugin/module.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/database_builder.hpp"

namespace ormidal {
namespace {

std::string Native(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = platform::kSeparator;
  }
  return path;
}

TEST(LanguageFilePath, SitsInLangBesideTheLibrary) {
  char out[platform::kPathBufferSize];
  ASSERT_TRUE(
      BuildLanguageFilePath(Native("C:\\tools\\db\\plugin.dll").c_str(), "de", out, sizeof out));
  EXPECT_EQ(std::string(out), Native("C:\\tools\\db\\lang\\de\\ormidal.ini"));
}

TEST(LanguageFilePath, APathWithoutSeparatorIsCutAfterItsFirstCharacter) {
  char out[platform::kPathBufferSize];
  ASSERT_TRUE(BuildLanguageFilePath("plugin.dll", "fr", out, sizeof out));
  EXPECT_EQ(std::string(out), Native("plang\\fr\\ormidal.ini"));
}

TEST(LanguageFilePath, IsLeftEmptyRatherThanCutWhenTooLong) {
  char out[platform::kPathBufferSize];
  // The folder alone fits; with lang/xx/ormidal.ini it would pass the limit.
  std::string folder(platform::kLongPathLimit - 19, 'd');
  std::string library = folder + platform::kSeparator + "x.dll";
  EXPECT_FALSE(BuildLanguageFilePath(library.c_str(), "de", out, sizeof out));
  EXPECT_STREQ(out, "");
  // Exactly at the limit it is kept.
  std::string fits(platform::kLongPathLimit - std::string("lang/de/ormidal.ini").size() - 1, 'd');
  library = fits + platform::kSeparator + "x.dll";
  ASSERT_TRUE(BuildLanguageFilePath(library.c_str(), "de", out, sizeof out));
  EXPECT_EQ(std::string(out).size(), platform::kLongPathLimit);
}

TEST(LanguageFilePath, TheEntryRoutineRebuildsTheSameValue) {
  InitializeModule(nullptr);
  std::string first = Module().languageFilePath;
  InitializeModule(nullptr);
  EXPECT_EQ(first, Module().languageFilePath);
  EXPECT_NE(first.find("ormidal.ini"), std::string::npos);
}

#if !defined(_WIN32)
// The POSIX language lookup: the first of LC_ALL, LC_MESSAGES and LANG that
// is set and not empty decides.
class UserLanguageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
      const char* value = getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
      unsetenv(name);
    }
  }
  void TearDown() override {
    for (auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }
  static std::string Language() {
    char language[3];
    platform::UserLanguage(language);
    return language;
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(UserLanguageTest, FollowsPosixLocaleLookup) {
  EXPECT_EQ(Language(), "en");
  setenv("LANG", "fr_FR.UTF-8", 1);
  EXPECT_EQ(Language(), "fr");
  setenv("LC_MESSAGES", "ES_es", 1);
  EXPECT_EQ(Language(), "es");
  setenv("LC_ALL", "", 1);  // empty: skipped
  EXPECT_EQ(Language(), "es");
  setenv("LC_ALL", "de_DE", 1);
  EXPECT_EQ(Language(), "de");
  for (const char* odd : {"C", "POSIX", "C.UTF-8", "1x", "d"}) {
    SCOPED_TRACE(odd);
    setenv("LC_ALL", odd, 1);
    EXPECT_EQ(Language(), "en");
  }
}
#endif

}  // namespace
}  // namespace ormidal

namespace ormidal {
namespace {

// The settings file beside the library: Compress is read as a whole number.
TEST(CompressSetting, IsOnForAnyNumberButZero) {
  testing::TempDir dir;
  std::string path = dir.File("ormidal.ini");
  EXPECT_FALSE(CompressSetting(path.c_str()));  // no file
  EXPECT_FALSE(CompressSetting(""));
  const struct {
    const char* contents;
    bool on;
  } cases[] = {{"[ORMIDAL]\nCompress=1\n", true},    {"[ormidal]\r\ncompress = 1\r\n", true},
               {"[ORMIDAL]\nCompress=0\n", false},   {"[ORMIDAL]\nCompress=10\n", true},
               {"[ORMIDAL]\nCompress=yes\n", false}, {"[ORMIDAL]\nRecords=1\n", false},
               {"[OTHER]\nCompress=1\n", false},     {"[ORMIDAL]\nCompress=\"1\"\n", true}};
  for (const auto& c : cases) {
    testing::WriteFileBytes(path, testing::ToBytes(c.contents));
    EXPECT_EQ(CompressSetting(path.c_str()), c.on) << c.contents;
  }
}

TEST(CompressSetting, TheFileSitsBesideTheLibrary) {
  char path[platform::kPathBufferSize];
  std::string library = std::string("folder") + platform::kSeparator + "ormidal.so";
  ASSERT_TRUE(BuildSettingsFilePath(library.c_str(), path, sizeof path));
  EXPECT_EQ(std::string(path), std::string("folder") + platform::kSeparator + "ormidal.ini");
}

}  // namespace
}  // namespace ormidal
