#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "export/kml_document.h"
#include "export/kml_writer.h"
#include "support/log_generator.h"
#include "support/sample_point.h"
#include "support/test_files.h"
#include "track/calendar_time.h"

namespace trevalo {
namespace {

// Every template of the writer once, against a document put together by hand from the
// templates.
TEST(KmlWriter, WritesEveryTemplateToTheCharacter) {
  if (const QString missing = test::SourceFolderMissing(); !missing.isEmpty()) {
    GTEST_SKIP() << missing.toStdString();  // the expected document is there
  }
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("writer.kml"));
  KmlWriter writer(path, true);
  const Coordinate here = test::PositionAt(-37.25, 126.5, 45.3);
  const QString time = QStringLiteral("05/17/2009 09:00:00 PM");
  const RunTexts lap = test::SampleLap();
  const RunTexts total = test::SampleRun();
  writer.WriteHeader(QStringLiteral("Trip & <Co>"));
  writer.WriteLineStyle(2, 0x0000FF, 6);
  writer.BeginLapFolder();
  writer.BeginLapSubFolder(QStringLiteral("a & b.log"));
  writer.WriteLapStart(here, time);
  writer.WriteLap(2, here, time, lap);
  writer.WriteLapEnd(here, time, lap, total);
  writer.EndSubFolder();
  writer.EndFolder();
  writer.BeginWaypointFolder();
  writer.BeginWaypointSubFolder(QStringLiteral("a & b.log"));
  writer.WriteWaypoint(1, here, 36.5, time);
  writer.EndSubFolder();
  writer.EndFolder();
  writer.BeginPhotoFolder(QStringLiteral("Photos"));
  writer.WritePhotoPlacemark(QStringLiteral("/x/IMG_0001.JPG"), 900, here);
  writer.WritePhotoPlacemarkWithPrefix(QStringLiteral("http://host/photos/"),
                                       QStringLiteral("/x/_DSC_01.JPG"), 5, here);
  writer.WritePhotoPlacemark(QStringLiteral("/x/small.JPEG"), 5, here);
  writer.EndFolder();
  writer.BeginRouteFolder(QStringLiteral("Tracks"));
  writer.BeginTrackLine(QStringLiteral("Walk(rain <1>)"), 2);
  writer.AddTrackPoint(here);
  writer.AddTrackPoint(test::PositionAt(-37.249, 126.501, -2.5));
  writer.EndTrackLine();
  writer.WriteRouteSummary(QStringLiteral("Info:a & b.log"), time,
                           QStringLiteral("05/17/2009 09:20:00 PM"), total.elapsed, total.distance,
                           total.speed, test::PositionAt(-37.249, 126.501, -2.5));
  writer.WriteFooter();
  ASSERT_EQ(writer.Close(), QString());
  EXPECT_EQ(test::ReadFile(path).toStdString(),
            test::ReadFile(test::SourceFolder() + QStringLiteral("/tests/export/golden/writer.kml"))
                .toStdString());
}

TEST(KmlWriter, PhotoWidthRules) {
  EXPECT_EQ(PhotoPlacemarkName(QStringLiteral("/a/b/DSC_01.JPG")), QStringLiteral("DSC_01.jpg"));
  EXPECT_EQ(PhotoPlacemarkName(QStringLiteral("ABC")), QStringLiteral("abc"));
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("w.kml"));
  KmlWriter writer(path, true);
  const Coordinate here = test::PositionAt(2, 1, 3);
  writer.WritePhotoPlacemark(QStringLiteral("a.jpg"), 900, here);
  writer.WritePhotoPlacemark(QStringLiteral("a.jpg"), 5, here);
  writer.WritePhotoPlacemarkWithPrefix(QStringLiteral("p/"), QStringLiteral("a.jpg"), 900, here);
  writer.WritePhotoPlacemarkWithPrefix(QStringLiteral("p/"), QStringLiteral("a.jpg"), 5, here);
  ASSERT_EQ(writer.Close(), QString());
  const QByteArray text = test::ReadFile(path);
  EXPECT_TRUE(text.contains("src='a.jpg' width='800'"));
  EXPECT_TRUE(text.contains("src='a.jpg' width='5'"));
  EXPECT_TRUE(text.contains("src='p/a.jpg' width='900'"));
  EXPECT_TRUE(text.contains("src='p/a.jpg' width='800'"));
}

