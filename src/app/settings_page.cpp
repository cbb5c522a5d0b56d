#include "app/settings_page.h"

namespace trevalo {

CGPSSettingDlg::CGPSSettingDlg(const Settings&, const LanguageTexts&, QWidget* parent)
    : QWidget(parent) {
  setObjectName(QStringLiteral("settingsPage"));
}

}  // namespace trevalo
