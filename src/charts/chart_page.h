#pragma once
// The chart pages ("CHT_DISTALT.cht" and its three siblings): small XHTML pages that draw
// one series as a line chart in inline SVG, so they work without a network. Each page also
// keeps the chart's parameters in the form of the image-chart service they were once
// posted to.

#include <QString>
#include <QStringList>

#include "charts/chart_data.h"
#include "core/altitude.h"

namespace trevalo {

enum class ChartKind { kAltitude, kSpeed };

struct ChartPage {
  QString title;
  ChartKind kind = ChartKind::kAltitude;
  int xMaximum = 0;  // metres or minutes; the axis shows Km above 999, else "Min"
};

// The page of a finished series (its axis bounds and data text built).
std::string ChartPageText(const CAltitudeArray& series, const ChartPage& page);

// Writes the page into `path`; the empty text on success, else why not.
QString WriteChartPage(const QString& path, const CAltitudeArray& series, const ChartPage& page);

// Writes the pages the data has into `folder` ("CHT_DISTALT.cht", "CHT_DISTSPD.cht",
// "CHT_TIMEALT.cht", "CHT_TIMESPD.cht"). Returns the files written; `problems` receives
// the files that could not be.
QStringList WriteChartPages(const ChartData& data, const QString& folder, QStringList& problems);

}  // namespace trevalo
