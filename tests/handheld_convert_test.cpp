// The handheld's own databases converted: memos to text, contacts to
// vCard, calendar and tasks to iCalendar, from databases of the project's
// own builder, with damage of every kind.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "convert/converters.hpp"
#include "database/result.hpp"
#include "samples/handheld_records.hpp"
#include "support/conversion_run.hpp"
#include "support/database_builder.hpp"

namespace ormidal {
namespace {

using samples::CategoryBlock;
using samples::Contact;
using samples::ContactRecord;
using samples::Event;
using samples::EventRecord;
using samples::kDeleted;
using samples::kNoDate;
using samples::kPrivate;
using samples::MemoRecord;
using samples::PackDate;
using samples::Task;
using samples::TaskRecord;
using testing::Bytes;
using testing::DatabaseBuilder;
using testing::TempDir;
using testing::ToBytes;

struct Converted {
  int result = -1;
  std::string text;
};

Converted Convert(const DatabaseBuilder& builder) {
  TempDir dir;
  testing::Converted run = testing::ConvertFile(builder.WriteTo(dir.File("db.pdb")));
  return {run.result, std::string(run.bytes.begin(), run.bytes.end())};
}

// 12 March 2004 10:30:00 UTC, and a day later, as the handheld counts.
constexpr std::uint32_t kCreated = 1079087400u + samples::kSecondsFrom1904To1970;
constexpr std::uint32_t kModified = kCreated + 86400;

const std::vector<std::string> kCategories = {"Unfiled", "Business", "Personal", "",
                                              "Caf\xE9, Bar; \\"};

DatabaseBuilder Database(const char* creator) {
  DatabaseBuilder builder;
  builder.Name("db").Kind("DATA", creator).CreationTime(kCreated).ModificationTime(kModified);
  builder.AppInfo(CategoryBlock(kCategories));
  return builder;
}

std::string Lines(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

const char* const kCalendarBegin =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//ormidal//Palm database converter//EN\r\n";
const char* const kCalendarEnd = "END:VCALENDAR\r\n";

std::string Calendar(const std::string& components) {
  return kCalendarBegin + components + kCalendarEnd;
}

// ---- Memos ----

TEST(ConvertMemos, EachLiveMemoUnderItsCategoryInItsOwnBytes) {
  DatabaseBuilder builder = Database("memo");
  builder.AddRecord(MemoRecord("Call Anne\nabout the caf\xE9\r\n\tthen \x01rest"), 1, 0x1001)
      .AddRecord(MemoRecord("gone"), kDeleted | 1, 0x1002)
      .AddRecord(MemoRecord("secret"), kPrivate | 2, 0x1003)
      .AddRecord(Bytes{}, 0, 0x1004)
      .AddRecord(ToBytes(std::string("no terminator")), 0, 0x1005)
      .AddRecord(ToBytes(std::string("text\0after the zero\0", 21)), 3, 0x1006)
      .AddRecord(MemoRecord("caf\xE9"), 4, 0x1007);
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultOk);
  EXPECT_EQ(
      converted.text,
      "---------- Business ----------\r\nCall Anne\r\nabout the caf\xE9\r\n\tthen rest\r\n\r\n"
      "---------- Personal ----------\r\nsecret\r\n\r\n"
      "---------- Unfiled ----------\r\nno terminator\r\n\r\n"
      "---------- Unfiled ----------\r\ntext\r\n\r\n"
      "---------- Caf\xE9, Bar; \\ ----------\r\ncaf\xE9\r\n\r\n");
}

TEST(ConvertMemos, LaterMemoApplicationHasTheSameRecords) {
  DatabaseBuilder builder = Database("PMem");
  builder.AddRecord(MemoRecord("one"), 2, 1);
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultOk);
  EXPECT_EQ(converted.text, "---------- Personal ----------\r\none\r\n\r\n");
}

TEST(ConvertMemos, CategoryTableMissingOrDamaged) {
  struct Case {
    const char* what;
    std::optional<Bytes> block;
    std::optional<std::uint32_t> statedOffset;
    int result;
  } cases[] = {
      {"no application-info block", std::nullopt, std::nullopt, kResultOk},
      {"block shorter than the table", Bytes(275, 'x'), std::nullopt, kResultBadData},
      {"offset inside the record list", CategoryBlock(kCategories), 80u, kResultBadData},
      {"offset past the end of the file", CategoryBlock(kCategories), 100000u, kResultBadData},
  };
  for (const Case& c : cases) {
    DatabaseBuilder builder;
    builder.Kind("DATA", "memo");
    if (c.block) builder.AppInfo(*c.block);
    if (c.statedOffset) builder.StatedAppInfoOffset(*c.statedOffset);
    builder.AddRecord(MemoRecord("m"), 2, 1);
    Converted converted = Convert(builder);
    EXPECT_EQ(converted.result, c.result) << c.what;
    EXPECT_EQ(converted.text, "---------- Unfiled ----------\r\nm\r\n\r\n") << c.what;
  }
}

TEST(ConvertMemos, SixteenByteCategoryNameHasNoTerminator) {
  DatabaseBuilder builder;
  builder.Kind("DATA", "memo").AppInfo(CategoryBlock({"Unfiled", "0123456789ABCDEF"}));
  builder.AddRecord(MemoRecord("m"), 1, 1);
  EXPECT_EQ(Convert(builder).text, "---------- 0123456789ABCDEF ----------\r\nm\r\n\r\n");
}

// ---- Contacts ----

Contact FullContact() {
  Contact contact;
  contact.Set(samples::kLastName, "M\xFCller")
      .Set(samples::kFirstName, "J\xFCrgen")
      .Set(samples::kCompany, "Tide Clocks, Inc.")
      .Set(samples::kPhone1, "+49 30 1234")
      .Set(samples::kPhone2, "+49 30 5678")
      .Set(samples::kPhone3, "+49 30 9999")
      .Set(samples::kPhone4, "+49 171 000")
      .Set(samples::kPhone5, "jm@example.org")
      .Set(samples::kAddress,
           "Hafenstra\xDF"
           "e 1\nHinterhaus")
      .Set(samples::kCity, "Berlin")
      .Set(samples::kState, "BE")
      .Set(samples::kZipCode, "10115")
      .Set(samples::kCountry, "Germany")
      .Set(samples::kTitle, "Keeper")
      .Set(samples::kCustom1, "c1")
      .Set(samples::kCustom2, "c2;x")
      .Set(samples::kCustom3, "c3")
      .Set(samples::kCustom4, "c4")
      .Set(samples::kNote, "Knows the tides\r\nand the \x80 price");
  contact.labels = {samples::kWork, samples::kHome, samples::kFax, samples::kMobile,
                    samples::kEmail};
  contact.listedPhone = 3;
  return contact;
}

TEST(ConvertContacts, EveryFieldPresent) {
  DatabaseBuilder builder = Database("addr");
  builder.AddRecord(ContactRecord(FullContact()), kPrivate | 1, 7);
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultOk);
  EXPECT_EQ(converted.text, Lines({"BEGIN:VCARD",
                                   "VERSION:3.0",
                                   "N:M\xC3\xBCller;J\xC3\xBCrgen;;;",
                                   "FN:J\xC3\xBCrgen M\xC3\xBCller",
                                   "ORG:Tide Clocks\\, Inc.",
                                   "TITLE:Keeper",
                                   "TEL;TYPE=WORK,VOICE:+49 30 1234",
                                   "TEL;TYPE=HOME,VOICE:+49 30 5678",
                                   "TEL;TYPE=FAX:+49 30 9999",
                                   "TEL;TYPE=CELL,VOICE,PREF:+49 171 000",
                                   "EMAIL;TYPE=INTERNET:jm@example.org",
                                   "ADR:;;Hafenstra\xC3\x9F"
                                   "e 1\\nHinterhaus;Berlin;BE;10115;Germany",
                                   "NOTE:Knows the tides\\nand the \xE2\x82\xAC price",
                                   "X-PALM-CUSTOM1:c1",
                                   "X-PALM-CUSTOM2:c2\\;x",
                                   "X-PALM-CUSTOM3:c3",
                                   "X-PALM-CUSTOM4:c4",
                                   "CATEGORIES:Business",
                                   "CLASS:PRIVATE",
                                   "END:VCARD"}));
}

