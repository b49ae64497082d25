// The later contacts application's databases: each record is a word of
// phone labels, a word of address labels, a word of messenger labels, two
// words naming the fields present, a byte of its own, one zero-terminated
// string for each field present, the birthday with its reminder, then
// extensions: the picture and the anniversary are the application's own.
// Each contact becomes one vCard 3.0.

#include <cstring>

#include "convert/conversion.hpp"
#include "convert/handheld/categories.hpp"
#include "convert/handheld/content_lines.hpp"
#include "convert/handheld/handheld_records.hpp"
#include "convert/handheld/packed_date.hpp"
#include "convert/handheld/record_extensions.hpp"
#include "database/byte_order.hpp"
#include "database/layout.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

// The fields in the order of their flag bits and of their strings.
enum Field {
  kLastName,
  kFirstName,
  kCompany,
  kTitle,
  kPhone1,
  kChat1 = kPhone1 + 7,
  kChat2,
  kWebSite,
  kCustom1,
  kAddress1 = kCustom1 + 9,  // street, city, state, zip code, country
  kNote = kAddress1 + 15,
  kFieldCount
};
constexpr int kPhoneCount = 7;
constexpr int kCustomCount = 9;
constexpr int kAddressCount = 3;
constexpr int kAddressParts = 5;

// Three label words, two field words, the company-offset byte.
constexpr std::uint32_t kFixedSize = 17;
constexpr std::uint32_t kHasBirthday = 1u << 11;  // of the second field word
constexpr std::uint32_t kHasBirthdayMask = 1u << 12;
constexpr std::uint32_t kHasReminderDays = 1u << 13;
constexpr std::uint16_t kReminderOn = 0x0001;

constexpr char kPictureExtension[] = "Bd00";
constexpr char kAnniversaryExtension[] = "Bd01";
constexpr std::uint32_t kPictureHeaderSize = 2;  // the edited flag

struct Reminded {
  bool present;
  CalendarDate date;
  bool reminder;
  int days;
};

struct LaterContact {
  std::uint32_t phoneLabels;
  std::uint16_t addressLabels;
  std::uint16_t chatLabels;
  StoredString fields[kFieldCount];
  Reminded birthday;
  Reminded anniversary;
  std::uint32_t pictureStart, pictureSize;
};

// The user's names for the custom fields, from the application-info block:
// labels 14 to 22 of 16 bytes each from offset 304.
constexpr std::size_t kLabelsOffset = 304;
constexpr std::size_t kLabelSize = 16;
constexpr std::size_t kFirstCustomLabel = 14;

struct CustomLabels {
  unsigned char names[kCustomCount][kLabelSize + 1];
};

int ReadCustomLabels(Conversion* conversion, std::uint32_t appInfoOffset, CustomLabels* labels) {
  std::memset(labels, 0, sizeof *labels);
  if (appInfoOffset == 0) return kResultOk;
  const ArchiveState& state = *conversion->state;
  std::uint32_t end = state.fileSize;
  if (state.recordCount > 0 && state.recordOffsets[0] > appInfoOffset &&
      state.recordOffsets[0] <= end) {
    end = state.recordOffsets[0];
  }
  std::uint64_t need = kLabelsOffset + (kFirstCustomLabel + kCustomCount) * kLabelSize;
  if (appInfoOffset >= end || end - appInfoOffset < need) {
    conversion->damaged = true;  // no block the application writes is this short
    return kResultOk;
  }
  unsigned char bytes[kCustomCount * kLabelSize];
  int result = ReadAt(conversion, appInfoOffset + kLabelsOffset + kFirstCustomLabel * kLabelSize,
                      bytes, sizeof bytes);
  for (int i = 0; i < kCustomCount && result == kResultOk; ++i) {
    std::memcpy(labels->names[i], bytes + i * kLabelSize, kLabelSize);
  }
  return result;
}

// "Custom 1" to "Custom 9" are the application's own labels, not the user's.
bool IsDefaultLabel(const unsigned char* name, int custom) {
  char expected[] = "Custom 0";
  expected[7] = static_cast<char>('1' + custom);
  return name[0] == 0 || std::strcmp(reinterpret_cast<const char*>(name), expected) == 0;
}

int ReadDateInto(Conversion* conversion, const unsigned char* bytes, Reminded* day) {
  if (TakeDate(conversion, bytes, &day->date)) day->present = true;
  return kResultOk;
}

