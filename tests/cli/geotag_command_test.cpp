// End to end: photos and a log, trevalo-cli geotag, then exiftool reads the positions.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "cli/cli_runner.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "support/test_photos.h"

namespace trevalo {
namespace {

using test::RunCli;

class Geotag : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QStandardPaths::findExecutable(QStringLiteral("exiftool")).isEmpty()) {
      GTEST_SKIP() << "exiftool is not installed";
    }
    log_ = dir_.filePath(QStringLiteral("walk.log"));
    test::WriteFile(log_, test::GenerateLog({.hour = 10,
                                             .epochs = 61,
                                             .intervalSeconds = 60,
                                             .latitude = -33.5,
                                             .longitude = 151.25},
                                            &fixes_));
    QDir().mkpath(dir_.filePath(QStringLiteral("photos")));
    QDir().mkpath(dir_.filePath(QStringLiteral("out")));
  }
  // A photo taken `minutes` after 19:00 local time (+09:00), that is 10:00 UTC.
  QString Photo(const QString& name, int minutes) {
    const QString path = dir_.filePath(QStringLiteral("photos/") + name);
    QFile::copy(test::SourceFolder() + QStringLiteral("/fuzz/corpus/exif_file/le.jpg"), path);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QProcess exiftool;
    exiftool.start(QStringLiteral("exiftool"),
                   {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
                    QStringLiteral("-DateTimeOriginal=2009:05:17 %1:%2:00")
                        .arg(19 + minutes / 60)
                        .arg(minutes % 60, 2, 10, QChar(u'0')),
                    path});
    exiftool.waitForFinished();
    return path;
  }
  QByteArray ExifTool(const QString& path) {
    QProcess exiftool;
    exiftool.start(QStringLiteral("exiftool"),
                   {QStringLiteral("-n"), QStringLiteral("-s3"), QStringLiteral("-GPSLatitude"),
                    QStringLiteral("-GPSLatitudeRef"), QStringLiteral("-GPSLongitude"), path});
    exiftool.waitForFinished();
    return exiftool.readAllStandardOutput();
  }
  QString Home() const { return dir_.filePath(QStringLiteral("home")); }
  QTemporaryDir dir_;
  QString log_;
  std::vector<test::GeneratedFix> fixes_;
};

TEST_F(Geotag, CopiesCarryTheMatchedPositions) {
  QStringList photos;
  for (int i = 0; i < 5; ++i) {
    photos << Photo(QStringLiteral("p%1.jpg").arg(i), 5 + i * 12);
  }
  photos << Photo(QStringLiteral("late.jpg"), 150);  // 90 minutes after the log
  const auto result =
      RunCli(QStringList{QStringLiteral("geotag"), QStringLiteral("--log"), log_,
                         QStringLiteral("--zone"), QStringLiteral("900"), QStringLiteral("--out"),
                         dir_.filePath(QStringLiteral("out")), QStringLiteral("--json")} +
                 photos,
             Home());
  ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
  const QJsonArray outcomes = result.Json().array();
  ASSERT_EQ(outcomes.size(), 6);
  for (int i = 0; i < 5; ++i) {
    const QJsonObject o = outcomes[i].toObject();
    ASSERT_TRUE(o[QStringLiteral("matched")].toBool()) << i;
    EXPECT_EQ(o[QStringLiteral("pointIndex")].toInt(), 5 + i * 12);
    const QString written = o[QStringLiteral("written")].toString();
    EXPECT_EQ(written, dir_.filePath(QStringLiteral("out/p%1.jpg").arg(i)));
    const QList<QByteArray> tags = ExifTool(written).split('\n');
    ASSERT_GE(tags.size(), 3);
    const test::GeneratedFix& fix = fixes_[static_cast<std::size_t>(5 + i * 12)];
    // The fix as the log holds it (within 1e-6 degrees); exiftool signs the composite value.
    EXPECT_NEAR(tags[0].toDouble(), fix.latitude, 1e-6);
    EXPECT_EQ(tags[1], "S");
    EXPECT_NEAR(tags[2].toDouble(), fix.longitude, 1e-6);
  }
  EXPECT_FALSE(outcomes[5].toObject()[QStringLiteral("matched")].toBool());
  EXPECT_FALSE(QFile::exists(dir_.filePath(QStringLiteral("out/late.jpg"))));
}

