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
  std::array<Rational, 3> parts;  // degrees/1, minutes/1, seconds/kSecondsDenominator
};

// Seconds are written in thousandths (a few centimetres), rounded: finer than any fix a
// receiver writes (the logger's ddmm.mmmm is exact to 0.006 seconds) and than what
// interpolation computes, so that a position reads back as the log holds it.
inline constexpr std::uint32_t kSecondsDenominator = 1000;

// A packed ddmm.mmmm (or dddmm.mmmm) value with its reference letter as written, moved by
// `correction` hundredths of an arc second (0: no correction, the letter stays).
GpsCoordinate CoordinateRationals(double packed, const std::string& reference, int correction,
                                  bool latitude);

// The altitude as written: whole tenths of a metre, without its sign.
Rational AltitudeRational(double altitude);

// The directory for a point, laid out to start at `base` (an even offset from the TIFF
// header): 19 entries when the point's GGA data belongs to its RMC epoch, else 5; a point
// placed by hand gets 6, or 8 with its altitude (the datum, no time), and no correction.
// Corrections are hundredths of an arc second on each axis.
std::vector<std::uint8_t> BuildGpsDirectory(const TrackPoint& point, int latitudeCorrection,
                                            int longitudeCorrection, ByteOrder order,
                                            std::uint32_t base);

}  // namespace trevalo
