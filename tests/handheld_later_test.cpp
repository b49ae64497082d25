// The later applications' contacts, calendar and tasks converted, from
// databases of the project's own builder and from the device-made empty
// databases, with damage of every kind.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "convert/converters.hpp"
#include "database/result.hpp"
#include "samples/handheld_records.hpp"
#include "support/conversion_run.hpp"
#include "support/database_builder.hpp"

namespace ormidal {
namespace {

using samples::Event;
using samples::Extension;
using samples::LaterContact;
using samples::LaterTask;
using samples::PackDate;
using samples::ZoneContent;
using testing::Bytes;
using testing::DatabaseBuilder;
using testing::TempDir;

struct Converted {
  int result = -1;
  std::string text;
};

Converted Convert(const DatabaseBuilder& builder) {
  TempDir dir;
  testing::Converted run = testing::ConvertFile(builder.WriteTo(dir.File("db.pdb")));
  return {run.result, std::string(run.bytes.begin(), run.bytes.end())};
}

constexpr std::uint32_t kCreated = 1079087400u + samples::kSecondsFrom1904To1970;

DatabaseBuilder Database(const char* creator, const Bytes& appInfo) {
  DatabaseBuilder builder;
  builder.Name("db").Kind("DATA", creator).CreationTime(kCreated).ModificationTime(kCreated);
  builder.AppInfo(appInfo);
  return builder;
}

std::string Lines(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

// The lines between the first "BEGIN:<component>" and its END, both kept.
std::string Component(const std::string& text, const std::string& name) {
  std::size_t begin = text.find("BEGIN:" + name + "\r\n");
  std::size_t end = text.find("END:" + name + "\r\n", begin);
  if (begin == std::string::npos || end == std::string::npos) return "";
  return text.substr(begin, end + name.size() + 6 - begin);
}

// ---- Contacts ----

TEST(ConvertLaterContacts, EveryFieldWithItsLabel) {
  LaterContact contact;
  const char* values[39] = {
      "Doe", "Jane", "Acme; Ltd", "Boss",     "w1", "h1",  "f1", "o1",  "e@x.org",  "m1",
      "p1",  "aim1", "icq",       "http://x", "c1", "c2",  "c3", "c4",  "c5",       "c6",
      "c7",  "c8",   "c9",        "s1",       "t1", "st1", "z1", "co1", "s2",       "t2",
      "st2", "z2",   "co2",       "s3",       "t3", "st3", "z3", "co3", "n\xE9\nl2"};
  for (int i = 0; i < 39; ++i) contact.Set(i, values[i]);
  contact.listedPhone = 6;
  contact.chatLabels = {1, 4};
  contact.addressLabels = {1, 0, 2};
  contact.birthday = PackDate(1980, 5, 17);
  contact.reminderDays = 3;
  contact.extensions = Extension("Bd01", {0xF0, 0x39, 0, 1, 7, 0, 0, 0, 0, 1, 0, 1});
  DatabaseBuilder builder =
      Database("PAdd", samples::ContactsAppInfo(53, {"Custom 1", "Shoe size"}));
  builder.AddRecord(samples::LaterContactRecord(contact), 0x11, 9);
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultOk);
  EXPECT_EQ(converted.text, Lines({"BEGIN:VCARD",
                                   "VERSION:3.0",
                                   "N:Doe;Jane;;;",
                                   "FN:Jane Doe",
                                   "ORG:Acme\\; Ltd",
                                   "TITLE:Boss",
                                   "TEL;TYPE=WORK,VOICE:w1",
                                   "TEL;TYPE=HOME,VOICE:h1",
                                   "TEL;TYPE=FAX:f1",
                                   "TEL;TYPE=VOICE:o1",
                                   "EMAIL;TYPE=INTERNET:e@x.org",
                                   "TEL;TYPE=VOICE:m1",
                                   "TEL;TYPE=CELL,VOICE,PREF:p1",
                                   "ADR;TYPE=HOME:;;s1;t1;st1;z1;co1",
                                   "ADR;TYPE=WORK:;;s2;t2;st2;z2;co2",
                                   "ADR:;;s3;t3;st3;z3;co3",
                                   "X-AIM:aim1",
                                   "X-ICQ:icq",
                                   "URL:http://x",
                                   "X-PALM-CUSTOM1:c1",
                                   "X-PALM-CUSTOM2;X-LABEL=\"Shoe size\":c2",
                                   "X-PALM-CUSTOM3:c3",
                                   "X-PALM-CUSTOM4:c4",
                                   "X-PALM-CUSTOM5:c5",
                                   "X-PALM-CUSTOM6:c6",
                                   "X-PALM-CUSTOM7:c7",
                                   "X-PALM-CUSTOM8:c8",
                                   "X-PALM-CUSTOM9:c9",
                                   "BDAY:1980-05-17",
                                   "X-PALM-BIRTHDAY-REMINDER:3",
                                   "X-ANNIVERSARY:2024-01-25",
                                   "X-PALM-ANNIVERSARY-REMINDER:7",
                                   "NOTE:n\xC3\xA9\\nl2",
                                   "CATEGORIES:Business",
                                   "CLASS:PRIVATE",
                                   "END:VCARD"}));
}

TEST(ConvertLaterContacts, LabelsBirthdaysPicturesAndDamage) {
  struct Case {
    const char* what;
    LaterContact contact;
    Bytes tail;  // appended after the record's own bytes
    int result;
    std::string expected;  // the lines after FN, before END:VCARD
  };
  auto named = [](LaterContact c) { return c.Set(0, "N"); };
  LaterContact phone;
  phone.Set(4, "123");
  phone.phoneLabels[0] = 9;
  LaterContact chat = named({});
  chat.Set(11, "a").Set(12, "b");
  chat.chatLabels = {0, 9};
  LaterContact birthday = named({});
  birthday.birthday = PackDate(2000, 2, 29);
  LaterContact badBirthday = named({});
  badBirthday.birthday = PackDate(2001, 2, 29);
  auto picture = [&](const Bytes& jpeg) {
    LaterContact c = named({});
    Bytes content = {0, 1};
    content.insert(content.end(), jpeg.begin(), jpeg.end());
    c.extensions = Extension("Bd00", content);
    return c;
  };
  LaterContact unknown = named({});
  unknown.extensions = Extension("XyZw", Bytes(3000, 'q'));
  LaterContact ringtoneOnly = named({});
  ringtoneOnly.extensions = Extension("Bd01", {0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 1});
  std::vector<Case> cases = {
      {"unknown phone label, no name", phone, {}, kResultOk, "TEL;TYPE=PREF:123\r\n"},
      {"IM and an unknown chat label", chat, {}, kResultOk, "X-PALM-IM:a\r\nX-PALM-IM:b\r\n"},
      {"birthday without reminder", birthday, {}, kResultOk, "BDAY:2000-02-29\r\n"},
      {"birthday that cannot be", badBirthday, {}, kResultBadData, ""},
      {"picture of three bytes",
       picture({0xFF, 0xD8, 0xFF}),
       {},
       kResultOk,
       "PHOTO;ENCODING=b;TYPE=JPEG:/9j/\r\n"},
      {"picture of four bytes",
       picture({0xFF, 0xD8, 0xFF, 0xE0}),
       {},
       kResultOk,
       "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4A==\r\n"},
      {"picture not a JPEG", picture({'G', 'I'}), {}, kResultOk, "PHOTO;ENCODING=b:R0k=\r\n"},
      {"picture extension without picture", picture({}), {}, kResultOk, ""},
      {"another application's extension", unknown, {}, kResultOk, ""},
      {"ring tone without anniversary", ringtoneOnly, {}, kResultOk, ""},
      {"junk shorter than an extension header", named({}), {1, 2, 3, 4, 5}, kResultOk, ""},
      {"extension running past the record",
       named({}),
       {'B', 'd', '0', '0', 0, 9, 0, 1},
       kResultBadData,
       ""},
  };
  for (const Case& c : cases) {
    Bytes record = samples::LaterContactRecord(c.contact);
    record.insert(record.end(), c.tail.begin(), c.tail.end());
    DatabaseBuilder builder = Database("PAdd", samples::ContactsAppInfo(49));
    builder.AddRecord(record, 0, 1);
    Converted converted = Convert(builder);
    EXPECT_EQ(converted.result, c.result) << c.what;
    std::size_t fn = converted.text.find("FN:");
    std::size_t after = converted.text.find("\r\n", fn) + 2;
    EXPECT_EQ(converted.text.substr(after, converted.text.size() - after - 11), c.expected)
        << c.what;
  }
}

TEST(ConvertLaterContacts, CutRecordsKeepWhatComesBefore) {
  LaterContact contact;
  contact.Set(0, "Doe").Set(1, "Jane").Set(38, "note");
  contact.birthday = PackDate(1990, 1, 2);
  Bytes record = samples::LaterContactRecord(contact);
  DatabaseBuilder builder = Database("PAdd", samples::ContactsAppInfo(53));
  builder
      .AddRecord(Bytes(record.begin(), record.begin() + 16), 0, 1)  // no fixed part
      .AddRecord(Bytes(record.begin(), record.begin() + 25), 0, 2)  // first name cut
      .AddRecord(Bytes(record.begin(), record.end() - 3), 0, 3)     // birthday cut
      .AddRecord(record, samples::kDeleted, 4);
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultBadData);
  EXPECT_EQ(converted.text,
            Lines({"BEGIN:VCARD", "VERSION:3.0", "N:Doe;;;;", "FN:Doe", "END:VCARD", "BEGIN:VCARD",
                   "VERSION:3.0", "N:Doe;Jane;;;", "FN:Jane Doe", "NOTE:note", "END:VCARD"}));
}

// ---- Calendar ----

Bytes Berlin() { return ZoneContent(60, {2, 0, 4, 3}, {3, 0, 4, 10}, 60, "Berlin"); }

TEST(ConvertLaterCalendar, ZonedRepeatingMeetingWithOneZoneWrittenOnce) {
  Event event;
  event.At(9, 30, 10, 45).date = PackDate(2024, 3, 15);
  event.alarm = Event::Alarm{10, samples::kMinutes};
  event.repeat = Event::Repeat{samples::kWeekly, PackDate(2024, 6, 28), 1, 0x22, 0};
  event.exceptions = std::vector<std::uint16_t>{PackDate(2024, 4, 1)};
  event.description = "Standup";
  Bytes meeting = {3, 1, 0, 2, 0};
  for (const char* text : {"Ann", "ann@x.org"})
    meeting.insert(meeting.end(), text, text + std::strlen(text) + 1);
  meeting.push_back(2);
  for (const char* text : {"Bo \"B\"", "bo@x.org"})
    meeting.insert(meeting.end(), text, text + std::strlen(text) + 1);
  Bytes extensions = Extension("Bd00", Berlin());
  Bytes more = Extension("Bd01", meeting);
  extensions.insert(extensions.end(), more.begin(), more.end());
  Event second;
  second.At(20, 0, 0, 0).date = PackDate(2024, 12, 31);
  DatabaseBuilder builder = Database("PDat", samples::LaterCategoryBlock({"Unfiled"}, {0, 0}));
  builder.AddRecord(samples::LaterEventRecord(event, "Room 4", extensions), 0, 1)
      .AddRecord(samples::LaterEventRecord(second, std::nullopt, Extension("Bd00", Berlin())), 0,
                 2);
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultOk);
  EXPECT_EQ(Component(converted.text, "VTIMEZONE"),
            Lines({"BEGIN:VTIMEZONE", "TZID:Berlin", "BEGIN:STANDARD", "DTSTART:19701025T030000",
                   "TZOFFSETFROM:+0200", "TZOFFSETTO:+0100",
                   "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU", "END:STANDARD", "BEGIN:DAYLIGHT",
                   "DTSTART:19700329T020000", "TZOFFSETFROM:+0100", "TZOFFSETTO:+0200",
                   "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU", "END:DAYLIGHT", "END:VTIMEZONE"}));
  EXPECT_EQ(converted.text.find("BEGIN:VTIMEZONE", converted.text.find("END:VTIMEZONE")),
            std::string::npos);
  std::string first = Component(converted.text, "VEVENT");
  for (const char* line :
       {"DTSTART;TZID=\"Berlin\":20240315T093000\r\n", "DTEND;TZID=\"Berlin\":20240315T104500\r\n",
        "LOCATION:Room 4\r\n",
        // 23:59:59 summer time in Berlin
        "RRULE:FREQ=WEEKLY;UNTIL=20240628T215959Z;BYDAY=MO,FR;WKST=SU\r\n",
        "EXDATE;TZID=\"Berlin\":20240401T093000\r\n", "STATUS:CONFIRMED\r\n",
        "TRANSP:TRANSPARENT\r\n", "ORGANIZER;CN=\"Ann\":mailto:ann@x.org\r\n",
        "ATTENDEE;ROLE=OPT-PARTICIPANT;CN=\"Bo B\":mailto:bo@x.org\r\n", "TRIGGER:-PT10M\r\n"}) {
    EXPECT_NE(first.find(line), std::string::npos) << line;
  }
  // Ending at midnight: the next day's 00:00.
  EXPECT_NE(converted.text.find("DTEND;TZID=\"Berlin\":20250101T000000\r\n"), std::string::npos);
}