// Photos are read and written on several threads; what comes out is what one thread
// makes: the output, the names the copies take, and their bytes.
TEST_F(Geotag, ManyThreadsWriteWhatOneThreadWrites) {
  const QString seed = Photo(QStringLiteral("seed.jpg"), 5);
  const QByteArray seedBytes = test::ReadFile(seed);
  ASSERT_TRUE(seedBytes.contains("2009:05:17 19:05:00"));
  QStringList photos;
  // The capture time patched into a copy of the seed photo.
  const auto photo = [&](const QString& name, int minutes) {
    QByteArray bytes = seedBytes;
    bytes.replace("2009:05:17 19:05:00", QStringLiteral("2009:05:17 %1:%2:00")
                                             .arg(19 + minutes / 60)
                                             .arg(minutes % 60, 2, 10, QChar(u'0'))
                                             .toLatin1());
    const QString path = dir_.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    test::WriteFile(path, bytes.toStdString());
    return path;
  };
  for (int i = 0; i < 30; ++i) {
    photos << photo(QStringLiteral("photos/p%1.jpg").arg(i), i * 2);
  }
  // Names that meet in the output folder, from several folders; "_" names as the copies of
  // taken names get.
  for (const char* folder : {"a", "b", "c", "d", "e", "f", "g", "h"}) {
    photos << photo(QStringLiteral("%1/IMG.jpg").arg(QLatin1String(folder)), 31);
    photos << photo(QStringLiteral("%1/_IMG.jpg").arg(QLatin1String(folder)), 32);
  }
  photos << photo(QStringLiteral("c/img.JPG"), 33);
  photos << photo(QStringLiteral("photos/late.jpg"), 150) << photo(QStringLiteral("b/late.jpg"), 7);
  const QString text = dir_.filePath(QStringLiteral("photos/text.jpg"));
  test::WriteFile(text, "not a photo");
  const QString cut = dir_.filePath(QStringLiteral("photos/cut.jpg"));
  test::WriteFile(cut, seedBytes.left(seedBytes.size() / 40).toStdString());
  const QString link = dir_.filePath(QStringLiteral("photos/link.jpg"));
  ASSERT_TRUE(QFile::link(photos[3], link));
  photos.insert(10, text);
  photos.insert(20, cut);
  photos << photos[5] << link << dir_.filePath(QStringLiteral("photos/missing.jpg"));
  const auto run = [&](const QString& threads) {
    const QString out = dir_.filePath(QStringLiteral("out_") + threads);
    QDir().mkpath(out);
    test::WriteFile(out + QStringLiteral("/IMG.jpg"), "taken");
    test::WriteFile(out + QStringLiteral("/__IMG.jpg"), "taken too");
    auto result =
        RunCli(QStringList{QStringLiteral("geotag"), QStringLiteral("--log"), log_,
                           QStringLiteral("--zone"), QStringLiteral("900"), QStringLiteral("--out"),
                           out, QStringLiteral("--kml"), QStringLiteral("doc")} +
                   photos,
               Home(), {QStringLiteral("TREVALO_THREADS=") + threads});
    result.out.replace(out.toUtf8(), "OUT");
    result.err.replace(out.toUtf8(), "OUT");
    QMap<QString, QByteArray> files;
    for (const QString& name : QDir(out).entryList(QDir::Files | QDir::Hidden)) {
      QByteArray bytes = test::ReadFile(out + u'/' + name);
      files[name] = bytes.replace(out.toUtf8(), "OUT");
    }
    return std::make_pair(result, files);
  };
  const auto [single, singleFiles] = run(QStringLiteral("1"));
  EXPECT_EQ(single.exitCode, 1);
  EXPECT_TRUE(single.out.contains("OUT/_IMG.jpg")) << single.out.toStdString();
  EXPECT_TRUE(single.out.contains("not matched")) << single.out.toStdString();
  EXPECT_GE(singleFiles.size(), 48);
  for (const QString& threads : {QStringLiteral("2"), QStringLiteral("7")}) {
    const auto [many, manyFiles] = run(threads);
    EXPECT_EQ(many.exitCode, single.exitCode);
    EXPECT_EQ(many.out, single.out);
    EXPECT_EQ(many.err, single.err);
    EXPECT_EQ(manyFiles.keys(), singleFiles.keys());
    EXPECT_TRUE(manyFiles == singleFiles) << threads.toStdString();
  }
}

