#include <gtest/gtest.h>

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "files/atomic_file.h"
#include "files/native_files.h"
#include "photo/exif_file.h"
#include "photo/xmp_sidecar.h"
#include "support/hostile_tiff.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "support/test_photos.h"
#include "tagging/camera_correction.h"
#include "tagging/photo_details.h"
#include "tagging/photo_list.h"
#include "tagging/photo_save.h"
#include "track/geodesy.h"
#include "track/placed_point.h"

namespace trevalo {
namespace {

const DisplayFormats kFormats{QStringLiteral("%Y-%m-%d %H:%M:%S"),
                              QStringLiteral("%s %d %02d %05.2f")};

// A log 10:00-11:00 UTC (zone 0) and photos taken in and out of it.
class PhotoSave : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveProgram(QStringLiteral("exiftool"))) {
      GTEST_SKIP() << "exiftool is not installed";
    }
    if (const QString missing = test::SeedPhotosMissing(); !missing.isEmpty()) {
      GTEST_SKIP() << missing.toStdString();
    }
    const QString log = dir_.filePath(QStringLiteral("walk.log"));
    test::WriteFile(log, test::GenerateLog({.hour = 10, .epochs = 61, .intervalSeconds = 60}));
    library_ = std::make_unique<LogLibrary>(LogLibrary::InMemory({{log, 0, 0, {}, 0}}, 0));
    QDir().mkpath(dir_.filePath(QStringLiteral("photos")));
    QDir().mkpath(dir_.filePath(QStringLiteral("out")));
  }
  QString Photo(const char* name, const char* dateTime) {
    const QString path = dir_.filePath(QStringLiteral("photos/") + QString::fromLatin1(name));
    EXPECT_TRUE(test::MakePhotoTakenAt(path, dateTime));
    return path;
  }
  void Add(const QString& path) {
    ASSERT_EQ(photos_.AddPhoto(path, *library_, settings_, kFormats), PhotoList::AddResult::kAdded);
  }
  QTemporaryDir dir_;
  std::unique_ptr<LogLibrary> library_;
  MatchSettings settings_;
  PhotoList photos_;
};

// Photos of two days whose rows alternate between the days: every pass over them (add,
// matching again, save) loads each day's log once, and leaves the same results, and the
// same active logs in the order of the rows, as a pass in row order.
TEST(PhotoPasses, EachLogIsLoadedOncePerPassWhateverTheOrderOfTheRows) {
  if (const QString missing = test::SeedPhotosMissing(); !missing.isEmpty()) {
    GTEST_SKIP() << missing.toStdString();
  }
  QTemporaryDir dir;
  const QString dayOne = dir.filePath(QStringLiteral("0517.log"));
  const QString dayTwo = dir.filePath(QStringLiteral("0518.log"));
  test::WriteFile(dayTwo, test::GenerateLog({.day = 18, .hour = 10, .epochs = 100}));
  test::WriteFile(dayOne, test::GenerateLog({.day = 17, .hour = 10, .epochs = 100}));
  LogLibrary library = LogLibrary::InMemory({{dayTwo, 0, 0, {}, 0}, {dayOne, 0, 0, {}, 0}}, 0);
  QDir().mkpath(dir.filePath(QStringLiteral("one")));
  QDir().mkpath(dir.filePath(QStringLiteral("two")));
  const QStringList first = test::MakePhotosASecondApart(dir.filePath(QStringLiteral("one")), 10,
                                                         *MakeTime(2009, 5, 17, 10, 0, 10));
  const QStringList second = test::MakePhotosASecondApart(dir.filePath(QStringLiteral("two")), 10,
                                                          *MakeTime(2009, 5, 18, 10, 0, 10));
  QStringList alternating;
  for (int i = 0; i < 10; ++i) {
    alternating << second[i] << first[i];
  }
  const auto loads = [&] { return library.log(0).timesLoaded() + library.log(1).timesLoaded(); };
  // The first row is of the second day: a pass in row order uses its log first, one in
  // time order second.
  const std::vector<std::size_t> rowOrder{*library.Find(dayTwo), *library.Find(dayOne)};
  const MatchSettings settings;
  PhotoList photos;
  photos.AddPhotos(alternating, library, settings, kFormats);
  EXPECT_EQ(loads(), 2u);
  ASSERT_EQ(photos.size(), 20u);
  for (std::size_t i = 0; i < 20; ++i) {
    EXPECT_TRUE(photos.rows()[i].matched) << i;
    EXPECT_EQ(photos.rows()[i].logFile, i % 2 == 0 ? dayTwo : dayOne) << i;
  }
  EXPECT_EQ(library.activeLogs(), rowOrder);

  photos.RematchAll(library, settings, kFormats);
  EXPECT_EQ(loads(), 4u) << "the pass ends on the other log than it began with";
  EXPECT_EQ(library.activeLogs(), rowOrder);

  library.ClearActiveLogs();
  QDir().mkpath(dir.filePath(QStringLiteral("out")));
  const SaveReport report = SaveTaggedPhotos(photos, library, settings, SaveMode::kCopy,
                                             dir.filePath(QStringLiteral("out")));
  EXPECT_EQ(report.items.size(), 20u);
  EXPECT_LE(loads(), 6u);
  EXPECT_EQ(library.activeLogs(), rowOrder);
}

