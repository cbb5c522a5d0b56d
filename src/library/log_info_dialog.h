#pragma once
// The log information editor: a log's path and times, and its comment, time zone, track
// colour and line width, edited as copies the log manager stores on Save.

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace trevalo {

class GPSLog;
class LanguageTexts;

class CGPSManInfoDlg : public QDialog {
  Q_OBJECT

 public:
  CGPSManInfoDlg(const LanguageTexts& texts, const GPSLog& log, const QString& timeFormat,
                 QWidget* parent = nullptr);

  QString comment() const;
  // The chosen entry's zone, or the log's own when no entry is chosen.
  int timeZone() const;
  int colorIndex() const;
  int lineWidthIndex() const;

  static constexpr int kCommentCapacity = 256;

 private:
  int originalZone_;
  QLineEdit* comment_;
  QComboBox* zones_;
  QComboBox* colors_;
  QComboBox* widths_;
};

}  // namespace trevalo