TEST(ConvertContacts, EveryFieldAbsentButOne) {
  // Each field alone: the card holds N, FN and that field's own line.
  struct Case {
    samples::ContactField field;
    const char* value;
    std::string lines;
  } cases[] = {
      {samples::kLastName, "Smith", Lines({"N:Smith;;;;", "FN:Smith"})},
      {samples::kFirstName, "Ann", Lines({"N:;Ann;;;", "FN:Ann"})},
      {samples::kCompany, "ACME", Lines({"N:;;;;", "FN:ACME", "ORG:ACME"})},
      {samples::kPhone1, "555", Lines({"N:;;;;", "FN:555", "TEL;TYPE=WORK,VOICE,PREF:555"})},
      {samples::kPhone3, "556", Lines({"N:;;;;", "FN:556", "TEL;TYPE=FAX:556"})},
      {samples::kPhone5, "a@b.c", Lines({"N:;;;;", "FN:a@b.c", "EMAIL;TYPE=INTERNET:a@b.c"})},
      {samples::kAddress, "Main St", Lines({"N:;;;;", "FN:Unnamed", "ADR:;;Main St;;;;"})},
      {samples::kCity, "Oban", Lines({"N:;;;;", "FN:Unnamed", "ADR:;;;Oban;;;"})},
      {samples::kState, "AR", Lines({"N:;;;;", "FN:Unnamed", "ADR:;;;;AR;;"})},
      {samples::kZipCode, "PA34", Lines({"N:;;;;", "FN:Unnamed", "ADR:;;;;;PA34;"})},
      {samples::kCountry, "UK", Lines({"N:;;;;", "FN:Unnamed", "ADR:;;;;;;UK"})},
      {samples::kTitle, "Dr", Lines({"N:;;;;", "FN:Unnamed", "TITLE:Dr"})},
      {samples::kCustom3, "x", Lines({"N:;;;;", "FN:Unnamed", "X-PALM-CUSTOM3:x"})},
      {samples::kNote, "n", Lines({"N:;;;;", "FN:Unnamed", "NOTE:n"})},
  };
  for (const Case& c : cases) {
    Contact contact;
    contact.Set(c.field, c.value);
    DatabaseBuilder builder = Database("addr");
    builder.AddRecord(ContactRecord(contact), 0, 1);
    Converted converted = Convert(builder);
    EXPECT_EQ(converted.result, kResultOk) << c.value;
    EXPECT_EQ(converted.text,
              Lines({"BEGIN:VCARD", "VERSION:3.0"}) + c.lines + Lines({"END:VCARD"}))
        << c.value;
  }
}

