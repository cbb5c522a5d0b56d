#include "widgets/settings_warning.h"

#include <QPointer>
#include <QTimer>

#include "shell/language.h"
#include "shell/settings.h"
#include "widgets/plain_text.h"

namespace trevalo {

void WarnOnceWhenSettingsAreNotKept(Settings& settings, const LanguageTexts& texts,
                                    QWidget* window) {
  settings.SetWriteFailureHandler(
      [&texts, window = QPointer<QWidget>(window), told = false](const QString& problem) mutable {
        if (told || window == nullptr) {
          return;
        }
        told = true;
        auto* box =
            new PlainMessageBox(QMessageBox::Warning, window->windowTitle(),
                                texts.MultiLineText(QStringLiteral("MAIN_TEXT_SETTINGSNOTKEPT")) +
                                    QStringLiteral("\n\n") + problem,
                                QMessageBox::Ok, window);
        box->setObjectName(QStringLiteral("settingsNotKept"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        QTimer::singleShot(0, box, [box] { box->open(); });
      });
}

}  // namespace trevalo
