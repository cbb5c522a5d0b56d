#include "charts/chart_page.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>

#include "export/xml_text.h"
#include "files/native_files.h"
#include "files/native_path.h"
#include "files/output_file.h"

namespace trevalo {
namespace {

constexpr std::string_view kChartService = "https://chart.googleapis.com/chart";
constexpr int kWidth = 800;
constexpr int kHeight = 300;
constexpr int kLeft = 70;
constexpr int kRight = 780;
constexpr int kTop = 34;
constexpr int kBottom = 270;

std::string Number(double value, int decimals) {
  std::string text;
  AppendFixed(text, value, decimals);
  return text;
}

constexpr int kTicks = 4;  // intervals between the labelled ticks of an axis

// The fewest decimals (at most six) with which the tick labels of an axis from `minimum` to
// `maximum` are all different.
int TickDecimals(double minimum, double maximum) {
  constexpr int kMostDecimals = 6;
  for (int decimals = 0; decimals < kMostDecimals; ++decimals) {
    bool distinct = true;
    std::string previous;
    for (int k = 0; k <= kTicks && distinct; ++k) {
      const std::string label = Number(minimum + (maximum - minimum) * k / kTicks, decimals);
      distinct = k == 0 || label != previous;
      previous = label;
    }
    if (distinct) {
      return decimals;
    }
  }
  return kMostDecimals;
}

void HiddenInput(std::string& page, std::string_view name, const std::string& value) {
  page += "<input type='hidden' name='";
  page += name;
  page += "' value='";
  page += value;
  page += "' />\n";
}

// The chart drawn in SVG from the same numbers the form holds.
void AppendSvg(std::string& page, const AltitudeSeries& series, const ChartPage& chart,
               const AxisScale& x, const std::string& yUnit) {
  const double yMin = series.axisMinimum;
  const double yMax = series.axisMaximum;
  const int yDecimals = TickDecimals(yMin, yMax);
  const auto yOf = [&](double value) {
    return kBottom - (value - yMin) / (yMax - yMin) * (kBottom - kTop);
  };
  const int n = series.sampleCount;
  const auto xOf = [&](int i) {
    return n <= 1 ? (kLeft + kRight) / 2.0
                  : kLeft + static_cast<double>(i) * (kRight - kLeft) / (n - 1);
  };
  const bool altitude = chart.kind == ChartKind::kAltitude;
  page += "<svg xmlns='http://www.w3.org/2000/svg' id='chart' width='" + std::to_string(kWidth) +
          "' height='" + std::to_string(kHeight) + "' viewBox='0 0 " + std::to_string(kWidth) +
          " " + std::to_string(kHeight) + "' font-family='sans-serif' font-size='11'>\n";
  page += "<rect width='100%' height='100%' fill='#ffffff' />\n";
  page += "<text x='" + std::to_string(kWidth / 2) +
          "' y='18' text-anchor='middle' "
          "font-size='14'>" +
          XmlContent(chart.title) + "</text>\n";
  // Vertical grid every 5 % of the width.
  for (int k = 1; k < 20; ++k) {
    const std::string x = Number(kLeft + k * (kRight - kLeft) / 20.0, 1);
    page += "<line x1='" + x + "' y1='" + std::to_string(kTop) + "' x2='" + x + "' y2='" +
            std::to_string(kBottom) + "' stroke='#dddddd' stroke-dasharray='1,1' />\n";
  }
  if (n > 0) {
    std::string points;
    for (int i = 0; i < n; ++i) {
      points += Number(xOf(i), 1) + ',' +
                Number(yOf(series.smoothed[static_cast<std::size_t>(i)]), 1) + ' ';
    }
    const std::string base = Number(yOf(yMin), 1);
    page += "<polygon fill='#" + std::string(altitude ? "C5D4B5" : "90d2f1") +
            "' fill-opacity='0.73' points='" + Number(xOf(0), 1) + ',' + base + ' ' + points +
            Number(xOf(n - 1), 1) + ',' + base + "' />\n";
    page += "<polyline fill='none' stroke='#FF0000' stroke-width='2' points='" + points + "' />\n";
  }
  if (yMin < 0 && yMax > 0) {
    const std::string y = Number(yOf(0), 1);
    page += "<line x1='" + std::to_string(kLeft) + "' y1='" + y + "' x2='" +
            std::to_string(kRight) + "' y2='" + y + "' stroke='#000000' />\n";
  }
  page += "<line x1='" + std::to_string(kLeft) + "' y1='" + std::to_string(kTop) + "' x2='" +
          std::to_string(kLeft) + "' y2='" + std::to_string(kBottom) + "' stroke='#b35454' />\n";
  page += "<line x1='" + std::to_string(kLeft) + "' y1='" + std::to_string(kBottom) + "' x2='" +
          std::to_string(kRight) + "' y2='" + std::to_string(kBottom) + "' stroke='#546ab3' />\n";
  for (int k = 0; k <= kTicks; ++k) {
    const double value = yMin + (yMax - yMin) * k / kTicks;
    const std::string y = Number(yOf(value), 1);
    page += "<text x='" + std::to_string(kLeft - 6) + "' y='" + y +
            "' dy='4' text-anchor='end' fill='#b35454'>" + Number(value, yDecimals) + ' ' + yUnit +
            "</text>\n";
    const double xValue = x.maximum * k / kTicks;
    const std::string at = Number(kLeft + (kRight - kLeft) * k / static_cast<double>(kTicks), 1);
    page += "<text x='" + at + "' y='" + std::to_string(kBottom + 16) +
            "' text-anchor='middle' fill='#546ab3'>" + Number(xValue, x.decimals) + ' ' + x.unit +
            "</text>\n";
  }
  page += "</svg>\n";
}

}  // namespace

AxisScale XAxisScale(const ChartPage& page) {
  AxisScale scale;
  if (page.axis == ChartAxis::kDistance) {
    const bool kilometres = page.xExtent >= 1000;
    scale.unit = kilometres ? "Km" : "m";
    scale.maximum = kilometres ? page.xExtent / 1000 : page.xExtent;
  } else {
    const bool hours = page.xExtent >= 3600;
    scale.unit = hours ? "h" : "Min";
    scale.maximum = page.xExtent / (hours ? 3600 : 60);
  }
  scale.decimals = TickDecimals(0, scale.maximum);
  return scale;
}

std::string ChartPageText(const AltitudeSeries& series, const ChartPage& chart) {
  const AxisScale x = XAxisScale(chart);
  const bool altitude = chart.kind == ChartKind::kAltitude;
  const std::string yMin = std::to_string(series.axisMinimum);
  const std::string yMax = std::to_string(series.axisMaximum);
  const double zeroLine = std::abs(static_cast<double>(series.axisMinimum)) /
                          (static_cast<double>(series.axisMaximum) - series.axisMinimum);
  const std::string title = XmlAttribute(chart.title, '\'');

  std::string page;
  page +=
      "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
      "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n"
      "<html xmlns=\"http://www.w3.org/1999/xhtml\">\n<head>\n"
      "<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\" />\n"
      "<title>" +
      XmlContent(chart.title) +
      "</title>\n"
      "<style type=\"text/css\">body { margin: 0; } form { display: none; }</style>\n"
      "</head>\n<body onload=\"\">\n";
  page += "<form action='" + std::string(kChartService) +
          "' method='POST' id='post_form' onsubmit=\"this.action = '" + std::string(kChartService) +
          "?chid=' + (new Date()).getMilliseconds(); return true;\">\n";
  HiddenInput(page, "cht", "lc");
  HiddenInput(page, "chtt", title);
  HiddenInput(page, "chs", "800x300");
  HiddenInput(page, "chxr", "0," + yMin + ',' + yMax + "|1,0," + Number(x.maximum, x.decimals));
  HiddenInput(
      page, "chxs",
      std::string(altitude ? "0N*c* m" : "0N*c* Km/h") + ",b35454|1N*c* " + x.unit + ",546ab3");
  HiddenInput(page, "chco", "FF0000,00FF00");
  HiddenInput(page, "chxt", "y,x");
  HiddenInput(page, "chds", yMin + ',' + yMax);
  HiddenInput(page, "chd", "t:" + series.dataText.toStdString());
  HiddenInput(page, "chg", "5,-1,1,1");
  HiddenInput(page, "chm",
              std::string(altitude ? "B,C5D4B5BB" : "B,90d2f1BB") + ",0,0,0|h,000000,0," +
                  Number(zeroLine, 6) + ",1");
  HiddenInput(page, "chxtc", "0,10|1,10|2,-800");
  page += "</form>\n";
  AppendSvg(page, series, chart, x, altitude ? "m" : "Km/h");
  // The page once posted its form to the chart service on load; it draws the chart itself
  // now, and loadGraph is kept for a page that wants the service's image.
  page +=
      "<script type='text/javascript'>\n"
      "function loadGraph() {\n"
      "  var form = document.getElementById('post_form');\n"
      "  if (form.onsubmit()) { form.submit(); }\n"
      "}\n"
      "</script>\n</body>\n</html>\n";
  return page;
}

QString WriteChartPage(const QString& path, const AltitudeSeries& series, const ChartPage& page) {
  OutputFile file(path);
  file << ChartPageText(series, page);
  return file.Commit();
}

QStringList WriteChartPages(const ChartData& data, const QString& folder, QStringList& problems) {
  QStringList written;
  const auto write = [&](const char* name, const AltitudeSeries& series, const ChartPage& page) {
    const QString path = QDir(folder).filePath(QLatin1String(name));
    if (const QString problem = WriteChartPage(path, series, page); problem.isEmpty()) {
      written << path;
    } else {
      problems << problem;
    }
  };
  if (data.hasDistanceCharts) {
    write("CHT_DISTALT.cht", data.distanceAltitude,
          {QStringLiteral("Altitude (Distance)"), ChartKind::kAltitude, ChartAxis::kDistance,
           data.totalDistance});
    write("CHT_DISTSPD.cht", data.distanceSpeed,
          {QStringLiteral("Speed (Distance)"), ChartKind::kSpeed, ChartAxis::kDistance,
           data.totalDistance});
  } else {
    // A log that goes nowhere has no distance charts: those of the log charted before are
    // taken away, not shown beside this log's statistics.
    for (const char* name : {"CHT_DISTALT.cht", "CHT_DISTSPD.cht"}) {
      const QString path = QDir(folder).filePath(QLatin1String(name));
      struct stat status {};
      const QByteArray native = NativePath(path);
      if (::lstat(native.constData(), &status) == 0 && S_ISREG(status.st_mode) &&
          ::unlink(native.constData()) != 0) {
        problems << QStringLiteral("cannot remove %1: %2").arg(path, SystemReason());
      }
    }
  }
  if (data.hasTimeCharts) {
    const auto seconds = static_cast<double>(data.timeSpan);
    write("CHT_TIMEALT.cht", data.timeAltitude,
          {QStringLiteral("Altitude (Time)"), ChartKind::kAltitude, ChartAxis::kTime, seconds});
    write("CHT_TIMESPD.cht", data.timeSpeed,
          {QStringLiteral("Speed (Time)"), ChartKind::kSpeed, ChartAxis::kTime, seconds});
  }
  return written;
}

}  // namespace trevalo
