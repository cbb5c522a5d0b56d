#include "support/log_generator.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <utility>

#include "core/calendar_time.h"

namespace trevalo::test {
namespace {

constexpr double kMetresPerDegree = 111320.0;

[[gnu::format(printf, 1, 2)]] std::string Format(const char* format, ...) {
  char buffer[512];
  va_list arguments;
  va_start(arguments, format);
  const int n = std::vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  return std::string(buffer, static_cast<std::size_t>(std::clamp(n, 0, 511)));
}

// Packed ddmm.mmmm (or dddmm.mmmm) of an unsigned decimal value, with the value it reads
// back as.
std::string Packed(double degrees, int degreeDigits, double* writtenDegrees) {
  const double magnitude = std::fabs(degrees);
  int whole = static_cast<int>(magnitude);
  double minutes = std::round((magnitude - whole) * 60 * 10000) / 10000;
  if (minutes >= 60) {
    minutes -= 60;
    ++whole;
  }
  *writtenDegrees = (whole + minutes / 60) * (degrees < 0 ? -1 : 1);
  return Format(degreeDigits == 2 ? "%02d%07.4f" : "%03d%07.4f", whole, minutes);
}

}  // namespace

std::string NmeaSentence(std::string_view body) {
  unsigned char checksum = 0;
  for (const char c : body) {
    checksum ^= static_cast<unsigned char>(c);
  }
  std::string sentence(1, '$');
  sentence.append(body);
  sentence.append(Format("*%02X\r\n", checksum));
  return sentence;
}

std::string GenerateLog(const LogPlan& plan, std::vector<GeneratedFix>* fixes) {
  std::string log;
  log.reserve(static_cast<std::size_t>(plan.epochs) * 480);
  const TimeValue start =
      *MakeTime(plan.year, plan.month, plan.day, plan.hour, plan.minute, plan.second);
  std::size_t nextLap = 0;
  std::size_t nextWaypoint = 0;
  for (int k = 0; k < plan.epochs; ++k) {
    const TimeValue t = start + static_cast<TimeValue>(k) * plan.intervalSeconds;
    const CalendarFields f = *BreakDown(t);
    const int milliseconds = (k * 37) % 1000;
    std::string time = Format("%02d%02d%02d.%03d", f.hour, f.minute, f.second, milliseconds);
    const std::string date = Format("%02d%02d%02d", f.day, f.month, f.year % 100);
    const double lat = plan.latitude + k * plan.northMetresPerEpoch / kMetresPerDegree;
    double lon =
        plan.longitude + k * plan.eastMetresPerEpoch /
                             (kMetresPerDegree * std::cos(plan.latitude * 3.141592653589793 / 180));
    // A walk across the 180 degree meridian goes on at the other side, as a receiver says.
    if (lon > 180) {
      lon -= 360;
    } else if (lon < -180) {
      lon += 360;
    }
    GeneratedFix fix{};
    std::string latText = Packed(lat, 2, &fix.latitude);
    std::string lonText = Packed(lon, 3, &fix.longitude);
    const char ns = lat < 0 ? 'S' : 'N';
    const char ew = lon < 0 ? 'W' : 'E';
    const double altitude =
        std::round((plan.altitude + k * plan.climbPerEpoch + 5 * std::sin(k / 20.0)) * 10) / 10;
    fix.altitude = altitude;
    fix.utcSeconds = t;
    fix.rmcTime = time;
    const double speedKnots = std::hypot(plan.northMetresPerEpoch, plan.eastMetresPerEpoch) /
                              std::max(plan.intervalSeconds, 1) * 3.6 /
                              1.852;  // epochs in one second: as if a second apart
    const double course = std::fmod(
        std::atan2(plan.eastMetresPerEpoch, plan.northMetresPerEpoch) * 180 / 3.141592653589793 +
            360,
        360);
    std::string altitudeText = Format("%.1f", altitude);
    std::string speedText = Format("%.2f", speedKnots);
    std::string courseText = Format("%.1f", course);
    for (const ReplacedFields& replaced : plan.replacedFields) {
      if (replaced.epoch != k) {
        continue;
      }
      for (auto [text, replacement] :
           {std::pair{&time, &replaced.time}, std::pair{&latText, &replaced.latitude},
            std::pair{&lonText, &replaced.longitude}, std::pair{&altitudeText, &replaced.altitude},
            std::pair{&speedText, &replaced.speed}, std::pair{&courseText, &replaced.course}}) {
        if (!replacement->empty()) {
          *text = *replacement;
        }
      }
    }

    log += NmeaSentence(Format("GPGGA,%s,%s,%c,%s,%c,1,%02d,0.9,%s,M,18.2,M,,", time.c_str(),
                               latText.c_str(), ns, lonText.c_str(), ew,
                               std::min(plan.satellites, 12), altitudeText.c_str()));
    log += NmeaSentence(Format("GPGSA,A,3,04,05,09,12,24,,,,,,,,2.5,1.3,2.1"));
    const int messages = plan.satellites == 0 ? 1 : (plan.satellites + 3) / 4;
    for (int m = 1; m <= messages; ++m) {
      std::string body = Format("GPGSV,%d,%d,%02d", messages, m, plan.satellites);
      for (int s = (m - 1) * 4; s < std::min(m * 4, plan.satellites); ++s) {
        body += Format(",%02d,%02d,%03d,%02d", s + 1, (s * 7) % 90, (s * 41) % 360, 30 + s % 20);
      }
      log += NmeaSentence(body);
    }
    const std::string rmcFields =
        Format("%s,A,%s,%c,%s,%c,%s,%s,%s,,,A", time.c_str(), latText.c_str(), ns, lonText.c_str(),
               ew, speedText.c_str(), courseText.c_str(), date.c_str());
    if (nextLap < plan.lapEpochs.size() && plan.lapEpochs[nextLap] == k) {
      log.append("@TRRMC,").append(rmcFields).append("\r\n");
      ++nextLap;
    }
    if (nextWaypoint < plan.waypointEpochs.size() && plan.waypointEpochs[nextWaypoint] == k) {
      log.append("@WPRMC,").append(rmcFields).append("\r\n");
      ++nextWaypoint;
    }
    log += NmeaSentence(std::string("GPRMC,").append(rmcFields));
    if (plan.deviceSentences) {
      log += Format("@QNDBG,%d,%d,\r\n", k, static_cast<int>(altitude) + 3);
    }
    if (fixes != nullptr) {
      fixes->push_back(fix);
    }
  }
  return log;
}

std::vector<ReplacedFields> UnmeasurableFields(int firstEpoch) {
  std::vector<ReplacedFields> fields{
      {.latitude = "nan"},
      {.longitude = "inf"},
      {.latitude = "1e308"},
      {.latitude = "9500.0000"},
      {.longitude = "18100.0000"},
      {.latitude = "3760.0000"},
      {.longitude = "-12658.1234"},
      {.altitude = "1e308"},
      {.altitude = "nan"},
      {.altitude = "-inf"},
      {.speed = "inf"},
      {.speed = "1e308"},
      {.course = "nan"},
  };
  for (std::size_t i = 0; i < fields.size(); ++i) {
    fields[i].epoch = firstEpoch + static_cast<int>(i);
  }
  return fields;
}

}  // namespace trevalo::test
