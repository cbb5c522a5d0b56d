#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "track/calendar_time.h"

#include "support/log_generator.h"
#include "support/marker_folder.h"
#include "support/test_files.h"
#include "support/test_photos.h"
#include "tagging/photo_save.h"
#include "tagging/photos_on_map.h"

namespace trevalo {
namespace {

using PhotosOnMapTest = test::MarkerFolderTest;

// What a marker file holds inside its markers element.
QByteArray Inside(const QByteArray& file) {
  static const QByteArray start("<markers>\n");
  static const QByteArray end("</markers>");
  EXPECT_TRUE(file.startsWith(start) && file.endsWith(end)) << file.toStdString();
  return file.mid(start.size(), file.size() - start.size() - end.size());
}

TEST_F(PhotosOnMapTest, PhotosOfOneLogDrawThatLogOnce) {
  if (!test::HaveProgram(QStringLiteral("exiftool"))) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  const QString log =
      Log(QStringLiteral("walk.log"), {.hour = 10, .epochs = 61, .intervalSeconds = 60});
  LogLibrary library = LogLibrary::InMemory({{log, 0, 0, {}, 0}}, 0);
  const DisplayFormats formats{QStringLiteral("%Y-%m-%d %H:%M:%S"),
                               QStringLiteral("%s %d %02d %05.2f")};
  MatchSettings settings;
  PhotoList photos;
  const char* times[] = {"2009:05:17 10:10:00", "2009:05:17 10:20:00", "2009:05:17 18:00:00"};
  for (int i = 0; i < 3; ++i) {
    const QString path = dir_.filePath(QStringLiteral("p%1 & co.jpg").arg(i));
    ASSERT_TRUE(test::MakePhotoTakenAt(path, times[i]));
    photos.AddPhoto(path, library, settings, formats);
  }
  photos.Sort();
  MapRequest request = ShowPhotosOnMap(library, photos, {0, 1, 2}, settings, true,
                                       QStringLiteral("%H:%M"), dir_.path());
  ASSERT_TRUE(request.show);
  EXPECT_EQ(request.file, MarkerFile::kPhotosAndTracks);
  EXPECT_EQ(request.photoPath, photos.rows()[0].path);
  QByteArray markers = Markers(MarkerFile::kPhotosAndTracks);
  EXPECT_EQ(markers.count("<marker "), 2);  // the photo outside the log has no position
  EXPECT_EQ(markers.count("<line "), 1);
  EXPECT_TRUE(markers.contains("label = 'p0 &amp; co.jpg'"));
  EXPECT_TRUE(markers.contains("STIME='10:00' ETIME='11:00'"));  // the page's time format
  EXPECT_TRUE(library.activeLogs().empty());
  // Once the file is written, the points are let go (the page reads the file).
  EXPECT_EQ(library.heldLog(), std::nullopt);
  EXPECT_FALSE(library.log(0).pointsLoaded());

  request =
      ShowPhotosOnMap(library, photos, {1}, settings, false, QStringLiteral("%H:%M"), dir_.path());
  EXPECT_EQ(request.file, MarkerFile::kPhotos);
  markers = Markers(MarkerFile::kPhotos);
  EXPECT_EQ(markers.count("<marker "), 1);
  EXPECT_FALSE(markers.contains("<line "));
  EXPECT_EQ(library.heldLog(), std::nullopt);
  EXPECT_FALSE(ShowPhotosOnMap(library, photos, {2}, settings, true, {}, dir_.path()).show);
}

TEST_F(PhotosOnMapTest, APhotoBetweenFixesIsMarkedWhereItWasPlaced) {
  if (!test::HaveProgram(QStringLiteral("exiftool"))) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  std::vector<test::GeneratedFix> fixes;
  const QString log =
      Log(QStringLiteral("walk.log"), {.hour = 10, .epochs = 30, .intervalSeconds = 10}, &fixes);
  LogLibrary library = LogLibrary::InMemory({{log, 0, 0, {}, 0}}, 0);
  MatchSettings settings;
  settings.interpolate = true;
  PhotoList photos;
  const QString path = dir_.filePath(QStringLiteral("p.jpg"));
  ASSERT_TRUE(test::MakePhotoTakenAt(path, "2009:05:17 10:00:13"));
  photos.AddPhoto(path, library, settings, {QStringLiteral("%H:%M:%S"), QStringLiteral("%s")});
  ASSERT_TRUE(ShowPhotosOnMap(library, photos, {0}, settings, false, {}, dir_.path()).show);
  static const QRegularExpression marker(
      QStringLiteral("<marker lat='([-0-9.]+)' lng='([-0-9.]+)'"));
  const QRegularExpressionMatch m = marker.match(QString::fromUtf8(Markers(MarkerFile::kPhotos)));
  ASSERT_TRUE(m.hasMatch());
  EXPECT_NEAR(m.captured(1).toDouble(),
              fixes[1].latitude + 0.3 * (fixes[2].latitude - fixes[1].latitude), 1e-6);
  EXPECT_NEAR(m.captured(2).toDouble(),
              fixes[1].longitude + 0.3 * (fixes[2].longitude - fixes[1].longitude), 1e-6);
}

// Rows alternating between the logs of two days: the file holds the markers in the order of
// the rows and the tracks in the order the rows first use their logs, as one lookup per row
// writes them, while the lookups load each log once.
TEST_F(PhotosOnMapTest, RowsAlternatingBetweenTwoLogsKeepTheirOrderAndLoadEachLogOnce) {
  if (const QString missing = test::SeedPhotosMissing(); !missing.isEmpty()) {
    GTEST_SKIP() << missing.toStdString();
  }
  const QString dayOne = Log(QStringLiteral("0517.log"), {.day = 17, .hour = 10, .epochs = 100});
  const QString dayTwo = Log(QStringLiteral("0518.log"), {.day = 18, .hour = 10, .epochs = 100});
  LogLibrary library = LogLibrary::InMemory({{dayTwo, 0, 0, {}, 0}, {dayOne, 0, 0, {}, 0}}, 0);
  QDir().mkpath(dir_.filePath(QStringLiteral("one")));
  QDir().mkpath(dir_.filePath(QStringLiteral("two")));
  const QStringList first = test::MakePhotosASecondApart(dir_.filePath(QStringLiteral("one")), 10,
                                                         *MakeTime(2009, 5, 17, 10, 0, 10));
  const QStringList second = test::MakePhotosASecondApart(dir_.filePath(QStringLiteral("two")), 10,
                                                          *MakeTime(2009, 5, 18, 10, 0, 10));
  QStringList alternating;
  for (int i = 0; i < 10; ++i) {
    alternating << second[i] << first[i];
  }
  MatchSettings settings;
  settings.positionCorrection = true;
  settings.latitudeOffset = 150;
  PhotoList photos;
  photos.AddPhotos(alternating, library, settings,
                   {QStringLiteral("%Y-%m-%d %H:%M:%S"), QStringLiteral("%s %d %02d %05.2f")});
  ASSERT_EQ(photos.size(), 20u);
  std::vector<std::size_t> rows;
  for (std::size_t row = 1; row < 20; ++row) {
    if (row != 6) {
      rows.push_back(row);  // the first row is of the second day, as is row 6
    }
  }
  QByteArray markers;
  for (const std::size_t row : rows) {
    ASSERT_TRUE(ShowPhotosOnMap(library, photos, {row}, settings, false, {}, dir_.path()).show);
    markers += Inside(Markers(MarkerFile::kPhotos));
  }
  const std::vector<std::size_t> firstUsed{*library.Find(dayOne), *library.Find(dayTwo)};
  ASSERT_TRUE(ShowLogsOnMap(library, firstUsed, dir_.path(),
                            {settings.latitudeCorrection(), settings.longitudeCorrection()})
                  .show);
  const QByteArray tracks = Inside(Markers(MarkerFile::kTracks));
  const auto loads = [&] { return library.log(0).timesLoaded() + library.log(1).timesLoaded(); };

  std::uint32_t before = loads();
  MapRequest request = ShowPhotosOnMap(library, photos, rows, settings, false, {}, dir_.path());
  EXPECT_EQ(loads() - before, 2u);
  EXPECT_EQ(request.photoPath, photos.rows()[1].path);
  EXPECT_EQ(Markers(MarkerFile::kPhotos), "<markers>\n" + markers + "</markers>");

  before = loads();
  request = ShowPhotosOnMap(library, photos, rows, settings, true, UsTimeFormat(), dir_.path());
  // Drawing the tracks loads a log again when it is not the one the lookups ended on.
  EXPECT_LE(loads() - before, 4u);
  EXPECT_EQ(Markers(MarkerFile::kPhotosAndTracks), "<markers>\n" + markers + tracks + "</markers>");
  EXPECT_EQ(library.heldLog(), std::nullopt);
}

// A phone's photo keeps the position it carries when asked: it is not written, stays in the
// list, is told as kept, and the map shows it where it says it was.
TEST_F(PhotosOnMapTest, APhotoKeptAtItsOwnPositionIsShownThereAndNeverWritten) {
  if (!test::HaveProgram(QStringLiteral("exiftool"))) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  const QString log = Log(QStringLiteral("walk.log"), {.hour = 10, .epochs = 30});
  LogLibrary library = LogLibrary::InMemory({{log, 0, 0, {}, 0}}, 0);
  const DisplayFormats formats{QStringLiteral("%Y-%m-%d %H:%M:%S"),
                               QStringLiteral("%s %d %02d %05.2f")};
  MatchSettings settings;
  settings.keepExistingPositions = true;
  const QString phone = dir_.filePath(QStringLiteral("phone.jpg"));
  const QString camera = dir_.filePath(QStringLiteral("camera.jpg"));
  ASSERT_TRUE(test::MakePhotoTakenAt(
      phone, "2009:05:17 10:00:05",
      {QStringLiteral("-GPSLatitude=48.8584"), QStringLiteral("-GPSLatitudeRef=N"),
       QStringLiteral("-GPSLongitude=2.2945"), QStringLiteral("-GPSLongitudeRef=E")}));
  ASSERT_TRUE(test::MakePhotoTakenAt(camera, "2009:05:17 10:00:10"));
  const QByteArray phoneBefore = test::ReadFile(phone);
  PhotoList photos;
  photos.AddPhoto(phone, library, settings, formats);
  photos.AddPhoto(camera, library, settings, formats);
  photos.Sort();
  ASSERT_TRUE(photos.rows()[0].kept && !photos.rows()[0].matched);
  ASSERT_TRUE(photos.rows()[1].matched);

  const MapRequest request = ShowPhotosOnMap(library, photos, {0, 1}, settings, false,
                                             QStringLiteral("%H:%M"), dir_.path());
  ASSERT_TRUE(request.show);
  const QByteArray markers = Markers(MarkerFile::kPhotos);
  EXPECT_EQ(markers.count("<marker "), 2);
  EXPECT_TRUE(markers.contains("<marker lat='48.858400' lng='2.294500'")) << markers.toStdString();

  const SaveReport report = SaveTaggedPhotos(photos, library, settings, SaveMode::kInPlace, {});
  EXPECT_EQ(report.kept, QStringList{phone});
  ASSERT_EQ(report.items.size(), 1u);
  EXPECT_EQ(report.items[0].photo, camera);
  EXPECT_EQ(test::ReadFile(phone), phoneBefore);
  ASSERT_EQ(photos.size(), 1u);  // the kept photo stays in the list
  EXPECT_EQ(photos.rows()[0].path, phone);
}

}  // namespace
}  // namespace trevalo
