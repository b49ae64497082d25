// `ormidal extract` leaves every entry with the time its listing shows, as
// an archive tool does, whatever the time zone.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "command_runner.hpp"
#include "support/database_builder.hpp"

namespace ormidal::testing {
namespace {

// The first "time" of the JSON listing, an ISO 8601 UTC time.
std::string FirstListedTime(const std::string& json) {
  std::size_t at = json.find("\"time\": \"");
  return at == std::string::npos ? "" : json.substr(at + 9, 20);
}

std::string ModificationTime(const std::string& path) {
  auto written = std::filesystem::last_write_time(path);
  auto system = std::chrono::file_clock::to_sys(written);
  std::time_t seconds = std::chrono::system_clock::to_time_t(
      std::chrono::time_point_cast<std::chrono::system_clock::duration>(system));
  std::tm utc{};
#if defined(_WIN32)
  gmtime_s(&utc, &seconds);
#else
  gmtime_r(&seconds, &utc);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

TEST(TimeCommand, ExtractedEntriesCarryTheListedTime) {
  TempDir dir;
  // 2004-03-12 10:30:00 on the handheld's clock (from 1904), and a
  // desktop tool's 2011-05-01 from 1970.
  for (std::uint32_t created : {0xBC7AEC88u, 0x4DBCA400u}) {
    std::string database = DatabaseBuilder()
                               .Name("timed")
                               .CreationTime(created)
                               .AddRecord("a")
                               .AddRecord("bc")
                               .WriteTo(dir.File("timed.pdb"));
    for (const char* zone : {"TZ=UTC0 ", "TZ=America/New_York "}) {
      std::string out = dir.File("out");
      std::filesystem::remove_all(out);
      CommandResult listing = RunOrmidal({"list", database, "--json"}, "", zone);
      CommandResult extract = RunOrmidal({"extract", database, "-d", out}, "", zone);
      ASSERT_EQ(extract.exitCode, 0) << extract.err;
      std::string listed = FirstListedTime(listing.out);
      ASSERT_EQ(listed.size(), 20u) << listing.out;
      for (const char* entry : {"timed.TEXt", "Records/00001"}) {
        EXPECT_EQ(ModificationTime(out + "/" + entry), listed) << entry << " " << zone;
      }
    }
  }
}

}  // namespace
}  // namespace ormidal::testing