TEST(ConvertContacts, FormattedNameFallsBackInOrder) {
  struct Case {
    std::vector<std::pair<samples::ContactField, const char*>> fields;
    const char* formattedName;
  } cases[] = {
      {{{samples::kLastName, "Lee"}, {samples::kFirstName, "Ann"}, {samples::kCompany, "C"}},
       "FN:Ann Lee"},
      {{{samples::kCompany, "C"}, {samples::kPhone2, "555"}}, "FN:C"},
      {{{samples::kPhone4, "557"}, {samples::kPhone2, "556"}}, "FN:556"},
      {{{samples::kLastName, ""}, {samples::kPhone5, "x@y"}}, "FN:x@y"},
      {{{samples::kNote, "only a note"}}, "FN:Unnamed"},
      {{}, "FN:Unnamed"},
  };
  for (const Case& c : cases) {
    Contact contact;
    for (const auto& [field, value] : c.fields) contact.Set(field, value);
    DatabaseBuilder builder = Database("addr");
    builder.AddRecord(ContactRecord(contact), 0, 1);
    std::string text = Convert(builder).text;
    EXPECT_NE(text.find(std::string("\r\n") + c.formattedName + "\r\n"), std::string::npos)
        << c.formattedName << "\n"
        << text;
  }
}

TEST(ConvertContacts, EachPhoneLabelAndTheListedPhone) {
  struct Case {
    std::uint8_t label;
    const char* property;
  } cases[] = {
      {samples::kWork, "TEL;TYPE=WORK,VOICE"},
      {samples::kHome, "TEL;TYPE=HOME,VOICE"},
      {samples::kFax, "TEL;TYPE=FAX"},
      {samples::kOther, "TEL;TYPE=VOICE"},
      {samples::kEmail, "EMAIL;TYPE=INTERNET"},
      {samples::kMain, "TEL;TYPE=VOICE"},
      {samples::kPager, "TEL;TYPE=PAGER"},
      {samples::kMobile, "TEL;TYPE=CELL,VOICE"},
      {9, "TEL"},
  };
  for (const Case& c : cases) {
    for (std::uint8_t listed : {0, 1}) {
      Contact contact;
      contact.Set(samples::kLastName, "L").Set(samples::kPhone2, "v");
      contact.labels[1] = c.label;
      contact.listedPhone = listed;
      DatabaseBuilder builder = Database("addr");
      builder.AddRecord(ContactRecord(contact), 0, 1);
      std::string expected = c.property;
      if (listed == 1) expected += c.label < 8 ? ",PREF" : ";TYPE=PREF";
      std::string text = Convert(builder).text;
      EXPECT_NE(text.find("\r\n" + expected + ":v\r\n"), std::string::npos) << expected << "\n"
                                                                            << text;
    }
  }
}

TEST(ConvertContacts, LongUtf8LineFoldsAt75OctetsBetweenCharacters) {
  // 60 times "é€\,;" and a line end: 2 + 3 + 2 + 2 + 2 + 2 octets each.
  std::string note;
  std::string escaped;
  for (int i = 0; i < 60; ++i) {
    note += "\xE9\x80\\,;\n";
    escaped += "\xC3\xA9\xE2\x82\xAC\\\\\\,\\;\\n";
  }
  Contact contact;
  contact.Set(samples::kLastName, "L").Set(samples::kNote, note);
  DatabaseBuilder builder = Database("addr");
  builder.AddRecord(ContactRecord(contact), 0, 1);
  std::string text = Convert(builder).text;
  std::size_t start = text.find("NOTE:");
  std::size_t end = text.find("\r\nEND:VCARD");
  ASSERT_NE(start, std::string::npos);
  std::string folded = text.substr(start, end - start);
  std::string unfolded;
  std::size_t lines = 0;
  for (std::size_t at = 0; at <= folded.size();) {
    std::size_t next = folded.find("\r\n", at);
    std::string physical =
        folded.substr(at, next == std::string::npos ? std::string::npos : next - at);
    ++lines;
    EXPECT_LE(physical.size(), 75u);
    if (at > 0) {
      ASSERT_EQ(physical[0], ' ');
      physical.erase(0, 1);
      // A continuation never begins inside a UTF-8 sequence or an escape.
      EXPECT_NE(static_cast<unsigned char>(physical[0]) & 0xC0, 0x80) << lines;
    }
    // A line never ends in the middle of an escape.
    std::size_t backslashes = 0;
    while (backslashes < physical.size() && physical[physical.size() - 1 - backslashes] == '\\')
      ++backslashes;
    EXPECT_EQ(backslashes % 2, 0u) << lines;
    unfolded += physical;
    if (next == std::string::npos) break;
    at = next + 2;
  }
  EXPECT_GT(lines, 10u);
  EXPECT_EQ(unfolded, "NOTE:" + escaped);
}

