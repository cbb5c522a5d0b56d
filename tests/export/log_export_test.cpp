#include <gtest/gtest.h>

#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "export/log_export.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "support/test_photos.h"

namespace trevalo {
namespace {

class LogExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    options_.trackFolderName = QStringLiteral("Tracks");
    options_.tableHeader = QStringLiteral("No,Latitude,Longitude,Altitude,Date Time");
    options_.longLatFormat = QStringLiteral("%s %d %02d %05.2f");
    QDir().mkpath(Out());
  }
  QString Log(const QString& name, const test::LogPlan& plan,
              std::vector<test::GeneratedFix>* fixes = nullptr) {
    return test::WriteGeneratedLog(dir_.filePath(QStringLiteral("logs")), name, plan, fixes);
  }
  QString Out(const QString& name = {}) const {
    return dir_.filePath(QStringLiteral("out/") + name);
  }
  static std::vector<std::size_t> All(const LogLibrary& library) {
    std::vector<std::size_t> rows(library.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      rows[i] = i;
    }
    return rows;
  }
  QTemporaryDir dir_;
  ExportOptions options_;
};

TEST_F(LogExportTest, BatchWritesOneFilePerLogNamedAfterIt) {
  LogLibrary library =
      LogLibrary::InMemory({{Log(QStringLiteral("a.log"), {.hour = 9, .epochs = 3}), 0, 0, {}, 0},
                            {Log(QStringLiteral("b.nmea"), {.hour = 10, .epochs = 4}), 0, 0, {}, 0},
                            {Log(QStringLiteral("track"), {.hour = 11, .epochs = 5}), 0, 0, {}, 0}},
                           0);
  options_.format = ExportFormat::kGpx;
  std::vector<QString> progress;
  const ExportReport report = ExportLogsBatch(
      library, All(library), Out(), options_,
      [&](std::size_t, std::size_t, const QString& path) { progress.push_back(path); });
  // The name loses its extension, however long; a name without one stays whole.
  const QStringList expected{Out(QStringLiteral("a.GPX")), Out(QStringLiteral("b.GPX")),
                             Out(QStringLiteral("track.GPX"))};
  EXPECT_EQ(report.written, expected);
  EXPECT_TRUE(report.problems.isEmpty());
  EXPECT_EQ(progress.size(), 3u);
  const int points[] = {3, 4, 5};
  for (int i = 0; i < 3; ++i) {
    const QByteArray gpx = test::ReadFile(expected[i]);
    EXPECT_EQ(gpx.count("<trk>"), 1);
    EXPECT_EQ(gpx.count("<trkpt "), points[i]);
  }
  EXPECT_TRUE(library.activeLogs().empty());
}

TEST_F(LogExportTest, BatchLogsOfOneNameEachGetAFileOfTheirOwn) {
  // Two folders' walk.log, walk.gpx beside them, WALK.nmea (one name on a drive that ignores
  // case) and a log whose own name is what the second would take.
  const auto logIn = [&](const QString& folder, const QString& name, int hour) {
    return test::WriteGeneratedLog(dir_.filePath(folder), name, {.hour = hour, .epochs = hour});
  };
  LogLibrary library = LogLibrary::InMemory(
      {{logIn(QStringLiteral("d1"), QStringLiteral("walk.log"), 3), 0, 0, {}, 0},
       {logIn(QStringLiteral("d2"), QStringLiteral("walk.log"), 4), 0, 0, {}, 0},
       {logIn(QStringLiteral("d1"), QStringLiteral("walk.gpx"), 5), 0, 0, {}, 0},
       {logIn(QStringLiteral("d1"), QStringLiteral("WALK.nmea"), 6), 0, 0, {}, 0},
       {logIn(QStringLiteral("d1"), QStringLiteral("walk_2.log"), 7), 0, 0, {}, 0}},
      0);
  options_.format = ExportFormat::kGpx;
  const ExportReport report = ExportLogsBatch(library, All(library), Out(), options_);
  ASSERT_TRUE(report.problems.isEmpty()) << report.problems.join(u'\n').toStdString();
  QStringList expected;
  for (const char* name : {"walk.GPX", "walk_3.GPX", "walk_4.GPX", "WALK_5.GPX", "walk_2.GPX"}) {
    expected << Out(QString::fromLatin1(name));
  }
  ASSERT_EQ(report.written, expected);
  for (std::size_t k = 0; k < library.size(); ++k) {
    // Each file holds its own log: the logs differ in their number of points.
    EXPECT_EQ(test::ReadFile(expected[static_cast<qsizetype>(k)]).count("<trkpt "),
              library.log(k).pointCount())
        << k;
  }
  ASSERT_EQ(report.notes.size(), 3);
  EXPECT_TRUE(report.notes[0].contains(QStringLiteral("d2/walk.log is written as walk_3.GPX")))
      << report.notes[0].toStdString();
}

