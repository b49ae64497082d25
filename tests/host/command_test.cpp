// The `ormidal` command run as a process on databases made for the test:
// what it writes, its exit codes and its messages.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "command_runner.hpp"
#include "support/database_builder.hpp"

namespace ormidal::testing {
namespace {

// 4 January 2008, 12:00:00, counted from 1970 as desktop tools write it.
constexpr std::uint32_t kCreationTime = 1199448000;
const char kIsoCreationTime[] = "2008-01-04T12:00:00Z";

std::string MakeBook(const TempDir& dir, const std::string& file = "book.pdb") {
  return DatabaseBuilder()
      .Name("book")
      .CreationTime(kCreationTime)
      .AddRecord(DocumentHeader(1, 13, 2))
      .AddRecord("Hello\nworld")
      .AddRecord("!\n")
      .WriteTo(dir.File(file));
}

std::string ReadText(const std::string& path) {
  Bytes bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// Every failure is one line that names the file and gives the reason.
void ExpectOneLineMessage(const CommandResult& result, const std::string& file,
                          const std::string& reason) {
  EXPECT_EQ(result.exitCode, 1) << result.err;
  std::string line = result.err.substr(0, result.err.find_first_of("\r\n"));
  EXPECT_NE(line.find(file), std::string::npos) << result.err;
  EXPECT_NE(line.find(reason), std::string::npos) << result.err;
  std::size_t end = result.err.find('\n');
  EXPECT_TRUE(end != std::string::npos && end + 1 == result.err.size()) << result.err;
}

// A JSON reader for what `list --json` prints: an array of flat objects of
// strings and numbers. Any other shape fails the parse.
class JsonListing {
 public:
  explicit JsonListing(const std::string& text) : text_(text) {}

  bool Parse(std::vector<std::map<std::string, std::string>>* objects) {
    if (!Expect('[')) return false;
    if (Peek() == ']') return Expect(']') && AtEnd();
    do {
      std::map<std::string, std::string> object;
      if (!ParseObject(&object)) return false;
      objects->push_back(object);
    } while (Accept(','));
    return Expect(']') && AtEnd();
  }

 private:
  bool ParseObject(std::map<std::string, std::string>* object) {
    if (!Expect('{')) return false;
    do {
      std::string key, value;
      if (!ParseString(&key) || !Expect(':')) return false;
      bool ok = Peek() == '"' ? ParseString(&value) : ParseNumber(&value);
      if (!ok) return false;
      (*object)[key] = value;
    } while (Accept(','));
    return Expect('}');
  }

  bool ParseString(std::string* out) {
    if (!Expect('"')) return false;
    while (pos_ < text_.size() && text_[pos_] != '"') {
      if (static_cast<unsigned char>(text_[pos_]) < 0x20) return false;
      if (text_[pos_] == '\\') ++pos_;
      if (pos_ < text_.size()) *out += text_[pos_++];
    }
    return pos_++ < text_.size();
  }

  bool ParseNumber(std::string* out) {
    while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_])))
      *out += text_[pos_++];
    return !out->empty();
  }

  void SkipSpace() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }
  char Peek() {
    SkipSpace();
    return pos_ < text_.size() ? text_[pos_] : '\0';
  }
  bool Accept(char c) {
    if (Peek() != c) return false;
    ++pos_;
    return true;
  }
  bool Expect(char c) { return Accept(c); }
  bool AtEnd() { return Peek() == '\0'; }

  const std::string& text_;
  std::size_t pos_ = 0;
};

