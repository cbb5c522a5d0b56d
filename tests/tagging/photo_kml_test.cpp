#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>

#include "support/log_generator.h"
#include "support/test_files.h"
#include "support/test_photos.h"
#include "tagging/photo_kml.h"

namespace trevalo {
namespace {

const DisplayFormats kFormats{QStringLiteral("%Y-%m-%d %H:%M:%S"),
                              QStringLiteral("%s %d %02d %05.2f")};

// A log 10:00-11:00 UTC (zone 0), photos taken in and out of it, and a save folder.
class PhotoKmlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveProgram(QStringLiteral("exiftool")) ||
        !test::HaveProgram(QStringLiteral("unzip"))) {
      GTEST_SKIP() << "exiftool or unzip is not installed";
    }
    if (const QString missing = test::SeedPhotosMissing(); !missing.isEmpty()) {
      GTEST_SKIP() << missing.toStdString();
    }
    const QString log = dir_.filePath(QStringLiteral("walk.log"));
    test::WriteFile(log,
                    test::GenerateLog(
                        {.hour = 10, .epochs = 61, .intervalSeconds = 60, .waypointEpochs = {30}}));
    library_ = std::make_unique<LogLibrary>(
        LogLibrary::InMemory({{log, 6, 2, QStringLiteral("sunny"), 0}}, 0));
    QDir().mkpath(Saved());
    options_.saveFolder = Saved();
    options_.kml = true;
    options_.kmlName = QStringLiteral("Walk: <day 1>");
    options_.photoFolderName = QStringLiteral("Photos");
    options_.trackFolderName = QStringLiteral("Tracks");
  }
  QString Saved(const QString& name = {}) const {
    return dir_.filePath(QStringLiteral("saved/") + name);
  }
  void Add(const char* name, const char* dateTime) {
    const QString path = dir_.filePath(QStringLiteral("photos/") + QString::fromUtf8(name));
    QDir().mkpath(QFileInfo(path).absolutePath());
    ASSERT_TRUE(test::MakePhotoTakenAt(path, dateTime));
    photos_.AddPhoto(path, *library_, settings_, kFormats);
  }
  QTemporaryDir dir_;
  std::unique_ptr<LogLibrary> library_;
  MatchSettings settings_;
  PhotoList photos_;
  PhotoKmlOptions options_;
};

TEST_F(PhotoKmlTest, PackageHoldsThePhotosThenTheDocument) {
  Add("DSC_01.JPG", "2009:05:17 10:10:00");
  Add("late.jpg", "2009:05:17 15:00:00");  // outside the log: no placemark
  Add("IMG_2.JPG", "2009:05:17 10:20:00");
  test::WriteFile(Saved(QStringLiteral("DSC_01.JPG")), "taken");
  options_.kmz = true;
  options_.imageWidth = 5;  // below 10: the photo's own width
  const PhotoKmlReport report = SavePhotosWithKml(photos_, *library_, settings_, options_);
  EXPECT_TRUE(report.problems.isEmpty()) << report.problems.join(u'\n').toStdString();
  EXPECT_EQ(report.kmlPath, Saved(QStringLiteral("Walk_ _day 1_.KML")));
  EXPECT_EQ(report.kmzPath, Saved(QStringLiteral("Walk_ _day 1_.KMZ")));
  ASSERT_EQ(report.save.items.size(), 2u);
  EXPECT_EQ(photos_.size(), 1u);  // the photo outside the log stays on the list

  const QByteArray kml = test::ReadFile(report.kmlPath);
  EXPECT_TRUE(kml.contains("<name>Walk: &lt;day 1&gt;</name>"));
  EXPECT_TRUE(kml.contains("<name>_DSC_01.jpg</name>"));
  EXPECT_TRUE(kml.contains("<img src='_DSC_01.JPG' width='16' />"));  // the entry, the width
  EXPECT_TRUE(kml.contains("<name>IMG_2.jpg</name>"));
  EXPECT_FALSE(kml.contains("late.jpg"));
  // The route folder holds the track of the log the photos matched.
  EXPECT_TRUE(kml.contains("<name>walk.log(sunny)</name>"));
  EXPECT_TRUE(kml.contains("<name>Info:walk.log</name>"));

  int code = -1;
  test::Run(QStringLiteral("unzip"), {QStringLiteral("-tq"), report.kmzPath}, &code);
  EXPECT_EQ(code, 0);
  const QByteArray entries =
      test::Run(QStringLiteral("unzip"), {QStringLiteral("-Z1"), report.kmzPath});
  EXPECT_EQ(entries, QByteArray("_DSC_01.JPG\nIMG_2.JPG\nWalk_ _day 1_.KML\n"));
  const QByteArray verbose =
      test::Run(QStringLiteral("unzip"), {QStringLiteral("-Zv"), report.kmzPath});
  EXPECT_EQ(verbose.count("compression method:                             deflated"), 3)
      << verbose.toStdString();
  // The packed photo is the tagged copy.
  const QByteArray packed = test::Run(
      QStringLiteral("unzip"), {QStringLiteral("-p"), report.kmzPath, QStringLiteral("IMG_2.JPG")});
  EXPECT_EQ(packed, test::ReadFile(Saved(QStringLiteral("IMG_2.JPG"))));
}

