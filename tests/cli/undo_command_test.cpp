// End to end: photos placed by hand with trevalo-cli geotag --at, and runs that changed the
// user's files taken back with trevalo-cli undo, down to the byte, even after a kill -9.

#include <gtest/gtest.h>

#include <csignal>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include "cli/cli_runner.h"
#include "support/test_files.h"
#include "support/test_photos.h"

namespace trevalo {
namespace {

using test::RunCli;

class PlacedAndUndone : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::TestDataFolder().isEmpty() || !test::HaveProgram(QStringLiteral("exiftool"))) {
      GTEST_SKIP() << "the shared test data or exiftool is absent";
    }
  }
  // A copy of a shared camera photo in the test's folder.
  QString CameraPhoto(const char* shared, const QString& name) {
    const QString path = dir_.filePath(name);
    QFile::copy(test::TestDataFolder() + QStringLiteral("/jpeg/") + QLatin1String(shared), path);
    QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return path;
  }
  QJsonObject ExifTool(const QString& file) {
    const QByteArray json =
        test::Run(QStringLiteral("exiftool"), {QStringLiteral("-j"), QStringLiteral("-n"), file});
    return QJsonDocument::fromJson(json).array().at(0).toObject();
  }
  QString Home() const { return dir_.filePath(QStringLiteral("home")); }
  QTemporaryDir dir_;
};

TEST_F(PlacedAndUndone, AtPlacesEveryKindOfPhotoWhereExiftoolReadsItAndRefusesNoPosition) {
  const QString inPlace = CameraPhoto("ianare_Canon_40D.jpg", QStringLiteral("a.jpg"));
  const QString raw = dir_.filePath(QStringLiteral("IMG_2.dng"));
  ASSERT_TRUE(test::MakeOtherPhoto(raw, "2021:02:13 10:20:00"));
  const QByteArray rawBefore = test::ReadFile(raw);

  // Refused before anything is written: out of range, not numbers, no position, with logs.
  const QByteArray photoBefore = test::ReadFile(inPlace);
  for (const QStringList& wrong : {QStringList{QStringLiteral("--at"), QStringLiteral("90.5,10")},
                                   {QStringLiteral("--at"), QStringLiteral("10,-180.01")},
                                   {QStringLiteral("--at"), QStringLiteral("10,20,100001")},
                                   {QStringLiteral("--at"), QStringLiteral("ten,20")},
                                   {QStringLiteral("--at"), QStringLiteral("10")},
                                   {QStringLiteral("--at"), QStringLiteral("0,20")},
                                   {QStringLiteral("--at"), QStringLiteral("10,20"),
                                    QStringLiteral("--tolerance"), QStringLiteral("1")},
                                   {QStringLiteral("--at"), QStringLiteral("10,20"),
                                    QStringLiteral("--lat-offset"), QStringLiteral("50")}}) {
    const test::CliResult run =
        RunCli(QStringList{QStringLiteral("geotag"), QStringLiteral("--in-place")} + wrong +
                   QStringList{inPlace},
               Home());
    EXPECT_EQ(run.exitCode, 2) << wrong.join(u' ').toStdString();
    EXPECT_FALSE(run.err.isEmpty());
  }
  EXPECT_EQ(test::ReadFile(inPlace), photoBefore);

  // South and west, below sea level, to the thousandth of a second of arc.
  const test::CliResult run =
      RunCli({QStringLiteral("geotag"), QStringLiteral("--at"),
              QStringLiteral("-33.8567844,-70.6482,-12.5"), QStringLiteral("--in-place"),
              QStringLiteral("--json"), inPlace, raw},
             Home());
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  const QJsonArray outcomes = run.Json().array();
  ASSERT_EQ(outcomes.size(), 2);
  for (const QJsonValue outcome : outcomes) {
    EXPECT_TRUE(outcome[QStringLiteral("placed")].toBool());
    EXPECT_DOUBLE_EQ(outcome[QStringLiteral("altitudeMetres")].toDouble(), -12.5);
  }
  EXPECT_EQ(outcomes[1][QStringLiteral("written")].toString(), raw + QStringLiteral(".xmp"));
  EXPECT_EQ(test::ReadFile(raw), rawBefore);  // a RAW is never changed: its sidecar is
  for (const QString& file : {inPlace, raw + QStringLiteral(".xmp")}) {
    const QJsonObject tags = ExifTool(file);
    EXPECT_NEAR(tags[QStringLiteral("GPSLatitude")].toDouble(), -33.8567844, 0.5e-3 / 3600)
        << file.toStdString();
    EXPECT_NEAR(tags[QStringLiteral("GPSLongitude")].toDouble(), -70.6482, 0.5e-3 / 3600);
    EXPECT_DOUBLE_EQ(tags[QStringLiteral("GPSAltitude")].toDouble(), -12.5);
    EXPECT_EQ(tags[QStringLiteral("GPSMapDatum")].toString(), QStringLiteral("WGS-84"));
    // No time: a hand's place is no fix of a receiver.
    EXPECT_FALSE(tags.contains(QStringLiteral("GPSTimeStamp")));
  }

  // Copies with their document, without an altitude: none is written.
  const QString folder = dir_.filePath(QStringLiteral("out"));
  QDir().mkpath(folder);
  const QString second = CameraPhoto("mdx_beach.jpg", QStringLiteral("b.jpg"));
  const test::CliResult copy = RunCli(
      {QStringLiteral("geotag"), QStringLiteral("--at"), QStringLiteral("48.8584,2.2945"),
       QStringLiteral("--out"), folder, QStringLiteral("--kml"), QStringLiteral("paris"), second},
      Home());
  ASSERT_EQ(copy.exitCode, 0) << copy.err.toStdString();
  EXPECT_EQ(copy.out, second.toUtf8() + ": placed at (48.8584, 2.2945) -> " +
                          QDir(folder).filePath(QStringLiteral("b.jpg")).toUtf8() + "\nwrote " +
                          QDir(folder).filePath(QStringLiteral("paris.KML")).toUtf8() + "\n");
  // The document's placemark stands where the photo was placed.
  EXPECT_TRUE(test::ReadFile(QDir(folder).filePath(QStringLiteral("paris.KML")))
                  .contains("2.294500,48.858400"))
      << test::ReadFile(QDir(folder).filePath(QStringLiteral("paris.KML"))).toStdString();
  const QJsonObject copied = ExifTool(QDir(folder).filePath(QStringLiteral("b.jpg")));
  EXPECT_NEAR(copied[QStringLiteral("GPSLatitude")].toDouble(), 48.8584, 0.5e-3 / 3600);
  EXPECT_FALSE(copied.contains(QStringLiteral("GPSAltitude")));
}

