// trevalo-cli geotag: matches photos against logs and writes their positions into them.

#include <algorithm>

#include <QDir>
#include <QFileInfo>

#include "app/language.h"
#include "app/settings.h"
#include "cli/command.h"
#include "core/geodesy.h"
#include "library/log_library.h"
#include "tagging/photo_list.h"
#include "tagging/photo_save.h"

namespace trevalo::cli {
namespace {

// A whole number option within a range, or nullopt after a usage message.
std::optional<long long> NumberOption(const QCommandLineParser& parser, const QString& name,
                                      long long low, long long high, long long fallback,
                                      const CommandContext& context) {
  if (!parser.isSet(name)) {
    return fallback;
  }
  bool ok = false;
  const long long value = parser.value(name).toLongLong(&ok);
  if (!ok || value < low || value > high) {
    context.Error(QStringLiteral("--%1 %2: give a whole number from %3 to %4")
                      .arg(name, parser.value(name))
                      .arg(low)
                      .arg(high));
    return std::nullopt;
  }
  return value;
}

struct PhotoOutcome {
  QString photo;
  bool matched = false;
  QString log;
  std::size_t pointIndex = 0;
  double latitude = 0;
  double longitude = 0;
  QString written;
  QString error;
};

void WriteText(const PhotoOutcome& o, Output& out) {
  out << o.photo << ": ";
  if (!o.error.isEmpty()) {
    out << o.error << '\n';
    return;
  }
  if (!o.matched) {
    out << "not matched (no log covers its time within the tolerance)\n";
    return;
  }
  out << "point " << std::int64_t{static_cast<std::int64_t>(o.pointIndex)} << " of " << o.log
      << " (" << std::string_view(RealText(o.latitude)) << ", "
      << std::string_view(RealText(o.longitude)) << ")";
  if (!o.written.isEmpty()) {
    out << " -> " << o.written;
  }
  out << '\n';
}

void WriteJson(const PhotoOutcome& o, JsonWriter& json) {
  json.BeginObject();
  json.Field("photo", o.photo);
  json.Field("matched", o.matched);
  if (o.matched) {
    json.Field("log", o.log);
    json.Field("pointIndex", o.pointIndex);
    json.Field("latitudeDegrees", o.latitude);
    json.Field("longitudeDegrees", o.longitude);
  }
  if (!o.written.isEmpty()) {
    json.Field("written", o.written);
  }
  if (!o.error.isEmpty()) {
    json.Field("error", o.error);
  }
  json.EndObject();
}

}  // namespace

int RunGeotagCommand(const QStringList& arguments, CommandContext& context) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Matches photos against the log library (or the given logs) and writes the matched "
      "positions into them: as copies in a folder, or in place."));
  const QCommandLineOption logOption(QStringLiteral("log"),
                                     QStringLiteral("Match against this log only (repeatable); "
                                                    "the library is not touched."),
                                     QStringLiteral("FILE"));
  const QCommandLineOption summer(QStringLiteral("summer"),
                                  QStringLiteral("Summer time for the --log files."));
  const QCommandLineOption tolerance(
      QStringLiteral("tolerance"),
      QStringLiteral("Hours either side of a log: 0 (10 minutes), 1, 2, 3 or 99 (no limit; the "
                     "nearest log). Default: the settings' value."),
      QStringLiteral("CODE"));
  const QCommandLineOption cameraOffset(
      QStringLiteral("camera-offset"),
      QStringLiteral("Seconds to add to every capture time (true time minus camera time)."),
      QStringLiteral("SECONDS"));
  const QCommandLineOption latitudeOffset(
      QStringLiteral("lat-offset"), QStringLiteral("Hundredths of an arc second north, -500..500."),
      QStringLiteral("N"));
  const QCommandLineOption longitudeOffset(
      QStringLiteral("lon-offset"), QStringLiteral("Hundredths of an arc second east, -500..500."),
      QStringLiteral("N"));
  const QCommandLineOption out(QStringLiteral("out"),
                               QStringLiteral("Write tagged copies into this folder."),
                               QStringLiteral("DIR"));
  const QCommandLineOption inPlace(QStringLiteral("in-place"),
                                   QStringLiteral("Replace each photo by its tagged version."));
  const QCommandLineOption dryRun(QStringLiteral("dry-run"),
                                  QStringLiteral("Only say what would be written."));
  const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Write JSON."));
  parser.addOptions({logOption, summer, tolerance, cameraOffset, latitudeOffset, longitudeOffset,
                     out, inPlace, dryRun, json,
                     ZoneOptionDefinition(QStringLiteral(
                         "Time zone of the --log files (default: the computer's standard "
                         "zone)."))});
  parser.addPositionalArgument(QStringLiteral("PHOTO"), QStringLiteral("JPEG photos."),
                               QStringLiteral("PHOTO..."));
  if (const std::optional<int> done =
          ParseCommandLine(parser, QStringLiteral("geotag"), arguments, context)) {
    return *done;
  }
  if (parser.positionalArguments().isEmpty()) {
    context.Error(QStringLiteral("geotag needs at least one photo"));
    return kUsageError;
  }
  if (parser.isSet(out) == parser.isSet(inPlace)) {
    context.Error(QStringLiteral("geotag needs exactly one of --out DIR and --in-place"));
    return kUsageError;
  }
  const Settings settings(context.folders);
  const int storedTolerance = settings.ReadSettingInt(setting::kTimeTolerance);
  MatchSettings match;
  const std::optional<long long> toleranceCode = NumberOption(
      parser, QStringLiteral("tolerance"), 0, 99,
      (storedTolerance >= 0 && storedTolerance <= 3) || storedTolerance == 99 ? storedTolerance : 0,
      context);
  const std::optional<long long> span =
      NumberOption(parser, QStringLiteral("camera-offset"), -100LL * 365 * 86400,
                   100LL * 365 * 86400, 0, context);
  const std::optional<long long> north =
      NumberOption(parser, QStringLiteral("lat-offset"), -500, 500, 0, context);
  const std::optional<long long> east =
      NumberOption(parser, QStringLiteral("lon-offset"), -500, 500, 0, context);
  const std::optional<int> zone = ZoneOption(parser, context);
  if (!toleranceCode || !span || !north || !east || !zone) {
    return kUsageError;
  }
  if (*toleranceCode > 3 && *toleranceCode != 99) {
    context.Error(QStringLiteral("--tolerance %1: give 0, 1, 2, 3 or 99").arg(*toleranceCode));
    return kUsageError;
  }
  match.tolerance = static_cast<int>(*toleranceCode);
  match.cameraCorrection = *span != 0;
  match.cameraSpan = *span;
  match.positionCorrection = *north != 0 || *east != 0;
  match.latitudeOffset = static_cast<int>(*north);
  match.longitudeOffset = static_cast<int>(*east);

  const QString outFolder = parser.value(out);
  if (parser.isSet(out) && !QFileInfo(outFolder).isDir()) {
    context.Error(QStringLiteral("%1: no such folder").arg(outFolder));
    return kUserError;
  }

  int exitCode = kSuccess;
  std::optional<LogLibrary> library;
  if (parser.isSet(logOption)) {
    std::vector<LogRecord> records;
    for (const QString& file : parser.values(logOption)) {
      const QString path = QFileInfo(file).absoluteFilePath();
      const GPSLog log(path, 0, 0, {}, *zone, parser.isSet(summer) ? 100 : 0);
      if (!log.hasTimes()) {
        context.Error(QStringLiteral("%1: %2").arg(path, log.scanProblem()));
        exitCode = kUserError;
        continue;
      }
      records.push_back({path, 0, 0, {}, *zone});
    }
    library = LogLibrary::InMemory(records, parser.isSet(summer) ? 100 : 0);
  } else {
    library.emplace(LibraryFolder(context), settings.ReadFlag(setting::kSummerTime) ? 100 : 0);
  }

  const DisplayFormats formats = LoadDisplayFormats(LanguageTexts::Load(settings));
  PhotoList photos;
  std::vector<PhotoOutcome> outcomes;  // in the order the photos were given
  for (const QString& photo : parser.positionalArguments()) {
    QString problem;
    if (photos.AddPhoto(photo, *library, match, formats, &problem) ==
        PhotoList::AddResult::kUnreadable) {
      outcomes.push_back({photo, false, {}, 0, 0, 0, {}, problem});
      exitCode = kUserError;
      continue;
    }
    // What the photo matched, before saving takes it off the list.
    const auto row = std::find_if(photos.rows().begin(), photos.rows().end(),
                                  [&](const PhotoRow& r) { return r.path == photo; });
    if (row == photos.rows().end()) {
      continue;  // the same photo given twice
    }
    PhotoOutcome o{row->path, row->matched, row->logFile, 0, 0, 0, {}, {}};
    if (row->matched) {
      CCoordinate position(row->point);
      position.Convert(match.longitudeCorrection(), match.latitudeCorrection());
      o.latitude = position.latitudeDegrees;
      o.longitude = position.longitudeDegrees;
      if (const std::optional<std::size_t> index = library->Find(row->logFile)) {
        o.pointIndex = library->log(*index).NearestPointIndex(row->captureTime);
      }
    }
    outcomes.push_back(o);
  }
  if (!parser.isSet(dryRun)) {
    const SaveReport report =
        SaveTaggedPhotos(photos, *library, match,
                         parser.isSet(inPlace) ? SaveMode::kInPlace : SaveMode::kCopy, outFolder);
    for (const SaveReport::Item& item : report.items) {
      for (PhotoOutcome& o : outcomes) {
        if (o.photo == item.photo) {
          o.written = item.written;
          o.error = item.problem;
          exitCode = item.problem.isEmpty() ? exitCode : kUserError;
        }
      }
    }
  }
  JsonWriter writer(context.out);
  if (parser.isSet(json)) {
    writer.BeginArray();
  }
  for (const PhotoOutcome& o : outcomes) {
    if (parser.isSet(json)) {
      WriteJson(o, writer);
    } else {
      WriteText(o, context.out);
    }
    if (!o.error.isEmpty() && parser.isSet(json)) {
      context.Error(QStringLiteral("%1: %2").arg(o.photo, o.error));
    }
  }
  if (parser.isSet(json)) {
    writer.EndArray();
    writer.Finish();
  }
  return exitCode;
}

}  // namespace trevalo::cli
