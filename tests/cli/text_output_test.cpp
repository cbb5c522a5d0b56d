// What trevalo-cli prints of names and comments: control characters as escapes in text, so
// that none reaches the terminal; JSON carries them exactly.

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>

#include "cli/cli_runner.h"
#include "library/log_library.h"
#include "support/log_generator.h"
#include "support/test_files.h"

namespace trevalo {
namespace {

using test::RunCli;

// Red text, a carriage return that would overwrite the line, a tab.
const QString kControls = QStringLiteral("\x1b[31mred\r\tend");
const QByteArray kShown = "\\x1b[31mred\\r\\tend";

bool HasRawControls(const QByteArray& bytes) {
  return std::any_of(bytes.begin(), bytes.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && byte != '\n') || byte == 0x7f;
  });
}

class TextOutput : public ::testing::Test {
 protected:
  QString Path(const QString& name) const { return dir_.filePath(name); }
  QString Home() const { return Path(QStringLiteral("home")); }
  QTemporaryDir dir_;
};

TEST_F(TextOutput, ANameAndACommentShowTheirControlCharactersAsEscapes) {
  const QString log = Path(QStringLiteral("walk ") + kControls + QStringLiteral(".log"));
  test::WriteFile(log, test::GenerateLog({.epochs = 3}));
  const QString folder = Path(QStringLiteral("library"));
  {
    LogLibrary library(folder, 0);
    library.AddLog(log, 0, 0, 0);
    ASSERT_EQ(library.size(), 1u);
    const LogLibrary::Change change =
        library.EditLogInfo(0, 0, 0, QStringLiteral("sunny ") + kControls, 0);
    ASSERT_TRUE(change.done()) << change.problem.toStdString();
  }
  const auto list = RunCli(
      {QStringLiteral("--library"), folder, QStringLiteral("library"), QStringLiteral("list")},
      Home());
  ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
  EXPECT_FALSE(HasRawControls(list.out)) << list.out.toStdString();
  EXPECT_EQ(list.out.count(kShown), 2) << list.out.toStdString();  // the path and the comment
  EXPECT_TRUE(list.out.contains("(sunny " + kShown + ")\n")) << list.out.toStdString();

  const auto json = RunCli({QStringLiteral("--library"), folder, QStringLiteral("library"),
                            QStringLiteral("list"), QStringLiteral("--json")},
                           Home());
  const QJsonObject entry = json.Json().array().at(0).toObject();
  EXPECT_EQ(entry[QStringLiteral("file")].toString(), log);
  EXPECT_EQ(entry[QStringLiteral("comment")].toString(), QStringLiteral("sunny ") + kControls);

  const auto info = RunCli({QStringLiteral("log"), QStringLiteral("info"), log}, Home());
  ASSERT_EQ(info.exitCode, 0) << info.err.toStdString();
  EXPECT_FALSE(HasRawControls(info.out)) << info.out.toStdString();
  EXPECT_TRUE(info.out.contains("walk " + kShown + ".log\n"));
}

TEST_F(TextOutput, APhotoNameShowsItsControlCharactersAsEscapesOnBothStreams) {
  const QString photo = Path(QStringLiteral("photo ") + kControls + QStringLiteral(".jpg"));
  ASSERT_TRUE(
      QFile::copy(test::SourceFolder() + QStringLiteral("/fuzz/corpus/exif_file/le.jpg"), photo));
  const QString broken = Path(QStringLiteral("broken ") + kControls + QStringLiteral(".jpg"));
  test::WriteFile(broken, "no JPEG");
  const auto info =
      RunCli({QStringLiteral("photo"), QStringLiteral("info"), photo, broken}, Home());
  EXPECT_EQ(info.exitCode, 1);
  EXPECT_FALSE(HasRawControls(info.out)) << info.out.toStdString();
  EXPECT_FALSE(HasRawControls(info.err)) << info.err.toStdString();
  EXPECT_TRUE(info.out.contains("photo " + kShown + ".jpg\n")) << info.out.toStdString();
  EXPECT_TRUE(info.err.contains("broken " + kShown + ".jpg")) << info.err.toStdString();

  const auto json = RunCli(
      {QStringLiteral("photo"), QStringLiteral("info"), photo, QStringLiteral("--json")}, Home());
  EXPECT_FALSE(HasRawControls(json.out));
  EXPECT_EQ(json.Json().array().at(0).toObject()[QStringLiteral("photo")].toString(), photo);
}

}  // namespace
}  // namespace trevalo
