#include "handheld_records.hpp"

#include <stdexcept>

namespace ormidal::samples {
namespace {

void Put16(Bytes* out, std::uint32_t value) {
  out->push_back(static_cast<unsigned char>(value >> 8));
  out->push_back(static_cast<unsigned char>(value));
}

void Put32(Bytes* out, std::uint32_t value) {
  Put16(out, value >> 16);
  Put16(out, value & 0xFFFF);
}

void PutString(Bytes* out, const std::string& text) {
  out->insert(out->end(), text.begin(), text.end());
  out->push_back(0);
}

}  // namespace

std::uint16_t PackDate(int year, int month, int day) {
  return static_cast<std::uint16_t>(((year - 1904) << 9) | (month << 5) | day);
}

Bytes CategoryBlock(const std::vector<std::string>& names, const Bytes& rest) {
  if (names.size() > 16) throw std::invalid_argument("at most 16 categories");
  Bytes out;
  Put16(&out, 0);
  for (std::size_t i = 0; i < 16; ++i) {
    std::string name = i < names.size() ? names[i] : "";
    name.resize(16, '\0');
    out.insert(out.end(), name.begin(), name.end());
  }
  for (std::size_t i = 0; i < 16; ++i) out.push_back(static_cast<unsigned char>(i));
  out.push_back(15);  // last category ID
  out.push_back(0);
  out.insert(out.end(), rest.begin(), rest.end());
  return out;
}

Bytes MemoRecord(const std::string& text) {
  Bytes out;
  PutString(&out, text);
  return out;
}

Bytes ContactRecord(const Contact& contact) {
  std::uint32_t labels = 0;
  for (std::size_t i = 0; i < 5; ++i) labels |= std::uint32_t{contact.labels[i]} << (4 * i);
  labels |= std::uint32_t{contact.listedPhone} << 20;
  std::uint32_t mask = 0;
  for (std::size_t i = 0; i < kContactFieldCount; ++i) {
    if (contact.fields[i]) mask |= 1u << i;
  }
  Bytes out;
  Put32(&out, labels);
  Put32(&out, mask);
  out.push_back(0);  // company offset
  for (const auto& field : contact.fields) {
    if (field) PutString(&out, *field);
  }
  return out;
}

Bytes EventRecord(const Event& event) {
  std::uint16_t flags = 0;
  if (event.alarm) flags |= 0x4000;
  if (event.repeat) flags |= 0x2000;
  if (event.note) flags |= 0x1000;
  if (event.exceptions) flags |= 0x0800;
  if (event.description) flags |= 0x0400;
  Bytes out = {event.startHour, event.startMinute, event.endHour, event.endMinute};
  Put16(&out, event.date);
  Put16(&out, flags);
  if (event.alarm) {
    out.push_back(static_cast<unsigned char>(event.alarm->advance));
    out.push_back(event.alarm->unit);
  }
  if (event.repeat) {
    out.push_back(event.repeat->type);
    out.push_back(0);
    Put16(&out, event.repeat->endDate);
    out.push_back(event.repeat->frequency);
    out.push_back(event.repeat->repeatOn);
    out.push_back(event.repeat->startOfWeek);
    out.push_back(0);
  }
  if (event.exceptions) {
    Put16(&out, static_cast<std::uint32_t>(event.exceptions->size()));
    for (std::uint16_t date : *event.exceptions) Put16(&out, date);
  }
  if (event.description) PutString(&out, *event.description);
  if (event.note) PutString(&out, *event.note);
  return out;
}

Bytes TaskRecord(const Task& task) {
  Bytes out;
  Put16(&out, task.due);
  out.push_back(static_cast<unsigned char>((task.priority & 0x7F) | (task.completed ? 0x80 : 0)));
  PutString(&out, task.description);
  PutString(&out, task.note);
  return out;
}

Bytes Extension(const std::string& name, const Bytes& content) {
  Bytes out(name.begin(), name.end());
  Put16(&out, static_cast<std::uint32_t>(content.size()));
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

Bytes LaterCategoryBlock(const std::vector<std::string>& names, const Bytes& rest) {
  Bytes colours(20, 0);  // colours edited, 16 colours, reserved
  colours.insert(colours.end(), rest.begin(), rest.end());
  return CategoryBlock(names, colours);
}

Bytes ContactsAppInfo(std::size_t labels, const std::vector<std::string>& customLabels) {
  static const char* const kDefaults[] = {"Last name", "First name", "Company", "Title",   "Work",
                                          "Home",      "Fax",        "Other",   "E-mail",  "Main",
                                          "Pager",     "Chat1",      "Chat2",   "Web site"};
  Bytes rest(8, 0xFF);
  for (std::size_t i = 0; i < labels; ++i) {
    std::string text;
    if (i < 14) text = kDefaults[i];
    if (i >= 14 && i < 23) {
      text =
          i - 14 < customLabels.size() ? customLabels[i - 14] : "Custom " + std::to_string(i - 13);
    }
    if (i == 40) text = "Mobile";
    text.resize(16, '\0');
    rest.insert(rest.end(), text.begin(), text.end());
  }
  rest.insert(rest.end(), {23, 0, 0, 0});  // country, reserved, sorted by name, pad
  return LaterCategoryBlock({"Unfiled", "Business", "Personal"}, rest);
}

Bytes LaterContactRecord(const LaterContact& contact) {
  std::uint32_t phones = std::uint32_t{contact.listedPhone} << 28;
  for (std::size_t i = 0; i < 7; ++i) phones |= std::uint32_t{contact.phoneLabels[i]} << (4 * i);
  std::uint32_t addresses = 0, chats = 0;
  for (std::size_t i = 0; i < 3; ++i)
    addresses |= std::uint32_t{contact.addressLabels[i]} << (4 * i);
  for (std::size_t i = 0; i < 2; ++i) chats |= std::uint32_t{contact.chatLabels[i]} << (4 * i);
  std::uint32_t first = 0, second = 0;
  for (std::size_t i = 0; i < contact.fields.size(); ++i) {
    if (!contact.fields[i]) continue;
    if (i < 32)
      first |= 1u << i;
    else
      second |= 1u << (i - 32);
  }
  if (contact.birthday) second |= 0x1800;
  if (contact.reminderDays) second |= 0x2000;
  Bytes out;
  Put32(&out, phones);
  Put16(&out, addresses);
  Put16(&out, chats);
  Put32(&out, first);
  Put32(&out, second);
  std::size_t company = 1;
  for (std::size_t i = 0; i < 2; ++i) {
    if (contact.fields[i]) company += contact.fields[i]->size() + 1;
  }
  out.push_back(contact.fields[2] ? static_cast<unsigned char>(company) : 0);
  for (const auto& field : contact.fields) {
    if (field) PutString(&out, *field);
  }
  if (contact.birthday) {
    Put16(&out, *contact.birthday);
    Put16(&out, contact.reminderDays ? 1 : 0);
    if (contact.reminderDays) out.push_back(*contact.reminderDays);
  }
  out.insert(out.end(), contact.extensions.begin(), contact.extensions.end());
  return out;
}

Bytes LaterEventRecord(const Event& event, const std::optional<std::string>& location,
                       const Bytes& extensions) {
  Bytes out = EventRecord(event);
  if (location) {
    out[6] |= 0x02;
    PutString(&out, *location);
  }
  out.insert(out.end(), extensions.begin(), extensions.end());
  return out;
}

Bytes ZoneContent(std::int16_t utcOffset, const std::array<std::uint8_t, 4>& daylightStart,
                  const std::array<std::uint8_t, 4>& daylightEnd, std::int16_t adjustment,
                  const std::string& name) {
  Bytes out;
  Put16(&out, static_cast<std::uint16_t>(utcOffset));
  out.insert(out.end(), daylightStart.begin(), daylightStart.end());
  out.insert(out.end(), daylightEnd.begin(), daylightEnd.end());
  Put16(&out, static_cast<std::uint16_t>(adjustment));
  out.push_back(8);  // country
  out.push_back(0);
  PutString(&out, name);
  return out;
}

Bytes LaterTaskRecord(const LaterTask& task) {
  std::uint16_t parts = 0;
  if (task.due) parts |= 0x8000;
  if (task.completion) parts |= 0x4000;
  if (task.alarm) parts |= 0x2000;
  if (task.repeatStart) parts |= 0x1000;
  if (!task.description.empty()) parts |= 0x0800;
  if (!task.note.empty()) parts |= 0x0400;
  Bytes out;
  Put16(&out, parts);
  Put16(&out, (task.completed ? 1 : 0) | (task.repeatsAfterCompletion ? 2 : 0));
  Put16(&out, task.priority);
  if (task.due) Put16(&out, *task.due);
  if (task.completion) Put16(&out, *task.completion);
  if (task.alarm) {
    out.push_back(task.alarm->hour);
    out.push_back(task.alarm->minute);
    Put16(&out, task.alarm->days);
  }
  if (task.repeatStart) {
    Put16(&out, *task.repeatStart);
    out.push_back(task.repeat.type);
    out.push_back(0);
    Put16(&out, task.repeat.endDate);
    out.push_back(task.repeat.frequency);
    out.push_back(task.repeat.repeatOn);
    out.push_back(task.repeat.startOfWeek);
    out.push_back(0);
  }
  PutString(&out, task.description);
  PutString(&out, task.note);
  return out;
}

}  // namespace ormidal::samples
