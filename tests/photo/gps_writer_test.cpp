// The GPS writer on TIFF data built here, so that every layout case is exact.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "photo/exif_gps_writer.h"
#include "photo/gps_directory.h"
#include "support/tiff_builder.h"

namespace trevalo {
namespace {

using test::TiffBuilder;

struct Built {
  std::vector<std::uint8_t> tiff;
  std::uint32_t ifd0;
  std::uint32_t gps;        // 0 without
  std::uint32_t thumbnail;  // offset of the thumbnail bytes
};

// IFD0 with a few entries (one value out of line), optionally a GPS directory and data after
// it, IFD1 with a thumbnail. gpsEntries: 0 for no GPS directory; trailing: unreferenced bytes at
// the end.
Built MakeTiff(ByteOrder order, int gpsEntries, bool gpsLast,
               std::vector<std::uint8_t> trailing = {}) {
  TiffBuilder b = TiffBuilder::WithHeader(order);
  const int ifd0Entries = gpsEntries > 0 ? 3 : 2;
  const std::size_t ifd0 = b.Reserve(2 + 12 * ifd0Entries + 4);
  b.U32(4, static_cast<std::uint32_t>(ifd0));
  b.U16(ifd0, static_cast<std::uint16_t>(ifd0Entries));
  const std::size_t make = b.Reserve(8);
  std::copy_n("Camera!", 8, b.bytes.begin() + static_cast<std::ptrdiff_t>(make));
  b.Entry(ifd0 + 2, 0x010F, kTypeAscii, 8, static_cast<std::uint32_t>(make));
  b.Entry(ifd0 + 14, 0x0112, kTypeShort, 1, order == ByteOrder::kLittle ? 1u : 0x00010000u);
  std::uint32_t gps = 0;
  const auto addGps = [&] {
    gps = static_cast<std::uint32_t>(b.Reserve(2 + 12 * gpsEntries + 4));
    b.U16(gps, static_cast<std::uint16_t>(gpsEntries));
    b.Entry(gps + 2, 0, kTypeByte, 4, 0x00000202);
    if (gpsEntries > 1) {
      const std::size_t latitude = b.Reserve(24);
      b.Entry(gps + 14, 2, kTypeRational, 3, static_cast<std::uint32_t>(latitude));
      for (int k = 0; k < 3; ++k) {
        b.U32(latitude + 8 * static_cast<std::size_t>(k), 10u + static_cast<std::uint32_t>(k));
        b.U32(latitude + 8 * static_cast<std::size_t>(k) + 4, 1);
      }
    }
    b.Entry(ifd0 + 26, 0x8825, kTypeLong, 1, gps);
  };
  if (gpsEntries > 0 && !gpsLast) {
    addGps();
  }
  const std::size_t ifd1 = b.Reserve(2 + 24 + 4);
  b.U32(ifd0 + 2 + 12 * static_cast<std::size_t>(ifd0Entries), static_cast<std::uint32_t>(ifd1));
  b.U16(ifd1, 2);
  const std::size_t thumbnail = b.Reserve(16);
  for (std::size_t i = 0; i < 16; ++i) {
    b.bytes[thumbnail + i] = static_cast<std::uint8_t>(0xA0 + i);
  }
  b.Entry(ifd1 + 2, 0x0201, kTypeLong, 1, static_cast<std::uint32_t>(thumbnail));
  b.Entry(ifd1 + 14, 0x0202, kTypeLong, 1, 16);
  if (gpsEntries > 0 && gpsLast) {
    addGps();
  }
  b.bytes.insert(b.bytes.end(), trailing.begin(), trailing.end());
  return {b.bytes, static_cast<std::uint32_t>(ifd0), gps, static_cast<std::uint32_t>(thumbnail)};
}

TrackPoint Point(bool full) {
  TrackPoint p;
  p.latitude = 3723.4567;
  p.latitudeRef = "N";
  p.longitude = 12658.1234;
  p.longitudeRef = "E";
  p.ggaMatchesRmc = full ? 1 : 0;
  p.satelliteText = "08,01";
  p.utcTime = *MakeTime(2009, 5, 17, 12, 0, 0);
  return p;
}

GpsWriteResult Write(const std::vector<std::uint8_t>& tiff, bool full) {
  PhotoInfo info;
  const TiffReadResult read = ReadTiff(tiff, info, [](std::string_view) {});
  return WriteGpsIntoTiff(tiff, read, [&](std::uint32_t base) {
    return BuildGpsDirectory(Point(full), 0, 0, read.order, base);
  });
}

// What the written data says: IFD0's entries and where its GPS pointer leads.
struct Summary {
  std::uint32_t ifd0;
  std::map<std::uint16_t, std::uint32_t> ifd0Values;
  std::uint32_t ifd1;
  ExistingGps gps;
};

Summary Summarise(const std::vector<std::uint8_t>& tiff) {
  PhotoInfo info;
  const TiffReadResult read = ReadTiff(tiff, info, [](std::string_view) {});
  const TiffData d(tiff, read.order);
  Summary s{d.U32(4), {}, 0, read.gps};
  const std::uint16_t count = d.U16(s.ifd0);
  for (std::uint32_t i = 0; i < count; ++i) {
    s.ifd0Values[d.U16(s.ifd0 + 2 + 12 * i)] = d.U32(s.ifd0 + 2 + 12 * i + 8);
  }
  s.ifd1 = d.U32(s.ifd0 + 2 + 12 * count);
  return s;
}

// No byte of the old data moved or changed, except the four bytes given.
void ExpectUnchangedExcept(const std::vector<std::uint8_t>& before,
                           const std::vector<std::uint8_t>& after, std::size_t changedAt) {
  ASSERT_GE(after.size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (i >= changedAt && i < changedAt + 4) {
      continue;
    }
    ASSERT_EQ(before[i], after[i]) << "byte " << i;
  }
}

TEST(GpsWriter, WithoutAGpsDirectoryANewIfd0IsAppended) {
  for (const ByteOrder order : {ByteOrder::kLittle, ByteOrder::kBig}) {
    const Built old = MakeTiff(order, 0, false);
    const GpsWriteResult written = Write(old.tiff, false);
    ASSERT_TRUE(written.error.empty()) << written.error;
    ExpectUnchangedExcept(old.tiff, written.tiff, 4);  // only the pointer to IFD0
    const Summary before = Summarise(old.tiff);
    const Summary after = Summarise(written.tiff);
    EXPECT_GE(after.ifd0, old.tiff.size());
    EXPECT_EQ(after.ifd0 % 2, 0u);
    EXPECT_EQ(after.ifd1, before.ifd1);  // the same link to the thumbnail directory
    ASSERT_EQ(after.ifd0Values.size(), before.ifd0Values.size() + 1);
    EXPECT_EQ(after.ifd0Values.at(0x010F), before.ifd0Values.at(0x010F));
    EXPECT_EQ(after.ifd0Values.at(0x0112), before.ifd0Values.at(0x0112));
    EXPECT_TRUE(after.gps.present && after.gps.valid);
    EXPECT_EQ(after.gps.offset, after.ifd0 + 2 + 12 * 3 + 4);
    EXPECT_EQ(written.tiff.size(), after.gps.offset + 114u);
    ASSERT_TRUE(after.gps.latitudeDegrees.has_value());
    EXPECT_NEAR(*after.gps.latitudeDegrees, 37 + 23.4567 / 60, 1e-6);
  }
}

TEST(GpsWriter, TheGpsPointerKeepsTheEntriesInTagOrder) {
  // Tags above 0x8825 stay after it.
  Built old = MakeTiff(ByteOrder::kLittle, 0, false);
  PutU16(old.tiff.data() + old.ifd0 + 14, 0x9000, ByteOrder::kLittle);
  const GpsWriteResult written = Write(old.tiff, false);
  const TiffData d(written.tiff, ByteOrder::kLittle);
  const std::uint32_t ifd0 = d.U32(4);
  EXPECT_EQ(d.U16(ifd0 + 2), 0x010F);
  EXPECT_EQ(d.U16(ifd0 + 14), 0x8825);
  EXPECT_EQ(d.U16(ifd0 + 26), 0x9000);
}

TEST(GpsWriter, TaggingTwiceGivesTheSameBytes) {
  const Built old = MakeTiff(ByteOrder::kBig, 0, false);
  const GpsWriteResult once = Write(old.tiff, true);
  const GpsWriteResult twice = Write(once.tiff, true);
  ASSERT_TRUE(twice.error.empty()) << twice.error;
  EXPECT_EQ(once.tiff, twice.tiff);
}

TEST(GpsWriter, AnEntryWithAnImpossibleLengthIsNoReference) {
  // The thumbnail length claims four billion components: no reader follows it, so it must
  // not stop the second tagging from replacing the directory of the first.
  Built old = MakeTiff(ByteOrder::kLittle, 0, false);
  const std::uint32_t ifd1 = Summarise(old.tiff).ifd1;
  PutU32(old.tiff.data() + ifd1 + 14 + 4, 0xFFFF0001u, ByteOrder::kLittle);
  const GpsWriteResult once = Write(old.tiff, true);
  ASSERT_TRUE(once.error.empty()) << once.error;
  EXPECT_EQ(Write(once.tiff, true).tiff, once.tiff);
}

TEST(GpsWriter, NothingIsAppendedWhereAReferenceClaimsToBe) {
  // The thumbnail's length runs 200 bytes past the end of the data: appended data there
  // would seem to be thumbnail, and the next tagging could not tell its directory apart.
  Built old = MakeTiff(ByteOrder::kLittle, 0, false);
  const std::uint32_t ifd1 = Summarise(old.tiff).ifd1;
  const std::uint32_t claimedEnd = static_cast<std::uint32_t>(old.tiff.size()) + 200;
  PutU32(old.tiff.data() + ifd1 + 14 + 8, claimedEnd - old.thumbnail, ByteOrder::kLittle);
  const GpsWriteResult once = Write(old.tiff, true);
  ASSERT_TRUE(once.error.empty()) << once.error;
  EXPECT_GE(Summarise(once.tiff).ifd0, claimedEnd);
  EXPECT_EQ(Write(once.tiff, true).tiff, once.tiff);
}

TEST(GpsWriter, NothingIsAppendedWhereALinkPoints) {
  // IFD0's link points 40 bytes past the end of the data.
  Built old = MakeTiff(ByteOrder::kLittle, 0, false);
  const std::uint32_t target = static_cast<std::uint32_t>(old.tiff.size()) + 40;
  PutU32(old.tiff.data() + old.ifd0 + 2 + 12 * 2, target, ByteOrder::kLittle);
  const GpsWriteResult once = Write(old.tiff, true);
  ASSERT_TRUE(once.error.empty()) << once.error;
  EXPECT_GE(Summarise(once.tiff).ifd0, target + 6);
  EXPECT_EQ(Write(once.tiff, true).tiff, once.tiff);
}

TEST(GpsWriter, ADirectoryPointerIntoTheHeaderIsNotFollowed) {
  // An Exif pointer to offset 4 would read the IFD0 pointer, which tagging changes, as the
  // entry count of a directory.
  Built old = MakeTiff(ByteOrder::kLittle, 0, false);
  std::uint8_t* entry = old.tiff.data() + old.ifd0 + 14;
  PutU16(entry, 0x8769, ByteOrder::kLittle);
  PutU16(entry + 2, kTypeLong, ByteOrder::kLittle);
  PutU32(entry + 8, 4, ByteOrder::kLittle);
  const GpsWriteResult once = Write(old.tiff, true);
  ASSERT_TRUE(once.error.empty()) << once.error;
  EXPECT_EQ(Write(once.tiff, true).tiff, once.tiff);
}

TEST(GpsWriter, ALastGpsDirectoryIsReplacedWhereItIs) {
  const Built old = MakeTiff(ByteOrder::kLittle, 2, true);
  const GpsWriteResult written = Write(old.tiff, true);
  ASSERT_TRUE(written.error.empty()) << written.error;
  const Summary after = Summarise(written.tiff);
  EXPECT_EQ(after.gps.offset, old.gps);
  EXPECT_EQ(after.ifd0, old.ifd0);
  // Everything before the old directory is as it was.
  EXPECT_TRUE(std::equal(old.tiff.begin(), old.tiff.begin() + old.gps, written.tiff.begin()));
}

TEST(GpsWriter, ASmallerDirectoryIsWrittenOverTheOldOne) {
  // A 19-entry directory first, then a 5-entry one over it.
  const Built old = MakeTiff(ByteOrder::kLittle, 0, false);
  const GpsWriteResult full = Write(old.tiff, true);
  const GpsWriteResult reduced = Write(full.tiff, false);
  ASSERT_TRUE(reduced.error.empty());
  EXPECT_EQ(reduced.tiff.size(), full.tiff.size());
  const Summary after = Summarise(reduced.tiff);
  EXPECT_EQ(after.gps.offset, Summarise(full.tiff).gps.offset);
  EXPECT_EQ(after.gps.size, 114u);
}

TEST(GpsWriter, AGpsDirectoryFollowedByDataIsLeftAndANewOneAppended) {
  const Built old = MakeTiff(ByteOrder::kLittle, 2, false);
  const GpsWriteResult written = Write(old.tiff, true);
  ASSERT_TRUE(written.error.empty()) << written.error;
  const Summary before = Summarise(old.tiff);
  const Summary after = Summarise(written.tiff);
  // Only the GPS pointer's value changed; the thumbnail and everything else stayed put.
  const std::size_t pointerValue = old.ifd0 + 2 + 12 * 2 + 8;
  ExpectUnchangedExcept(old.tiff, written.tiff, pointerValue);
  EXPECT_EQ(after.ifd0, before.ifd0);
  EXPECT_GE(after.gps.offset, old.tiff.size());
  EXPECT_EQ(after.ifd0Values.at(0x8825), after.gps.offset);
}

// The old GPS directory of `old` shares its bytes with another structure: the new one is
// appended, and only the GPS pointer's value changes.
void ExpectAppendedBesideTheOld(const std::vector<std::uint8_t>& old, ByteOrder order,
                                std::size_t pointerValue) {
  const GpsWriteResult written = Write(old, true);
  ASSERT_TRUE(written.error.empty()) << written.error;
  ExpectUnchangedExcept(old, written.tiff, pointerValue);
  const Summary after = Summarise(written.tiff);
  EXPECT_GE(after.gps.offset, old.size());
  EXPECT_TRUE(after.gps.valid);
  ASSERT_TRUE(after.gps.latitudeDegrees.has_value());
  EXPECT_NEAR(*after.gps.latitudeDegrees, 37 + 23.4567 / 60, 1e-6);
  EXPECT_EQ(TiffData(written.tiff, order).U32(pointerValue), after.gps.offset);
  EXPECT_EQ(Write(written.tiff, true).tiff, written.tiff);
}

// IFD0 (Make, an Exif pointer, a GPS pointer naming IFD0, a link to IFD1), the Exif IFD and
// IFD1, each with a value of 400 bytes after its table: a new GPS directory would fit over
// any of them.
struct LargeDirectories {
  std::vector<std::uint8_t> tiff;
  std::uint32_t ifd0, exif, ifd1;
  std::size_t gpsPointerValue;
};

LargeDirectories MakeLargeDirectories(ByteOrder order) {
  TiffBuilder b = TiffBuilder::WithHeader(order);
  const auto withLargeValue = [&](std::uint16_t firstTag, std::size_t entries) {
    const std::uint32_t directory = b.Directory(entries);
    const std::uint32_t value = b.Text(std::string(399, 'x'));
    b.Entry(TiffBuilder::EntryAt(directory, 0), firstTag, kTypeAscii, 400, value);
    return directory;
  };
  LargeDirectories built{};
  built.ifd0 = withLargeValue(0x010F, 3);
  b.U32(4, built.ifd0);
  built.exif = withLargeValue(0x9003, 1);
  built.ifd1 = withLargeValue(0x010F, 1);
  b.Entry(TiffBuilder::EntryAt(built.ifd0, 1), 0x8769, kTypeLong, 1, built.exif);
  b.Entry(TiffBuilder::EntryAt(built.ifd0, 2), 0x8825, kTypeLong, 1, built.ifd0);
  b.U32(b.LinkOf(built.ifd0), built.ifd1);
  built.gpsPointerValue = TiffBuilder::EntryAt(built.ifd0, 2) + 8;
  built.tiff = b.bytes;
  return built;
}

TEST(GpsWriter, AGpsPointerToAnotherDirectoryLeavesThatDirectoryAlone) {
  for (const ByteOrder order : {ByteOrder::kLittle, ByteOrder::kBig}) {
    const LargeDirectories built = MakeLargeDirectories(order);
    for (const std::uint32_t target : {built.ifd0, built.exif, built.ifd1}) {
      SCOPED_TRACE(target);
      std::vector<std::uint8_t> old = built.tiff;
      PutU32(old.data() + built.gpsPointerValue, target, order);
      ExpectAppendedBesideTheOld(old, order, built.gpsPointerValue);
    }
  }
}

TEST(GpsWriter, AGpsDirectoryThatIsAlsoAnotherDirectoryIsLeftAlone) {
  // The last GPS directory is IFD2 too (IFD1 links to it), or the Exif IFD (an Exif pointer
  // in IFD0 names it).
  const Built built = MakeTiff(ByteOrder::kLittle, 2, true);
  const std::size_t pointerValue = built.ifd0 + 2 + 12 * 2 + 8;
  const std::uint32_t ifd1 = Summarise(built.tiff).ifd1;
  std::vector<std::uint8_t> linked = built.tiff;
  PutU32(linked.data() + ifd1 + 2 + 24, built.gps, ByteOrder::kLittle);
  ExpectAppendedBesideTheOld(linked, ByteOrder::kLittle, pointerValue);

  std::vector<std::uint8_t> exif = built.tiff;
  std::uint8_t* orientation = exif.data() + built.ifd0 + 14;
  PutU16(orientation, 0x8769, ByteOrder::kLittle);
  PutU16(orientation + 2, kTypeLong, ByteOrder::kLittle);
  PutU32(orientation + 8, built.gps, ByteOrder::kLittle);
  ExpectAppendedBesideTheOld(exif, ByteOrder::kLittle, pointerValue);
}

TEST(GpsWriter, AGpsDirectoryWhoseValuesAreSharedIsLeftAlone) {
  // IFD0's Make value is the GPS latitude's first rational.
  const Built built = MakeTiff(ByteOrder::kLittle, 2, true);
  std::vector<std::uint8_t> old = built.tiff;
  const std::uint32_t latitude = TiffData(old, ByteOrder::kLittle).U32(built.gps + 14 + 8);
  PutU32(old.data() + built.ifd0 + 2 + 8, latitude, ByteOrder::kLittle);
  ExpectAppendedBesideTheOld(old, ByteOrder::kLittle, built.ifd0 + 2 + 12 * 2 + 8);

  // The ExposureTime of an Exif IFD that only a pointer of type SHORT names (the reader
  // follows it all the same) is the GPS latitude's first rational. IFD1 becomes that Exif
  // IFD: IFD0's link to it goes, its Orientation entry becomes the pointer.
  std::vector<std::uint8_t> exif = built.tiff;
  const std::uint32_t ifd1 = Summarise(exif).ifd1;
  PutU32(exif.data() + built.ifd0 + 2 + 12 * 3, 0, ByteOrder::kLittle);
  const auto entry = [&](std::size_t at, std::uint16_t tag, std::uint16_t type,
                         std::uint32_t value) {
    PutU16(exif.data() + at, tag, ByteOrder::kLittle);
    PutU16(exif.data() + at + 2, type, ByteOrder::kLittle);
    PutU32(exif.data() + at + 4, 1, ByteOrder::kLittle);
    PutU32(exif.data() + at + 8, value, ByteOrder::kLittle);
  };
  entry(built.ifd0 + 14, 0x8769, kTypeShort, ifd1);
  entry(ifd1 + 14, 0x829A, kTypeRational, latitude);
  ExpectAppendedBesideTheOld(exif, ByteOrder::kLittle, built.ifd0 + 2 + 12 * 2 + 8);
}

TEST(GpsWriter, TwoGpsPointersTagTheSameTwice) {
  // IFD0's Orientation entry becomes a first GPS pointer, naming the same directory as the
  // second: the writer moves the first, the second still names the old directory.
  Built built = MakeTiff(ByteOrder::kLittle, 2, true);
  std::uint8_t* first = built.tiff.data() + built.ifd0 + 14;
  PutU16(first, 0x8825, ByteOrder::kLittle);
  PutU16(first + 2, kTypeLong, ByteOrder::kLittle);
  PutU32(first + 8, built.gps, ByteOrder::kLittle);
  const GpsWriteResult once = Write(built.tiff, true);
  ASSERT_TRUE(once.error.empty()) << once.error;
  ExpectUnchangedExcept(built.tiff, once.tiff, built.ifd0 + 14 + 8);
  // The reader reports the directory the first pointer names: the one written.
  const Summary after = Summarise(once.tiff);
  EXPECT_EQ(after.gps.offset, TiffData(once.tiff, ByteOrder::kLittle).U32(built.ifd0 + 14 + 8));
  EXPECT_TRUE(after.gps.latitudeDegrees.has_value());
  EXPECT_EQ(Write(once.tiff, true).tiff, once.tiff);
}

TEST(GpsWriter, AFullSegmentGrowsOnlyIntoItsZeroPadding) {
  const Built small = MakeTiff(ByteOrder::kLittle, 0, false);
  const std::size_t padding = 65520 - 8 - small.tiff.size();
  const Built padded =
      MakeTiff(ByteOrder::kLittle, 0, false, std::vector<std::uint8_t>(padding, 0));
  ASSERT_EQ(padded.tiff.size() + 8, 65520u);
  const GpsWriteResult written = Write(padded.tiff, true);
  ASSERT_TRUE(written.error.empty()) << written.error;
  EXPECT_EQ(written.tiff.size(), padded.tiff.size());  // the segment keeps its length
  EXPECT_EQ(Summarise(written.tiff).gps.size, 356u + 6);
  EXPECT_EQ(Write(written.tiff, true).tiff, written.tiff);

  // Padding that is not zero is not free.
  std::vector<std::uint8_t> garbage(padding, 0);
  std::fill(garbage.end() - 100, garbage.end(), 0x55);
  const GpsWriteResult refused = Write(MakeTiff(ByteOrder::kLittle, 0, false, garbage).tiff, true);
  EXPECT_TRUE(refused.tiff.empty());
  EXPECT_NE(refused.error.find("full"), std::string::npos);
}

TEST(GpsWriter, NoSegmentGrowsPast65535Bytes) {
  const Built small = MakeTiff(ByteOrder::kLittle, 0, false);
  // Unreferenced data that is not padding, leaving less room than a GPS directory needs.
  const std::size_t filler = 65500 - 8 - small.tiff.size();
  const GpsWriteResult refused = Write(
      MakeTiff(ByteOrder::kLittle, 0, false, std::vector<std::uint8_t>(filler, 0x55)).tiff, false);
  EXPECT_TRUE(refused.tiff.empty());
  EXPECT_NE(refused.error.find("65535"), std::string::npos);
}

TEST(GpsWriter, DataWithoutAByteOrderIsRefused) {
  std::vector<std::uint8_t> junk(64, 'x');
  EXPECT_FALSE(Write(junk, true).error.empty());
}

TEST(GpsWriter, ANewTiffForAPhotoWithoutExif) {
  const std::vector<std::uint8_t> tiff = NewGpsTiff(ByteOrder::kLittle, [](std::uint32_t base) {
    return BuildGpsDirectory(Point(true), 0, 0, ByteOrder::kLittle, base);
  });
  const Summary s = Summarise(tiff);
  EXPECT_EQ(s.ifd0, 8u);
  EXPECT_EQ(s.ifd0Values.size(), 1u);
  EXPECT_EQ(s.ifd1, 0u);
  EXPECT_TRUE(s.gps.valid);
  EXPECT_EQ(s.gps.offset, 26u);
  EXPECT_EQ(tiff.size(), 26u + 356 + 6 + 1);  // a byte of word alignment before the date
}

}  // namespace
}  // namespace trevalo