TEST(KmlWriter, WithoutAFileWritesNothingAndReportsNothing) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("none.kml"));
  KmlWriter writer(path, false);
  writer.WriteHeader(QStringLiteral("x"));
  writer.WriteFooter();
  EXPECT_EQ(writer.Close(), QString());
  EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(KmlWriter, AFileThatCannotBeWrittenIsReportedAndTheOldOneKept) {
  QTemporaryDir dir;
  const QString missingFolder = dir.filePath(QStringLiteral("no/such/folder/a.kml"));
  KmlWriter lost(missingFolder, true);
  lost.WriteHeader(QStringLiteral("x"));
  EXPECT_FALSE(lost.Close().isEmpty());

  // A document that fails halfway never replaces the one there.
  const QString path = dir.filePath(QStringLiteral("old.kml"));
  test::WriteFile(path, "old document");
  {
    KmlWriter abandoned(path, true);
    abandoned.WriteHeader(QStringLiteral("new"));
  }
  EXPECT_EQ(test::ReadFile(path), QByteArray("old document"));
}

// A document of generated logs, read back as XML.
class KmlDocumentTest : public ::testing::Test {
 protected:
  QString Log(const QString& name, const test::LogPlan& plan,
              std::vector<test::GeneratedFix>* fixes = nullptr) {
    return test::WriteGeneratedLog(dir_.path(), name, plan, fixes);
  }
  // Writes the selection (every log) and returns the document.
  QByteArray Write(LogLibrary& library, const QString& name = QStringLiteral("doc")) {
    for (std::size_t i = 0; i < library.size(); ++i) {
      library.AddActiveLog(i);
    }
    const QString path = dir_.filePath(QStringLiteral("out.kml"));
    QStringList problems;
    EXPECT_EQ(WriteLogsKml(path, name, QStringLiteral("Tracks"), {library, {}, problems}),
              QString());
    EXPECT_TRUE(problems.isEmpty());
    EXPECT_TRUE(library.activeLogs().empty());
    const QByteArray document = test::ReadFile(path);
    QXmlStreamReader xml(document);
    while (!xml.atEnd()) {
      xml.readNext();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return document;
  }
  // The texts of every element with this name, in document order.
  static QStringList Texts(const QByteArray& document, const QString& element) {
    QStringList texts;
    QXmlStreamReader xml(document);
    while (!xml.atEnd()) {
      if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == element) {
        texts << xml.readElementText(QXmlStreamReader::IncludeChildElements);
      }
    }
    return texts;
  }
  QTemporaryDir dir_;
};

TEST_F(KmlDocumentTest, LapsAreStartLapKAndEndWithTheirStatistics) {
  std::vector<test::GeneratedFix> fixes;
  const QString path = Log(
      QStringLiteral("laps.log"),
      {.epochs = 30, .intervalSeconds = 10, .lapEpochs = {5, 15, 25}, .waypointEpochs = {2, 20}},
      &fixes);
  LogLibrary library = LogLibrary::InMemory({{path, 3, 1, QStringLiteral("rain"), 900}}, 0);
  const QByteArray document = Write(library);
  EXPECT_EQ(
      Texts(document, QStringLiteral("name")),
      (QStringList{QStringLiteral("doc"), QStringLiteral("LapPoints"), QStringLiteral("laps.log"),
                   QStringLiteral("Start"), QStringLiteral("Lap-2"), QStringLiteral("End"),
                   QStringLiteral("WayPoints"), QStringLiteral("laps.log"), QStringLiteral("W-1"),
                   QStringLiteral("W-2"), QStringLiteral("Tracks"),
                   QStringLiteral("laps.log(rain)"), QStringLiteral("Info:laps.log")}));
  // The lap from the start to the second mark: ten epochs of 5 m, 100 s.
  const QString description = Texts(document, QStringLiteral("description"))[1];
  EXPECT_TRUE(description.contains(QStringLiteral("0 Day, 00:01:40"))) << description.toStdString();
  double legs = 0;
  for (int k = 5; k < 15; ++k) {
    legs += Distance(fixes[k].latitude, fixes[k].longitude, fixes[k + 1].latitude,
                     fixes[k + 1].longitude);
  }
  EXPECT_NEAR(legs, 50.0, 0.5);
  EXPECT_TRUE(description.contains(DistanceText(legs) + QStringLiteral("</font>")))
      << DistanceText(legs).toStdString() << " in " << description.toStdString();
  // The end mark also holds the whole run's rows.
  const QString end = Texts(document, QStringLiteral("description"))[2];
  EXPECT_TRUE(end.contains(QStringLiteral("All Laps Information")));
  EXPECT_TRUE(end.contains(QStringLiteral("0 Day, 00:03:20")));  // 20 epochs from the start
  // One coordinates line per usable point, longitude first.
  const QString line = Texts(document, QStringLiteral("coordinates"))[5];
  EXPECT_EQ(line.count(u'\n'), 31);
  EXPECT_TRUE(line.contains(QString::number(fixes[0].longitude, 'f', 6) + u',' +
                            QString::number(fixes[0].latitude, 'f', 6)));
  EXPECT_TRUE(document.contains("<styleUrl>#lineStyle-3</styleUrl>"));
}