TEST(Command, UsageHelpAndVersion) {
  CommandResult version = RunOrmidal({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_NE(version.out.find("ormidal 1.0.0"), std::string::npos) << version.out;

  CommandResult help = RunOrmidal({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  for (const char* command : {"list", "extract", "convert", "pack"}) {
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
    CommandResult own = RunOrmidal({command, "--help"});
    EXPECT_EQ(own.exitCode, 0) << command;
    EXPECT_NE(own.out.find(std::string("ormidal ") + command), std::string::npos) << own.out;
  }

  for (const std::vector<std::string>& bad :
       std::vector<std::vector<std::string>>{{},
                                             {"frob"},
                                             {"list"},
                                             {"list", "a", "b"},
                                             {"list", "--bogus", "a"},
                                             {"extract", "a", "--json"},
                                             {"pack", "only-one"},
                                             {"extract", "a", "-d"}}) {
    CommandResult result = RunOrmidal(bad);
    EXPECT_EQ(result.exitCode, 2) << (bad.empty() ? "" : bad[0]) << ": " << result.err;
    EXPECT_FALSE(result.err.empty());
  }
}

TEST(Command, MissingAndDamagedDatabasesAreNamedWithTheReason) {
  TempDir dir;
  std::string missing = dir.File("missing.pdb");
  for (const char* command : {"list", "extract", "convert"}) {
    SCOPED_TRACE(command);
    std::vector<std::string> args = {command, missing};
    if (std::string(command) == "extract") args.insert(args.end(), {"-d", dir.Path()});
    ExpectOneLineMessage(RunOrmidal(args), missing, "cannot open");
  }

  std::string damaged = dir.File("damaged.pdb");
  WriteFileBytes(damaged, Bytes(40, 0));
  ExpectOneLineMessage(RunOrmidal({"list", damaged}), damaged, "not a valid database");
  ExpectOneLineMessage(RunOrmidal({"convert", damaged, "-o", dir.File("out.txt")}), damaged,
                       "not a valid database");
  EXPECT_FALSE(FileExists(dir.File("out.txt")));
}

TEST(Command, ListShowsEveryEntryWithATotal) {
  TempDir dir;
  CommandResult result = RunOrmidal({"list", MakeBook(dir)});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "");
  for (const char* name : {"Converted/ORMIDAL_book.txt", "book.TEXt", "Records/00000",
                           "Records/00001", "Records/00002"})
    EXPECT_NE(result.out.find(name), std::string::npos) << name << "\n" << result.out;
  EXPECT_NE(result.out.find("2008-01-04 12:00"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("5 entries"), std::string::npos) << result.out;
}

TEST(Command, JsonListingParsesBackToTheEntries) {
  TempDir dir;
  CommandResult result = RunOrmidal({"list", MakeBook(dir), "--json"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::vector<std::map<std::string, std::string>> entries;
  ASSERT_TRUE(JsonListing(result.out).Parse(&entries)) << result.out;
  ASSERT_EQ(entries.size(), 5u);
  const char* const names[] = {"Converted/ORMIDAL_book.txt", "book.TEXt", "Records/00000",
                               "Records/00001", "Records/00002"};
  const char* const sizes[] = {"29", "29", "16", "11", "2"};
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].size(), 3u);
    EXPECT_EQ(entries[i]["name"], names[i]);
    EXPECT_EQ(entries[i]["size"], sizes[i]);
    EXPECT_EQ(entries[i]["time"], kIsoCreationTime);
  }
}

TEST(Command, ExtractWritesSelectedEntriesAndKeepsExistingFiles) {
  TempDir dir;
  std::string book = MakeBook(dir);
  std::string out = dir.File("out");

  CommandResult some = RunOrmidal({"extract", book, "Records/0000[12]", "-d", out});
  ASSERT_EQ(some.exitCode, 0) << some.err;
  EXPECT_EQ(some.err, "");  // no progress line when standard error is not a terminal
  std::string records = out + "/Records/";
  EXPECT_EQ(ReadText(records + "00001"), "Hello\nworld");
  EXPECT_EQ(ReadText(records + "00002"), "!\n");
  EXPECT_FALSE(FileExists(records + "00000"));
  EXPECT_FALSE(FileExists(out + "/book.TEXt"));

  WriteFileBytes(records + "00001", ToBytes("mine"));
  CommandResult all = RunOrmidal({"extract", book, "-d", out});
  EXPECT_EQ(all.exitCode, 1);
  EXPECT_NE(all.err.find("already exists"), std::string::npos) << all.err;
  EXPECT_EQ(ReadText(records + "00001"), "mine");
  EXPECT_EQ(ReadText(out + "/Converted/ORMIDAL_book.txt"), "Hello\r\nworld!\r\n");
  EXPECT_EQ(ReadFileBytes(out + "/book.TEXt").size(), 29u);

  CommandResult forced = RunOrmidal({"extract", book, "Records/*", "-d", out, "--force"});
  EXPECT_EQ(forced.exitCode, 0) << forced.err;
  EXPECT_EQ(ReadText(records + "00001"), "Hello\nworld");

  CommandResult unmatched = RunOrmidal({"extract", book, "Records/9*", "-d", out});
  ExpectOneLineMessage(unmatched, book, "no entry matches Records/9*");
}

TEST(Command, ExtractDefaultsToTheCurrentFolder) {
  TempDir dir;
  std::string book = MakeBook(dir);
  CommandResult result = RunOrmidal({"extract", book, "book.TEXt"}, dir.Path());
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(ReadFileBytes(dir.File("book.TEXt")).size(), 29u);
}

#if !defined(_WIN32)
// A language file whose values are empty puts the entries at the archive's
// root: they are listed, matched and extracted at the top of the
// destination.
TEST(Command, EmptyLanguageValuesPutEntriesAtTheRoot) {
  TempDir dir;
  std::string cli = ORMIDAL_CLI_PATH;
  std::string library = dir.File("libormidal.so");
  WriteFileBytes(library, ReadFileBytes(cli.substr(0, cli.rfind('/') + 1) + "libormidal.so"));
  std::filesystem::create_directories(dir.File("lang/de"));
  WriteFileBytes(dir.File("lang/de/ormidal.ini"), ToBytes("[ORMIDAL]\nRecords=\nConverted=\n"));
  std::string book = MakeBook(dir);
  const std::string german = "LC_ALL=de_DE.UTF-8 ";

  CommandResult listed = RunOrmidal({"--plugin", library, "list", book}, "", german);
  EXPECT_EQ(listed.exitCode, 0) << listed.err;
  EXPECT_NE(listed.out.find("  ORMIDAL_book.txt\n"), std::string::npos) << listed.out;
  EXPECT_NE(listed.out.find("  00001\n"), std::string::npos) << listed.out;

  std::string out = dir.File("out");
  CommandResult one =
      RunOrmidal({"--plugin", library, "extract", book, "0000[1]", "-d", out}, "", german);
  EXPECT_EQ(one.exitCode, 0) << one.err;
  EXPECT_EQ(ReadText(out + "/00001"), "Hello\nworld");
  EXPECT_FALSE(FileExists(out + "/00000"));

  CommandResult all =
      RunOrmidal({"--plugin", library, "extract", book, "-d", out, "--force"}, "", german);
  EXPECT_EQ(all.exitCode, 0) << all.err;
  EXPECT_EQ(ReadText(out + "/ORMIDAL_book.txt"), "Hello\r\nworld!\r\n");
  EXPECT_EQ(ReadText(out + "/00002"), "!\n");
}

// The listing shows the local clock; JSON gives the same moment in UTC.
TEST(Command, TimesAreLocalInTheListingAndUtcInJson) {
  TempDir dir;
  std::string book = MakeBook(dir);
  const std::string threeHoursEast = "TZ=UTC-3 ";
  CommandResult listed = RunOrmidal({"list", book}, "", threeHoursEast);
  EXPECT_NE(listed.out.find("2008-01-04 12:00  book.TEXt"), std::string::npos) << listed.out;
  CommandResult json = RunOrmidal({"list", book, "--json"}, "", threeHoursEast);
  EXPECT_NE(json.out.find("\"time\": \"2008-01-04T09:00:00Z\""), std::string::npos) << json.out;
}
#endif

TEST(Command, ConvertWritesTheConvertedEntry) {
  TempDir dir;
  std::string book = MakeBook(dir);
  CommandResult toFile = RunOrmidal({"convert", book, "-o", dir.File("book.txt")});
  EXPECT_EQ(toFile.exitCode, 0) << toFile.err;
  EXPECT_EQ(ReadText(dir.File("book.txt")), "Hello\r\nworld!\r\n");

  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"convert", book}, {"convert", book, "-o", "-"}}) {
    CommandResult toOutput = RunOrmidal(args);
    EXPECT_EQ(toOutput.exitCode, 0) << toOutput.err;
    EXPECT_EQ(toOutput.out, "Hello\r\nworld!\r\n");
  }

  Bytes before = ReadFileBytes(book);
  CommandResult itself = RunOrmidal({"convert", book, "-o", book});
  EXPECT_EQ(itself.exitCode, 1);
  EXPECT_EQ(ReadFileBytes(book), before);

  std::string unknown = DatabaseBuilder()
                            .Name("odd")
                            .Kind("DATA", "abcd")
                            .AddRecord("x")
                            .WriteTo(dir.File("odd.pdb"));
  ExpectOneLineMessage(RunOrmidal({"convert", unknown, "-o", dir.File("odd.out")}), unknown,
                       "no converted form");
}

