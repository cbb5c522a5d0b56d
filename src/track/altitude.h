#pragma once
// Running statistics of a series (Altitude) and the bounded integer series derived from it
// that feeds the charts (AltitudeSeries).

#include <array>
#include <cstdint>

#include <QString>

namespace trevalo {

class Altitude {
 public:
  Altitude() = default;
  virtual ~Altitude() = default;
  Altitude(const Altitude&) = default;
  Altitude& operator=(const Altitude&) = default;

  // Begins a clean series at `value`.
  void Start(double value);
  // Adds a sample. Without Start, the first sample's climb or descent counts from 0.
  void Add(double value);

  // Text forms ("%.3f Km" above 999, else "%.3f m") of the single-precision values.
  QString MaximumText() const;
  QString MinimumText() const;
  QString AverageText() const;
  QString ClimbText() const;
  QString DescentText() const;

  double last = 0;
  double maximum = 0;
  double minimum = 0;
  std::int32_t count = 0;
  double sum = 0;
  double average = 0;
  double climb = 0;
  double descent = 0;
};

class AltitudeSeries : public Altitude {
 public:
  static constexpr int kCapacity = 2000;

  // Sets the total span of the series (metres or seconds) and the sample step derived from
  // it, so that a whole log gives at most 2000 samples.
  void SetTotal(std::int32_t total);
  void SetTotal(double total);
  // Stores a sample (truncated to an integer, kept within +-1e9) and adds it to the
  // statistics; -1 when the series is full (1999 samples), else 0.
  int Push(double value);
  // Smallest and largest sample.
  void FindRange();
  // Axis bounds and the smoothed series: runs of equal samples become ramps.
  void Smooth();
  // Lifts a series with negative samples so that its minimum is 0; -1 when there is
  // nothing to lift.
  int ShiftToPositive();
  // dataText = the smoothed samples joined by ","; -1 for an empty series.
  int BuildTexts();

  std::int32_t total = 0;
  std::int32_t sampleStep = 0;
  std::array<std::int32_t, kCapacity> samples{};
  std::int32_t sampleCount = 0;
  std::array<std::int32_t, kCapacity> smoothed{};
  std::int32_t seriesMinimum = 0;
  std::int32_t seriesMaximum = 0;
  std::int32_t averageShifted = 0;
  std::int32_t axisMaximum = 0;
  std::int32_t axisMinimum = 0;
  QString dataText;
};

}  // namespace trevalo
