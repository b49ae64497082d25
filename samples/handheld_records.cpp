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

}  // namespace ormidal::samples
