#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QImage>
#include <QMessageBox>
#include <QTemporaryDir>

#include "shell/image.h"
#include "shell/language.h"
#include "support/event_wait.h"
#include "support/test_files.h"
#include "widgets/image_capture.h"

namespace trevalo {
namespace {

constexpr std::uint32_t kGrey = 0xEBEBEB;  // red, green and blue 235

// An image of one colour (blue, green, red).
Image Filled(int width, int height, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 3);
  for (std::size_t i = 0; i < pixels.size(); i += 3) {
    pixels[i] = b;
    pixels[i + 1] = g;
    pixels[i + 2] = r;
  }
  Image image;
  image.FromBitmap(width, height, pixels.data(), 3 * width);
  return image;
}

bool IsColour(const Image& image, int x, int y, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
  const std::uint8_t* p = image.pixel(x, y);
  return p[0] == b && p[1] == g && p[2] == r;
}

TEST(Image, APortraitPhotoIsScaledToThePreviewHeightAndCentred) {
  Image image = Filled(3000, 4000, 10, 20, 200);
  ASSERT_TRUE(image.Thumbnail(640, 480, kGrey));
  EXPECT_EQ(image.width(), 640);
  EXPECT_EQ(image.height(), 480);
  // 360 pixels wide, with equal grey bands of 140 left and right.
  EXPECT_TRUE(IsColour(image, 139, 240, 235, 235, 235));
  EXPECT_TRUE(IsColour(image, 140, 240, 10, 20, 200));
  EXPECT_TRUE(IsColour(image, 499, 0, 10, 20, 200));
  EXPECT_TRUE(IsColour(image, 500, 479, 235, 235, 235));
  EXPECT_EQ(image.stride(), 640 * 3);
}

TEST(Image, ASmallPhotoIsOnlyCentred) {
  Image image = Filled(400, 300, 1, 2, 3);
  ASSERT_TRUE(image.Thumbnail(640, 480, kGrey));
  EXPECT_TRUE(IsColour(image, 119, 90, 235, 235, 235));
  EXPECT_TRUE(IsColour(image, 120, 90, 1, 2, 3));
  EXPECT_TRUE(IsColour(image, 519, 389, 1, 2, 3));
  EXPECT_TRUE(IsColour(image, 520, 389, 235, 235, 235));
  EXPECT_TRUE(IsColour(image, 200, 89, 235, 235, 235));
}

TEST(Image, BilinearScalingBlendsNeighbours) {
  // Two columns, black and white, halved: one grey column.
  const std::uint8_t pixels[] = {0, 0, 0, 255, 255, 255, 0, 0, 0, 255, 255, 255};
  Image image;
  image.FromBitmap(2, 2, pixels, 6);
  ASSERT_TRUE(image.Thumbnail(1, 1, 0));
  EXPECT_NEAR(image.pixel(0, 0)[0], 128, 1);
}

TEST(Image, Crop) {
  std::vector<std::uint8_t> pixels(1000 * 700 * 3);
  for (int y = 0; y < 700; ++y) {
    for (int x = 0; x < 1000; ++x) {
      pixels[(static_cast<std::size_t>(y) * 1000 + x) * 3] = static_cast<std::uint8_t>(x);
      pixels[(static_cast<std::size_t>(y) * 1000 + x) * 3 + 1] = static_cast<std::uint8_t>(y);
    }
  }
  Image image;
  image.FromBitmap(1000, 700, pixels.data(), 3000);
  ASSERT_TRUE(image.Crop(15, 24, 1000 - 12, 700 - 38));
  EXPECT_EQ(image.width(), 973);
  EXPECT_EQ(image.height(), 638);
  EXPECT_EQ(image.pixel(0, 0)[0], 15);
  EXPECT_EQ(image.pixel(0, 0)[1], 24);
  EXPECT_EQ(image.pixel(972, 637)[0], static_cast<std::uint8_t>(987));
  EXPECT_EQ(image.pixel(972, 637)[1], static_cast<std::uint8_t>(661));
  EXPECT_FALSE(image.Crop(10, 10, 5, 5));
}

TEST(Image, EmptyImagesAndBoxesAreRefused) {
  Image empty;
  EXPECT_FALSE(empty.Thumbnail(640, 480, kGrey));
  Image image = Filled(10, 10, 0, 0, 0);
  EXPECT_FALSE(image.Thumbnail(0, 480, kGrey));
  EXPECT_FALSE(image.Thumbnail(640, -1, kGrey));
}

TEST(Image, JpegRoundTrip) {
  QTemporaryDir dir;
  Image image = Filled(33, 17, 40, 120, 220);
  const QString path = dir.filePath(QStringLiteral("capture.JPG"));
  ASSERT_TRUE(image.SaveJpeg(path));
  Image loaded;
  ASSERT_TRUE(loaded.LoadJpeg(path));
  EXPECT_EQ(loaded.width(), 33);
  EXPECT_EQ(loaded.height(), 17);
  EXPECT_NEAR(loaded.pixel(16, 8)[0], 40, 6);
  EXPECT_NEAR(loaded.pixel(16, 8)[1], 120, 6);
  EXPECT_NEAR(loaded.pixel(16, 8)[2], 220, 6);
  EXPECT_TRUE(test::ReadFile(path).startsWith("\xFF\xD8\xFF"));
  EXPECT_FALSE(image.SaveJpeg(dir.filePath(QStringLiteral("missing/folder/x.jpg"))));
}

TEST(Image, UndecodableFilesLeaveTheImageAsItWas) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("broken.jpg"));
  test::WriteFile(path, std::string_view("\xFF\xD8\xFF\xE0 not really a jpeg", 22));
  Image image = Filled(5, 5, 1, 1, 1);
  EXPECT_FALSE(image.LoadJpeg(path));
  EXPECT_FALSE(image.LoadJpeg(dir.filePath(QStringLiteral("absent.jpg"))));
  EXPECT_EQ(image.width(), 5);
  const QString data = test::TestDataFolder();
  if (!data.isEmpty()) {
    ASSERT_TRUE(image.LoadJpeg(data + QStringLiteral("/jpeg/ianare_Canon_40D.jpg")));
    EXPECT_EQ(image.width(), 100);
    EXPECT_EQ(image.height(), 68);
    ASSERT_TRUE(image.LoadJpeg(data + QStringLiteral("/jpeg/mdx_Issue_609.jpg")));  // progressive
  }
}

