// The handheld's databases as a real desktop tool writes them, Debian's
// libpalm-perl, convert to files that real readers, python3-vobject and
// python3-icalendar, read back field by field as what was written
// (tests/interop/write_handheld.pl and check_handheld.py).

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "convert/converters.hpp"
#include "database/result.hpp"
#include "support/database_builder.hpp"

namespace ormidal {
namespace {

#if defined(_WIN32)

TEST(HandheldInterop, PeerDatabasesConvertAndReadBack) {
  GTEST_SKIP() << "libpalm-perl, python3-vobject and python3-icalendar are Debian packages";
}

#else

using testing::TempDir;

const std::string kScripts = ORMIDAL_INTEROP_SCRIPTS;

bool RunQuietly(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Debian's own interpreters: the peers are Debian packages, whatever
// python3 comes first on PATH.
bool HavePeers() {
  return RunQuietly(
             "/usr/bin/perl -MJSON::PP -MPalm::Memo -MPalm::Address -MPalm::Datebook "
             "-MPalm::ToDo -e 1") &&
         RunQuietly("/usr/bin/python3 -c 'import vobject, icalendar'");
}

TEST(HandheldInterop, PeerDatabasesConvertAndReadBack) {
  if (!HavePeers()) GTEST_SKIP() << "libpalm-perl, python3-vobject or python3-icalendar missing";
  TempDir dir;
  ASSERT_TRUE(
      RunQuietly("/usr/bin/perl '" + kScripts + "/write_handheld.pl' '" + dir.Path() + "'"));
  struct Database {
    const char* file;
    DatabaseKind kind;
    const char* converted;
  } databases[] = {
      {"MemoDB.pdb", Memos, "memos.txt"},
      {"AddressDB.pdb", Contacts, "contacts.vcf"},
      {"DatebookDB.pdb", Calendar, "calendar.ics"},
      {"ToDoDB.pdb", Tasks, "tasks.ics"},
  };
  for (const Database& database : databases) {
    SCOPED_TRACE(database.file);
    std::string path = dir.File(database.file);
    auto state = std::make_unique<ArchiveState>();
    ASSERT_EQ(OpenDatabase(path.c_str(), state.get()), kResultOk);
    EXPECT_EQ(state->kind, database.kind);
    platform::File source = platform::OpenForReading(path.c_str());
    platform::File destination;
    ASSERT_EQ(platform::CreateForWriting(dir.File(database.converted).c_str(), false, &destination),
              platform::CreateResult::kCreated);
    EXPECT_EQ(ConvertDatabase(*state, source, destination), kResultOk);
    platform::Close(&source);
    platform::Close(&destination);
  }
  std::string report = dir.File("report.txt");
  int status = std::system(("/usr/bin/python3 '" + kScripts + "/check_handheld.py' '" + dir.Path() +
                            "' >'" + report + "' 2>&1")
                               .c_str());
  testing::Bytes text = testing::ReadFileBytes(report);
  EXPECT_EQ(status, 0) << std::string(text.begin(), text.end());
  EXPECT_NE(std::string(text.begin(), text.end()).find("0 differences"), std::string::npos);
}

#endif

}  // namespace
}  // namespace ormidal
