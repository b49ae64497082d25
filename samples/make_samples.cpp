// Writes the sample databases of the kinds that packing a text does not
// make, and beside them, in expected/, what converting each one must give:
//   compressed-text.pdb  zTXT/GPlm, the bundled text as one zlib stream
//   photo.pdb            Foto/Foto, a small PNG picture split over records
//   dated-notes.pdb      DATA/MNBi, a keeper's log, one note per record
//   memos.pdb            DATA/memo, the keeper's memos      -> memos.txt
//   contacts.pdb         DATA/addr, the keeper's contacts   -> contacts.vcf
//   calendar.pdb         DATA/date, the keeper's calendar   -> calendar.ics
//   tasks.pdb            DATA/todo, the keeper's tasks      -> tasks.ics
//   later-contacts.pdb   DATA/PAdd, the later contacts      -> later-contacts.vcf
//   later-calendar.pdb   DATA/PDat, the later calendar      -> later-calendar.ics
//   later-tasks.pdb      DATA/PTod, the later tasks         -> later-tasks.ics
// Each of the handheld's own has categories, a private and a deleted record.
//   tide-table.prc       an application: its name, version, an icon and a
//                        bitmap -> tide-table.txt, and the pictures' pixels
//                        as tide-icon.ppm and tide-chart.ppm
//   harbour.pdb          vIMG/View, an Image Viewer picture -> harbour.ppm
//   book.mobi            BOOK/MOBI, a small book with a picture -> book.txt
//
//   ormidal_make_samples SAMPLE_TEXT OUTPUT_FOLDER
//
// The build runs it (target ormidal_samples) into build/PRESET/samples.
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "database_builder.hpp"
#include "handheld_records.hpp"

using namespace ormidal::samples;

namespace {

// Creation times are seconds since 1 January 1904, as a handheld counts them.
// 12 March 2004, 10:30:00 UTC.
constexpr std::uint32_t kCreationTime = 1079087400u + kSecondsFrom1904To1970;

Bytes ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Append(Bytes* out, const Bytes& more) { out->insert(out->end(), more.begin(), more.end()); }

void AppendBigEndian(Bytes* out, std::uint32_t value, int bytes) {
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
    out->push_back(static_cast<unsigned char>(value >> shift));
}

// What a handheld stores of a desktop text: CR and the other control bytes
// but tab and LF dropped.
Bytes DeviceText(const Bytes& text) {
  Bytes out;
  for (unsigned char c : text) {
    if (c >= 0x20 || c == '\t' || c == '\n') out.push_back(c);
  }
  return out;
}

// What the converter makes of handheld text: LF as CR LF, tab kept, the
// other control bytes dropped.
Bytes DesktopText(const Bytes& text) {
  Bytes out;
  for (unsigned char c : text) {
    if (c == '\n') {
      out.push_back('\r');
      out.push_back('\n');
    } else if (c >= 0x20 || c == '\t') {
      out.push_back(c);
    }
  }
  return out;
}

// Deflates `text` as one zlib stream with a full flush after every `piece`
// bytes of input, and returns the stream cut at those flushes: each part
// can be inflated from its own start, as a reader that jumps into the
// middle of a book needs.
std::vector<Bytes> DeflateInPieces(const Bytes& text, std::size_t piece) {
  z_stream stream{};
  if (deflateInit(&stream, Z_BEST_COMPRESSION) != Z_OK)
    throw std::runtime_error("zlib: deflateInit failed");
  std::vector<Bytes> parts;
  std::size_t done = 0;
  do {
    std::size_t size = std::min(piece, text.size() - done);
    bool last = done + size == text.size();
    Bytes part(deflateBound(&stream, static_cast<uLong>(size)) + 64);
    stream.next_in = const_cast<unsigned char*>(text.data() + done);
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = part.data();
    stream.avail_out = static_cast<uInt>(part.size());
    int status = deflate(&stream, last ? Z_FINISH : Z_FULL_FLUSH);
    if (status != (last ? Z_STREAM_END : Z_OK) || stream.avail_in != 0)
      throw std::runtime_error("zlib: deflate failed");
    part.resize(part.size() - stream.avail_out);
    parts.push_back(part);
    done += size;
  } while (done < text.size());
  deflateEnd(&stream);
  return parts;
}

// The zTXT header record: version 1.44, record count, text length, record
// size, no bookmarks or annotations, the random-access flag, and the CRC
// of the compressed data.
Bytes CompressedTextHeader(const std::vector<Bytes>& parts, std::size_t textLength,
                           std::uint16_t recordSize) {
  uLong crc = crc32(0, nullptr, 0);
  for (const Bytes& part : parts) crc = crc32(crc, part.data(), static_cast<uInt>(part.size()));
  Bytes out;
  AppendBigEndian(&out, 0x012C, 2);
  AppendBigEndian(&out, static_cast<std::uint32_t>(parts.size()), 2);
  AppendBigEndian(&out, static_cast<std::uint32_t>(textLength), 4);
  AppendBigEndian(&out, recordSize, 2);
  AppendBigEndian(&out, 0, 2);  // bookmarks
  AppendBigEndian(&out, 0, 2);  // bookmark record
  AppendBigEndian(&out, 0, 2);  // annotations
  AppendBigEndian(&out, 0, 2);  // annotation record
  out.push_back(0x01);          // random access: every record starts at a full flush
  out.push_back(0);
  AppendBigEndian(&out, static_cast<std::uint32_t>(crc), 4);
  AppendBigEndian(&out, 0, 4);
  return out;
}

void WriteCompressedText(const Bytes& sampleText, const std::filesystem::path& out) {
  constexpr std::uint16_t kRecordSize = 4096;
  Bytes text = DeviceText(sampleText);
  std::vector<Bytes> parts = DeflateInPieces(text, kRecordSize);
  DatabaseBuilder builder;
  builder.Name("The Keeper of the Tide Clock")
      .Kind("zTXT", "GPlm")
      .CreationTime(kCreationTime)
      .AddRecord(CompressedTextHeader(parts, text.size(), kRecordSize));
  for (const Bytes& part : parts) builder.AddRecord(part);
  builder.WriteTo((out / "compressed-text.pdb").string());
  WriteFileBytes((out / "expected" / "compressed-text.txt").string(), DesktopText(text));
}

// One PNG chunk: length, type, data and the CRC of type and data.
void AppendChunk(Bytes* png, const char* type, const Bytes& data) {
  AppendBigEndian(png, static_cast<std::uint32_t>(data.size()), 4);
  Bytes typed(type, type + 4);
  Append(&typed, data);
  Append(png, typed);
  AppendBigEndian(
      png, static_cast<std::uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))), 4);
}

