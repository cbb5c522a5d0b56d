#pragma once
// Qt's own texts (file dialogs, Yes, No, Cancel, context menus) in the language of the
// chosen language file: its LANG_LOCALE names the translations of Qt to load.

#include <memory>
#include <vector>

#include <QString>
#include <QTranslator>

#include "shell/language.h"

namespace trevalo {

class QtTranslations {
 public:
  QtTranslations() = default;
  QtTranslations(const QtTranslations&) = delete;
  QtTranslations& operator=(const QtTranslations&) = delete;
  ~QtTranslations();

  // Replaces the translations installed before by those of `texts`' locale (none for a
  // language file without one, or one Qt has no translations for: Qt's English then).
  // Returns the locale in use.
  QString Apply(const LanguageTexts& texts);

 private:
  void Remove();

  std::vector<std::unique_ptr<QTranslator>> installed_;
};

}  // namespace trevalo
