#pragma once
// Language files: every text a window shows comes from section "LANGUAGE" of the chosen
// language file in the Lang folder; a missing key shows as the word "LANGUAGE".

#include <QList>
#include <QString>

#include "shell/ini_file.h"
#include "shell/settings.h"

namespace trevalo {

inline const QString kLanguageSection = QStringLiteral("LANGUAGE");
inline constexpr int kLanguageTextCapacity = 512;
inline constexpr int kLanguageTitleCapacity = 1024;

// The language folder (data folder + "/Lang/").
QString LanguageFolder(const Settings& settings);
// The language file: the folder + the LANG_FILE setting, or the default for the system's
// language when that is missing. Evaluated on every call, so a change applies at once.
QString LanguageFilePath(const Settings& settings);
// "LANG_KOR.INI" on a Korean system, else "LANG_ENG.INI".
QString DefaultLanguageFileName(bool systemIsKorean);
bool SystemLanguageIsKorean();

// The texts of one language file, read once when a window loads its texts.
class LanguageTexts {
 public:
  LanguageTexts() = default;
  explicit LanguageTexts(IniFile file) : file_(std::move(file)) {}
  static LanguageTexts Load(const Settings& settings);
  static LanguageTexts LoadFile(const QString& path);

  // The key's text (at most 512 characters), or "LANGUAGE" when the key is missing.
  QString Text(const QString& key) const;
  // The same with every two-character sequence backslash-n turned into a line break, for
  // texts shown as multi-line messages.
  QString MultiLineText(const QString& key) const;

 private:
  IniFile file_;
};

// One key of the current language file (reads the file).
QString LanguageText(const Settings& settings, const QString& key);

// The two display formats a language file supplies: date-time (strftime codes) and
// latitude/longitude (printf codes taking hemisphere, degrees, minutes, seconds).
struct DisplayFormats {
  QString timeFormat = kLanguageSection;
  QString longLatFormat = kLanguageSection;
};
DisplayFormats LoadDisplayFormats(const LanguageTexts& texts);

struct LanguageEntry {
  QString title;
  QString fileName;  // bare file name in the language folder
};
// The language files (LANG_*.INI) with a non-empty LANG_TITLE, in name order; creates the
// folder when it is missing.
QList<LanguageEntry> ListLanguages(const Settings& settings);
// Stores the file name of the first language whose title equals `title` (ignoring case);
// false when none does (nothing is written) or the setting cannot be written (why, in
// `problem`).
bool SetLanguage(const Settings& settings, const QString& title, QString* problem = nullptr);

}  // namespace trevalo
