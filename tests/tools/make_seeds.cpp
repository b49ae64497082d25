// Writes the fuzz targets' seed corpora from the fixture builder: every kind
// of database, good and broken, and texts for the packer.
//   ormidal_make_seeds OUTPUT_FOLDER
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "samples/handheld_records.hpp"
#include "support/database_builder.hpp"

using namespace ormidal::testing;

namespace {

Bytes Deflate(const std::string& text) {
  Bytes out(compressBound(static_cast<uLong>(text.size())) + 16);
  uLongf size = static_cast<uLongf>(out.size());
  compress2(out.data(), &size, reinterpret_cast<const Bytef*>(text.data()),
            static_cast<uLong>(text.size()), 9);
  out.resize(size);
  return out;
}

void Put(const std::filesystem::path& folder, const std::string& name, const Bytes& bytes) {
  std::filesystem::create_directories(folder);
  WriteFileBytes((folder / name).string(), bytes);
}

void ArchiveSeeds(const std::filesystem::path& folder) {
  std::string text = "Hello,\r\nPalm world.\tTabbed\n" + std::string(300, 'x') + "\n";
  Put(folder, "document",
      DatabaseBuilder()
          .Name("book")
          .AddRecord(DocumentHeader(1, static_cast<std::uint32_t>(text.size()), 1))
          .AddRecord(text)
          .AddRecord("bookmark")
          .Build());
  // Compressed document: literals, a literal run, space pairs and a back copy.
  Bytes lz = {'a', 'b', 'c', 'd', 0x03, 0x01, 0x02, 0x03, 0xE8, 0x80, 0x21, 'Z'};
  Put(folder, "document-lz77",
      DatabaseBuilder().Name("lz").AddRecord(DocumentHeader(2, 14, 1)).AddRecord(lz).Build());
  Put(folder, "photo",
      DatabaseBuilder()
          .Name("pic")
          .Kind("Foto", "Foto")
          .AddRecord(Bytes(8, 0))
          .AddRecord(Bytes(20, 0xFF))
          .AddRecord(Bytes(3, 1))
          .Build());
  Bytes note = {0x20, 0x24, 0, 0, 'H', 'i', 0};
  Put(folder, "notes",
      DatabaseBuilder()
          .Name("memo")
          .Kind("DATA", "MNBi")
          .AddRecord(note)
          .AddRecord(Bytes{1})
          .Build());
  Put(folder, "ztxt",
      DatabaseBuilder()
          .Name("z")
          .Kind("zTXT", "GPlm")
          .AddRecord(Bytes(20, 0))
          .AddRecord(Deflate(text + text + text))
          .Build());
  Put(folder, "unknown",
      DatabaseBuilder().Name("a/b:c").Kind("BOOK", "MOBI").AddRecord("x").Build());
  Put(folder, "cut-list", DatabaseBuilder().StatedRecordCount(9).AddRecord("a").Build());
  Put(folder, "wrapped",
      DatabaseBuilder().AddRecord("aaaa").AddRecord("bb").StatedOffsets({200, 90}).Build());
  Put(folder, "beyond-end",
      DatabaseBuilder().AddRecord("r0").AddRecord("r1").StatedOffsets({88, 0x7FFFFFFF}).Build());
}

void PackSeeds(const std::filesystem::path& folder) {
  Put(folder, "empty", Bytes{});
  Put(folder, "crlf", ToBytes("line one\r\nline two\r\n\ttab\x7f\xe9\x01\x1f\n"));
  Put(folder, "block", Bytes(4096, 'a'));
}

// The handheld's own databases: categories, private and deleted records,
// every optional part of an appointment, and a short record of each kind.
// The later applications' layouts: every part and extension present, and
// records cut inside them.
void LaterSeeds(const std::filesystem::path& folder) {
  namespace s = ormidal::samples;
  s::LaterContact card;
  for (int field = 0; field < 39; ++field) card.Set(field, "f" + std::to_string(field));
  card.birthday = s::PackDate(1980, 5, 17);
  card.reminderDays = 2;
  card.extensions = s::Extension("Bd00", {0, 1, 0xFF, 0xD8, 1, 2, 3});
  Bytes anniversary = s::Extension("Bd01", {0xF0, 0x39, 0, 1, 3, 0, 0, 0, 0, 0, 0, 0});
  card.extensions.insert(card.extensions.end(), anniversary.begin(), anniversary.end());
  Bytes cardBytes = s::LaterContactRecord(card);
  Put(folder, "later-contacts",
      DatabaseBuilder()
          .Kind("DATA", "PAdd")
          .AppInfo(s::ContactsAppInfo(53, {"Custom 1", "Label"}))
          .AddRecord(cardBytes, 1, 1)
          .AddRecord(Bytes(cardBytes.begin(), cardBytes.end() - 5), 0, 2)
          .Build());
  Bytes zone = s::Extension("Bd00", s::ZoneContent(60, {2, 0, 4, 3}, {3, 0, 4, 10}, 60, "Berlin"));
  Bytes meeting = s::Extension("Bd01", {3, 1, 0, 1, 0, 'A', 0, 'a', '@', 'b', 0});
  zone.insert(zone.end(), meeting.begin(), meeting.end());
  s::Event event;
  event.At(9, 30, 0, 0).date = s::PackDate(2024, 3, 15);
  event.alarm = s::Event::Alarm{10, s::kMinutes};
  event.repeat = s::Event::Repeat{s::kWeekly, s::PackDate(2024, 6, 28), 1, 0x22, 0};
  event.exceptions = std::vector<std::uint16_t>{s::PackDate(2024, 4, 1)};
  event.description = "Standup";
  Bytes eventBytes = s::LaterEventRecord(event, "Room", zone);
  Put(folder, "later-calendar",
      DatabaseBuilder()
          .Kind("DATA", "PDat")
          .AppInfo(s::LaterCategoryBlock({"Unfiled", "Work"}, {0, 0}))
          .AddRecord(eventBytes, 1, 1)
          .AddRecord(Bytes(eventBytes.begin(), eventBytes.end() - 9), 0, 2)
          .Build());
  s::LaterTask task;
  task.due = s::PackDate(2024, 9, 9);
  task.completion = s::PackDate(2024, 9, 10);
  task.completed = true;
  task.alarm = s::LaterTask::Alarm{16, 45, 5};
  task.repeatStart = s::PackDate(2024, 9, 9);
  task.repeat = {s::kMonthlyByDay, s::kNoDate, 1, 12, 0};
  task.description = "Task";
  task.note = "note";
  Bytes taskBytes = s::LaterTaskRecord(task);
  Put(folder, "later-tasks",
      DatabaseBuilder()
          .Kind("DATA", "PTod")
          .AppInfo(s::LaterCategoryBlock({"Unfiled", "Home"}, {0, 0, 0, 0}))
          .AddRecord(taskBytes, 1, 1)
          .AddRecord(Bytes(taskBytes.begin(), taskBytes.begin() + 13), 0, 2)
          .Build());
}

void HandheldSeeds(const std::filesystem::path& folder) {
  namespace s = ormidal::samples;
  Bytes categories = s::CategoryBlock({"Unfiled", "Business", "Caf\xE9, Bar"});
  Put(folder, "memos",
      DatabaseBuilder()
          .Kind("DATA", "memo")
          .AppInfo(categories)
          .AddRecord(s::MemoRecord("Memo\none"), 1, 1)
          .AddRecord(s::MemoRecord("private"), s::kPrivate | 2, 2)
          .AddRecord(s::MemoRecord("gone"), s::kDeleted, 3)
          .AddRecord(ToBytes(std::string("no end")), 0, 4)
          .Build());
  s::Contact contact;
  contact.Set(s::kLastName, "Smith").Set(s::kFirstName, "Ann").Set(s::kPhone1, "555");
  contact.Set(s::kAddress, "1 Main St").Set(s::kNote, "a, b; c\\");
  Bytes cut = s::ContactRecord(contact);
  cut.resize(cut.size() - 3);
  Put(folder, "contacts",
      DatabaseBuilder()
          .Kind("DATA", "addr")
          .AppInfo(categories)
          .AddRecord(s::ContactRecord(contact), 1, 1)
          .AddRecord(cut, s::kPrivate, 2)
          .AddRecord(Bytes{0, 0, 0}, 0, 3)
          .Build());
  s::Event event;
  event.At(10, 30, 11, 0);
  event.date = s::PackDate(2004, 3, 12);
  event.alarm = s::Event::Alarm{10, s::kMinutes};
  event.repeat = s::Event::Repeat{s::kMonthlyByDay, s::PackDate(2005, 1, 1), 2, 30, 0};
  event.exceptions = std::vector<std::uint16_t>{s::PackDate(2004, 4, 30), 0x0000};
  event.description = "Meeting";
  event.note = "Room 4";
  s::Event untimed;
  untimed.date = s::PackDate(2004, 2, 29);
  untimed.repeat = s::Event::Repeat{s::kWeekly, s::kNoDate, 1, 0x41, 1};
  untimed.description = "Weekend";
  Put(folder, "calendar",
      DatabaseBuilder()
          .Kind("DATA", "date")
          .CreationTime(0xBC7741A8u)
          .AppInfo(categories)
          .AddRecord(s::EventRecord(event), 1, 1)
          .AddRecord(s::EventRecord(untimed), s::kPrivate, 1)
          .AddRecord(Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x08, 0x4C, 0x08, 0x00, 0x00, 0x09}, 0, 3)
          .Build());
  s::Task task;
  task.due = s::PackDate(2004, 3, 1);
  task.priority = 2;
  task.completed = true;
  task.description = "Task";
  task.note = "note";
  Put(folder, "tasks",
      DatabaseBuilder()
          .Kind("DATA", "todo")
          .AppInfo(categories)
          .AddRecord(s::TaskRecord(task), 2, 1)
          .AddRecord(Bytes{0xFF, 0xFF, 0x86, 'x'}, 0, 2)
          .Build());
  LaterSeeds(folder);
}

void Lz77Seeds(const std::filesystem::path& folder) {
  Put(folder, "mixed", Bytes{'a', 'b', 'c', 0x02, 0xFF, 0x00, 0xC1, 0x80, 0x19, 0x80, 0x0A});
  Put(folder, "too-far", Bytes{'a', 0x87, 0xFF});
  Put(folder, "cut-run", Bytes{'a', 0x08, 'b'});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  std::filesystem::path out = argv[1];
  ArchiveSeeds(out / "archive");
  HandheldSeeds(out / "archive");
  PackSeeds(out / "pack");
  // The text filters see what the packer sees.
  PackSeeds(out / "filters");
  Lz77Seeds(out / "lz77");
  return 0;
}