TEST(Command, PackCompressMakesACompressedDatabaseThatConvertsBack) {
  TempDir dir;
  std::string text = dir.File("notes.txt");
  std::string lines;
  for (int i = 0; i < 400; ++i) lines += "the same line again, " + std::to_string(i % 7) + "\r\n";
  WriteFileBytes(text, ToBytes(lines));
  std::string database = dir.File("notes.pdb");
  CommandResult packed = RunOrmidal({"pack", "--compress", text, database});
  ASSERT_EQ(packed.exitCode, 0) << packed.err;
  Bytes file = ReadFileBytes(database);
  ASSERT_GT(file.size(), 78u + 16u);
  std::size_t recordZero = (std::size_t{file[80]} << 8) | file[81];
  ASSERT_LT(recordZero + 1, file.size());
  EXPECT_EQ(file[recordZero + 1], 2);  // compression 2
  EXPECT_LT(file.size(), lines.size() / 4);
  CommandResult converted = RunOrmidal({"convert", database});
  EXPECT_EQ(converted.out, lines);
}

TEST(Command, PackMakesADatabaseThatConvertsBack) {
  TempDir dir;
  std::string text = dir.File("notes.txt");
  WriteFileBytes(text, ToBytes("one\r\ntwo\tthree\n"));
  std::string database = dir.File("notes.pdb");
  CommandResult packed = RunOrmidal({"pack", text, database});
  ASSERT_EQ(packed.exitCode, 0) << packed.err;

  CommandResult listed = RunOrmidal({"list", database});
  EXPECT_NE(listed.out.find("Converted/ORMIDAL_notes.txt"), std::string::npos) << listed.out;
  CommandResult converted = RunOrmidal({"convert", database});
  EXPECT_EQ(converted.out, "one\r\ntwo\tthree\r\n");

  Bytes before = ReadFileBytes(database);
  ExpectOneLineMessage(RunOrmidal({"pack", text, database}), database, "already exists");
  EXPECT_EQ(ReadFileBytes(database), before);

  std::string missing = dir.File("missing.txt");
  ExpectOneLineMessage(RunOrmidal({"pack", missing, dir.File("new.pdb")}), missing, "cannot open");
  EXPECT_FALSE(FileExists(dir.File("new.pdb")));
}

