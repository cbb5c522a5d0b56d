// End to end: photos and logs whose names are not UTF-8 (a Latin-1 "café"), and a photo
// reached through a symbolic link, through every command that takes file names.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QStandardPaths>

#include "cli/cli_runner.h"
#include "files/native_files.h"
#include "files/native_path.h"
#include "support/log_generator.h"
#include "support/test_files.h"

namespace trevalo {
namespace {

using test::RunCli;

class FileNames : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QStandardPaths::findExecutable(QStringLiteral("exiftool")).isEmpty()) {
      GTEST_SKIP() << "exiftool is not installed";
    }
    log_ = Latin1Path("caf\xe9.log");
    test::WriteFile(log_, test::GenerateLog({.hour = 10,
                                             .epochs = 61,
                                             .intervalSeconds = 60,
                                             .latitude = -33.5,
                                             .longitude = 151.25},
                                            &fixes_));
    // A photo taken at 19:10 (+09:00), ten minutes into the log.
    photo_ = Latin1Path("photos/caf\xe9.jpg");
    test::WriteFile(photo_, test::ReadFile(test::SourceFolder() +
                                           QStringLiteral("/fuzz/corpus/exif_file/le.jpg"))
                                .toStdString());
    ASSERT_EQ(test::RunProgram(QStringLiteral("exiftool"),
                               {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
                                QStringLiteral("-DateTimeOriginal=2009:05:17 19:10:00"), photo_},
                               {}, 60)
                  .exitCode,
              0);
    ASSERT_TRUE(MakeFolders(dir_.filePath(QStringLiteral("out"))));
  }
  QString Latin1Path(const char* name) const { return dir_.path() + u'/' + PathFromNative(name); }
  test::CliResult Cli(const QStringList& arguments) const {
    return RunCli(arguments, dir_.filePath(QStringLiteral("home")));
  }
  // The latitude a photo holds, from trevalo-cli itself; NaN when it holds none.
  double LatitudeIn(const QString& photo) const {
    const auto info =
        Cli({QStringLiteral("photo"), QStringLiteral("info"), QStringLiteral("--json"), photo});
    EXPECT_EQ(info.exitCode, 0) << info.err.toStdString();
    const QJsonObject o = info.Json().array()[0].toObject();
    return o.contains(QStringLiteral("latitudeDegrees"))
               ? o[QStringLiteral("latitudeDegrees")].toDouble()
               : std::nan("");
  }
  QByteArray Visible(const QString& path) const { return VisibleText(path).toUtf8(); }

  test::TemporaryFolder dir_;
  QString log_;
  QString photo_;
  std::vector<test::GeneratedFix> fixes_;
};

TEST_F(FileNames, PhotoAndLogInfoReadTheFileAndShowItsBytes) {
  const auto text = Cli({QStringLiteral("photo"), QStringLiteral("info"), photo_});
  ASSERT_EQ(text.exitCode, 0) << text.err.toStdString();
  EXPECT_TRUE(text.out.startsWith(Visible(photo_) + "\n  taken    2009:05:17 19:10:00\n"))
      << text.out.toStdString();
  EXPECT_TRUE(text.out.contains("/photos/caf\\xe9.jpg"));

  const auto json =
      Cli({QStringLiteral("photo"), QStringLiteral("info"), QStringLiteral("--json"), photo_});
  ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
  EXPECT_TRUE(json.out.contains("/photos/caf\\udce9.jpg\""));
  EXPECT_EQ(json.Json().array()[0].toObject()[QStringLiteral("photo")].toString(), photo_);

  const auto log = Cli({QStringLiteral("log"), QStringLiteral("info"), QStringLiteral("--zone"),
                        QStringLiteral("900"), log_});
  ASSERT_EQ(log.exitCode, 0) << log.err.toStdString();
  EXPECT_TRUE(log.out.startsWith(Visible(log_) + "\n  points 61,")) << log.out.toStdString();
}

