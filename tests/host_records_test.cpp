// Listed entries written into the host's record, in the forms each
// platform's hosts read.
#include "plugin/host_records.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace ormidal {
namespace {

ListedEntry Entry(const char* name, std::uint32_t size, CalendarTime time) {
  ListedEntry entry{};
  std::strcpy(entry.name, name);
  entry.size = size;
  entry.time = time;
  return entry;
}

TEST(HostRecords, EveryByteOutsideNameSizesTimeAndAttributesIsZero) {
  EntryHeader header;
  std::memset(&header, 0x5A, sizeof header);
  FillEntryHeader(Entry("Records/00001", 1234, {2008, 1, 4, 12, 0, 0}), 0x12345678u, &header);
  EXPECT_STREQ(header.fileName, "Records/00001");
  EXPECT_EQ(header.packedSize, 1234u);
  EXPECT_EQ(header.unpackedSize, 1234u);
  EXPECT_EQ(header.fileTime, 0x12345678u);
  EXPECT_EQ(header.fileAttributes, kEntryAttributes);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&header);
  std::size_t nameEnd = offsetof(EntryHeader, fileName) + std::strlen(header.fileName);
  for (std::size_t i = 0; i < sizeof header; ++i) {
    bool inName = i >= offsetof(EntryHeader, fileName) && i < nameEnd;
    bool inSizes = i >= offsetof(EntryHeader, packedSize) && i < offsetof(EntryHeader, hostOs);
    bool inTime = i >= offsetof(EntryHeader, fileTime) && i < offsetof(EntryHeader, fileTime) + 4;
    bool inAttributes =
        i >= offsetof(EntryHeader, fileAttributes) && i < offsetof(EntryHeader, fileAttributes) + 4;
    if (!inName && !inSizes && !inTime && !inAttributes) {
      EXPECT_EQ(bytes[i], 0) << "byte " << i;
    }
  }
}

#if defined(_WIN32)
TEST(HostRecords, WindowsHostsGetThePackedDosTimeAndNoAttributes) {
  EXPECT_EQ(kEntryAttributes, 0);
  EXPECT_EQ(HostFileTime({2008, 1, 4, 12, 34, 56}),
            (28u << 25) | (1u << 21) | (4u << 16) | (12u << 11) | (34u << 5) | 28u);
  // The DOS form starts in 1980.
  EXPECT_EQ(HostFileTime({1975, 3, 2, 0, 0, 0}), (3u << 21) | (2u << 16));
}
#else
// The Linux hosts read a Unix time and show it on the local clock, so the
// handheld's wall-clock time is taken as local time.
class UnixHostTime : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* saved = std::getenv("TZ");
    hadZone_ = saved != nullptr;
    if (hadZone_) saved_ = saved;
  }
  void TearDown() override {
    if (hadZone_) {
      setenv("TZ", saved_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  static void Zone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }
  bool hadZone_ = false;
  std::string saved_;
};

TEST_F(UnixHostTime, IsTheCalendarTimeOnTheLocalClock) {
  EXPECT_EQ(kEntryAttributes, 0100644);
  Zone("UTC0");
  EXPECT_EQ(HostFileTime({2008, 1, 4, 12, 0, 0}), 1199448000u);
  Zone("UTC-3");
  EXPECT_EQ(HostFileTime({2008, 1, 4, 12, 0, 0}), 1199448000u - 3 * 3600);
  // Summer time is the zone's to say: 1 July in central Europe is UTC+2.
  Zone("CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_EQ(HostFileTime({2008, 7, 1, 12, 0, 0}), 1214913600u - 2 * 3600);
  EXPECT_EQ(HostFileTime({2008, 1, 4, 12, 0, 0}), 1199448000u - 3600);
}

// No 1980 floor here, and the value stays within the signed 32-bit range.
TEST_F(UnixHostTime, KeepsEarlyYearsAndHoldsTheSigned32BitRange) {
  Zone("UTC0");
  EXPECT_EQ(HostFileTime({1975, 3, 2, 0, 0, 0}), 162950400u);
  EXPECT_EQ(HostFileTime({1969, 12, 31, 23, 59, 59}), 0xFFFFFFFFu);
  EXPECT_EQ(HostFileTime({2038, 1, 19, 3, 14, 7}), 0x7FFFFFFFu);
  EXPECT_EQ(HostFileTime({2040, 2, 7, 6, 28, 15}), 0x7FFFFFFFu);
  EXPECT_EQ(HostFileTime({1901, 1, 1, 0, 0, 0}), 0x80000000u);
}
#endif

}  // namespace
}  // namespace ormidal
