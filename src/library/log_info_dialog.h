#pragma once
// The log information editor: a log's path and times, and its comment, time zone, track
// colour and line width, edited as copies the log manager stores on Save.

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace trevalo {

class GPSLog;
class LanguageTexts;

class LogInfoDialog : public QDialog {
  Q_OBJECT

 public:
  LogInfoDialog(const LanguageTexts& texts, const GPSLog& log, const QString& timeFormat,
                QWidget* parent = nullptr);

  QString comment() const;
  // The chosen entry's zone, or the log's own when no entry is chosen.
  int timeZone() const;
  // The chosen entry's index, or the log's own when none is chosen (a stored index outside
  // the list selects none).
  int colorIndex() const;
  int lineWidthIndex() const;

  static constexpr int kCommentCapacity = 256;

 private:
  // Closes with Save, unless the comment is longer than the database holds.
  void Save();

  const LanguageTexts& texts_;
  int originalZone_;
  int originalColor_;
  int originalWidth_;
  QLineEdit* comment_;
  QComboBox* zones_;
  QComboBox* colors_;
  QComboBox* widths_;
};

}  // namespace trevalo
