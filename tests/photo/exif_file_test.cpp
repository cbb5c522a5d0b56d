#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "photo/exif_file.h"
#include "support/hostile_tiff.h"
#include "support/test_files.h"
#include "support/test_photos.h"
#include "support/tiff_builder.h"

namespace trevalo {
namespace {

QString Real(const char* name) {
  const QString data = test::TestDataFolder();
  return data.isEmpty() ? QString() : data + QStringLiteral("/jpeg/") + QString::fromLatin1(name);
}

#define REQUIRE_REAL_PHOTOS()                                \
  if (test::TestDataFolder().isEmpty()) {                    \
    GTEST_SKIP() << "the shared test data folder is absent"; \
  }
#define REQUIRE_GENERATED_PHOTOS()                              \
  if (test::GeneratedPhotos().isEmpty()) {                      \
    GTEST_SKIP() << "ImageMagick or exiftool is not installed"; \
  }
#define REQUIRE_SEED_PHOTOS()                                                  \
  if (const QString missing = test::SeedPhotosMissing(); !missing.isEmpty()) { \
    GTEST_SKIP() << missing.toStdString();                                     \
  }

using test::Segments;

bool IsExif(const std::pair<int, QByteArray>& segment) {
  return segment.first == 0xE1 && segment.second.mid(2, 4) == "Exif";
}

class ExifFileTest : public ::testing::Test {
 protected:
  QString Tag(const QString& photo, const TrackPoint& point, const QString& name = {}) {
    ExifFile file(photo, ExifFile::kRewrite);
    file.SetPositionSource(point);
    EXPECT_TRUE(file.ReadSections())
        << photo.toStdString() << ": " << file.errorText().toStdString();
    const QString out = dir_.filePath(name.isEmpty() ? QFileInfo(photo).fileName() : name);
    EXPECT_EQ(file.WriteFile(out), QString());
    return out;
  }
  QTemporaryDir dir_;
  TrackPoint point_ = test::SamplePoint();
};

TEST_F(ExifFileTest, ReadsTheSummaryOfRealCameraPhotos) {
  REQUIRE_REAL_PHOTOS();
  ExifFile canon(Real("ianare_Canon_40D.jpg"), ExifFile::kReadOnly);
  ASSERT_TRUE(canon.ReadSections());
  EXPECT_EQ(canon.info().dateTime, "2008:05:30 15:56:01");
  EXPECT_EQ(canon.info().cameraMake, "Canon");
  EXPECT_EQ(canon.info().cameraModel, "Canon EOS 40D");
  EXPECT_EQ(canon.info().width, 100);
  EXPECT_EQ(canon.info().height, 68);
  EXPECT_EQ(canon.info().orientation, 1);
  EXPECT_TRUE(canon.existingGps().present);  // a GPS directory with only its version
  EXPECT_FALSE(canon.existingGps().latitudeDegrees.has_value());
  EXPECT_FALSE(canon.readAll());

  ExifFile minolta(Real("ianare_Konica_Minolta_DiMAGE_Z3.jpg"), ExifFile::kReadOnly);
  ASSERT_TRUE(minolta.ReadSections());
  EXPECT_EQ(minolta.info().dateTime, "2005:03:10 15:10:48");
  EXPECT_FALSE(minolta.existingGps().present);

  ExifFile nikon(Real("ianare_gps_DSCN0010.jpg"), ExifFile::kReadOnly);
  ASSERT_TRUE(nikon.ReadSections());
  ASSERT_TRUE(nikon.existingGps().latitudeDegrees.has_value());
  EXPECT_NEAR(*nikon.existingGps().latitudeDegrees, 43.467448, 1e-6);
  EXPECT_NEAR(*nikon.existingGps().longitudeDegrees, 11.885127, 1e-6);
  // Its denominators of 10^8 make the directory unfit to be rewritten in place.
  EXPECT_FALSE(nikon.existingGps().valid);

  // The first APP1 holds XMP; the EXIF segment comes after it.
  ExifFile xmp(Real("ianare_xmp_no_exif.jpg"), ExifFile::kReadOnly);
  ASSERT_TRUE(xmp.ReadSections());
  EXPECT_EQ(xmp.info().dateTime.substr(0, 4), "2014");

  ExifFile noExif(Real("mdx_beach.jpg"), ExifFile::kReadOnly);
  ASSERT_TRUE(noExif.ReadSections());
  EXPECT_TRUE(noExif.info().dateTime.empty());
  EXPECT_GT(noExif.info().width, 0);
}

TEST_F(ExifFileTest, AZeroDateIsRefusedAndTheCallerToldWhy) {
  REQUIRE_REAL_PHOTOS();
  for (const ExifFile::Mode mode : {ExifFile::kReadOnly, ExifFile::kRewrite}) {
    ExifFile photo(Real("mdx_Issue_609.jpg"), mode);
    photo.SetPositionSource(point_);
    EXPECT_FALSE(photo.ReadSections());
    EXPECT_TRUE(photo.invalidDateTime());
    EXPECT_EQ(photo.errorText(), QStringLiteral("Invalid Date Time Tag"));
  }
}

TEST_F(ExifFileTest, ReadsTheExposureFigures) {
  REQUIRE_GENERATED_PHOTOS();
  ExifFile photo(test::GeneratedPhotos() + QStringLiteral("/be_thumbnail.jpg"),
                 ExifFile::kReadOnly);
  ASSERT_TRUE(photo.ReadSections());
  const PhotoInfo& info = photo.info();
  EXPECT_EQ(info.dateTime, "2009:05:17 21:35:19");
  EXPECT_EQ(info.cameraMake, "Trevalo Test");
  EXPECT_EQ(info.orientation, 6);
  EXPECT_DOUBLE_EQ(info.exposureTime, 0.004);
  EXPECT_EQ(info.exposureTimeText, "1/250s (0.004000s)");
  EXPECT_DOUBLE_EQ(info.aperture, 5.6);
  EXPECT_EQ(info.iso, 200);
  EXPECT_DOUBLE_EQ(info.focalLength, 35);
  EXPECT_EQ(info.width, 96);
  EXPECT_EQ(info.height, 64);
}

TEST_F(ExifFileTest, RewritingKeepsEveryOtherSegmentByteForByte) {
  REQUIRE_GENERATED_PHOTOS();
  QStringList photos = test::RealPhotos();
  photos.removeIf([](const QString& p) { return p.endsWith(QStringLiteral("Issue_609.jpg")); });
  for (const QString& name : test::GeneratedPhotoNames()) {
    photos << test::GeneratedPhotos() + u'/' + name;
  }
  for (const QString& photo : photos) {
    SCOPED_TRACE(photo.toStdString());
    const auto before = Segments(test::ReadFile(photo));
    const auto after = Segments(test::ReadFile(Tag(photo, point_)));
    std::vector<std::pair<int, QByteArray>> keptBefore;
    std::vector<std::pair<int, QByteArray>> keptAfter;
    std::copy_if(before.begin(), before.end(), std::back_inserter(keptBefore), std::not_fn(IsExif));
    std::copy_if(after.begin(), after.end(), std::back_inserter(keptAfter), std::not_fn(IsExif));
    EXPECT_TRUE(keptBefore == keptAfter);  // every other segment and the image data
    EXPECT_EQ(std::count_if(after.begin(), after.end(), IsExif), 1);
    // A new EXIF segment comes right after the JFIF segment, or first.
    if (std::none_of(before.begin(), before.end(), IsExif)) {
      const std::size_t expectedAt = before.front().first == 0xE0 ? 1 : 0;
      EXPECT_TRUE(IsExif(after[expectedAt]));
    }
  }
}

TEST_F(ExifFileTest, TaggingTwiceGivesTheSameFile) {
  QStringList photos = test::RealPhotos();
  photos.removeIf([](const QString& p) { return p.endsWith(QStringLiteral("Issue_609.jpg")); });
  if (!test::GeneratedPhotos().isEmpty()) {
    photos << test::GeneratedPhotos() + QStringLiteral("/be_thumbnail.jpg");
  }
  if (photos.isEmpty()) {
    GTEST_SKIP() << "no photos";
  }
  for (const QString& photo : photos) {
    SCOPED_TRACE(photo.toStdString());
    const QString once = Tag(photo, point_, QStringLiteral("once.jpg"));
    const QString twice = Tag(once, point_, QStringLiteral("twice.jpg"));
    EXPECT_EQ(test::ReadFile(once), test::ReadFile(twice));
  }
}

TEST_F(ExifFileTest, DamagedPhotosAreTaggedAndTagTheSameTwice) {
  REQUIRE_SEED_PHOTOS();
  // The fuzz corpus holds damaged EXIF layouts found by fuzzing: links and lengths that
  // run past the data, directories in the header.
  const QDir corpus(test::SourceFolder() + QStringLiteral("/fuzz/corpus/exif_file"));
  const QStringList photos = corpus.entryList({QStringLiteral("*.jpg")}, QDir::Files);
  ASSERT_FALSE(photos.isEmpty());
  for (const QString& name : photos) {
    SCOPED_TRACE(name.toStdString());
    ExifFile photo(corpus.filePath(name), ExifFile::kRewrite);
    photo.SetPositionSource(point_);
    if (!photo.ReadSections()) {
      continue;
    }
    const QString once = dir_.filePath(QStringLiteral("once.jpg"));
    ASSERT_EQ(photo.WriteFile(once), QString());
    ExifFile reread(once, ExifFile::kReadOnly);
    if (!reread.ReadSections()) {
      // Growing damaged EXIF data may bring a date that ran past its end into it.
      EXPECT_TRUE(reread.invalidDateTime());
      continue;
    }
    // The reader finds the directory the writer wrote.
    EXPECT_TRUE(reread.existingGps().valid);
    EXPECT_TRUE(reread.existingGps().latitudeDegrees.has_value());
    const QString twice = Tag(once, point_, QStringLiteral("twice.jpg"));
    EXPECT_EQ(test::ReadFile(once), test::ReadFile(twice));
  }
}

TEST_F(ExifFileTest, PhotosWhoseDirectoriesPointAtEachOtherAreReadAndTagged) {
  REQUIRE_SEED_PHOTOS();
  const std::pair<const char*, std::vector<std::uint8_t>> photos[] = {
      {"self_30.jpg", test::SelfPointingTiff(30)},
      {"self_40.jpg", test::SelfPointingTiff(40)},
      {"self_100.jpg", test::SelfPointingTiff(100)},
      {"self_100_mm.jpg", test::SelfPointingTiff(100, ByteOrder::kBig)},
      {"cycle_20.jpg", test::SharedDirectoriesTiff(20, true)},
      {"chain_20.jpg", test::SharedDirectoriesTiff(20, false)}};
  for (const auto& [name, tiff] : photos) {
    SCOPED_TRACE(name);
    const QString path = dir_.filePath(QString::fromLatin1(name));
    const QByteArray bytes = test::JpegWithExif(tiff);
    test::WriteFile(path,
                    std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    ExifFile photo(path, ExifFile::kReadOnly);
    ASSERT_TRUE(photo.ReadSections()) << photo.errorText().toStdString();
    EXPECT_EQ(photo.info().cameraMake, test::kHostileMake);
    EXPECT_EQ(photo.info().dateTime, test::kHostileDateTime);
    EXPECT_LE(photo.problems().size(), ExifFile::kMaxProblems + 1);

    const QString once = Tag(path, point_, QStringLiteral("once.jpg"));
    ExifFile tagged(once, ExifFile::kReadOnly);
    ASSERT_TRUE(tagged.ReadSections());
    EXPECT_EQ(tagged.info().cameraMake, test::kHostileMake);
    EXPECT_EQ(tagged.info().dateTime, test::kHostileDateTime);
    ASSERT_TRUE(tagged.existingGps().latitudeDegrees.has_value());
    EXPECT_NEAR(*tagged.existingGps().latitudeDegrees, -(37 + 23.4567 / 60), 1e-6);
    const QString twice = Tag(once, point_, QStringLiteral("twice.jpg"));
    EXPECT_EQ(test::ReadFile(once), test::ReadFile(twice));
  }
}

TEST_F(ExifFileTest, TheProblemsOfAPhotoAreBounded) {
  REQUIRE_SEED_PHOTOS();
  // IFD0 of 3000 entries of an unknown type: a problem each.
  test::TiffBuilder b = test::TiffBuilder::WithHeader(ByteOrder::kLittle);
  const std::uint32_t ifd0 = b.Directory(3000);
  b.U32(4, ifd0);
  for (std::size_t i = 0; i < 3000; ++i) {
    b.Entry(test::TiffBuilder::EntryAt(ifd0, i), 0x010F, 99, 1, 0);
  }
  const QString path = dir_.filePath(QStringLiteral("problems.jpg"));
  const QByteArray bytes = test::JpegWithExif(b.bytes);
  test::WriteFile(path,
                  std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  std::vector<std::string> reported;
  ExifFile photo(path, ExifFile::kReadOnly);
  photo.SetProblemSink([&](std::string_view p) { reported.emplace_back(p); });
  ASSERT_TRUE(photo.ReadSections());
  ASSERT_EQ(photo.problems().size(), ExifFile::kMaxProblems + 1);
  EXPECT_EQ(photo.problems().front(), "Illegal number format 99 for tag 010F");
  EXPECT_NE(photo.problems().back().find("more problems"), std::string::npos);
  EXPECT_EQ(reported, photo.problems());
}

TEST_F(ExifFileTest, BadFilesSayWhatIsWrong) {
  const auto problem = [&](const QByteArray& bytes) {
    const QString path = dir_.filePath(QStringLiteral("bad.jpg"));
    test::WriteFile(path,
                    std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    ExifFile photo(path, ExifFile::kReadOnly);
    EXPECT_FALSE(photo.ReadSections());
    return photo.errorText();
  };
  EXPECT_EQ(problem("plain text, not a photo"), QStringLiteral("not a JPEG file"));
  EXPECT_EQ(problem(QByteArray("\xFF\xD8\xFF\xE1\x00\x40"
                               "Exif",
                               10)),
            QStringLiteral("Premature end of file?"));
  EXPECT_EQ(problem(QByteArray("\xFF\xD8\xFF\xD9", 4)), QStringLiteral("No image in jpeg!"));
  EXPECT_EQ(problem(QByteArray("\xFF\xD8\xFF\xE0\x00\x01", 6)), QStringLiteral("invalid marker"));
  EXPECT_EQ(problem(QByteArray("\xFF\xD8\x12\x34", 4)), QStringLiteral("invalid marker"));
  EXPECT_EQ(problem(QByteArray("\xFF\xD8", 2) + QByteArray(70000, '\xFF')),
            QStringLiteral("too many padding bytes!"));
  EXPECT_EQ(problem(QByteArray("\xFF\xD8\xFF\xFE\x00\x04hi", 8)),
            QStringLiteral("Premature end of file?"));

  ExifFile missing(dir_.filePath(QStringLiteral("absent.jpg")), ExifFile::kReadOnly);
  EXPECT_FALSE(missing.ReadSections());
  EXPECT_FALSE(missing.errorText().isEmpty());
}

TEST_F(ExifFileTest, ACorruptExifSegmentIsReportedNotFollowed) {
  REQUIRE_REAL_PHOTOS();
  QByteArray bytes = test::ReadFile(Real("ianare_Canon_40D.jpg"));
  const qsizetype exif = bytes.indexOf("Exif");
  // Point IFD0 far outside the TIFF data.
  bytes[exif + 6 + 4] = '\x7F';
  bytes[exif + 6 + 5] = '\x7F';
  const QString path = dir_.filePath(QStringLiteral("corrupt.jpg"));
  test::WriteFile(path,
                  std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  std::vector<std::string> reported;
  ExifFile photo(path, ExifFile::kRewrite);
  photo.SetProblemSink([&](std::string_view p) { reported.emplace_back(p); });
  photo.SetPositionSource(point_);
  EXPECT_FALSE(photo.ReadSections());  // no readable IFD0: nothing to add the pointer to
  EXPECT_FALSE(reported.empty());
  EXPECT_EQ(reported, photo.problems());
  EXPECT_TRUE(photo.info().dateTime.empty());
}

TEST_F(ExifFileTest, WritingNeedsTheWholeFileAndATargetFolder) {
  REQUIRE_REAL_PHOTOS();
  ExifFile readOnly(Real("ianare_Canon_40D.jpg"), ExifFile::kReadOnly);
  ASSERT_TRUE(readOnly.ReadSections());
  const QString target = dir_.filePath(QStringLiteral("copy.jpg"));
  EXPECT_FALSE(readOnly.WriteFile(target).isEmpty());
  EXPECT_FALSE(QFileInfo::exists(target));

  ExifFile rewrite(Real("ianare_Canon_40D.jpg"), ExifFile::kRewrite);
  rewrite.SetPositionSource(point_);
  ASSERT_TRUE(rewrite.ReadSections());
  EXPECT_FALSE(rewrite.WriteFile(dir_.filePath(QStringLiteral("no/such/folder/x.jpg"))).isEmpty());
  // A write over an existing file replaces it whole, keeping its permissions.
  test::WriteFile(target, "old content");
  QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  const QFileDevice::Permissions permissions = QFile::permissions(target);
  EXPECT_EQ(rewrite.WriteFile(target), QString());
  EXPECT_TRUE(test::ReadFile(target).startsWith("\xFF\xD8"));
  EXPECT_EQ(QFile::permissions(target), permissions);
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).size(),
            1);  // no temporary left
}

TEST_F(ExifFileTest, AnOversizedExifSegmentIsRefused) {
  REQUIRE_REAL_PHOTOS();
  // The Minolta photo's EXIF segment (35622 bytes) with unreferenced data appended up to
  // 65500 bytes: the GPS data cannot fit below 65536.
  QByteArray bytes = test::ReadFile(Real("ianare_Konica_Minolta_DiMAGE_Z3.jpg"));
  const qsizetype exif = bytes.indexOf("Exif") - 4;
  const int length = static_cast<unsigned char>(bytes[exif + 2]) << 8 |
                     static_cast<unsigned char>(bytes[exif + 3]);
  const int grown = 65500;
  bytes.insert(exif + 2 + length, QByteArray(grown - length, '\x55'));
  bytes[exif + 2] = static_cast<char>(grown >> 8);
  bytes[exif + 3] = static_cast<char>(grown & 0xFF);
  const QString path = dir_.filePath(QStringLiteral("big.jpg"));
  test::WriteFile(path,
                  std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  ExifFile readOnly(path, ExifFile::kReadOnly);
  EXPECT_TRUE(readOnly.ReadSections());
  ExifFile photo(path, ExifFile::kRewrite);
  photo.SetPositionSource(point_);
  EXPECT_FALSE(photo.ReadSections());
  EXPECT_TRUE(photo.errorText().contains(QStringLiteral("65535")));
}

}  // namespace
}  // namespace trevalo
