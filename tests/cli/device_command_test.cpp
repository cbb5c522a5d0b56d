#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include "cli/cli_runner.h"
#include "support/fake_device_tree.h"
#include "support/log_generator.h"
#include "support/test_files.h"

namespace trevalo {
namespace {

using test::RunCli;

// A logger of model A mounted in a fake tree, and a library folder.
class DeviceCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_.AddUsbDisk(QStringLiteral("1-2"), QStringLiteral("0c76"), QStringLiteral("7e00"),
                     QStringLiteral("SN1"), 8, 16);
    drive_ = fake_.Mount(QStringLiteral("GPS LOGGER"), 8, 16);
  }
  test::CliResult Cli(const QString& command, QStringList arguments) {
    arguments = QStringList{QStringLiteral("--library"),   library_,
                            QStringLiteral("device"),      command,
                            QStringLiteral("--mountinfo"), fake_.mountInfoPath(),
                            QStringLiteral("--sysfs"),     fake_.sysfsRoot()} +
                arguments;
    return RunCli(arguments, dir_.filePath(QStringLiteral("home")));
  }
  QString LoggerLog(const QString& name, int hour) {
    const QString path = drive_ + QStringLiteral("/GPS/") + name;
    test::WriteFile(path, test::GenerateLog({.hour = hour, .epochs = 10}));
    return path;
  }

  QTemporaryDir dir_;
  test::FakeDeviceTree fake_{dir_.filePath(QStringLiteral("tree"))};
  QString drive_;
  QString library_ = dir_.filePath(QStringLiteral("library"));
};

TEST_F(DeviceCommand, DetectTellsWhereTheLoggerIsAndHowMuchSpaceItHas) {
  const auto text = Cli(QStringLiteral("detect"), {});
  ASSERT_EQ(text.exitCode, 0) << text.err.toStdString();
  EXPECT_TRUE(text.out.startsWith("logger model A at " + drive_.toUtf8() + "\n"))
      << text.out.toStdString();
  EXPECT_TRUE(text.out.contains("\nfree: ")) << text.out.toStdString();
  EXPECT_TRUE(QFile::exists(drive_ + QStringLiteral("/QARN_TR.CFG")))
      << "detection reads the settings";

  const auto json = Cli(QStringLiteral("detect"), {QStringLiteral("--json")});
  ASSERT_EQ(json.exitCode, 0);
  const QJsonObject logger = json.Json().object();
  EXPECT_TRUE(logger[QStringLiteral("connected")].toBool());
  EXPECT_EQ(logger[QStringLiteral("drive")].toString(), drive_);
  EXPECT_EQ(logger[QStringLiteral("loggerKind")].toInt(), 1);
  EXPECT_GT(logger[QStringLiteral("totalBytes")].toDouble(), 0);
  EXPECT_EQ(logger[QStringLiteral("total")].toString(),
            QStringLiteral("%1Mb").arg(
                static_cast<qint64>(logger[QStringLiteral("totalBytes")].toDouble()) >> 20));
}

TEST_F(DeviceCommand, WithoutALoggerDetectSaysSoAndImportFails) {
  const QString empty = dir_.filePath(QStringLiteral("mountinfo-without-logger"));
  test::WriteFile(empty, "26 1 259:2 / / rw - ext4 /dev/nvme0n1p2 rw\n");
  const QStringList tree{QStringLiteral("--mountinfo"), empty};
  const auto detect = Cli(QStringLiteral("detect"), tree);
  EXPECT_EQ(detect.exitCode, 0);
  EXPECT_EQ(detect.out, "no logger\n");
  const auto json = Cli(QStringLiteral("detect"), tree + QStringList{QStringLiteral("--json")});
  EXPECT_FALSE(json.Json().object()[QStringLiteral("connected")].toBool());
  const auto import = Cli(QStringLiteral("import"), tree);
  EXPECT_EQ(import.exitCode, 1);
  EXPECT_TRUE(import.err.contains("no logger is connected")) << import.err.toStdString();
}

TEST_F(DeviceCommand, AModelBLoggerWithoutItsSettingsFileIsNotConnected) {
  fake_.AddUsbDisk(QStringLiteral("1-1"), QStringLiteral("090c"), QStringLiteral("7e10"),
                   QStringLiteral("SN2"), 8, 32);
  const QString other = dir_.filePath(QStringLiteral("mountinfo-model-b"));
  test::WriteFile(
      other, QStringLiteral("90 26 8:32 / %1 rw - vfat /dev/sdc rw\n").arg(drive_).toStdString());
  const auto detect = Cli(QStringLiteral("detect"), {QStringLiteral("--mountinfo"), other});
  EXPECT_EQ(detect.exitCode, 1);
  EXPECT_EQ(detect.out, "no logger\n");
  EXPECT_TRUE(detect.err.contains("SYSREG.SMI")) << detect.err.toStdString();
}