// A 96 x 96 picture of the tide clock: a pale face with a dark rim, a tick
// at high and at low water, and the red hand on the way down.
Bytes TideClockPng() {
  constexpr int kSide = 96;
  const double centre = (kSide - 1) / 2.0;
  const double handAngle = 2.4;  // radians clockwise from high water
  Bytes rows;
  for (int y = 0; y < kSide; ++y) {
    rows.push_back(0);  // no filter
    for (int x = 0; x < kSide; ++x) {
      double dx = x - centre, dy = y - centre;
      double radius = std::sqrt(dx * dx + dy * dy);
      // Distance from the hand, a segment from the centre outwards.
      double hx = std::sin(handAngle), hy = -std::cos(handAngle);
      double along = dx * hx + dy * hy;
      double across = std::fabs(dx * hy - dy * hx);
      unsigned char r = 70, g = 110, b = 140;  // the sea around the clock
      if (radius < 44) r = 238, g = 232, b = 214;
      if (radius >= 40 && radius < 44) r = 40, g = 44, b = 52;
      bool tick = std::fabs(dx) < 2 && radius > 32 && radius < 40;
      if (tick) r = 40, g = 44, b = 52;
      if (along > 0 && along < 34 && across < 2.5) r = 170, g = 52, b = 40;
      if (radius < 4) r = 40, g = 44, b = 52;
      rows.push_back(r);
      rows.push_back(g);
      rows.push_back(b);
    }
  }
  Bytes compressed(compressBound(static_cast<uLong>(rows.size())));
  uLongf size = static_cast<uLongf>(compressed.size());
  if (compress2(compressed.data(), &size, rows.data(), static_cast<uLong>(rows.size()), 9) != Z_OK)
    throw std::runtime_error("zlib: compress2 failed");
  compressed.resize(size);

  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  AppendBigEndian(&header, kSide, 4);
  AppendBigEndian(&header, kSide, 4);
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, no interlace
  AppendChunk(&png, "IHDR", header);
  AppendChunk(&png, "IDAT", compressed);
  AppendChunk(&png, "IEND", {});
  return png;
}

void WritePhoto(const std::filesystem::path& out) {
  constexpr std::size_t kPiece = 512;
  Bytes png = TideClockPng();
  DatabaseBuilder builder;
  builder.Name("Tide clock face").Kind("Foto", "Foto").CreationTime(kCreationTime);
  // Each record: an 8-byte prefix (here the record's number and its
  // payload's length), which the converter skips, and a piece of the picture.
  for (std::size_t at = 0, index = 0; at < png.size(); at += kPiece, ++index) {
    std::size_t size = std::min(kPiece, png.size() - at);
    Bytes record;
    AppendBigEndian(&record, static_cast<std::uint32_t>(index), 4);
    AppendBigEndian(&record, static_cast<std::uint32_t>(size), 4);
    record.insert(record.end(), png.begin() + at, png.begin() + at + size);
    builder.AddRecord(record);
  }
  builder.WriteTo((out / "photo.pdb").string());
  WriteFileBytes((out / "expected" / "photo.png").string(), png);
}

struct Note {
  int year, month, day;
  const char* text;
};

const Note kNotes[] = {
    {2003, 11, 2, "Wind NW 6, high water 06:12. The heron came back."},
    {2003, 11, 19, "Wind W 4, high water 05:40. Bread from the Tullochs, still warm."},
    {2003, 12, 7, "Storm, telegraph down. High water 07:03, and far too soon."},
    {2003, 12, 8, "Wait for the second tide. The first one lies."},
    {2003, 12, 24, "Calm, high water 06:55. Pulled the weight up: new moon."},
    {2004, 1, 4, "Wind N 3, high water 08:21. The first tide lies, the second forgives."},
};

void WriteDatedNotes(const std::filesystem::path& out) {
  DatabaseBuilder builder;
  builder.Name("Keeper's log").Kind("DATA", "MNBi").CreationTime(kCreationTime);
  std::string expected;
  for (const Note& note : kNotes) {
    // The packed date: year less 1904 in bits 15 to 9, month in 8 to 5,
    // day in 4 to 0; then two bytes of the note's own, its text and a
    // terminating zero.
    std::uint32_t packed =
        (static_cast<std::uint32_t>(note.year - 1904) << 9) | (note.month << 5) | note.day;
    Bytes record;
    AppendBigEndian(&record, packed, 2);
    record.insert(record.end(), {0, 0});
    std::string text = note.text;
    record.insert(record.end(), text.begin(), text.end());
    record.push_back(0);
    builder.AddRecord(record);
    char date[32];
    std::snprintf(date, sizeof date, "%2d.%2d.%d   ", note.day, note.month, note.year);
    expected += date + text + "\r\n";
  }
  builder.WriteTo((out / "dated-notes.pdb").string());
  WriteFileBytes((out / "expected" / "dated-notes.txt").string(), ToBytes(expected));
}

