// trevalo-cli photo info | set-gps: what a photo holds, and writing one point into a copy.

#include <QFileInfo>

#include "cli/command.h"
#include "logs/gps_log.h"
#include "photo/capture_time.h"
#include "photo/exif_file.h"
#include "photo/photo_metadata.h"
#include "photo/xmp_sidecar.h"
#include "track/geodesy.h"

namespace trevalo::cli {
namespace {

const QCommandLineOption kJsonOption(QStringLiteral("json"),
                                     QStringLiteral("Write JSON instead of text."));

// Why a photo could not be read, for a message.
QString ReadProblem(const ExifFile& photo) {
  return photo.errorText().isEmpty() ? QStringLiteral("cannot be read as a JPEG file")
                                     : photo.errorText();
}

// The sidecar beside a photo, under either naming, and what position it holds.
struct SidecarFound {
  QString path;  // empty without one
  SidecarRead read;
};

SidecarFound FindSidecar(const QString& photo) {
  for (const SidecarNaming naming : {SidecarNaming::kFullName, SidecarNaming::kBaseName}) {
    const QString path = SidecarPath(photo, naming);
    const SidecarFile file = ReadSidecarFile(path);
    if (file.exists) {
      SidecarFound found{path, {}};
      if (file.problem.isEmpty()) {
        found.read = ReadSidecarPosition(file.text);
      } else {
        found.read.error = file.problem.toStdString();
      }
      return found;
    }
  }
  return {};
}

void WritePosition(double latitude, double longitude, const std::optional<double>& altitude,
                   Output& out) {
  out << std::string_view(RealText(latitude)) << ", " << std::string_view(RealText(longitude));
  if (altitude) {
    out << ", altitude " << std::string_view(RealText(*altitude)) << " m";
  }
}

// The UTC instant of the capture time, for a photo that records its clock's zone.
std::string UtcTimeOf(const PhotoInfo& info) {
  const std::optional<TimeValue> clock = CaptureTime(info.dateTime);
  return clock ? UtcTimeText(*clock, CaptureDetailOf(info)) : std::string();
}

void WriteInfoText(const QString& path, const PhotoMetadata& photo, const SidecarFound& sidecar,
                   Output& out) {
  const PhotoInfo& info = photo.info;
  const ExistingGps& gps = photo.gps;
  out << path << '\n';
  if (!photo.jpeg) {
    out << "  kind     " << photo.format << '\n';
  }
  out << "  taken    ";
  const CaptureDetail detail = CaptureDetailOf(info);
  if (info.dateTime.empty()) {
    out << "(no date)";
  } else {
    // The camera's clock, its fraction of a second (when not naught) and its zone as far as
    // the photo says.
    out << UserText{info.dateTime};
    if (detail.millis.value_or(0) != 0) {
      out << QString::asprintf(".%03d", *detail.millis);
    }
    if (detail.offsetSeconds) {
      out << ' ' << std::string_view(OffsetSecondsText(*detail.offsetSeconds));
    }
  }
  out << '\n';
  if (const std::string utc = UtcTimeOf(info); !utc.empty()) {
    out << "  utc      " << std::string_view(utc) << '\n';
  }
  if (!info.cameraMake.empty() || !info.cameraModel.empty()) {
    out << "  camera   " << UserText{info.cameraMake} << (info.cameraMake.empty() ? "" : " ")
        << UserText{info.cameraModel} << '\n';
  }
  out << "  size     " << std::int64_t{info.width} << " x " << std::int64_t{info.height}
      << ", orientation " << std::int64_t{info.orientation} << '\n';
  if (gps.latitudeDegrees && gps.longitudeDegrees) {
    out << "  position ";
    WritePosition(*gps.latitudeDegrees, *gps.longitudeDegrees, gps.altitudeMetres, out);
    out << '\n';
  } else {
    out << "  position " << (gps.present ? "(GPS directory without a position)" : "(none)") << '\n';
  }
  if (!sidecar.path.isEmpty()) {
    out << "  sidecar  " << sidecar.path << ": ";
    if (!sidecar.read.error.empty()) {
      out << UserText{sidecar.read.error};
    } else if (const auto& p = sidecar.read.position) {
      WritePosition(p->latitude, p->longitude, p->altitude, out);
    } else {
      out << "(no position)";
    }
    out << '\n';
  }
}

void WriteInfoJson(const PhotoMetadata& photo, const SidecarFound& sidecar, JsonWriter& json) {
  const PhotoInfo& info = photo.info;
  const ExistingGps& gps = photo.gps;
  json.Field("format", photo.format);
  json.Field("cameraMake", std::string_view(info.cameraMake));
  json.Field("cameraModel", std::string_view(info.cameraModel));
  json.Field("dateTime", std::string_view(info.dateTime));
  const CaptureDetail detail = CaptureDetailOf(info);
  if (detail.millis) {
    json.Field("subSecondMillis", *detail.millis);
  }
  if (detail.offsetSeconds) {
    json.Field("offset", std::string_view(OffsetSecondsText(*detail.offsetSeconds)));
  }
  if (const std::string utc = UtcTimeOf(info); !utc.empty()) {
    json.Field("utcTime", std::string_view(utc));
  }
  json.Field("width", info.width);
  json.Field("height", info.height);
  json.Field("orientation", info.orientation);
  json.Field("exposureTime", info.exposureTime);
  json.Field("exposureTimeText", std::string_view(info.exposureTimeText));
  json.Field("aperture", info.aperture);
  json.Field("maxAperture", info.maxAperture);
  json.Field("exposureProgram", info.exposureProgram);
  json.Field("iso", info.iso);
  if (info.hasExposureBias)
    json.Field("exposureBias", info.exposureBias);
  json.Field("subjectDistance", info.subjectDistance);
  json.Field("meteringMode", info.meteringMode);
  if (info.hasLightSource)
    json.Field("lightSource", info.lightSource);
  if (info.hasFlash)
    json.Field("flash", info.flash);
  json.Field("focalLength", info.focalLength);
  if (info.hasExposureMode)
    json.Field("exposureMode", info.exposureMode);
  if (info.hasWhiteBalance)
    json.Field("whiteBalance", info.whiteBalance);
  json.Field("focalLength35mm", info.focalLength35mm);
  if (info.hasContrast)
    json.Field("contrast", info.contrast);
  if (info.hasSaturation)
    json.Field("saturation", info.saturation);
  if (info.hasSharpness)
    json.Field("sharpness", info.sharpness);
  json.Field("hasGps", gps.present);
  if (gps.latitudeDegrees)
    json.Field("latitudeDegrees", *gps.latitudeDegrees);
  if (gps.longitudeDegrees)
    json.Field("longitudeDegrees", *gps.longitudeDegrees);
  if (gps.altitudeMetres)
    json.Field("altitudeMetres", *gps.altitudeMetres);
  if (!sidecar.path.isEmpty()) {
    json.Key("sidecar");
    json.BeginObject();
    json.Field("path", sidecar.path);
    if (!sidecar.read.error.empty()) {
      json.Field("error", std::string_view(sidecar.read.error));
    } else if (const auto& p = sidecar.read.position) {
      json.Field("latitudeDegrees", p->latitude);
      json.Field("longitudeDegrees", p->longitude);
      if (p->altitude)
        json.Field("altitudeMetres", *p->altitude);
    }
    json.EndObject();
  }
}

int RunInfo(const QStringList& arguments, CommandContext& context) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Capture time, camera, size and orientation of photos, and any position they hold."));
  parser.addOption(kJsonOption);
  parser.addPositionalArgument(
      QStringLiteral("PHOTO"),
      QStringLiteral("Photos: JPEG, camera RAW (CR2, CR3, NEF, ARW, DNG, ORF, RW2, PEF), "
                     "HEIF/HEIC, AVIF, WebP, PNG, TIFF; the position of an XMP sidecar beside "
                     "one (IMG_1.CR3.xmp or IMG_1.xmp) is shown too."),
      QStringLiteral("PHOTO..."));
  if (const std::optional<int> done =
          ParseCommandLine(parser, QStringLiteral("photo info"), arguments, context)) {
    return *done;
  }
  const QStringList photos = parser.positionalArguments();
  if (photos.isEmpty()) {
    context.Error(QStringLiteral("photo info needs at least one photo"));
    return kUsageError;
  }
  const bool asJson = parser.isSet(kJsonOption);
  int exitCode = kSuccess;
  JsonWriter json(context.out);
  if (asJson) {
    json.BeginArray();
  }
  for (const QString& path : photos) {
    const PhotoMetadata photo = ReadPhotoMetadata(path);
    const QString problem =
        photo.problem.isEmpty() ? QStringLiteral("cannot be read as a photo") : photo.problem;
    if (!photo.read) {
      context.Error(QStringLiteral("%1: %2").arg(path, problem));
      exitCode = kUserError;
    }
    const SidecarFound sidecar = photo.read ? FindSidecar(path) : SidecarFound{};
    if (!sidecar.read.error.empty()) {
      context.Error(QStringLiteral("%1: sidecar %2: %3")
                        .arg(path, sidecar.path, QString::fromStdString(sidecar.read.error)));
      exitCode = kUserError;
    }
    if (asJson) {
      json.BeginObject();
      json.Field("photo", path);
      if (photo.read) {
        WriteInfoJson(photo, sidecar, json);
      } else {
        json.Field("error", problem);
      }
      json.EndObject();
    } else if (photo.read) {
      WriteInfoText(path, photo, sidecar, context.out);
    }
  }
  if (asJson) {
    json.EndArray();
    json.Finish();
  }
  return exitCode;
}

// An offset in hundredths of an arc second, -500 to 500.
std::optional<int> OffsetOption(const QCommandLineParser& parser, const QString& name,
                                const CommandContext& context) {
  if (!parser.isSet(name)) {
    return 0;
  }
  bool ok = false;
  const int value = parser.value(name).toInt(&ok);
  if (!ok || value < -500 || value > 500) {
    context.Error(QStringLiteral("--%1 %2: give hundredths of an arc second from -500 to 500")
                      .arg(name, parser.value(name)));
    return std::nullopt;
  }
  return value;
}

int RunSetGps(const QStringList& arguments, CommandContext& context) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Writes the GPS directory of one track point into a copy of a photo."));
  const QCommandLineOption log(QStringLiteral("point-from"), QStringLiteral("The log."),
                               QStringLiteral("LOG"));
  const QCommandLineOption index(QStringLiteral("index"),
                                 QStringLiteral("The point's number in the log, from 0."),
                                 QStringLiteral("N"));
  const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("The tagged copy."),
                               QStringLiteral("FILE"));
  const QCommandLineOption latitudeOffset(
      QStringLiteral("lat-offset"),
      QStringLiteral("Latitude correction, hundredths of an arc second."), QStringLiteral("N"));
  const QCommandLineOption longitudeOffset(
      QStringLiteral("lon-offset"),
      QStringLiteral("Longitude correction, hundredths of an arc second."), QStringLiteral("N"));
  parser.addOptions({log, index, out, latitudeOffset, longitudeOffset,
                     ZoneOptionDefinition(QStringLiteral("Time zone of the log."))});
  parser.addPositionalArgument(QStringLiteral("PHOTO"), QStringLiteral("A JPEG photo."));
  if (const std::optional<int> done =
          ParseCommandLine(parser, QStringLiteral("photo set-gps"), arguments, context)) {
    return *done;
  }
  if (parser.positionalArguments().size() != 1 || !parser.isSet(log) || !parser.isSet(index) ||
      !parser.isSet(out)) {
    context.Error(
        QStringLiteral("photo set-gps needs PHOTO, --point-from LOG, --index N and "
                       "--out FILE"));
    return kUsageError;
  }
  const std::optional<int> latitude = OffsetOption(parser, QStringLiteral("lat-offset"), context);
  const std::optional<int> longitude = OffsetOption(parser, QStringLiteral("lon-offset"), context);
  const std::optional<int> zone = ZoneOption(parser, context);
  bool indexOk = false;
  const qlonglong pointIndex = parser.value(index).toLongLong(&indexOk);
  if (!latitude || !longitude || !zone || !indexOk || pointIndex < 0) {
    if (!indexOk || pointIndex < 0) {
      context.Error(QStringLiteral("--index %1: not a point number").arg(parser.value(index)));
    }
    return kUsageError;
  }
  const QString logPath = parser.value(log);
  GPSLog track(logPath, *zone, 0, GPSLog::ReadAtOnce{}, context.pointsCache);
  if (!track.hasTimes()) {
    context.Error(QStringLiteral("%1: %2").arg(logPath, track.scanProblem()));
    return kUserError;
  }
  if (!track.LoadPoints()) {
    context.Error(QStringLiteral("%1: %2").arg(logPath, track.loadProblem()));
    return kUserError;
  }
  if (static_cast<std::uint64_t>(pointIndex) >= track.points().size()) {
    context.Error(QStringLiteral("%1: has %2 points; there is no point %3")
                      .arg(logPath)
                      .arg(track.points().size())
                      .arg(pointIndex));
    return kUserError;
  }
  const TrackPoint& point = track.points()[static_cast<std::size_t>(pointIndex)];
  const QString photoPath = parser.positionalArguments().front();
  ExifFile photo(photoPath, ExifFile::kRewrite);
  photo.SetPositionCorrection(*latitude, *longitude);
  photo.SetPositionSource(point);
  if (!photo.ReadSections()) {
    context.Error(QStringLiteral("%1: %2").arg(photoPath, ReadProblem(photo)));
    return kUserError;
  }
  const QString target = parser.value(out);
  if (const QString problem = photo.WriteFile(target, false); !problem.isEmpty()) {
    context.Error(problem);
    return kUserError;
  }
  Coordinate position(point);
  position.Convert(*longitude, *latitude);
  context.out << "wrote " << target << ": point " << std::int64_t{pointIndex} << " of " << logPath
              << ", " << std::string_view(RealText(position.latitudeDegrees)) << ", "
              << std::string_view(RealText(position.longitudeDegrees)) << '\n';
  return kSuccess;
}

}  // namespace

int RunPhotoCommand(const QStringList& arguments, CommandContext& context) {
  return RunSubcommand(
      "photo", {{"info", RunInfo}, {"set-gps", RunSetGps}},
      "Usage: trevalo-cli photo info PHOTO... [--json]\n"
      "       trevalo-cli photo set-gps PHOTO --point-from LOG --index N --out FILE\n"
      "                   [--lat-offset N] [--lon-offset N] [--zone HHMM]\n",
      arguments, context);
}

}  // namespace trevalo::cli
