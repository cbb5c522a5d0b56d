// trevalo-cli log info | points: what the library sees in a log file.

#include <memory>

#include <QFileInfo>

#include "cli/command.h"
#include "export/csv_field.h"
#include "logs/gps_log.h"
#include "shell/language.h"
#include "shell/settings.h"
#include "track/geodesy.h"

namespace trevalo::cli {
namespace {

const QCommandLineOption kJsonOption(QStringLiteral("json"),
                                     QStringLiteral("Write JSON instead of text."));
const QCommandLineOption kSummerOption(QStringLiteral("summer"),
                                       QStringLiteral("Summer time: one hour more than the zone."));

std::string Iso(TimeValue time) {
  return IsoTimeText(time);
}

void WriteInfoText(const GPSLog& log, Output& out) {
  out << log.filePath() << '\n';
  out << "  points " << std::int64_t{log.pointCount()} << ", laps " << std::int64_t{log.lapCount()}
      << ", waypoints " << std::int64_t{log.waypointCount()} << '\n';
  if (log.refusedCount() != 0) {
    out << "  refused " << std::int64_t{log.refusedCount()}
        << " RMC sentences with a wrong checksum\n";
  }
  out << "  zone " << ZoneOffsetText(log.timeZone()) << " (summer time "
      << (log.summerTime() != 0 ? "on" : "off") << ")\n";
  out << "  UTC start   " << Iso(log.utcStart()) << '\n';
  out << "  local start " << Iso(log.localStart()) << '\n';
  out << "  local end   " << Iso(log.localEnd()) << '\n';
}

void WriteCountsJson(const GPSLog& log, JsonWriter& json) {
  json.Field("pointCount", log.pointCount());
  json.Field("lapCount", log.lapCount());
  json.Field("waypointCount", log.waypointCount());
  json.Field("refusedCount", log.refusedCount());
  json.Field("hasTimes", log.hasTimes());
  json.Field("timeZone", log.timeZone());
  json.Field("summerTime", log.summerTime());
}

void WriteInfoJson(const GPSLog& log, const DisplayFormats& formats, JsonWriter& json) {
  WriteCountsJson(log, json);
  json.Field("utcStart", Iso(log.utcStart()));
  json.Field("localStart", Iso(log.localStart()));
  json.Field("localEnd", Iso(log.localEnd()));
  json.Field("startText", log.StartTimeText(formats.timeFormat));
  json.Field("endText", log.EndTimeText(formats.timeFormat));
}

int RunInfo(const QStringList& arguments, CommandContext& context) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Point, lap and waypoint counts and the start and end times of logs, as the "
                     "log library reads them."));
  parser.addOption(ZoneOptionDefinition(
      QStringLiteral("Time zone of the logs (default: the computer's standard zone).")));
  parser.addOption(kSummerOption);
  parser.addOption(kJsonOption);
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("Log files: NMEA logs or GPX tracks."),
                               QStringLiteral("FILE..."));
  if (const std::optional<int> done =
          ParseCommandLine(parser, QStringLiteral("log info"), arguments, context)) {
    return *done;
  }
  const QStringList files = parser.positionalArguments();
  if (files.isEmpty()) {
    context.Error(QStringLiteral("log info needs at least one log file"));
    return kUsageError;
  }
  const std::optional<int> zone = ZoneOption(parser, context);
  if (!zone) {
    return kUsageError;
  }
  const int summerTime = parser.isSet(kSummerOption) ? 100 : 0;
  const bool asJson = parser.isSet(kJsonOption);
  const DisplayFormats formats = LoadDisplayFormats(LanguageTexts::Load(Settings(context.folders)));

  int exitCode = kSuccess;
  JsonWriter json(context.out);
  if (asJson) {
    json.BeginArray();
  }
  for (const QString& file : files) {
    const GPSLog log(file, 0, 0, {}, *zone, summerTime);
    const QString problem = log.hasTimes() ? QString() : log.scanProblem();
    if (!problem.isEmpty()) {
      context.Error(QStringLiteral("%1: %2").arg(file, problem));
      exitCode = kUserError;
    }
    if (asJson) {
      json.BeginObject();
      json.Field("file", file);
      if (problem.isEmpty()) {
        WriteInfoJson(log, formats, json);
      } else {
        // A log that was read still has its counts; only its times are missing.
        if (log.fileReadable()) {
          WriteCountsJson(log, json);
        }
        json.Field("error", problem);
      }
      json.EndObject();
    } else if (problem.isEmpty()) {
      WriteInfoText(log, context.out);
    }
  }
  if (asJson) {
    json.EndArray();
    json.Finish();
  }
  return exitCode;
}

// The point fields in their declared order, then the signed decimal position.
constexpr const char* kPointColumns[] = {
    "isWaypoint",
    "isLap",
    "isValid",
    "rmcTimeText",
    "ggaTimeText",
    "localTime",
    "utcTime",
    "ggaMatchesRmc",
    "latitudeRef",
    "latitude",
    "longitudeRef",
    "longitude",
    "altitudeBelowSea",
    "altitude",
    "utcTimeOfDay",
    "satelliteText",
    "satellitesInView",
    "gsaMode",
    "fixTypeText",
    "dop",
    "hdop",
    "speedRef",
    "speed",
    "courseRef",
    "course",
    "dateStampText",
    "differential",
    "deviceValue",
    "latitudeDegrees",
    "longitudeDegrees",
};