TEST(WrittenPath, UnderscoresWhileANameIsTaken) {
  QTemporaryDir dir;
  EXPECT_EQ(WrittenPath(dir.path(), QStringLiteral("IMG_1.JPG")),
            dir.filePath(QStringLiteral("IMG_1.JPG")));
  test::WriteFile(dir.filePath(QStringLiteral("IMG_1.JPG")), "x");
  EXPECT_EQ(WrittenPath(dir.path(), QStringLiteral("IMG_1.JPG")),
            dir.filePath(QStringLiteral("_IMG_1.JPG")));
  test::WriteFile(dir.filePath(QStringLiteral("_IMG_1.JPG")), "x");
  EXPECT_EQ(WrittenPath(dir.path(), QStringLiteral("IMG_1.JPG")),
            dir.filePath(QStringLiteral("__IMG_1.JPG")));
}

TEST_F(PhotoSave, ListsEachPhotoOnceWithItsMatch) {
  const QString inside = Photo("inside.jpg", "2009:05:17 10:30:10");
  Add(inside);
  // A link to the photo, or another spelling of its path, is the same photo; a name in
  // other letter case is another file.
  const QString link = dir_.filePath(QStringLiteral("link.jpg"));
  ASSERT_TRUE(QFile::link(inside, link));
  EXPECT_EQ(photos_.AddPhoto(link, *library_, settings_, kFormats),
            PhotoList::AddResult::kAlreadyThere);
  EXPECT_EQ(photos_.AddPhoto(dir_.filePath(QStringLiteral("photos/../photos/inside.jpg")),
                             *library_, settings_, kFormats),
            PhotoList::AddResult::kAlreadyThere);
  EXPECT_EQ(photos_.Find(link), std::optional<std::size_t>(0));
  const QString upper = Photo("INSIDE.jpg", "2009:05:17 10:40:10");
  Add(upper);
  EXPECT_EQ(photos_.Find(upper), std::optional<std::size_t>(1));
  photos_.Remove(1);
  QString problem;
  EXPECT_EQ(photos_.AddPhoto(dir_.filePath(QStringLiteral("walk.log")), *library_, settings_,
                             kFormats, &problem),
            PhotoList::AddResult::kUnreadable);
  EXPECT_EQ(problem, QStringLiteral("not a JPEG file"));
  ASSERT_EQ(photos_.size(), 1u);
  const PhotoRow& row = photos_.rows()[0];
  EXPECT_TRUE(row.matched);
  EXPECT_EQ(row.dateText, QStringLiteral("2009-05-17 10:30:10"));
  EXPECT_EQ(row.fileName, QStringLiteral("inside.jpg"));
  EXPECT_EQ(row.logFile, dir_.filePath(QStringLiteral("walk.log")));
  EXPECT_TRUE(row.latitudeText.startsWith(u'N'));
  EXPECT_FALSE(row.altitudeText.isEmpty());
}

TEST_F(PhotoSave, RematchingGoesPastAPhotoThatIsGone) {
  Add(Photo("a.jpg", "2009:05:17 10:10:00"));
  const QString gone = Photo("b.jpg", "2009:05:17 10:20:00");
  Add(gone);
  Add(Photo("c.jpg", "2009:05:17 12:00:00"));  // an hour after the log
  EXPECT_FALSE(photos_.rows()[2].matched);
  QFile::remove(gone);
  settings_.tolerance = 1;
  photos_.RematchAll(*library_, settings_, kFormats);
  EXPECT_TRUE(photos_.rows()[0].matched);
  EXPECT_FALSE(photos_.rows()[1].matched);  // no stale position
  EXPECT_TRUE(photos_.rows()[1].latitudeText.isEmpty());
  EXPECT_FALSE(photos_.rows()[1].problem.isEmpty());
  EXPECT_TRUE(photos_.rows()[2].matched);  // the pass went on
}

