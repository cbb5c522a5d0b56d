#include <gtest/gtest.h>

#include "photo/gps_directory.h"
#include "photo/tiff_data.h"

namespace trevalo {
namespace {

TEST(GpsCoordinates, PackedDegreesBecomeRationals) {
  // 23.4567 minutes is 27.402 seconds: thousandths, as the log holds them.
  const GpsCoordinate plain = CoordinateRationals(3723.4567, "N", 0, true);
  EXPECT_EQ(plain.reference, 'N');
  EXPECT_EQ(plain.parts[0], (Rational{37, 1}));
  EXPECT_EQ(plain.parts[1], (Rational{23, 1}));
  EXPECT_EQ(plain.parts[2], (Rational{27402, 1000}));
  const GpsCoordinate moved = CoordinateRationals(3723.4567, "N", 500, true);
  EXPECT_EQ(moved.parts[1], (Rational{23, 1}));
  EXPECT_EQ(moved.parts[2], (Rational{32402, 1000}));
  EXPECT_EQ(moved.reference, 'N');
  // Rounded, not cut: 0.00001 minutes is 0.0006 seconds.
  EXPECT_EQ(CoordinateRationals(3723.00001, "N", 0, true).parts[2], (Rational{1, 1000}));
  // 59.9996 seconds rounds to the next minute, and 59 minutes to the next degree.
  const GpsCoordinate carried = CoordinateRationals(3759.999994, "N", 0, true);
  EXPECT_EQ(carried.parts[0], (Rational{38, 1}));
  EXPECT_EQ(carried.parts[1], (Rational{0, 1}));
  EXPECT_EQ(carried.parts[2], (Rational{0, 1000}));
}

TEST(GpsCoordinates, CorrectionsFollowTheSign) {
  // 1 minute south moved 5 arc seconds north stays south with 55 seconds.
  const GpsCoordinate south = CoordinateRationals(1.0, "S", 500, true);
  EXPECT_EQ(south.reference, 'S');
  EXPECT_EQ(south.parts[0], (Rational{0, 1}));
  EXPECT_EQ(south.parts[1], (Rational{0, 1}));
  EXPECT_EQ(south.parts[2], (Rational{55000, 1000}));
  // Across the equator the letter changes.
  const GpsCoordinate across = CoordinateRationals(0.05, "S", 500, true);
  EXPECT_EQ(across.reference, 'N');
  EXPECT_EQ(across.parts[2], (Rational{2000, 1000}));
  // West keeps its letter when the correction keeps its sign.
  const GpsCoordinate west = CoordinateRationals(12658.1234, "W", -500, false);
  EXPECT_EQ(west.reference, 'W');
  EXPECT_EQ(west.parts[0], (Rational{126, 1}));
  EXPECT_EQ(west.parts[1], (Rational{58, 1}));
  EXPECT_EQ(west.parts[2], (Rational{12404, 1000}));  // 7.404 s + 5 s
  // Without a correction the letter is the point's, whatever it is.
  EXPECT_EQ(CoordinateRationals(12658.1234, "W", 0, false).reference, 'W');
}

TrackPoint FullPoint() {
  TrackPoint p;
  p.latitude = 3723.4567;
  p.latitudeRef = "N";
  p.longitude = 12658.1234;
  p.longitudeRef = "E";
  p.altitude = 45.3;
  p.altitudeBelowSea = 1;
  p.utcTimeOfDay = 203519;
  p.utcTime = *MakeTime(2009, 5, 17, 20, 35, 19);
  p.localTime = *MakeTime(2009, 5, 18, 5, 35, 19);
  p.dateStampText = "2009:05:18";  // local; the directory takes the UTC date
  p.satelliteText = "08,01,40,083,46,02";
  p.gsaMode = "A";
  p.fixTypeText = "3";
  p.dop = 2.5;
  p.speedRef = "K";
  p.speed = 18.52;
  p.courseRef = "T";
  p.course = 84.4;
  p.differential = 1;
  p.ggaMatchesRmc = 1;
  return p;
}

struct ReadEntry {
  std::uint16_t tag, type;
  std::uint32_t count, value;
};

ReadEntry EntryAt(const std::vector<std::uint8_t>& dir, int i, ByteOrder order) {
  const TiffData d(dir, order);
  const std::size_t at = 2 + 12 * static_cast<std::size_t>(i);
  return {d.U16(at), d.U16(at + 2), d.U32(at + 4), d.U32(at + 8)};
}

TEST(GpsDirectory, FiveEntriesWithoutAMatchingGga) {
  TrackPoint point = FullPoint();
  point.ggaMatchesRmc = 0;
  const std::vector<std::uint8_t> dir = BuildGpsDirectory(point, 0, 0, ByteOrder::kLittle, 1000);
  EXPECT_EQ(dir.size(), 114u);
  EXPECT_EQ(TiffData(dir, ByteOrder::kLittle).U16(0), 5);
  const ReadEntry latitude = EntryAt(dir, 2, ByteOrder::kLittle);
  EXPECT_EQ(latitude.tag, 2);
  EXPECT_EQ(latitude.type, kTypeRational);
  EXPECT_EQ(latitude.count, 3u);
  EXPECT_EQ(latitude.value, 1000u + 6 + 12 * 5);  // the first value after the table
  EXPECT_EQ(EntryAt(dir, 4, ByteOrder::kLittle).value, 1000u + 6 + 12 * 5 + 24);
}

TEST(GpsDirectory, APointBetweenFixesIsWrittenInThousandthsOfASecond) {
  TrackPoint point = FullPoint();
  point.ggaMatchesRmc = 0;
  point.isInterpolated = 1;
  const std::vector<std::uint8_t> dir = BuildGpsDirectory(point, 0, 0, ByteOrder::kLittle, 1000);
  const TiffData d(dir, ByteOrder::kLittle);
  const std::size_t latitude = EntryAt(dir, 2, ByteOrder::kLittle).value - 1000;
  EXPECT_EQ(d.U32(latitude + 16), 27402u);
  EXPECT_EQ(d.U32(latitude + 20), 1000u);
  const std::size_t longitude = EntryAt(dir, 4, ByteOrder::kLittle).value - 1000;
  EXPECT_EQ(d.U32(longitude + 16), 7404u);  // 58.1234 minutes: 7.404 seconds
  EXPECT_EQ(d.U32(longitude + 20), 1000u);
}

TEST(GpsDirectory, NineteenEntriesInEitherByteOrder) {
  for (const ByteOrder order : {ByteOrder::kLittle, ByteOrder::kBig}) {
    const std::vector<std::uint8_t> dir = BuildGpsDirectory(FullPoint(), 0, 0, order, 2000);
    const TiffData d(dir, order);
    ASSERT_EQ(d.U16(0), 19);
    // 356 bytes and the 18-character satellite text with its zero, plus one byte of word
    // alignment after the satellite text and after the map datum; the date stamp ends it.
    EXPECT_EQ(dir.size(), 356u + 19 + 2);
    const std::uint16_t tags[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 18, 29, 30};
    for (int i = 0; i < 19; ++i) {
      EXPECT_EQ(EntryAt(dir, i, order).tag, tags[i]);
    }
    EXPECT_EQ(d.U32(2 + 12 * 19), 0u);  // no link
    // Values in the entry, left-justified whatever the byte order.
    EXPECT_EQ(std::vector<std::uint8_t>(dir.begin() + 2 + 8, dir.begin() + 2 + 12),
              (std::vector<std::uint8_t>{2, 2, 0, 0}));
    EXPECT_EQ(dir[2 + 12 * 5 + 8], 1);     // below sea level
    EXPECT_EQ(d.U16(2 + 12 * 18 + 8), 1);  // differential
    EXPECT_EQ(dir[2 + 12 * 1 + 8], 'N');
    const auto rational = [&](int entry, int k) {
      const std::uint32_t at =
          EntryAt(dir, entry, order).value - 2000 + 8 * static_cast<std::uint32_t>(k);
      return Rational{d.U32(at), d.U32(at + 4)};
    };
    EXPECT_EQ(rational(6, 0), (Rational{453, 10}));
    EXPECT_EQ(rational(7, 0), (Rational{20, 1}));
    EXPECT_EQ(rational(7, 1), (Rational{35, 1}));
    EXPECT_EQ(rational(7, 2), (Rational{19, 1}));
    EXPECT_EQ(rational(11, 0), (Rational{25, 10}));
    EXPECT_EQ(rational(13, 0), (Rational{185, 10}));
    EXPECT_EQ(rational(15, 0), (Rational{8440, 100}));
    const auto text = [&](int entry) {
      const ReadEntry e = EntryAt(dir, entry, order);
      const std::uint32_t at =
          e.count <= 4 ? 2 + 12 * static_cast<std::uint32_t>(entry) + 8 : e.value - 2000;
      return std::string(reinterpret_cast<const char*>(dir.data() + at), e.count - 1);
    };
    EXPECT_EQ(text(8), "08,01,40,083,46,02");
    EXPECT_EQ(text(16), "WGS-84");
    EXPECT_EQ(text(17), "2009:05:17");  // the UTC date of the time stamp
    // Every value starts on a word boundary.
    for (int i = 0; i < 19; ++i) {
      const ReadEntry e = EntryAt(dir, i, order);
      if (static_cast<std::uint64_t>(e.count) * static_cast<std::uint64_t>(TypeSize(e.type)) > 4) {
        EXPECT_EQ(e.value % 2, 0u) << "entry " << i;
      }
    }
  }
}

}  // namespace
}  // namespace trevalo