TEST_F(FileNames, GeotagWritesTheCopyUnderTheSameBytesAndThePhotoInPlace) {
  const QString out = dir_.filePath(QStringLiteral("out"));
  const auto copied =
      Cli({QStringLiteral("geotag"), QStringLiteral("--log"), log_, QStringLiteral("--zone"),
           QStringLiteral("900"), QStringLiteral("--out"), out, QStringLiteral("--json"), photo_});
  ASSERT_EQ(copied.exitCode, 0) << copied.err.toStdString();
  const QJsonObject outcome = copied.Json().array()[0].toObject();
  EXPECT_EQ(outcome[QStringLiteral("log")].toString(), log_);
  EXPECT_EQ(outcome[QStringLiteral("written")].toString(),
            out + u'/' + PathFromNative("caf\xe9.jpg"));
  EXPECT_EQ(FolderEntries(out), QStringList{PathFromNative("caf\xe9.jpg")});
  EXPECT_NEAR(LatitudeIn(out + u'/' + PathFromNative("caf\xe9.jpg")), fixes_[10].latitude, 1e-4);
  EXPECT_TRUE(std::isnan(LatitudeIn(photo_)));

  // In place, once through a link to the photo: the photo is tagged, the link stays.
  const QString link = dir_.filePath(QStringLiteral("photos/linked.jpg"));
  ASSERT_EQ(::symlink("caf\xe9.jpg", NativePath(link).constData()), 0);
  const auto inPlace =
      Cli({QStringLiteral("geotag"), QStringLiteral("--log"), log_, QStringLiteral("--zone"),
           QStringLiteral("900"), QStringLiteral("--in-place"), link});
  ASSERT_EQ(inPlace.exitCode, 0) << inPlace.err.toStdString();
  struct stat status {};
  ASSERT_EQ(::lstat(NativePath(link).constData(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
  EXPECT_NEAR(LatitudeIn(photo_), fixes_[10].latitude, 1e-4);
  EXPECT_EQ(FolderEntries(dir_.filePath(QStringLiteral("photos"))).size(), 2);
}

TEST_F(FileNames, TheLibraryKeepsTheNameAndExportsWriteUnderIt) {
  const QString library = dir_.filePath(QStringLiteral("library"));
  const auto added =
      Cli({QStringLiteral("--library"), library, QStringLiteral("library"), QStringLiteral("add"),
           QStringLiteral("--zone"), QStringLiteral("900"), log_});
  ASSERT_EQ(added.exitCode, 0) << added.err.toStdString();
  EXPECT_EQ(added.out, "added " + Visible(log_) + '\n');
  const auto listed = Cli({QStringLiteral("--library"), library, QStringLiteral("library"),
                           QStringLiteral("list"), QStringLiteral("--json")});
  ASSERT_EQ(listed.exitCode, 0) << listed.err.toStdString();
  EXPECT_EQ(listed.Json().array()[0].toObject()[QStringLiteral("file")].toString(), log_);
  // Matched against the library, which found the log under its name.
  const auto tagged = Cli({QStringLiteral("--library"), library, QStringLiteral("geotag"),
                           QStringLiteral("--in-place"), photo_});
  ASSERT_EQ(tagged.exitCode, 0) << tagged.err.toStdString();
  EXPECT_NEAR(LatitudeIn(photo_), fixes_[10].latitude, 1e-4);

  const QString gpx = Latin1Path("out/caf\xe9.gpx");
  const auto exported = Cli({QStringLiteral("export"), QStringLiteral("--format"),
                             QStringLiteral("gpx"), QStringLiteral("--out"), gpx, log_});
  ASSERT_EQ(exported.exitCode, 0) << exported.err.toStdString();
  EXPECT_TRUE(test::ReadFile(gpx).contains("<trkpt"));
  const QString batch = dir_.filePath(QStringLiteral("batch"));
  ASSERT_TRUE(MakeFolders(batch));
  const auto batched = Cli({QStringLiteral("export"), QStringLiteral("--format"),
                            QStringLiteral("kml"), QStringLiteral("--batch"), batch, log_});
  ASSERT_EQ(batched.exitCode, 0) << batched.err.toStdString();
  EXPECT_EQ(FolderEntries(batch), QStringList{PathFromNative("caf\xe9.KML")});
}

}  // namespace
}  // namespace trevalo