TEST(Image, FromAWindowGrab) {
  QImage grab(3, 2, QImage::Format_ARGB32);
  grab.fill(QColor(255, 0, 0));
  grab.setPixelColor(2, 1, QColor(0, 0, 255));
  const Image image = ImageFromQImage(grab);
  EXPECT_EQ(image.width(), 3);
  EXPECT_TRUE(IsColour(image, 0, 0, 0, 0, 255));
  EXPECT_TRUE(IsColour(image, 2, 1, 255, 0, 0));
}

TEST(Image, ACaptureIsToldUnderTheTitleOfTheWindowCaptured) {
  QTemporaryDir dir;
  QWidget window;
  window.setWindowTitle(QStringLiteral("Trevalo"));
  window.resize(200, 100);
  window.show();
  const QString target = dir.filePath(QStringLiteral("map.jpg"));
  test::WriteFile(target, "an older capture");
  QStringList titles;
  QString asked;
  // The file dialog names the file; the question names it too, and both messages carry the
  // window's title, not the program's name.
  test::OnNextModal([&](QWidget* modal) {
    auto* files = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(files, nullptr);
    test::OnNextModal([&](QWidget* question) {
      auto* box = qobject_cast<QMessageBox*>(question);
      ASSERT_NE(box, nullptr);
      titles << box->windowTitle();
      asked = box->text();
      test::OnNextModal([&](QWidget* told) {
        titles << told->windowTitle();
        qobject_cast<QMessageBox*>(told)->button(QMessageBox::Ok)->click();
      });
      box->button(QMessageBox::Yes)->click();
    });
    files->selectFile(target);
    static_cast<QDialog*>(files)->accept();  // as the dialog's Save button does
  });
  const LanguageTexts texts;
  ASSERT_TRUE(CaptureWindowToJpeg(&window, QStringLiteral("map"), QRect(0, 0, 200, 100), texts,
                                  dir.path()));
  EXPECT_EQ(titles, (QStringList{QStringLiteral("Trevalo"), QStringLiteral("Trevalo")}));
  EXPECT_TRUE(asked.endsWith(u'\n' + target)) << asked.toStdString();
  Image saved;
  EXPECT_TRUE(saved.LoadJpeg(target));
}

}  // namespace
}  // namespace trevalo
