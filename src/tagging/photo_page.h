#pragma once
// The photos tab: the photo list and its matching against the log library.

#include <QWidget>

namespace trevalo {

class LanguageTexts;
class Settings;

class CRAZIvozezDlg : public QWidget {
  Q_OBJECT

 public:
  CRAZIvozezDlg(const Settings& settings, const LanguageTexts& texts, QWidget* parent = nullptr);

  // Brings the matched photos onto the map; the main window runs it when the user moves
  // from this tab to the map tab.
  void ShowMapView();
};

}  // namespace trevalo