TEST(ConvertLaterCalendar, ZonesUntimedAndDamage) {
  struct Case {
    const char* what;
    Event event;
    Bytes extensions;
    int result;
    std::vector<std::string> lines;  // each in the output
    std::vector<std::string> absent;
  };
  Event timed;
  timed.At(8, 0, 9, 0).date = PackDate(2024, 1, 10);
  Event untimed;
  untimed.date = PackDate(2024, 1, 10);
  Bytes tokyo = Extension("Bd00", ZoneContent(540, {0, 0, 0, 0}, {0, 0, 0, 0}, 0, "Tokyo"));
  Bytes nameless = Extension("Bd00", ZoneContent(-300, {2, 0, 1, 3}, {2, 0, 0, 11}, 60, ""));
  Bytes badZone = Extension("Bd00", ZoneContent(60, {2, 0, 4, 13}, {3, 0, 4, 10}, 60, "X"));
  Bytes badMeeting = Extension("Bd01", {0, 0, 0, 1, 1, 'A', 0});
  std::vector<Case> cases = {
      {"zone without daylight saving",
       timed,
       tokyo,
       kResultOk,
       {"TZID:Tokyo\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\nTZOFFSETFROM:+0900\r\n"
        "TZOFFSETTO:+0900\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n",
        "DTSTART;TZID=\"Tokyo\":20240110T080000\r\n"},
       {"DAYLIGHT"}},
      {"zone without a name, west of UTC",
       timed,
       nameless,
       kResultOk,
       {"TZID:UTC-05:00\r\n", "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\n",
        "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\n", "TZOFFSETTO:-0400\r\n"},
       {}},
      {"untimed event ignores its zone",
       untimed,
       tokyo,
       kResultOk,
       {"DTSTART;VALUE=DATE:20240110\r\nDTEND;VALUE=DATE:20240111\r\n"},
       {"VTIMEZONE"}},
      {"zone rule outside the calendar",
       timed,
       badZone,
       kResultBadData,
       {"DTSTART:20240110T080000\r\n"},
       {"VTIMEZONE"}},
      {"meeting cut inside an attendee",
       timed,
       badMeeting,
       kResultBadData,
       {"DTSTART:20240110T080000\r\n"},
       {"ATTENDEE", "ORGANIZER"}},
      {"extension running past the record",
       timed,
       {'B', 'd', '0', '0', 1, 0},
       kResultBadData,
       {"DTSTART:20240110T080000\r\n"},
       {}},
  };
  for (const Case& c : cases) {
    DatabaseBuilder builder = Database("PDat", samples::LaterCategoryBlock({"Unfiled"}, {0, 0}));
    builder.AddRecord(samples::LaterEventRecord(c.event, std::nullopt, c.extensions), 0, 1);
    Converted converted = Convert(builder);
    EXPECT_EQ(converted.result, c.result) << c.what;
    for (const std::string& line : c.lines) {
      EXPECT_NE(converted.text.find(line), std::string::npos) << c.what << ": " << line;
    }
    for (const std::string& word : c.absent) {
      EXPECT_EQ(converted.text.find(word), std::string::npos) << c.what << ": " << word;
    }
  }
}