TEST_F(KmlDocumentTest, EmptySelectionStillMakesAWholeDocument) {
  LogLibrary library = LogLibrary::InMemory({}, 0);
  const QByteArray document = Write(library);
  EXPECT_EQ(Texts(document, QStringLiteral("name")),
            (QStringList{QStringLiteral("doc"), QStringLiteral("LapPoints"),
                         QStringLiteral("WayPoints"), QStringLiteral("Tracks")}));
  EXPECT_TRUE(document.endsWith("\t\t</Folder>\n\t</Document>\n</kml>"));
}

TEST_F(KmlDocumentTest, SameColourTwiceGivesTwoStylesWithOneId) {
  const QString a = Log(QStringLiteral("a.log"), {.hour = 9, .epochs = 3});
  const QString b = Log(QStringLiteral("b.log"), {.hour = 10, .epochs = 3});
  LogLibrary library = LogLibrary::InMemory({{a, 4, 0, {}, 0}, {b, 4, 5, {}, 0}}, 0);
  const QByteArray document = Write(library);
  EXPECT_EQ(document.count("<Style id=\"lineStyle-4\">"), 2);
  EXPECT_TRUE(document.contains("<width>8</width>"));
  EXPECT_TRUE(document.contains("<width>3</width>"));
}

TEST_F(KmlDocumentTest, NamesWithMarkupStayWellFormed) {
  const QString path = Log(QStringLiteral("a&b<c>'d\".log"), {.epochs = 3, .waypointEpochs = {1}});
  LogLibrary library =
      LogLibrary::InMemory({{path, 0, 0, QStringLiteral("<b>&amp; ]]> 지은"), 0}}, 0);
  const QByteArray document = Write(library, QStringLiteral("trip & <friends> \u0001"));
  EXPECT_TRUE(Texts(document, QStringLiteral("name"))
                  .contains(QStringLiteral("a&b<c>'d\".log(<b>&amp; ]]> 지은)")));
  EXPECT_EQ(Texts(document, QStringLiteral("name")).front(),
            QStringLiteral("trip & <friends> \uFFFD"));
}

TEST_F(KmlDocumentTest, LogWithoutUsablePointsHasEmptyFoldersAndNoSummary) {
  // Points whose latitude is zero are not usable.
  std::string log =
      test::GenerateLog({.epochs = 4, .latitude = 0.0, .northMetresPerEpoch = 0, .lapEpochs = {1}});
  const QString path = dir_.filePath(QStringLiteral("equator.log"));
  test::WriteFile(path, log);
  LogLibrary library = LogLibrary::InMemory({{path, 0, 0, {}, 0}}, 0);
  ASSERT_EQ(library.size(), 1u);
  const QByteArray document = Write(library);
  EXPECT_EQ(Texts(document, QStringLiteral("name")),
            (QStringList{QStringLiteral("doc"), QStringLiteral("LapPoints"),
                         QStringLiteral("equator.log"), QStringLiteral("WayPoints"),
                         QStringLiteral("equator.log"), QStringLiteral("Tracks"),
                         QStringLiteral("equator.log")}));
  EXPECT_EQ(Texts(document, QStringLiteral("coordinates")).back().trimmed(), QString());
}

TEST_F(KmlDocumentTest, ZeroElapsedTimeCountsAsOneSecondForTheSpeed) {
  const QString path = Log(QStringLiteral("one.log"), {.epochs = 1});
  LogLibrary library = LogLibrary::InMemory({{path, 0, 0, {}, 0}}, 0);
  const QString summary = Texts(Write(library), QStringLiteral("description")).back();
  EXPECT_TRUE(summary.contains(QStringLiteral("0 Day, 00:00:00")));
  EXPECT_TRUE(summary.contains(QStringLiteral("0.000 Km/h")));
  EXPECT_TRUE(summary.contains(UsTimeText(*MakeTime(2009, 5, 17, 12, 0, 0))));
}

}  // namespace
}  // namespace trevalo
