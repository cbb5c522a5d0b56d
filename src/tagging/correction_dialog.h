#pragma once
// The camera time correction: the user tells what the camera's clock showed at a moment
// whose true time is known, and the difference is added to every photo's capture time.

#include <cstdint>

#include <QDialog>

#include "track/calendar_time.h"

class QDateEdit;
class QRadioButton;
class QTimeEdit;

namespace trevalo {

class LanguageTexts;

class CorrectionDialog : public QDialog {
  Q_OBJECT

 public:
  // `enabled` and `span` are the photo page's; `now` the local moment the dialog opens at
  // (the true time it shows).
  CorrectionDialog(const LanguageTexts& texts, bool enabled, std::int64_t span, TimeValue now,
                   QWidget* parent = nullptr);

  // After Apply: whether the correction is on, and true time minus camera time.
  bool enabled() const { return enabled_; }
  std::int64_t span() const { return span_; }
  // Reads the pickers and closes with Accepted.
  void Apply();

  // The local moment on this computer's clock now, as a zone-less calendar time.
  static TimeValue LocalNow();

 private:
  void ShowEnabled(bool on);

  bool enabled_;
  std::int64_t span_;
  QRadioButton* on_;
  QDateEdit* currentDate_;
  QTimeEdit* currentTime_;
  QDateEdit* cameraDate_;
  QTimeEdit* cameraTime_;
  QList<QWidget*> pickers_;
};

}  // namespace trevalo