// ---- Calendar ----

Event TimedEvent() {
  Event event;
  event.At(10, 30, 11, 45);
  event.date = PackDate(2004, 3, 12);
  event.description = "Tide table, \xABspring\xBB";
  return event;
}

std::string EventText(const std::string& uid, const std::string& lines) {
  return "BEGIN:VEVENT\r\nUID:" + uid + "\r\nDTSTAMP:20040313T103000Z\r\n" + lines +
         "END:VEVENT\r\n";
}

TEST(ConvertCalendar, TimedAndUntimedEventsWithNoteCategoryAndPrivacy) {
  Event untimed;
  untimed.date = PackDate(2003, 12, 31);
  untimed.description = "New year";
  untimed.note = "Fireworks\nat the pier";
  DatabaseBuilder builder = Database("date");
  builder.AddRecord(EventRecord(TimedEvent()), 2, 0xABCDEF)
      .AddRecord(EventRecord(untimed), kPrivate | 4, 0x000102)
      .AddRecord(EventRecord(untimed), kDeleted, 0x000103);
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultOk);
  EXPECT_EQ(converted.text,
            Calendar(EventText("abcdef-bc7741a8@ormidal",
                               Lines({"DTSTART:20040312T103000", "DTEND:20040312T114500",
                                      "SUMMARY:Tide table\\, \xC2\xABspring\xC2\xBB",
                                      "CATEGORIES:Personal"})) +
                     EventText("000102-bc7741a8@ormidal",
                               Lines({"DTSTART;VALUE=DATE:20031231", "DTEND;VALUE=DATE:20040101",
                                      "SUMMARY:New year", "DESCRIPTION:Fireworks\\nat the pier",
                                      "CATEGORIES:Caf\xC3\xA9\\, Bar\\; \\\\", "CLASS:PRIVATE"}))));
}

TEST(ConvertCalendar, EveryRepeatTypeWithAndWithoutItsEnd) {
  struct Case {
    bool timed;
    Event::Repeat repeat;
    const char* rule;
  } cases[] = {
      {true,
       {samples::kDaily, PackDate(2004, 4, 1), 1, 0, 0},
       "RRULE:FREQ=DAILY;UNTIL=20040401T235959"},
      {false,
       {samples::kDaily, PackDate(2004, 4, 1), 3, 0, 0},
       "RRULE:FREQ=DAILY;INTERVAL=3;UNTIL=20040401"},
      {true,
       {samples::kWeekly, kNoDate, 2, 0x2A, 0},
       "RRULE:FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,WE,FR;WKST=SU"},
      {false,
       {samples::kWeekly, PackDate(2005, 1, 1), 1, 0x41, 1},
       "RRULE:FREQ=WEEKLY;UNTIL=20050101;BYDAY=SU,SA;WKST=MO"},
      {true, {samples::kMonthlyByDay, kNoDate, 1, 1 * 7 + 2, 0}, "RRULE:FREQ=MONTHLY;BYDAY=2TU"},
      {true, {samples::kMonthlyByDay, kNoDate, 1, 0 * 7 + 5, 0}, "RRULE:FREQ=MONTHLY;BYDAY=1FR"},
      {false,
       {samples::kMonthlyByDay, PackDate(2006, 6, 30), 6, 4 * 7 + 0, 0},
       "RRULE:FREQ=MONTHLY;INTERVAL=6;UNTIL=20060630;BYDAY=-1SU"},
      {true, {samples::kMonthlyByDate, kNoDate, 1, 0, 0}, "RRULE:FREQ=MONTHLY;BYMONTHDAY=12"},
      {false,
       {samples::kYearly, PackDate(2030, 3, 12), 1, 0, 0},
       "RRULE:FREQ=YEARLY;UNTIL=20300312"},
      {true, {samples::kYearly, kNoDate, 0, 0, 0}, "RRULE:FREQ=YEARLY"},
      {true,
       {samples::kDaily, PackDate(2004, 3, 12), 1, 0, 0},
       "RRULE:FREQ=DAILY;UNTIL=20040312T235959"},
      {true, {samples::kNoRepeat, kNoDate, 1, 0, 0}, nullptr},
  };
  for (const Case& c : cases) {
    Event event;
    event.date = PackDate(2004, 3, 12);
    if (c.timed) event.At(9, 0, 9, 30);
    event.repeat = c.repeat;
    DatabaseBuilder builder = Database("date");
    builder.AddRecord(EventRecord(event), 0, 1);
    Converted converted = Convert(builder);
    std::string times = c.timed
                            ? Lines({"DTSTART:20040312T090000", "DTEND:20040312T093000"})
                            : Lines({"DTSTART;VALUE=DATE:20040312", "DTEND;VALUE=DATE:20040313"});
    EXPECT_EQ(converted.result, kResultOk);
    EXPECT_EQ(converted.text,
              Calendar(EventText("000001-bc7741a8@ormidal",
                                 times + (c.rule ? std::string(c.rule) + "\r\n" : ""))))
        << (c.rule ? c.rule : "none");
  }
}

