#pragma once
// The version tab: program name, version, notice and the connected logger's firmware line.

#include <QWidget>

#include "shell/language.h"

class QLabel;

namespace trevalo {

// What the version tab says of the logger; kept by the main window so that it survives
// the re-creation of the pages.
struct DeviceFirmware {
  int aboutKind = 1;           // 1: no logger or model A; 2: model B
  int firmwareNumber = -1;     // model A firmware number; -1 without a logger
  QString deviceModelCode;     // model B
  QString deviceFirmwareText;  // model B
};

class VersionPage : public QWidget {
  Q_OBJECT

 public:
  VersionPage(const LanguageTexts& texts, const DeviceFirmware& firmware,
              QWidget* parent = nullptr);

  // Model A (or no logger, for a negative number).
  void ShowFirmwareNumber(int number);
  // Model B.
  void ShowFirmwareText(const QString& modelCode, const QString& firmwareText);

 private:
  QString upgradeText_;
  QLabel* firmwareLine_;
};

// The About window the pages' "#CMD_ABOUT_BOX" links open: the version page's content,
// shown modally with an OK button; `title` is its window title.
void ShowAboutDialog(const LanguageTexts& texts, const DeviceFirmware& firmware,
                     const QString& title, QWidget* parent);

}  // namespace trevalo