// The birthday's date, its mask and its reminder days, each as its flag says.
int ReadBirthday(Conversion* conversion, std::uint32_t flags, std::uint32_t* offset,
                 std::uint32_t end, LaterContact* contact) {
  const std::uint32_t parts[] = {kHasBirthday, kHasBirthdayMask, kHasReminderDays};
  const std::uint32_t sizes[] = {2, 2, 1};
  for (int i = 0; i < 3; ++i) {
    if ((flags & parts[i]) == 0) continue;
    if (end - *offset < sizes[i]) {
      conversion->damaged = true;
      *offset = end;
      return kResultOk;
    }
    unsigned char bytes[2];
    if (int result = ReadAt(conversion, *offset, bytes, sizes[i]); result != kResultOk)
      return result;
    *offset += sizes[i];
    if (i == 0) ReadDateInto(conversion, bytes, &contact->birthday);
    if (i == 1) contact->birthday.reminder = (ReadBigEndian16(bytes) & kReminderOn) != 0;
    if (i == 2) contact->birthday.days = bytes[0];
  }
  return kResultOk;
}

// The anniversary: its date, its flags (bit 0 a reminder), its days.
int ReadAnniversary(Conversion* conversion, const Extension& extension, LaterContact* contact) {
  unsigned char bytes[5] = {};
  if (extension.size < 2) {
    conversion->damaged = true;
    return kResultOk;
  }
  std::uint32_t size = extension.size < sizeof bytes ? extension.size : sizeof bytes;
  if (int result = ReadAt(conversion, extension.start, bytes, size); result != kResultOk)
    return result;
  // Month and day 0: no anniversary, only a ring tone.
  if ((ReadBigEndian16(bytes) & 0x01FF) == 0) return kResultOk;
  ReadDateInto(conversion, bytes, &contact->anniversary);
  contact->anniversary.reminder = size >= 4 && (ReadBigEndian16(bytes + 2) & kReminderOn) != 0;
  contact->anniversary.days = size >= 5 ? bytes[4] : 0;
  return kResultOk;
}

int ReadLaterContact(Conversion* conversion, const HandheldRecord& record, LaterContact* contact,
                     bool* usable) {
  *contact = {};
  *usable = false;
  unsigned char fixed[kFixedSize];
  bool present = false;
  int result = ReadFixedPart(conversion, record, fixed, sizeof fixed, &present);
  if (result != kResultOk || !present) return result;
  *usable = true;
  contact->phoneLabels = ReadBigEndian32(fixed);
  contact->addressLabels = ReadBigEndian16(fixed + 4);
  contact->chatLabels = ReadBigEndian16(fixed + 6);
  std::uint32_t first = ReadBigEndian32(fixed + 8);
  std::uint32_t second = ReadBigEndian32(fixed + 12);
  std::uint32_t offset = record.range.start + kFixedSize;
  std::uint32_t end = record.range.start + record.range.size;
  for (int field = 0; field < kFieldCount; ++field) {
    bool flagged = field < 32 ? (first >> field) & 1 : (second >> (field - 32)) & 1;
    if (!flagged) continue;
    bool terminated = false;
    result = FindString(conversion, &offset, end, &contact->fields[field], &terminated);
    if (result != kResultOk) return result;
    // The fields after a string cut off can no longer be found.
    if (!terminated) return kResultOk;
  }
  result = ReadBirthday(conversion, second, &offset, end, contact);
  if (result != kResultOk) return result;
  return ForEachExtension(conversion, offset, end, [&](const Extension& extension) -> int {
    if (extension.Is(kPictureExtension) && extension.size > kPictureHeaderSize) {
      contact->pictureStart = extension.start + kPictureHeaderSize;
      contact->pictureSize = extension.size - kPictureHeaderSize;
    } else if (extension.Is(kAnniversaryExtension)) {
      return ReadAnniversary(conversion, extension, contact);
    }
    return kResultOk;
  });
}

int WriteName(Conversion* conversion, const LaterContact& contact) {
  return WriteStructuredName(conversion, contact.fields[kLastName], contact.fields[kFirstName]);
}

int WriteFormattedName(Conversion* conversion, const LaterContact& contact) {
  const StoredString* fallbacks[1 + kPhoneCount] = {&contact.fields[kCompany]};
  for (int phone = 0; phone < kPhoneCount; ++phone)
    fallbacks[1 + phone] = &contact.fields[kPhone1 + phone];
  return ormidal::WriteFormattedName(conversion, contact.fields[kFirstName],
                                     contact.fields[kLastName], fallbacks, 1 + kPhoneCount);
}

