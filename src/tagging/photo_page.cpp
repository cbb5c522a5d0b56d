#include "tagging/photo_page.h"

namespace trevalo {

CRAZIvozezDlg::CRAZIvozezDlg(const Settings&, const LanguageTexts&, QWidget* parent)
    : QWidget(parent) {
  setObjectName(QStringLiteral("photoPage"));
}

// The photo list does not exist yet, so there is nothing to show on the map.
void CRAZIvozezDlg::ShowMapView() {}

}  // namespace trevalo
