// trevalo-cli export, chart and device config on real and generated files.

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include "cli/cli_runner.h"
#include "device/device_file.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "support/test_photos.h"

namespace trevalo {
namespace {

using test::RunCli;

class ExportCommand : public ::testing::Test {
 protected:
  QString Home() const { return dir_.filePath(QStringLiteral("home")); }
  QString Path(const QString& name) const { return dir_.filePath(name); }
  QTemporaryDir dir_;
};

TEST_F(ExportCommand, WritesEachFormatOfRealLogs) {
  const QString data = test::TestDataFolder();
  if (data.isEmpty()) {
    GTEST_SKIP() << "no shared test data";
  }
  const QStringList logs{data + QStringLiteral("/nmea/gpsbabel_track.nmea"),
                         data + QStringLiteral("/nmea/gpsd_telit-he910.nmea")};
  for (const QString& format :
       {QStringLiteral("kml"), QStringLiteral("gpx"), QStringLiteral("csv")}) {
    const QString out = Path(QStringLiteral("all.") + format);
    const auto result = RunCli(
        QStringList{QStringLiteral("export"), QStringLiteral("--format"), format,
                    QStringLiteral("--out"), out, QStringLiteral("--zone"), QStringLiteral("0")} +
            logs,
        Home());
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "wrote " + out.toUtf8() + "\n");
  }
  EXPECT_EQ(test::ReadFile(Path(QStringLiteral("all.gpx"))).count("<trkpt "), 341);
  EXPECT_EQ(test::ReadFile(Path(QStringLiteral("all.kml"))).count("<name>Info:"), 2);
  EXPECT_EQ(test::ReadFile(Path(QStringLiteral("all.csv"))).count("No,Latitude,Longitude"), 2);

