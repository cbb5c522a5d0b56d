#include <gtest/gtest.h>

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <random>

#include "files/output_file.h"
#include "support/test_files.h"

namespace trevalo {
namespace {

TEST(OutputFile, NumbersAreWhatPrintfWritesInTheCLocale) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> wide(-1e7, 1e7);
  std::uniform_real_distribution<double> small(-2, 2);
  for (int i = 0; i < 20000; ++i) {
    const double value = i % 2 == 0 ? wide(random) : small(random) / 1000;
    for (const int decimals : {1, 2, 3, 6}) {
      char expected[64];
      std::snprintf(expected, sizeof expected, "%.*f", decimals, value);
      std::string text;
      AppendFixed(text, value, decimals);
      ASSERT_EQ(text, expected) << value;
    }
  }
  // Ties and values that round across a digit.
  for (const double value : {0.5, 1.5, 2.5, 0.125, 0.0000005, 999999.9999996, -0.0000001}) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%f", value);
    std::string text;
    AppendFixed(text, value, 6);
    EXPECT_EQ(text, expected);
  }
}

TEST(OutputFile, WritesItsBlocksAndPutsTheFileInPlace) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("big.txt"));
  OutputFile file(path);
  ASSERT_TRUE(file.isOpen());
  const std::string line(1000, 'x');
  for (int i = 0; i < 3000; ++i) {  // three blocks and a bit
    file << line << '\n';
  }
  file.Integer(-42) << ' ';
  file.Hex(0x3f0000ffu) << ' ';
  file.Hex(0xffu, 6) << ' ' << QStringLiteral("지은");
  EXPECT_FALSE(QFile::exists(path));  // nothing is in place before the commit
  ASSERT_EQ(file.Commit(), QString());
  const QByteArray bytes = test::ReadFile(path);
  EXPECT_EQ(bytes.size(), 3000 * 1001 + qsizetype(std::strlen("-42 3f0000ff 0000ff 지은")));
  EXPECT_TRUE(bytes.endsWith("-42 3f0000ff 0000ff 지은"));
  EXPECT_FALSE(file.Commit().isEmpty());  // once only
}

TEST(OutputFile, AnUnfinishedFileNeverReplacesTheOldOne) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("kept.txt"));
  test::WriteFile(path, "old");
  QFile::setPermissions(path,
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
  {
    OutputFile file(path);
    file << std::string(3 << 20, 'y');  // blocks already on disk, never committed
  }
  EXPECT_EQ(test::ReadFile(path), QByteArray("old"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList{QStringLiteral("kept.txt")});
  // A committed file keeps the permissions of the file it replaces.
  OutputFile replacing(path);
  replacing << "new";
  ASSERT_EQ(replacing.Commit(), QString());
  // (The user's bits are the owner's, since the test owns the file.)
  EXPECT_EQ(QFile::permissions(path) & 0x0777,
            QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ReadGroup);
}

TEST(OutputFile, MissingFoldersAndReadOnlyFilesAreReported) {
  QTemporaryDir dir;
  OutputFile nowhere(dir.filePath(QStringLiteral("missing/folder/a.txt")));
  EXPECT_FALSE(nowhere.isOpen());
  nowhere << "ignored";
  EXPECT_TRUE(nowhere.Commit().contains(QStringLiteral("missing/folder")));

  if (::geteuid() == 0) {
    GTEST_SKIP() << "read-only files cannot be checked as root";
  }
  const QString readOnly = dir.filePath(QStringLiteral("read-only.txt"));
  test::WriteFile(readOnly, "mine");
  QFile::setPermissions(readOnly, QFileDevice::ReadOwner);
  OutputFile refused(readOnly);
  EXPECT_FALSE(refused.isOpen());
  EXPECT_TRUE(refused.Commit().contains(QStringLiteral("read-only")));
  EXPECT_EQ(test::ReadFile(readOnly), QByteArray("mine"));
}

}  // namespace
}  // namespace trevalo