int WritePhones(Conversion* conversion, const LaterContact& contact) {
  static const char* const kPhoneProperties[] = {
      "TEL;TYPE=WORK,VOICE", "TEL;TYPE=HOME,VOICE", "TEL;TYPE=FAX",   "TEL;TYPE=VOICE",
      "EMAIL;TYPE=INTERNET", "TEL;TYPE=VOICE",      "TEL;TYPE=PAGER", "TEL;TYPE=CELL,VOICE",
  };
  unsigned listed = contact.phoneLabels >> 28;
  for (int phone = 0; phone < kPhoneCount; ++phone) {
    const StoredString& value = contact.fields[kPhone1 + phone];
    if (!value.present) continue;
    unsigned label = (contact.phoneLabels >> (4 * phone)) & 0x0F;
    AsciiText name;
    if (label < 8) {
      name.Add(kPhoneProperties[label]).Add(listed == static_cast<unsigned>(phone) ? ",PREF" : "");
    } else {
      name.Add(listed == static_cast<unsigned>(phone) ? "TEL;TYPE=PREF" : "TEL");
    }
    if (int result = WriteTextProperty(conversion, name.text, value); result != kResultOk) {
      return result;
    }
  }
  return kResultOk;
}

// ADR: post-office box, extended address, street, city, region, postal
// code, country; typed by the address's label.
int WriteAddresses(Conversion* conversion, const LaterContact& contact) {
  static const char* const kAddressProperties[] = {"ADR;TYPE=WORK:;;", "ADR;TYPE=HOME:;;"};
  for (int address = 0; address < kAddressCount; ++address) {
    int base = kAddress1 + address * kAddressParts;
    bool any = false;
    for (int part = 0; part < kAddressParts; ++part)
      any = any || contact.fields[base + part].present;
    if (!any) continue;
    unsigned label = (contact.addressLabels >> (4 * address)) & 0x0F;
    ContentLine line;
    int result = AppendAscii(conversion, &line, label < 2 ? kAddressProperties[label] : "ADR:;;");
    for (int part = 0; part < kAddressParts && result == kResultOk; ++part) {
      if (part != 0) result = AppendAscii(conversion, &line, ";");
      if (result == kResultOk)
        result = AppendStoredText(conversion, &line, contact.fields[base + part]);
    }
    if (result == kResultOk) result = EndLine(conversion, &line);
    if (result != kResultOk) return result;
  }
  return kResultOk;
}

int WriteChats(Conversion* conversion, const LaterContact& contact) {
  static const char* const kChatProperties[] = {"X-PALM-IM", "X-AIM", "X-MSN", "X-YAHOO", "X-ICQ"};
  for (int chat = 0; chat < 2; ++chat) {
    unsigned label = (contact.chatLabels >> (4 * chat)) & 0x0F;
    const char* name = label < 5 ? kChatProperties[label] : kChatProperties[0];
    int result = WriteTextProperty(conversion, name, contact.fields[kChat1 + chat]);
    if (result != kResultOk) return result;
  }
  return kResultOk;
}

int WriteCustoms(Conversion* conversion, const LaterContact& contact, const CustomLabels& labels) {
  for (int custom = 0; custom < kCustomCount; ++custom) {
    const StoredString& value = contact.fields[kCustom1 + custom];
    if (!value.present) continue;
    ContentLine line;
    int result =
        AppendAscii(conversion, &line, AsciiText().Add("X-PALM-CUSTOM").Decimal(custom + 1));
    const unsigned char* label = labels.names[custom];
    if (result == kResultOk && !IsDefaultLabel(label, custom)) {
      result = AppendAscii(conversion, &line, ";X-LABEL=");
      if (result == kResultOk) {
        result = AppendParameterValue(conversion, &line, label,
                                      std::strlen(reinterpret_cast<const char*>(label)));
      }
    }
    if (result == kResultOk) result = AppendAscii(conversion, &line, ":");
    if (result == kResultOk) result = AppendStoredText(conversion, &line, value);
    if (result == kResultOk) result = EndLine(conversion, &line);
    if (result != kResultOk) return result;
  }
  return kResultOk;
}

// A date as vCard writes one, and the reminder's days when one is set.
int WriteDay(Conversion* conversion, const char* name, const char* reminderName,
             const Reminded& day) {
  if (!day.present) return kResultOk;
  AsciiText line;
  line.Add(name).Add(':').Decimal(day.date.year, 4).Add('-').Decimal(day.date.month, 2);
  line.Add('-').Decimal(day.date.day, 2);
  int result = WriteAsciiLine(conversion, line);
  if (result == kResultOk && day.reminder) {
    result = WriteAsciiLine(conversion, AsciiText().Add(reminderName).Add(':').Decimal(day.days));
  }
  return result;
}