// ---- The handheld's own applications ----

DatabaseBuilder HandheldDatabase(const char* name, const char* creator,
                                 const std::vector<std::string>& categories) {
  DatabaseBuilder builder;
  builder.Name(name)
      .Kind("DATA", creator)
      .CreationTime(kCreationTime)
      .ModificationTime(kCreationTime + 3600)
      .AppInfo(CategoryBlock(categories));
  return builder;
}

void WriteMemos(const std::filesystem::path& out) {
  DatabaseBuilder builder = HandheldDatabase("MemoDB", "memo", {"Unfiled", "Tides", "Household"});
  builder
      .AddRecord(MemoRecord("Spring tides this month: 6th and 21st.\n"
                            "Check the weight chain before each."),
                 1, 0x5A0001)
      .AddRecord(MemoRecord("Spare key under the third stone."), kPrivate | 2, 0x5A0002)
      .AddRecord(MemoRecord("An old memo, deleted"), kDeleted, 0x5A0003)
      .AddRecord(MemoRecord("Caf\xE9 at the pier opens at 7."), 0, 0x5A0004);
  builder.WriteTo((out / "memos.pdb").string());
  // The memos keep the handheld's own bytes: \xE9 is é in Windows-1252.
  WriteFileBytes((out / "expected" / "memos.txt").string(),
                 ToBytes("---------- Tides ----------\r\n"
                         "Spring tides this month: 6th and 21st.\r\n"
                         "Check the weight chain before each.\r\n\r\n"
                         "---------- Household ----------\r\n"
                         "Spare key under the third stone.\r\n\r\n"
                         "---------- Unfiled ----------\r\n"
                         "Caf\xE9 at the pier opens at 7.\r\n\r\n"));
}

void WriteContacts(const std::filesystem::path& out) {
  DatabaseBuilder builder =
      HandheldDatabase("AddressDB", "addr", {"Unfiled", "Suppliers", "Harbour"});
  Contact baker;
  baker.Set(kLastName, "Tulloch")
      .Set(kFirstName, "Morag")
      .Set(kCompany, "Tulloch's Bakery")
      .Set(kPhone1, "01631 562 000")
      .Set(kPhone2, "01631 562 111")
      .Set(kPhone5, "morag@tulloch.example")
      .Set(kAddress, "3 Harbour Row")
      .Set(kCity, "Oban")
      .Set(kZipCode, "PA34 4LW")
      .Set(kCountry, "Scotland")
      .Set(kNote,
           "Bread on Tuesdays, Fridays.\nAsk at the bakery's side door for the "
           "\x93keeper's loaf\x94.");
  Contact office;
  office.Set(kCompany, "Harbour Master's Office").Set(kPhone1, "01631 562 999");
  office.labels[0] = kMain;
  Contact gone;
  gone.Set(kLastName, "Deleted");
  builder.AddRecord(ContactRecord(baker), 1, 0x5B0001)
      .AddRecord(ContactRecord(office), kPrivate | 2, 0x5B0002)
      .AddRecord(ContactRecord(gone), kDeleted, 0x5B0003);
  builder.WriteTo((out / "contacts.pdb").string());
  WriteFileBytes(
      (out / "expected" / "contacts.vcf").string(),
      ToBytes("BEGIN:VCARD\r\n"
              "VERSION:3.0\r\n"
              "N:Tulloch;Morag;;;\r\n"
              "FN:Morag Tulloch\r\n"
              "ORG:Tulloch's Bakery\r\n"
              "TEL;TYPE=WORK,VOICE,PREF:01631 562 000\r\n"
              "TEL;TYPE=HOME,VOICE:01631 562 111\r\n"
              "EMAIL;TYPE=INTERNET:morag@tulloch.example\r\n"
              "ADR:;;3 Harbour Row;Oban;;PA34 4LW;Scotland\r\n"
              // 73 octets: the opening quote's three would pass 75, so
              // the line folds before it.
              "NOTE:Bread on Tuesdays\\, Fridays.\\nAsk at the bakery's side door for the \r\n"
              " \xE2\x80\x9Ckeeper's loaf\xE2\x80\x9D.\r\n"
              "CATEGORIES:Suppliers\r\n"
              "END:VCARD\r\n"
              "BEGIN:VCARD\r\n"
              "VERSION:3.0\r\n"
              "N:;;;;\r\n"
              "FN:Harbour Master's Office\r\n"
              "ORG:Harbour Master's Office\r\n"
              "TEL;TYPE=VOICE,PREF:01631 562 999\r\n"
              "CATEGORIES:Harbour\r\n"
              "CLASS:PRIVATE\r\n"
              "END:VCARD\r\n"));
}

const char kCalendarBegin[] =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//ormidal//Palm database converter//EN\r\n";

