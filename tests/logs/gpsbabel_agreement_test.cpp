// Our reader against gpsbabel's NMEA reader: every valid fix with a time must agree.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "logs/gps_log.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "track/geodesy.h"

namespace trevalo {
namespace {

struct PeerFix {
  double latitude;
  double longitude;
  std::int64_t utcSeconds;
};

// gpsbabel's track points of an NMEA file, read from its GPX output.
std::vector<PeerFix> ReadWithGpsbabel(const QString& nmeaPath, const QString& gpxPath) {
  QProcess gpsbabel;
  gpsbabel.start(
      QStringLiteral("gpsbabel"),
      {QStringLiteral("-t"), QStringLiteral("-i"), QStringLiteral("nmea"), QStringLiteral("-f"),
       nmeaPath, QStringLiteral("-o"), QStringLiteral("gpx"), QStringLiteral("-F"), gpxPath});
  EXPECT_TRUE(gpsbabel.waitForFinished(120000));
  EXPECT_EQ(gpsbabel.exitCode(), 0) << gpsbabel.readAllStandardError().toStdString();
  std::vector<PeerFix> fixes;
  const QByteArray gpx = test::ReadFile(gpxPath);
  QXmlStreamReader xml(gpx);
  PeerFix fix{};
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == u"trkpt") {
      fix.latitude = xml.attributes().value(QStringLiteral("lat")).toDouble();
      fix.longitude = xml.attributes().value(QStringLiteral("lon")).toDouble();
      fix.utcSeconds = -1;
    } else if (xml.isStartElement() && xml.name() == u"time") {
      const QDateTime time = QDateTime::fromString(xml.readElementText(), Qt::ISODateWithMs);
      fix.utcSeconds = time.toSecsSinceEpoch();
    } else if (xml.isEndElement() && xml.name() == u"trkpt") {
      fixes.push_back(fix);
    }
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  return fixes;
}

void ExpectAgreement(const QString& nmeaPath, const QString& workFolder, std::size_t minimumFixes) {
  SCOPED_TRACE(nmeaPath.toStdString());
  GPSLog log(nmeaPath, 0, 0, {}, 0, 0);
  ASSERT_TRUE(log.LoadPoints());
  std::vector<PeerFix> ours;
  for (const TrackPoint& p : log.points()) {
    if (p.isValid && !p.rmcTimeText.empty()) {
      Coordinate position(p);
      position.Convert(0, 0);
      ours.push_back({position.latitudeDegrees, position.longitudeDegrees, p.utcTime});
    }
  }
  const std::vector<PeerFix> theirs = ReadWithGpsbabel(
      nmeaPath, workFolder + u'/' + QFileInfo(nmeaPath).fileName() + QStringLiteral(".gpx"));
  ASSERT_GE(ours.size(), minimumFixes);
  ASSERT_EQ(ours.size(), theirs.size());
  for (std::size_t i = 0; i < ours.size(); ++i) {
    EXPECT_NEAR(ours[i].latitude, theirs[i].latitude, 1e-6) << "fix " << i;
    EXPECT_NEAR(ours[i].longitude, theirs[i].longitude, 1e-6) << "fix " << i;
    EXPECT_EQ(ours[i].utcSeconds, theirs[i].utcSeconds) << "fix " << i;
  }
}

class GpsbabelAgreement : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QStandardPaths::findExecutable(QStringLiteral("gpsbabel")).isEmpty()) {
      GTEST_SKIP() << "gpsbabel is not installed";
    }
  }
  QTemporaryDir work_;
};

TEST_F(GpsbabelAgreement, RealReceiverLogs) {
  const QString data = test::TestDataFolder();
  if (data.isEmpty()) {
    GTEST_SKIP() << "the shared test data folder is absent";
  }
  ExpectAgreement(data + QStringLiteral("/nmea/gpsbabel_track.nmea"), work_.path(), 154);
  ExpectAgreement(data + QStringLiteral("/nmea/gpsd_telit-he910.nmea"), work_.path(), 187);
}

TEST_F(GpsbabelAgreement, LogsInTheLoggersLayout) {
  // Both hemispheres, a day change and a year change, laps and waypoints in between.
  const test::LogPlan plans[] = {
      {.year = 2009,
       .month = 5,
       .day = 17,
       .hour = 23,
       .minute = 58,
       .epochs = 400,
       .lapEpochs = {50, 200},
       .waypointEpochs = {120}},
      {.year = 2019,
       .month = 12,
       .day = 31,
       .hour = 23,
       .minute = 59,
       .second = 30,
       .epochs = 300,
       .intervalSeconds = 5,
       .latitude = -33.856784,
       .longitude = -151.215297 + 100},
      {.year = 2024,
       .month = 2,
       .day = 28,
       .hour = 23,
       .epochs = 300,
       .intervalSeconds = 30,
       .latitude = 51.477928,
       .longitude = -0.001545,
       .eastMetresPerEpoch = 40},
  };
  int n = 0;
  for (const test::LogPlan& plan : plans) {
    const QString path = work_.filePath(QStringLiteral("generated%1.log").arg(n++));
    test::WriteFile(path, test::GenerateLog(plan));
    ExpectAgreement(path, work_.path(), static_cast<std::size_t>(plan.epochs));
  }
}

}  // namespace
}  // namespace trevalo