  QDir().mkpath(Path(QStringLiteral("batch")));
  const auto batch = RunCli(
      QStringList{QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("gpx"),
                  QStringLiteral("--batch"), Path(QStringLiteral("batch"))} +
          logs,
      Home());
  ASSERT_EQ(batch.exitCode, 0) << batch.err.toStdString();
  EXPECT_EQ(
      QDir(Path(QStringLiteral("batch"))).entryList(QDir::Files),
      (QStringList{QStringLiteral("gpsbabel_track.GPX"), QStringLiteral("gpsd_telit-he910.GPX")}));
}

TEST_F(ExportCommand, BadInputIsNamed) {
  const QString log = Path(QStringLiteral("a.log"));
  test::WriteFile(log, test::GenerateLog({.epochs = 3}));
  const QString notes = Path(QStringLiteral("notes.txt"));
  test::WriteFile(notes, "no sentences here");
  const auto result =
      RunCli({QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("kml"),
              QStringLiteral("--out"), Path(QStringLiteral("x.kml")), notes, log},
             Home());
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(result.err.contains(notes.toUtf8())) << result.err.toStdString();
  EXPECT_TRUE(QFile::exists(Path(QStringLiteral("x.kml"))));  // the good log is still exported
  EXPECT_EQ(RunCli({QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("kmz"),
                    QStringLiteral("--out"), Path(QStringLiteral("x")), log},
                   Home())
                .exitCode,
            2);
  EXPECT_EQ(RunCli({QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("gpx"),
                    QStringLiteral("--out"), Path(QStringLiteral("no/such/folder/x.gpx")), log},
                   Home())
                .exitCode,
            1);
}

TEST_F(ExportCommand, BatchNamesDropTheLogsOwnExtension) {
  QStringList logs;
  int hour = 9;
  for (const char* name : {"x.nmea", "y.log", "trip.2009.log", "plain"}) {
    logs << Path(QString::fromLatin1(name));
    test::WriteFile(logs.back(), test::GenerateLog({.hour = hour++, .epochs = 3}));
  }
  const QString folder = Path(QStringLiteral("batch"));
  QDir().mkpath(folder);
  const auto result = RunCli(QStringList{QStringLiteral("export"), QStringLiteral("--format"),
                                         QStringLiteral("kml"), QStringLiteral("--batch"), folder} +
                                 logs,
                             Home());
  ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
  EXPECT_EQ(QDir(folder).entryList(QDir::Files),
            (QStringList{QStringLiteral("plain.KML"), QStringLiteral("trip.2009.KML"),
                         QStringLiteral("x.KML"), QStringLiteral("y.KML")}));
}

TEST_F(ExportCommand, TablesCarryTheHemisphereLetterOnce) {
  const QString north = Path(QStringLiteral("north.log"));
  test::WriteFile(north, test::GenerateLog({.hour = 9, .epochs = 2}));
  const QString south = Path(QStringLiteral("south.log"));
  test::WriteFile(south, test::GenerateLog({.hour = 12,
                                            .epochs = 2,
                                            .latitude = -33.85,
                                            .longitude = -70.65,
                                            .northMetresPerEpoch = 0,
                                            .eastMetresPerEpoch = 0}));
  const QString table = Path(QStringLiteral("points.csv"));
  const auto result = RunCli(
      {QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("csv"),
       QStringLiteral("--out"), table, QStringLiteral("--zone"), QStringLiteral("0"), north, south},
      Home());
  ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
  // The English display format, in code page 949 (the degree sign is A1 C6); the seconds
  // sign makes each coordinate a quoted field.
  const QByteArray text = test::ReadFile(table);
  EXPECT_TRUE(
      text.contains("\r\n1,\"N 37\xA1\xC6 23' 27.40\"\"\",\"E 126\xA1\xC6 58' 07.40\"\"\",45.3 m,"))
      << text.toStdString();
  EXPECT_TRUE(text.contains("\r\n1,\"S 33\xA1\xC6 51' 00.00\"\"\",\"W 70\xA1\xC6 39' 00.00\"\"\","))
      << text.toStdString();
  for (const char* doubled : {"NN", "EE", "SS", "WW"}) {
    EXPECT_FALSE(text.contains(QByteArray(",\"") + doubled)) << doubled;
  }
}

TEST_F(ExportCommand, ChartAxesCountInTheUnitOfTheirValues) {
  // The x tick labels of the altitude-by-distance page of a log: 3 km of track, then 9 m.
  const auto labels = [&](const test::LogPlan& plan) {
    const QString log = Path(QStringLiteral("track.log"));
    test::WriteFile(log, test::GenerateLog(plan));
    const QString folder = Path(QStringLiteral("charts"));
    QDir().mkpath(folder);
    const auto result = RunCli({QStringLiteral("chart"), log, QStringLiteral("--out"), folder,
                                QStringLiteral("--zone"), QStringLiteral("0")},
                               Home());
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    QStringList found;
    const QRegularExpression tick(QStringLiteral("fill='#546ab3'>([^<]*)<"));
    for (const QRegularExpressionMatch& m : tick.globalMatch(
             QString::fromUtf8(test::ReadFile(folder + QStringLiteral("/CHT_DISTALT.cht"))))) {
      found << m.captured(1);
    }
    return found;
  };
  const auto expectDistinctIn = [](const QStringList& ticks, const QString& unit) {
    ASSERT_EQ(ticks.size(), 5) << ticks.join(u'|').toStdString();
    EXPECT_EQ(QSet<QString>(ticks.begin(), ticks.end()).size(), 5)
        << ticks.join(u'|').toStdString();
    for (const QString& tick : ticks) {
      EXPECT_TRUE(tick.endsWith(u' ' + unit)) << ticks.join(u'|').toStdString();
    }
  };
  // 601 fixes 5 m apart.
  const QStringList kilometres = labels({.epochs = 601});
  expectDistinctIn(kilometres, QStringLiteral("Km"));
  EXPECT_EQ(kilometres.first(), QStringLiteral("0.0 Km"));
  // Four fixes 3 m apart.
  expectDistinctIn(labels({.epochs = 4, .northMetresPerEpoch = 3, .eastMetresPerEpoch = 0}),
                   QStringLiteral("m"));
}

TEST_F(ExportCommand, AnOutputThatIsAnInputIsRefused) {
  const QString log = Path(QStringLiteral("day1.log"));
  test::WriteFile(log, test::GenerateLog({.epochs = 3}));
  const QByteArray before = test::ReadFile(log);
  const auto single = RunCli({QStringLiteral("export"), QStringLiteral("--format"),
                              QStringLiteral("gpx"), QStringLiteral("--out"), log, log},
                             Home());
  EXPECT_EQ(single.exitCode, 1);
  EXPECT_TRUE(single.err.contains(log.toUtf8())) << single.err.toStdString();
  EXPECT_TRUE(single.out.isEmpty()) << single.out.toStdString();
  EXPECT_EQ(test::ReadFile(log), before);

  // A file given that is no log, named as the output.
  const QString other = Path(QStringLiteral("other.log"));
  test::WriteFile(other, test::GenerateLog({.hour = 16, .epochs = 3}));
  const QString notes = Path(QStringLiteral("notes.kml"));
  test::WriteFile(notes, "no sentences here");
  EXPECT_EQ(RunCli({QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("kml"),
                    QStringLiteral("--out"), notes, other, notes},
                   Home())
                .exitCode,
            1);
  EXPECT_EQ(test::ReadFile(notes), QByteArray("no sentences here"));

  // In batch: a log whose name is its own output, beside another log.
  const QString named = Path(QStringLiteral("X.GPX"));
  test::WriteFile(named, test::GenerateLog({.hour = 14, .epochs = 3}));
  const QByteArray namedBefore = test::ReadFile(named);
  const auto batch =
      RunCli({QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("gpx"),
              QStringLiteral("--batch"), dir_.path(), log, named},
             Home());
  EXPECT_EQ(batch.exitCode, 1);
  EXPECT_TRUE(batch.err.contains(named.toUtf8())) << batch.err.toStdString();
  EXPECT_EQ(test::ReadFile(named), namedBefore);
  EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("day1.GPX"))));
}

