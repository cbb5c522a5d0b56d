#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "export/gpx_writer.h"
#include "support/log_generator.h"
#include "support/sample_point.h"
#include "support/test_files.h"
#include "track/calendar_time.h"

namespace trevalo {
namespace {

constexpr char kHeader[] =
    "<?xml version=\"1.0\"?>\n"
    "<gpx creator=\"Trevalo https://trevalo.org\" version=\"1.0\" "
    "xmlns=\"http://www.topografix.com/GPX/1/0\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/0 "
    "http://www.topografix.com/GPX/1/0/gpx.xsd\">\n";

TrackPoint Point() {
  TrackPoint point = test::SamplePoint();
  point.latitude = 3723.4567;
  point.latitudeRef = "N";
  point.longitude = 12658.9012;
  point.longitudeRef = "E";
  point.altitude = 45.3;
  point.altitudeBelowSea = 1;
  point.speed = 36;
  point.course = 84.4;
  point.satellitesInView = 8;
  point.hdop = 1.3;
  return point;
}

// The GPX document of the library's selection, written at `path`.
QByteArray GpxOfSelection(LogLibrary& library, const QString& path) {
  GpxWriter writer(path, true);
  writer.WriteHeader();
  QStringList problems;
  WriteGpxTracks(writer, library, problems);
  writer.WriteFooter();
  EXPECT_EQ(writer.Close(), QString());
  EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
  return test::ReadFile(path);
}

TEST(GpxWriter, WritesTheDocumentToTheCharacter) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("a.gpx"));
  GpxWriter writer(path, true);
  writer.WriteHeader();
  writer.BeginTrack(QStringLiteral("0517.log(<rain> & sun)"));
  writer.WriteTrackPoint(Point());
  writer.EndTrack();
  writer.BeginTrack(QStringLiteral("empty.log"));
  writer.EndTrack();
  writer.WriteFooter();
  ASSERT_EQ(writer.Close(), QString());
  EXPECT_EQ(test::ReadFile(path).toStdString(),
            std::string(kHeader) +
                "  <trk>\n"
                "    <name>0517.log(&lt;rain&gt; &amp; sun)</name>\n"
                "\t    <trkseg>\n"
                "      <trkpt lat=\"37.390945\" lon=\"126.981687\">\n"
                "        <ele>-45.30</ele>\n"
                "        <time>2009-05-17T12:35:19Z</time>\n"
                "        <course>84.40</course>\n"
                "        <speed>10.00</speed>\n"
                "        <sat>8</sat>\n"
                "        <hdop>1.30</hdop>\n"
                "      </trkpt>\n"
                "    </trkseg>\n"
                "  </trk>\n"
                "  <trk>\n"
                "    <name>empty.log</name>\n"
                "\t    <trkseg>\n"
                "    </trkseg>\n"
                "  </trk>\n"
                "</gpx>\n");
}

TEST(GpxWriter, OffsetsMoveEveryPointAndMetadataIsOptional) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("a.gpx"));
  GpxWriter writer(path, true);
  writer.SetOffsets(-360, 360);  // 3.6 arc seconds south and east
  // GPX 1.0 has no metadata element: its root's own name, time and bounds are written.
  writer.SetMetadata(GpxMetadata{QStringLiteral("Trip & <Co>"), *MakeTime(2009, 5, 17, 12, 0, 9),
                                 GpxBounds{-37.5, -126.99, -37.25, 126.5}});
  writer.WriteHeader();
  TrackPoint west = Point();
  west.longitudeRef = "W";
  west.latitudeRef = "S";
  writer.WriteTrackPoint(west);
  ASSERT_EQ(writer.Close(), QString());
  const QByteArray text = test::ReadFile(path);
  EXPECT_TRUE(text.startsWith(QByteArray(kHeader) +
                              " <name>Trip &amp; &lt;Co&gt;</name>\n"
                              " <time>2009-05-17T12:00:09Z</time>\n"
                              " <bounds minlat=\"-37.500000\" minlon=\"-126.990000\""
                              " maxlat=\"-37.250000\" maxlon=\"126.500000\"/>\n"
                              "      <trkpt "))
      << text.toStdString();
  EXPECT_TRUE(text.contains("lat=\"-37.391945\" lon=\"-126.980687\"")) << text.toStdString();

  // Without points there are no bounds to give.
  GpxWriter empty(dir.filePath(QStringLiteral("empty.gpx")), true);
  empty.SetMetadata(GpxMetadata{QStringLiteral("e"), 0, std::nullopt});
  empty.WriteHeader();
  ASSERT_EQ(empty.Close(), QString());
  EXPECT_FALSE(test::ReadFile(dir.filePath(QStringLiteral("empty.gpx"))).contains("<bounds"));
}

