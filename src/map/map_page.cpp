#include "map/map_page.h"

namespace trevalo {

CHtmlDlg::CHtmlDlg(const Settings&, const LanguageTexts&, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("mapPage"));
}

}  // namespace trevalo
