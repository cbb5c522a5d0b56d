#pragma once
// The map tab: a web view showing the local map pages.

#include <QWidget>

namespace trevalo {

class LanguageTexts;
class Settings;

class CHtmlDlg : public QWidget {
  Q_OBJECT

 public:
  CHtmlDlg(const Settings& settings, const LanguageTexts& texts, QWidget* parent = nullptr);
};

}  // namespace trevalo
