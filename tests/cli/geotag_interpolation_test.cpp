// End to end: trevalo-cli geotag --interpolate places photos between fixes; exiftool reads
// the written positions back.

#include <cmath>

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "cli/cli_runner.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "support/test_photos.h"

namespace trevalo {
namespace {

using test::RunCli;

constexpr double kMetresPerDegree = 111320.0;

// Longitude difference the short way round.
double LongitudeSpan(double from, double to) {
  double span = to - from;
  return span > 180 ? span - 360 : span < -180 ? span + 360 : span;
}

double WrappedLongitude(double longitude) {
  return longitude > 180 ? longitude - 360 : longitude < -180 ? longitude + 360 : longitude;
}

struct Position {
  double latitude = 0;
  double longitude = 0;
  double altitude = 0;
};

// Metres between two positions a few metres apart.
double MetresBetween(const Position& a, const Position& b) {
  const double north = (a.latitude - b.latitude) * kMetresPerDegree;
  const double east = LongitudeSpan(b.longitude, a.longitude) * kMetresPerDegree *
                      std::cos(a.latitude * 3.141592653589793 / 180);
  return std::hypot(north, east);
}

// A walk logged every 10 s from 10:00:00 UTC (19:00:00 at +09:00), 5 m north and 7 m east a
// fix, and photos taken during it.
class GeotagBetweenFixes : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveProgram(QStringLiteral("exiftool"))) {
      GTEST_SKIP() << "exiftool is not installed";
    }
    if (const QString missing = test::SeedPhotosMissing(); !missing.isEmpty()) {
      GTEST_SKIP() << missing.toStdString();
    }
    log_ = Log(QStringLiteral("walk.log"),
               {.hour = 10,
                .epochs = 30,
                .intervalSeconds = 10,
                .latitude = 37.5,
                .longitude = 127.0,
                .northMetresPerEpoch = 5,
                .eastMetresPerEpoch = 7},
               fixes_);
  }
  QString Log(const QString& name, const test::LogPlan& plan,
              std::vector<test::GeneratedFix>& fixes) {
    const QString path = dir_.filePath(name);
    test::WriteFile(path, test::GenerateLog(plan, &fixes));
    return path;
  }
  // A photo taken at `localTime` ("HH:MM:SS" on 2009-05-17).
  QString Photo(const QString& name, const char* localTime) {
    const QString path = dir_.filePath(name);
    EXPECT_TRUE(test::MakePhotoTakenAt(path, ("2009:05:17 " + std::string(localTime)).c_str()));
    return path;
  }
  // Tags photos into the folder `out` (made here); the result of trevalo-cli.
  test::CliResult Geotag(const QString& log, const QString& out, const QStringList& options,
                         const QStringList& photos) {
    QDir().mkpath(dir_.filePath(out));
    return RunCli(QStringList{QStringLiteral("geotag"), QStringLiteral("--log"), log,
                              QStringLiteral("--zone"), QStringLiteral("900"),
                              QStringLiteral("--out"), dir_.filePath(out)} +
                      options + photos,
                  dir_.filePath(QStringLiteral("home")));
  }
  // The GPS tags exiftool reads from a written photo: signed position, altitude, and the
  // UTC date and time stamps.
  Position ReadPosition(const QString& path, QByteArray* dateTime = nullptr) {
    const QList<QByteArray> tags =
        test::Run(QStringLiteral("exiftool"),
                  {QStringLiteral("-n"), QStringLiteral("-s3"), QStringLiteral("-GPS:GPSLatitude"),
                   QStringLiteral("-GPSLatitudeRef"), QStringLiteral("-GPS:GPSLongitude"),
                   QStringLiteral("-GPSLongitudeRef"), QStringLiteral("-GPSAltitude"),
                   QStringLiteral("-GPSDateStamp"), QStringLiteral("-GPSTimeStamp"), path})
            .split('\n');
    EXPECT_GE(tags.size(), 7) << path.toStdString();
    if (tags.size() < 7) {
      return {};
    }
    if (dateTime != nullptr) {
      *dateTime = tags[5] + ' ' + tags[6];
    }
    return {tags[0].toDouble() * (tags[1] == "S" ? -1 : 1),
            tags[2].toDouble() * (tags[3] == "W" ? -1 : 1), tags[4].toDouble()};
  }
  // Where the walk was `share` of the way from fix `k` to the next.
  static Position Between(const std::vector<test::GeneratedFix>& fixes, std::size_t k,
                          double share) {
    const test::GeneratedFix& a = fixes[k];
    const test::GeneratedFix& b = fixes[k + 1];
    return {a.latitude + share * (b.latitude - a.latitude),
            WrappedLongitude(a.longitude + share * LongitudeSpan(a.longitude, b.longitude)),
            a.altitude + share * (b.altitude - a.altitude)};
  }
  static Position At(const test::GeneratedFix& fix) {
    return {fix.latitude, fix.longitude, fix.altitude};
  }
  QString Written(const QString& out, const char* name) const {
    return dir_.filePath(out + u'/' + QLatin1String(name));
  }

  QTemporaryDir dir_;
  QString log_;
  std::vector<test::GeneratedFix> fixes_;
};