TEST_F(ExportCommand, GeotagDocumentsNeverReplaceALog) {
  if (!test::HaveProgram(QStringLiteral("exiftool"))) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  const QString photo = Path(QStringLiteral("photo.jpg"));
  ASSERT_TRUE(test::MakePhotoTakenAt(photo, "2009:05:17 12:00:01"));
  QDir().mkpath(Path(QStringLiteral("out")));
  // --force replaces an older document, never a log named like it; a package has no such
  // option and is checked all the same.
  for (const QString& name : {QStringLiteral("trip.KML"), QStringLiteral("trip.KMZ")}) {
    const QString log = Path(QStringLiteral("out/") + name);
    test::WriteFile(log, test::GenerateLog({.epochs = 3}));
    const QByteArray before = test::ReadFile(log);
    const auto result =
        RunCli({QStringLiteral("geotag"), QStringLiteral("--log"), log, QStringLiteral("--zone"),
                QStringLiteral("0"), QStringLiteral("--out"), Path(QStringLiteral("out")),
                QStringLiteral("--kml"), QStringLiteral("trip"), QStringLiteral("--kmz"),
                QStringLiteral("--force"), photo},
               Home());
    EXPECT_EQ(result.exitCode, 1) << name.toStdString();
    EXPECT_TRUE(result.err.contains(log.toUtf8())) << result.err.toStdString();
    EXPECT_EQ(test::ReadFile(log), before) << name.toStdString();
    QFile::remove(log);
  }
}

TEST_F(ExportCommand, ChartWritesPagesAndStatistics) {
  const QString log = Path(QStringLiteral("run.log"));
  test::WriteFile(log, test::GenerateLog({.epochs = 301, .intervalSeconds = 2}));
  QDir().mkpath(Path(QStringLiteral("charts")));
  const auto result =
      RunCli({QStringLiteral("chart"), log, QStringLiteral("--out"), Path(QStringLiteral("charts")),
              QStringLiteral("--zone"), QStringLiteral("0"), QStringLiteral("--json")},
             Home());
  ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
  const QJsonObject json = result.Json().object();
  EXPECT_EQ(json[QStringLiteral("pages")].toArray().size(), 4);
  EXPECT_EQ(json[QStringLiteral("elapsedTime")].toString(), QStringLiteral("0 Day, 00:10:00"));
  EXPECT_EQ(json[QStringLiteral("fileName")].toString(), QStringLiteral("run.log"));
  EXPECT_EQ(json[QStringLiteral("startTime")].toString(), QStringLiteral("05/17/2009 12:00:00 PM"));

  const QString single = Path(QStringLiteral("single.log"));
  test::WriteFile(single, test::GenerateLog({.epochs = 1}));
  const auto invalid = RunCli(
      {QStringLiteral("chart"), single, QStringLiteral("--out"), Path(QStringLiteral("charts"))},
      Home());
  EXPECT_EQ(invalid.exitCode, 1);
  EXPECT_TRUE(invalid.err.contains("Invalid Log File.."));
}

TEST_F(ExportCommand, DeviceConfigShowsAndChangesSettingsFiles) {
  const QString modelA = Path(QLatin1String(kModelAFileName));
  auto shown = RunCli({QStringLiteral("device"), QStringLiteral("config"), QStringLiteral("show"),
                       modelA, QStringLiteral("--json")},
                      Home());
  ASSERT_EQ(shown.exitCode, 0) << shown.err.toStdString();
  EXPECT_EQ(shown.Json().object()[QStringLiteral("samplingSeconds")].toInt(), 5);
  EXPECT_EQ(test::ReadFile(modelA).size(), 128);  // created with the defaults
  ASSERT_EQ(RunCli({QStringLiteral("device"), QStringLiteral("config"), QStringLiteral("set"),
                    modelA, QStringLiteral("samplingSeconds=30"), QStringLiteral("ledMode=2")},
                   Home())
                .exitCode,
            0);
  EXPECT_EQ(test::ReadFile(modelA).mid(32, 32), QByteArray("Sampling Time   30            \r\n"));
  EXPECT_EQ(RunCli({QStringLiteral("device"), QStringLiteral("config"), QStringLiteral("set"),
                    modelA, QStringLiteral("ledMode=7")},
                   Home())
                .exitCode,
            2);

  const QString modelB = Path(QLatin1String(kModelBFileName));
  QByteArray bytes(300, '\x11');
  bytes.replace(20, 3, "002");
  test::WriteFile(modelB, bytes.toStdString());
  ASSERT_EQ(RunCli({QStringLiteral("device"), QStringLiteral("config"), QStringLiteral("set"),
                    modelB, QStringLiteral("timeZone=14"), QStringLiteral("altitudeGraph=1")},
                   Home())
                .exitCode,
            0);
  QByteArray expected = bytes;
  expected[101] = 14;
  expected[117] = 1;
  EXPECT_EQ(test::ReadFile(modelB), expected);
  shown = RunCli(
      {QStringLiteral("device"), QStringLiteral("config"), QStringLiteral("show"), modelB}, Home());
  EXPECT_TRUE(shown.out.contains("timeZone=14\n")) << shown.out.toStdString();
  EXPECT_EQ(RunCli({QStringLiteral("device"), QStringLiteral("config"), QStringLiteral("show"),
                    Path(QStringLiteral("other.bin"))},
                   Home())
                .exitCode,
            2);
}

}  // namespace
}  // namespace trevalo