TEST_F(PhotoKmlTest, WithoutKmlOnlyThePhotosAreSaved) {
  Add("a.jpg", "2009:05:17 10:10:00");
  options_.kml = false;
  const PhotoKmlReport report = SavePhotosWithKml(photos_, *library_, settings_, options_);
  EXPECT_TRUE(report.problems.isEmpty());
  EXPECT_EQ(QDir(Saved()).entryList(QDir::Files), QStringList{QStringLiteral("a.jpg")});
}

TEST_F(PhotoKmlTest, InPlaceKeepsTheDocumentInTheSaveFolder) {
  Add("a.jpg", "2009:05:17 10:10:00");
  options_.mode = SaveMode::kInPlace;
  options_.urlPrefix = QStringLiteral("http://example.org/p/");
  const PhotoKmlReport report = SavePhotosWithKml(photos_, *library_, settings_, options_);
  EXPECT_TRUE(report.problems.isEmpty());
  const QByteArray kml = test::ReadFile(report.kmlPath);
  EXPECT_TRUE(kml.contains("<img src='http://example.org/p/a.jpg' width='800' />"));
  EXPECT_EQ(report.save.items.at(0).written, dir_.filePath(QStringLiteral("photos/a.jpg")));
}

TEST_F(PhotoKmlTest, ImagesAreAtMost800PixelsWideWithAndWithoutAPrefix) {
  // The widest the window allows; the writer with a prefix would take it as it is.
  options_.imageWidth = 1000;
  const std::pair<const char*, QString> photos[] = {
      {"a.jpg", QString()}, {"b.jpg", QStringLiteral("http://example.org/p/")}};
  for (const auto& [name, prefix] : photos) {
    Add(name, "2009:05:17 10:10:00");  // a saved photo leaves the list
    options_.urlPrefix = prefix;
    const PhotoKmlReport report = SavePhotosWithKml(photos_, *library_, settings_, options_);
    EXPECT_TRUE(report.problems.isEmpty()) << report.problems.join(u'\n').toStdString();
    const QByteArray kml = test::ReadFile(report.kmlPath);
    EXPECT_TRUE(kml.contains("<img src='" + prefix.toUtf8() + name + "' width='800' />"))
        << kml.toStdString();
  }
}

