#pragma once
// The chart pages ("CHT_DISTALT.cht" and its three siblings): small XHTML pages that draw
// one series as a line chart in inline SVG, so they work without a network. Each page also
// keeps the chart's parameters in the form of the image-chart service they were once
// posted to.

#include <string>

#include <QString>
#include <QStringList>

#include "charts/chart_data.h"
#include "track/altitude.h"

namespace trevalo {

enum class ChartKind { kAltitude, kSpeed };
// What the x axis runs along.
enum class ChartAxis { kDistance, kTime };

struct ChartPage {
  QString title;
  ChartKind kind = ChartKind::kAltitude;
  ChartAxis axis = ChartAxis::kDistance;
  double xExtent = 0;  // metres along the distance, seconds along the time
};

// An axis as it is labelled: the unit its numbers count, its end in that unit, and the
// decimals its tick labels need to differ from one another.
struct AxisScale {
  std::string unit;
  double maximum = 0;
  int decimals = 0;
};

// The x axis: metres below a kilometre, else kilometres ("Km"); minutes below an hour
// ("Min"), else hours ("h").
AxisScale XAxisScale(const ChartPage& page);

// The page of a finished series (its axis bounds and data text built).
std::string ChartPageText(const AltitudeSeries& series, const ChartPage& page);

// Writes the page into `path`; the empty text on success, else why not.
QString WriteChartPage(const QString& path, const AltitudeSeries& series, const ChartPage& page);

// Writes the pages the data has into `folder` ("CHT_DISTALT.cht", "CHT_DISTSPD.cht",
// "CHT_TIMEALT.cht", "CHT_TIMESPD.cht"). Returns the files written; `problems` receives
// the files that could not be.
QStringList WriteChartPages(const ChartData& data, const QString& folder, QStringList& problems);

}  // namespace trevalo