TEST(ConvertCalendar, ExceptionsAtTheStartTimeOrAsDates) {
  for (bool timed : {true, false}) {
    Event event;
    event.date = PackDate(2004, 3, 1);
    if (timed) event.At(7, 5, 8, 0);
    event.repeat = Event::Repeat{samples::kDaily, kNoDate, 1, 0, 0};
    event.exceptions = std::vector<std::uint16_t>{PackDate(2004, 3, 2), PackDate(2004, 3, 9)};
    DatabaseBuilder builder = Database("date");
    builder.AddRecord(EventRecord(event), 0, 1);
    std::string text = Convert(builder).text;
    const char* line = timed ? "\r\nRRULE:FREQ=DAILY\r\nEXDATE:20040302T070500,20040309T070500\r\n"
                             : "\r\nRRULE:FREQ=DAILY\r\nEXDATE;VALUE=DATE:20040302,20040309\r\n";
    EXPECT_NE(text.find(line), std::string::npos) << text;
  }
}

TEST(ConvertCalendar, ExceptionsWithoutARepeatAreNotWritten) {
  Event event = TimedEvent();
  event.exceptions = std::vector<std::uint16_t>{PackDate(2004, 3, 12)};
  DatabaseBuilder builder = Database("date");
  builder.AddRecord(EventRecord(event), 0, 1);
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultOk);
  EXPECT_EQ(converted.text.find("EXDATE"), std::string::npos);
  EXPECT_NE(converted.text.find("DTSTART:20040312T103000"), std::string::npos);
}

TEST(ConvertCalendar, AlarmsInEachUnit) {
  struct Case {
    Event::Alarm alarm;
    const char* trigger;
  } cases[] = {
      {{10, samples::kMinutes}, "TRIGGER:-PT10M"}, {{2, samples::kHours}, "TRIGGER:-PT2H"},
      {{1, samples::kDays}, "TRIGGER:-P1D"},       {{0, samples::kMinutes}, "TRIGGER:PT0M"},
      {{99, samples::kDays}, "TRIGGER:-P99D"},     {{-5, samples::kMinutes}, "TRIGGER:PT5M"},
  };
  for (const Case& c : cases) {
    Event event = TimedEvent();
    event.alarm = c.alarm;
    DatabaseBuilder builder = Database("date");
    builder.AddRecord(EventRecord(event), 0, 1);
    Converted converted = Convert(builder);
    EXPECT_EQ(converted.result, kResultOk);
    std::string alarm =
        Lines({"BEGIN:VALARM", "ACTION:DISPLAY", "DESCRIPTION:Tide table\\, \xC2\xABspring\xC2\xBB",
               c.trigger, "END:VALARM", "END:VEVENT"});
    EXPECT_NE(converted.text.find(alarm), std::string::npos) << c.trigger << "\n" << converted.text;
  }
}

TEST(ConvertCalendar, EndTimeEqualToTheStartGivesNoEnd) {
  Event event = TimedEvent();
  event.At(10, 30, 10, 30);
  DatabaseBuilder builder = Database("date");
  builder.AddRecord(EventRecord(event), 0, 1);
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultOk);
  EXPECT_NE(converted.text.find("DTSTART:20040312T103000\r\nSUMMARY"), std::string::npos);
}

TEST(ConvertCalendar, UidsStayUniqueWhenUniqueIdsRepeat) {
  DatabaseBuilder builder = Database("date");
  builder.AddRecord(EventRecord(TimedEvent()), 0, 0)
      .AddRecord(EventRecord(TimedEvent()), 0, 0)
      .AddRecord(EventRecord(TimedEvent()), 0, 0x10)
      .AddRecord(EventRecord(TimedEvent()), 0, 0);
  std::string text = Convert(builder).text;
  std::vector<std::string> uids;
  for (std::size_t at = text.find("UID:"); at != std::string::npos; at = text.find("UID:", at + 1))
    uids.push_back(text.substr(at + 4, text.find("\r\n", at) - at - 4));
  EXPECT_EQ(uids,
            (std::vector<std::string>{"000000-bc7741a8@ormidal", "000000-bc7741a8-1@ormidal",
                                      "000010-bc7741a8@ormidal", "000000-bc7741a8-3@ormidal"}));
}

TEST(ConvertCalendar, StampIsTheModificationTimeOrElseTheCreationTime) {
  struct Case {
    std::uint32_t created, modified;
    const char* stamp;
  } cases[] = {
      {kCreated, kModified, "DTSTAMP:20040313T103000Z"},
      {kCreated, 0, "DTSTAMP:20040312T103000Z"},
      {1079087400u, 0, "DTSTAMP:20040312T103000Z"},
      {0, 0, "DTSTAMP:19700101T000000Z"},
  };
  for (const Case& c : cases) {
    DatabaseBuilder builder;
    builder.Kind("DATA", "date").CreationTime(c.created).ModificationTime(c.modified);
    builder.AddRecord(EventRecord(TimedEvent()), 0, 1);
    std::string text = Convert(builder).text;
    EXPECT_NE(text.find(std::string("\r\n") + c.stamp + "\r\n"), std::string::npos) << c.stamp;
  }
}

