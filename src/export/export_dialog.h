#pragma once
// The log manager's export window: the format, the folder and the file name, or one file
// per log (batch).

#include <QDialog>

#include "export/log_export.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace trevalo {

class LanguageTexts;
class Settings;

class ExportDialog : public QDialog {
  Q_OBJECT

 public:
  ExportDialog(const Settings& settings, const LanguageTexts& texts, int logCount,
               QWidget* parent = nullptr);

  ExportFormat format() const;
  bool batch() const;
  // Single file: the file's path; batch: the export folder.
  const QString& output() const { return output_; }
  // The name as typed (the KML document's name).
  QString typedName() const;
  void SetExportFolder(const QString& folder);
  // Checks the name (asking before a file is replaced) and closes with Accepted.
  void Export();

 private:
  const Settings& settings_;
  const LanguageTexts& texts_;
  QString folder_;
  QString output_;
  QRadioButton* kml_;
  QRadioButton* gpx_;
  QRadioButton* table_;
  QCheckBox* batch_;
  QLabel* folderLine_;
  QLineEdit* name_;
};

}  // namespace trevalo
