#pragma once
// The EXIF GPS directory written for one track point.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "photo/tiff_data.h"
#include "track/track_point.h"

namespace trevalo {

struct Rational {
  std::uint32_t numerator;
  std::uint32_t denominator;
  bool operator==(const Rational&) const = default;
};

struct GpsCoordinate {
  char reference;                 // 'N', 'S', 'E' or 'W' (or the point's own letter)
  std::array<Rational, 3> parts;  // degrees/1, minutes/1, seconds/secondsDenominator
};

// Seconds of a fix are written in tenths (about 3 m), as the logger's own tags always were;
// a position placed between fixes is computed, not rounded to a receiver's digits, and is
// written in thousandths (a few centimetres) so that it keeps what interpolation gained.
inline constexpr std::uint32_t kFixSecondsDenominator = 10;
inline constexpr std::uint32_t kInterpolatedSecondsDenominator = 1000;

// A packed ddmm.mmmm (or dddmm.mmmm) value with its reference letter as written, moved by
// `correction` hundredths of an arc second (0: no correction, the letter stays).
GpsCoordinate CoordinateRationals(double packed, const std::string& reference, int correction,
                                  bool latitude,
                                  std::uint32_t secondsDenominator = kFixSecondsDenominator);

// The altitude as written: whole tenths of a metre, without its sign.
Rational AltitudeRational(double altitude);

// The directory for a point, laid out to start at `base` (an even offset from the TIFF
// header): 19 entries when the point's GGA data belongs to its RMC epoch, else 5.
// Corrections are hundredths of an arc second on each axis.
std::vector<std::uint8_t> BuildGpsDirectory(const TrackPoint& point, int latitudeCorrection,
                                            int longitudeCorrection, ByteOrder order,
                                            std::uint32_t base);

}  // namespace trevalo