TEST_F(LogExportTest, ASingleFileNameIsCleanedButTheDocumentKeepsIt) {
  LogLibrary library =
      LogLibrary::InMemory({{Log(QStringLiteral("a.log"), {.epochs = 3}), 0, 0, {}, 0}}, 0);
  const QString path = ExportPath(Out(), QStringLiteral("my:trip <1>"), ExportFormat::kKml);
  EXPECT_EQ(path, Out(QStringLiteral("my_trip _1_.KML")));
  const ExportReport report =
      ExportLogs(library, All(library), path, QStringLiteral("my:trip <1>"), options_);
  EXPECT_EQ(report.written, QStringList{path});
  EXPECT_TRUE(test::ReadFile(path).contains("<name>my:trip &lt;1&gt;</name>"));
}

TEST_F(LogExportTest, TableOfTwoLogsHasTwoBlocks) {
  LogLibrary library =
      LogLibrary::InMemory({{Log(QStringLiteral("a.log"), {.hour = 9, .epochs = 2}), 0, 0, {}, 0},
                            {Log(QStringLiteral("b.log"), {.hour = 10, .epochs = 3}), 0, 0, {}, 0}},
                           0);
  options_.format = ExportFormat::kTable;
  const QString path = Out(QStringLiteral("t.CSV"));
  ASSERT_TRUE(ExportLogs(library, All(library), path, {}, options_).problems.isEmpty());
  const QByteArray table = test::ReadFile(path);
  EXPECT_EQ(table.count("No,Latitude,Longitude,Altitude,Date Time\r\n"), 2);
  EXPECT_TRUE(table.startsWith(library.log(0).filePath().toUtf8() + "\r\n"));
  EXPECT_TRUE(table.contains("\r\n\r\n" + library.log(1).filePath().toUtf8() + "\r\n"));
  EXPECT_TRUE(table.endsWith("\r\n\r\n"));
  EXPECT_EQ(table.count("\r\n"), 2 * 3 + 2 + 3);

  // A log named in characters code page 949 lacks: the table in UTF-8, and said so.
  LogLibrary zurich = LogLibrary::InMemory(
      {{Log(QStringLiteral("Z\u00fcrich.log"), {.hour = 9, .epochs = 2}), 0, 0, {}, 0}}, 0);
  const ExportReport report = ExportLogs(zurich, All(zurich), path, {}, options_);
  ASSERT_TRUE(report.problems.isEmpty());
  EXPECT_TRUE(test::ReadFile(path).startsWith("\xEF\xBB\xBF" + zurich.log(0).filePath().toUtf8()));
  ASSERT_EQ(report.notes.size(), 1);
  EXPECT_TRUE(report.notes[0].startsWith(path + QStringLiteral(" is written in UTF-8")));
}

TEST_F(LogExportTest, AFileThatCannotBeWrittenIsReportedAndTheOthersAreWritten) {
  LogLibrary library =
      LogLibrary::InMemory({{Log(QStringLiteral("a.log"), {.hour = 9, .epochs = 3}), 0, 0, {}, 0},
                            {Log(QStringLiteral("b.log"), {.hour = 10, .epochs = 3}), 0, 0, {}, 0}},
                           0);
  QDir().mkpath(Out(QStringLiteral("a.KML")));  // a folder where a.KML would go
  const ExportReport report = ExportLogsBatch(library, All(library), Out(), options_);
  EXPECT_EQ(report.written, QStringList{Out(QStringLiteral("b.KML"))});
  ASSERT_EQ(report.problems.size(), 1);
  EXPECT_TRUE(report.problems[0].contains(Out(QStringLiteral("a.KML"))))
      << report.problems[0].toStdString();
}