TEST(GpxWriter, BoundsHoldEveryUsablePointOfTheSelectionCorrected) {
  QTemporaryDir dir;
  std::vector<test::GeneratedFix> north;
  std::vector<test::GeneratedFix> south;
  const QString a = test::WriteGeneratedLog(dir.path(), QStringLiteral("a.log"),
                                            {.hour = 9, .epochs = 20}, &north);
  const QString b = test::WriteGeneratedLog(
      dir.path(), QStringLiteral("b.log"),
      {.hour = 12, .epochs = 10, .latitude = -33.85, .longitude = -70.65}, &south);
  const QString equator =
      test::WriteGeneratedLog(dir.path(), QStringLiteral("c.log"),
                              {.hour = 15, .epochs = 3, .latitude = 0.0, .northMetresPerEpoch = 0});
  LogLibrary library =
      LogLibrary::InMemory({{a, 0, 0, {}, 0}, {b, 0, 0, {}, 0}, {equator, 0, 0, {}, 0}}, 0);
  library.AddActiveLog(2);
  EXPECT_FALSE(SelectionBounds(library, {}).has_value());  // no usable point
  library.AddActiveLog(0);
  library.AddActiveLog(1);
  const std::optional<GpxBounds> bounds = SelectionBounds(library, {0, 3600});  // 0.01° east
  ASSERT_TRUE(bounds.has_value());
  EXPECT_EQ(library.activeLogs().size(), 3u);
  // The generated tracks run north-east: each starts at its south-west corner.
  EXPECT_NEAR(bounds->minLatitude, south.front().latitude, 1e-6);
  EXPECT_NEAR(bounds->minLongitude, south.front().longitude + 0.01, 1e-6);
  EXPECT_NEAR(bounds->maxLatitude, north.back().latitude, 1e-6);
  EXPECT_NEAR(bounds->maxLongitude, north.back().longitude + 0.01, 1e-6);
}

TEST(GpxWriter, TracksOfTheSelectionSkipPointsWithoutAPosition) {
  QTemporaryDir dir;
  const QString a = dir.filePath(QStringLiteral("a.log"));
  const QString equator = dir.filePath(QStringLiteral("equator.log"));
  test::WriteFile(a, test::GenerateLog({.hour = 9, .epochs = 7}));
  test::WriteFile(
      equator,
      test::GenerateLog({.hour = 10, .epochs = 3, .latitude = 0.0, .northMetresPerEpoch = 0}));
  LogLibrary library = LogLibrary::InMemory(
      {{a, 0, 0, QStringLiteral("rain"), 0}, {equator, 0, 0, QString(), 0}}, 0);
  library.AddActiveLog(1);
  library.AddActiveLog(0);
  const QByteArray text = GpxOfSelection(library, dir.filePath(QStringLiteral("out.gpx")));
  EXPECT_TRUE(library.activeLogs().empty());
  EXPECT_EQ(text.count("<trkpt "), 7);
  // In selection order: the equator log (no usable point) first.
  EXPECT_LT(text.indexOf("<name>equator.log</name>\n\t    <trkseg>\n    </trkseg>"),
            text.indexOf("<name>a.log(rain)</name>"));
}

TEST(GpxWriter, APointAtNoAltitudeHasNoElevation) {
  // A GPX waypoint with a time but no <ele> is a point of the log at no altitude: it keeps
  // none in the GPX written from it, rather than 0 m.
  QTemporaryDir dir;
  const QString walk = dir.filePath(QStringLiteral("walk.gpx"));
  test::WriteFile(
      walk,
      "<?xml version=\"1.0\"?><gpx version=\"1.1\" "
      "xmlns=\"http://www.topografix.com/GPX/1/1\">"
      "<wpt lat=\"37.0001\" lon=\"127\"><time>2009-05-17T12:00:01Z</time></wpt>"
      "<trk><trkseg>"
      "<trkpt lat=\"37\" lon=\"127\"><ele>512</ele><time>2009-05-17T12:00:00Z</time></trkpt>"
      "<trkpt lat=\"37.0002\" lon=\"127\"><ele>514</ele><time>2009-05-17T12:00:02Z</time></trkpt>"
      "</trkseg></trk></gpx>");
  LogLibrary library = LogLibrary::InMemory({{walk, 0, 0, QString(), 0}}, 0);
  library.AddActiveLog(0);
  const QByteArray text = GpxOfSelection(library, dir.filePath(QStringLiteral("out.gpx")));
  EXPECT_EQ(text.count("<trkpt "), 3);
  EXPECT_EQ(text.count("<ele>"), 2) << text.toStdString();
  EXPECT_TRUE(text.contains("<ele>512.00</ele>"));
}

}  // namespace
}  // namespace trevalo