TEST(ConvertCalendar, EmptyDatabaseIsAnEmptyCalendar) {
  DatabaseBuilder builder = Database("date");
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultOk);
  EXPECT_EQ(converted.text, Calendar(""));
}

TEST(ConvertCalendar, ManyRecordsAcrossRecordListBatches) {
  // More records than one batch of the record list holds, deleted ones
  // among them at the batch edges.
  DatabaseBuilder builder = Database("date");
  std::string expected;
  for (std::uint32_t i = 0; i < 2600; ++i) {
    bool deleted = i % 1024 == 1023 || i % 1024 == 0 || i % 7 == 3;
    Event event;
    event.date = PackDate(2000 + static_cast<int>(i % 30), 1 + i % 12, 1 + i % 28);
    event.description = "Event " + std::to_string(i);
    builder.AddRecord(EventRecord(event), deleted ? kDeleted : 0, 0x100000 + i);
    if (deleted) continue;
    char uid[40];
    std::snprintf(uid, sizeof uid, "%06x-bc7741a8@ormidal", 0x100000 + i);
    char start[9], end[9];
    std::snprintf(start, sizeof start, "%04u%02u%02u", 2000 + i % 30, 1 + i % 12, 1 + i % 28);
    std::snprintf(end, sizeof end, "%04u%02u%02u", 2000 + i % 30, 1 + i % 12, 2 + i % 28);
    expected +=
        EventText(uid, "DTSTART;VALUE=DATE:" + std::string(start) + "\r\nDTEND;VALUE=DATE:" + end +
                           "\r\nSUMMARY:Event " + std::to_string(i) + "\r\n");
  }
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultOk);
  EXPECT_EQ(converted.text, Calendar(expected));
}

// ---- Tasks ----

TEST(ConvertTasks, CompletedDatedAndEachPriority) {
  DatabaseBuilder builder = Database("todo");
  std::string expected;
  const std::uint16_t dues[] = {PackDate(2004, 2, 26), PackDate(2004, 2, 27), kNoDate,
                                PackDate(2004, 2, 29), PackDate(2004, 3, 1)};
  for (int priority = 1; priority <= 5; ++priority) {
    Task task;
    task.priority = static_cast<std::uint8_t>(priority);
    task.completed = priority % 2 == 0;
    task.due = dues[priority - 1];
    task.description = "Task " + std::to_string(priority);
    task.note = priority == 1 ? "with a note, \\ and all" : "";
    builder.AddRecord(TaskRecord(task), static_cast<std::uint8_t>(priority == 2 ? kPrivate | 1 : 0),
                      static_cast<std::uint32_t>(priority));
  }
  Converted converted = Convert(builder);
  EXPECT_EQ(converted.result, kResultOk);
  auto todo = [](const char* uid, const std::string& lines) {
    return "BEGIN:VTODO\r\nUID:" + std::string(uid) + "\r\nDTSTAMP:20040313T103000Z\r\n" + lines +
           "END:VTODO\r\n";
  };
  EXPECT_EQ(
      converted.text,
      Calendar(todo("000001-bc7741a8@ormidal",
                    Lines({"SUMMARY:Task 1", "DESCRIPTION:with a note\\, \\\\ and all",
                           "DUE;VALUE=DATE:20040226", "PRIORITY:1", "STATUS:NEEDS-ACTION"})) +
               todo("000002-bc7741a8@ormidal",
                    Lines({"SUMMARY:Task 2", "DUE;VALUE=DATE:20040227", "PRIORITY:3",
                           "STATUS:COMPLETED", "CATEGORIES:Business", "CLASS:PRIVATE"})) +
               todo("000003-bc7741a8@ormidal",
                    Lines({"SUMMARY:Task 3", "PRIORITY:5", "STATUS:NEEDS-ACTION"})) +
               todo("000004-bc7741a8@ormidal", Lines({"SUMMARY:Task 4", "DUE;VALUE=DATE:20040229",
                                                      "PRIORITY:7", "STATUS:COMPLETED"})) +
               todo("000005-bc7741a8@ormidal", Lines({"SUMMARY:Task 5", "DUE;VALUE=DATE:20040301",
                                                      "PRIORITY:9", "STATUS:NEEDS-ACTION"}))));
}

// ---- Damage ----

// A damaged record between two good ones converts as the same database
// with the damaged record repaired (or, where nothing of it stands, left
// out), and the result says the data was bad.
struct DamageCase {
  const char* what;
  const char* creator;
  Bytes damaged;
  std::optional<Bytes> repaired;
};

