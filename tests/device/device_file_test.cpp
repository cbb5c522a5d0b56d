#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "device/device_file.h"
#include "support/test_files.h"

namespace trevalo {
namespace {

TEST(ModelAFile, IsFourRecordsOf32Bytes) {
  ModelASettings settings;
  settings.samplingSeconds = 5;
  settings.ledMode = 0;
  settings.firmwareNumber = 12;
  const QByteArray bytes = ModelAFileBytes(settings);
  ASSERT_EQ(bytes.size(), 128);
  EXPECT_EQ(bytes.mid(0, 32), QByteArray("QARN TR         3             \r\n"));
  EXPECT_EQ(bytes.mid(32, 32), QByteArray("Sampling Time   5             \r\n"));
  EXPECT_EQ(bytes.mid(64, 32), QByteArray("GON Time        0             \r\n"));
  EXPECT_EQ(bytes.mid(96, 32), QByteArray("FW Version      12            \r\n"));
  settings.samplingSeconds = -1;
  EXPECT_EQ(ModelAFileBytes(settings).mid(48, 14), QByteArray("-1            "));
}

TEST(ModelAFile, LabelsAreFoundWhereverTheyStartInTheFirst256Bytes) {
  ModelASettings written;
  written.samplingSeconds = 30;
  written.ledMode = 2;
  written.firmwareNumber = 105;
  ModelASettings read;
  ParseModelAFile("\r\n\r\n" + ModelAFileBytes(written), read);  // shifted by a blank line
  EXPECT_EQ(read.samplingSeconds, 30);
  EXPECT_EQ(read.ledMode, 2);
  EXPECT_EQ(read.firmwareNumber, 105);

  // A label past byte 255, or a mangled one, leaves the value as it was; the firmware
  // number is 0 unless found.
  ModelASettings kept;
  kept.samplingSeconds = 7;
  kept.firmwareNumber = 99;
  kept.ledMode = 1;
  ParseModelAFile(QByteArray(256, ' ') + ModelAFileBytes(written), kept);
  EXPECT_EQ(kept.samplingSeconds, 7);
  EXPECT_EQ(kept.firmwareNumber, 0);
  ParseModelAFile("Sampling time   9             \r\nGON Time        x", kept);
  EXPECT_EQ(kept.samplingSeconds, 7);
  EXPECT_EQ(kept.ledMode, 1);
}

TEST(ModelAFile, AMissingFileIsCreatedWithTheDefaults) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QLatin1String(kModelAFileName));
  const ModelAReadResult read = ReadModelAFile(path);
  EXPECT_TRUE(read.created);
  EXPECT_EQ(read.problem, QString());
  EXPECT_EQ(read.settings.samplingSeconds, 5);
  EXPECT_EQ(read.settings.samplingMetres, 100);
  EXPECT_EQ(test::ReadFile(path), ModelAFileBytes(ModelASettings{}));
}

TEST(ModelAFile, AFileThatCannotBeReadIsNotReplacedByTheDefaults) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QLatin1String(kModelAFileName));
  QDir().mkpath(path);  // there, but no file that can be read
  const ModelAReadResult read = ReadModelAFile(path);
  EXPECT_FALSE(read.created);
  EXPECT_TRUE(read.problem.contains(path));
  EXPECT_TRUE(QFileInfo(path).isDir());
}

TEST(ModelAFile, AFailedWriteIsReportedAndLeavesTheOldFile) {
  QTemporaryDir dir;
  // A file in a folder that does not exist cannot be written.
  EXPECT_FALSE(WriteModelAFile(dir.filePath(QStringLiteral("gone/QARN_TR.CFG")), ModelASettings{})
                   .isEmpty());
  // A target that is a folder cannot be replaced; nothing is left half-written beside it.
  const QString blocked = dir.filePath(QStringLiteral("blocked"));
  QDir().mkpath(blocked + QStringLiteral("/QARN_TR.CFG"));
  EXPECT_FALSE(
      WriteModelAFile(blocked + QStringLiteral("/QARN_TR.CFG"), ModelASettings{}).isEmpty());
  EXPECT_EQ(QDir(blocked).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{QStringLiteral("QARN_TR.CFG")});
}

QByteArray ModelBBytes(int size, const char* version) {
  QByteArray bytes(size, '\x5A');
  bytes.replace(10, 2, "R6");
  bytes.replace(12, 8, QByteArray("1.02\0\0\0\0", 8));
  bytes.replace(20, 3, version);
  for (int i = 0; i < kModelBSettingCount && 100 + i < size; ++i) {
    bytes[100 + i] = static_cast<char>(i);
  }
  return bytes;
}

TEST(ModelBFile, ReadsCodeFirmwareVersionAndSettings) {
  const ModelBSettings settings = ParseModelBFile(ModelBBytes(256, "002"));
  EXPECT_EQ(settings.modelCode, QStringLiteral("R6"));
  EXPECT_EQ(settings.firmwareText, QStringLiteral("1.02"));
  EXPECT_EQ(settings.formatCheck, 1);
  for (int i = 0; i < kModelBSettingCount; ++i) {
    EXPECT_EQ(settings.values[static_cast<std::size_t>(i)], i);
  }
  EXPECT_EQ(ParseModelBFile(ModelBBytes(256, "003")).formatCheck, -1);
  EXPECT_EQ(ParseModelBFile(ModelBBytes(256, "001")).formatCheck, 0);
  EXPECT_EQ(ParseModelBFile(ModelBBytes(256, "x02")).formatCheck, 0);
  // A short file: the settings it lacks read as 0.
  const ModelBSettings shortFile = ParseModelBFile(ModelBBytes(100, "002"));
  EXPECT_EQ(shortFile.values[0], 0);
}

TEST(ModelBFile, WritingKeepsEveryByteItDoesNotOwn) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QLatin1String(kModelBFileName));
  ModelBSettings settings;
  settings.values.fill(7);

  const QByteArray longFile = ModelBBytes(300, "002");
  test::WriteFile(path, longFile.toStdString());
  ASSERT_EQ(WriteModelBFile(path, settings), QString());
  QByteArray expected = longFile;
  expected.replace(100, kModelBSettingCount, QByteArray(kModelBSettingCount, 7));
  EXPECT_EQ(test::ReadFile(path), expected);

  // A file of 100 bytes becomes 256, zeros beyond its former end.
  test::WriteFile(path, ModelBBytes(100, "002").toStdString());
  ASSERT_EQ(WriteModelBFile(path, settings), QString());
  const QByteArray grown = test::ReadFile(path);
  ASSERT_EQ(grown.size(), 256);
  EXPECT_EQ(grown.left(100), ModelBBytes(100, "002"));
  EXPECT_EQ(grown.mid(100, kModelBSettingCount), QByteArray(kModelBSettingCount, 7));
  EXPECT_EQ(grown.mid(118), QByteArray(256 - 118, '\0'));
}

TEST(ModelBFile, AMissingFileIsNeitherReadNorWritten) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QLatin1String(kModelBFileName));
  QString problem;
  EXPECT_FALSE(ReadModelBFile(path, &problem).has_value());
  EXPECT_TRUE(problem.contains(path));
  EXPECT_FALSE(WriteModelBFile(path, ModelBSettings{}).isEmpty());
  EXPECT_FALSE(QFile::exists(path));
}

}  // namespace
}  // namespace trevalo
