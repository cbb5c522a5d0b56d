#pragma once
// The settings tab: program options, position correction, language and the logger's own
// settings.

#include <QWidget>

namespace trevalo {

class LanguageTexts;
class Settings;

class CGPSSettingDlg : public QWidget {
  Q_OBJECT

 public:
  CGPSSettingDlg(const Settings& settings, const LanguageTexts& texts, QWidget* parent = nullptr);
};

}  // namespace trevalo
