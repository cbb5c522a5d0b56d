#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "shell/ini_file.h"
#include "support/test_files.h"

namespace trevalo {
namespace {

const QString kSection = QStringLiteral("LANGUAGE");

std::optional<QString> Read(const QByteArray& text, const QString& key,
                            const QString& section = kSection) {
  return IniFile::Parse(text).Value(section, key);
}

TEST(IniFile, ReadsLikeTheProfileFunctions) {
  const QByteArray text =
      "; a comment\n"
      "[Language]\n"
      "  Main_Title =  Trevalo  \n"
      "EMPTY=\n"
      "FORMAT=%s=%d\n"
      "main_title=second one is ignored\n"
      ";COMMENTED=1\n"
      "no equals sign\n"
      "[Other]\n"
      "MAIN_TITLE=other\n"
      "[LANGUAGE]\n"
      "LATE=from a repeated header\n";
  EXPECT_EQ(Read(text, QStringLiteral("MAIN_TITLE")), QStringLiteral("Trevalo"));
  EXPECT_EQ(Read(text, QStringLiteral("main_title"), QStringLiteral("language")),
            QStringLiteral("Trevalo"));
  EXPECT_EQ(Read(text, QStringLiteral("EMPTY")), QString());
  EXPECT_TRUE(Read(text, QStringLiteral("EMPTY")).has_value());
  EXPECT_EQ(Read(text, QStringLiteral("FORMAT")), QStringLiteral("%s=%d"));
  EXPECT_FALSE(Read(text, QStringLiteral("COMMENTED")));
  EXPECT_FALSE(Read(text, QStringLiteral("MISSING")));
  EXPECT_EQ(Read(text, QStringLiteral("MAIN_TITLE"), QStringLiteral("Other")),
            QStringLiteral("other"));
  EXPECT_FALSE(Read(text, QStringLiteral("MAIN_TITLE"), QStringLiteral("Nowhere")));
}

TEST(IniFile, ReadsUtf8AndUtf16Files) {
  EXPECT_EQ(Read("\xEF\xBB\xBF[LANGUAGE]\r\nLANG_TITLE=\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4\r\n",
                 QStringLiteral("LANG_TITLE")),
            QStringLiteral("한국어"));
  const QString text = QStringLiteral("\uFEFF[LANGUAGE]\r\nLANG_TITLE=日本語\r\n");
  const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
  EXPECT_EQ(Read(utf16, QStringLiteral("LANG_TITLE")), QStringLiteral("日本語"));
}

TEST(IniFile, WritingChangesOnlyTheKeyItWrites) {
  const QByteArray original =
      "; settings\r\n[Wayfable]\r\nLANG_FILE=LANG_KOR.INI\r\n  OPT_SHOWTRACK = 1\r\n\r\n"
      "[Other]\r\nA=1\r\n";
  IniFile file = IniFile::Parse(original);
  file.SetValue(QStringLiteral("wayfable"), QStringLiteral("opt_showtrack"), QStringLiteral("0"));
  file.SetValue(QStringLiteral("Wayfable"), QStringLiteral("WINDOW_RECT"), QStringLiteral("2"));
  file.SetValue(QStringLiteral("New"), QStringLiteral("KEY"), QStringLiteral(" spaced value "));
  EXPECT_EQ(file.Serialize(),
            "; settings\r\n[Wayfable]\r\nLANG_FILE=LANG_KOR.INI\r\nOPT_SHOWTRACK=0\r\n"
            "WINDOW_RECT=2\r\n\r\n[Other]\r\nA=1\r\n\r\n[New]\r\nKEY=spaced value\r\n");
}

TEST(IniFile, ValuesCannotBreakIntoNewLines) {
  IniFile file;
  file.SetValue(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("one\ntwo\r\nINJECTED=1"));
  const IniFile reread = IniFile::Parse(file.Serialize());
  EXPECT_EQ(reread.Value(QStringLiteral("S"), QStringLiteral("K")),
            QStringLiteral("one two  INJECTED=1"));
  EXPECT_FALSE(reread.Value(QStringLiteral("S"), QStringLiteral("INJECTED")));
}

TEST(IniFile, KeysOutsideAnySectionStayBeforeTheFirstHeader) {
  IniFile file = IniFile::Parse("[S]\nA=1\n");
  file.SetValue(QString(), QStringLiteral("TOP"), QStringLiteral("x"));
  const IniFile reread = IniFile::Parse(file.Serialize());
  EXPECT_EQ(reread.Value(QString(), QStringLiteral("TOP")), QStringLiteral("x"));
  EXPECT_FALSE(reread.Value(QStringLiteral("S"), QStringLiteral("TOP")));
}

TEST(IniFile, ListsKeysInFileOrder) {
  const IniFile file = IniFile::Parse("[S]\nB=1\nA=2\nb=3\n[T]\nC=4\n");
  EXPECT_EQ(file.Keys(QStringLiteral("s")),
            (QStringList{QStringLiteral("B"), QStringLiteral("A")}));
}

TEST(IniFile, SavesThroughARenameAndRefusesToOverwriteWhatItCannotRead) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("Wayfable.INI"));
  IniFile file;
  file.SetValue(QStringLiteral("Wayfable"), QStringLiteral("K"), QStringLiteral("v"));
  ASSERT_TRUE(file.Save(path));
  EXPECT_EQ(test::ReadFile(path), "[Wayfable]\nK=v\n");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);  // no temporary left behind

  EXPECT_TRUE(IniFile::LoadForUpdate(dir.filePath(QStringLiteral("missing.ini"))).has_value());
  // Something that exists but cannot be read as a file is never replaced.
  const QString folder = dir.filePath(QStringLiteral("folder.ini"));
  QDir().mkpath(folder);
  EXPECT_FALSE(IniFile::LoadForUpdate(folder).has_value());
  EXPECT_FALSE(file.Save(dir.filePath(QStringLiteral("no/such/folder/x.ini"))));
}

}  // namespace
}  // namespace trevalo