TEST_F(PhotoSave, APhotoWithoutADateShowsNoneAndAnImpossibleDateSaysWhy) {
  const QString undated = Photo("undated.jpg", "");
  Add(undated);
  Add(Photo("epoch.jpg", "1970:01:01 00:00:00"));
  Add(Photo("month13.jpg", "2009:13:45 10:00:00"));
  const PhotoRow& none = photos_.rows()[0];
  EXPECT_TRUE(none.exifDate.empty());
  EXPECT_EQ(none.dateText, QString());
  EXPECT_TRUE(none.problem.isEmpty());
  ExifFile photo(undated, ExifFile::kReadOnly);
  ASSERT_TRUE(photo.ReadSections());
  for (const DetailRow& detail : PhotoDetailRows(none, photo.info())) {
    EXPECT_NE(detail.labelKey, QStringLiteral("IMGINFO_LIST_DATETIME")) << "no date row";
  }
  // The first second of the calendar is a date like any other.
  EXPECT_EQ(photos_.rows()[1].dateText, QStringLiteral("1970-01-01 00:00:00"));
  const PhotoRow& impossible = photos_.rows()[2];
  EXPECT_FALSE(impossible.matched);
  EXPECT_EQ(impossible.problem, QStringLiteral("the capture date 20091345 is impossible"));

  // Without any log the date is told all the same.
  LogLibrary empty = LogLibrary::InMemory({}, 0);
  PhotoList alone;
  alone.AddPhoto(impossible.path, empty, settings_, kFormats);
  EXPECT_EQ(alone.rows().at(0).problem, impossible.problem);
}

TEST_F(PhotoSave, SortsByTheDateText) {
  Add(Photo("late.jpg", "2009:05:17 10:50:00"));
  Add(Photo("early.jpg", "2009:05:17 10:05:00"));
  photos_.Sort();
  EXPECT_EQ(photos_.rows()[0].fileName, QStringLiteral("early.jpg"));
}

TEST_F(PhotoSave, CopiesSaveMatchedRowsAndKeepTheOthers) {
  Add(Photo("one.jpg", "2009:05:17 10:10:00"));
  Add(Photo("two.jpg", "2009:05:17 15:00:00"));  // not matched
  Add(Photo("three.jpg", "2009:05:17 10:40:00"));
  const QString out = dir_.filePath(QStringLiteral("out"));
  test::WriteFile(out + QStringLiteral("/one.jpg"), "someone else's file");
  const QByteArray original = test::ReadFile(photos_.rows()[0].path);
  const SaveReport report = SaveTaggedPhotos(photos_, *library_, settings_, SaveMode::kCopy, out);
  EXPECT_EQ(report.notMatched, 1);
  ASSERT_EQ(report.items.size(), 2u);
  EXPECT_EQ(report.items[0].written, out + QStringLiteral("/_one.jpg"));
  EXPECT_TRUE(report.items[0].problem.isEmpty());
  ASSERT_EQ(photos_.size(), 1u);
  EXPECT_EQ(photos_.rows()[0].fileName, QStringLiteral("two.jpg"));
  EXPECT_EQ(test::ReadFile(out + QStringLiteral("/one.jpg")), "someone else's file");
  EXPECT_EQ(test::ReadFile(dir_.filePath(QStringLiteral("photos/one.jpg"))), original);
  ExifFile copy(report.items[0].written, ExifFile::kReadOnly);
  ASSERT_TRUE(copy.ReadSections());
  EXPECT_TRUE(copy.existingGps().latitudeDegrees.has_value());
}

