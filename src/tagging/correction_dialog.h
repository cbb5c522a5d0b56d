#pragma once
// The camera time correction: the user tells what the camera's clock showed at a moment
// whose true time is known, and the difference is added to every photo's capture time. A
// second, later reference tells how far the clock drifted in between: the correction then
// grows in proportion to the camera's time.

#include <cstdint>
#include <optional>

#include <QDialog>

#include "library/match_settings.h"
#include "track/calendar_time.h"

class QCheckBox;
class QDateEdit;
class QGridLayout;
class QRadioButton;
class QTimeEdit;

namespace trevalo {

class LanguageTexts;

class CorrectionDialog : public QDialog {
  Q_OBJECT

 public:
  // `current` holds the photo page's correction; `now` is the local moment the dialog opens
  // at (the true time it shows); `photoTime` the camera time of the selected photo, which
  // "From a photo" puts into a reference (none: the buttons are off).
  CorrectionDialog(const LanguageTexts& texts, const MatchSettings& current, TimeValue now,
                   std::optional<TimeValue> photoTime = std::nullopt, QWidget* parent = nullptr);
  // A correction of one span, without drift.
  CorrectionDialog(const LanguageTexts& texts, bool enabled, std::int64_t span, TimeValue now,
                   QWidget* parent = nullptr);

  // After Apply: whether the correction is on, and true time minus camera time (at the
  // first reference, with a drift).
  bool enabled() const { return result_.cameraCorrection; }
  std::int64_t span() const { return result_.cameraSpan; }
  // Sets the camera correction of `match` to what was applied.
  void ApplyTo(MatchSettings& match) const;
  // Reads the pickers and closes with Accepted; with two references at the same camera time
  // it says so and stays open.
  void Apply();

  // The local moment on this computer's clock now, as a zone-less calendar time.
  static TimeValue LocalNow();

 private:
  // One reference: the true time and what the camera showed then.
  struct Reference {
    QDateEdit* trueDate = nullptr;
    QTimeEdit* trueTime = nullptr;
    QDateEdit* cameraDate = nullptr;
    QTimeEdit* cameraTime = nullptr;
    TimeValue True() const;
    TimeValue Camera() const;
  };
  Reference AddReference(QGridLayout& grid, int row, const char* suffix, TimeValue trueTime,
                         TimeValue cameraTime, std::optional<TimeValue> photoTime,
                         QList<QWidget*>& pickers);
  void ShowEnabled();

  const LanguageTexts& texts_;
  MatchSettings result_;
  QRadioButton* on_ = nullptr;
  QCheckBox* drift_ = nullptr;
  Reference first_;
  Reference second_;
  QList<QWidget*> firstPickers_;
  QList<QWidget*> secondPickers_;
};

}  // namespace trevalo
