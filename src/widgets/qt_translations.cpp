#include "widgets/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace trevalo {

QtTranslations::~QtTranslations() {
  Remove();
}

void QtTranslations::Remove() {
  for (const auto& translator : installed_) {
    QCoreApplication::removeTranslator(translator.get());
  }
  installed_.clear();
}

QString QtTranslations::Apply(const LanguageTexts& texts) {
  Remove();
  const QString code = texts.Text(QStringLiteral("LANG_LOCALE"));
  if (code == kLanguageSection || code.isEmpty()) {
    return {};
  }
  const QLocale locale(code);
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  for (const QString& module : {QStringLiteral("qtbase"), QStringLiteral("qtwebengine")}) {
    auto translator = std::make_unique<QTranslator>();
    if (translator->load(locale, module, QStringLiteral("_"), folder) &&
        QCoreApplication::installTranslator(translator.get())) {
      installed_.push_back(std::move(translator));
    }
  }
  return code;
}

}  // namespace trevalo
