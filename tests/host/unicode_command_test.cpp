// The `ormidal` command with paths in scripts no ANSI code page holds all
// of (Greek, CJK, an emoji), and with database names in the handheld's
// Windows-1252: every path reaches the file it names, and every name is
// shown in UTF-8.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "command_runner.hpp"
#include "platform/platform.hpp"
#include "support/database_builder.hpp"
#include "wide_text.hpp"

namespace ormidal::testing {
namespace {

namespace fs = std::filesystem;

std::string Join(const std::string& folder, const std::string& name) {
  return folder + platform::kSeparator + name;
}

// The tests hold paths in UTF-8, as the command does; on Windows these
// reach the file system in UTF-16.
void WriteAt(const std::string& path, const Bytes& bytes) {
  std::ofstream out(host::NativePath(path), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

std::string ReadAt(const std::string& path) {
  std::ifstream in(host::NativePath(path), std::ios::binary);
  if (!in) return "<missing>";
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes Book() {
  return DatabaseBuilder()
      .Name("book")
      .AddRecord(DocumentHeader(1, 13, 2))
      .AddRecord("Hello\nworld")
      .AddRecord("!\n")
      .Build();
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(UnicodeCommand, PathsInAnyScriptListExtractConvertAndPack) {
  TempDir dir;
  std::string folder = dir.File("Φάκελος 書 😀");
  fs::create_directory(host::NativePath(folder));
  std::string book = Join(folder, "βιβλίο 😀.pdb");
  WriteAt(book, Book());

  CommandResult listed = RunOrmidal({"list", book});
  EXPECT_EQ(listed.exitCode, 0) << listed.err;
  EXPECT_TRUE(Has(listed.out, "Records/00001") && Has(listed.out, "5 entries")) << listed.out;
  CommandResult json = RunOrmidal({"list", book, "--json"});
  EXPECT_TRUE(Has(json.out, "{\"name\": \"book.TEXt\", \"size\": 29")) << json.out;

  // Into a folder of such a name, which the command creates.
  std::string out = Join(folder, "ἔξοδος 出力 🎉");
  CommandResult extracted = RunOrmidal({"extract", book, "-d", out});
  EXPECT_EQ(extracted.exitCode, 0) << extracted.err;
  EXPECT_EQ(ReadAt(Join(Join(out, "Records"), "00001")), "Hello\nworld");
  EXPECT_EQ(ReadAt(Join(Join(out, "Converted"), "ORMIDAL_book.txt")), "Hello\r\nworld!\r\n");
  // And into the current folder, named so, by a relative path.
  CommandResult here = RunOrmidal({"extract", "βιβλίο 😀.pdb", "book.TEXt"}, folder);
  EXPECT_EQ(here.exitCode, 0) << here.err;
  EXPECT_EQ(ReadAt(Join(folder, "book.TEXt")).size(), 29u);

  std::string converted = Join(out, "κείμενο 文字 📄.txt");
  CommandResult toFile = RunOrmidal({"convert", book, "-o", converted});
  EXPECT_EQ(toFile.exitCode, 0) << toFile.err;
  EXPECT_EQ(ReadAt(converted), "Hello\r\nworld!\r\n");
  EXPECT_EQ(RunOrmidal({"convert", book}).out, "Hello\r\nworld!\r\n");

  std::string text = Join(folder, "σημείωση 筆記 ✏.txt");
  WriteAt(text, ToBytes("one\r\ntwo\n"));
  std::string packed = Join(out, "νέο 新 😀.pdb");
  CommandResult pack = RunOrmidal({"pack", text, packed});
  EXPECT_EQ(pack.exitCode, 0) << pack.err;
  EXPECT_EQ(RunOrmidal({"convert", packed}).out, "one\r\ntwo\r\n");
  CommandResult relative = RunOrmidal({"pack", "σημείωση 筆記 ✏.txt", "ξανά 😀.pdb"}, folder);
  EXPECT_EQ(relative.exitCode, 0) << relative.err;
  EXPECT_EQ(RunOrmidal({"convert", Join(folder, "ξανά 😀.pdb")}).out, "one\r\ntwo\r\n");

  // Messages name such paths in UTF-8, as they were given.
  CommandResult again = RunOrmidal({"pack", text, packed});
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_TRUE(Has(again.err, packed + ": already exists")) << again.err;
  std::string missing = Join(folder, "λείπει 欠 😀.pdb");
  CommandResult notThere = RunOrmidal({"list", missing});
  EXPECT_EQ(notThere.exitCode, 1);
  EXPECT_TRUE(Has(notThere.err, missing + ": cannot open")) << notThere.err;
}

std::string FileName(const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); }

// The command finds the plug-in beside itself, and loads one it is given,
// in a folder of any name.
TEST(UnicodeCommand, ThePlugInLoadsFromAFolderOfAnyName) {
  TempDir dir;
  std::string folder = dir.File("Πρόγραμμα 程序 🚀");
  fs::create_directory(host::NativePath(folder));
  std::string program = Join(folder, FileName(BuiltCommandPath()));
  std::string plugin = Join(folder, FileName(BuiltPluginPath()));
  fs::copy_file(host::NativePath(BuiltCommandPath()), host::NativePath(program));
  fs::copy_file(host::NativePath(BuiltPluginPath()), host::NativePath(plugin));
  std::string book = Join(folder, "βιβλίο.pdb");
  WriteAt(book, Book());

  CommandResult beside = RunOrmidal({"list", book}, "", "", program);
  EXPECT_EQ(beside.exitCode, 0) << beside.err;
  EXPECT_TRUE(Has(beside.out, "5 entries")) << beside.out;
  CommandResult given = RunOrmidal({"--plugin", plugin, "list", book});
  EXPECT_EQ(given.exitCode, 0) << given.err;
  EXPECT_TRUE(Has(given.out, "5 entries")) << given.out;

  std::string none = Join(folder, "κανένα 😀.so");
  CommandResult missing = RunOrmidal({"--plugin", none, "list", book});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_TRUE(Has(missing.err, none + ": cannot load the plug-in")) << missing.err;
}

// The handheld writes its names in Windows-1252, whatever the machine's
// code page: they list, match and extract as the characters they stand
// for, in UTF-8.
TEST(UnicodeCommand, Windows1252DatabaseNamesShowAsTheirCharacters) {
  TempDir dir;
  Bytes name(32, 0);
  const char stored[] = "Caf\xE9 \x80 \x84quoted\x93";
  std::copy(stored, stored + sizeof stored - 1, name.begin());
  std::string database = DatabaseBuilder()
                             .NameBytes(name)
                             .AddRecord(DocumentHeader(1, 2, 1))
                             .AddRecord("hi")
                             .WriteTo(dir.File("names.pdb"));
  const std::string shown = "Café € „quoted“";

  CommandResult json = RunOrmidal({"list", database, "--json"});
  EXPECT_EQ(json.exitCode, 0) << json.err;
  EXPECT_TRUE(Has(json.out, "{\"name\": \"Converted/ORMIDAL_" + shown + ".txt\"")) << json.out;
  EXPECT_TRUE(Has(json.out, "{\"name\": \"" + shown + ".TEXt\"")) << json.out;
  EXPECT_FALSE(Has(json.out, "\\u")) << json.out;
  CommandResult listed = RunOrmidal({"list", database});
  EXPECT_TRUE(Has(listed.out, "  " + shown + ".TEXt")) << listed.out;

  std::string out = dir.File("out");
  CommandResult extracted =
      RunOrmidal({"extract", database, "Caf? ? ?quoted?.TEXt", "*/*quoted?.txt", "-d", out});
  EXPECT_EQ(extracted.exitCode, 0) << extracted.err;
  EXPECT_EQ(ReadAt(Join(out, shown + ".TEXt")).size(), 16u + 2u);
  EXPECT_EQ(ReadAt(Join(Join(out, "Converted"), "ORMIDAL_" + shown + ".txt")), "hi");
}

#if defined(_WIN32)
// Windows lets a file name hold a surrogate without its partner. Such an
// argument is kept exactly, so the plug-in refuses it; it must never become
// U+FFFD and open the file that is really named so.
TEST(UnicodeCommand, AnUnpairedSurrogateNamesNoOtherFile) {
  TempDir dir;
  WriteAt(dir.File("book\xEF\xBF\xBD.pdb"), Book());
  std::string lone = dir.File("book\xED\xA0\x80.pdb");
  CommandResult listed = RunOrmidal({"list", lone});
  EXPECT_EQ(listed.exitCode, 1) << listed.out;
  EXPECT_TRUE(Has(listed.err, "cannot open")) << listed.err;
  CommandResult converted = RunOrmidal({"convert", dir.File("book\xEF\xBF\xBD.pdb"), "-o", lone});
  EXPECT_EQ(converted.exitCode, 1);
  EXPECT_TRUE(Has(converted.err, "cannot create")) << converted.err;
  EXPECT_EQ(ReadAt(dir.File("book\xEF\xBF\xBD.pdb")).size(), Book().size());
}
#else
// A POSIX path is bytes: one that is not UTF-8 still names its file.
TEST(UnicodeCommand, PathsThatAreNotUtf8ReachTheirFiles) {
  TempDir dir;
  std::string latin1 = dir.File("caf\xE9.pdb");
  WriteAt(latin1, Book());
  CommandResult listed = RunOrmidal({"list", latin1});
  EXPECT_EQ(listed.exitCode, 0) << listed.err;
  EXPECT_TRUE(Has(listed.out, "5 entries")) << listed.out;
  EXPECT_EQ(RunOrmidal({"convert", latin1, "-o", dir.File("\xE9t\xE9.txt")}).exitCode, 0);
  EXPECT_EQ(ReadAt(dir.File("\xE9t\xE9.txt")), "Hello\r\nworld!\r\n");
}
#endif

}  // namespace
}  // namespace ormidal::testing