TEST_F(GeotagBetweenFixes, PhotosArePlacedToTheMetreWithTheirOwnTime) {
  const QStringList photos{Photo(QStringLiteral("a.jpg"), "19:00:13"),
                           Photo(QStringLiteral("b.jpg"), "19:02:47")};
  const auto result = Geotag(log_, QStringLiteral("out"),
                             {QStringLiteral("--interpolate"), QStringLiteral("--json"),
                              QStringLiteral("--kml"), QStringLiteral("walk")},
                             photos);
  ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
  const QJsonArray outcomes = result.Json().array();
  ASSERT_EQ(outcomes.size(), 2);
  EXPECT_EQ(outcomes[0].toObject()[QStringLiteral("pointBefore")].toInt(), 1);
  EXPECT_EQ(outcomes[0].toObject()[QStringLiteral("pointAfter")].toInt(), 2);
  EXPECT_EQ(outcomes[0].toObject()[QStringLiteral("pointIndex")].toInt(), 1);  // the nearer
  EXPECT_EQ(outcomes[1].toObject()[QStringLiteral("pointBefore")].toInt(), 16);

  const Position expected[] = {Between(fixes_, 1, 0.3), Between(fixes_, 16, 0.7)};
  const char* stamps[] = {"2009:05:17 10:00:13", "2009:05:17 10:02:47"};
  const QByteArray document = test::ReadFile(Written(QStringLiteral("out"), "walk.KML"));
  static const QRegularExpression placemark(
      QStringLiteral("<Point>\\s*<coordinates>([-0-9.]+),([-0-9.]+),([-0-9.]+)</coordinates>"));
  auto placemarks = placemark.globalMatch(QString::fromUtf8(document));
  for (int i = 0; i < 2; ++i) {
    QByteArray dateTime;
    const Position tagged =
        ReadPosition(Written(QStringLiteral("out"), i == 0 ? "a.jpg" : "b.jpg"), &dateTime);
    // The fixes are 8.6 m apart: the nearer fix alone would be 2.6 m off.
    EXPECT_LT(MetresBetween(tagged, expected[i]), 0.1) << i;
    EXPECT_NEAR(tagged.altitude, expected[i].altitude, 0.1) << i;
    EXPECT_EQ(dateTime, stamps[i]);

    ASSERT_TRUE(placemarks.hasNext());
    const QRegularExpressionMatch m = placemarks.next();
    const Position shown{m.captured(2).toDouble(), m.captured(1).toDouble(),
                         m.captured(3).toDouble()};
    EXPECT_LT(MetresBetween(shown, expected[i]), 0.2) << i;
    EXPECT_NEAR(shown.altitude, expected[i].altitude, 0.05) << i;
  }

  // A sidecar holds the same position, to the same precision, as exiftool reads it.
  const auto sidecars =
      Geotag(log_, QStringLiteral("sidecars"),
             {QStringLiteral("--interpolate"), QStringLiteral("--sidecar")}, photos);
  ASSERT_EQ(sidecars.exitCode, 0) << sidecars.err.toStdString();
  for (int i = 0; i < 2; ++i) {
    const QJsonObject tags =
        QJsonDocument::fromJson(
            test::Run(QStringLiteral("exiftool"), {QStringLiteral("-j"), QStringLiteral("-n"),
                                                   photos[i] + QStringLiteral(".xmp")}))
            .array()
            .at(0)
            .toObject();
    const Position jpeg = ReadPosition(Written(QStringLiteral("out"), i == 0 ? "a.jpg" : "b.jpg"));
    EXPECT_NEAR(tags[QStringLiteral("GPSLatitude")].toDouble(), jpeg.latitude, 1e-6) << i;
    EXPECT_NEAR(tags[QStringLiteral("GPSLongitude")].toDouble(), jpeg.longitude, 1e-6) << i;
    EXPECT_NEAR(tags[QStringLiteral("GPSLatitude")].toDouble(), expected[i].latitude, 1e-6) << i;
    EXPECT_NEAR(tags[QStringLiteral("GPSAltitude")].toDouble(), jpeg.altitude, 1e-9) << i;
  }
}

