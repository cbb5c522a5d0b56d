#include "photo/gps_directory.h"

#include <algorithm>
#include <cmath>

#include "track/calendar_time.h"

namespace trevalo {
namespace {

// Integer part of value x scale for a non-negative value, tolerating the representation
// error of the scaled number (45.3 x 10 is 453, not 452).
std::uint32_t Scaled(double value, double scale) {
  const double scaled = std::floor(value * scale + 1e-6);
  if (!(scaled > 0)) {
    return 0;
  }
  return scaled >= 4294967295.0 ? 4294967295u : static_cast<std::uint32_t>(scaled);
}

char First(const std::string& text) {
  return text.empty() ? '\0' : text[0];
}

class DirectoryWriter {
 public:
  DirectoryWriter(ByteOrder order, std::uint32_t base, int entries)
      : order_(order), base_(base), table_(2 + 12 * static_cast<std::size_t>(entries) + 4, 0) {
    PutU16(table_.data(), static_cast<std::uint16_t>(entries), order_);
  }

  void Bytes(std::uint16_t tag, std::initializer_list<std::uint8_t> bytes) {
    std::uint8_t* entry = Entry(tag, kTypeByte, static_cast<std::uint32_t>(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), entry + 8);
  }
  void Short(std::uint16_t tag, std::uint16_t value) {
    PutU16(Entry(tag, kTypeShort, 1) + 8, value, order_);
  }
  // ASCII with its terminating zero: in the entry when it fits in 4 bytes.
  void Ascii(std::uint16_t tag, const std::string& text) {
    const auto count = static_cast<std::uint32_t>(text.size() + 1);
    std::uint8_t* entry = Entry(tag, kTypeAscii, count);
    if (count <= 4) {
      std::copy(text.begin(), text.end(), entry + 8);
      return;
    }
    AlignValue();
    PutU32(entry + 8, NextValueOffset(), order_);
    values_.insert(values_.end(), text.begin(), text.end());
    values_.push_back(0);
  }
  void Rationals(std::uint16_t tag, std::initializer_list<Rational> parts) {
    std::uint8_t* entry = Entry(tag, kTypeRational, static_cast<std::uint32_t>(parts.size()));
    AlignValue();
    PutU32(entry + 8, NextValueOffset(), order_);
    for (const Rational& r : parts) {
      std::uint8_t bytes[8];
      PutU32(bytes, r.numerator, order_);
      PutU32(bytes + 4, r.denominator, order_);
      values_.insert(values_.end(), bytes, bytes + 8);
    }
  }

  std::vector<std::uint8_t> Finish() {
    table_.insert(table_.end(), values_.begin(), values_.end());
    return std::move(table_);
  }

 private:
  std::uint8_t* Entry(std::uint16_t tag, int type, std::uint32_t count) {
    std::uint8_t* entry = table_.data() + 2 + 12 * next_++;
    PutU16(entry, tag, order_);
    PutU16(entry + 2, static_cast<std::uint16_t>(type), order_);
    PutU32(entry + 4, count, order_);
    return entry;
  }
  // Values start on word boundaries; the directory ends with its last value.
  void AlignValue() {
    if (values_.size() % 2 != 0) {
      values_.push_back(0);
    }
  }
  std::uint32_t NextValueOffset() const {
    return base_ + static_cast<std::uint32_t>(table_.size() + values_.size());
  }

