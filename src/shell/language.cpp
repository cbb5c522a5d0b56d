#include "shell/language.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace trevalo {

QString LanguageFolder(const Settings& settings) {
  return settings.folders().dataFolder + QStringLiteral("/Lang/");
}

QString DefaultLanguageFileName(bool systemIsKorean) {
  return systemIsKorean ? QStringLiteral("LANG_KOR.INI") : QStringLiteral("LANG_ENG.INI");
}

bool SystemLanguageIsKorean() {
  return QLocale::system().language() == QLocale::Korean;
}

QString LanguageFilePath(const Settings& settings) {
  QString name = settings.ReadSetting(setting::kLangFile, setting::kLanguageFileCapacity);
  if (name.isEmpty()) {
    name = DefaultLanguageFileName(SystemLanguageIsKorean());
  }
  // The value is a bare file name; anything before a separator is not ours to follow.
  return LanguageFolder(settings) + QFileInfo(name).fileName();
}

LanguageTexts LanguageTexts::Load(const Settings& settings) {
  return LoadFile(LanguageFilePath(settings));
}

LanguageTexts LanguageTexts::LoadFile(const QString& path) {
  return LanguageTexts(IniFile::Load(path));
}

QString LanguageTexts::Text(const QString& key) const {
  return file_.Value(kLanguageSection, key).value_or(kLanguageSection).left(kLanguageTextCapacity);
}

QString LanguageTexts::MultiLineText(const QString& key) const {
  return Text(key).replace(QStringLiteral("\\n"), QStringLiteral("\n"));
}

QString LanguageText(const Settings& settings, const QString& key) {
  return LanguageTexts::Load(settings).Text(key);
}

DisplayFormats LoadDisplayFormats(const LanguageTexts& texts) {
  return {texts.Text(QStringLiteral("COMMON_TIMEFORMAT")),
          texts.Text(QStringLiteral("COMMON_LONGLATFORMAT"))};
}

QList<LanguageEntry> ListLanguages(const Settings& settings) {
  const QString folder = LanguageFolder(settings);
  QDir().mkpath(folder);
  QList<LanguageEntry> languages;
  const QStringList names =
      QDir(folder).entryList({QStringLiteral("LANG_*.INI")}, QDir::Files, QDir::Name);
  for (const QString& name : names) {
    const QString title = IniFile::Load(folder + name)
                              .Value(kLanguageSection, QStringLiteral("LANG_TITLE"))
                              .value_or(QString())
                              .left(kLanguageTitleCapacity);
    if (!title.isEmpty()) {
      languages.append({title, name});
    }
  }
  return languages;
}

bool SetLanguage(const Settings& settings, const QString& title, QString* problem) {
  for (const LanguageEntry& language : ListLanguages(settings)) {
    if (language.title.compare(title, Qt::CaseInsensitive) == 0) {
      return settings.WriteSetting(setting::kLangFile, language.fileName, problem);
    }
  }
  return false;
}

}  // namespace trevalo
