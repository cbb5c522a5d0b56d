#include "tagging/correction_dialog.h"

#include <QButtonGroup>
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

}  // namespace

TimeValue CorrectionDialog::LocalNow() {
  const QDateTime now = QDateTime::currentDateTime();
  return Combine(now.date(), now.time());
}

CorrectionDialog::CorrectionDialog(const LanguageTexts& texts, bool enabled, std::int64_t span,
                                   TimeValue now, QWidget* parent)
    : QDialog(parent), enabled_(enabled), span_(span) {
  setObjectName(QStringLiteral("correctionDialog"));
  setWindowTitle(texts.Text(QStringLiteral("CORRECTION_TITLE")));
  auto* off = new QRadioButton(texts.Text(QStringLiteral("CORRECTION_OPTION_DISABLE")), this);
  off->setObjectName(QStringLiteral("correctionOff"));
  on_ = new QRadioButton(texts.Text(QStringLiteral("CORRECTION_OPTION_ENABLE")), this);
  on_->setObjectName(QStringLiteral("correctionOn"));
  auto* radios = new QButtonGroup(this);
  radios->addButton(off);
  radios->addButton(on_);
  (enabled ? on_ : off)->setChecked(true);

  const auto date = [this](const char* name, TimeValue value) {
    auto* edit = new QDateEdit(DateOf(value), this);
    edit->setObjectName(QLatin1String(name));
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    edit->setCalendarPopup(true);
    return edit;
  };
  const auto time = [this](const char* name, TimeValue value) {
    auto* edit = new QTimeEdit(TimeOf(value), this);
    edit->setObjectName(QLatin1String(name));
    edit->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    return edit;
  };
  // The camera showed (now - span) at the true moment now.
  currentDate_ = date("currentDate", now);
  currentTime_ = time("currentTime", now);
  cameraDate_ = date("cameraDate", enabled ? now - span : now);
  cameraTime_ = time("cameraTime", enabled ? now - span : now);
  auto* currentLabel = new QLabel(
      texts.Text(QStringLiteral("CORRECTION_TEXT_CURRENTTIME")) + QStringLiteral(" :"), this);
  auto* cameraLabel = new QLabel(
      texts.Text(QStringLiteral("CORRECTION_TEXT_CAMERATIME")) + QStringLiteral(" :"), this);
  pickers_ = {currentLabel, cameraLabel, currentDate_, currentTime_, cameraDate_, cameraTime_};

  auto* apply = new QPushButton(texts.Text(QStringLiteral("CORRECTION_BUTTON_APPLY")), this);
  apply->setObjectName(QStringLiteral("applyButton"));
  apply->setDefault(true);
  auto* cancel = new QPushButton(texts.Text(QStringLiteral("CORRECTION_BUTTON_CANCEL")), this);
  cancel->setObjectName(QStringLiteral("cancelButton"));

  auto* grid = new QGridLayout;
  grid->addWidget(currentLabel, 0, 0);
  grid->addWidget(currentDate_, 0, 1);
  grid->addWidget(currentTime_, 0, 2);
  grid->addWidget(cameraLabel, 1, 0);
  grid->addWidget(cameraDate_, 1, 1);
  grid->addWidget(cameraTime_, 1, 2);
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
  connect(apply, &QPushButton::clicked, this, &CorrectionDialog::Apply);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  ShowEnabled(enabled);
}

void CorrectionDialog::ShowEnabled(bool on) {
  for (QWidget* picker : pickers_) {
    picker->setEnabled(on);
  }
}

void CorrectionDialog::Apply() {
  enabled_ = on_->isChecked();
  span_ = enabled_ ? Combine(currentDate_->date(), currentTime_->time()) -
                         Combine(cameraDate_->date(), cameraTime_->time())
                   : 0;
  accept();
}

}  // namespace trevalo
