// trevalo-cli export, chart and device config on real and generated files.

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include "cli/cli_runner.h"
#include "device/device_file.h"
#include "support/log_generator.h"
#include "support/test_files.h"

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
  for (const QString& format : {QStringLiteral("kml"), QStringLiteral("gpx"), QStringLiteral("csv")}) {
    const QString out = Path(QStringLiteral("all.") + format);
    const auto result = RunCli(QStringList{QStringLiteral("export"), QStringLiteral("--format"), format,
                                           QStringLiteral("--out"), out, QStringLiteral("--zone"),
                                           QStringLiteral("0")} +
                                   logs,
                               Home());
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "wrote " + out.toUtf8() + "\n");
  }
  EXPECT_EQ(test::ReadFile(Path(QStringLiteral("all.gpx"))).count("<trkpt "), 341);
  EXPECT_EQ(test::ReadFile(Path(QStringLiteral("all.kml"))).count("<name>Info:"), 2);
  EXPECT_EQ(test::ReadFile(Path(QStringLiteral("all.csv"))).count("No,Latitude,Longitude"), 2);

  QDir().mkpath(Path(QStringLiteral("batch")));
  const auto batch = RunCli(QStringList{QStringLiteral("export"), QStringLiteral("--format"),
                                        QStringLiteral("gpx"), QStringLiteral("--batch"),
                                        Path(QStringLiteral("batch"))} +
                                logs,
                            Home());
  ASSERT_EQ(batch.exitCode, 0) << batch.err.toStdString();
  EXPECT_EQ(QDir(Path(QStringLiteral("batch"))).entryList(QDir::Files),
            (QStringList{QStringLiteral("gpsbabel_track..GPX"),
                         QStringLiteral("gpsd_telit-he910..GPX")}));
}

TEST_F(ExportCommand, BadInputIsNamed) {
  const QString log = Path(QStringLiteral("a.log"));
  test::WriteFile(log, test::GenerateLog({.epochs = 3}));
  const QString notes = Path(QStringLiteral("notes.txt"));
  test::WriteFile(notes, "no sentences here");
  const auto result = RunCli({QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("kml"),
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

TEST_F(ExportCommand, ChartWritesPagesAndStatistics) {
  const QString log = Path(QStringLiteral("run.log"));
  test::WriteFile(log, test::GenerateLog({.epochs = 301, .intervalSeconds = 2}));
  QDir().mkpath(Path(QStringLiteral("charts")));
  const auto result = RunCli({QStringLiteral("chart"), log, QStringLiteral("--out"),
                              Path(QStringLiteral("charts")), QStringLiteral("--zone"),
                              QStringLiteral("0"), QStringLiteral("--json")},
                             Home());
  ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
  const QJsonObject json = result.Json().object();
  EXPECT_EQ(json[QStringLiteral("pages")].toArray().size(), 4);
  EXPECT_EQ(json[QStringLiteral("elapsedTime")].toString(), QStringLiteral("0 Day, 00:10:00"));
  EXPECT_EQ(json[QStringLiteral("fileName")].toString(), QStringLiteral("run.log"));
  EXPECT_EQ(json[QStringLiteral("startTime")].toString(), QStringLiteral("05/17/2009 12:00:00 PM"));

  const QString single = Path(QStringLiteral("single.log"));
  test::WriteFile(single, test::GenerateLog({.epochs = 1}));
  const auto invalid = RunCli({QStringLiteral("chart"), single, QStringLiteral("--out"),
                               Path(QStringLiteral("charts"))},
                              Home());
  EXPECT_EQ(invalid.exitCode, 1);
  EXPECT_TRUE(invalid.err.contains("Invalid Log File.."));
}

TEST_F(ExportCommand, DeviceConfigShowsAndChangesSettingsFiles) {
  const QString modelA = Path(QLatin1String(kModelAFileName));
  auto shown = RunCli({QStringLiteral("device"), QStringLiteral("config"), QStringLiteral("show"), modelA,
                       QStringLiteral("--json")},
                      Home());
  ASSERT_EQ(shown.exitCode, 0) << shown.err.toStdString();
  EXPECT_EQ(shown.Json().object()[QStringLiteral("samplingSeconds")].toInt(), 5);
  EXPECT_EQ(test::ReadFile(modelA).size(), 128);  // created with the defaults
  ASSERT_EQ(RunCli({QStringLiteral("device"), QStringLiteral("config"), QStringLiteral("set"), modelA,
                    QStringLiteral("samplingSeconds=30"), QStringLiteral("ledMode=2")},
                   Home())
                .exitCode,
            0);
  EXPECT_EQ(test::ReadFile(modelA).mid(32, 32), QByteArray("Sampling Time   30            \r\n"));
  EXPECT_EQ(RunCli({QStringLiteral("device"), QStringLiteral("config"), QStringLiteral("set"), modelA,
                    QStringLiteral("ledMode=7")},
                   Home())
                .exitCode,
            2);

  const QString modelB = Path(QLatin1String(kModelBFileName));
  QByteArray bytes(300, '\x11');
  bytes.replace(20, 3, "002");
  test::WriteFile(modelB, bytes.toStdString());
  ASSERT_EQ(RunCli({QStringLiteral("device"), QStringLiteral("config"), QStringLiteral("set"), modelB,
                    QStringLiteral("timeZone=14"), QStringLiteral("altitudeGraph=1")},
                   Home())
                .exitCode,
            0);
  QByteArray expected = bytes;
  expected[101] = 14;
  expected[117] = 1;
  EXPECT_EQ(test::ReadFile(modelB), expected);
  shown = RunCli({QStringLiteral("device"), QStringLiteral("config"), QStringLiteral("show"), modelB},
                 Home());
  EXPECT_TRUE(shown.out.contains("timeZone=14\n")) << shown.out.toStdString();
  EXPECT_EQ(RunCli({QStringLiteral("device"), QStringLiteral("config"), QStringLiteral("show"),
                    Path(QStringLiteral("other.bin"))},
                   Home())
                .exitCode,
            2);
}

}  // namespace
}  // namespace trevalo