// An output that is a log the export reads, by any name, replaces nothing.
TEST_F(LogExportTest, AnOutputThatIsOneOfTheLogsIsRefusedAndNothingIsWritten) {
  const QString a = Log(QStringLiteral("a.log"), {.hour = 9, .epochs = 3});
  const QString named = Log(QStringLiteral("b.GPX"), {.hour = 10, .epochs = 3});
  const QString c = Log(QStringLiteral("c.log"), {.hour = 11, .epochs = 3});
  LogLibrary library =
      LogLibrary::InMemory({{a, 0, 0, {}, 0}, {named, 0, 0, {}, 0}, {c, 0, 0, {}, 0}}, 0);
  const QByteArray before = test::ReadFile(a);
  options_.format = ExportFormat::kGpx;
  const QString symbolic = Out(QStringLiteral("symbolic.gpx"));
  const QString hard = Out(QStringLiteral("hard.gpx"));
  ASSERT_TRUE(QFile::link(a, symbolic));
  ASSERT_EQ(::link(QFile::encodeName(a).constData(), QFile::encodeName(hard).constData()), 0);
  const QString dotted = dir_.filePath(QStringLiteral("out/../logs/./a.log"));
  for (const QString& out : {a, symbolic, hard, dotted}) {
    const ExportReport report = ExportLogs(library, {0, 2}, out, QStringLiteral("x"), options_);
    EXPECT_TRUE(report.written.isEmpty()) << out.toStdString();
    ASSERT_EQ(report.problems.size(), 1) << out.toStdString();
    EXPECT_TRUE(report.problems[0].contains(out) && report.problems[0].contains(a))
        << report.problems[0].toStdString();
    EXPECT_EQ(test::ReadFile(a), before) << out.toStdString();
  }

  // In batch, the log named like its output: no file at all is written.
  const QByteArray namedBefore = test::ReadFile(named);
  const ExportReport batch =
      ExportLogsBatch(library, All(library), QFileInfo(named).absolutePath(), options_);
  EXPECT_TRUE(batch.written.isEmpty());
  ASSERT_EQ(batch.problems.size(), 1);
  EXPECT_TRUE(batch.problems[0].contains(named)) << batch.problems[0].toStdString();
  EXPECT_EQ(test::ReadFile(named), namedBefore);
  EXPECT_FALSE(QFileInfo::exists(dir_.filePath(QStringLiteral("logs/a.GPX"))));
  EXPECT_FALSE(QFileInfo::exists(dir_.filePath(QStringLiteral("logs/c.GPX"))));

  // A file the caller keeps (an input that is no log) is refused as well.
  const QString notes = Out(QStringLiteral("notes.txt"));
  test::WriteFile(notes, "no sentences");
  options_.keptFiles = QStringList{notes};
  EXPECT_EQ(ExportLogs(library, {0}, notes, QStringLiteral("x"), options_).problems.size(), 1);
  EXPECT_EQ(test::ReadFile(notes), QByteArray("no sentences"));
  options_.keptFiles.clear();
  EXPECT_EQ(ExportLogs(library, {0}, Out(QStringLiteral("fine.gpx")), QStringLiteral("x"), options_)
                .written.size(),
            1);
}

// Our documents read back by other programs: xmllint (well formed; GPX against the GPX 1.0
// schema, offline) and gpsbabel (the same points).
class PeerTest : public LogExportTest {
 protected:
  void SetUp() override {
    LogExportTest::SetUp();
    if (!test::HaveProgram(QStringLiteral("gpsbabel")) ||
        !test::HaveProgram(QStringLiteral("xmllint"))) {
      GTEST_SKIP() << "gpsbabel or xmllint is not installed";
    }
    if (const QString missing = test::SourceFolderMissing(); !missing.isEmpty()) {
      GTEST_SKIP() << missing.toStdString();  // the GPX schema is there
    }
  }
  // gpsbabel's track points of a file: latitude, longitude.
  static std::vector<std::pair<double, double>> Gpsbabel(const QString& format,
                                                         const QString& path) {
    int code = -1;
    const QByteArray csv = test::Run(
        QStringLiteral("gpsbabel"),
        {QStringLiteral("-t"), QStringLiteral("-i"), format, QStringLiteral("-f"), path,
         QStringLiteral("-o"), QStringLiteral("unicsv"), QStringLiteral("-F"), QStringLiteral("-")},
        &code);
    EXPECT_EQ(code, 0);
    std::vector<std::pair<double, double>> points;
    for (const QByteArray& line : csv.split('\n').mid(1)) {
      const QList<QByteArray> fields = line.split(',');
      if (fields.size() > 2) {
        points.emplace_back(fields[1].toDouble(), fields[2].toDouble());
      }
    }
    return points;
  }
  // xmllint finds the document well formed (and a GPX file valid GPX 1.0), and gpsbabel reads
  // exactly the expected points from it.
  static void ExpectPeersRead(const QString& path, ExportFormat format,
                              const std::vector<test::GeneratedFix>& expected) {
    SCOPED_TRACE(path.toStdString());
    EXPECT_EQ(Xmllint({path}), 0);
    if (format == ExportFormat::kGpx) {
      EXPECT_EQ(
          Xmllint({QStringLiteral("--schema"),
                   test::SourceFolder() + QStringLiteral("/tests/export/data/gpx-1.0.xsd"), path}),
          0);
    }
    const auto points = Gpsbabel(
        format == ExportFormat::kGpx ? QStringLiteral("gpx") : QStringLiteral("kml"), path);
    ASSERT_EQ(points.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_NEAR(points[i].first, expected[i].latitude, 1e-6) << i;
      EXPECT_NEAR(points[i].second, expected[i].longitude, 1e-6) << i;
    }
  }
  static int Xmllint(const QStringList& arguments) {
    int code = -1;
    test::Run(QStringLiteral("xmllint"),
              QStringList{QStringLiteral("--noout"), QStringLiteral("--nonet")} + arguments, &code);
    return code;
  }
};

