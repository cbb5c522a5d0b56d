#include "tagging/correction_dialog.h"

#include <cmath>

#include <QButtonGroup>
#include <QCheckBox>
#include <QDateEdit>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "shell/language.h"
#include "widgets/plain_text.h"

namespace trevalo {
namespace {

QDate DateOf(TimeValue time) {
  const std::optional<CalendarFields> fields = BreakDown(time);
  return fields ? QDate(fields->year, fields->month, fields->day) : QDate(1970, 1, 1);
}

QTime TimeOf(TimeValue time) {
  const std::optional<CalendarFields> fields = BreakDown(time);
  return fields ? QTime(fields->hour, fields->minute, fields->second) : QTime(0, 0);
}

TimeValue Combine(const QDate& date, const QTime& time) {
  return MakeTime(date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second())
      .value_or(0);
}

MatchSettings OneSpan(bool enabled, std::int64_t span) {
  MatchSettings match;
  match.SetCameraSpan(enabled, span);
  return match;
}

}  // namespace

TimeValue CorrectionDialog::LocalNow() {
  const QDateTime now = QDateTime::currentDateTime();
  return Combine(now.date(), now.time());
}

TimeValue CorrectionDialog::Reference::True() const {
  return Combine(trueDate->date(), trueTime->time());
}

TimeValue CorrectionDialog::Reference::Camera() const {
  return Combine(cameraDate->date(), cameraTime->time());
}

CorrectionDialog::CorrectionDialog(const LanguageTexts& texts, bool enabled, std::int64_t span,
                                   TimeValue now, QWidget* parent)
    : CorrectionDialog(texts, OneSpan(enabled, span), now, std::nullopt, parent) {}

CorrectionDialog::CorrectionDialog(const LanguageTexts& texts, const MatchSettings& current,
                                   TimeValue now, std::optional<TimeValue> photoTime,
                                   QWidget* parent)
    : QDialog(parent), texts_(texts), result_(current) {
  setObjectName(QStringLiteral("correctionDialog"));
  setWindowTitle(texts.Text(QStringLiteral("CORRECTION_TITLE")));
  auto* off = new QRadioButton(texts.Text(QStringLiteral("CORRECTION_OPTION_DISABLE")), this);
  off->setObjectName(QStringLiteral("correctionOff"));
  on_ = new QRadioButton(texts.Text(QStringLiteral("CORRECTION_OPTION_ENABLE")), this);
  on_->setObjectName(QStringLiteral("correctionOn"));
  auto* radios = new QButtonGroup(this);
  radios->addButton(off);
  radios->addButton(on_);
  const bool enabled = current.cameraCorrection;
  const bool drifting = enabled && current.cameraDrift;
  (enabled ? on_ : off)->setChecked(true);

  // One span: the camera showed (now - span) at the true moment now. A drift: the two
  // references it was made of.
  auto* grid = new QGridLayout;
  if (drifting) {
    first_ = AddReference(*grid, 0, "", current.driftFrom + current.cameraSpan, current.driftFrom,
                          photoTime, firstPickers_);
  } else {
    first_ = AddReference(*grid, 0, "", now, enabled ? now - current.cameraSpan : now, photoTime,
                          firstPickers_);
  }
  drift_ = new QCheckBox(texts.Text(QStringLiteral("CORRECTION_CHECK_DRIFT")), this);
  drift_->setObjectName(QStringLiteral("driftCheck"));
  drift_->setChecked(drifting);
  grid->addWidget(drift_, 2, 0, 1, 4);
  const TimeValue secondCamera = drifting ? current.driftTo : now;
  second_ = AddReference(
      *grid, 3, "2",
      drifting ? secondCamera + std::llround(current.CameraCorrectionAt(secondCamera)) : now,
      secondCamera, photoTime, secondPickers_);

  auto* apply = new QPushButton(texts.Text(QStringLiteral("CORRECTION_BUTTON_APPLY")), this);
  apply->setObjectName(QStringLiteral("applyButton"));
  apply->setDefault(true);
  auto* cancel = new QPushButton(texts.Text(QStringLiteral("CORRECTION_BUTTON_CANCEL")), this);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(apply);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(off);
  layout->addWidget(on_);
  layout->addLayout(grid);
  layout->addLayout(buttons);

  connect(on_, &QRadioButton::toggled, this, &CorrectionDialog::ShowEnabled);
  connect(drift_, &QCheckBox::toggled, this, &CorrectionDialog::ShowEnabled);
  connect(apply, &QPushButton::clicked, this, &CorrectionDialog::Apply);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  ShowEnabled();
}

CorrectionDialog::Reference CorrectionDialog::AddReference(QGridLayout& grid, int row,
                                                           const char* suffix, TimeValue trueTime,
                                                           TimeValue cameraTime,
                                                           std::optional<TimeValue> photoTime,
                                                           QList<QWidget*>& pickers) {
  const auto name = [suffix](const char* stem) {
    return QLatin1String(stem) + QLatin1String(suffix);
  };
  const auto date = [&](const char* stem, TimeValue value) {
    auto* edit = new QDateEdit(DateOf(value), this);
    edit->setObjectName(name(stem));
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    edit->setCalendarPopup(true);
    return edit;
  };
  const auto time = [&](const char* stem, TimeValue value) {
    auto* edit = new QTimeEdit(TimeOf(value), this);
    edit->setObjectName(name(stem));
    edit->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    return edit;
  };
  const Reference reference{date("currentDate", trueTime), time("currentTime", trueTime),
                            date("cameraDate", cameraTime), time("cameraTime", cameraTime)};
  auto* trueLabel = new QLabel(
      texts_.Text(QStringLiteral("CORRECTION_TEXT_CURRENTTIME")) + QStringLiteral(" :"), this);
  auto* cameraLabel = new QLabel(
      texts_.Text(QStringLiteral("CORRECTION_TEXT_CAMERATIME")) + QStringLiteral(" :"), this);
  // The user photographed a clock (the logger's, a phone's): the photo's own time is what
  // the camera showed at the moment that clock shows.
  auto* fromPhoto =
      new QPushButton(texts_.Text(QStringLiteral("CORRECTION_BUTTON_FROMPHOTO")), this);
  fromPhoto->setObjectName(name("fromPhoto"));
  fromPhoto->setToolTip(texts_.Text(photoTime ? QStringLiteral("CORRECTION_TIP_FROMPHOTO")
                                              : QStringLiteral("CORRECTION_TIP_NOPHOTO")));
  fromPhoto->setEnabled(false);
  if (photoTime) {
    pickers << fromPhoto;
    connect(fromPhoto, &QPushButton::clicked, this, [reference, at = *photoTime] {
      reference.cameraDate->setDate(DateOf(at));
      reference.cameraTime->setTime(TimeOf(at));
    });
  }
  pickers << trueLabel << reference.trueDate << reference.trueTime << cameraLabel
          << reference.cameraDate << reference.cameraTime;
  grid.addWidget(trueLabel, row, 0);
  grid.addWidget(reference.trueDate, row, 1);
  grid.addWidget(reference.trueTime, row, 2);
  grid.addWidget(cameraLabel, row + 1, 0);
  grid.addWidget(reference.cameraDate, row + 1, 1);
  grid.addWidget(reference.cameraTime, row + 1, 2);
  grid.addWidget(fromPhoto, row + 1, 3);
  return reference;
}

void CorrectionDialog::ShowEnabled() {
  const bool on = on_->isChecked();
  for (QWidget* picker : firstPickers_) {
    picker->setEnabled(on);
  }
  drift_->setEnabled(on);
  for (QWidget* picker : secondPickers_) {
    picker->setEnabled(on && drift_->isChecked());
  }
}

void CorrectionDialog::ApplyTo(MatchSettings& match) const {
  match.cameraCorrection = result_.cameraCorrection;
  match.cameraSpan = result_.cameraSpan;
  match.cameraDrift = result_.cameraDrift;
  match.driftFrom = result_.driftFrom;
  match.driftTo = result_.driftTo;
  match.driftPerSecond = result_.driftPerSecond;
}

void CorrectionDialog::Apply() {
  if (!on_->isChecked()) {
    result_.SetCameraSpan(false, 0);
  } else if (!drift_->isChecked()) {
    result_.SetCameraSpan(true, first_.True() - first_.Camera());
  } else if (!result_.SetCameraReferences(first_.Camera(), first_.True(), second_.Camera(),
                                          second_.True())) {
    PlainMessageBox box(QMessageBox::Warning, windowTitle(),
                        texts_.Text(QStringLiteral("CORRECTION_TEXT_SAMECAMERATIME")),
                        QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("sameCameraTime"));
    box.exec();
    return;
  }
  accept();
}

}  // namespace trevalo
