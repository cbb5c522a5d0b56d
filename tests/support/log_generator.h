#pragma once
// Writes logs in the logger's layout, for tests and benchmarks: per epoch GGA, GSA, GSV,
// RMC, then the logger's own @QNDBG device sentence, with @TRRMC lap and @WPRMC waypoint
// marks before the RMC they mark. Checksums are correct, so other NMEA readers accept them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trevalo::test {

// Texts written instead of the computed fields of one epoch (an empty text keeps the computed
// one), for logs that carry values no receiver writes.
struct ReplacedFields {
  int epoch = 0;
  std::string time;       // hhmmss.sss, in GGA and RMC
  std::string latitude;   // packed ddmm.mmmm, in GGA and RMC
  std::string longitude;  // packed dddmm.mmmm, in GGA and RMC
  std::string altitude;   // GGA, metres
  std::string speed;      // RMC, knots
  std::string course;     // RMC, degrees
};

struct LogPlan {
  int year = 2009, month = 5, day = 17, hour = 12, minute = 0, second = 0;
  int epochs = 100;
  int intervalSeconds = 1;
  double latitude = 37.390945;    // start, signed decimal degrees
  double longitude = 126.968723;  // a walk past 180 degrees goes on at -180
  double northMetresPerEpoch = 3.0;
  double eastMetresPerEpoch = 4.0;
  double altitude = 45.3;  // start altitude, metres
  double climbPerEpoch = 0.25;
  int satellites = 9;
  bool deviceSentences = true;
  std::vector<int> lapEpochs;
  std::vector<int> waypointEpochs;
  std::vector<ReplacedFields> replacedFields;
};

// "$" + body + "*" + checksum + CR LF.
std::string NmeaSentence(std::string_view body);

// The expected values of one generated epoch.
struct GeneratedFix {
  double latitude;  // signed decimal degrees, as written (rounded to the written digits)
  double longitude;
  double altitude;
  std::int64_t utcSeconds;  // seconds since 1970
  std::string rmcTime;      // hhmmss.sss as written
};

std::string GenerateLog(const LogPlan& plan, std::vector<GeneratedFix>* fixes = nullptr);

// Where a generated walk is at `utcMillis` (milliseconds since 1970): on the straight line
// between the fixes around it, by their times as written, fractions of a second included.
double LatitudeAtMillis(const std::vector<GeneratedFix>& fixes, std::int64_t utcMillis);

// A log as a u-blox M9 writes it (NMEA 4.11): per epoch GNRMC first (mode and navigational
// status), GNVTG, GNGGA, one GNGSA per system, GPGSV, GLGSV, GAGSV and GBGSV sequences with
// their signal ids (22 satellites in all), GNGLL. Lap, waypoint, device and replaced fields
// of the plan are not written.
inline constexpr int kMultiSystemSatellites = 22;
std::string GenerateMultiSystemLog(const LogPlan& plan, std::vector<GeneratedFix>* fixes = nullptr);

// The fixes of a plan as a GPX document: 1.0 with speed, course, fix, sat, hdop and pdop,
// 1.1 as phone apps write it (ele and time only). `segments` splits the track into that
// many segments of equal length; the plan's waypoint epochs become <wpt> elements (before
// the track, as the schema orders them) at the same place and time.
std::string GenerateGpx(const LogPlan& plan, int version = 11, int segments = 1,
                        std::vector<GeneratedFix>* fixes = nullptr);

// Fields no receiver writes, one kind in each epoch from `firstEpoch` on: nan, inf and 1e308
// in the numbers, latitude 95, longitude 181, minutes of 60.
std::vector<ReplacedFields> UnmeasurableFields(int firstEpoch);

// What real receivers add to a log that must cost no fix and add none: each sentence's
// bytes and the points read from it stay as they were.
enum class ReceiverNoise {
  // Each RMC beside another system's of the same epoch: one without a fix before it and one
  // with another position after it (the first usable fix, or a combined "GN" one, stays).
  kOtherSystems,
  // After each sentence with a checksum, a copy with one digit changed and the old checksum.
  kCorruptedCopies,
  // Every third sentence starts with a doubled '$'.
  kDoubledStarts,
  // Every second sentence follows binary bytes (a u-blox UBX frame, '@' in it) on its line.
  kBinaryBefore,
};
// The log with that noise; `corruptedPoints` receives how many RMC copies were corrupted.
std::string AddReceiverNoise(const std::string& log, ReceiverNoise noise,
                             std::uint32_t* corruptedPoints = nullptr);

}  // namespace trevalo::test
