#include "support/log_generator.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <utility>
#include <vector>

#include "track/calendar_time.h"

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
std::string Packed(double degrees, int degreeDigits, double* writtenDegrees,
                   int minuteDecimals = 4) {
  const double magnitude = std::fabs(degrees);
  int whole = static_cast<int>(magnitude);
  const double scale = std::pow(10, minuteDecimals);
  double minutes = std::round((magnitude - whole) * 60 * scale) / scale;
  if (minutes >= 60) {
    minutes -= 60;
    ++whole;
  }
  *writtenDegrees = (whole + minutes / 60) * (degrees < 0 ? -1 : 1);
  return Format(degreeDigits == 2 ? "%02d%0*.*f" : "%03d%0*.*f", whole, minuteDecimals + 3,
                minuteDecimals, minutes);
}

// The place and motion of epoch k of a plan.
struct EpochMotion {
  TimeValue time;
  double latitude;
  double longitude;
  double altitude;  // rounded to decimetres, as written
  double speedKnots;
  double course;
};

EpochMotion MotionOf(const LogPlan& plan, int k) {
  const TimeValue start =
      *MakeTime(plan.year, plan.month, plan.day, plan.hour, plan.minute, plan.second);
  EpochMotion motion{};
  motion.time = start + static_cast<TimeValue>(k) * plan.intervalSeconds;
  motion.latitude = plan.latitude + k * plan.northMetresPerEpoch / kMetresPerDegree;
  motion.longitude =
      plan.longitude + k * plan.eastMetresPerEpoch /
                           (kMetresPerDegree * std::cos(plan.latitude * 3.141592653589793 / 180));
  // A walk across the 180 degree meridian goes on at the other side, as a receiver says.
  if (motion.longitude > 180) {
    motion.longitude -= 360;
  } else if (motion.longitude < -180) {
    motion.longitude += 360;
  }
  motion.altitude =
      std::round((plan.altitude + k * plan.climbPerEpoch + 5 * std::sin(k / 20.0)) * 10) / 10;
  motion.speedKnots = std::hypot(plan.northMetresPerEpoch, plan.eastMetresPerEpoch) /
                      std::max(plan.intervalSeconds, 1) * 3.6 /
                      1.852;  // epochs in one second: as if a second apart
  motion.course = std::fmod(
      std::atan2(plan.eastMetresPerEpoch, plan.northMetresPerEpoch) * 180 / 3.141592653589793 + 360,
      360);
  return motion;
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
  std::size_t nextLap = 0;
  std::size_t nextWaypoint = 0;
  for (int k = 0; k < plan.epochs; ++k) {
    const EpochMotion motion = MotionOf(plan, k);
    const CalendarFields f = *BreakDown(motion.time);
    const int milliseconds = (k * 37) % 1000;
    std::string time = Format("%02d%02d%02d.%03d", f.hour, f.minute, f.second, milliseconds);
    const std::string date = Format("%02d%02d%02d", f.day, f.month, f.year % 100);
    const double lat = motion.latitude;
    const double lon = motion.longitude;
    GeneratedFix fix{};
    std::string latText = Packed(lat, 2, &fix.latitude);
    std::string lonText = Packed(lon, 3, &fix.longitude);
    const char ns = lat < 0 ? 'S' : 'N';
    const char ew = lon < 0 ? 'W' : 'E';
    const double altitude = motion.altitude;
    fix.altitude = altitude;
    fix.utcSeconds = motion.time;
    fix.rmcTime = time;
    const double speedKnots = motion.speedKnots;
    const double course = motion.course;
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

std::string GenerateMultiSystemLog(const LogPlan& plan, std::vector<GeneratedFix>* fixes) {
  // Satellites in view per system: talker, NMEA system id, signal id, count, first number.
  struct System {
    const char* talker;
    int systemId;
    int signalId;
    int count;
    int firstNumber;
  };
  static constexpr System kSystems[] = {
      {"GP", 1, 1, 7, 2}, {"GL", 2, 1, 5, 65}, {"GA", 3, 7, 6, 3}, {"GB", 4, 1, 4, 11}};
  std::string log = NmeaSentence("GNTXT,01,01,02,u-blox AG - www.u-blox.com");
  log += NmeaSentence("GNTXT,01,01,02,HW UBX 00190000");
  log.reserve(static_cast<std::size_t>(plan.epochs) * 1400);
  for (int k = 0; k < plan.epochs; ++k) {
    const EpochMotion motion = MotionOf(plan, k);
    const CalendarFields f = *BreakDown(motion.time);
    const std::string time = Format("%02d%02d%02d.00", f.hour, f.minute, f.second);
    const std::string date = Format("%02d%02d%02d", f.day, f.month, f.year % 100);
    GeneratedFix fix{};
    const std::string lat = Packed(motion.latitude, 2, &fix.latitude, 5);
    const std::string lon = Packed(motion.longitude, 3, &fix.longitude, 5);
    const char ns = motion.latitude < 0 ? 'S' : 'N';
    const char ew = motion.longitude < 0 ? 'W' : 'E';
    fix.altitude = motion.altitude;
    fix.utcSeconds = motion.time;
    fix.rmcTime = time;
    const std::string place = Format("%s,%c,%s,%c", lat.c_str(), ns, lon.c_str(), ew);
    // RMC first and the navigational status after the mode, as NMEA 4.11 has it.
    log += NmeaSentence(Format("GNRMC,%s,A,%s,%.3f,%.2f,%s,,,D,V", time.c_str(), place.c_str(),
                               motion.speedKnots, motion.course, date.c_str()));
    log += NmeaSentence(Format("GNVTG,%.2f,T,,M,%.3f,N,%.3f,K,D", motion.course, motion.speedKnots,
                               motion.speedKnots * 1.852));
    log += NmeaSentence(Format("GNGGA,%s,%s,2,%02d,0.58,%.1f,M,18.2,M,,", time.c_str(),
                               place.c_str(), 12, motion.altitude));
    for (const System& system : kSystems) {
      std::string body = "GNGSA,A,3";
      for (int s = 0; s < 12; ++s) {
        body += s < system.count - 2 ? Format(",%02d", system.firstNumber + s) : ",";
      }
      log += NmeaSentence(body + Format(",1.02,0.58,0.84,%d", system.systemId));
    }
    for (const System& system : kSystems) {
      const int messages = (system.count + 3) / 4;
      for (int m = 1; m <= messages; ++m) {
        std::string body = Format("%sGSV,%d,%d,%02d", system.talker, messages, m, system.count);
        for (int s = (m - 1) * 4; s < std::min(m * 4, system.count); ++s) {
          body += Format(",%02d,%02d,%03d,%02d", system.firstNumber + s, 10 + (s * 13) % 80,
                         (s * 47 + k) % 360, 25 + (s * 3) % 25);
        }
        log += NmeaSentence(body + Format(",%d", system.signalId));
      }
    }
    log += NmeaSentence(Format("GNGLL,%s,%s,A,D", place.c_str(), time.c_str()));
    if (fixes != nullptr) {
      fixes->push_back(fix);
    }
  }
  return log;
}

std::string GenerateGpx(const LogPlan& plan, int version, int segments,
                        std::vector<GeneratedFix>* fixes) {
  const bool old = version == 10;
  std::string gpx = Format(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"%s\" creator=\"trevalo tests\" xmlns=\"http://www.topografix.com/GPX/%s\">\n",
      old ? "1.0" : "1.1", old ? "1/0" : "1/1");
  gpx.reserve(static_cast<std::size_t>(plan.epochs) * (old ? 260 : 120));
  const auto timeText = [](TimeValue t) {
    const CalendarFields f = *BreakDown(t);
    return Format("%04d-%02d-%02dT%02d:%02d:%02dZ", f.year, f.month, f.day, f.hour, f.minute,
                  f.second);
  };
  for (const int k : plan.waypointEpochs) {
    const EpochMotion m = MotionOf(plan, k);
    gpx += Format(
        "<wpt lat=\"%.7f\" lon=\"%.7f\"><ele>%.1f</ele><time>%s</time><name>W%d</name></wpt>\n",
        m.latitude, m.longitude, m.altitude, timeText(m.time).c_str(), k);
  }
  gpx += "<trk><name>generated</name><trkseg>\n";
  const int perSegment = std::max(1, (plan.epochs + segments - 1) / std::max(segments, 1));
  for (int k = 0; k < plan.epochs; ++k) {
    if (k > 0 && k % perSegment == 0) {
      gpx += "</trkseg><trkseg>\n";
    }
    const EpochMotion m = MotionOf(plan, k);
    gpx += Format("<trkpt lat=\"%.7f\" lon=\"%.7f\"><ele>%.1f</ele><time>%s</time>", m.latitude,
                  m.longitude, m.altitude, timeText(m.time).c_str());
    if (old) {
      gpx += Format(
          "<course>%.1f</course><speed>%.3f</speed><fix>3d</fix><sat>%d</sat>"
          "<hdop>1.3</hdop><pdop>2.5</pdop>",
          m.course, m.speedKnots * 1.852 / 3.6, plan.satellites);
    }
    gpx += "</trkpt>\n";
    if (fixes != nullptr) {
      fixes->push_back(GeneratedFix{std::round(m.latitude * 1e7) / 1e7,
                                    std::round(m.longitude * 1e7) / 1e7, m.altitude, m.time,
                                    timeText(m.time)});
    }
  }
  gpx += "</trkseg></trk>\n</gpx>\n";
  return gpx;
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

std::string AddReceiverNoise(const std::string& log, ReceiverNoise noise,
                             std::uint32_t* corruptedPoints) {
  std::string noisy;
  noisy.reserve(log.size() * 2);
  std::uint32_t corrupted = 0;
  int sentence = 0;
  for (std::size_t begin = 0; begin < log.size();) {
    std::size_t end = log.find('\n', begin);
    end = end == std::string::npos ? log.size() : end + 1;
    const std::string line = log.substr(begin, end - begin);
    begin = end;
    const std::size_t star = line.find('*');
    if (line.empty() || line[0] != '$') {
      noisy += line;
      continue;
    }
    ++sentence;
    const std::string body = line.substr(1, star == std::string::npos ? line.size() : star - 1);
    const bool rmc = body.size() > 5 && body.compare(2, 4, "RMC,") == 0;
    switch (noise) {
      case ReceiverNoise::kOtherSystems: {
        if (!rmc) {
          noisy += line;
          break;
        }
        std::vector<std::string> fields;
        for (std::size_t at = 0;;) {
          const std::size_t comma = body.find(',', at);
          fields.push_back(body.substr(at, comma == std::string::npos ? comma : comma - at));
          if (comma == std::string::npos) {
            break;
          }
          at = comma + 1;
        }
        fields.resize(std::max<std::size_t>(fields.size(), 10));
        const auto join = [&fields](const char* tag) {
          std::string joined = tag;
          for (std::size_t i = 1; i < fields.size(); ++i) {
            joined += ',' + fields[i];
          }
          return joined;
        };
        std::vector<std::string> usable = fields;
        fields = {fields[0], fields[1], "V", "", "", "", "", "", "", fields[9]};
        noisy += NmeaSentence(join("GLRMC"));
        noisy += line;
        fields = usable;
        fields[3] = "4000.0000";  // another position
        fields[2] = "A";
        noisy += NmeaSentence(join("GARMC"));
        break;
      }
      case ReceiverNoise::kCorruptedCopies: {
        noisy += line;
        const std::size_t digit = line.find_first_of("0123456789", 7);
        if (star == std::string::npos || digit == std::string::npos || digit > star) {
          break;
        }
        std::string copy = line;
        copy[digit] = copy[digit] == '1' ? '4' : '1';
        noisy += copy;
        corrupted += rmc ? 1 : 0;
        break;
      }
      case ReceiverNoise::kDoubledStarts:
        noisy += (sentence % 3 == 0 ? "$" : "") + line;
        break;
      case ReceiverNoise::kBinaryBefore:
        noisy += (sentence % 2 == 0 ? std::string("\xb5\x62\x01\x07\x5c\x00@\x11\x22\xfe", 10)
                                    : std::string()) +
                 line;
        break;
    }
  }
  if (corruptedPoints != nullptr) {
    *corruptedPoints = corrupted;
  }
  return noisy;
}

double LatitudeAtMillis(const std::vector<GeneratedFix>& fixes, std::int64_t utcMillis) {
  const auto millisOf = [&](std::size_t i) {
    return fixes[i].utcSeconds * 1000 + std::stoi(fixes[i].rmcTime.substr(7));
  };
  std::size_t i = 0;
  while (i + 2 < fixes.size() && millisOf(i + 1) <= utcMillis) {
    ++i;
  }
  const double share = static_cast<double>(utcMillis - millisOf(i)) /
                       static_cast<double>(millisOf(i + 1) - millisOf(i));
  return fixes[i].latitude + share * (fixes[i + 1].latitude - fixes[i].latitude);
}

}  // namespace trevalo::test