TEST_F(DeviceCommand, ImportCopiesTheLogsWithProgressAndASummary) {
  const QString first = LoggerLog(QStringLiteral("A.LOG"), 8);
  const QString second = LoggerLog(QStringLiteral("B.LOG"), 9);
  const auto imported =
      Cli(QStringLiteral("import"),
          {QStringLiteral("--zone"), QStringLiteral("900"), QStringLiteral("--delete")});
  ASSERT_EQ(imported.exitCode, 0) << imported.err.toStdString();
  EXPECT_EQ(imported.out, "[1/2] A.LOG\n[2/2] B.LOG\nimported 2 of 2 logs into " +
                              library_.toUtf8() + "; deleted 2 from the logger\n");
  EXPECT_FALSE(QFile::exists(first));
  EXPECT_FALSE(QFile::exists(second));

  const auto listed = RunCli({QStringLiteral("--library"), library_, QStringLiteral("library"),
                              QStringLiteral("list"), QStringLiteral("--json")},
                             dir_.filePath(QStringLiteral("home")));
  const QJsonArray logs = listed.Json().array();
  ASSERT_EQ(logs.size(), 2);
  EXPECT_EQ(logs[0].toObject()[QStringLiteral("file")].toString(),
            library_ + QStringLiteral("/A.LOG"));
  EXPECT_EQ(logs[0].toObject()[QStringLiteral("timeZone")].toInt(), 900);

  // Again, as JSON, without --delete: a newer log of the same name replaces the copy.
  test::WriteFile(first, test::GenerateLog({.hour = 8, .epochs = 25}));
  const auto json = Cli(QStringLiteral("import"),
                        {QStringLiteral("--json"), QStringLiteral("--zone"), QStringLiteral("0")});
  ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
  const QJsonObject result = json.Json().object();
  EXPECT_EQ(result[QStringLiteral("found")].toInt(), 1);
  EXPECT_EQ(result[QStringLiteral("imported")].toInt(), 1);
  const QJsonObject log = result[QStringLiteral("logs")].toArray()[0].toObject();
  EXPECT_TRUE(log[QStringLiteral("added")].toBool());
  EXPECT_FALSE(log[QStringLiteral("deleted")].toBool());
  EXPECT_TRUE(QFile::exists(first));
  EXPECT_EQ(test::ReadFile(library_ + QStringLiteral("/A.LOG")), test::ReadFile(first));
}

TEST_F(DeviceCommand, ImportTakesGpxTracksAndNmeaLogsBesideTheLoggersOwn) {
  LoggerLog(QStringLiteral("A.LOG"), 8);
  test::WriteFile(drive_ + QStringLiteral("/GPS/b.gpx"),
                  test::GenerateGpx({.hour = 9, .epochs = 10}, 10));
  test::WriteFile(drive_ + QStringLiteral("/GPS/c.NMEA"),
                  test::GenerateMultiSystemLog({.hour = 10, .epochs = 10}));
  const auto imported =
      Cli(QStringLiteral("import"), {QStringLiteral("--zone"), QStringLiteral("900")});
  ASSERT_EQ(imported.exitCode, 0) << imported.err.toStdString();
  EXPECT_EQ(imported.out, "[1/3] A.LOG\n[2/3] b.gpx\n[3/3] c.NMEA\nimported 3 of 3 logs into " +
                              library_.toUtf8() + "\n");
}

// A model B settings file of 300 bytes with the format version and every setting byte 1.
QByteArray ModelBFile(const char* version) {
  QByteArray bytes(300, '\x01');
  bytes.replace(10, 2, "B7");
  bytes.replace(20, 3, version);
  return bytes;
}

TEST_F(DeviceCommand, ConfigSetChangesOnlyFilesOfTheKnownFormatAndOnlyToListedChoices) {
  const QString path = dir_.filePath(QStringLiteral("SYSREG.SMI"));
  const auto set = [&](const QStringList& assignments) {
    return RunCli(QStringList{QStringLiteral("device"), QStringLiteral("config"),
                              QStringLiteral("set"), path} +
                      assignments,
                  dir_.filePath(QStringLiteral("home")));
  };
  // Every setting's last choice is taken, one past it is not; the file stays as it was.
  test::WriteFile(path, ModelBFile("002").toStdString());
  auto done = set({QStringLiteral("timeZone=31"), QStringLiteral("trackRecording=2"),
                   QStringLiteral("displayTime=4"), QStringLiteral("brightness=3")});
  ASSERT_EQ(done.exitCode, 0) << done.err.toStdString();
  QByteArray expected = ModelBFile("002");
  expected[101] = 31;
  expected[105] = 2;
  expected[109] = 4;
  expected[110] = 3;
  ASSERT_EQ(test::ReadFile(path), expected);
  for (const char* outside : {"timeZone=32", "timeFormat=2", "trackRecording=3", "displayTime=5",
                              "altitudeGraph=255", "recordInterval=-1"}) {
    const auto refused = set({QStringLiteral("unit=0"), QLatin1String(outside)});
    EXPECT_EQ(refused.exitCode, 2) << outside;
    EXPECT_TRUE(refused.err.contains(QByteArray(outside) + ": not a valid value (0 to "))
        << refused.err.toStdString();
    EXPECT_EQ(test::ReadFile(path), expected) << outside;
  }
  const auto zones = set({QStringLiteral("timeZone=40")});
  EXPECT_TRUE(zones.err.contains("(0 to 31: GMT -12:00, GMT -11:00,")) << zones.err.toStdString();

  // A file of a newer or an older format is not changed at all, as the settings page leaves it.
  for (const char* version : {"003", "001"}) {
    test::WriteFile(path, ModelBFile(version).toStdString());
    const auto refused = set({QStringLiteral("timeZone=14")});
    EXPECT_EQ(refused.exitCode, 1) << version;
    EXPECT_TRUE(refused.err.contains(std::string_view(version) == "003" ? "a newer format"
                                                                        : "an older format"))
        << refused.err.toStdString();
    EXPECT_EQ(test::ReadFile(path), ModelBFile(version)) << version;
  }
}

}  // namespace
}  // namespace trevalo