TEST_F(GeotagBetweenFixes, TheShortWayAcrossThe180Meridian) {
  // Eastwards over the meridian: fix 3 is at 179.99998 E, fix 4 at 179.99992 W.
  std::vector<test::GeneratedFix> fixes;
  const QString log = Log(QStringLiteral("fiji.log"),
                          {.hour = 10,
                           .epochs = 8,
                           .intervalSeconds = 10,
                           .latitude = -17.0,
                           .longitude = 179.9997,
                           .northMetresPerEpoch = 0,
                           .eastMetresPerEpoch = 10},
                          fixes);
  ASSERT_GT(fixes[3].longitude, 179.9);
  ASSERT_LT(fixes[4].longitude, -179.9);
  const QStringList photos{Photo(QStringLiteral("east.jpg"), "19:00:31"),
                           Photo(QStringLiteral("west.jpg"), "19:00:38")};
  const auto result = Geotag(log, QStringLiteral("out"), {QStringLiteral("--interpolate")}, photos);
  ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
  EXPECT_TRUE(result.out.contains("between points 3 and 4 of")) << result.out.toStdString();
  const Position east = ReadPosition(Written(QStringLiteral("out"), "east.jpg"));
  const Position west = ReadPosition(Written(QStringLiteral("out"), "west.jpg"));
  EXPECT_GT(east.longitude, 179.9999);
  EXPECT_LT(west.longitude, -179.9999);
  EXPECT_LT(MetresBetween(east, Between(fixes, 3, 0.1)), 0.1);
  EXPECT_LT(MetresBetween(west, Between(fixes, 3, 0.8)), 0.1);
}

TEST_F(GeotagBetweenFixes, FixesFurtherApartThanTheGapGiveTheNearestFixAsWithoutTheOption) {
  const QStringList photo{Photo(QStringLiteral("a.jpg"), "19:00:13")};
  const auto narrow = Geotag(
      log_, QStringLiteral("narrow"),
      {QStringLiteral("--interpolate"), QStringLiteral("--max-gap"), QStringLiteral("9")}, photo);
  ASSERT_EQ(narrow.exitCode, 0) << narrow.err.toStdString();
  EXPECT_TRUE(narrow.out.contains(": point 1 of")) << narrow.out.toStdString();
  const auto off = Geotag(log_, QStringLiteral("off"), {}, photo);
  ASSERT_EQ(off.exitCode, 0) << off.err.toStdString();
  EXPECT_TRUE(off.out.contains(": point 1 of")) << off.out.toStdString();
  // The fix as the log holds it.
  const Position tagged = ReadPosition(Written(QStringLiteral("off"), "a.jpg"));
  EXPECT_NEAR(tagged.latitude, fixes_[1].latitude, 1e-6);
  EXPECT_NEAR(tagged.longitude, fixes_[1].longitude, 1e-6);
  EXPECT_EQ(test::ReadFile(Written(QStringLiteral("narrow"), "a.jpg")),
            test::ReadFile(Written(QStringLiteral("off"), "a.jpg")));
  // The default gap of 60 s takes these fixes.
  EXPECT_TRUE(Geotag(log_, QStringLiteral("wide"), {QStringLiteral("--interpolate")}, photo)
                  .out.contains("between points 1 and 2"));
}

TEST_F(GeotagBetweenFixes, APhotoAtAFixIsWrittenAsWithoutTheOption) {
  const QStringList photo{Photo(QStringLiteral("a.jpg"), "19:00:20")};
  const auto on = Geotag(log_, QStringLiteral("on"), {QStringLiteral("--interpolate")}, photo);
  const auto off = Geotag(log_, QStringLiteral("off"), {}, photo);
  ASSERT_EQ(on.exitCode, 0) << on.err.toStdString();
  EXPECT_TRUE(on.out.contains(": point 2 of")) << on.out.toStdString();
  EXPECT_EQ(test::ReadFile(Written(QStringLiteral("on"), "a.jpg")),
            test::ReadFile(Written(QStringLiteral("off"), "a.jpg")));
  EXPECT_NEAR(ReadPosition(Written(QStringLiteral("on"), "a.jpg")).latitude, fixes_[2].latitude,
              1e-6);
}

TEST_F(GeotagBetweenFixes, MaxGapGoesWithInterpolateAndWithinItsRange) {
  const QStringList photo{Photo(QStringLiteral("a.jpg"), "19:00:13")};
  for (const QStringList& options :
       {QStringList{QStringLiteral("--max-gap"), QStringLiteral("30")},
        QStringList{QStringLiteral("--interpolate"), QStringLiteral("--max-gap"),
                    QStringLiteral("0")},
        QStringList{QStringLiteral("--interpolate"), QStringLiteral("--max-gap"),
                    QStringLiteral("3601")}}) {
    const auto result = Geotag(log_, QStringLiteral("out"), options, photo);
    EXPECT_EQ(result.exitCode, 2) << options.join(u' ').toStdString();
    EXPECT_FALSE(QFile::exists(Written(QStringLiteral("out"), "a.jpg")));
  }
}

}  // namespace
}  // namespace trevalo
