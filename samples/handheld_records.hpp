// Records of the handheld's own applications (memos, contacts, calendar,
// tasks) and their category table, in the byte layouts the handheld
// stores, for the sample generator and the tests. Text is given as the
// handheld's own Windows-1252 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "database_builder.hpp"

namespace ormidal::samples {

// Seconds from 1 January 1904, the handheld's epoch, to 1 January 1970.
inline constexpr std::uint32_t kSecondsFrom1904To1970 = 2082844800u;

// Record attributes: deleted, private, and the category in the low bits.
inline constexpr std::uint8_t kDeleted = 0x80;
inline constexpr std::uint8_t kPrivate = 0x10;

// Year less 1904 in bits 15 to 9, month in 8 to 5, day in 4 to 0.
std::uint16_t PackDate(int year, int month, int day);
inline constexpr std::uint16_t kNoDate = 0xFFFF;

// The 276-byte category table (renamed mask, 16 names of 16 bytes, 16 IDs,
// last ID, pad) for up to 16 names, then `rest`, the application's own part.
Bytes CategoryBlock(const std::vector<std::string>& names, const Bytes& rest = Bytes(4, 0));

// A memo: its text and a terminating zero.
Bytes MemoRecord(const std::string& text);

enum ContactField {
  kLastName,
  kFirstName,
  kCompany,
  kPhone1,
  kPhone2,
  kPhone3,
  kPhone4,
  kPhone5,
  kAddress,
  kCity,
  kState,
  kZipCode,
  kCountry,
  kTitle,
  kCustom1,
  kCustom2,
  kCustom3,
  kCustom4,
  kNote,
  kContactFieldCount
};

enum PhoneLabel : std::uint8_t { kWork, kHome, kFax, kOther, kEmail, kMain, kPager, kMobile };

struct Contact {
  std::array<std::optional<std::string>, kContactFieldCount> fields;
  std::array<std::uint8_t, 5> labels = {kWork, kHome, kFax, kOther, kEmail};
  std::uint8_t listedPhone = 0;  // 0 to 4
  Contact& Set(ContactField field, const std::string& value) {
    fields[field] = value;
    return *this;
  }
};

// Phone-label word, field mask, company offset, then the present fields.
Bytes ContactRecord(const Contact& contact);

enum AlarmUnit : std::uint8_t { kMinutes, kHours, kDays };
enum RepeatType : std::uint8_t {
  kNoRepeat,
  kDaily,
  kWeekly,
  kMonthlyByDay,
  kMonthlyByDate,
  kYearly
};

struct Event {
  std::uint8_t startHour = 0xFF, startMinute = 0xFF, endHour = 0xFF, endMinute = 0xFF;
  std::uint16_t date = 0;
  struct Alarm {
    std::int8_t advance;
    std::uint8_t unit;
  };
  std::optional<Alarm> alarm;
  struct Repeat {
    std::uint8_t type;
    std::uint16_t endDate = kNoDate;
    std::uint8_t frequency = 1;
    std::uint8_t repeatOn = 0;
    std::uint8_t startOfWeek = 0;
  };
  std::optional<Repeat> repeat;
  std::optional<std::vector<std::uint16_t>> exceptions;
  std::optional<std::string> description;
  std::optional<std::string> note;

  Event& At(int hour, int minute, int toHour, int toMinute) {
    startHour = static_cast<std::uint8_t>(hour);
    startMinute = static_cast<std::uint8_t>(minute);
    endHour = static_cast<std::uint8_t>(toHour);
    endMinute = static_cast<std::uint8_t>(toMinute);
    return *this;
  }
};

// Times, date, flags, then the alarm, repeat, exceptions, description and
// note that are present, each flagged.
Bytes EventRecord(const Event& event);

struct Task {
  std::uint16_t due = kNoDate;
  std::uint8_t priority = 1;
  bool completed = false;
  std::string description;
  std::string note;
};

// Due date, priority byte (top bit: completed), description, note.
Bytes TaskRecord(const Task& task);

// ---- The later applications' layouts ----

// An extension appended to a record: four-byte name, 16-bit size, content.
Bytes Extension(const std::string& name, const Bytes& content);

// The later applications' application-info block: the category table, the
// colour part, then `rest`.
Bytes LaterCategoryBlock(const std::vector<std::string>& names, const Bytes& rest);
// The contacts' block with `labels` label slots (49 or 53), the default
// texts and the custom labels given (index 0 is "Custom 1").
Bytes ContactsAppInfo(std::size_t labels, const std::vector<std::string>& customLabels = {});

struct LaterContact {
  // Fields 0 to 38: last, first, company, title, phone 1-7, chat 1-2, web
  // site, custom 1-9, three addresses of five parts, note.
  std::array<std::optional<std::string>, 39> fields;
  std::array<std::uint8_t, 7> phoneLabels = {0, 1, 2, 3, 4, 5, 7};
  std::uint8_t listedPhone = 0;
  std::array<std::uint8_t, 3> addressLabels = {0, 1, 2};
  std::array<std::uint8_t, 2> chatLabels = {0, 1};
  std::optional<std::uint16_t> birthday;
  std::optional<std::uint8_t> reminderDays;  // a reminder set
  Bytes extensions;
  LaterContact& Set(int field, const std::string& value) {
    fields[static_cast<std::size_t>(field)] = value;
    return *this;
  }
};

Bytes LaterContactRecord(const LaterContact& contact);

// The classic appointment, then the location when present, then the
// extensions.
Bytes LaterEventRecord(const Event& event, const std::optional<std::string>& location,
                       const Bytes& extensions);
// A time-zone extension's content.
Bytes ZoneContent(std::int16_t utcOffset, const std::array<std::uint8_t, 4>& daylightStart,
                  const std::array<std::uint8_t, 4>& daylightEnd, std::int16_t adjustment,
                  const std::string& name);

struct LaterTask {
  std::optional<std::uint16_t> due, completion;
  bool completed = false, repeatsAfterCompletion = false;
  std::uint16_t priority = 1;
  struct Alarm {
    std::uint8_t hour, minute;
    std::uint16_t days;
  };
  std::optional<Alarm> alarm;
  std::optional<std::uint16_t> repeatStart;
  Event::Repeat repeat = {kNoRepeat};
  std::string description, note;
};

Bytes LaterTaskRecord(const LaterTask& task);

}  // namespace ormidal::samples
