#pragma once
// The GPS import window: where the connected logger is, its space, the zone its logs are
// imported with, and whether they are deleted from it afterwards.

#include <QDialog>

#include "device/logger_detection.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace trevalo {

class LanguageTexts;
class LibraryProblemsLabel;
class LogLibrary;

class LogImportDialog : public QDialog {
  Q_OBJECT

 public:
  // `tree` says where mounts and hardware are read (the system's, or a test's).
  LogImportDialog(const LanguageTexts& texts, LogLibrary& library, DeviceTree tree,
                  QWidget* parent = nullptr);

  // Fills the zone list (the computer's zone selected when it is in the list) and shows
  // the logger; run before every opening.
  void Prepare();
  // Detects the logger again and shows it, or the text saying there is none.
  void RefreshDisplay();
  // Imports every log of the logger and closes with Accepted; the problems are shown.
  void Import();

  const LoggerState& logger() const { return logger_; }
  bool deleteAfterImport() const { return deleteAfterImport_; }
  // The delete flag an earlier import window left (its page was made again).
  void SetDeleteAfterImport(bool on) { deleteAfterImport_ = on; }
  // The zone the logs are imported with: the chosen entry's, else the computer's.
  int ChosenZone() const;
  // What the last import could not do, one line each.
  const QStringList& problems() const { return problems_; }

 Q_SIGNALS:
  void logManagerRequested();

 private:
  const LanguageTexts& texts_;
  LogLibrary& library_;
  DeviceTree tree_;
  LoggerState logger_;
  bool deleteAfterImport_ = false;
  QStringList problems_;

  QLabel* folderCaption_;
  QLabel* folder_;
  QLabel* freeCaption_;
  QLabel* free_;
  QLabel* totalCaption_;
  QLabel* total_;
  QLabel* zoneCaption_;
  QComboBox* zones_;
  QCheckBox* deleteBox_;
  QLabel* disconnected_;
  QPushButton* importButton_;
  LibraryProblemsLabel* libraryProblems_;
};

}  // namespace trevalo
