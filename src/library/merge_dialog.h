#pragma once
// The merge window: how many logs are joined, where the merged log goes and its name.

#include <QDialog>

#include "library/log_merge.h"

class QLabel;
class QLineEdit;

namespace trevalo {

class LanguageTexts;
class Settings;

class MergeDialog : public QDialog {
  Q_OBJECT

 public:
  MergeDialog(const Settings& settings, const LanguageTexts& texts, const MergePlan& plan,
              int logCount, QWidget* parent = nullptr);

  void SetOutputFolder(const QString& folder);
  // Checks the name (asking before a file is replaced) and closes with Accepted.
  void Merge();
  // The merged log's path once accepted.
  const QString& outputPath() const { return outputPath_; }

 private:
  const Settings& settings_;
  const LanguageTexts& texts_;
  QString folder_;
  QString outputPath_;
  QLabel* folderLine_;
  QLineEdit* name_;
};

}  // namespace trevalo