TEST_F(Geotag, APhotoOnALogWhosePointsCannotBeReadIsToldAndLeftAlone) {
  test::WriteFile(log_,
                  test::GenerateLog({.hour = 10,
                                     .epochs = 61,
                                     .intervalSeconds = 60,
                                     .replacedFields = {{.epoch = 30, .time = "250000.000"}}}));
  const QString photo = Photo(QStringLiteral("p.jpg"), 20);
  const QByteArray before = test::ReadFile(photo);
  for (const QString& mode : {QStringLiteral("--in-place"), QStringLiteral("--out")}) {
    QStringList arguments{QStringLiteral("geotag"), QStringLiteral("--log"), log_,
                          QStringLiteral("--zone"), QStringLiteral("900"),   mode};
    if (mode == u"--out") {
      arguments << dir_.filePath(QStringLiteral("out"));
    }
    const auto result = RunCli(arguments << photo, Home());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.out.contains("cannot be read")) << result.out.toStdString();
    EXPECT_TRUE(result.err.contains((photo + QStringLiteral(": the points of ") + log_).toUtf8()))
        << result.err.toStdString();
    EXPECT_EQ(test::ReadFile(photo), before);
  }
  EXPECT_TRUE(QDir(dir_.filePath(QStringLiteral("out"))).isEmpty());
}

TEST_F(Geotag, APhotoWhoseDateCannotBeSaysSo) {
  const QString impossible = dir_.filePath(QStringLiteral("photos/month13.jpg"));
  const QString zeros = dir_.filePath(QStringLiteral("photos/zeros.jpg"));
  ASSERT_TRUE(test::MakePhotoTakenAt(impossible, "2009:13:45 19:30:00"));
  ASSERT_TRUE(test::MakePhotoTakenAt(zeros, "0000:00:00 00:00:00"));
  for (const QString& tolerance : {QStringLiteral("0"), QStringLiteral("99")}) {
    const auto result =
        RunCli({QStringLiteral("geotag"), QStringLiteral("--log"), log_, QStringLiteral("--zone"),
                QStringLiteral("900"), QStringLiteral("--tolerance"), tolerance,
                QStringLiteral("--out"), dir_.filePath(QStringLiteral("out")), impossible, zeros},
               Home());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.out.contains(
        (impossible + QStringLiteral(": the capture date 20091345 is impossible\n")).toUtf8()))
        << result.out.toStdString();
    EXPECT_TRUE(result.out.contains((zeros + QStringLiteral(": Invalid Date Time Tag\n")).toUtf8()))
        << result.out.toStdString();
    EXPECT_FALSE(result.out.contains("no log covers"));
    EXPECT_TRUE(result.err.contains(
        (impossible + QStringLiteral(": the capture date 20091345 is impossible")).toUtf8()));
  }
  EXPECT_TRUE(QDir(dir_.filePath(QStringLiteral("out"))).isEmpty());
}

TEST_F(Geotag, AWriteThatFailsIsToldOnStandardError) {
  const QString photo = Photo(QStringLiteral("p.jpg"), 30);
  // Files may grow to 1 KiB only, as on a full disk; the signal is ignored, so writes fail.
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("TREVALO_HOME"), Home());
  process.setProcessEnvironment(environment);
  process.start(QStringLiteral("bash"),
                {QStringLiteral("-c"), QStringLiteral("trap '' XFSZ; ulimit -f 1; exec \"$@\""),
                 QStringLiteral("bash"), test::BinaryFolder() + QStringLiteral("/trevalo-cli"),
                 QStringLiteral("geotag"), QStringLiteral("--log"), log_, QStringLiteral("--zone"),
                 QStringLiteral("900"), QStringLiteral("--out"),
                 dir_.filePath(QStringLiteral("out")), photo});
  ASSERT_TRUE(process.waitForFinished(60000));
  EXPECT_EQ(process.exitCode(), 1);
  const QByteArray err = process.readAllStandardError();
  EXPECT_TRUE(err.contains(photo.toUtf8() + ": ")) << err.toStdString();
  EXPECT_TRUE(QDir(dir_.filePath(QStringLiteral("out"))).isEmpty());
}

