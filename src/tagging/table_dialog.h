#pragma once
// The photo page's table export: the whole photo list as a comma-separated file that
// spreadsheets open, in a folder and under a name the user gives.

#include <QDialog>

#include "tagging/photo_list.h"

class QLabel;
class QLineEdit;

namespace trevalo {

class LanguageTexts;
class Settings;

class TableDialog : public QDialog {
  Q_OBJECT

 public:
  TableDialog(const Settings& settings, const LanguageTexts& texts, const PhotoList& photos,
              QWidget* parent = nullptr);

  const QString& saveFolder() const { return saveFolder_; }
  void SetSaveFolder(const QString& folder);
  // Writes the table and closes with Accepted (asking before replacing a file).
  void Save();
  // Where the table goes: the folder and the name with \ / : * ? " < > | made "_", + ".csv".
  static QString TablePath(const QString& folder, const QString& name);

 private:
  const Settings& settings_;
  const LanguageTexts& texts_;
  const PhotoList& photos_;
  QString saveFolder_;
  QLabel* folderLine_;
  QLineEdit* name_;
};

}  // namespace trevalo