// The list knows its photos by file, not by path, through adds, removals, sorting and a
// save that takes rows out of its middle.
TEST_F(PhotoSave, APhotoIsKnownUnderAnyPathThroughRemovalsAndSaves) {
  const QString first = Photo("first.jpg", "2009:05:17 10:10:00");
  const QString unmatched = Photo("unmatched.jpg", "2009:05:17 15:00:00");
  const QString second = Photo("second.jpg", "2009:05:17 10:40:00");
  const QString gone = Photo("gone.jpg", "2009:05:17 10:50:00");
  const QString late = Photo("late.jpg", "2009:05:17 16:00:00");
  const auto hardLink = [&](const QString& photo, const char* name) {
    const QString link = dir_.filePath(QString::fromLatin1(name));
    EXPECT_EQ(::link(QFile::encodeName(photo).constData(), QFile::encodeName(link).constData()), 0);
    return link;
  };
  const auto symbolicLink = [&](const QString& photo, const char* name) {
    const QString link = dir_.filePath(QString::fromLatin1(name));
    EXPECT_TRUE(QFile::link(photo, link));
    return link;
  };
  const std::vector<PhotoList::Added> added = photos_.AddPhotos(
      {late, first, unmatched, second, gone, symbolicLink(second, "second_link.jpg"), late},
      *library_, settings_, kFormats);
  ASSERT_EQ(added.size(), 7u);
  EXPECT_EQ(added[5].result, PhotoList::AddResult::kAlreadyThere);
  EXPECT_EQ(added[5].row, 3u);
  EXPECT_EQ(added[6].result, PhotoList::AddResult::kAlreadyThere);
  EXPECT_EQ(added[6].row, 0u);
  photos_.Sort();  // first, second, gone, unmatched, late
  ASSERT_EQ(*photos_.Find(gone), 2u);
  photos_.Remove(2);
  // The removed photo may come again; the others stay known under other paths.
  EXPECT_EQ(photos_.AddPhoto(hardLink(gone, "gone_link.jpg"), *library_, settings_, kFormats),
            PhotoList::AddResult::kAdded);
  EXPECT_EQ(
      photos_.AddPhoto(hardLink(unmatched, "unmatched_link.jpg"), *library_, settings_, kFormats),
      PhotoList::AddResult::kAlreadyThere);
  const SaveReport report = SaveTaggedPhotos(photos_, *library_, settings_, SaveMode::kCopy,
                                             dir_.filePath(QStringLiteral("out")));
  ASSERT_EQ(report.items.size(), 3u);  // first, second and gone (by its link)
  ASSERT_EQ(photos_.size(), 2u);
  EXPECT_EQ(photos_.rows()[0].path, unmatched);
  EXPECT_EQ(photos_.rows()[1].path, late);
  EXPECT_EQ(*photos_.Find(symbolicLink(late, "late_link.jpg")), 1u);
  EXPECT_EQ(*photos_.Find(hardLink(unmatched, "unmatched_link2.jpg")), 0u);
  EXPECT_FALSE(photos_.Find(second).has_value());
  EXPECT_EQ(photos_.AddPhoto(hardLink(late, "late_link2.jpg"), *library_, settings_, kFormats),
            PhotoList::AddResult::kAlreadyThere);
  EXPECT_EQ(photos_.AddPhoto(symbolicLink(first, "first_link.jpg"), *library_, settings_, kFormats),
            PhotoList::AddResult::kAdded);
  photos_.SortBy(PhotoList::Order::kFileName, true);
  photos_.RemoveRows({true, false, false});  // unmatched.jpg, late.jpg, first_link.jpg
  ASSERT_EQ(photos_.size(), 2u);
  EXPECT_EQ(photos_.rows()[0].path, late);
  EXPECT_EQ(*photos_.Find(first), 1u);
  EXPECT_FALSE(photos_.Find(unmatched).has_value());
}

TEST_F(PhotoSave, ACopyThatCannotBeWrittenStaysInTheList) {
  Add(Photo("one.jpg", "2009:05:17 10:10:00"));
  const SaveReport report = SaveTaggedPhotos(photos_, *library_, settings_, SaveMode::kCopy,
                                             dir_.filePath(QStringLiteral("no/such/folder")));
  ASSERT_EQ(report.items.size(), 1u);
  EXPECT_FALSE(report.items[0].problem.isEmpty());
  EXPECT_EQ(photos_.size(), 1u);
}