TEST_F(Geotag, InPlaceDryRunAndProblems) {
  const QString photo = Photo(QStringLiteral("p.jpg"), 30);
  const QByteArray before = test::ReadFile(photo);
  const auto dry = RunCli(
      {QStringLiteral("geotag"), QStringLiteral("--log"), log_, QStringLiteral("--zone"),
       QStringLiteral("900"), QStringLiteral("--in-place"), QStringLiteral("--dry-run"), photo},
      Home());
  EXPECT_EQ(dry.exitCode, 0);
  EXPECT_TRUE(dry.out.contains("point 30 of"));
  EXPECT_EQ(test::ReadFile(photo), before);

  const QString notAPhoto = dir_.filePath(QStringLiteral("photos/notes.jpg"));
  test::WriteFile(notAPhoto, "text");
  const auto done =
      RunCli({QStringLiteral("geotag"), QStringLiteral("--log"), log_, QStringLiteral("--zone"),
              QStringLiteral("900"), QStringLiteral("--in-place"), notAPhoto, photo},
             Home());
  EXPECT_EQ(done.exitCode, 1);
  EXPECT_TRUE(done.out.contains((notAPhoto + QStringLiteral(": not a JPEG file")).toUtf8()));
  EXPECT_TRUE(done.err.contains((notAPhoto + QStringLiteral(": not a JPEG file")).toUtf8()));
  EXPECT_TRUE(done.out.contains((QStringLiteral(" -> ") + photo).toUtf8()));
  EXPECT_TRUE(ExifTool(photo).contains("S"));

  // A camera an hour fast, told as an offset: its 20:30 is 19:30.
  const QString fast = Photo(QStringLiteral("fast.jpg"), 90);
  const auto corrected =
      RunCli({QStringLiteral("geotag"), QStringLiteral("--log"), log_, QStringLiteral("--zone"),
              QStringLiteral("900"), QStringLiteral("--camera-offset"), QStringLiteral("-3600"),
              QStringLiteral("--dry-run"), QStringLiteral("--out"),
              dir_.filePath(QStringLiteral("out")), fast},
             Home());
  EXPECT_TRUE(corrected.out.contains("point 30 of")) << corrected.out.toStdString();

  EXPECT_EQ(
      RunCli({QStringLiteral("geotag"), QStringLiteral("--log"), log_, photo}, Home()).exitCode, 2);
  EXPECT_EQ(RunCli({QStringLiteral("geotag"), QStringLiteral("--log"), log_,
                    QStringLiteral("--out"), dir_.filePath(QStringLiteral("missing")), photo},
                   Home())
                .exitCode,
            1);
  EXPECT_EQ(RunCli({QStringLiteral("geotag"), QStringLiteral("--tolerance"), QStringLiteral("5"),
                    QStringLiteral("--in-place"), photo},
                   Home())
                .exitCode,
            2);
}

TEST_F(Geotag, AgainstTheLibrary) {
  const QString library = dir_.filePath(QStringLiteral("library"));
  RunCli({QStringLiteral("--library"), library, QStringLiteral("library"), QStringLiteral("add"),
          QStringLiteral("--zone"), QStringLiteral("900"), log_},
         Home());
  const QString photo = Photo(QStringLiteral("p.jpg"), 20);
  const auto result = RunCli({QStringLiteral("--library"), library, QStringLiteral("geotag"),
                              QStringLiteral("--out"), dir_.filePath(QStringLiteral("out")), photo},
                             Home());
  ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
  EXPECT_TRUE(result.out.contains("point 20 of")) << result.out.toStdString();
}

