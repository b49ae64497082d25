// The later applications' databases, written by the project's builder,
// convert to files that python3-vobject and python3-icalendar read back
// field by field as the databases hold them (tests/interop/check_later.py),
// time-zoned starts at the right UTC instant in winter and in summer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "samples/handheld_records.hpp"
#include "support/conversion_run.hpp"
#include "support/database_builder.hpp"

namespace ormidal {
namespace {

#if defined(_WIN32)

TEST(LaterInterop, ConvertedFilesReadBack) {
  GTEST_SKIP() << "python3-vobject and python3-icalendar are Debian packages";
}

#else

using samples::Event;
using samples::Extension;
using samples::PackDate;
using testing::Bytes;
using testing::DatabaseBuilder;
using testing::TempDir;

void Append(Bytes* to, const Bytes& more) { to->insert(to->end(), more.begin(), more.end()); }

Bytes Strings(std::initializer_list<const char*> texts) {
  Bytes out;
  for (const char* text : texts) out.insert(out.end(), text, text + std::strlen(text) + 1);
  return out;
}

DatabaseBuilder Contacts() {
  samples::LaterContact card;
  card.Set(0, "M\xFCller").Set(1, "J\xFCrgen").Set(2, "Tide, Clocks").Set(4, "+49 30");
  card.Set(5, "+49 171").Set(6, "jm@example.org").Set(11, "jm_aim").Set(13, "http://example.org/");
  card.Set(15, "44; wide")
      .Set(23,
           "Hafenstra\xDF"
           "e 1\nHinterhaus")
      .Set(24, "Berlin");
  card.Set(37, "Norway").Set(38, "Knows the tides\r\nand the \x80 price");
  card.phoneLabels = {0, 7, 4, 3, 4, 5, 7};
  card.listedPhone = 1;
  card.addressLabels = {1, 0, 2};
  card.chatLabels = {1, 0};
  card.birthday = PackDate(1980, 5, 17);
  Bytes picture = {0, 1, 0xFF, 0xD8};
  for (int i = 0; i < 16 * 256; ++i) picture.push_back(static_cast<unsigned char>(i));
  card.extensions = Extension("Bd00", picture);
  std::uint16_t anniversary = PackDate(2004, 6, 12);
  Append(&card.extensions,
         Extension("Bd01", {static_cast<unsigned char>(anniversary >> 8),
                            static_cast<unsigned char>(anniversary), 0, 0, 0, 0}));
  samples::LaterContact company;
  company.Set(2, "Acme");
  DatabaseBuilder builder;
  builder.Kind("DATA", "PAdd").AppInfo(samples::ContactsAppInfo(53, {"Custom 1", "Shoe size"}));
  builder.AddRecord(samples::LaterContactRecord(card), 1, 1)
      .AddRecord(samples::LaterContactRecord(company), 0, 2);
  return builder;
}

DatabaseBuilder Calendar() {
  Bytes berlin =
      Extension("Bd00", samples::ZoneContent(60, {2, 0, 4, 3}, {3, 0, 4, 10}, 60, "Berlin"));
  Bytes newYork =
      Extension("Bd00", samples::ZoneContent(-300, {2, 0, 1, 3}, {2, 0, 0, 11}, 60, "New York"));
  Event winter;
  winter.At(9, 30, 10, 45).date = PackDate(2024, 1, 15);
  Event summer = winter;
  summer.date = PackDate(2024, 7, 15);
  summer.repeat = Event::Repeat{samples::kWeekly, PackDate(2024, 9, 30), 1, 0x22, 0};
  Bytes meeting = {3, 1, 0, 2, 0};
  Append(&meeting, Strings({"Ann", "ann@example.org"}));
  meeting.push_back(1);
  Append(&meeting, Strings({"Bo", "bo@example.org"}));
  Bytes summerExtensions = berlin;
  Append(&summerExtensions, Extension("Bd01", meeting));
  Event late;
  late.At(9, 0, 0, 0).date = PackDate(2024, 7, 4);
  Event floating;
  floating.date = PackDate(2024, 3, 1);
  DatabaseBuilder builder;
  builder.Kind("DATA", "PDat").AppInfo(samples::LaterCategoryBlock({"Unfiled"}, {0, 0}));
  builder.AddRecord(samples::LaterEventRecord(winter, std::nullopt, berlin), 0, 1)
      .AddRecord(samples::LaterEventRecord(summer, "Room 4", summerExtensions), 0, 2)
      .AddRecord(samples::LaterEventRecord(late, std::nullopt, newYork), 0, 3)
      .AddRecord(samples::LaterEventRecord(floating, std::nullopt, {}), 0, 4);
  return builder;
}

DatabaseBuilder Tasks() {
  samples::LaterTask task;
  task.due = PackDate(2024, 9, 9);
  task.priority = 2;
  task.alarm = samples::LaterTask::Alarm{16, 45, 5};
  task.description = "Test task";
  samples::LaterTask done;
  done.completed = done.repeatsAfterCompletion = true;
  done.completion = PackDate(2024, 9, 10);
  done.repeatStart = PackDate(2024, 9, 1);
  done.repeat = {samples::kDaily, samples::kNoDate, 3, 0, 0};
  DatabaseBuilder builder;
  builder.Kind("DATA", "PTod").AppInfo(samples::LaterCategoryBlock({"Unfiled"}, {0, 0, 0, 0}));
  builder.AddRecord(samples::LaterTaskRecord(task), 0, 1)
      .AddRecord(samples::LaterTaskRecord(done), 0, 2);
  return builder;
}

TEST(LaterInterop, ConvertedFilesReadBack) {
  if (std::system("/usr/bin/python3 -c 'import vobject, icalendar' >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "python3-vobject or python3-icalendar missing";
  }
  TempDir dir;
  struct Output {
    DatabaseBuilder builder;
    const char* name;
  } outputs[] = {
      {Contacts(), "contacts.vcf"}, {Calendar(), "calendar.ics"}, {Tasks(), "tasks.ics"}};
  for (const Output& output : outputs) {
    testing::Converted converted = testing::ConvertFile(output.builder.WriteTo(dir.File("db.pdb")));
    EXPECT_EQ(converted.result, 0) << output.name;
    samples::WriteFileBytes(dir.File(output.name), converted.bytes);
  }
  std::string report = dir.File("report.txt");
  int status = std::system(("/usr/bin/python3 '" + std::string(ORMIDAL_INTEROP_SCRIPTS) +
                            "/check_later.py' '" + dir.Path() + "' >'" + report + "' 2>&1")
                               .c_str());
  Bytes text = testing::ReadFileBytes(report);
  std::string shown(text.begin(), text.end());
  EXPECT_EQ(status, 0) << shown;
  EXPECT_NE(shown.find("0 differences"), std::string::npos) << shown;
}

#endif

}  // namespace
}  // namespace ormidal
