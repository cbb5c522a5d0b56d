#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <random>

#include <QFile>

#include "files/native_files.h"
#include "files/native_path.h"
#include "support/test_files.h"

namespace trevalo {
namespace {

TEST(NativePath, EveryByteStringComesBackUnchanged) {
  std::mt19937 random(11);
  // Mostly bytes that start, continue or break UTF-8 sequences.
  const unsigned char interesting[] = {'a',  '/',  '.',  0x80, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF,
                                       0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF, 0xA0, 0x9F};
  for (int i = 0; i < 50000; ++i) {
    QByteArray bytes(static_cast<qsizetype>(random() % 12) + 1, Qt::Uninitialized);
    for (char& c : bytes) {
      c = static_cast<char>(random() % 3 == 0 ? random() % 255 + 1
                                              : interesting[random() % sizeof interesting]);
    }
    ASSERT_EQ(NativePath(PathFromNative(bytes)), bytes) << bytes.toHex().toStdString();
  }
}

TEST(NativePath, ValidNamesAreTheirTextAndOtherBytesAreEscapedOneByOne) {
  for (const char* utf8 : {"/home/지은/IMG_0001.JPG", "caf\xc3\xa9 \xf0\x9f\x93\xb7.jpg", ""}) {
    EXPECT_EQ(PathFromNative(utf8), QString::fromUtf8(utf8));
    EXPECT_EQ(NativePath(QString::fromUtf8(utf8)), QByteArray(utf8));
  }
  const QString latin1 = PathFromNative("caf\xe9.jpg");
  EXPECT_EQ(latin1, QStringLiteral("caf") + QChar(0xDCE9) + QStringLiteral(".jpg"));
  EXPECT_EQ(VisibleText(latin1), QStringLiteral("caf\\xe9.jpg"));
  // An overlong '/', an encoded surrogate, a sequence cut short, a code point past U+10FFFF.
  for (const char* bad : {"\xc0\xaf", "\xed\xa0\x80", "\xe6\x97", "\xf4\x90\x80\x80"}) {
    const QString text = PathFromNative(bad);
    ASSERT_EQ(text.size(), qsizetype(std::strlen(bad)));
    for (qsizetype i = 0; i < text.size(); ++i) {
      EXPECT_TRUE(IsEscapedByte(text, i));
      EXPECT_EQ(text[i].unicode(), 0xDC00 + static_cast<unsigned char>(bad[i]));
    }
  }
  // A surrogate pair of valid text is no escape, even when its low half is in the range.
  const QString pair = QString::fromUtf8("\xf4\x8f\xb3\xa9");  // U+10FCE9: DBFF DCE9
  EXPECT_FALSE(IsEscapedByte(pair, 1));
  EXPECT_EQ(VisibleText(pair), pair);
}

TEST(NativeFiles, FindOpenAndListANameThatIsNotUtf8) {
  test::TemporaryFolder dir;
  const QByteArray raw = NativePath(dir.path()) + "/caf\xe9";
  const QString folder = PathFromNative(raw);
  ASSERT_TRUE(MakeFolders(folder + QStringLiteral("/sub")));
  const QString file = folder + QStringLiteral("/\xff.log").replace(u'\xff', QChar(0xDCFF));
  test::WriteFile(file, "$GPRMC");
  EXPECT_TRUE(IsFolder(folder));
  EXPECT_TRUE(PathExists(file));
  EXPECT_FALSE(IsFolder(file));
  QStringList entries = FolderEntries(folder);
  entries.sort();
  EXPECT_EQ(entries, (QStringList{QStringLiteral("sub"), file.section(u'/', -1)}));
  QFile opened;
  ASSERT_EQ(OpenForReading(opened, file), QString());
  EXPECT_EQ(opened.readAll(), QByteArray("$GPRMC"));
  QFile folderOpened;
  EXPECT_FALSE(OpenForReading(folderOpened, folder).isEmpty());
  QFile missing;
  EXPECT_EQ(OpenForReading(missing, folder + QStringLiteral("/none")),
            QStringLiteral("No such file or directory"));
}

TEST(NativeFiles, RelativePathsAreMadeAbsoluteAgainstTheFolderAsItIsNamed) {
  test::TemporaryFolder dir;
  const QString folder = PathFromNative(NativePath(dir.path()) + "/\xe9t\xe9");
  ASSERT_TRUE(MakeFolders(folder));
  const QString before = CurrentFolder();
  ASSERT_EQ(::chdir(NativePath(folder).constData()), 0);
  EXPECT_EQ(CurrentFolder(), folder);
  EXPECT_EQ(AbsolutePath(QStringLiteral("a/../b.log")), folder + QStringLiteral("/b.log"));
  EXPECT_EQ(AbsolutePath(QStringLiteral("/x/./y")), QStringLiteral("/x/y"));
  ASSERT_EQ(::chdir(NativePath(before).constData()), 0);
}

}  // namespace
}  // namespace trevalo
