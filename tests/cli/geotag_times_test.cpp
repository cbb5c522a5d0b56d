// End to end: trevalo-cli geotag reads the time a photo names as precisely as it names it
// (its own zone, fractions of a second), corrects a drifting camera clock from two
// references, and leaves photos that carry a position alone when asked.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "cli/cli_runner.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "support/test_photos.h"
#include "track/calendar_time.h"

namespace trevalo {
namespace {

using test::RunCli;

// A walk logged every second from 17:00:00 UTC on 2021-02-13, read in the zone +09:00.
class GeotagTimes : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveProgram(QStringLiteral("exiftool")) || test::TestDataFolder().isEmpty()) {
      GTEST_SKIP() << "exiftool or the shared test data is missing";
    }
    log_ = dir_.filePath(QStringLiteral("walk.log"));
    test::WriteFile(log_, test::GenerateLog({.year = 2021,
                                             .month = 2,
                                             .day = 13,
                                             .hour = 17,
                                             .epochs = 600,
                                             .latitude = 30.5,
                                             .longitude = -88.1},
                                            &fixes_));
    ASSERT_TRUE(QDir().mkpath(Out()));
  }
  // A JPEG taken at `dateTime` with the tags given to exiftool ("-SubSecTimeOriginal=250").
  QString Jpeg(const char* name, const char* dateTime, const QStringList& tags = {}) {
    const QString path = dir_.filePath(QLatin1String(name));
    EXPECT_TRUE(test::MakePhotoTakenAt(path, dateTime, tags));
    return path;
  }
  // The iPhone's HEIC (11:03:31.864 at -06:00, carrying its own position), linked here so
  // that its sidecar is written beside the link.
  QString Heic() {
    const QString link = dir_.filePath(QStringLiteral("2021-02-13-1929.heic"));
    QFile::link(test::TestDataFolder() + QStringLiteral("/other/2021-02-13-1929.heic"), link);
    return link;
  }
  test::CliResult Geotag(const QStringList& extra) {
    return RunCli(QStringList{QStringLiteral("geotag"), QStringLiteral("--log"), log_,
                              QStringLiteral("--zone"), QStringLiteral("900"),
                              QStringLiteral("--json"), QStringLiteral("--out"), Out()} +
                      extra,
                  dir_.filePath(QStringLiteral("home")));
  }
  static double Latitude(const QString& file) {
    const QByteArray json =
        test::Run(QStringLiteral("exiftool"), {QStringLiteral("-j"), QStringLiteral("-n"), file});
    return QJsonDocument::fromJson(json)
        .array()
        .at(0)
        .toObject()[QStringLiteral("GPSLatitude")]
        .toDouble();
  }
  // Where the walk is at 17:03:31 UTC and `millis`.
  double LatitudeAt(int millis) const {
    return test::LatitudeAtMillis(fixes_, (*MakeTime(2021, 2, 13, 17, 3, 31)) * 1000 + millis);
  }
  QString Out() const { return dir_.filePath(QStringLiteral("out")); }
  QTemporaryDir dir_;
  QString log_;
  std::vector<test::GeneratedFix> fixes_;
};

TEST_F(GeotagTimes, APhotoIsPlacedAtTheInstantItsOwnZoneAndFractionsName) {
  const QString heic = Heic();
  // A burst of two photos in one second of the log's zone, with no zone of their own.
  const QString early =
      Jpeg("early.jpg", "2021:02:14 02:03:31", {QStringLiteral("-SubSecTimeOriginal=250")});
  const QString late =
      Jpeg("late.jpg", "2021:02:14 02:03:31", {QStringLiteral("-SubSecTimeOriginal=750")});
  const auto result = Geotag({QStringLiteral("--interpolate"), heic, early, late});
  ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
  const QJsonArray outcomes = result.Json().array();
  ASSERT_EQ(outcomes.size(), 3);
  // 17:03:31.864 UTC: just after the fix of 17:03:31.807.
  const QJsonObject phone = outcomes[0].toObject();
  ASSERT_TRUE(phone[QStringLiteral("matched")].toBool()) << result.out.toStdString();
  EXPECT_EQ(phone[QStringLiteral("photoZone")].toString(), QStringLiteral("-06:00"));
  EXPECT_EQ(phone[QStringLiteral("pointBefore")].toInt(), 211);
  EXPECT_NEAR(Latitude(phone[QStringLiteral("written")].toString()), LatitudeAt(864), 1e-6);
  const int fractions[] = {250, 750};
  for (int i = 1; i <= 2; ++i) {
    const QJsonObject o = outcomes[i].toObject();
    ASSERT_TRUE(o[QStringLiteral("matched")].toBool()) << i;
    EXPECT_FALSE(o.contains(QStringLiteral("photoZone")));
    EXPECT_NEAR(Latitude(o[QStringLiteral("written")].toString()), LatitudeAt(fractions[i - 1]),
                1e-6)
        << i;
  }
  // Its zone ignored, the phone's 11:03:31 in the log's zone is nowhere near the walk.
  const auto ignored =
      Geotag({QStringLiteral("--ignore-photo-zone"), QStringLiteral("--dry-run"), heic});
  ASSERT_EQ(ignored.exitCode, 0) << ignored.err.toStdString();
  EXPECT_FALSE(ignored.Json().array()[0].toObject()[QStringLiteral("matched")].toBool());
  // photo info tells the zone and the UTC instant.
  const auto info = RunCli({QStringLiteral("photo"), QStringLiteral("info"), heic},
                           dir_.filePath(QStringLiteral("home")));
  EXPECT_TRUE(info.out.contains("  taken    2021:02:13 11:03:31.864 -06:00\n"))
      << info.out.toStdString();
  EXPECT_TRUE(info.out.contains("  utc      2021-02-13T17:03:31.864Z\n"));
  const auto json =
      RunCli({QStringLiteral("photo"), QStringLiteral("info"), QStringLiteral("--json"), heic},
             dir_.filePath(QStringLiteral("home")));
  const QJsonObject fields =
      json.Json().isArray() ? json.Json().array()[0].toObject() : json.Json().object();
  EXPECT_EQ(fields[QStringLiteral("offset")].toString(), QStringLiteral("-06:00"));
  EXPECT_EQ(fields[QStringLiteral("utcTime")].toString(),
            QStringLiteral("2021-02-13T17:03:31.864Z"));
}