TEST_F(Geotag, KmlAndPackageOfTheTaggedPhotos) {
  const QString out = dir_.filePath(QStringLiteral("out"));
  const QStringList photos{Photo(QStringLiteral("a.jpg"), 10), Photo(QStringLiteral("b.jpg"), 20)};
  const QStringList arguments =
      QStringList{
          QStringLiteral("geotag"),    QStringLiteral("--log"), log_, QStringLiteral("--zone"),
          QStringLiteral("900"),       QStringLiteral("--out"), out,  QStringLiteral("--kml"),
          QStringLiteral("walk: day"), QStringLiteral("--kmz")} +
      photos;
  const auto result = RunCli(arguments, Home());
  ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
  const QString kml = dir_.filePath(QStringLiteral("out/walk_ day.KML"));
  EXPECT_TRUE(result.out.contains("wrote " + kml.toUtf8())) << result.out.toStdString();
  const QByteArray document = test::ReadFile(kml);
  EXPECT_TRUE(document.contains("<name>walk: day</name>"));
  EXPECT_EQ(document.count("<styleUrl>#camera</styleUrl>"), 2);
  EXPECT_EQ(test::Run(QStringLiteral("unzip"),
                      {QStringLiteral("-Z1"), dir_.filePath(QStringLiteral("out/walk_ day.KMZ"))}),
            QByteArray("a.jpg\nb.jpg\nwalk_ day.KML\n"));

  // An existing document is replaced only when asked to.
  const auto again = RunCli(arguments, Home());
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_TRUE(again.err.contains("give --force")) << again.err.toStdString();
  EXPECT_EQ(RunCli(arguments + QStringList{QStringLiteral("--force")}, Home()).exitCode, 0);
  EXPECT_EQ(RunCli({QStringLiteral("geotag"), QStringLiteral("--kmz"), QStringLiteral("--out"), out,
                    photos[0]},
                   Home())
                .exitCode,
            2);
}

// In place, the document beside the package finds its images: each tagged photo is copied
// into the document's folder (the current folder) under its name in the package.
TEST_F(Geotag, InPlaceWithAPackageCopiesThePhotosBesideTheDocument) {
  const QString out = dir_.filePath(QStringLiteral("out"));
  const QStringList photos{Photo(QStringLiteral("a.jpg"), 10), Photo(QStringLiteral("b.jpg"), 20)};
  test::WriteFile(out + QStringLiteral("/b.jpg"), "another photo of that name");
  const QString before = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(out));
  const auto result = RunCli(
      QStringList{QStringLiteral("geotag"), QStringLiteral("--log"), log_, QStringLiteral("--zone"),
                  QStringLiteral("900"), QStringLiteral("--in-place"), QStringLiteral("--kml"),
                  QStringLiteral("walk"), QStringLiteral("--kmz")} +
          photos,
      Home());
  QDir::setCurrent(before);
  ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
  EXPECT_TRUE(ExifTool(photos[0]).contains("S")) << "tagged in place";
  // The copies are the tagged photos; the file that was there keeps its content.
  EXPECT_EQ(test::ReadFile(out + QStringLiteral("/a.jpg")), test::ReadFile(photos[0]));
  EXPECT_EQ(test::ReadFile(out + QStringLiteral("/_b.jpg")), test::ReadFile(photos[1]));
  EXPECT_EQ(test::ReadFile(out + QStringLiteral("/b.jpg")),
            QByteArray("another photo of that name"));
  const QByteArray document = test::ReadFile(out + QStringLiteral("/walk.KML"));
  EXPECT_TRUE(document.contains("<img src='a.jpg'")) << document.toStdString();
  EXPECT_TRUE(document.contains("<img src='_b.jpg'")) << document.toStdString();
  EXPECT_EQ(test::Run(QStringLiteral("unzip"),
                      {QStringLiteral("-Z1"), out + QStringLiteral("/walk.KMZ")}),
            QByteArray("a.jpg\n_b.jpg\nwalk.KML\n"));

  // Tagged in their own folder, the photos are already beside the document.
  const QString photoFolder = dir_.filePath(QStringLiteral("photos"));
  ASSERT_TRUE(QDir::setCurrent(photoFolder));
  const auto again = RunCli(
      QStringList{QStringLiteral("geotag"), QStringLiteral("--log"), log_, QStringLiteral("--zone"),
                  QStringLiteral("900"), QStringLiteral("--in-place"), QStringLiteral("--kml"),
                  QStringLiteral("here"), QStringLiteral("--kmz")} +
          photos,
      Home());
  QDir::setCurrent(before);
  ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
  EXPECT_EQ(QDir(photoFolder).entryList(QDir::Files),
            (QStringList{QStringLiteral("a.jpg"), QStringLiteral("b.jpg"),
                         QStringLiteral("here.KML"), QStringLiteral("here.KMZ")}));
}

}  // namespace
}  // namespace trevalo
