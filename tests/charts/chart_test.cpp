#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <span>

#include "charts/chart_data.h"
#include "charts/chart_page.h"
#include "library/log_library.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "track/calendar_time.h"
#include "track/geodesy.h"

namespace trevalo {
namespace {

// The log with the GGA altitude of one epoch replaced.
std::string WithAltitude(std::string log, int epoch, double altitude) {
  std::size_t at = 0;
  for (int k = 0; k <= epoch; ++k) {
    at = log.find("$GPGGA,", at + 1);
  }
  const std::size_t end = log.find('*', at);
  QList<QByteArray> fields = QByteArray::fromStdString(log.substr(at + 1, end - at - 1)).split(',');
  fields[9] = QByteArray::number(altitude, 'f', 1);
  const std::size_t lineEnd = log.find('\n', at) + 1;
  return log.replace(at, lineEnd - at, test::NmeaSentence(fields.join(',').toStdString()));
}

class ChartTest : public ::testing::Test {
 protected:
  // The charts of a log file written from `text`, its points loaded.
  std::unique_ptr<ChartData> Charts(const std::string& text) {
    const QString path = dir_.filePath(QStringLiteral("chart.log"));
    test::WriteFile(path, text);
    library_ = std::make_unique<LogLibrary>(LogLibrary::InMemory({{path, 0, 0, {}, 0}}, 0));
    QStringList problems;
    EXPECT_TRUE(library_->LoadHeld(0, problems));
    return ComputeCharts(library_->log(0), QStringLiteral("chart.log"));
  }
  const GPSLog& Log() const { return library_->log(0); }
  QTemporaryDir dir_;
  std::unique_ptr<LogLibrary> library_;
};

TEST_F(ChartTest, OnePointHasNeitherDistanceNorTime) {
  const auto data = Charts(test::GenerateLog({.epochs = 1}));
  EXPECT_FALSE(data->hasDistanceCharts);
  EXPECT_FALSE(data->hasTimeCharts);
  EXPECT_EQ(data->messages, (QStringList{QStringLiteral("Invalid Log File.."),
                                         QStringLiteral("Invalid Log File..")}));
  QStringList problems;
  EXPECT_TRUE(WriteChartPages(*data, dir_.path(), problems).isEmpty());
}

TEST_F(ChartTest, TheHighestAndLowestAltitudesSurviveTheAveraging) {
  // 6000 points 5 m apart: each sample stands for about four points.
  std::string log = test::GenerateLog(
      {.epochs = 6000, .altitude = 100, .climbPerEpoch = 0, .deviceSentences = false});
  log = WithAltitude(log, 3001, 731.0);
  log = WithAltitude(log, 4502, -42.0);
  const auto data = Charts(log);
  ASSERT_TRUE(data->hasDistanceCharts);
  const AltitudeSeries& series = data->distanceAltitude;
  EXPECT_GT(series.sampleCount, 1000);
  EXPECT_LT(series.sampleCount, 2000);
  const auto samples =
      std::span(series.samples.data(), static_cast<std::size_t>(series.sampleCount));
  EXPECT_EQ(*std::max_element(samples.begin(), samples.end()), 731);
  EXPECT_EQ(*std::min_element(samples.begin(), samples.end()), -42);
  EXPECT_EQ(series.axisMaximum, 800);
  EXPECT_EQ(series.axisMinimum, -100);
  EXPECT_EQ(data->statistics.altitudeMaximum, QStringLiteral("731.0 m"));
  EXPECT_EQ(data->statistics.altitudeMinimum, QStringLiteral("-42.0 m"));
}

TEST_F(ChartTest, TheFirstStretchAveragesItsFirstPointToo) {
  // Constant speed: every speed sample is that speed, the first one included.
  const auto data = Charts(test::GenerateLog({.epochs = 3000}));
  const double speed = Log().points()[1].speed;
  ASSERT_GT(data->distanceSpeed.sampleCount, 100);
  for (int i = 0; i < data->distanceSpeed.sampleCount; ++i) {
    ASSERT_NEAR(data->distanceSpeed.samples[static_cast<std::size_t>(i)], std::trunc(speed), 1)
        << i;
  }
}

TEST_F(ChartTest, ALegLongerThanAStretchRepeatsTheLastSamples) {
  // Two points an hour apart: the time series has one stretch of points, then empty ones.
  const auto data = Charts(test::GenerateLog({.epochs = 2, .intervalSeconds = 3600}));
  ASSERT_TRUE(data->hasTimeCharts);
  const AltitudeSeries& altitude = data->timeAltitude;
  EXPECT_EQ(altitude.sampleCount, 1800);  // 3600 s in stretches of 2 s
  for (int i = 0; i < altitude.sampleCount; ++i) {
    ASSERT_EQ(altitude.samples[static_cast<std::size_t>(i)], altitude.samples[0]) << i;
    ASSERT_EQ(data->timeSpeed.samples[static_cast<std::size_t>(i)], data->timeSpeed.samples[0]);
  }
  EXPECT_GT(altitude.samples[0], 40);
}

TEST_F(ChartTest, DeviceReadingsAreLiftedByTheirAverageDifference) {
  // The generated logger reading is the GPS altitude's whole metres plus 3.
  const auto data = Charts(test::GenerateLog({.epochs = 500, .altitude = 120.0}));
  EXPECT_EQ(ChartAltitude(Log()).deviceOffset(), -3);
  const TrackPoint& point = Log().points()[10];
  EXPECT_EQ(ChartAltitude(Log())(point), std::trunc(point.altitude));
}

TEST_F(ChartTest, StatisticsDescribeTheWholeLog) {
  const auto data = Charts(test::GenerateLog({.epochs = 101, .intervalSeconds = 2}));
  const ChartStatistics& s = data->statistics;
  EXPECT_EQ(s.elapsedTime, QStringLiteral("0 Day, 00:03:20"));
  EXPECT_EQ(s.startTime, UsTimeText(Log().points().front().localTime));
  EXPECT_EQ(s.endTime, UsTimeText(Log().points().back().localTime));
  EXPECT_EQ(s.totalDistance, DistanceText(data->totalDistance));
  EXPECT_NEAR(data->totalDistance, 500, 1);
  EXPECT_EQ(s.speedAverage, SpeedText(data->totalDistance, 200));
  EXPECT_EQ(s.fileName, QStringLiteral("chart.log"));
  double sum = 0;
  for (const TrackPoint& point : Log().points()) {
    sum += point.deviceValue + ChartAltitude(Log()).deviceOffset();
  }
  EXPECT_EQ(s.altitudeAverage, QString::number(sum / 101, 'f', 1) + QStringLiteral(" m"));
}

TEST_F(ChartTest, APointAtNoAltitudeIsLeftOutOfTheChartsAndTheStatistics) {
  // A walk at 500 to 559 m with a waypoint that has a time but no <ele>: no dive to 0 m.
  std::string gpx =
      "<?xml version=\"1.0\"?><gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\">"
      "<wpt lat=\"37.0015\" lon=\"127\"><time>2009-05-17T12:00:30Z</time></wpt><trk><trkseg>";
  for (int k = 0; k < 60; ++k) {
    gpx += "<trkpt lat=\"" + std::to_string(37 + k * 0.0001) + "\" lon=\"127\"><ele>" +
           std::to_string(500 + k) + "</ele><time>2009-05-17T12:00:" + (k < 10 ? "0" : "") +
           std::to_string(k) + "Z</time></trkpt>";
  }
  const auto data = Charts(gpx + "</trkseg></trk></gpx>");
  ASSERT_EQ(Log().pointCount(), 61u);
  const ChartStatistics& s = data->statistics;
  EXPECT_EQ(s.altitudeMinimum, QStringLiteral("500.0 m"));
  EXPECT_EQ(s.altitudeMaximum, QStringLiteral("559.0 m"));
  EXPECT_EQ(s.altitudeAverage, QStringLiteral("529.5 m"));
  for (const AltitudeSeries* series : {&data->distanceAltitude, &data->timeAltitude}) {
    EXPECT_GE(series->minimum, 500);
  }
}

TEST_F(ChartTest, FixesNoReceiverWritesLeaveTheStatisticsFinite) {
  for (const bool device : {true, false}) {
    const auto data = Charts(test::GenerateLog({.epochs = 40,
                                                .intervalSeconds = 2,
                                                .deviceSentences = device,
                                                .replacedFields = test::UnmeasurableFields(5)}));
    const ChartStatistics& s = data->statistics;
    for (const QString* text :
         {&s.altitudeMinimum, &s.altitudeAverage, &s.altitudeMaximum, &s.speedMinimum,
          &s.speedAverage, &s.speedMaximum, &s.totalDistance}) {
      bool isNumber = false;
      const double value = text->section(u' ', 0, 0).toDouble(&isNumber);
      EXPECT_TRUE(isNumber && std::fabs(value) < 1000) << text->toStdString() << " " << device;
    }
    for (const AltitudeSeries* series :
         {&data->distanceAltitude, &data->distanceSpeed, &data->timeAltitude, &data->timeSpeed}) {
      ASSERT_GT(series->sampleCount, 0);
      EXPECT_LT(series->seriesMaximum, 1000) << device;
      EXPECT_GT(series->seriesMinimum, -1000) << device;
    }
  }
}

TEST_F(ChartTest, PagesHoldTheChartFormAndDrawTheSeries) {
  const auto data = Charts(test::GenerateLog(
      {.epochs = 101, .altitude = 45, .climbPerEpoch = 0, .deviceSentences = false}));
  QStringList problems;
  const QStringList pages = WriteChartPages(*data, dir_.path(), problems);
  EXPECT_TRUE(problems.isEmpty());
  ASSERT_EQ(pages.size(), 4);
  EXPECT_TRUE(pages[0].endsWith(QStringLiteral("/CHT_DISTALT.cht")));
  EXPECT_TRUE(pages[3].endsWith(QStringLiteral("/CHT_TIMESPD.cht")));
  const QByteArray page = test::ReadFile(pages[0]);
  QXmlStreamReader xml(page);
  int polylines = 0;
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"polyline") {
      ++polylines;
    }
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_EQ(polylines, 1);
  // About 500 m of track: metres on the axis; altitudes near 45 m: 0..100.
  EXPECT_TRUE(page.contains("name='chxr' value='0,0,100|1,0,500'") ||
              page.contains("name='chxr' value='0,0,100|1,0,499'"))
      << page.toStdString();
  EXPECT_TRUE(page.contains("name='chxs' value='0N*c* m,b35454|1N*c* m,546ab3'"));
  EXPECT_TRUE(page.contains("name='chds' value='0,100'"));
  EXPECT_TRUE(page.contains("name='chm' value='B,C5D4B5BB,0,0,0|h,000000,0,0.000000,1'"));
  EXPECT_TRUE(
      page.contains("name='chd' value='t:" + data->distanceAltitude.dataText.toUtf8() + "'"));
  EXPECT_TRUE(test::ReadFile(pages[1]).contains("0N*c* Km/h,b35454"));