TEST_F(PhotoSave, InPlaceReplacesThePhotoWhole) {
  const QString photo = Photo("one.jpg", "2009:05:17 10:10:00");
  QFile::setPermissions(photo, QFileDevice::ReadOwner);  // read-only photos are tagged too
  const QFileDevice::Permissions permissions = QFile::permissions(photo);
  Add(photo);
  const SaveReport report = SaveTaggedPhotos(photos_, *library_, settings_, SaveMode::kInPlace, {});
  ASSERT_EQ(report.items.size(), 1u);
  EXPECT_EQ(report.items[0].written, photo);
  EXPECT_TRUE(photos_.empty());
  ExifFile tagged(photo, ExifFile::kReadOnly);
  ASSERT_TRUE(tagged.ReadSections());
  EXPECT_TRUE(tagged.existingGps().present);
  EXPECT_EQ(QFile::permissions(photo), permissions);
  EXPECT_EQ(
      QDir(dir_.filePath(QStringLiteral("photos"))).entryList(QDir::Files | QDir::Hidden).size(),
      1);
}

TEST_F(PhotoSave, APhotoThatCannotBeRewrittenIsLeftUntouched) {
  const QString photo = Photo("big.jpg", "2009:05:17 10:10:00");
  Add(photo);
  // EXIF data grown (behind the reader's back) to where no GPS directory fits.
  QByteArray bytes = test::ReadFile(photo);
  const qsizetype exif = bytes.indexOf("Exif") - 4;
  const int length = static_cast<unsigned char>(bytes[exif + 2]) << 8 |
                     static_cast<unsigned char>(bytes[exif + 3]);
  bytes.insert(exif + 2 + length, QByteArray(65500 - length, '\x55'));
  bytes[exif + 2] = static_cast<char>(65500 >> 8);
  bytes[exif + 3] = static_cast<char>(65500 & 0xFF);
  test::WriteFile(photo,
                  std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  const SaveReport report = SaveTaggedPhotos(photos_, *library_, settings_, SaveMode::kInPlace, {});
  ASSERT_EQ(report.items.size(), 1u);
  EXPECT_TRUE(report.items[0].problem.contains(QStringLiteral("65535")));
  EXPECT_EQ(test::ReadFile(photo), bytes);
  EXPECT_EQ(photos_.size(), 1u);
}

TEST_F(PhotoSave, APhotoWhoseIfd0PointsAtItselfIsListedAndSaved) {
  const QString photo = dir_.filePath(QStringLiteral("photos/self.jpg"));
  const QByteArray bytes = test::JpegWithExif(test::SelfPointingTiff(100));
  test::WriteFile(photo,
                  std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  Add(photo);
  EXPECT_TRUE(photos_.rows()[0].matched);
  const QString out = dir_.filePath(QStringLiteral("out"));
  const SaveReport report = SaveTaggedPhotos(photos_, *library_, settings_, SaveMode::kCopy, out);
  ASSERT_EQ(report.items.size(), 1u);
  EXPECT_TRUE(report.items[0].problem.isEmpty()) << report.items[0].problem.toStdString();
  ExifFile copy(out + QStringLiteral("/self.jpg"), ExifFile::kReadOnly);
  ASSERT_TRUE(copy.ReadSections());
  EXPECT_TRUE(copy.existingGps().latitudeDegrees.has_value());
}

TEST(CameraCorrection, SpansFromWhatTheCameraShowed) {
  const TimeValue truth = *MakeTime(2009, 5, 17, 10, 5, 30);
  EXPECT_EQ(CameraSpan(truth, *MakeTime(2009, 5, 17, 10, 0, 0)), 330);
  EXPECT_EQ(CameraSpan(truth, *MakeTime(2009, 5, 17, 10, 10, 0)), -270);  // a camera ahead
  // A camera still on the day before.
  EXPECT_EQ(CameraSpan(truth, *MakeTime(2009, 5, 16, 23, 0, 0)), 11 * 3600 + 330);
  EXPECT_EQ(CameraTimeAt(truth, 330), *MakeTime(2009, 5, 17, 10, 0, 0));
}

TEST_F(PhotoSave, TheCameraCorrectionMovesTheMatchNotThePhoto) {
  // Taken at camera time 09:30, an hour slow: it is 10:30 in the log.
  const QString photo = Photo("slow.jpg", "2009:05:17 09:30:00");
  settings_.cameraCorrection = true;
  settings_.cameraSpan = 3600;
  Add(photo);
  EXPECT_TRUE(photos_.rows()[0].matched);
  EXPECT_EQ(photos_.rows()[0].dateText, QStringLiteral("2009-05-17 10:30:00"));
  EXPECT_EQ(IsoTimeText(photos_.rows()[0].point.localTime), "2009-05-17 10:30:00");
  const QString out = dir_.filePath(QStringLiteral("out"));
  SaveTaggedPhotos(photos_, *library_, settings_, SaveMode::kCopy, out);
  ExifFile copy(out + QStringLiteral("/slow.jpg"), ExifFile::kReadOnly);
  ASSERT_TRUE(copy.ReadSections());
  EXPECT_EQ(copy.info().dateTime, "2009:05:17 09:30:00");  // the photo's own date stays
}

TEST_F(PhotoSave, ThePositionCorrectionMovesTheWrittenPosition) {
  Add(Photo("moved.jpg", "2009:05:17 10:10:00"));
  Coordinate position(photos_.rows()[0].point);
  position.Convert(0, 0);
  const double plain = position.latitudeDegrees;
  settings_.positionCorrection = true;
  settings_.latitudeOffset = 500;
  const QString out = dir_.filePath(QStringLiteral("out"));
  SaveTaggedPhotos(photos_, *library_, settings_, SaveMode::kCopy, out);
  ExifFile copy(out + QStringLiteral("/moved.jpg"), ExifFile::kReadOnly);
  ASSERT_TRUE(copy.ReadSections());
  EXPECT_NEAR(*copy.existingGps().latitudeDegrees, plain + 5.0 / 3600, 0.11 / 3600);
}

// A photo placed by hand keeps its place through every match, though a log covers it, and is
// written there (below sea level, to the thousandth of a second of arc) however the position
// correction stands; once its place is cleared the log has it again.
TEST_F(PhotoSave, APlaceByHandOutlastsEveryMatchAndNoCorrectionMovesIt) {
  Add(Photo("placed.jpg", "2009:05:17 10:10:00"));
  ASSERT_TRUE(photos_.rows()[0].matched);
  const PlacedPosition place{-33.8567844, 151.2152967, -4.5};
  photos_.SetHandPositions({{0, {place, false}}}, *library_, settings_, kFormats);
  settings_.positionCorrection = true;
  settings_.latitudeOffset = 500;
  photos_.RematchAll(*library_, settings_, kFormats);
  const PhotoRow& row = photos_.rows()[0];
  EXPECT_FALSE(row.matched);
  ASSERT_EQ(row.placed, place);
  EXPECT_EQ(row.altitudeText, QStringLiteral("-4.5 m"));
  EXPECT_TRUE(row.logFile.isEmpty());
  EXPECT_TRUE(photos_.AnyToSave());

  const QString out = dir_.filePath(QStringLiteral("out"));
  const SaveReport report = SaveTaggedPhotos(photos_, *library_, settings_, SaveMode::kCopy, out);
  ASSERT_EQ(report.items.size(), 1U);
  ExifFile copy(report.items[0].written, ExifFile::kReadOnly);
  ASSERT_TRUE(copy.ReadSections());
  EXPECT_NEAR(*copy.existingGps().latitudeDegrees, place.latitude, 0.5e-3 / 3600);
  EXPECT_NEAR(*copy.existingGps().longitudeDegrees, place.longitude, 0.5e-3 / 3600);
  EXPECT_DOUBLE_EQ(*copy.existingGps().altitudeMetres, -4.5);

  // Added again and its place cleared: matched to the log as before.
  Add(Photo("again.jpg", "2009:05:17 10:10:00"));
  photos_.SetHandPositions({{0, {place, false}}}, *library_, settings_, kFormats);
  photos_.SetHandPositions({{0, {}}}, *library_, settings_, kFormats);
  EXPECT_TRUE(photos_.rows()[0].matched);
  EXPECT_FALSE(photos_.rows()[0].placed);
}

TEST(AtomicFile, AFailedWriteLeavesTheFileAsItWas) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("photo.jpg"));
  test::WriteFile(path, "the original");
  const QString problem = WriteFileAtomically(
      path,
      [](int fd) {
        WriteAll(fd,
                 std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>("half"), 4));
        return QStringLiteral("the disk is full");
      },
      true);
  EXPECT_EQ(problem, QStringLiteral("the disk is full"));
  EXPECT_EQ(test::ReadFile(path), "the original");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

}  // namespace
}  // namespace trevalo

