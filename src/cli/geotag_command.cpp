// trevalo-cli geotag: matches photos against logs and writes their positions into them.

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include "cli/command.h"
#include "files/change_journal.h"
#include "files/native_files.h"
#include "library/log_library.h"
#include "photo/capture_time.h"
#include "photo/photo_metadata.h"
#include "shell/language.h"
#include "shell/settings.h"
#include "tagging/photo_kml.h"
#include "tagging/photo_list.h"
#include "tagging/photo_save.h"
#include "track/geodesy.h"
#include "track/placed_point.h"

namespace trevalo::cli {
namespace {

struct PhotoOutcome {
  QString photo;
  bool matched = false;
  QString log;
  std::size_t pointIndex = 0;
  double latitude = 0;
  double longitude = 0;
  QString written;
  QString error;
  std::optional<FixesAround> between;    // interpolated between these two points
  bool kept = false;                     // left at the position it carries (latitude, longitude)
  std::optional<PlacedPosition> placed;  // placed by --at
  QString photoZone;                     // the zone it was matched by, when its own
};

void WriteText(const PhotoOutcome& o, Output& out) {
  out << o.photo << ": ";
  if (!o.error.isEmpty()) {
    out << o.error << '\n';
    return;
  }
  if (o.kept) {
    out << "kept at its own position (" << std::string_view(RealText(o.latitude)) << ", "
        << std::string_view(RealText(o.longitude)) << ")\n";
    return;
  }
  if (o.placed) {
    out << "placed at (" << std::string_view(RealText(o.latitude)) << ", "
        << std::string_view(RealText(o.longitude));
    if (o.placed->altitude) {
      out << ", " << std::string_view(RealText(*o.placed->altitude)) << " m";
    }
    out << ")";
    if (!o.written.isEmpty()) {
      out << " -> " << o.written;
    }
    out << '\n';
    return;
  }
  if (!o.matched) {
    out << "not matched (no log covers its time within the tolerance)\n";
    return;
  }
  if (o.between) {
    out << "between points " << std::int64_t{static_cast<std::int64_t>(o.between->before)}
        << " and " << std::int64_t{static_cast<std::int64_t>(o.between->after)};
  } else {
    out << "point " << std::int64_t{static_cast<std::int64_t>(o.pointIndex)};
  }
  out << " of " << o.log << " (" << std::string_view(RealText(o.latitude)) << ", "
      << std::string_view(RealText(o.longitude)) << ")";
  if (!o.photoZone.isEmpty()) {
    out << " at UTC by its zone " << o.photoZone;
  }
  if (!o.written.isEmpty()) {
    out << " -> " << o.written;
  }
  out << '\n';
}

void WriteJson(const PhotoOutcome& o, JsonWriter& json) {
  json.BeginObject();
  json.Field("photo", o.photo);
  json.Field("matched", o.matched);
  if (o.kept) {
    json.Field("kept", true);
    json.Field("latitudeDegrees", o.latitude);
    json.Field("longitudeDegrees", o.longitude);
  }
  if (o.placed) {
    json.Field("placed", true);
    json.Field("latitudeDegrees", o.latitude);
    json.Field("longitudeDegrees", o.longitude);
    if (o.placed->altitude) {
      json.Field("altitudeMetres", *o.placed->altitude);
    }
  }
  if (o.matched) {
    if (!o.photoZone.isEmpty()) {
      json.Field("photoZone", o.photoZone);
    }
    json.Field("log", o.log);
    json.Field("pointIndex", o.pointIndex);
    if (o.between) {
      json.Field("pointBefore", o.between->before);
      json.Field("pointAfter", o.between->after);
    }
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

// One --camera-sync reference: what the camera showed, and the true time.
struct SyncReference {
  TimeValue camera = 0;
  TimeValue trueTime = 0;
};

std::optional<SyncReference> ReadSyncReference(const QString& text, CommandContext& context) {
  static const QRegularExpression kForm(
      QStringLiteral("^(\\d{4}:\\d{2}:\\d{2} \\d{2}:\\d{2}:\\d{2})=(\\d{4}:\\d{2}:\\d{2} "
                     "\\d{2}:\\d{2}:\\d{2})$"));
  const QRegularExpressionMatch match = kForm.match(text.trimmed());
  const std::optional<TimeValue> camera =
      match.hasMatch() ? CaptureTime(match.captured(1).toStdString()) : std::nullopt;
  const std::optional<TimeValue> trueTime =
      match.hasMatch() ? CaptureTime(match.captured(2).toStdString()) : std::nullopt;
  if (!camera || !trueTime) {
    context.Error(QStringLiteral("--camera-sync %1: give CAMERA=TRUE, both as YYYY:MM:DD "
                                 "HH:MM:SS (such as \"2024:06:01 10:00:00=2024:06:01 10:02:30\")")
                      .arg(text));
    return std::nullopt;
  }
  return SyncReference{*camera, *trueTime};
}

// Sets the camera correction from one or two --camera-sync references.
bool CameraSync(const QStringList& given, MatchSettings& match, CommandContext& context) {
  if (given.size() > 2) {
    context.Error(QStringLiteral("--camera-sync: give it once or twice"));
    return false;
  }
  std::vector<SyncReference> references;
  for (const QString& text : given) {
    const std::optional<SyncReference> reference = ReadSyncReference(text, context);
    if (!reference) {
      return false;
    }
    references.push_back(*reference);
  }
  if (references.size() == 1) {
    match.SetCameraSpan(true, references[0].trueTime - references[0].camera);
    return true;
  }
  if (!match.SetCameraReferences(references[0].camera, references[0].trueTime, references[1].camera,
                                 references[1].trueTime)) {
    context.Error(
        QStringLiteral("--camera-sync: the two camera times are equal; give the "
                       "second at a later moment"));
    return false;
  }
  return true;
}

// --at LAT,LON[,ALT]: signed decimal degrees and metres.
std::optional<PlacedPosition> ReadPlace(const QString& text, CommandContext& context) {
  const QStringList parts = text.split(u',');
  PlacedPosition place;
  bool ok = parts.size() == 2 || parts.size() == 3;
  const auto number = [&ok](const QString& part) {
    bool read = false;
    const double value = part.trimmed().toDouble(&read);
    ok = ok && read;
    return value;
  };
  if (ok) {
    place.latitude = number(parts[0]);
    place.longitude = number(parts[1]);
    if (parts.size() == 3) {
      place.altitude = number(parts[2]);
    }
  }
  if (!ok || !IsPlaceablePosition(place)) {
    context.Error(QStringLiteral("--at %1: give LATITUDE,LONGITUDE[,ALTITUDE] in signed degrees "
                                 "(latitude -90 to 90, longitude -180 to 180, neither exactly "
                                 "0) and metres (within 100 km of sea level), such as "
                                 "\"35.6586,139.7454,40\"")
                      .arg(text));
    return std::nullopt;
  }
  return place;
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
  const QCommandLineOption cameraSync(
      QStringLiteral("camera-sync"),
      QStringLiteral("What the camera's clock showed at a moment of known true time, both as "
                     "YYYY:MM:DD HH:MM:SS: once for a fixed correction, twice (at two moments) "
                     "for a camera clock that drifts: the correction then grows in proportion "
                     "to the camera's time."),
      QStringLiteral("CAMERA=TRUE"));
  const QCommandLineOption ignorePhotoZone(
      QStringLiteral("ignore-photo-zone"),
      QStringLiteral("Match photos that record their clock's zone (OffsetTimeOriginal) by "
                     "their camera time in each log's zone, as photos without one; by default "
                     "they are matched at their UTC time. Default: the settings' choice."));
  const QCommandLineOption keepPositions(
      QStringLiteral("keep-positions"),
      QStringLiteral("Leave photos that already carry a position untouched (reported as kept); "
                     "the others are tagged. Default: the settings' choice."));
  const QCommandLineOption interpolate(
      QStringLiteral("interpolate"),
      QStringLiteral("Place a photo taken between two fixes on the line between them, in "
                     "proportion to time (latitude, longitude, altitude; speed and course of "
                     "the nearer fix), when they are at most --max-gap apart; otherwise, and "
                     "without this option, the nearest fix."));
  const QCommandLineOption maxGap(
      QStringLiteral("max-gap"),
      QStringLiteral("With --interpolate: the most seconds between the two fixes, 1 to 3600 "
                     "(default: the settings' value, else 60)."),
      QStringLiteral("SECONDS"));
  const QCommandLineOption out(QStringLiteral("out"),
                               QStringLiteral("Write tagged copies into this folder."),
                               QStringLiteral("DIR"));
  const QCommandLineOption inPlace(QStringLiteral("in-place"),
                                   QStringLiteral("Replace each photo by its tagged version."));
  const QCommandLineOption dryRun(QStringLiteral("dry-run"),
                                  QStringLiteral("Only say what would be written."));
  const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Write JSON."));
  const QCommandLineOption kml(
      QStringLiteral("kml"),
      QStringLiteral("Also write the KML document NAME.KML of the tagged photos and the tracks "
                     "of their logs, into the --out folder (with --in-place: the current "
                     "folder)."),
      QStringLiteral("NAME"));
  const QCommandLineOption kmz(QStringLiteral("kmz"),
                               QStringLiteral("Pack the document and the photos into NAME.KMZ."));
  const QCommandLineOption urlPrefix(
      QStringLiteral("url-prefix"),
      QStringLiteral("Address put before each photo's image in the document."),
      QStringLiteral("P"));
  const QCommandLineOption width(
      QStringLiteral("width"),
      QStringLiteral("Width of the photos in the document, up to 1000 (default 800; 0: the "
                     "photo's own width; at most 800 is written)."),
      QStringLiteral("N"));
  const QCommandLineOption sidecar(
      QStringLiteral("sidecar"),
      QStringLiteral("Write every position into an XMP sidecar beside its photo, JPEGs too, and "
                     "change no photo. Photos that "
                     "are not JPEG files (RAW, HEIF, AVIF, WebP, PNG, TIFF) always get "
                     "sidecars; --out and --in-place are needed only for JPEGs written "
                     "themselves."));
  const QCommandLineOption sidecarName(
      QStringLiteral("sidecar-name"),
      QStringLiteral("Sidecar names: 'full' for IMG_1.CR3.xmp (darktable, digiKam), 'base' for "
                     "IMG_1.xmp (Adobe). Default: the settings' choice."),
      QStringLiteral("full|base"));
  const QCommandLineOption at(
      QStringLiteral("at"),
      QStringLiteral("Place every photo at this position instead of matching it against logs: "
                     "signed decimal degrees and, when given, metres above sea level. The "
                     "photos are written as matched ones are."),
      QStringLiteral("LAT,LON[,ALT]"));
  const QCommandLineOption force(QStringLiteral("force"),
                                 QStringLiteral("Replace an existing KML document."));
  parser.addOptions(PositionOffsetOptions());
  parser.addOptions({kml, kmz, urlPrefix, width, force, sidecar, sidecarName});
  parser.addOptions({interpolate, maxGap, cameraSync, ignorePhotoZone, keepPositions, at});
  parser.addOptions({logOption, summer, tolerance, cameraOffset, out, inPlace, dryRun, json,
                     ZoneOptionDefinition(QStringLiteral(
                         "Time zone of the --log files (default: the computer's standard "
                         "zone)."))});
  parser.addPositionalArgument(QStringLiteral("PHOTO"),
                               QStringLiteral("Photos: JPEG, camera RAW (CR2, CR3, NEF, ARW, DNG, "
                                              "ORF, RW2, PEF), HEIF/HEIC, AVIF, WebP, PNG, TIFF."),
                               QStringLiteral("PHOTO..."));
  if (const std::optional<int> done =
          ParseCommandLine(parser, QStringLiteral("geotag"), arguments, context)) {
    return *done;
  }
  if (parser.positionalArguments().isEmpty()) {
    context.Error(QStringLiteral("geotag needs at least one photo"));
    return kUsageError;
  }
  // Only JPEGs are written themselves; the others always get sidecars beside them.
  const QStringList photoPaths = parser.positionalArguments();
  const bool writesPhotos =
      !parser.isSet(sidecar) && std::any_of(photoPaths.begin(), photoPaths.end(), IsJpegFile);
  if ((parser.isSet(out) && parser.isSet(inPlace)) ||
      (writesPhotos && !parser.isSet(out) && !parser.isSet(inPlace))) {
    context.Error(QStringLiteral("geotag needs exactly one of --out DIR and --in-place"));
    return kUsageError;
  }
  if (parser.isSet(sidecarName) && parser.value(sidecarName) != u"full" &&
      parser.value(sidecarName) != u"base") {
    context.Error(
        QStringLiteral("--sidecar-name %1: give full or base").arg(parser.value(sidecarName)));
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
  const std::optional<PositionCorrection> offsets = PositionOffsets(parser, context);
  const std::optional<int> zone = ZoneOption(parser, context);
  const std::optional<long long> imageWidth =
      NumberOption(parser, QStringLiteral("width"), 0, 1000, 800, context);
  const std::optional<long long> gap = NumberOption(
      parser, QStringLiteral("max-gap"), 1, MatchSettings::kLongestMaxGapSeconds,
      MatchSettings::MaxGapOrDefault(settings.ReadSettingInt(setting::kInterpolateMaxGap)),
      context);
  if (!toleranceCode || !span || !offsets || !zone || !imageWidth || !gap) {
    return kUsageError;
  }
  if (*toleranceCode > 3 && *toleranceCode != 99) {
    context.Error(QStringLiteral("--tolerance %1: give 0, 1, 2, 3 or 99").arg(*toleranceCode));
    return kUsageError;
  }
  match.tolerance = static_cast<int>(*toleranceCode);
  match.cameraCorrection = *span != 0;
  match.cameraSpan = *span;
  match.positionCorrection = offsets->latitude != 0 || offsets->longitude != 0;
  match.latitudeOffset = offsets->latitude;
  match.longitudeOffset = offsets->longitude;
  if (parser.isSet(maxGap) && !parser.isSet(interpolate)) {
    context.Error(QStringLiteral("--max-gap goes with --interpolate"));
    return kUsageError;
  }
  match.interpolate = parser.isSet(interpolate);
  match.maxGapSeconds = static_cast<int>(*gap);
  match.usePhotoZone =
      !parser.isSet(ignorePhotoZone) && !settings.ReadFlag(setting::kIgnorePhotoZone);
  match.keepExistingPositions =
      parser.isSet(keepPositions) || settings.ReadFlag(setting::kKeepPositions);
  if (parser.isSet(cameraSync)) {
    if (parser.isSet(cameraOffset)) {
      context.Error(QStringLiteral("give --camera-offset or --camera-sync, not both"));
      return kUsageError;
    }
    if (!CameraSync(parser.values(cameraSync), match, context)) {
      return kUsageError;
    }
  }

  std::optional<PlacedPosition> place;
  if (parser.isSet(at)) {
    place = ReadPlace(parser.value(at), context);
    if (!place) {
      return kUsageError;
    }
    for (const QCommandLineOption& matching :
         {logOption, summer, tolerance, cameraOffset, cameraSync, interpolate, keepPositions,
          ignorePhotoZone}) {
      if (parser.isSet(matching)) {
        context.Error(QStringLiteral("--%1 matches photos against logs: it does not go with --at")
                          .arg(matching.names().constFirst()));
        return kUsageError;
      }
    }
    // The position correction mends a receiver's offset; a place given by hand is exact.
    for (const QString& offset : {QStringLiteral("lat-offset"), QStringLiteral("lon-offset")}) {
      if (parser.isSet(offset)) {
        context.Error(QStringLiteral("--%1 corrects the logs' positions: it does not go with --at")
                          .arg(offset));
        return kUsageError;
      }
    }
  }

  if (!parser.isSet(kml) && (parser.isSet(kmz) || parser.isSet(urlPrefix) || parser.isSet(width) ||
                             parser.isSet(force))) {
    context.Error(QStringLiteral("--kmz, --url-prefix, --width and --force go with --kml"));
    return kUsageError;
  }
  if (parser.isSet(kml) && parser.value(kml).isEmpty()) {
    context.Error(QStringLiteral("--kml needs a name"));
    return kUsageError;
  }

  const QString outFolder = parser.value(out);
  if (parser.isSet(out) && !IsFolder(outFolder)) {
    context.Error(QStringLiteral("%1: no such folder").arg(outFolder));
    return kUserError;
  }
  PhotoKmlOptions kmlOptions;
  kmlOptions.mode = parser.isSet(inPlace) ? SaveMode::kInPlace : SaveMode::kCopy;
  kmlOptions.saveFolder = parser.isSet(out) ? outFolder : CurrentFolder();
  kmlOptions.kml = parser.isSet(kml);
  kmlOptions.kmz = parser.isSet(kmz);
  kmlOptions.kmlName = parser.value(kml);
  kmlOptions.urlPrefix = parser.value(urlPrefix);
  kmlOptions.imageWidth = static_cast<int>(*imageWidth);
  kmlOptions.sidecars.everyPhoto = parser.isSet(sidecar);
  const bool baseNames = parser.isSet(sidecarName) ? parser.value(sidecarName) == u"base"
                                                   : settings.ReadFlag(setting::kSidecarBaseName);
  kmlOptions.sidecars.naming = baseNames ? SidecarNaming::kBaseName : SidecarNaming::kFullName;
  kmlOptions.journalsFolder = JournalsFolder(context.folders.stateFolder);
  kmlOptions.journalDescription = QStringLiteral("geotag ") + arguments.join(u' ');
  if (kmlOptions.kml && !parser.isSet(force) && !parser.isSet(dryRun) &&
      PathExists(PhotoKmlPath(kmlOptions.saveFolder, kmlOptions.kmlName))) {
    context.Error(QStringLiteral("%1 exists (give --force to replace it)")
                      .arg(PhotoKmlPath(kmlOptions.saveFolder, kmlOptions.kmlName)));
    return kUserError;
  }

  int exitCode = kSuccess;
  std::optional<LogLibrary> library;
  if (place) {
    library = LogLibrary::InMemory({}, 0);  // the photos are placed: no log is read
  } else if (parser.isSet(logOption)) {
    bool failed = false;
    library =
        LibraryOfFiles(parser.values(logOption), *zone, parser.isSet(summer), context, failed);
    exitCode = failed ? kUserError : exitCode;
  } else {
    library.emplace(LibraryFolder(context), settings.ReadFlag(setting::kSummerTime) ? 100 : 0);
    if (ReportLibraryProblem(*library, context)) {
      exitCode = kUserError;
    }
  }

  const LanguageTexts texts = LanguageTexts::Load(settings);
  const DisplayFormats formats = LoadDisplayFormats(texts);
  kmlOptions.photoFolderName = texts.Text(QStringLiteral("KML_STRING_PHOTO"));
  kmlOptions.trackFolderName = texts.Text(QStringLiteral("KML_STRING_TRACK"));
  PhotoList photos;
  std::vector<PhotoOutcome> outcomes;  // in the order the photos were given
  const QStringList given = parser.positionalArguments();
  const std::vector<PhotoList::Added> added = photos.AddPhotos(given, *library, match, formats);
  if (place) {
    std::vector<std::pair<std::size_t, PhotoList::HandPosition>> placing;
    for (std::size_t row = 0; row < photos.size(); ++row) {
      placing.emplace_back(row, PhotoList::HandPosition{place, false});
    }
    photos.SetHandPositions(placing, *library, match, formats);
  }
  for (qsizetype i = 0; i < given.size(); ++i) {
    const PhotoList::Added& add = added[static_cast<std::size_t>(i)];
    if (add.result == PhotoList::AddResult::kUnreadable) {
      outcomes.push_back({given[i], false, {}, 0, 0, 0, {}, add.problem});
      exitCode = kUserError;
      continue;
    }
    // What the photo matched, before saving takes it off the list.
    const PhotoRow* row = &photos.rows()[add.row];
    if (row->path != given[i]) {
      continue;  // the same photo given twice
    }
    // A row not matched for a reason (the points of its log cannot be read) is a problem.
    PhotoOutcome o{row->path, row->matched, row->logFile, 0, 0, 0, {}, row->problem};
    // A photo without a capture date cannot be matched by any log: it says so, whatever its
    // kind, rather than that no log covers a time it does not have.
    if (o.error.isEmpty() && row->exifDate.empty() && !row->kept && !row->placed) {
      o.error = QString::fromLatin1(kNoCaptureTime);
    }
    exitCode = o.error.isEmpty() ? exitCode : kUserError;
    if (const std::optional<ShownPosition> at =
            PositionOf(*row, {match.latitudeCorrection(), match.longitudeCorrection()})) {
      o.latitude = at->latitude;
      o.longitude = at->longitude;
    }
    o.placed = row->placed;
    o.kept = row->kept;
    if (row->matched) {
      o.between = row->between;
      o.pointIndex = row->pointIndex;
      if (row->byPhotoZone) {
        o.photoZone = QString::fromStdString(OffsetSecondsText(*row->capture.offsetSeconds));
      }
    }
    outcomes.push_back(o);
  }
  QStringList documents;
  if (!parser.isSet(dryRun)) {
    // The document's tracks are those of the logs the photos were matched to.
    const PhotoKmlReport kmlReport = SavePhotosWithKml(photos, *library, match, kmlOptions);
    for (const QString& problem : kmlReport.problems) {
      context.Error(problem);
      exitCode = kUserError;
    }
    if (kmlOptions.kml && kmlReport.problems.isEmpty()) {
      documents << kmlReport.kmlPath;
      if (kmlOptions.kmz) {
        documents << kmlReport.kmzPath;
      }
    }
    QHash<QString, std::vector<std::size_t>> outcomesOfPhoto;
    for (std::size_t k = 0; k < outcomes.size(); ++k) {
      outcomesOfPhoto[outcomes[k].photo].push_back(k);
    }
    for (const SaveReport::Item& item : kmlReport.save.items) {
      for (const std::size_t k : outcomesOfPhoto.value(item.photo)) {
        PhotoOutcome& o = outcomes[k];
        o.written = item.written;
        o.error = item.incompatible
                      ? QStringLiteral("File has compatibility problem: %1").arg(item.problem)
                      : item.problem;
        exitCode = item.problem.isEmpty() ? exitCode : kUserError;
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
    if (!o.error.isEmpty()) {
      context.Error(QStringLiteral("%1: %2").arg(o.photo, o.error));
    }
  }
  if (parser.isSet(json)) {
    writer.EndArray();
    writer.Finish();
  } else {
    for (const QString& document : documents) {
      context.out << "wrote " << document << '\n';
    }
  }
  return exitCode;
}

}  // namespace trevalo::cli