// The picture in base64, three bytes to four characters, carried over the
// source's pieces; folded like every line.
int WritePicture(Conversion* conversion, const LaterContact& contact) {
  if (contact.pictureSize == 0) return kResultOk;
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  unsigned char head[2] = {};
  int result = ReadAt(conversion, contact.pictureStart, head, contact.pictureSize >= 2 ? 2 : 1);
  if (result != kResultOk) return result;
  bool jpeg = head[0] == 0xFF && head[1] == 0xD8;
  ContentLine line;
  result =
      AppendAscii(conversion, &line, jpeg ? "PHOTO;ENCODING=b;TYPE=JPEG:" : "PHOTO;ENCODING=b:");
  unsigned char carry[3];
  std::size_t carried = 0;
  char out[4 * 256 + 1];
  auto encode = [&](const unsigned char* bytes, std::size_t size) -> int {
    std::size_t at = 0;
    while (at < size) {
      std::size_t length = 0;
      while (at < size && length + 4 < sizeof out) {
        carry[carried++] = bytes[at++];
        if (carried < 3) continue;
        out[length++] = kAlphabet[carry[0] >> 2];
        out[length++] = kAlphabet[((carry[0] & 3) << 4) | (carry[1] >> 4)];
        out[length++] = kAlphabet[((carry[1] & 15) << 2) | (carry[2] >> 6)];
        out[length++] = kAlphabet[carry[2] & 63];
        carried = 0;
      }
      out[length] = 0;
      if (int done = AppendAscii(conversion, &line, out); done != kResultOk) return done;
    }
    return kResultOk;
  };
  if (result == kResultOk) {
    result = ForEachPiece(conversion, contact.pictureStart, contact.pictureSize, encode);
  }
  if (result == kResultOk && carried > 0) {
    if (carried == 1) carry[1] = 0;
    char tail[5] = {kAlphabet[carry[0] >> 2], kAlphabet[((carry[0] & 3) << 4) | (carry[1] >> 4)],
                    carried == 2 ? kAlphabet[(carry[1] & 15) << 2] : '=', '=', 0};
    result = AppendAscii(conversion, &line, tail);
  }
  if (result == kResultOk) result = EndLine(conversion, &line);
  return result;
}

int WriteLaterCard(Conversion* conversion, const CategoryTable& categories,
                   const CustomLabels& labels, const HandheldRecord& record,
                   const LaterContact& contact) {
  int result = WriteAsciiLine(conversion, "BEGIN:VCARD");
  if (result == kResultOk) result = WriteAsciiLine(conversion, "VERSION:3.0");
  if (result == kResultOk) result = WriteName(conversion, contact);
  if (result == kResultOk) result = WriteFormattedName(conversion, contact);
  if (result == kResultOk) result = WriteTextProperty(conversion, "ORG", contact.fields[kCompany]);
  if (result == kResultOk) result = WriteTextProperty(conversion, "TITLE", contact.fields[kTitle]);
  if (result == kResultOk) result = WritePhones(conversion, contact);
  if (result == kResultOk) result = WriteAddresses(conversion, contact);
  if (result == kResultOk) result = WriteChats(conversion, contact);
  if (result == kResultOk) result = WriteTextProperty(conversion, "URL", contact.fields[kWebSite]);
  if (result == kResultOk) result = WriteCustoms(conversion, contact, labels);
  if (result == kResultOk) {
    result = WriteDay(conversion, "BDAY", "X-PALM-BIRTHDAY-REMINDER", contact.birthday);
  }
  if (result == kResultOk) {
    result =
        WriteDay(conversion, "X-ANNIVERSARY", "X-PALM-ANNIVERSARY-REMINDER", contact.anniversary);
  }
  if (result == kResultOk) result = WriteTextProperty(conversion, "NOTE", contact.fields[kNote]);
  if (result == kResultOk) result = WritePicture(conversion, contact);
  if (result == kResultOk) result = WriteCategoryAndClass(conversion, categories, record);
  if (result == kResultOk) result = WriteAsciiLine(conversion, "END:VCARD");
  return result;
}

}  // namespace

int ConvertLaterContacts(Conversion* conversion) {
  HandheldDatabase database;
  CustomLabels labels;
  int result = ReadHandheldDatabase(conversion, &database);
  if (result == kResultOk)
    result = ReadCustomLabels(conversion, database.header.appInfoOffset, &labels);
  if (result != kResultOk) return result;
  return ForEachLiveRecord(conversion, [&](const HandheldRecord& record) -> int {
    LaterContact contact;
    bool usable = false;
    int done = ReadLaterContact(conversion, record, &contact, &usable);
    if (done == kResultOk && usable) {
      done = WriteLaterCard(conversion, database.categories, labels, record, contact);
    }
    return done;
  });
}

}  // namespace ormidal