void WriteCalendar(const std::filesystem::path& out) {
  DatabaseBuilder builder = HandheldDatabase("DatebookDB", "date", {"Unfiled", "Clock", "Harbour"});
  Event winding;
  winding.At(8, 0, 8, 15);
  winding.date = PackDate(2004, 3, 14);  // a Sunday
  winding.alarm = Event::Alarm{10, kMinutes};
  winding.repeat = Event::Repeat{kWeekly, PackDate(2004, 12, 31), 1, 0x09, 0};  // Sun, Wed
  winding.exceptions = std::vector<std::uint16_t>{PackDate(2004, 3, 24)};
  winding.description = "Wind the tide clock";
  Event springTide;
  springTide.date = PackDate(2004, 3, 21);
  springTide.description = "Spring tide";
  springTide.note = "Moon: full, high water 06:55";
  Event board;
  board.At(19, 0, 21, 0);
  board.date = PackDate(2004, 3, 26);                                     // the last Friday
  board.repeat = Event::Repeat{kMonthlyByDay, kNoDate, 1, 4 * 7 + 5, 0};  // last Friday
  board.description = "Harbour board meeting";
  Event birthday;
  birthday.date = PackDate(2004, 7, 2);
  birthday.repeat = Event::Repeat{kYearly, kNoDate, 1, 0, 0};
  birthday.alarm = Event::Alarm{1, kDays};
  birthday.description = "Morag's birthday";
  builder.AddRecord(EventRecord(winding), 1, 0x5C0001)
      .AddRecord(EventRecord(springTide), 0, 0x5C0002)
      .AddRecord(EventRecord(board), 2, 0x5C0003)
      .AddRecord(EventRecord(springTide), kDeleted, 0x5C0004)
      .AddRecord(EventRecord(birthday), kPrivate, 0x5C0005);
  builder.WriteTo((out / "calendar.pdb").string());
  // UIDs: the record's unique ID, then the creation time in hexadecimal;
  // DTSTAMP: the modification time, in UTC.
  WriteFileBytes((out / "expected" / "calendar.ics").string(),
                 ToBytes(std::string(kCalendarBegin) +
                         "BEGIN:VEVENT\r\n"
                         "UID:5c0001-bc7741a8@ormidal\r\n"
                         "DTSTAMP:20040312T113000Z\r\n"
                         "DTSTART:20040314T080000\r\n"
                         "DTEND:20040314T081500\r\n"
                         "SUMMARY:Wind the tide clock\r\n"
                         "RRULE:FREQ=WEEKLY;UNTIL=20041231T235959;BYDAY=SU,WE;WKST=SU\r\n"
                         "EXDATE:20040324T080000\r\n"
                         "CATEGORIES:Clock\r\n"
                         "BEGIN:VALARM\r\n"
                         "ACTION:DISPLAY\r\n"
                         "DESCRIPTION:Wind the tide clock\r\n"
                         "TRIGGER:-PT10M\r\n"
                         "END:VALARM\r\n"
                         "END:VEVENT\r\n"
                         "BEGIN:VEVENT\r\n"
                         "UID:5c0002-bc7741a8@ormidal\r\n"
                         "DTSTAMP:20040312T113000Z\r\n"
                         "DTSTART;VALUE=DATE:20040321\r\n"
                         "DTEND;VALUE=DATE:20040322\r\n"
                         "SUMMARY:Spring tide\r\n"
                         "DESCRIPTION:Moon: full\\, high water 06:55\r\n"
                         "END:VEVENT\r\n"
                         "BEGIN:VEVENT\r\n"
                         "UID:5c0003-bc7741a8@ormidal\r\n"
                         "DTSTAMP:20040312T113000Z\r\n"
                         "DTSTART:20040326T190000\r\n"
                         "DTEND:20040326T210000\r\n"
                         "SUMMARY:Harbour board meeting\r\n"
                         "RRULE:FREQ=MONTHLY;BYDAY=-1FR\r\n"
                         "CATEGORIES:Harbour\r\n"
                         "END:VEVENT\r\n"
                         "BEGIN:VEVENT\r\n"
                         "UID:5c0005-bc7741a8@ormidal\r\n"
                         "DTSTAMP:20040312T113000Z\r\n"
                         "DTSTART;VALUE=DATE:20040702\r\n"
                         "DTEND;VALUE=DATE:20040703\r\n"
                         "SUMMARY:Morag's birthday\r\n"
                         "RRULE:FREQ=YEARLY\r\n"
                         "CLASS:PRIVATE\r\n"
                         "BEGIN:VALARM\r\n"
                         "ACTION:DISPLAY\r\n"
                         "DESCRIPTION:Morag's birthday\r\n"
                         "TRIGGER:-P1D\r\n"
                         "END:VALARM\r\n"
                         "END:VEVENT\r\n"
                         "END:VCALENDAR\r\n"));
}

void WriteTasks(const std::filesystem::path& out) {
  DatabaseBuilder builder = HandheldDatabase("ToDoDB", "todo", {"Unfiled", "Clock"});
  Task oil;
  oil.due = PackDate(2004, 3, 20);
  oil.priority = 1;
  oil.description = "Oil the clock gears";
  oil.note = "Use the light oil; never the heavy.";
  Task chain;
  chain.priority = 3;
  chain.completed = true;
  chain.description = "Order a new weight chain";
  Task paint;
  paint.due = PackDate(2004, 5, 1);
  paint.priority = 5;
  paint.description = "Paint the \x93Heron\x94";
  Task gone;
  gone.description = "Deleted";
  builder.AddRecord(TaskRecord(oil), 1, 0x5D0001)
      .AddRecord(TaskRecord(chain), 1, 0x5D0002)
      .AddRecord(TaskRecord(gone), kDeleted | 1, 0x5D0003)
      .AddRecord(TaskRecord(paint), kPrivate, 0x5D0004);
  builder.WriteTo((out / "tasks.pdb").string());
  WriteFileBytes(
      (out / "expected" / "tasks.ics").string(),
      ToBytes(std::string(kCalendarBegin) + "BEGIN:VTODO\r\n"
                                            "UID:5d0001-bc7741a8@ormidal\r\n"
                                            "DTSTAMP:20040312T113000Z\r\n"
                                            "SUMMARY:Oil the clock gears\r\n"
                                            "DESCRIPTION:Use the light oil\\; never the heavy.\r\n"
                                            "DUE;VALUE=DATE:20040320\r\n"
                                            "PRIORITY:1\r\n"
                                            "STATUS:NEEDS-ACTION\r\n"
                                            "CATEGORIES:Clock\r\n"
                                            "END:VTODO\r\n"
                                            "BEGIN:VTODO\r\n"
                                            "UID:5d0002-bc7741a8@ormidal\r\n"
                                            "DTSTAMP:20040312T113000Z\r\n"
                                            "SUMMARY:Order a new weight chain\r\n"
                                            "PRIORITY:5\r\n"
                                            "STATUS:COMPLETED\r\n"
                                            "CATEGORIES:Clock\r\n"
                                            "END:VTODO\r\n"
                                            "BEGIN:VTODO\r\n"
                                            "UID:5d0004-bc7741a8@ormidal\r\n"
                                            "DTSTAMP:20040312T113000Z\r\n"
                                            "SUMMARY:Paint the \xE2\x80\x9CHeron\xE2\x80\x9D\r\n"
                                            "DUE;VALUE=DATE:20040501\r\n"
                                            "PRIORITY:9\r\n"
                                            "STATUS:NEEDS-ACTION\r\n"
                                            "CLASS:PRIVATE\r\n"
                                            "END:VTODO\r\n"
                                            "END:VCALENDAR\r\n"));
}

