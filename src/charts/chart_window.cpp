#include "charts/chart_window.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QWebEngineView>

#include "shell/language.h"
#include "shell/settings.h"
#include "widgets/image_capture.h"
#include "widgets/page_scheme.h"

namespace trevalo {

ChartWindow::ChartWindow(const Settings& settings, const LanguageTexts& texts,
                         const ChartStatistics& statistics, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      texts_(texts),
      pairs_(new QStackedWidget(this)),
      toggle_(new QPushButton(texts.Text(QStringLiteral("CHART_BTN_GRAPH2")), this)) {
  setObjectName(QStringLiteral("chartWindow"));
  setWindowTitle(texts.Text(QStringLiteral("CHART_ALT_GRAPH")));
  // Distance altitude, time altitude, distance speed, time speed.
  const char* const pages[] = {"CHT_DISTALT.cht", "CHT_TIMEALT.cht", "CHT_DISTSPD.cht",
                               "CHT_TIMESPD.cht"};
  for (int i = 0; i < 4; ++i) {
    views_[i] = new QWebEngineView(this);
    views_[i]->setObjectName(QLatin1String(pages[i]));
    views_[i]->setMinimumSize(820, 320);
    // A log that goes nowhere has no distance charts: their views stay empty.
    if (QFileInfo::exists(QDir(settings.folders().cacheFolder).filePath(QLatin1String(pages[i])))) {
      views_[i]->setUrl(PageUrl(QLatin1String(pages[i])));
    } else {
      views_[i]->setHtml(QString());
    }
  }
  for (int pair = 0; pair < 2; ++pair) {
    auto* page = new QWidget(pairs_);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(views_[pair]);      // altitude above
    column->addWidget(views_[pair + 2]);  // speed below
    pairs_->addWidget(page);
  }

  auto* list = new QTableWidget(this);
  list->setObjectName(QStringLiteral("statistics"));
  list->setColumnCount(2);
  list->setHorizontalHeaderLabels({QStringLiteral("Items"), QStringLiteral("Values")});
  list->verticalHeader()->hide();
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setColumnWidth(0, 100);
  list->setColumnWidth(1, 180);
  list->setFixedWidth(300);
  const std::pair<const char*, QString> rows[] = {
      {"GPS Altitude MIN", statistics.altitudeMinimum},
      {"GPS Altitude AVG", statistics.altitudeAverage},
      {"GPS Altitude MAX", statistics.altitudeMaximum},
      {"", {}},
      {"Speed MIN", statistics.speedMinimum},
      {"Speed AVG", statistics.speedAverage},
      {"Speed MAX", statistics.speedMaximum},
      {"", {}},
      {"Total Distance", statistics.totalDistance},
      {"Elapsed Time", statistics.elapsedTime},
      {"Start Time", statistics.startTime},
      {"End Time", statistics.endTime},
      {"", {}},
      {"File Name", statistics.fileName},
  };
  list->setRowCount(static_cast<int>(std::size(rows)));
  for (int r = 0; r < static_cast<int>(std::size(rows)); ++r) {
    list->setItem(r, 0, new QTableWidgetItem(QLatin1String(rows[r].first)));
    list->setItem(r, 1, new QTableWidgetItem(rows[r].second));
  }

  toggle_->setObjectName(QStringLiteral("toggleButton"));
  auto* capture = new QPushButton(QStringLiteral("Capture"), this);
  capture->setObjectName(QStringLiteral("captureButton"));
  auto* close = new QPushButton(texts.Text(QStringLiteral("CHART_CLOSE")), this);
  close->setObjectName(QStringLiteral("closeButton"));
  auto* side = new QVBoxLayout;
  side->addWidget(list, 1);
  side->addWidget(toggle_);
  side->addWidget(capture);
  side->addWidget(close);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(pairs_, 1);
  layout->addLayout(side);

  connect(toggle_, &QPushButton::clicked, this, &ChartWindow::Toggle);
  connect(capture, &QPushButton::clicked, this, &ChartWindow::Capture);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

bool ChartWindow::showsDistance() const {
  return pairs_->currentIndex() == 0;
}

void ChartWindow::Toggle() {
  pairs_->setCurrentIndex(showsDistance() ? 1 : 0);
  toggle_->setText(texts_.Text(showsDistance() ? QStringLiteral("CHART_BTN_GRAPH2")
                                               : QStringLiteral("CHART_BTN_GRAPH1")));
}

void ChartWindow::Capture() {
  const int w = width();
  const int h = height();
  const QRect crop = settings_.ReadFlag(setting::kSupportSkin)
                         ? QRect(QPoint(12, 12), QPoint(w - 13 - 1, h - 38 - 1))
                         : QRect(QPoint(0, 0), QPoint(w - 1, h - 30 - 1));
  CaptureWindowToJpeg(this, QStringLiteral("Capture_Alt"), crop, texts_,
                      settings_.folders().picturesFolder);
}

}  // namespace trevalo