TEST(Command, PackFindsATextInTheCurrentFolder) {
  TempDir dir;
  WriteFileBytes(dir.File("plain.txt"), ToBytes("abc"));
  CommandResult packed = RunOrmidal({"pack", "plain.txt", "plain.pdb"}, dir.Path());
  EXPECT_EQ(packed.exitCode, 0) << packed.err;
  EXPECT_EQ(ReadFileBytes(dir.File("plain.pdb")).size(), 113u);
}

// A database holds one text: several are refused in words, nothing made.
TEST(Command, PackRefusesSeveralTexts) {
  TempDir dir;
  WriteFileBytes(dir.File("a.txt"), ToBytes("a"));
  WriteFileBytes(dir.File("b.txt"), ToBytes("b"));
  std::string database = dir.File("two.pdb");
  ExpectOneLineMessage(RunOrmidal({"pack", dir.File("a.txt"), dir.File("b.txt"), database}),
                       database, "a database holds one text");
  EXPECT_FALSE(FileExists(database));
}

#if !defined(_WIN32)
TEST(Command, AFullDiskIsAWriteErrorWithNothingLeft) {
  TempDir dir;
  std::string big = DatabaseBuilder()
                        .AddRecord(DocumentHeader(1, 65536, 1))
                        .AddRecord(Bytes(65536, 'a'))
                        .WriteTo(dir.File("big.pdb"));
  // A file-size limit stands in for a full disk; ignoring SIGXFSZ turns the
  // kill into a failed write.
  std::string limit = "trap '' XFSZ; ulimit -f 16; ";
  CommandResult extracted =
      RunOrmidal({"extract", big, "Records/00001", "-d", dir.File("out")}, "", limit);
  ExpectOneLineMessage(extracted, "00001", "write error");
  EXPECT_FALSE(FileExists(dir.File("out") + "/Records/00001"));

  CommandResult converted = RunOrmidal({"convert", big, "-o", dir.File("big.txt")}, "", limit);
  ExpectOneLineMessage(converted, "big.txt", "write error");
  EXPECT_FALSE(FileExists(dir.File("big.txt")));
}
#endif

}  // namespace
}  // namespace ormidal::testing
