#pragma once
// One fix of the logger: an RMC epoch with the GGA, GSA and GSV data of the same epoch and
// the logger's own marks. The fields mirror the EXIF GPS directory written into photos.

#include <cstdint>
#include <string>

#include "track/calendar_time.h"

namespace trevalo {

struct TrackPoint {
  std::uint8_t isWaypoint = 0;
  std::uint8_t isLap = 0;
  std::uint8_t isValid = 0;        // RMC status is exactly "A"
  std::string rmcTimeText;         // RMC time field as written
  std::string ggaTimeText;         // time field of the epoch's last GGA; empty without one
  TimeValue localTime = 0;         // utcTime shifted by the log's effective zone
  TimeValue utcTime = 0;           // date and time of the RMC sentence, whole seconds
  std::uint8_t ggaMatchesRmc = 0;  // GGA and RMC time texts are equal
  std::string latitudeRef;         // "N" or "S" as written
  double latitude = 0;             // packed ddmm.mmmm as written, never negative
  std::string longitudeRef;        // "E" or "W" as written
  double longitude = 0;            // packed dddmm.mmmm
  std::uint8_t altitudeBelowSea = 0;
  double altitude = 0;            // absolute GGA altitude, metres
  std::int32_t utcTimeOfDay = 0;  // hhmmss
  std::string satelliteText;      // satellites-in-view summary of the epoch's GSV messages
  std::int32_t satellitesInView = 0;
  std::string gsaMode;
  std::string fixTypeText;
  double dop = 0;  // HDOP for a 2D fix, PDOP otherwise
  double hdop = 0;
  std::string speedRef;           // always "K"
  double speed = 0;               // km/h
  std::string courseRef;          // always "T"
  double course = 0;              // degrees
  std::string dateStampText;      // localTime as YYYY:MM:DD
  std::int16_t differential = 0;  // GGA fix quality 2
  std::int32_t deviceValue = 0;   // the logger's own altitude reading, metres
  // Not a fix of the log but a position placed between two of them at a photo's time.
  std::uint8_t isInterpolated = 0;
  // Not a fix of any log but a position the user placed a photo at by hand: a latitude and
  // longitude, an altitude only with `hasPlacedAltitude`, no time and no fix data. The
  // position correction, which mends a receiver's offset, never moves it.
  std::uint8_t isPlaced = 0;
  std::uint8_t hasPlacedAltitude = 0;

  double SignedAltitude() const { return altitudeBelowSea ? -altitude : altitude; }
  // The point carries an altitude: its epoch's GGA came (NMEA), or its <ele> (GPX). A point
  // without one (a GPX waypoint without <ele>) is at no altitude, not at 0 m.
  bool HasAltitude() const { return !ggaTimeText.empty() || hasPlacedAltitude != 0; }
  // `correction` (hundredths of an arc second) as it applies to this point.
  int CorrectionOf(int correction) const { return isPlaced != 0 ? 0 : correction; }
  bool operator==(const TrackPoint&) const = default;
};

}  // namespace trevalo