TEST_F(GeotagTimes, ACameraClockIsSynchronisedFromOneOrTwoReferences) {
  const QString photo = Jpeg("p.jpg", "2021:02:14 02:05:54");
  const auto pointOf = [&](const QStringList& sync) {
    const auto result = Geotag(sync + QStringList{QStringLiteral("--dry-run"), photo});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    return result.Json().array()[0].toObject()[QStringLiteral("pointIndex")].toInt(-1);
  };
  EXPECT_EQ(pointOf({}), 354);
  // Once: a fixed minute.
  EXPECT_EQ(pointOf({QStringLiteral("--camera-sync"),
                     QStringLiteral("2021:02:14 02:00:00=2021:02:14 02:01:00")}),
            414);
  // Twice: right at 02:00, a minute slow by 02:59 on the camera; 02:05:54 is 02:06:00.
  EXPECT_EQ(pointOf({QStringLiteral("--camera-sync"),
                     QStringLiteral("2021:02:14 02:00:00=2021:02:14 02:00:00"),
                     QStringLiteral("--camera-sync"),
                     QStringLiteral("2021:02:14 02:59:00=2021:02:14 03:00:00")}),
            360);
  // Refused, each with what is wrong.
  const struct {
    QStringList arguments;
    const char* told;
  } refused[] = {
      {{QStringLiteral("--camera-sync"), QStringLiteral("2021:02:14 02:00:00=2021:02:14 02:00:00"),
        QStringLiteral("--camera-sync"), QStringLiteral("2021:02:14 02:00:00=2021:02:14 02:01:00")},
       "the two camera times are equal"},
      {{QStringLiteral("--camera-sync"), QStringLiteral("2021-02-14 02:00:00=2021:02:14 02:00:00")},
       "give CAMERA=TRUE"},
      {{QStringLiteral("--camera-sync"), QStringLiteral("2021:02:14 02:00:00=2021:02:14 02:00:00"),
        QStringLiteral("--camera-offset"), QStringLiteral("60")},
       "not both"},
  };
  for (const auto& r : refused) {
    const auto result = Geotag(r.arguments + QStringList{QStringLiteral("--dry-run"), photo});
    EXPECT_EQ(result.exitCode, 2) << r.told;
    EXPECT_TRUE(result.err.contains(r.told)) << result.err.toStdString();
    EXPECT_TRUE(result.out.isEmpty());
  }
}

TEST_F(GeotagTimes, PhotosThatCarryAPositionAreKeptWhenAsked) {
  const QString heic = Heic();
  const QString plain = Jpeg("plain.jpg", "2021:02:14 02:03:31");
  const QByteArray heicBefore = test::ReadFile(heic);
  const auto kept = Geotag({QStringLiteral("--keep-positions"), heic, plain});
  ASSERT_EQ(kept.exitCode, 0) << kept.err.toStdString();
  const QJsonArray outcomes = kept.Json().array();
  const QJsonObject phone = outcomes[0].toObject();
  EXPECT_TRUE(phone[QStringLiteral("kept")].toBool()) << kept.out.toStdString();
  EXPECT_FALSE(phone[QStringLiteral("matched")].toBool());
  EXPECT_NEAR(phone[QStringLiteral("latitudeDegrees")].toDouble(), 30.5804, 1e-4);
  EXPECT_FALSE(phone.contains(QStringLiteral("written")));
  EXPECT_FALSE(QFile::exists(heic + QStringLiteral(".xmp")));
  EXPECT_EQ(test::ReadFile(heic), heicBefore);
  EXPECT_TRUE(outcomes[1].toObject()[QStringLiteral("written")].toString().startsWith(Out()));
  // Not asked, the photo's own position gives way to the log's.
  const auto tagged = Geotag({heic});
  ASSERT_EQ(tagged.exitCode, 0) << tagged.err.toStdString();
  EXPECT_EQ(tagged.Json().array()[0].toObject()[QStringLiteral("written")].toString(),
            heic + QStringLiteral(".xmp"));
}

}  // namespace
}  // namespace trevalo