// The later applications' databases: what the older ones cannot hold, a
// picture and a birthday, a time zone and a meeting, an alarm and a repeat
// on a task.
DatabaseBuilder LaterDatabase(const char* name, const char* creator, const Bytes& appInfo) {
  DatabaseBuilder builder;
  builder.Name(name)
      .Kind("DATA", creator)
      .CreationTime(kCreationTime)
      .ModificationTime(kCreationTime + 3600)
      .AppInfo(appInfo);
  return builder;
}

void WriteLaterContacts(const std::filesystem::path& out) {
  DatabaseBuilder builder =
      LaterDatabase("ContactsDB-PAdd", "PAdd", ContactsAppInfo(53, {"Custom 1", "Boat"}));
  LaterContact morag;
  morag.Set(0, "Campbell").Set(1, "Morag").Set(4, "01631 562 100").Set(5, "07700 900 123");
  morag.Set(15, "Heron").Set(23, "2 Pier Road").Set(24, "Oban").Set(38, "Keeps the spare key");
  morag.phoneLabels = {1, 7, 4, 3, 4, 5, 7};
  morag.listedPhone = 1;
  morag.addressLabels = {1, 0, 2};
  morag.birthday = PackDate(1961, 7, 2);
  morag.reminderDays = 1;
  morag.extensions =
      Extension("Bd00", {0, 1, 0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F', 0, 0xFF, 0xD9});
  LaterContact office;
  office.Set(2, "Harbour Master's Office").Set(4, "01631 562 999").Set(13, "http://oban.example/");
  builder.AddRecord(LaterContactRecord(morag), 1, 0x5E0001)
      .AddRecord(LaterContactRecord(morag), kDeleted, 0x5E0002)
      .AddRecord(LaterContactRecord(office), kPrivate | 2, 0x5E0003);
  builder.WriteTo((out / "later-contacts.pdb").string());
  WriteFileBytes((out / "expected" / "later-contacts.vcf").string(),
                 ToBytes("BEGIN:VCARD\r\n"
                         "VERSION:3.0\r\n"
                         "N:Campbell;Morag;;;\r\n"
                         "FN:Morag Campbell\r\n"
                         "TEL;TYPE=HOME,VOICE:01631 562 100\r\n"
                         "TEL;TYPE=CELL,VOICE,PREF:07700 900 123\r\n"
                         "ADR;TYPE=HOME:;;2 Pier Road;Oban;;;\r\n"
                         "X-PALM-CUSTOM2;X-LABEL=\"Boat\":Heron\r\n"
                         "BDAY:1961-07-02\r\n"
                         "X-PALM-BIRTHDAY-REMINDER:1\r\n"
                         "NOTE:Keeps the spare key\r\n"
                         "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgD/2Q==\r\n"
                         "CATEGORIES:Business\r\n"
                         "END:VCARD\r\n"
                         "BEGIN:VCARD\r\n"
                         "VERSION:3.0\r\n"
                         "N:;;;;\r\n"
                         "FN:Harbour Master's Office\r\n"
                         "ORG:Harbour Master's Office\r\n"
                         "TEL;TYPE=WORK,VOICE,PREF:01631 562 999\r\n"
                         "URL:http://oban.example/\r\n"
                         "CATEGORIES:Personal\r\n"
                         "CLASS:PRIVATE\r\n"
                         "END:VCARD\r\n"));
}

void WriteLaterCalendar(const std::filesystem::path& out) {
  DatabaseBuilder builder =
      LaterDatabase("CalendarDB-PDat", "PDat", LaterCategoryBlock({"Unfiled", "Harbour"}, {0, 0}));
  Bytes london = Extension("Bd00", ZoneContent(0, {1, 0, 4, 3}, {2, 0, 4, 10}, 60, "London"));
  Event board;
  board.At(19, 0, 0, 0).date = PackDate(2004, 3, 26);  // ends at midnight
  board.repeat = Event::Repeat{kMonthlyByDay, PackDate(2004, 12, 31), 1, 4 * 7 + 5, 0};
  board.description = "Harbour board meeting";
  Bytes meeting = {3, 0, 0, 1, 0, 'M', 'o', 'r', 'a', 'g', 0};
  for (char c : std::string("morag@oban.example")) meeting.push_back(static_cast<unsigned char>(c));
  meeting.push_back(0);
  Bytes boardExtensions = london;
  Bytes meetingExtension = Extension("Bd01", meeting);
  boardExtensions.insert(boardExtensions.end(), meetingExtension.begin(), meetingExtension.end());
  Event regatta;
  regatta.date = PackDate(2004, 8, 14);
  regatta.description = "Regatta";
  builder.AddRecord(LaterEventRecord(board, "Pier hall", boardExtensions), 1, 0x5F0001)
      .AddRecord(LaterEventRecord(regatta, std::nullopt, {}), kDeleted, 0x5F0002)
      .AddRecord(LaterEventRecord(regatta, "The bay", {}), kPrivate, 0x5F0003);
  builder.WriteTo((out / "later-calendar.pdb").string());
  WriteFileBytes((out / "expected" / "later-calendar.ics").string(),
                 ToBytes(std::string(kCalendarBegin) +
                         "BEGIN:VTIMEZONE\r\n"
                         "TZID:London\r\n"
                         "BEGIN:STANDARD\r\n"
                         "DTSTART:19701025T020000\r\n"
                         "TZOFFSETFROM:+0100\r\n"
                         "TZOFFSETTO:+0000\r\n"
                         "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\n"
                         "END:STANDARD\r\n"
                         "BEGIN:DAYLIGHT\r\n"
                         "DTSTART:19700329T010000\r\n"
                         "TZOFFSETFROM:+0000\r\n"
                         "TZOFFSETTO:+0100\r\n"
                         "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\n"
                         "END:DAYLIGHT\r\n"
                         "END:VTIMEZONE\r\n"
                         "BEGIN:VEVENT\r\n"
                         "UID:5f0001-bc7741a8@ormidal\r\n"
                         "DTSTAMP:20040312T113000Z\r\n"
                         "DTSTART;TZID=\"London\":20040326T190000\r\n"
                         "DTEND;TZID=\"London\":20040327T000000\r\n"
                         "SUMMARY:Harbour board meeting\r\n"
                         "LOCATION:Pier hall\r\n"
                         "RRULE:FREQ=MONTHLY;UNTIL=20041231T235959Z;BYDAY=-1FR\r\n"
                         "STATUS:CONFIRMED\r\n"
                         "ORGANIZER;CN=\"Morag\":mailto:morag@oban.example\r\n"
                         "CATEGORIES:Harbour\r\n"
                         "END:VEVENT\r\n"
                         "BEGIN:VEVENT\r\n"
                         "UID:5f0003-bc7741a8@ormidal\r\n"
                         "DTSTAMP:20040312T113000Z\r\n"
                         "DTSTART;VALUE=DATE:20040814\r\n"
                         "DTEND;VALUE=DATE:20040815\r\n"
                         "SUMMARY:Regatta\r\n"
                         "LOCATION:The bay\r\n"
                         "CLASS:PRIVATE\r\n"
                         "END:VEVENT\r\n"
                         "END:VCALENDAR\r\n"));
}

void WriteLaterTasks(const std::filesystem::path& out) {
  DatabaseBuilder builder =
      LaterDatabase("TasksDB-PTod", "PTod", LaterCategoryBlock({"Unfiled", "Clock"}, {0, 0, 0, 0}));
  LaterTask oil;
  oil.due = PackDate(2004, 3, 20);
  oil.alarm = LaterTask::Alarm{16, 45, 5};
  oil.repeatStart = PackDate(2004, 3, 20);
  oil.repeat = {kMonthlyByDate, kNoDate, 3, 0, 0};
  oil.description = "Oil the clock gears";
  LaterTask chain;
  chain.priority = 3;
  chain.completed = true;
  chain.completion = PackDate(2004, 3, 10);
  chain.description = "Order a new weight chain";
  builder.AddRecord(LaterTaskRecord(oil), 1, 0x600001)
      .AddRecord(LaterTaskRecord(oil), kDeleted, 0x600002)
      .AddRecord(LaterTaskRecord(chain), kPrivate | 1, 0x600003);
  builder.WriteTo((out / "later-tasks.pdb").string());
  WriteFileBytes(
      (out / "expected" / "later-tasks.ics").string(),
      ToBytes(std::string(kCalendarBegin) + "BEGIN:VTODO\r\n"
                                            "UID:600001-bc7741a8@ormidal\r\n"
                                            "DTSTAMP:20040312T113000Z\r\n"
                                            "SUMMARY:Oil the clock gears\r\n"
                                            "DTSTART;VALUE=DATE:20040320\r\n"
                                            "DUE;VALUE=DATE:20040320\r\n"
                                            "PRIORITY:1\r\n"
                                            "STATUS:NEEDS-ACTION\r\n"
                                            "RRULE:FREQ=MONTHLY;INTERVAL=3;BYMONTHDAY=20\r\n"
                                            "CATEGORIES:Clock\r\n"
                                            "BEGIN:VALARM\r\n"
                                            "ACTION:DISPLAY\r\n"
                                            "DESCRIPTION:Oil the clock gears\r\n"
                                            "TRIGGER;RELATED=END:-P4DT7H15M\r\n"
                                            "END:VALARM\r\n"
                                            "END:VTODO\r\n"
                                            "BEGIN:VTODO\r\n"
                                            "UID:600003-bc7741a8@ormidal\r\n"
                                            "DTSTAMP:20040312T113000Z\r\n"
                                            "SUMMARY:Order a new weight chain\r\n"
                                            "PRIORITY:5\r\n"
                                            "STATUS:COMPLETED\r\n"
                                            "COMPLETED:20040310T000000Z\r\n"
                                            "CATEGORIES:Clock\r\n"
                                            "CLASS:PRIVATE\r\n"
                                            "END:VTODO\r\n"
                                            "END:VCALENDAR\r\n"));
}

// ---- An application and its pictures ----

void AppendBytes(Bytes* out, std::initializer_list<unsigned> bytes) {
  for (unsigned b : bytes) out->push_back(static_cast<unsigned char>(b));
}

// A binary PPM of RGB pixels: what a converted picture must show.
void WritePpm(const std::filesystem::path& path, int width, int height, const Bytes& rgb) {
  std::string header = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  Bytes out = ToBytes(header);
  Append(&out, rgb);
  WriteFileBytes(path.string(), out);
}

// A 16 x 16 icon of one bit per pixel (version 1, uncompressed): a wave
// over a tide line.
Bytes TideIcon(Bytes* rgb) {
  Bytes bitmap;
  AppendBigEndian(&bitmap, 16, 2);
  AppendBigEndian(&bitmap, 16, 2);
  AppendBigEndian(&bitmap, 2, 2);  // row bytes
  AppendBigEndian(&bitmap, 0, 2);  // flags
  AppendBytes(&bitmap, {1, 1, 0, 0, 0, 0, 0, 0});
  for (int y = 0; y < 16; ++y) {
    std::uint32_t row = 0;
    for (int x = 0; x < 16; ++x) {
      int wave = 6 + static_cast<int>(std::lround(3 * std::sin(x * 0.8)));
      bool black = y == wave || y == 13 || (y > 13 && x % 3 == 0);
      if (black) row |= 0x8000u >> x;
      for (int c = 0; c < 3; ++c) rgb->push_back(black ? 0 : 255);
    }
    AppendBigEndian(&bitmap, row, 2);
  }
  return bitmap;
}

// A 24 x 12 chart in the system's 256 colours (version 2, RLE compressed):
// sea blue below the water line, sky above, the line itself red.
Bytes TideChart(Bytes* rgb) {
  constexpr int kWidth = 24, kHeight = 12;
  struct Colour {
    unsigned index, r, g, b;
  };
  const Colour sky = {18, 0xCC, 0xFF, 0xFF}, sea = {95, 0x00, 0x00, 0xFF},
               line = {125, 0xFF, 0x00, 0x00};
  Bytes bitmap;
  AppendBigEndian(&bitmap, kWidth, 2);
  AppendBigEndian(&bitmap, kHeight, 2);
  AppendBigEndian(&bitmap, kWidth, 2);
  AppendBigEndian(&bitmap, 0x8000, 2);             // compressed
  AppendBytes(&bitmap, {8, 2, 0, 0, 0, 1, 0, 0});  // 8 bits, version 2, RLE
  Bytes runs;
  for (int y = 0; y < kHeight; ++y) {
    std::vector<const Colour*> row;
    for (int x = 0; x < kWidth; ++x) {
      int height = 5 + static_cast<int>(std::lround(3 * std::sin(x * 0.5)));
      row.push_back(y == height ? &line : y > height ? &sea : &sky);
      AppendBytes(rgb, {row.back()->r, row.back()->g, row.back()->b});
    }
    // Runs of one colour as count and index pairs, row by row.
    for (std::size_t x = 0; x < row.size();) {
      std::size_t count = 1;
      while (x + count < row.size() && row[x + count] == row[x]) ++count;
      AppendBytes(&runs, {static_cast<unsigned>(count), row[x]->index});
      x += count;
    }
  }
  AppendBigEndian(&bitmap, static_cast<std::uint32_t>(runs.size() + 2), 2);
  Append(&bitmap, runs);
  return bitmap;
}

struct SampleResource {
  const char* type;
  std::uint16_t id;
  Bytes bytes;
};

// A resource database: the header with attribute 0x0001, 10-byte entries
// (type, ID, offset), the two-byte gap, then the resources.
Bytes ResourceDatabase(const std::string& name, const std::vector<SampleResource>& resources) {
  Bytes file(32, 0);
  std::copy(name.begin(), name.end(), file.begin());
  AppendBigEndian(&file, 0x0001, 2);  // a resource database
  AppendBigEndian(&file, 1, 2);       // version
  AppendBigEndian(&file, kCreationTime, 4);
  AppendBigEndian(&file, kCreationTime + 3600, 4);
  AppendBigEndian(&file, 0, 4);  // never backed up
  file.resize(60, 0);
  Append(&file, ToBytes("applTdTb"));
  file.resize(76, 0);
  AppendBigEndian(&file, static_cast<std::uint32_t>(resources.size()), 2);
  std::uint32_t offset = static_cast<std::uint32_t>(78 + 10 * resources.size() + 2);
  for (const SampleResource& r : resources) {
    Append(&file, ToBytes(r.type));
    AppendBigEndian(&file, r.id, 2);
    AppendBigEndian(&file, offset, 4);
    offset += static_cast<std::uint32_t>(r.bytes.size());
  }
  AppendBigEndian(&file, 0, 2);
  for (const SampleResource& r : resources) Append(&file, r.bytes);
  return file;
}

void WriteApplication(const std::filesystem::path& out) {
  Bytes iconPixels, chartPixels;
  std::vector<SampleResource> resources = {
      {"tAIN", 1000, ToBytes(std::string("Tide Table\0", 11))},
      {"tver", 1, ToBytes(std::string("2.1\0", 4))},
      {"code", 1, Bytes(48, 0x4E)},  // nothing but no-operations
      {"tAIB", 1000, TideIcon(&iconPixels)},
      {"Tbmp", 1000, TideChart(&chartPixels)},
  };
  WriteFileBytes((out / "tide-table.prc").string(), ResourceDatabase("Tide Table", resources));
  WritePpm(out / "expected" / "tide-icon.ppm", 16, 16, iconPixels);
  WritePpm(out / "expected" / "tide-chart.ppm", 24, 12, chartPixels);
  std::string text =
      "Name: Tide Table\r\n"
      "Version: 2.1\r\n"
      "Database: Tide Table\r\n"
      "Type: appl\r\n"
      "Creator: TdTb\r\n"
      "Created: 2004-03-12 10:30:00\r\n"
      "Modified: 2004-03-12 11:30:00\r\n"
      "Backed up: none\r\n"
      "Resources: 5\r\n";
  for (const SampleResource& r : resources) {
    char line[64];
    std::snprintf(line, sizeof line, "%s %5u (%04x): %zu bytes\r\n", r.type, r.id, r.id,
                  r.bytes.size());
    text += line;
  }
  WriteFileBytes((out / "expected" / "tide-table.txt").string(), ToBytes(text));
}

// A 160 x 160 Image Viewer picture of four greys, stored plain: the
// harbour wall, the water and the sky.
void WriteImageViewer(const std::filesystem::path& out) {
  constexpr int kSide = 160;
  static constexpr unsigned char kShades[4] = {0xFF, 0xAA, 0x55, 0x00};
  Bytes record(32, 0);
  std::string title = "Harbour";
  std::copy(title.begin(), title.end(), record.begin());
  AppendBytes(&record, {0, 0});  // plain, four greys
  record.resize(50, 0);
  AppendBytes(&record, {0xFF, 0xFF, 0xFF, 0xFF});
  AppendBigEndian(&record, kSide, 2);
  AppendBigEndian(&record, kSide, 2);
  Bytes grey;
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; x += 4) {
      unsigned byte = 0;
      for (int i = 0; i < 4; ++i) {
        int px = x + i;
        unsigned value = y < 70 ? 0 : y < 72 ? 3 : (px < 40 && y > 100) ? 2 : 1;
        if (y >= 72 && (px + y) % 17 == 0) value = 0;
        byte = (byte << 2) | value;
        for (int c = 0; c < 3; ++c) grey.push_back(kShades[value]);
      }
      record.push_back(static_cast<unsigned char>(byte));
    }
  }
  DatabaseBuilder builder;
  builder.Name("Harbour").Kind("vIMG", "View").CreationTime(kCreationTime).AddRecord(record);
  builder.WriteTo((out / "harbour.pdb").string());
  WritePpm(out / "expected" / "harbour.ppm", kSide, kSide, grey);
}

