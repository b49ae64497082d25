// Contact databases: each record is a phone-label word, a field mask, a
// byte of its own, and one zero-terminated string for each field the mask
// names. Each contact becomes one vCard 3.0.

#include "convert/conversion.hpp"
#include "convert/handheld/categories.hpp"
#include "convert/handheld/content_lines.hpp"
#include "convert/handheld/handheld_records.hpp"
#include "database/byte_order.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

// The fields in the order of their mask bits and of their strings.
enum Field {
  kLastName,
  kFirstName,
  kCompany,
  kPhone1,
  kPhone5 = kPhone1 + 4,
  kAddress,
  kCity,
  kState,
  kZipCode,
  kCountry,
  kTitle,
  kCustom1,
  kCustom4 = kCustom1 + 3,
  kNote,
  kFieldCount
};

// The phone-label word, the field mask and the company-offset byte.
constexpr std::uint32_t kFixedSize = 9;
constexpr std::size_t kPhoneCount = 5;

struct Contact {
  std::uint32_t phoneLabels;
  StoredString fields[kFieldCount];
};

// What each phone label becomes.
const char* const kPhoneProperties[] = {
    "TEL;TYPE=WORK,VOICE",  // Work
    "TEL;TYPE=HOME,VOICE",  // Home
    "TEL;TYPE=FAX",         // Fax
    "TEL;TYPE=VOICE",       // Other
    "EMAIL;TYPE=INTERNET",  // E-mail
    "TEL;TYPE=VOICE",       // Main
    "TEL;TYPE=PAGER",       // Pager
    "TEL;TYPE=CELL,VOICE",  // Mobile
};
constexpr unsigned kLabelCount = sizeof kPhoneProperties / sizeof kPhoneProperties[0];

unsigned PhoneLabel(const Contact& contact, std::size_t phone) {
  return (contact.phoneLabels >> (4 * phone)) & 0x0F;
}

// The phone the handheld shows in its list, 0 to 4.
unsigned ListedPhone(const Contact& contact) { return (contact.phoneLabels >> 20) & 0x0F; }

// A record too short for its fixed part holds no contact. A string cut off
// before its terminator is left out, and so are the fields after it, which
// can no longer be found.
int ReadContact(Conversion* conversion, const HandheldRecord& record, Contact* contact,
                bool* usable) {
  *contact = {};
  *usable = false;
  unsigned char fixed[kFixedSize];
  bool present = false;
  int result = ReadFixedPart(conversion, record, fixed, sizeof fixed, &present);
  if (result != kResultOk || !present) return result;
  contact->phoneLabels = ReadBigEndian32(fixed);
  std::uint32_t mask = ReadBigEndian32(fixed + 4);
  std::uint32_t offset = record.range.start + kFixedSize;
  std::uint32_t end = record.range.start + record.range.size;
  for (int field = 0; field < kFieldCount; ++field) {
    if ((mask & (1u << field)) == 0) continue;
    bool terminated = false;
    result = FindString(conversion, &offset, end, &contact->fields[field], &terminated);
    if (result != kResultOk) return result;
    if (!terminated) break;
  }
  *usable = true;
  return kResultOk;
}

int WriteName(Conversion* conversion, const Contact& contact) {
  return WriteStructuredName(conversion, contact.fields[kLastName], contact.fields[kFirstName]);
}

int WriteFormattedName(Conversion* conversion, const Contact& contact) {
  const StoredString* fallbacks[1 + kPhoneCount] = {&contact.fields[kCompany]};
  for (std::size_t phone = 0; phone < kPhoneCount; ++phone)
    fallbacks[1 + phone] = &contact.fields[kPhone1 + phone];
  return ormidal::WriteFormattedName(conversion, contact.fields[kFirstName],
                                     contact.fields[kLastName], fallbacks, 1 + kPhoneCount);
}

int WritePhones(Conversion* conversion, const Contact& contact) {
  for (std::size_t phone = 0; phone < kPhoneCount; ++phone) {
    const StoredString& value = contact.fields[kPhone1 + phone];
    if (!value.present) continue;
    unsigned label = PhoneLabel(contact, phone);
    bool listed = ListedPhone(contact) == phone;
    AsciiText name;
    if (label < kLabelCount) {
      name.Add(kPhoneProperties[label]).Add(listed ? ",PREF" : "");
    } else {
      // A label the handheld does not define: a phone of no known type.
      name.Add(listed ? "TEL;TYPE=PREF" : "TEL");
    }
    if (int result = WriteTextProperty(conversion, name.text, value); result != kResultOk) {
      return result;
    }
  }
  return kResultOk;
}

// ADR: post-office box, extended address, street, city, region, postal
// code, country.
int WriteAddress(Conversion* conversion, const Contact& contact) {
  bool any = false;
  for (int field = kAddress; field <= kCountry; ++field) any = any || contact.fields[field].present;
  if (!any) return kResultOk;
  ContentLine line;
  int result = AppendAscii(conversion, &line, "ADR:;;");
  for (int field = kAddress; field <= kCountry && result == kResultOk; ++field) {
    if (field != kAddress) result = AppendAscii(conversion, &line, ";");
    if (result == kResultOk) result = AppendStoredText(conversion, &line, contact.fields[field]);
  }
  if (result == kResultOk) result = EndLine(conversion, &line);
  return result;
}

int WriteCard(Conversion* conversion, const CategoryTable& categories, const HandheldRecord& record,
              const Contact& contact) {
  static const char* const kCustomNames[] = {"X-PALM-CUSTOM1", "X-PALM-CUSTOM2", "X-PALM-CUSTOM3",
                                             "X-PALM-CUSTOM4"};
  int result = WriteAsciiLine(conversion, "BEGIN:VCARD");
  if (result == kResultOk) result = WriteAsciiLine(conversion, "VERSION:3.0");
  if (result == kResultOk) result = WriteName(conversion, contact);
  if (result == kResultOk) result = WriteFormattedName(conversion, contact);
  if (result == kResultOk) result = WriteTextProperty(conversion, "ORG", contact.fields[kCompany]);
  if (result == kResultOk) result = WriteTextProperty(conversion, "TITLE", contact.fields[kTitle]);
  if (result == kResultOk) result = WritePhones(conversion, contact);
  if (result == kResultOk) result = WriteAddress(conversion, contact);
  if (result == kResultOk) result = WriteTextProperty(conversion, "NOTE", contact.fields[kNote]);
  for (int custom = 0; custom < 4 && result == kResultOk; ++custom) {
    result = WriteTextProperty(conversion, kCustomNames[custom], contact.fields[kCustom1 + custom]);
  }
  if (result == kResultOk) result = WriteCategoryAndClass(conversion, categories, record);
  if (result == kResultOk) result = WriteAsciiLine(conversion, "END:VCARD");
  return result;
}

}  // namespace

int ConvertContacts(Conversion* conversion) {
  HandheldDatabase database;
  int result = ReadHandheldDatabase(conversion, &database);
  if (result != kResultOk) return result;
  return ForEachLiveRecord(conversion, [&](const HandheldRecord& record) {
    Contact contact;
    bool usable = false;
    int done = ReadContact(conversion, record, &contact, &usable);
    if (done == kResultOk && usable)
      done = WriteCard(conversion, database.categories, record, contact);
    return done;
  });
}

}  // namespace ormidal