  ByteOrder order_;
  std::uint32_t base_;
  std::vector<std::uint8_t> table_;
  std::vector<std::uint8_t> values_;
  std::size_t next_ = 0;
};

}  // namespace

GpsCoordinate CoordinateRationals(double packed, const std::string& reference, int correction,
                                  bool latitude) {
  GpsCoordinate result{First(reference), {}};
  // Fractions of a minute go straight to thousandths of a second (60,000 to the minute), in
  // one multiplication.
  constexpr double kUnitsPerMinute = 60.0 * kSecondsDenominator;
  double degrees;
  double minutes;
  double units;
  if (correction == 0) {
    const double whole = std::trunc(packed);
    degrees = std::trunc(packed / 100);
    minutes = std::fmod(whole, 100);
    units = (packed - whole) * kUnitsPerMinute;
  } else {
    const double d = std::trunc(packed / 100);
    double x = d + (packed - d * 100) / 60;
    if (result.reference == (latitude ? 'S' : 'W')) {
      x = -x;
    }
    x += correction / 100.0 / 3600.0;
    if (x > 0) {
      result.reference = latitude ? 'N' : 'E';
    } else if (x < 0) {
      result.reference = latitude ? 'S' : 'W';
    }
    x = std::fabs(x);
    degrees = std::trunc(x);
    const double m = (x - degrees) * 60;
    minutes = std::trunc(m);
    units = (m - minutes) * kUnitsPerMinute;
  }
  // Rounded to the nearest thousandth; 60.000 seconds is the next minute.
  units = std::round(units);
  if (units >= kUnitsPerMinute) {
    units -= kUnitsPerMinute;
    if (++minutes >= 60) {
      minutes -= 60;
      ++degrees;
    }
  }
  result.parts = {Rational{Scaled(degrees, 1), 1}, Rational{Scaled(minutes, 1), 1},
                  Rational{Scaled(units, 1), kSecondsDenominator}};
  return result;
}

Rational AltitudeRational(double altitude) {
  return {Scaled(altitude, 10), 10};
}

std::vector<std::uint8_t> BuildGpsDirectory(const TrackPoint& point, int latitudeCorrection,
                                            int longitudeCorrection, ByteOrder order,
                                            std::uint32_t base) {
  const bool full = point.ggaMatchesRmc == 1 && point.isPlaced == 0;
  // A position placed by hand has no time and no fix data: its altitude when it was given,
  // and the datum of the map it was placed on.
  const bool placed = point.isPlaced != 0;
  const bool placedAltitude = placed && point.hasPlacedAltitude != 0;
  DirectoryWriter writer(order, base, full ? 19 : placed ? (placedAltitude ? 8 : 6) : 5);
  const GpsCoordinate latitude = CoordinateRationals(point.latitude, point.latitudeRef,
                                                     point.CorrectionOf(latitudeCorrection), true);
  const GpsCoordinate longitude = CoordinateRationals(
      point.longitude, point.longitudeRef, point.CorrectionOf(longitudeCorrection), false);
  writer.Bytes(0, {2, 2, 0, 0});
  writer.Ascii(1, std::string(1, latitude.reference));
  writer.Rationals(2, {latitude.parts[0], latitude.parts[1], latitude.parts[2]});
  writer.Ascii(3, std::string(1, longitude.reference));
  writer.Rationals(4, {longitude.parts[0], longitude.parts[1], longitude.parts[2]});
  if (full) {
    const auto timeOfDay = static_cast<std::uint32_t>(std::max(point.utcTimeOfDay, 0));
    writer.Bytes(5, {point.altitudeBelowSea});
    writer.Rationals(6, {AltitudeRational(point.altitude)});
    writer.Rationals(7,
                     {{timeOfDay / 10000, 1}, {timeOfDay % 10000 / 100, 1}, {timeOfDay % 100, 1}});
    writer.Ascii(8, point.satelliteText);
    writer.Ascii(9, std::string(1, First(point.gsaMode)));
    writer.Ascii(10, std::string(1, First(point.fixTypeText)));
    writer.Rationals(11, {{Scaled(point.dop, 10), 10}});
    writer.Ascii(12, std::string(1, First(point.speedRef)));
    writer.Rationals(13, {{Scaled(point.speed, 10), 10}});
    writer.Ascii(14, std::string(1, First(point.courseRef)));
    writer.Rationals(15, {{Scaled(point.course, 100), 100}});
    writer.Ascii(18, "WGS-84");
    // The date of the UTC time of day above, so that the two make one instant.
    writer.Ascii(29, DateStampText(point.utcTime).substr(0, 10));
    writer.Short(30, static_cast<std::uint16_t>(point.differential));
  } else if (placed) {
    if (placedAltitude) {
      writer.Bytes(5, {point.altitudeBelowSea});
      writer.Rationals(6, {AltitudeRational(point.altitude)});
    }
    writer.Ascii(18, "WGS-84");
  }
  return writer.Finish();
}

}  // namespace trevalo
