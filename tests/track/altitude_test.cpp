#include <gtest/gtest.h>

#include "track/altitude.h"

namespace trevalo {
namespace {

TEST(Altitude, RunningStatistics) {
  Altitude a;
  a.Start(100);
  for (double v : {110.0, 105.0, 120.0, 90.0}) {
    a.Add(v);
  }
  EXPECT_EQ(a.count, 5);
  EXPECT_DOUBLE_EQ(a.maximum, 120);
  EXPECT_DOUBLE_EQ(a.minimum, 90);
  EXPECT_DOUBLE_EQ(a.average, 105);
  EXPECT_DOUBLE_EQ(a.climb, 25);
  EXPECT_DOUBLE_EQ(a.descent, 35);
  EXPECT_EQ(a.MaximumText(), QStringLiteral("120.000 m"));
  EXPECT_EQ(a.ClimbText(), QStringLiteral("25.000 m"));
}

TEST(Altitude, AddWithoutStartCountsFromZero) {
  Altitude a;
  a.Add(50);
  EXPECT_EQ(a.count, 1);
  EXPECT_DOUBLE_EQ(a.climb, 50);
  EXPECT_DOUBLE_EQ(a.minimum, 50);
  EXPECT_DOUBLE_EQ(a.maximum, 50);
}

TEST(Altitude, TextsUseSinglePrecision) {
  Altitude a;
  a.Start(1234.5678);
  EXPECT_EQ(a.MaximumText(), QStringLiteral("1.235 Km"));
  a.Start(0.1);
  EXPECT_EQ(a.AverageText(), QStringLiteral("0.100 m"));
}

TEST(AltitudeArray, StepAndCapacity) {
  AltitudeSeries series;
  series.SetTotal(10000);
  EXPECT_EQ(series.sampleStep, 6);
  series.SetTotal(1999.9);
  EXPECT_EQ(series.total, 1999);
  EXPECT_EQ(series.sampleStep, 1);
  for (int i = 0; i < 1999; ++i) {
    ASSERT_EQ(series.Push(i * 0.9), 0);
  }
  EXPECT_EQ(series.Push(1), -1);  // the 2000th sample
  EXPECT_EQ(series.sampleCount, 1999);
  EXPECT_EQ(series.samples[10], 9);  // truncated
  EXPECT_EQ(series.count, 1999);
}

TEST(AltitudeArray, SmoothTurnsStepsIntoRamps) {
  AltitudeSeries series;
  for (int v : {10, 10, 10, 13, 14}) {
    series.Push(v);
  }
  series.FindRange();
  EXPECT_EQ(series.seriesMinimum, 10);
  EXPECT_EQ(series.seriesMaximum, 14);
  series.Smooth();
  const std::vector<int> smoothed(series.smoothed.begin(), series.smoothed.begin() + 5);
  EXPECT_EQ(smoothed, (std::vector<int>{10, 11, 10, 13, 14}));
  EXPECT_EQ(series.axisMaximum, 100);
  EXPECT_EQ(series.axisMinimum, 0);
  ASSERT_EQ(series.BuildTexts(), 0);
  EXPECT_EQ(series.dataText, QStringLiteral("10,11,10,13,14"));
}

TEST(AltitudeArray, RampsInTheMiddleStay) {
  AltitudeSeries series;
  for (int v : {0, 0, 0, 0, 8, 9, 10, 11, 12}) {
    series.Push(v);
  }
  series.FindRange();
  series.Smooth();
  const std::vector<int> smoothed(series.smoothed.begin(), series.smoothed.begin() + 9);
  EXPECT_EQ(smoothed, (std::vector<int>{0, 2, 4, 6, 8, 9, 10, 11, 12}));
}

TEST(AltitudeArray, NegativeSeries) {
  AltitudeSeries series;
  for (int v : {-150, -20, 30}) {
    series.Push(v);
  }
  series.FindRange();
  series.Smooth();
  EXPECT_EQ(series.axisMinimum, -200);
  EXPECT_EQ(series.axisMaximum, 100);
  EXPECT_EQ(series.ShiftToPositive(), 0);
  EXPECT_EQ(series.seriesMinimum, 0);
  EXPECT_EQ(series.seriesMaximum, 180);
  EXPECT_EQ(series.samples[1], 130);
  EXPECT_EQ(series.averageShifted, -46 + 150);
  EXPECT_EQ(series.ShiftToPositive(), -1);
}

TEST(AltitudeArray, ValuesBeyondAnyMeasurementKeepTheArithmeticWithin32Bits) {
  AltitudeSeries series;
  for (const double v : {1e308, 5.0, -1e308, -1e308, 7.0}) {
    series.Push(v);
  }
  series.FindRange();
  series.Smooth();
  EXPECT_GT(series.axisMaximum, series.seriesMaximum);
  EXPECT_LT(series.axisMinimum, series.seriesMinimum);
  const std::int32_t span = series.seriesMaximum - series.seriesMinimum;
  EXPECT_GT(span, 0);
  ASSERT_EQ(series.ShiftToPositive(), 0);
  EXPECT_EQ(series.seriesMinimum, 0);
  EXPECT_EQ(series.seriesMaximum, span);
  for (std::int32_t i = 0; i < series.sampleCount; ++i) {
    EXPECT_GE(series.samples[i], 0) << i;
  }
  EXPECT_EQ(series.samples[0], span);
}

TEST(AltitudeArray, EmptySeries) {
  AltitudeSeries series;
  EXPECT_EQ(series.BuildTexts(), -1);
  series.FindRange();
  series.Smooth();
  EXPECT_TRUE(series.dataText.isEmpty());
}

}  // namespace
}  // namespace trevalo
