// trevalo-cli chart: the four chart pages of a log and its statistics.

#include "files/native_files.h"

#include "charts/chart_data.h"
#include "charts/chart_page.h"
#include "cli/command.h"

namespace trevalo::cli {
namespace {

struct StatisticRow {
  const char* label;  // as the chart window lists it
  const char* key;    // JSON key
  QString ChartStatistics::*value;
};

constexpr StatisticRow kRows[] = {
    {"GPS Altitude MIN", "altitudeMinimum", &ChartStatistics::altitudeMinimum},
    {"GPS Altitude AVG", "altitudeAverage", &ChartStatistics::altitudeAverage},
    {"GPS Altitude MAX", "altitudeMaximum", &ChartStatistics::altitudeMaximum},
    {"Speed MIN", "speedMinimum", &ChartStatistics::speedMinimum},
    {"Speed AVG", "speedAverage", &ChartStatistics::speedAverage},
    {"Speed MAX", "speedMaximum", &ChartStatistics::speedMaximum},
    {"Total Distance", "totalDistance", &ChartStatistics::totalDistance},
    {"Elapsed Time", "elapsedTime", &ChartStatistics::elapsedTime},
    {"Start Time", "startTime", &ChartStatistics::startTime},
    {"End Time", "endTime", &ChartStatistics::endTime},
    {"File Name", "fileName", &ChartStatistics::fileName},
};

}  // namespace

int RunChartCommand(const QStringList& arguments, CommandContext& context) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Writes the altitude and speed charts of a log over distance and over time "
      "(CHT_DISTALT.cht, CHT_DISTSPD.cht, CHT_TIMEALT.cht, CHT_TIMESPD.cht: pages a browser "
      "shows) and prints its statistics."));
  const QCommandLineOption out(QStringLiteral("out"),
                               QStringLiteral("The folder for the chart pages."),
                               QStringLiteral("DIR"));
  const QCommandLineOption summer(QStringLiteral("summer"),
                                  QStringLiteral("Summer time: one hour more than the zone."));
  const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Write JSON."));
  parser.addOptions({out, summer, json,
                     ZoneOptionDefinition(QStringLiteral(
                         "Time zone of the log (default: the computer's standard zone)."))});
  parser.addPositionalArgument(QStringLiteral("LOG"),
                               QStringLiteral("A log file: an NMEA log or a GPX track."));
  if (const std::optional<int> done =
          ParseCommandLine(parser, QStringLiteral("chart"), arguments, context)) {
    return *done;
  }
  if (parser.positionalArguments().size() != 1 || !parser.isSet(out)) {
    context.Error(QStringLiteral("chart needs one log file and --out DIR"));
    return kUsageError;
  }
  const std::optional<int> zone = ZoneOption(parser, context);
  if (!zone) {
    return kUsageError;
  }
  const QString folder = parser.value(out);
  if (!IsFolder(folder)) {
    context.Error(QStringLiteral("%1: no such folder").arg(folder));
    return kUserError;
  }
  bool failed = false;
  LogLibrary library =
      LibraryOfFiles(parser.positionalArguments(), *zone, parser.isSet(summer), context, failed);
  if (library.empty()) {
    return kUserError;
  }
  QStringList problems;
  if (!library.LoadHeld(0, problems)) {
    for (const QString& problem : problems) {
      context.Error(problem);
    }
    return kUserError;
  }
  const GPSLog& log = library.log(0);
  const std::unique_ptr<ChartData> data = ComputeCharts(log, log.fileName());
  const QStringList written = WriteChartPages(*data, folder, problems);
  for (const QString& message : data->messages) {
    context.Error(QStringLiteral("%1: %2").arg(log.filePath(), message));
  }
  for (const QString& problem : problems) {
    context.Error(problem);
  }
  if (parser.isSet(json)) {
    JsonWriter writer(context.out);
    writer.BeginObject();
    writer.Key("pages");
    writer.BeginArray();
    for (const QString& page : written) {
      writer.String(page);
    }
    writer.EndArray();
    if (data->hasTimeCharts) {
      for (const StatisticRow& row : kRows) {
        writer.Field(row.key, data->statistics.*row.value);
      }
    }
    writer.EndObject();
    writer.Finish();
  } else {
    for (const QString& page : written) {
      context.out << "wrote " << page << '\n';
    }
    if (data->hasTimeCharts) {
      for (const StatisticRow& row : kRows) {
        context.out << row.label << ": " << data->statistics.*row.value << '\n';
      }
    }
  }
  return data->messages.isEmpty() && problems.isEmpty() ? kSuccess : kUserError;
}

}  // namespace trevalo::cli