Bytes Cut(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

Bytes GoodRecord(const char* creator) {
  std::string kind = creator;
  if (kind == "addr") return ContactRecord(FullContact());
  if (kind == "date") return EventRecord(TimedEvent());
  if (kind == "todo") {
    Task task;
    task.description = "good";
    return TaskRecord(task);
  }
  return MemoRecord("good");
}

std::vector<DamageCase> DamageCases() {
  std::vector<DamageCase> cases;
  auto event = [](auto change) {
    Event event = TimedEvent();
    event.note = "note";
    change(event);
    return EventRecord(event);
  };
  auto task = [](auto change) {
    Task task;
    task.due = PackDate(2004, 5, 6);
    task.priority = 2;
    task.description = "describe";
    task.note = "note";
    change(task);
    return TaskRecord(task);
  };
  Bytes contact = ContactRecord(FullContact());
  Contact firstTwo;
  firstTwo.Set(samples::kLastName, "M\xFCller").Set(samples::kFirstName, "J\xFCrgen");
  firstTwo.labels = FullContact().labels;
  firstTwo.listedPhone = 3;
  std::size_t companyStart = ContactRecord(firstTwo).size();

  cases.push_back({"contact shorter than its fixed part", "addr", Cut(contact, 8), std::nullopt});
  cases.push_back({"contact string without its terminator", "addr", Cut(contact, companyStart + 5),
                   ContactRecord(firstTwo)});
  cases.push_back(
      {"event shorter than its fixed part", "date", Cut(event([](Event&) {}), 7), std::nullopt});
  cases.push_back({"event in month 0", "date",
                   event([](Event& e) { e.date = PackDate(2004, 0, 1); }), std::nullopt});
  cases.push_back({"event in month 13", "date",
                   event([](Event& e) { e.date = PackDate(2004, 13, 1); }), std::nullopt});
  cases.push_back({"event on 30 February", "date",
                   event([](Event& e) { e.date = PackDate(2004, 2, 30); }), std::nullopt});
  cases.push_back(
      {"event start hour 24", "date", event([](Event& e) { e.At(24, 0, 24, 30); }), std::nullopt});
  cases.push_back({"event end before its start", "date",
                   event([](Event& e) { e.At(10, 30, 9, 0); }),
                   event([](Event& e) { e.At(10, 30, 10, 30); })});
  cases.push_back({"event end minute 60", "date", event([](Event& e) { e.At(10, 30, 11, 60); }),
                   event([](Event& e) { e.At(10, 30, 10, 30); })});
  cases.push_back({"alarm cut off", "date",
                   Cut(event([](Event& e) {
                         e.alarm = Event::Alarm{5, samples::kMinutes};
                         e.description.reset();
                         e.note.reset();
                       }),
                       9),
                   std::nullopt});
  cases.push_back({"alarm in an unknown unit", "date", event([](Event& e) {
                     e.alarm = Event::Alarm{5, 3};
                   }),
                   event([](Event&) {})});
  cases.push_back({"repeat cut off", "date",
                   Cut(event([](Event& e) {
                         e.repeat = Event::Repeat{samples::kDaily, kNoDate, 1, 0, 0};
                         e.description.reset();
                         e.note.reset();
                       }),
                       15),
                   std::nullopt});
  cases.push_back({"repeat of an unknown type", "date", event([](Event& e) {
                     e.repeat = Event::Repeat{6, kNoDate, 1, 0, 0};
                   }),
                   event([](Event&) {})});
  cases.push_back(
      {"repeat ending on 31 April", "date", event([](Event& e) {
         e.repeat = Event::Repeat{samples::kDaily, PackDate(2004, 4, 31), 1, 0, 0};
         e.exceptions = std::vector<std::uint16_t>{PackDate(2004, 3, 13)};
       }),
       event([](Event& e) { e.exceptions = std::vector<std::uint16_t>{PackDate(2004, 3, 13)}; })});
  cases.push_back({"repeat ending before the event begins", "date", event([](Event& e) {
                     e.repeat = Event::Repeat{samples::kDaily, PackDate(2004, 3, 11), 1, 0, 0};
                   }),
                   event([](Event&) {})});
  cases.push_back({"weekly repeat on no day", "date", event([](Event& e) {
                     e.repeat = Event::Repeat{samples::kWeekly, kNoDate, 1, 0, 0};
                   }),
                   event([](Event&) {})});
  cases.push_back({"weekly repeat with week starting on day 7", "date", event([](Event& e) {
                     e.repeat = Event::Repeat{samples::kWeekly, kNoDate, 1, 0x02, 7};
                   }),
                   event([](Event&) {})});
  cases.push_back({"monthly repeat in week 5", "date", event([](Event& e) {
                     e.repeat = Event::Repeat{samples::kMonthlyByDay, kNoDate, 1, 35, 0};
                   }),
                   event([](Event&) {})});
  cases.push_back(
      {"exception date on 32 March", "date", event([](Event& e) {
         e.repeat = Event::Repeat{samples::kDaily, kNoDate, 1, 0, 0};
         e.exceptions = std::vector<std::uint16_t>{
             PackDate(2004, 3, 13), PackDate(2004, 3, 32 & 31), PackDate(2004, 3, 14)};
         (*e.exceptions)[1] = static_cast<std::uint16_t>(PackDate(2004, 3, 1) & ~0x1F);
       }),
       event([](Event& e) {
         e.repeat = Event::Repeat{samples::kDaily, kNoDate, 1, 0, 0};
         e.exceptions = std::vector<std::uint16_t>{PackDate(2004, 3, 13), PackDate(2004, 3, 14)};
       })});
  {
    // The count says three dates, the record holds one and a description.
    Bytes record = event([](Event& e) {
      e.exceptions = std::vector<std::uint16_t>{PackDate(2004, 3, 13)};
      e.note.reset();
      e.description = "ab";
    });
    record[9] = 3;
    cases.push_back({"exception count past the record", "date", record, std::nullopt});
  }
  {
    Bytes record = event([](Event&) {});
    record.pop_back();  // the note's terminator
    cases.push_back(
        {"note without its terminator", "date", record, event([](Event& e) { e.note.reset(); })});
    Bytes noDescriptionEnd = event([](Event& e) { e.note.reset(); });
    noDescriptionEnd.pop_back();
    cases.push_back(
        {"description without its terminator", "date", noDescriptionEnd, event([](Event& e) {
           e.note.reset();
           e.description.reset();
         })});
  }
  cases.push_back(
      {"task shorter than its fixed part", "todo", Cut(task([](Task&) {}), 2), std::nullopt});
  cases.push_back({"task due in month 0", "todo",
                   task([](Task& t) { t.due = PackDate(2004, 0, 6); }),
                   task([](Task& t) { t.due = kNoDate; })});
  cases.push_back({"task due on 31 June", "todo",
                   task([](Task& t) { t.due = PackDate(2004, 6, 31); }),
                   task([](Task& t) { t.due = kNoDate; })});
  cases.push_back(
      {"task of priority 0", "todo", task([](Task& t) { t.priority = 0; }), std::nullopt});
  cases.push_back(
      {"task of priority 6", "todo", task([](Task& t) { t.priority = 6; }), std::nullopt});
  {
    Bytes record = task([](Task&) {});
    record.pop_back();
    cases.push_back(
        {"task note without its terminator", "todo", record, task([](Task& t) { t.note = ""; })});
    // The description runs to the end: no note can follow it.
    Bytes noDescriptionEnd = Cut(record, record.size() - 6);
    cases.push_back(
        {"task description without its terminator", "todo", noDescriptionEnd, task([](Task& t) {
           t.description = "";
           t.note = "";
         })});
  }
  return cases;
}

std::string PriorityOmitted(std::string text) {
  std::size_t at = text.find("PRIORITY:3\r\n");
  if (at != std::string::npos) text.erase(at, 12);
  return text;
}

TEST(ConvertHandheldDamage, DamagedRecordOrFieldIsLeftOutAndTheRestKept) {
  for (const DamageCase& c : DamageCases()) {
    SCOPED_TRACE(c.what);
    DatabaseBuilder damaged = Database(c.creator);
    DatabaseBuilder repaired = Database(c.creator);
    damaged.AddRecord(GoodRecord(c.creator), 1, 0x11).AddRecord(c.damaged, 2, 0x22);
    repaired.AddRecord(GoodRecord(c.creator), 1, 0x11);
    if (c.repaired) repaired.AddRecord(*c.repaired, 2, 0x22);
    damaged.AddRecord(GoodRecord(c.creator), 0, 0x33);
    repaired.AddRecord(GoodRecord(c.creator), 0, 0x33);
    Converted fromDamaged = Convert(damaged);
    Converted fromRepaired = Convert(repaired);
    EXPECT_EQ(fromDamaged.result, kResultBadData);
    EXPECT_EQ(fromRepaired.result, kResultOk);
    std::string expected = fromRepaired.text;
    if (std::string(c.what).find("priority") != std::string::npos) {
      // The bad priority is the field left out: the task's other lines stay.
      DatabaseBuilder withTask = Database(c.creator);
      Task task;
      task.due = PackDate(2004, 5, 6);
      task.priority = 2;
      task.description = "describe";
      task.note = "note";
      withTask.AddRecord(GoodRecord(c.creator), 1, 0x11)
          .AddRecord(TaskRecord(task), 2, 0x22)
          .AddRecord(GoodRecord(c.creator), 0, 0x33);
      expected = PriorityOmitted(Convert(withTask).text);
    }
    EXPECT_EQ(fromDamaged.text, expected);
  }
}

TEST(ConvertHandheldDamage, RecordListReachingPastTheEndOfTheFile) {
  // Record 2 starts past the end of the file, so record 1 is cut at the
  // end of the file: it keeps what it holds, the rest is bad data.
  for (const char* creator : {"memo", "addr", "date", "todo"}) {
    SCOPED_TRACE(creator);
    DatabaseBuilder builder = Database(creator);
    builder.AddRecord(GoodRecord(creator), 1, 0x11)
        .AddRecord(GoodRecord(creator), 0, 0x22)
        .AddRecord(GoodRecord(creator), 0, 0x33);
    std::uint32_t end = static_cast<std::uint32_t>(builder.Build().size());
    builder.StatedOffsets({builder.OffsetOf(0), builder.OffsetOf(1), end + 100});
    DatabaseBuilder firstTwo = Database(creator);
    firstTwo.AddRecord(GoodRecord(creator), 1, 0x11).AddRecord(GoodRecord(creator), 0, 0x22);
    Converted converted = Convert(builder);
    EXPECT_EQ(converted.result, kResultBadData);
    EXPECT_EQ(converted.text, Convert(firstTwo).text);
  }
}

}  // namespace
}  // namespace ormidal