  // A log that lasts but goes nowhere next: its time charts replace the others, and the
  // distance charts of the log before are not left beside them.
  const auto still = Charts(test::GenerateLog(
      {.epochs = 30, .northMetresPerEpoch = 0, .eastMetresPerEpoch = 0, .deviceSentences = false}));
  ASSERT_FALSE(still->hasDistanceCharts);
  ASSERT_TRUE(still->hasTimeCharts);
  EXPECT_EQ(WriteChartPages(*still, dir_.path(), problems).size(), 2);
  EXPECT_TRUE(problems.isEmpty());
  EXPECT_FALSE(QFile::exists(pages[0]));
  EXPECT_FALSE(QFile::exists(dir_.filePath(QStringLiteral("CHT_DISTSPD.cht"))));
  EXPECT_TRUE(QFile::exists(pages[3]));
}

TEST(ChartPage, LongTracksCountKilometres) {
  AltitudeSeries series;
  series.SetTotal(12300);
  series.Push(-150);
  series.Push(20);
  series.FindRange();
  series.Smooth();
  series.BuildTexts();
  const std::string page = ChartPageText(
      series,
      {QStringLiteral("Altitude (Distance)"), ChartKind::kAltitude, ChartAxis::kDistance, 12300});
  EXPECT_NE(page.find("name='chxr' value='0,-200,100|1,0,12'"), std::string::npos) << page;
  EXPECT_NE(page.find("1N*c* Km,546ab3"), std::string::npos);
  EXPECT_NE(page.find("h,000000,0,0.666667,1"), std::string::npos);  // 200 / 300
}

// The tick labels of the x axis (or the y axis) of a chart page, left to right (bottom up).
std::vector<std::string> TickLabels(const std::string& page, const char* colour) {
  std::vector<std::string> labels;
  const std::string marker = std::string("fill='") + colour + "'>";
  for (std::size_t at = page.find(marker); at != std::string::npos;
       at = page.find(marker, at + 1)) {
    const std::size_t start = at + marker.size();
    labels.push_back(page.substr(start, page.find('<', start) - start));
  }
  return labels;
}

TEST(ChartPage, AxesCountInTheUnitOfTheirValuesWithLabelsThatDiffer) {
  AltitudeSeries series;
  series.SetTotal(100);
  series.Push(10);
  series.Push(20);
  series.FindRange();
  series.Smooth();
  series.BuildTexts();
  const auto labels = [&](ChartAxis axis, double extent) {
    return TickLabels(ChartPageText(series, {QStringLiteral("t"), ChartKind::kSpeed, axis, extent}),
                      "#546ab3");
  };
  using Labels = std::vector<std::string>;
  // A 9 m track counts metres; a 3 km track kilometres, with the decimals that tell the
  // ticks apart.
  EXPECT_EQ(labels(ChartAxis::kDistance, 9), (Labels{"0 m", "2 m", "4 m", "7 m", "9 m"}));
  EXPECT_EQ(labels(ChartAxis::kDistance, 3000),
            (Labels{"0.0 Km", "0.8 Km", "1.5 Km", "2.2 Km", "3.0 Km"}));
  EXPECT_EQ(labels(ChartAxis::kDistance, 12300), (Labels{"0 Km", "3 Km", "6 Km", "9 Km", "12 Km"}));
  // Under an hour, minutes; from an hour on, hours. Thirty seconds are half a minute.
  EXPECT_EQ(labels(ChartAxis::kTime, 30),
            (Labels{"0.0 Min", "0.1 Min", "0.2 Min", "0.4 Min", "0.5 Min"}));
  EXPECT_EQ(labels(ChartAxis::kTime, 45 * 60),
            (Labels{"0 Min", "11 Min", "22 Min", "34 Min", "45 Min"}));
  EXPECT_EQ(labels(ChartAxis::kTime, 9000), (Labels{"0.0 h", "0.6 h", "1.2 h", "1.9 h", "2.5 h"}));
  // The form the page keeps says the same.
  const std::string page =
      ChartPageText(series, {QStringLiteral("t"), ChartKind::kSpeed, ChartAxis::kTime, 9000});
  EXPECT_NE(page.find("|1,0,2.5'"), std::string::npos) << page;
  EXPECT_NE(page.find("1N*c* h,546ab3"), std::string::npos);
  // The y axis keeps whole numbers: its bounds are hundreds.
  EXPECT_EQ(TickLabels(page, "#b35454"),
            (Labels{"0 Km/h", "25 Km/h", "50 Km/h", "75 Km/h", "100 Km/h"}));
}

}  // namespace
}  // namespace trevalo