namespace trevalo {
namespace {

// Photos that are not JPEG files, and JPEGs on request, keep their positions in sidecars;
// the photo files themselves are never written.
TEST_F(PhotoSave, OtherKindsOfPhotosGetSidecarsAndStayUntouched) {
  const QString raw = dir_.filePath(QStringLiteral("photos/IMG_1.cr3"));
  const QString webp = dir_.filePath(QStringLiteral("photos/IMG_2.webp"));
  const QString undated = dir_.filePath(QStringLiteral("photos/IMG_3.cr3"));
  ASSERT_TRUE(test::MakeOtherPhoto(raw, "2009:05:17 10:30:10"));
  if (!test::MakeOtherPhoto(webp, "2009:05:17 10:40:10")) {
    GTEST_SKIP() << "ImageMagick is not installed";
  }
  ASSERT_TRUE(test::MakeOtherPhoto(undated, ""));
  const QString jpeg = Photo("IMG_4.jpg", "2009:05:17 10:50:10");
  for (const QString& photo : {raw, webp, undated, jpeg}) {
    Add(photo);
  }
  EXPECT_FALSE(photos_.rows()[0].jpeg);
  EXPECT_EQ(photos_.rows()[2].problem, QStringLiteral("it has no capture time"));
  EXPECT_FALSE(photos_.rows()[2].matched);
  const QByteArray rawBefore = test::ReadFile(raw);
  const QByteArray jpegBefore = test::ReadFile(jpeg);

  const SaveReport report =
      SaveTaggedPhotos(photos_, *library_, settings_, SaveMode::kInPlace, QString(), {}, nullptr,
                       SidecarChoice{.everyPhoto = true, .naming = SidecarNaming::kBaseName});
  ASSERT_EQ(report.items.size(), 3u);
  EXPECT_EQ(report.notMatched, 1);
  EXPECT_EQ(report.items[0].written, dir_.filePath(QStringLiteral("photos/IMG_1.xmp")));
  EXPECT_EQ(report.items[1].written, dir_.filePath(QStringLiteral("photos/IMG_2.xmp")));
  EXPECT_EQ(report.items[2].written, dir_.filePath(QStringLiteral("photos/IMG_4.xmp")));
  EXPECT_EQ(test::ReadFile(raw), rawBefore);
  EXPECT_EQ(test::ReadFile(jpeg), jpegBefore);
  EXPECT_FALSE(PathExists(dir_.filePath(QStringLiteral("photos/IMG_3.xmp"))));
  // The sidecar holds the point the lookup gives at the photo's time, in whole tenths of
  // an arc second as the JPEG writer writes it.
  const MatchResult match = MatchPhotoTime(*library_, "2009:05:17 10:30:10", settings_);
  ASSERT_TRUE(match.matched);
  const SidecarRead read =
      ReadSidecarPosition(test::ReadFile(report.items[0].written).toStdString());
  ASSERT_TRUE(read.position);
  Coordinate expected(match.point);
  expected.Convert(0, 0);
  EXPECT_NEAR(read.position->latitude, expected.latitudeDegrees, 0.1 / 3600);
  EXPECT_NEAR(read.position->longitude, expected.longitudeDegrees, 0.1 / 3600);
  ASSERT_EQ(photos_.size(), 1u);  // the undated photo stays
}

TEST_F(PhotoSave, JpegsKeepTheirOwnWriterUnlessSidecarsAreAsked) {
  const QString raw = dir_.filePath(QStringLiteral("photos/IMG_1.CR3"));
  ASSERT_TRUE(test::MakeOtherPhoto(raw, "2009:05:17 10:30:10"));
  const QString jpeg = Photo("IMG_2.jpg", "2009:05:17 10:50:10");
  Add(raw);
  Add(jpeg);
  const SaveReport report = SaveTaggedPhotos(photos_, *library_, settings_, SaveMode::kCopy,
                                             dir_.filePath(QStringLiteral("out")));
  ASSERT_EQ(report.items.size(), 2u);
  EXPECT_EQ(report.items[0].written, raw + QStringLiteral(".xmp"));
  EXPECT_EQ(report.items[1].written, dir_.filePath(QStringLiteral("out/IMG_2.jpg")));
  EXPECT_FALSE(PathExists(dir_.filePath(QStringLiteral("out/IMG_1.CR3"))));
  EXPECT_FALSE(PathExists(jpeg + QStringLiteral(".xmp")));
}

}  // namespace
}  // namespace trevalo
