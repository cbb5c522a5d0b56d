#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "library/log_library.h"
#include "shell/language.h"
#include "support/test_files.h"
#include "support/test_photos.h"
#include "tagging/photo_detail_dialog.h"
#include "widgets/image_capture.h"
#include "window_settings.h"

namespace trevalo {
namespace {

class PhotoDetailTest : public ::testing::Test {
 protected:
  PhotoDetailTest() {
    settings_ = test::WindowSettings(home_.path());
    settings_->WriteSetting(setting::kLangFile, QStringLiteral("LANG_ENG.INI"));
    texts_ = LanguageTexts::Load(*settings_);
  }
  // A list of photos taken a minute apart.
  bool MakeList(int count) {
    for (int i = 0; i < count; ++i) {
      const QString path = home_.filePath(QStringLiteral("p%1.jpg").arg(i));
      const std::string time = "2009:05:17 12:0" + std::to_string(i) + ":00";
      if (!test::MakePhotoTakenAt(path, time.c_str())) {
        return false;
      }
      photos_.AddPhoto(path, library_, {}, formats_);
    }
    return true;
  }
  QString ShownPath(const PhotoDetailDialog& dialog) const {
    return dialog.findChild<QTableWidget*>(QStringLiteral("detailList"))->item(0, 1)->text();
  }

  QTemporaryDir home_;
  std::unique_ptr<Settings> settings_;
  LanguageTexts texts_;
  LogLibrary library_ = LogLibrary::InMemory({}, 0);
  DisplayFormats formats_{QStringLiteral("%Y-%m-%d %H:%M:%S"), QStringLiteral("%s %d")};
  PhotoList photos_;
};

TEST_F(PhotoDetailTest, StepsThroughTheListAndStopsAtItsEnds) {
  if (!MakeList(3)) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  PhotoDetailDialog dialog(*settings_, texts_, photos_, 2);
  EXPECT_TRUE(dialog.windowTitle().endsWith(QStringLiteral("p2.jpg")));
  dialog.ShowNext();
  EXPECT_EQ(dialog.currentRow(), 2u);
  dialog.findChild<QPushButton*>(QStringLiteral("previousButton"))->click();
  dialog.ShowPrevious();
  dialog.ShowPrevious();
  EXPECT_EQ(dialog.currentRow(), 0u);
  EXPECT_EQ(ShownPath(dialog), photos_.rows()[0].path);
  EXPECT_FALSE(dialog.findChild<QLabel*>(QStringLiteral("preview"))->pixmap().isNull());
}

TEST_F(PhotoDetailTest, KeysStepThroughTheListFromTheDialogAndFromItsDetailList) {
  if (!MakeList(4)) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  PhotoDetailDialog dialog(*settings_, texts_, photos_, 0);
  auto* details = dialog.findChild<QTableWidget*>(QStringLiteral("detailList"));
  // The row shown after a key.
  const auto press = [&dialog](QWidget* target, Qt::Key key) {
    QTest::keyClick(target, key);
    return dialog.currentRow();
  };
  EXPECT_EQ(press(&dialog, Qt::Key_Right), 1u);
  EXPECT_EQ(press(details, Qt::Key_Down), 2u);
  EXPECT_EQ(press(details, Qt::Key_PageDown), 3u);
  EXPECT_EQ(press(&dialog, Qt::Key_Right), 3u) << "stops at the end";
  EXPECT_EQ(press(details, Qt::Key_Home), 0u);
  EXPECT_EQ(ShownPath(dialog), photos_.rows()[0].path);
  EXPECT_EQ(press(&dialog, Qt::Key_End), 3u);
  EXPECT_EQ(press(details, Qt::Key_Up), 2u);
  EXPECT_EQ(press(&dialog, Qt::Key_PageUp), 1u);
  EXPECT_EQ(press(&dialog, Qt::Key_Left), 0u);
  EXPECT_EQ(ShownPath(dialog), photos_.rows()[0].path);
}

TEST_F(PhotoDetailTest, RemovingTheLastShowsTheNewLastAndTheOnlyOneCloses) {
  if (!MakeList(2)) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  PhotoDetailDialog dialog(*settings_, texts_, photos_, 1);
  dialog.open();
  dialog.RemoveCurrent();
  ASSERT_EQ(photos_.size(), 1u);
  EXPECT_EQ(dialog.currentRow(), 0u);
  EXPECT_EQ(ShownPath(dialog), photos_.rows()[0].path);
  dialog.RemoveCurrent();
  EXPECT_TRUE(photos_.empty());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.isVisible());
}

TEST_F(PhotoDetailTest, PhotosOfEveryKindShowAPreviewOrSayThereIsNone) {
  const QString webp = home_.filePath(QStringLiteral("a.webp"));
  if (test::TestDataFolder().isEmpty() || !test::MakeOtherPhoto(webp, "2009:05:17 12:00:00")) {
    GTEST_SKIP() << "the shared test data or ImageMagick is missing";
  }
  // A WebP Qt decodes; a Canon RAW that carries a JPEG of itself; a HEIC that neither Qt
  // nor Exiv2 can make a picture of here.
  const QString other = test::TestDataFolder() + QStringLiteral("/other/");
  for (const QString& path : {webp, other + QStringLiteral("exiv2-canon-powershot-s40.crw"),
                              other + QStringLiteral("2021-02-13-1929.heic")}) {
    photos_.AddPhoto(path, library_, {}, formats_);
  }
  ASSERT_EQ(photos_.size(), 3u);
  for (std::size_t row = 0; row < photos_.size(); ++row) {
    PhotoDetailDialog dialog(*settings_, texts_, photos_, row);
    const auto* preview = dialog.findChild<QLabel*>(QStringLiteral("preview"));
    const bool heic = photos_.rows()[row].path.endsWith(QStringLiteral(".heic"));
    EXPECT_EQ(preview->pixmap().isNull(), heic) << photos_.rows()[row].path.toStdString();
    EXPECT_EQ(preview->text(),
              heic ? texts_.Text(QStringLiteral("IMGINFO_TEXT_NOPREVIEW")) : QString());
  }
}

TEST_F(PhotoDetailTest, APortraitPreviewIsTurnedUpright) {
  const QString path = home_.filePath(QStringLiteral("wide.jpg"));
  QImage wide(300, 100, QImage::Format_RGB888);
  wide.fill(QColor(200, 30, 30));
  ASSERT_TRUE(wide.save(path, "JPEG"));
  // Counts the red pixels' extent in the preview.
  const auto extent = [](const QImage& preview) {
    QRect box;
    for (int y = 0; y < preview.height(); ++y) {
      for (int x = 0; x < preview.width(); ++x) {
        if (qRed(preview.pixel(x, y)) > 150 && qGreen(preview.pixel(x, y)) < 100) {
          box |= QRect(x, y, 1, 1);
        }
      }
    }
    return box;
  };
  const QImage upright = PhotoPreview(path, 1);
  ASSERT_EQ(upright.size(), QSize(640, 480));
  EXPECT_GT(extent(upright).width(), extent(upright).height());
  const QImage turned = PhotoPreview(path, 6);
  EXPECT_LT(extent(turned).width(), extent(turned).height());
  EXPECT_EQ(turned.pixelColor(2, 2), QColor(235, 235, 235)) << "the background";
  EXPECT_TRUE(PhotoPreview(home_.filePath(QStringLiteral("none.jpg")), 1).isNull());
}

}  // namespace
}  // namespace trevalo
