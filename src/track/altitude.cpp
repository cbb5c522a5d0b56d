#include "track/altitude.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "track/geodesy.h"

namespace trevalo {
namespace {

constexpr double kSampleLimit = 1e9;

QString SinglePrecisionText(double value) {
  return DistanceText(static_cast<double>(static_cast<float>(value)));
}

std::int32_t TruncateToInt32(double value) {
  if (std::isnan(value)) {
    return 0;
  }
  return static_cast<std::int32_t>(std::clamp(value, -2147483648.0, 2147483647.0));
}

}  // namespace

void Altitude::Start(double value) {
  count = 1;
  sum = maximum = minimum = average = last = value;
  climb = descent = 0;
}

void Altitude::Add(double value) {
  count += 1;
  sum += value;
  if (count > 1) {
    maximum = std::max(maximum, value);
    minimum = std::min(minimum, value);
  } else {
    maximum = minimum = value;
  }
  average = sum / count;
  if (value < last) {
    descent += last - value;
  } else if (value > last) {
    climb += value - last;
  }
  last = value;
}

QString Altitude::MaximumText() const {
  return SinglePrecisionText(maximum);
}
QString Altitude::MinimumText() const {
  return SinglePrecisionText(minimum);
}
QString Altitude::AverageText() const {
  return SinglePrecisionText(average);
}
QString Altitude::ClimbText() const {
  return SinglePrecisionText(climb);
}
QString Altitude::DescentText() const {
  return SinglePrecisionText(descent);
}

void AltitudeSeries::SetTotal(std::int32_t newTotal) {
  total = newTotal;
  if (total > 0) {
    sampleStep = total / kCapacity + 1;
  }
}

void AltitudeSeries::SetTotal(double newTotal) {
  SetTotal(TruncateToInt32(newTotal));
}

int AltitudeSeries::Push(double value) {
  if (sampleCount > kCapacity - 2) {
    return -1;
  }
  // Within a billion either way the axis bounds (a hundred past the extremes) and the lift
  // of ShiftToPositive (up to the distance between the extremes) stay within 32 bits.
  const std::int32_t sample = TruncateToInt32(std::clamp(value, -kSampleLimit, kSampleLimit));
  samples[static_cast<std::size_t>(sampleCount++)] = sample;
  Add(sample);
  return 0;
}

void AltitudeSeries::FindRange() {
  if (sampleCount == 0) {
    return;
  }
  const auto [low, high] = std::minmax_element(samples.begin(), samples.begin() + sampleCount);
  seriesMinimum = *low;
  seriesMaximum = *high;
}

void AltitudeSeries::Smooth() {
  axisMaximum = seriesMaximum < 0 ? 0 : (seriesMaximum / 100) * 100 + 100;
  axisMinimum = seriesMinimum >= 0 ? 0 : -((std::abs(seriesMinimum) / 100) * 100 + 100);
  smoothed.fill(0);
  if (sampleCount == 0) {
    return;
  }
  const std::int32_t n = sampleCount;
  std::int32_t runLength = 0;
  std::int32_t b = 0;
  while (b < n - 1) {
    smoothed[b] = samples[b];
    if (samples[b + 1] != samples[b]) {
      ++b;
      continue;
    }
    std::int32_t e = b + 1;
    while (e < n - 1 && samples[e] == samples[b]) {
      ++e;
    }
    runLength = e - b;
    const double from = samples[b];
    const double to = samples[e];
    for (std::int32_t k = 1; k < runLength; ++k) {
      smoothed[b + k] = TruncateToInt32(k * (to - from) / runLength + from);
    }
    b = e;
  }
  if (runLength > 1) {
    std::copy(samples.begin() + (n - runLength), samples.begin() + n,
              smoothed.begin() + (n - runLength));
  }
  smoothed[n - 1] = samples[n - 1];
}

int AltitudeSeries::ShiftToPositive() {
  averageShifted = TruncateToInt32(average);
  if (seriesMinimum >= 0) {
    return -1;
  }
  const std::int32_t lift = std::abs(seriesMinimum);
  for (std::int32_t i = 0; i < sampleCount; ++i) {
    samples[i] += lift;
  }
  seriesMinimum += lift;
  seriesMaximum += lift;
  averageShifted += lift;
  return 0;
}

int AltitudeSeries::BuildTexts() {
  if (sampleCount == 0) {
    return -1;
  }
  QString text;
  text.reserve(sampleCount * 5);
  for (std::int32_t i = 0; i < sampleCount; ++i) {
    if (i > 0) {
      text += u',';
    }
    text += QString::number(smoothed[i]);
  }
  dataText = text;
  return 0;
}

}  // namespace trevalo