TEST_F(PlacedAndUndone, UndoPutsBackPhotosAndSidecarsByteForByteAndRefusesWhatChangedSince) {
  const QString first = CameraPhoto("ianare_gps_DSCN0010.jpg", QStringLiteral("a.jpg"));
  const QString second =
      CameraPhoto("ianare_Konica_Minolta_DiMAGE_Z3.jpg", QStringLiteral("b.jpg"));
  const QString third = CameraPhoto("mdx_beach.jpg", QStringLiteral("c.jpg"));
  const QString raw = dir_.filePath(QStringLiteral("IMG_4.dng"));
  ASSERT_TRUE(test::MakeOtherPhoto(raw, "2021:02:13 10:20:00"));
  // One sidecar is there already, with the user's rating; the other is new.
  const QString oldSidecar = raw + QStringLiteral(".xmp");
  test::WriteFile(
      oldSidecar,
      "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
      "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description "
      "xmlns:xmp='http://ns.adobe.com/xap/1.0/' xmp:Rating='4'/></rdf:RDF></x:xmpmeta>\n");
  const QString newSidecar = first + QStringLiteral(".xmp");
  const QStringList files = {first, second, third, raw, oldSidecar};
  QList<QByteArray> before;
  QList<QDateTime> stamps;
  for (const QString& file : files) {
    before << test::ReadFile(file);
    stamps << QFileInfo(file).lastModified();
  }
  QThread::msleep(20);  // the run's writes get stamps of their own
  // The photos in place, and the first one's position also into a sidecar of its own.
  ASSERT_EQ(RunCli({QStringLiteral("geotag"), QStringLiteral("--at"), QStringLiteral("10.5,20.5"),
                    QStringLiteral("--in-place"), first, second, third, raw},
                   Home())
                .exitCode,
            0);
  ASSERT_EQ(RunCli({QStringLiteral("geotag"), QStringLiteral("--at"), QStringLiteral("11.5,21.5"),
                    QStringLiteral("--sidecar"), first},
                   Home())
                .exitCode,
            0);
  ASSERT_TRUE(QFileInfo::exists(newSidecar));
  for (const qsizetype i : {0, 1, 2, 4}) {  // the RAW photo itself is never changed
    EXPECT_NE(test::ReadFile(files[i]), before[i]) << files[i].toStdString();
  }
  const QJsonArray runs =
      RunCli({QStringLiteral("undo"), QStringLiteral("--list"), QStringLiteral("--json")}, Home())
          .Json()
          .array();
  ASSERT_EQ(runs.size(), 2);
  EXPECT_EQ(runs[0][QStringLiteral("files")].toInt(), 1);  // the newest first
  EXPECT_EQ(runs[1][QStringLiteral("files")].toInt(), 4);
  EXPECT_TRUE(
      runs[1][QStringLiteral("description")].toString().contains(QStringLiteral("--in-place")));
  // What is kept never outweighs what it restores: the photos' image data is not copied.
  qint64 restored = 0;
  for (const QByteArray& content : before) {
    restored += content.size();
  }
  EXPECT_LT(runs[1][QStringLiteral("bytes")].toInteger(), restored / 4);

  // The newest run: the sidecar it made goes.
  const test::CliResult undoSidecar = RunCli({QStringLiteral("undo")}, Home());
  EXPECT_EQ(undoSidecar.exitCode, 0) << undoSidecar.err.toStdString();
  EXPECT_FALSE(QFileInfo::exists(newSidecar));

  // Someone edits one photo after the run: it is named and kept, the others come back.
  QByteArray edited = test::ReadFile(second);
  edited.append("more");
  test::WriteFile(second, edited.toStdString());
  const test::CliResult undo = RunCli({QStringLiteral("undo")}, Home());
  EXPECT_EQ(undo.exitCode, 1);
  EXPECT_TRUE(undo.err.contains(QFile::encodeName(second) + ": changed since the run"))
      << undo.err.toStdString();
  EXPECT_EQ(test::ReadFile(second), edited);
  for (const qsizetype i : {0, 2, 3, 4}) {
    EXPECT_EQ(test::ReadFile(files[i]), before[i]) << files[i].toStdString();
    EXPECT_EQ(QFileInfo(files[i]).lastModified(), stamps[i]) << files[i].toStdString();
  }
  // Nothing is left to take back.
  EXPECT_TRUE(RunCli({QStringLiteral("undo"), QStringLiteral("--list")}, Home()).out.isEmpty());
  EXPECT_EQ(RunCli({QStringLiteral("undo")}, Home()).exitCode, 1);
}

