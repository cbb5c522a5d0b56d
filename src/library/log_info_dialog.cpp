#include "library/log_info_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "library/time_zone_list.h"
#include "logs/gps_log.h"
#include "shell/language.h"
#include "shell/palette.h"
#include "widgets/plain_text.h"

namespace trevalo {
namespace {

constexpr int kWidthEntries = 6;
constexpr int kColorEntries = 16;

// A swatch of a palette colour, or a black bar `thickness` pixels thick, as a list entry.
QIcon ColorSwatch(int index) {
  const std::uint32_t rgb = RgbForIndex(index);
  QPixmap pixmap(48, 14);
  pixmap.fill(QColor((rgb >> 16) & 0xff, (rgb >> 8) & 0xff, rgb & 0xff));
  QPainter(&pixmap).drawRect(0, 0, 47, 13);
  return QIcon(pixmap);
}

QIcon WidthBar(int thickness) {
  QPixmap pixmap(48, 14);
  pixmap.fill(Qt::white);
  QPainter(&pixmap).fillRect(2, (14 - thickness) / 2, 44, thickness, Qt::black);
  return QIcon(pixmap);
}

}  // namespace

LogInfoDialog::LogInfoDialog(const LanguageTexts& texts, const GPSLog& log,
                             const QString& timeFormat, QWidget* parent)
    : QDialog(parent),
      texts_(texts),
      originalZone_(log.timeZone()),
      originalColor_(log.colorIndex()),
      originalWidth_(log.lineWidthIndex()),
      comment_(new QLineEdit(this)),
      zones_(new QComboBox(this)),
      colors_(new QComboBox(this)),
      widths_(new QComboBox(this)) {
  setObjectName(QStringLiteral("logInfoDialog"));
  setWindowTitle(texts.Text(QStringLiteral("GPSMANINFO_TITLE")));
  comment_->setObjectName(QStringLiteral("comment"));
  // Typing stops at the capacity; a longer comment read from the database is shown whole,
  // and Save says it is too long rather than cutting it unseen.
  comment_->setMaxLength(std::max<int>(kCommentCapacity, static_cast<int>(log.comment().size())));
  comment_->setText(log.comment());
  zones_->setObjectName(QStringLiteral("timeZone"));
  colors_->setObjectName(QStringLiteral("color"));
  widths_->setObjectName(QStringLiteral("lineWidth"));
  const QString gmt = QStringLiteral("GMT");
  for (const int zone : kTimeZoneList) {
    zones_->addItem(ZoneText(zone, gmt), zone);
  }
  // A zone outside the list (the computer's own, say) leaves the list without a choice.
  zones_->setCurrentIndex(ZoneListIndex(log.timeZone()));
  colors_->setIconSize(QSize(48, 14));
  widths_->setIconSize(QSize(48, 14));
  for (int i = 0; i < kColorEntries; ++i) {
    colors_->addItem(ColorSwatch(i), QString(), i);
  }
  for (int i = 0; i < kWidthEntries; ++i) {
    widths_->addItem(WidthBar(6 - i), QString(), i);
  }
  colors_->setCurrentIndex(
      log.colorIndex() >= 0 && log.colorIndex() < kColorEntries ? log.colorIndex() : -1);
  widths_->setCurrentIndex(log.lineWidthIndex() >= 0 && log.lineWidthIndex() < kWidthEntries
                               ? log.lineWidthIndex()
                               : -1);

  auto* path = new QLineEdit(log.filePath(), this);
  path->setObjectName(QStringLiteral("path"));
  path->setReadOnly(true);
  const auto label = [&](const char* key) {
    return new QLabel(texts.Text(QLatin1String(key)) + QStringLiteral(" :"), this);
  };
  auto* start = new QLabel(log.StartTimeText(timeFormat), this);
  start->setObjectName(QStringLiteral("start"));
  auto* end = new QLabel(log.EndTimeText(timeFormat), this);
  end->setObjectName(QStringLiteral("end"));
  auto* grid = new QGridLayout;
  grid->addWidget(label("GPSMAN_LIST_FILENAME"), 0, 0);
  grid->addWidget(path, 0, 1, 1, 3);
  grid->addWidget(label("GPSMAN_LIST_COMMENT"), 1, 0);
  grid->addWidget(comment_, 1, 1, 1, 3);
  grid->addWidget(label("GPSMAN_LIST_TIMESTART"), 2, 0);
  grid->addWidget(start, 2, 1);
  grid->addWidget(label("GPSMAN_LIST_TIMEEND"), 2, 2);
  grid->addWidget(end, 2, 3);
  grid->addWidget(label("GPSMAN_LIST_TIMEZONE"), 3, 0);
  grid->addWidget(zones_, 3, 1);
  grid->addWidget(label("GPSMAN_LIST_COLOR"), 4, 0);
  grid->addWidget(colors_, 4, 1);
  grid->addWidget(label("GPSMAN_LIST_LINEWIDTH"), 4, 2);
  grid->addWidget(widths_, 4, 3);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  auto* save = new QPushButton(texts.Text(QStringLiteral("GPSMANINFO_BUTTON_SAVE")), this);
  save->setObjectName(QStringLiteral("saveButton"));
  save->setDefault(true);
  auto* close = new QPushButton(texts.Text(QStringLiteral("GPSMANINFO_BUTTON_CLOSE")), this);
  close->setObjectName(QStringLiteral("closeButton"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(save);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);
  setMinimumWidth(560);
  connect(save, &QPushButton::clicked, this, &LogInfoDialog::Save);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

QString LogInfoDialog::comment() const {
  return comment_->text();
}

int LogInfoDialog::timeZone() const {
  return zones_->currentIndex() >= 0 ? zones_->currentData().toInt() : originalZone_;
}

int LogInfoDialog::colorIndex() const {
  return colors_->currentIndex() >= 0 ? colors_->currentIndex() : originalColor_;
}

int LogInfoDialog::lineWidthIndex() const {
  return widths_->currentIndex() >= 0 ? widths_->currentIndex() : originalWidth_;
}

void LogInfoDialog::Save() {
  if (comment_->text().size() > kCommentCapacity) {
    PlainMessageBox box(
        QMessageBox::Warning, windowTitle(),
        texts_.Text(QStringLiteral("GPSMANINFO_TEXT_TOOLONG")).arg(kCommentCapacity),
        QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("commentTooLong"));
    box.exec();
    comment_->setFocus();
    return;
  }
  accept();
}

}  // namespace trevalo