// The src of each image, XML references resolved, in document order.
QStringList ImageSources(const QByteArray& kml) {
  QStringList sources;
  const QRegularExpression src(QStringLiteral("<img src='([^']*)'"));
  for (const QRegularExpressionMatch& m : src.globalMatch(QString::fromUtf8(kml))) {
    QString text = m.captured(1);
    text.replace(QStringLiteral("&#39;"), QStringLiteral("'"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    sources << text;
  }
  return sources;
}

TEST_F(PhotoKmlTest, EachImageAddressNamesItsPhotoWhateverTheName) {
  const char* const names[] = {"100% sure.jpg", "why?.jpg", "#1 & 'two'.jpg", "산책 사진.jpg",
                               "IMG_3.JPG"};
  for (const char* name : names) {
    Add(name, "2009:05:17 10:10:00");
  }
  options_.kmz = true;
  const PhotoKmlReport report = SavePhotosWithKml(photos_, *library_, settings_, options_);
  ASSERT_TRUE(report.problems.isEmpty()) << report.problems.join(u'\n').toStdString();
  QStringList entries =
      QString::fromUtf8(test::Run(QStringLiteral("unzip"), {QStringLiteral("-Z1"), report.kmzPath}))
          .split(u'\n', Qt::SkipEmptyParts);
  entries.removeAll(QFileInfo(report.kmlPath).fileName());
  const QStringList sources = ImageSources(test::ReadFile(report.kmlPath));
  ASSERT_EQ(sources.size(), 5);
  QStringList decoded;
  for (const QString& source : sources) {
    EXPECT_FALSE(source.contains(QRegularExpression(QStringLiteral("[ ?#]"))))
        << source.toStdString();
    decoded << QUrl::fromPercentEncoding(source.toLatin1());
  }
  decoded.sort();
  entries.sort();
  EXPECT_EQ(decoded, entries);
  QStringList expected;
  for (const char* name : names) {
    expected << QString::fromUtf8(name);
  }
  expected.sort();
  EXPECT_EQ(entries, expected);

  // With an address before it, the image is still the photo's name below that address.
  PhotoList again;
  again.AddPhoto(dir_.filePath(QStringLiteral("photos/100% sure.jpg")), *library_, settings_,
                 kFormats);
  options_.kmz = false;
  options_.urlPrefix = QStringLiteral("http://example.org/p/");
  SavePhotosWithKml(again, *library_, settings_, options_);
  const QStringList prefixed = ImageSources(test::ReadFile(report.kmlPath));
  ASSERT_EQ(prefixed.size(), 1);
  const QUrl url(prefixed[0]);
  EXPECT_EQ(url.host(), QStringLiteral("example.org"));
  EXPECT_EQ(url.path(), QStringLiteral("/p/_100% sure.jpg"));  // the copy beside the first
  EXPECT_TRUE(url.query().isEmpty() && url.fragment().isEmpty());
}

TEST_F(PhotoKmlTest, ADocumentThatCannotBeWrittenIsReportedAndNoPackageAppears) {
  Add("a.jpg", "2009:05:17 10:10:00");
  options_.kmz = true;
  QDir().mkpath(Saved(QStringLiteral("Walk_ _day 1_.KML")));  // a folder in the way
  const PhotoKmlReport report = SavePhotosWithKml(photos_, *library_, settings_, options_);
  EXPECT_FALSE(report.problems.isEmpty());
  EXPECT_FALSE(QFileInfo::exists(report.kmzPath));
  EXPECT_TRUE(report.save.items.at(0).problem.isEmpty());  // the photo itself was saved
}

TEST_F(PhotoKmlTest, TheDocumentOrPackageNeverReplacesAPhotoOrALog) {
  // A photo named like the document, tagged in place in the save folder.
  const QString photo = dir_.filePath(QStringLiteral("photos/trip.KML"));
  QDir().mkpath(QFileInfo(photo).absolutePath());
  ASSERT_TRUE(test::MakePhotoTakenAt(photo, "2009:05:17 10:10:00"));
  photos_.AddPhoto(photo, *library_, settings_, kFormats);
  const QByteArray photoBefore = test::ReadFile(photo);
  options_.mode = SaveMode::kInPlace;
  options_.saveFolder = QFileInfo(photo).absolutePath();
  options_.kmlName = QStringLiteral("trip");
  PhotoKmlReport report = SavePhotosWithKml(photos_, *library_, settings_, options_);
  ASSERT_EQ(report.problems.size(), 1);
  EXPECT_TRUE(report.problems[0].contains(photo)) << report.problems[0].toStdString();
  EXPECT_TRUE(report.save.items.empty());  // nothing saved, the photo stays on the list
  EXPECT_EQ(photos_.size(), 1u);
  EXPECT_EQ(test::ReadFile(photo), photoBefore);

  // The package through a link to the library's log.
  const QString log = dir_.filePath(QStringLiteral("walk.log"));
  const QByteArray logBefore = test::ReadFile(log);
  ASSERT_TRUE(QFile::link(log, Saved(QStringLiteral("pack.KMZ"))));
  options_.mode = SaveMode::kCopy;
  options_.saveFolder = Saved();
  options_.kmlName = QStringLiteral("pack");
  options_.kmz = true;
  report = SavePhotosWithKml(photos_, *library_, settings_, options_);
  ASSERT_EQ(report.problems.size(), 1);
  EXPECT_TRUE(report.problems[0].contains(log)) << report.problems[0].toStdString();
  EXPECT_EQ(test::ReadFile(log), logBefore);
  EXPECT_FALSE(QFileInfo::exists(Saved(QStringLiteral("pack.KML"))));
  EXPECT_EQ(QDir(Saved()).entryList(QDir::Files | QDir::System),
            QStringList{QStringLiteral("pack.KMZ")});
}

}  // namespace
}  // namespace trevalo