TEST_F(PlacedAndUndone, ARunKilledAtAnyMomentLeavesEachPhotoOriginalOrTaggedAndUndoRestoresAll) {
  // Enough photos that the run is cut in its middle: each write reaches the disk first.
  QStringList photos;
  QList<QByteArray> before;
  for (int i = 0; i < 150; ++i) {
    photos << CameraPhoto("ianare_gps_DSCN0010.jpg", QStringLiteral("p%1.jpg").arg(i));
  }
  const QByteArray original = test::ReadFile(photos[0]);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("TREVALO_HOME"), Home());
  // How many photos the running journal says it has kept so far.
  const auto keptSoFar = [&] {
    int lines = 0;
    for (const QFileInfo& run :
         QDir(Home() + QStringLiteral("/undo")).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
      lines += test::ReadFile(run.filePath() + QStringLiteral("/entries")).count("keep\t");
    }
    return lines;
  };
  int tagged = 0;
  int kept = 0;
  // Killed at once, and once the journal has kept the first, the 40th and the 100th photo
  // (the moment a photo may be in the middle of its change).
  for (const int stage : {0, 1, 40, 100}) {
    QProcess run;
    run.setProcessEnvironment(environment);
    const double latitude = 10 + stage / 10.0;
    run.start(test::BinaryFolder() + QStringLiteral("/trevalo-cli"),
              QStringList{QStringLiteral("geotag"), QStringLiteral("--at"),
                          QStringLiteral("%1,20").arg(latitude), QStringLiteral("--in-place")} +
                  photos);
    ASSERT_TRUE(run.waitForStarted());
    QElapsedTimer waited;
    waited.start();
    while (stage > 0 && keptSoFar() < stage && !run.waitForFinished(0) &&
           waited.elapsed() < 30'000) {
      QThread::usleep(500);
    }
    ::kill(static_cast<pid_t>(run.processId()), SIGKILL);
    run.waitForFinished();
    // Each photo is whole: the original, or the one tagged photo (the same for all of them,
    // which exiftool reads).
    QByteArray taggedForm;
    for (const QString& photo : photos) {
      const QByteArray now = test::ReadFile(photo);
      if (now == original) {
        continue;
      }
      ++tagged;
      if (taggedForm.isEmpty()) {
        taggedForm = now;
        EXPECT_NEAR(ExifTool(photo)[QStringLiteral("GPSLatitude")].toDouble(), latitude, 1e-6)
            << photo.toStdString();
      }
      EXPECT_EQ(now, taggedForm) << photo.toStdString() << " at " << stage;
    }
    const test::CliResult undo = RunCli({QStringLiteral("undo")}, Home());
    kept += undo.exitCode == 0 ? 1 : 0;
    EXPECT_TRUE(undo.exitCode == 0 || undo.err.contains("no run to take back"))
        << undo.err.toStdString();
    for (const QString& photo : photos) {
      ASSERT_EQ(test::ReadFile(photo), original) << photo.toStdString() << " at " << stage;
    }
  }
  EXPECT_GT(tagged, 0);  // some kill came in the middle of the writes
  EXPECT_GT(kept, 0);
}

}  // namespace
}  // namespace trevalo