// ---- Tasks ----

TEST(ConvertLaterTasks, DeviceRecordsAndEveryPart) {
  struct Case {
    const char* what;
    Bytes record;
    int result;
    std::string expected;  // the lines after DTSTAMP
  };
  std::vector<Case> cases = {
      {"daily with due date, alarm, note",
       {0xbc, 0, 0, 0,    0,    2, 0xf1, 0x29, 0x10, 0x2d, 0, 5,   0xf1,
        0x29, 1, 0, 0xf1, 0x2f, 1, 0,    0,    0,    'T',  0, 'N', 0},
       kResultOk,
       Lines({"SUMMARY:T", "DESCRIPTION:N", "DTSTART;VALUE=DATE:20240909",
              "DUE;VALUE=DATE:20240909", "PRIORITY:3", "STATUS:NEEDS-ACTION",
              "RRULE:FREQ=DAILY;UNTIL=20240915", "BEGIN:VALARM", "ACTION:DISPLAY", "DESCRIPTION:T",
              "TRIGGER;RELATED=END:-P4DT7H15M", "END:VALARM"})},
      {"every other week on Tuesday, no end",
       {0x98, 0, 0, 0, 0, 5, 0xf1, 0x5d, 0xf1, 0x5d, 2, 0, 0xff, 0xff, 2, 4, 0, 0, 'R', 0, 0},
       kResultOk,
       Lines({"SUMMARY:R", "DTSTART;VALUE=DATE:20241029", "DUE;VALUE=DATE:20241029", "PRIORITY:9",
              "STATUS:NEEDS-ACTION", "RRULE:FREQ=WEEKLY;INTERVAL=2;BYDAY=TU;WKST=SU"})},
  };
  LaterTask done;
  done.completed = true;
  done.repeatsAfterCompletion = true;
  done.completion = PackDate(2024, 9, 10);
  done.repeatStart = PackDate(2024, 9, 1);
  done.repeat = {samples::kMonthlyByDate, PackDate(2025, 1, 1), 1, 0, 0};
  cases.push_back(
      {"completed, repeating after completion", samples::LaterTaskRecord(done), kResultOk,
       Lines({"DTSTART;VALUE=DATE:20240901", "PRIORITY:1", "STATUS:COMPLETED",
              "COMPLETED:20240910T000000Z", "RRULE:FREQ=MONTHLY;UNTIL=20250101;BYMONTHDAY=1",
              "X-PALM-REPEAT-AFTER-COMPLETION:TRUE"})});
  LaterTask alarmOnly;
  alarmOnly.alarm = LaterTask::Alarm{7, 5, 0};
  alarmOnly.priority = 0;
  alarmOnly.due = PackDate(2024, 2, 30);
  cases.push_back({"bad due date and priority; alarm without due",
                   samples::LaterTaskRecord(alarmOnly), kResultBadData,
                   Lines({"STATUS:NEEDS-ACTION"})});
  Bytes cut = samples::LaterTaskRecord(done);
  cases.push_back({"repeat cut off", Bytes(cut.begin(), cut.begin() + 14), kResultBadData, ""});
  for (const Case& c : cases) {
    DatabaseBuilder builder =
        Database("PTod", samples::LaterCategoryBlock({"Unfiled"}, {0, 0, 0, 0}));
    builder.AddRecord(c.record, 0, 1);
    Converted converted = Convert(builder);
    EXPECT_EQ(converted.result, c.result) << c.what;
    std::string todo = Component(converted.text, "VTODO");
    std::size_t stamp = todo.find("DTSTAMP:");
    std::size_t after = stamp == std::string::npos ? 0 : todo.find("\r\n", stamp) + 2;
    std::string body = todo.empty() ? "" : todo.substr(after, todo.size() - after - 11);
    EXPECT_EQ(body, c.expected) << c.what;
  }
}