TEST_F(PeerTest, GpsbabelReadsOurGpxAndKmlPointForPoint) {
  std::vector<test::GeneratedFix> walk;
  std::vector<test::GeneratedFix> south;
  LogLibrary library = LogLibrary::InMemory(
      {{Log(QStringLiteral("walk & <run> 산책.log"),
            {.hour = 9, .epochs = 120, .lapEpochs = {10, 50, 100}, .waypointEpochs = {5, 60}},
            &walk),
        2, 1, QStringLiteral("\"rain\" & 'wind'"), 0},
       {Log(QStringLiteral("south.log"),
            {.hour = 12, .epochs = 40, .latitude = -33.85, .longitude = -70.65}, &south),
        5,
        3,
        {},
        0}},
      0);
  std::vector<test::GeneratedFix> fixes = walk;
  fixes.insert(fixes.end(), south.begin(), south.end());
  for (const ExportFormat format : {ExportFormat::kGpx, ExportFormat::kKml}) {
    options_.format = format;
    const QString path = Out(QStringLiteral("all") + ExportExtension(format));
    ASSERT_TRUE(ExportLogs(library, All(library), path, QStringLiteral("Walks & <runs>"), options_)
                    .problems.isEmpty());
    ExpectPeersRead(path, format, fixes);
  }
}

TEST_F(PeerTest, GpsbabelReadsWhatWeExportFromGpxTracksAndMultiSystemLogs) {
  std::vector<test::GeneratedFix> track;
  std::vector<test::GeneratedFix> receiver;
  const QString gpx = dir_.filePath(QStringLiteral("logs/phone.gpx"));
  const QString nmea = dir_.filePath(QStringLiteral("logs/m9.nmea"));
  test::WriteFile(gpx, test::GenerateGpx({.hour = 8, .epochs = 50}, 11, 2, &track));
  test::WriteFile(nmea, test::GenerateMultiSystemLog({.hour = 10, .epochs = 40}, &receiver));
  LogLibrary library = LogLibrary::InMemory({{gpx, 0, 0, {}, 900}, {nmea, 1, 1, {}, 900}}, 0);
  std::vector<test::GeneratedFix> fixes = track;
  fixes.insert(fixes.end(), receiver.begin(), receiver.end());
  for (const ExportFormat format : {ExportFormat::kGpx, ExportFormat::kKml}) {
    options_.format = format;
    const QString path = Out(QStringLiteral("others") + ExportExtension(format));
    ASSERT_TRUE(ExportLogs(library, All(library), path, QStringLiteral("others"), options_)
                    .problems.isEmpty());
    ExpectPeersRead(path, format, fixes);
  }
}

