#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstring>

#include "map/marker_writer.h"
#include "map/show_tracks.h"
#include "shell/palette.h"
#include "support/log_generator.h"
#include "support/marker_folder.h"
#include "support/sample_point.h"
#include "support/test_files.h"
#include "support/test_photos.h"

namespace trevalo {
namespace {

TEST(MarkerWriter, WritesEveryElementToTheCharacter) {
  QTemporaryDir dir;
  MarkerWriter writer(dir.path(), MarkerFile::kPhotosAndTracks);
  EXPECT_EQ(writer.path(), dir.filePath(QStringLiteral("TRXML.xml")));
  TrackPoint south = test::SamplePoint();
  south.latitude = 3724.5;
  south.latitudeRef = "S";
  south.longitude = 12658.1234;
  south.longitudeRef = "E";
  const RunTexts lap = test::SampleLap();
  const Coordinate here = test::PositionAt(-37.408333, 126.968723, 45.25);
  writer.WriteMarkersStart();
  writer.WritePhotoMarker(37.5, 127.0, QStringLiteral("/photos/Tom & Jerry's <1>.jpg"));
  writer.BeginLine(RgbForIndex(0), std::abs(0 - 5));
  writer.WriteLinePoint(south);
  writer.WriteLineInfo(QStringLiteral("05/17/2009 09:00:00 PM"),
                       QStringLiteral("05/17/2009 09:20:00 PM"), lap.distance, lap.elapsed,
                       lap.speed);
  writer.EndLine();
  writer.WriteWaypointMarker(1, here, QStringLiteral("t0"));
  writer.WriteStartLap(1, here, QStringLiteral("t1"));
  writer.WriteMiddleLap(2, here, QStringLiteral("t2"), lap);
  writer.WriteFinalLap(3, here, QStringLiteral("t3"), lap, lap);
  writer.WriteMarkersEnd();
  ASSERT_EQ(writer.Close(), QString());
  const std::string stats =
      " AD='1.500 Km' ET='0 Day, 00:10:00' AS='9.000 Km/h' Max_Altitude='120.000 m' "
      "Min_Altitude='100.000 m' Avg_Altitude='110.000 m' Total_Ascent='20.000 m' "
      "Total_Descent='5.000 m'";
  const std::string totals =
      " TOT_AD='1.500 Km' TOT_ET='0 Day, 00:10:00' TOT_AS='9.000 Km/h' "
      "TOT_Max_Altitude='120.000 m' TOT_Min_Altitude='100.000 m' TOT_Avg_Altitude='110.000 m' "
      "TOT_Total_Ascent='20.000 m' TOT_Total_Descent='5.000 m'";
  EXPECT_EQ(test::ReadFile(writer.path()).toStdString(),
            "<markers>\n"
            "\t<marker lat='37.500000' lng='127.000000' html='/photos/Tom &amp; Jerry&#39;s "
            "&lt;1&gt;.jpg' label = 'Tom &amp; Jerry&#39;s &lt;1&gt;.jpg'/>\n"
            "\t<line colour='#" +
                QString::number(RgbForIndex(0), 16).rightJustified(6, u'0').toStdString() +
                "' width='5'>\n"
                "\t\t<point lat='-37.408333' lng='126.968723' />\n"
                "\t\t<Info STIME='05/17/2009 09:00:00 PM' ETIME='05/17/2009 09:20:00 PM' AD='1.500 "
                "Km' ET='0 Day, 00:10:00' AS='9.000 Km/h' />\n"
                "\t</line>\n"
                "\t<WayPoint index='1' lat='-37.408333' lng='126.968723' alt='45.250000' "
                "Time='t0'/>\n"
                "\t<Lap Type='S' index='1' lat='-37.408333' lng='126.968723' Time='t1'/>\n"
                "\t<Lap Type='N' index='2' lat='-37.408333' lng='126.968723' alt='45.250' "
                "Time='t2'" +
                stats +
                "/>\n"
                "\t<Lap Type='F' index='3' lat='-37.408333' lng='126.968723' alt='45.250' "
                "Time='t3'" +
                stats + totals +
                "/>\n"
                "</markers>");
  if (test::HaveProgram(QStringLiteral("xmllint"))) {
    int code = -1;
    test::Run(QStringLiteral("xmllint"), {QStringLiteral("--noout"), writer.path()}, &code);
    EXPECT_EQ(code, 0);
  }
}

TEST(MarkerWriter, ColoursAreRedGreenBlueAndWidthsCountFromFive) {
  // The palette holds 0x00BBGGRR; the map wants 0xRRGGBB.
  for (int index = 0; index < kPaletteSize; ++index) {
    const std::uint32_t bgr = ColorForIndex(index);
    EXPECT_EQ(RgbForIndex(index), ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF));
  }
  QTemporaryDir dir;
  const QString log = dir.filePath(QStringLiteral("a.log"));
  test::WriteFile(log, test::GenerateLog({.epochs = 2}));
  const auto widthFor = [&](int widthIndex) {
    LogLibrary one = LogLibrary::InMemory({{log, 0, widthIndex, {}, 0}}, 0);
    ShowLogsOnMap(one, {0}, dir.path(), {});
    const QByteArray markers = test::ReadFile(dir.filePath(QStringLiteral("TRXMLONLYTRACKS.xml")));
    const qsizetype at = markers.indexOf("width='") + 7;
    return markers.mid(at, markers.indexOf('\'', at) - at);
  };
  EXPECT_EQ(widthFor(0), "5");
  EXPECT_EQ(widthFor(5), "0");
  EXPECT_EQ(widthFor(6), "1");
}

using ShowTracksTest = test::MarkerFolderTest;

TEST_F(ShowTracksTest, LapsAreStartMiddleFinalAndWaypointsAreMarkedApart) {
  std::vector<test::GeneratedFix> fixes;
  const QString path =
      Log(QStringLiteral("laps.log"),
          {.epochs = 30, .lapEpochs = {5, 15, 25}, .waypointEpochs = {2, 20}}, &fixes);
  LogLibrary library = LogLibrary::InMemory({{path, 0, 0, {}, 0}}, 0);
  const MapRequest request = ShowLogsOnMap(library, {0}, dir_.path(), {});
  ASSERT_TRUE(request.show);
  EXPECT_TRUE(request.problems.isEmpty());
  EXPECT_TRUE(library.activeLogs().empty());
  // Once the file is written, the points are let go (the page reads the file).
  EXPECT_EQ(library.heldLog(), std::nullopt);
  EXPECT_FALSE(library.log(0).pointsLoaded());
  const QByteArray markers = Markers(MarkerFile::kTracks);
  EXPECT_EQ(markers.count("\t\t<point "), 30);
  EXPECT_EQ(markers.count("<marker "), 0);
  // Elements in the order of the points: waypoint 1 comes before the first lap mark.
  const qsizetype w1 = markers.indexOf("<WayPoint index='1'");
  const qsizetype s = markers.indexOf("<Lap Type='S' index='1'");
  const qsizetype n = markers.indexOf("<Lap Type='N' index='2'");
  const qsizetype w2 = markers.indexOf("<WayPoint index='2'");
  const qsizetype f = markers.indexOf("<Lap Type='F' index='3'");
  EXPECT_TRUE(w1 > 0 && w1 < s && s < n && n < w2 && w2 < f) << markers.toStdString();
  // A lap's distance is the sum of its legs, except that the leg into a waypoint does not
  // count (the waypoint adds nothing to the run, but the next leg starts from it).
  const auto legs = [&](int from, int to, int skipped) {
    double metres = 0;
    for (int k = from; k < to; ++k) {
      if (k + 1 != skipped) {
        metres += Distance(fixes[k].latitude, fixes[k].longitude, fixes[k + 1].latitude,
                           fixes[k + 1].longitude);
      }
    }
    return DistanceText(metres).toUtf8();
  };
  const auto attribute = [&](qsizetype from, const char* name) {
    const qsizetype at = markers.indexOf(name, from) + qsizetype(std::strlen(name));
    return markers.mid(at, markers.indexOf('\'', at) - at);
  };
  EXPECT_EQ(attribute(n, " AD='"), legs(5, 15, -1));
  EXPECT_EQ(attribute(f, " AD='"), legs(15, 25, 20));
  EXPECT_EQ(attribute(f, " TOT_ET='"), "0 Day, 00:00:20");
  // The centre is the last position built: the run goes on to the last point.
  EXPECT_NEAR(request.latitude, fixes[29].latitude, 1e-9);
  EXPECT_NEAR(request.longitude, fixes[29].longitude, 1e-9);
  EXPECT_TRUE(markers.endsWith("</markers>"));
}

TEST_F(ShowTracksTest, CentreIsTheLastWaypointWithoutLapsElseTheLastPoint) {
  std::vector<test::GeneratedFix> fixes;
  LogLibrary library = LogLibrary::InMemory(
      {{Log(QStringLiteral("w.log"), {.epochs = 10, .waypointEpochs = {3, 6}}, &fixes),
        0,
        0,
        {},
        0}},
      0);
  MapRequest request = ShowLogsOnMap(library, {0}, dir_.path(), {});
  EXPECT_NEAR(request.latitude, fixes[6].latitude, 1e-9);
  fixes.clear();
  LogLibrary plain = LogLibrary::InMemory(
      {{Log(QStringLiteral("p.log"), {.epochs = 10}, &fixes), 0, 0, {}, 0}}, 0);
  request = ShowLogsOnMap(plain, {0}, dir_.path(), {});
  EXPECT_NEAR(request.latitude, fixes[9].latitude, 1e-9);
  EXPECT_FALSE(ShowLogsOnMap(plain, {}, dir_.path(), {}).show);
}

TEST_F(ShowTracksTest, SingleLapMarkIsOnlyAStartAndSameSecondLapsCountOneSecond) {
  const QString one = Log(QStringLiteral("one.log"), {.epochs = 5, .lapEpochs = {2}});
  LogLibrary library = LogLibrary::InMemory({{one, 0, 0, {}, 0}}, 0);
  ShowLogsOnMap(library, {0}, dir_.path(), {});
  QByteArray markers = Markers(MarkerFile::kTracks);
  EXPECT_EQ(markers.count("<Lap "), 1);
  EXPECT_TRUE(markers.contains("<Lap Type='S' index='1'"));
  // Two lap marks in the same second (interval 0): 00:00:00 and a speed over one second.
  std::vector<test::GeneratedFix> fixes;
  const QString same = Log(QStringLiteral("same.log"),
                           {.epochs = 3, .intervalSeconds = 0, .lapEpochs = {0, 1}}, &fixes);
  LogLibrary sameLibrary = LogLibrary::InMemory({{same, 0, 0, {}, 0}}, 0);
  ShowLogsOnMap(sameLibrary, {0}, dir_.path(), {});
  markers = Markers(MarkerFile::kTracks);
  EXPECT_TRUE(markers.contains("<Lap Type='F' index='2'"));
  const double leg =
      Distance(fixes[0].latitude, fixes[0].longitude, fixes[1].latitude, fixes[1].longitude);
  EXPECT_TRUE(markers.contains("ET='0 Day, 00:00:00' AS='" + SpeedText(leg, 1).toUtf8() + "'"))
      << markers.toStdString();
}

}  // namespace
}  // namespace trevalo
