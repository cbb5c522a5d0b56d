#pragma once
// The altitude graph window: a log's altitude and speed charts over distance and over
// time (one pair shown at a time) beside its statistics.

#include <QDialog>

#include "charts/chart_data.h"

class QPushButton;
class QStackedWidget;
class QTableWidget;
class QWebEngineView;

namespace trevalo {

class LanguageTexts;
class Settings;

class ChartWindow : public QDialog {
  Q_OBJECT

 public:
  // The chart pages must have been written where the page scheme serves them.
  ChartWindow(const Settings& settings, const LanguageTexts& texts,
              const ChartStatistics& statistics, QWidget* parent = nullptr);

  // Shows the other pair of charts (distance or time).
  void Toggle();
  bool showsDistance() const;
  QWebEngineView* view(int index) const { return views_[index]; }

 private:
  void Capture();

  const Settings& settings_;
  const LanguageTexts& texts_;
  QStackedWidget* pairs_;
  QPushButton* toggle_;
  QWebEngineView* views_[4] = {};
};

}  // namespace trevalo