// Calls `emit(name, value)` for every column of a point, values as the JSON writer takes them.
template <typename Emit>
void ForEachPointField(const TrackPoint& p, Emit&& emit) {
  Coordinate position(p);
  position.Convert(0, 0);
  std::size_t c = 0;
  emit(kPointColumns[c++], int{p.isWaypoint});
  emit(kPointColumns[c++], int{p.isLap});
  emit(kPointColumns[c++], int{p.isValid});
  emit(kPointColumns[c++], p.rmcTimeText);
  emit(kPointColumns[c++], p.ggaTimeText);
  emit(kPointColumns[c++], Iso(p.localTime));
  emit(kPointColumns[c++], Iso(p.utcTime));
  emit(kPointColumns[c++], int{p.ggaMatchesRmc});
  emit(kPointColumns[c++], p.latitudeRef);
  emit(kPointColumns[c++], p.latitude);
  emit(kPointColumns[c++], p.longitudeRef);
  emit(kPointColumns[c++], p.longitude);
  emit(kPointColumns[c++], int{p.altitudeBelowSea});
  emit(kPointColumns[c++], p.altitude);
  emit(kPointColumns[c++], int{p.utcTimeOfDay});
  emit(kPointColumns[c++], p.satelliteText);
  emit(kPointColumns[c++], int{p.satellitesInView});
  emit(kPointColumns[c++], p.gsaMode);
  emit(kPointColumns[c++], p.fixTypeText);
  emit(kPointColumns[c++], p.dop);
  emit(kPointColumns[c++], p.hdop);
  emit(kPointColumns[c++], p.speedRef);
  emit(kPointColumns[c++], p.speed);
  emit(kPointColumns[c++], p.courseRef);
  emit(kPointColumns[c++], p.course);
  emit(kPointColumns[c++], p.dateStampText);
  emit(kPointColumns[c++], int{p.differential});
  emit(kPointColumns[c++], int{p.deviceValue});
  emit(kPointColumns[c++], position.latitudeDegrees);
  emit(kPointColumns[c++], position.longitudeDegrees);
}

void WritePointsCsv(const GPSLog& log, Output& out) {
  for (std::size_t i = 0; i < std::size(kPointColumns); ++i) {
    out << (i == 0 ? "" : ",") << kPointColumns[i];
  }
  out << '\n';
  for (const TrackPoint& point : log.points()) {
    bool first = true;
    ForEachPointField(point, [&](const char*, const auto& value) {
      using T = std::decay_t<decltype(value)>;
      if (!first) {
        out << ',';
      }
      first = false;
      if constexpr (std::is_same_v<T, double>) {
        out << std::string_view(RealText(value));
      } else if constexpr (std::is_same_v<T, int>) {
        out << std::int64_t{value};
      } else {
        out << UserText{CsvField(value)};  // a log field may hold control bytes
      }
    });
    out << '\n';
  }
}

void WritePointsJson(const GPSLog& log, Output& out) {
  JsonWriter json(out);
  json.BeginArray();
  for (const TrackPoint& point : log.points()) {
    json.BeginObject();
    ForEachPointField(point, [&](const char* name, const auto& value) {
      using T = std::decay_t<decltype(value)>;
      if constexpr (std::is_same_v<T, std::string>) {
        json.Field(name, std::string_view(value));
      } else {
        json.Field(name, value);
      }
    });
    json.EndObject();
  }
  json.EndArray();
  json.Finish();
}

int RunPoints(const QStringList& arguments, CommandContext& context) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Every track point of a log with all its fields, as CSV or JSON."));
  parser.addOption(ZoneOptionDefinition(
      QStringLiteral("Time zone of the log (default: the computer's standard zone).")));
  parser.addOption(kSummerOption);
  parser.addOption(kJsonOption);
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("A log file: an NMEA log or a GPX track."));
  if (const std::optional<int> done =
          ParseCommandLine(parser, QStringLiteral("log points"), arguments, context)) {
    return *done;
  }
  if (parser.positionalArguments().size() != 1) {
    context.Error(QStringLiteral("log points takes exactly one log file"));
    return kUsageError;
  }
  const std::optional<int> zone = ZoneOption(parser, context);
  if (!zone) {
    return kUsageError;
  }
  const QString file = parser.positionalArguments().front();
  GPSLog log(file, *zone, parser.isSet(kSummerOption) ? 100 : 0, GPSLog::ReadAtOnce{},
             context.pointsCache);
  if (!log.hasTimes()) {
    context.Error(QStringLiteral("%1: %2").arg(file, log.scanProblem()));
    return kUserError;
  }
  if (!log.LoadPoints()) {
    context.Error(QStringLiteral("%1: %2").arg(file, log.loadProblem()));
    return kUserError;
  }
  if (parser.isSet(kJsonOption)) {
    WritePointsJson(log, context.out);
  } else {
    WritePointsCsv(log, context.out);
  }
  return kSuccess;
}

}  // namespace

int RunLogCommand(const QStringList& arguments, CommandContext& context) {
  return RunSubcommand("log", {{"info", RunInfo}, {"points", RunPoints}},
                       "Usage: trevalo-cli log info FILE... [--zone HHMM] [--summer] [--json]\n"
                       "       trevalo-cli log points FILE [--zone HHMM] [--summer] [--json]\n",
                       arguments, context);
}

}  // namespace trevalo::cli