// A small book: uncompressed UTF-8 markup in one text record, the tide
// clock picture as picture 00001, a title and an author, and a link to a
// later paragraph.
void WriteBook(const std::filesystem::path& out) {
  const std::string title = "The Tide Clock Keeper\xE2\x80\x99s Handbook";
  std::string markup =
      "<html><head><guide></guide></head><body><h1>Winding the clock</h1>"
      "<p>Wind it at high water, <a filepos=0000000000>never at the ebb</a>.</p>"
      "<p><img recindex=\"00001\"></p><mbp:pagebreak/>"
      "<p>Why not at the ebb? The weight runs the other way &amp; the hands slip.</p>"
      "</body></html>";
  std::size_t target = markup.find("<p>Why");
  char digits[11];
  std::snprintf(digits, sizeof digits, "%010zu", target);
  markup.replace(markup.find("0000000000"), 10, digits);
  Bytes record0(16 + 232, 0);
  auto put = [&record0](std::size_t at, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i)
      record0[at + i] = static_cast<unsigned char>(value >> (8 * (width - 1 - i)));
  };
  put(0, 1, 2);  // uncompressed
  put(4, static_cast<std::uint32_t>(markup.size()), 4);
  put(8, 1, 2);
  put(10, 4096, 2);
  record0[16] = 'M', record0[17] = 'O', record0[18] = 'B', record0[19] = 'I';
  put(20, 232, 4);
  put(24, 2, 4);
  put(28, 65001, 4);
  put(36, 6, 4);
  put(108, 2, 4);  // the first picture
  put(112, 0xFFFFFFFFu, 4);
  put(128, 0x40, 4);
  put(168, 0xFFFFFFFFu, 4);
  Bytes exth = ToBytes("EXTH");
  auto append = [](Bytes* bytes, std::uint32_t value) {
    for (int i = 3; i >= 0; --i) bytes->push_back(static_cast<unsigned char>(value >> (8 * i)));
  };
  const std::pair<std::uint32_t, std::string> fields[] = {{503, title}, {100, "Ewan Tulloch"}};
  Bytes records;
  for (const auto& [type, value] : fields) {
    append(&records, type);
    append(&records, static_cast<std::uint32_t>(value.size() + 8));
    records.insert(records.end(), value.begin(), value.end());
  }
  append(&exth, static_cast<std::uint32_t>(12 + records.size()));
  append(&exth, 2);
  exth.insert(exth.end(), records.begin(), records.end());
  while (exth.size() % 4 != 0) exth.push_back(0);
  record0.insert(record0.end(), exth.begin(), exth.end());
  put(84, static_cast<std::uint32_t>(record0.size()), 4);
  put(88, static_cast<std::uint32_t>(title.size()), 4);
  record0.insert(record0.end(), title.begin(), title.end());
  record0.insert(record0.end(), {0, 0, 0, 0});
  DatabaseBuilder builder;
  builder.Name("Tide_Clock_Handbook").Kind("BOOK", "MOBI").CreationTime(kCreationTime);
  builder.AddRecord(record0).AddRecord(ToBytes(markup)).AddRecord(TideClockPng());
  builder.AddRecord(Bytes{0xE9, 0x8E, 0x0D, 0x0A});
  builder.WriteTo((out / "book.mobi").string());
  WriteFileBytes(
      (out / "expected" / "book.txt").string(),
      ToBytes("\xEF\xBB\xBFTitle: " + title +
              "\r\nAuthor: Ewan Tulloch\r\n\r\nWinding the clock\r\n\r\n"
              "Wind it at high water, never at the ebb.\r\n\r\n"
              "Why not at the ebb? The weight runs the other way & the hands slip.\r\n"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s SAMPLE_TEXT OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  try {
    std::filesystem::path out = argv[2];
    std::filesystem::create_directories(out / "expected");
    WriteCompressedText(ReadWholeFile(argv[1]), out);
    WritePhoto(out);
    WriteDatedNotes(out);
    WriteMemos(out);
    WriteContacts(out);
    WriteCalendar(out);
    WriteTasks(out);
    WriteLaterContacts(out);
    WriteLaterCalendar(out);
    WriteLaterTasks(out);
    WriteApplication(out);
    WriteImageViewer(out);
    WriteBook(out);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
    return 1;
  }
  return 0;
}