TEST_F(PeerTest, GpxWithItsHeaderElementsIsStillGpx10) {
  std::vector<test::GeneratedFix> fixes;
  LogLibrary library = LogLibrary::InMemory(
      {{Log(QStringLiteral("walk.log"), {.epochs = 30}, &fixes), 0, 0, {}, 0}}, 0);
  options_.format = ExportFormat::kGpx;
  options_.gpxMetadata = true;
  const QString single = Out(QStringLiteral("trip.GPX"));
  ASSERT_TRUE(ExportLogs(library, All(library), single, QStringLiteral("Trip & <1>"), options_)
                  .problems.isEmpty());
  ExpectPeersRead(single, ExportFormat::kGpx, fixes);
  const QByteArray text = test::ReadFile(single);
  EXPECT_TRUE(text.contains("\n <name>Trip &amp; &lt;1&gt;</name>\n <time>")) << text.toStdString();
  // The track runs north-east from its first fix to its last.
  EXPECT_TRUE(text.contains(QStringLiteral(" <bounds minlat=\"%1\" minlon=\"%2\" maxlat=\"%3\" "
                                           "maxlon=\"%4\"/>\n")
                                .arg(fixes.front().latitude, 0, 'f', 6)
                                .arg(fixes.front().longitude, 0, 'f', 6)
                                .arg(fixes.back().latitude, 0, 'f', 6)
                                .arg(fixes.back().longitude, 0, 'f', 6)
                                .toUtf8()))
      << text.toStdString();
  const QRegularExpressionMatch time =
      QRegularExpression(QStringLiteral("<time>([0-9T:-]+Z)</time>"))
          .match(QString::fromUtf8(text));
  ASSERT_TRUE(time.hasMatch());
  const QDateTime made = QDateTime::fromString(time.captured(1), Qt::ISODate);
  EXPECT_LE(std::abs(made.secsTo(QDateTime::currentDateTimeUtc())), 600)
      << time.captured(1).toStdString();

  // In batch the document is named after its log, as its file is.
  const ExportReport batch = ExportLogsBatch(library, All(library), Out(), options_);
  ASSERT_EQ(batch.written, QStringList{Out(QStringLiteral("walk.GPX"))});
  ExpectPeersRead(batch.written[0], ExportFormat::kGpx, fixes);
  EXPECT_TRUE(test::ReadFile(batch.written[0]).contains("\n <name>walk</name>\n"));
}

TEST_F(PeerTest, FixesNoReceiverWritesNeverReachTheDocuments) {
  const std::vector<test::ReplacedFields> unmeasurable = test::UnmeasurableFields(2);
  std::vector<test::GeneratedFix> written;
  LogLibrary library =
      LogLibrary::InMemory({{Log(QStringLiteral("odd.log"),
                                 {.epochs = static_cast<int>(unmeasurable.size()) + 4,
                                  .waypointEpochs = {3},
                                  .replacedFields = unmeasurable},
                                 &written),
                             0,
                             0,
                             {},
                             0}},
                           0);
  // Only the fixes before and after the odd ones are places.
  std::vector<test::GeneratedFix> places(written.begin(), written.begin() + 2);
  places.insert(places.end(), written.end() - 2, written.end());
  for (const ExportFormat format : {ExportFormat::kGpx, ExportFormat::kKml, ExportFormat::kTable}) {
    options_.format = format;
    const QString path = Out(QStringLiteral("odd") + ExportExtension(format));
    ASSERT_TRUE(ExportLogs(library, All(library), path, QStringLiteral("odd"), options_)
                    .problems.isEmpty());
    const QString text = QString::fromUtf8(test::ReadFile(path));
    EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("\\b(nan|inf)\\b"),
                                                  QRegularExpression::CaseInsensitiveOption)))
        << path.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("1000000"))) << path.toStdString();  // no 1e308
    if (format == ExportFormat::kTable) {
      continue;
    }
    ExpectPeersRead(path, format, places);
  }
}

TEST_F(PeerTest, SchemaCheckRejectsWhatIsNotGpx10) {
  // The schema check itself catches a faulty document (so its pass above means something).
  const QString bad = Out(QStringLiteral("bad.gpx"));
  test::WriteFile(bad,
                  "<?xml version=\"1.0\"?>\n<gpx version=\"1.0\" creator=\"x\" "
                  "xmlns=\"http://www.topografix.com/GPX/1/0\"><trk><trkseg><trkpt lat=\"1\" "
                  "lon=\"2\"><speed>1</speed><course>400</course></trkpt></trkseg></trk></gpx>\n");
  EXPECT_NE(Xmllint({QStringLiteral("--schema"),
                     test::SourceFolder() + QStringLiteral("/tests/export/data/gpx-1.0.xsd"), bad}),
            0);
}

}  // namespace
}  // namespace trevalo