// ---- The device-made empty databases ----

Bytes ReadSample(const std::string& name) {
  std::ifstream in(std::string(ORMIDAL_FORMAT_SAMPLES) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ConvertLaterDatabases, DeviceMadeEmptyDatabasesAndTheirCategories) {
  LaterContact contact;
  contact.Set(0, "Q");
  Event event;
  event.date = PackDate(2024, 1, 1);
  struct Case {
    const char* file;
    const char* empty;
    Bytes record;
    const char* category;
  } cases[] = {
      {"ContactsDB-PAdd-empty.pdb", "", samples::LaterContactRecord(contact),
       "CATEGORIES:QuickList\r\n"},
      {"CalendarDB-PDat-empty.pdb",
       "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//ormidal//Palm database converter//EN\r\n"
       "END:VCALENDAR\r\n",
       samples::LaterEventRecord(event, std::nullopt, {}), "CATEGORIES:Personal\r\n"},
      {"TasksDB-PTod-empty.pdb",
       "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//ormidal//Palm database converter//EN\r\n"
       "END:VCALENDAR\r\n",
       samples::LaterTaskRecord({}), "CATEGORIES:Business\r\n"},
      {"MemosDB-PMem-empty.pdb", "", samples::MemoRecord("m"), "---------- Personal ----------"},
  };
  unsigned category = 3;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Bytes file = ReadSample(c.file);
    ASSERT_GT(file.size(), 80u);
    TempDir dir;
    std::string path = dir.File("empty.pdb");
    samples::WriteFileBytes(path, file);
    testing::Converted empty = testing::ConvertFile(path);
    EXPECT_EQ(empty.result, kResultOk);
    EXPECT_EQ(std::string(empty.bytes.begin(), empty.bytes.end()), c.empty);
    // The same block under a record of a named category.
    std::uint32_t appInfo = (file[52] << 24) | (file[53] << 16) | (file[54] << 8) | file[55];
    DatabaseBuilder builder;
    builder.Kind(std::string(file.begin() + 60, file.begin() + 64),
                 std::string(file.begin() + 64, file.begin() + 68));
    builder.AppInfo(Bytes(file.begin() + appInfo, file.end())).AddRecord(c.record, category, 1);
    Converted converted = Convert(builder);
    EXPECT_EQ(converted.result, kResultOk);
    EXPECT_NE(converted.text.find(c.category), std::string::npos) << converted.text;
    category = category == 3 ? 2 : category == 2 ? 1 : 2;
  }
}

}  // namespace
}  // namespace ormidal
