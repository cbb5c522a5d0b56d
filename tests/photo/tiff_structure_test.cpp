// The TIFF walk on data whose directories point at each other: every directory is read
// once, however many pointers lead to it, so that such data is read in bounded time and
// memory and what can be read is still read.

#include <gtest/gtest.h>

#include <stdexcept>

#include "photo/tiff_structure.h"
#include "support/hostile_tiff.h"
#include "support/tiff_builder.h"

namespace trevalo {
namespace {

// A walk that follows every path reports a problem at each directory it cuts off: past
// `limit` problems the read is stopped here, so that such a walk fails the test at once
// instead of running for hours.
struct EndlessWalk : std::runtime_error {
  EndlessWalk() : std::runtime_error("the walk went on past every bound") {}
};

struct HostileRead {
  PhotoInfo info;
  TiffReadResult result;
  int problems = 0;
};

HostileRead Read(const std::vector<std::uint8_t>& tiff, int limit) {
  HostileRead read;
  read.result = ReadTiff(tiff, read.info, [&](std::string_view) {
    if (++read.problems > limit) {
      throw EndlessWalk();
    }
  });
  return read;
}

void ExpectFirstDirectoryRead(const HostileRead& read) {
  EXPECT_EQ(read.info.cameraMake, test::kHostileMake);
  EXPECT_EQ(read.info.dateTime, test::kHostileDateTime);
  EXPECT_TRUE(read.result.layout.ifd0Readable);
}

TEST(HostileTiff, ExifPointersBackAtIfd0AreFollowedOnce) {
  for (const ByteOrder order : {ByteOrder::kLittle, ByteOrder::kBig}) {
    for (const int pointers : {30, 40, 100, 1000}) {
      SCOPED_TRACE(pointers);
      const HostileRead read = Read(test::SelfPointingTiff(pointers, order), pointers + 2);
      ExpectFirstDirectoryRead(read);
      EXPECT_EQ(read.result.layout.ifd0EntryCount, pointers + 2);
    }
  }
}

TEST(HostileTiff, DirectoriesThatShareEachOtherAreEachReadOnce) {
  // Every directory holds Exif, Interop and GPS pointers to all the others: at most one
  // problem per entry (a pointer cut off by the nesting limit), never one per path.
  for (const bool cyclic : {true, false}) {
    for (const int count : {6, 20}) {
      SCOPED_TRACE(testing::Message() << count << (cyclic ? " in a cycle" : " in a chain"));
      const HostileRead read =
          Read(test::SharedDirectoriesTiff(count, cyclic), test::SharedDirectoriesEntries(count));
      ExpectFirstDirectoryRead(read);
      EXPECT_TRUE(read.result.gps.present);
      EXPECT_TRUE(read.result.gps.valid);
    }
  }
}

TEST(HostileTiff, AGpsDirectoryNamedManyTimesIsMeasuredOnce) {
  // 500 GPS pointers at one GPS directory of 40 entries of an unknown type, each of which is
  // a problem: measured per pointer that would be 20,000 problems.
  constexpr int kPointers = 500;
  constexpr int kGpsEntries = 40;
  test::TiffBuilder b = test::TiffBuilder::WithHeader(ByteOrder::kLittle);
  const std::uint32_t ifd0 = b.Directory(kPointers);
  b.U32(4, ifd0);
  const std::uint32_t gps = b.Directory(kGpsEntries);
  for (std::size_t i = 0; i < kGpsEntries; ++i) {
    b.Entry(test::TiffBuilder::EntryAt(gps, i), static_cast<std::uint16_t>(i), 99, 1, 0);
  }
  for (std::size_t i = 0; i < kPointers; ++i) {
    b.Entry(test::TiffBuilder::EntryAt(ifd0, i), 0x8825, kTypeLong, 1, gps);
  }
  const HostileRead read = Read(b.bytes, kPointers + kGpsEntries);
  EXPECT_GE(read.problems, kGpsEntries);
  EXPECT_TRUE(read.result.gps.present);
  EXPECT_EQ(read.result.gps.offset, gps);
}

}  // namespace
}  // namespace trevalo
