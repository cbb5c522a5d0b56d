#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "cli/cli_runner.h"
#include "support/log_generator.h"
#include "support/test_files.h"

namespace trevalo {
namespace {

using test::RunCli;

class PhotoCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::TestDataFolder().isEmpty()) {
      GTEST_SKIP() << "the shared test data folder is absent";
    }
    log_ = dir_.filePath(QStringLiteral("walk.log"));
    test::WriteFile(log_,
                    test::GenerateLog({.epochs = 20, .latitude = -33.5, .longitude = 151.25}));
  }
  QString Photo(const char* name) const {
    return test::TestDataFolder() + QStringLiteral("/jpeg/") + QString::fromLatin1(name);
  }
  QString Home() const { return dir_.filePath(QStringLiteral("home")); }
  QTemporaryDir dir_;
  QString log_;
};

TEST_F(PhotoCommand, InfoAsText) {
  const auto result = RunCli({QStringLiteral("photo"), QStringLiteral("info"),
                              Photo("ianare_Canon_40D.jpg"), Photo("ianare_gps_DSCN0010.jpg")},
                             Home());
  EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
  EXPECT_TRUE(result.out.contains("  taken    2008:05:30 15:56:01\n"));
  EXPECT_TRUE(result.out.contains("  camera   Canon Canon EOS 40D\n"));
  EXPECT_TRUE(result.out.contains("  size     100 x 68, orientation 1\n"));
  EXPECT_TRUE(result.out.contains("  position (GPS directory without a position)\n"));
  EXPECT_TRUE(result.out.contains("  position 43.46744833"));
}

TEST_F(PhotoCommand, InfoAsJsonAndBadPhotosNamed) {
  const QString notAPhoto = dir_.filePath(QStringLiteral("notes.jpg"));
  test::WriteFile(notAPhoto, "just text");
  const auto result =
      RunCli({QStringLiteral("photo"), QStringLiteral("info"), QStringLiteral("--json"), notAPhoto,
              Photo("mdx_Issue_609.jpg"), Photo("ianare_gps_DSCN0010.jpg")},
             Home());
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(result.err.contains((notAPhoto + QStringLiteral(": not a JPEG file")).toUtf8()));
  EXPECT_TRUE(result.err.contains("mdx_Issue_609.jpg: Invalid Date Time Tag"));
  const QJsonArray photos = result.Json().array();
  ASSERT_EQ(photos.size(), 3);
  EXPECT_TRUE(photos[0].toObject().contains(QStringLiteral("error")));
  const QJsonObject nikon = photos[2].toObject();
  EXPECT_EQ(nikon[QStringLiteral("cameraMake")].toString(), QStringLiteral("NIKON"));
  EXPECT_EQ(nikon[QStringLiteral("dateTime")].toString(), QStringLiteral("2008:10:22 16:28:39"));
  EXPECT_EQ(nikon[QStringLiteral("width")].toInt(), 640);
  EXPECT_EQ(nikon[QStringLiteral("height")].toInt(), 480);
  EXPECT_TRUE(nikon[QStringLiteral("hasGps")].toBool());
  EXPECT_NEAR(nikon[QStringLiteral("latitudeDegrees")].toDouble(), 43.467448, 1e-6);
}

TEST_F(PhotoCommand, SetGpsWritesACopyThatExiftoolReads) {
  const QString out = dir_.filePath(QStringLiteral("tagged.jpg"));
  const auto result =
      RunCli({QStringLiteral("photo"), QStringLiteral("set-gps"), Photo("ianare_Canon_40D.jpg"),
              QStringLiteral("--point-from"), log_, QStringLiteral("--index"), QStringLiteral("10"),
              QStringLiteral("--out"), out},
             Home());
  ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
  EXPECT_TRUE(result.out.startsWith((QStringLiteral("wrote ") + out).toUtf8()));
  const auto info = RunCli(
      {QStringLiteral("photo"), QStringLiteral("info"), QStringLiteral("--json"), out}, Home());
  const QJsonObject tagged = info.Json().array()[0].toObject();
  EXPECT_NEAR(tagged[QStringLiteral("latitudeDegrees")].toDouble(), -33.5 + 10 * 3 / 111320.0,
              2e-5);
  EXPECT_NEAR(tagged[QStringLiteral("longitudeDegrees")].toDouble(), 151.25, 1e-3);
  if (!QStandardPaths::findExecutable(QStringLiteral("exiftool")).isEmpty()) {
    QProcess exiftool;
    exiftool.start(QStringLiteral("exiftool"), {QStringLiteral("-n"), QStringLiteral("-s3"),
                                                QStringLiteral("-GPSLatitudeRef"), out});
    exiftool.waitForFinished();
    EXPECT_EQ(exiftool.readAllStandardOutput().trimmed(), "S");
  }
}

TEST_F(PhotoCommand, SetGpsProblems) {
  const QString out = dir_.filePath(QStringLiteral("tagged.jpg"));
  const auto run = [&](const QStringList& extra, const QString& photo) {
    return RunCli(QStringList{QStringLiteral("photo"), QStringLiteral("set-gps"), photo,
                              QStringLiteral("--point-from"), log_, QStringLiteral("--out"), out} +
                      extra,
                  Home());
  };
  const auto outOfRange =
      run({QStringLiteral("--index"), QStringLiteral("20")}, Photo("ianare_Canon_40D.jpg"));
  EXPECT_EQ(outOfRange.exitCode, 1);
  EXPECT_TRUE(outOfRange.err.contains("has 20 points; there is no point 20"));
  EXPECT_EQ(
      run({QStringLiteral("--index"), QStringLiteral("x")}, Photo("ianare_Canon_40D.jpg")).exitCode,
      2);
  EXPECT_EQ(run({QStringLiteral("--index"), QStringLiteral("1"), QStringLiteral("--lat-offset"),
                 QStringLiteral("501")},
                Photo("ianare_Canon_40D.jpg"))
                .exitCode,
            2);
  const auto zeroDate =
      run({QStringLiteral("--index"), QStringLiteral("1")}, Photo("mdx_Issue_609.jpg"));
  EXPECT_EQ(zeroDate.exitCode, 1);
  EXPECT_TRUE(zeroDate.err.contains("Invalid Date Time Tag"));
  EXPECT_FALSE(QFileInfo::exists(out));
}

}  // namespace
}  // namespace trevalo
