#include "photo/xmp_sidecar.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include <exiv2/exiv2.hpp>

#include "files/atomic_file.h"
#include "files/native_files.h"
#include "photo/exiv2_support.h"
#include "photo/gps_directory.h"
#include "track/calendar_time.h"

namespace trevalo {
namespace {

constexpr char kXmlDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
// Sidecars are small; a file far larger is not one, and is not read into memory.
constexpr qint64 kLargestSidecar = 64 * 1024 * 1024;

const char* const kLatitude = "Xmp.exif.GPSLatitude";
const char* const kLongitude = "Xmp.exif.GPSLongitude";
const char* const kAltitude = "Xmp.exif.GPSAltitude";
const char* const kAltitudeRef = "Xmp.exif.GPSAltitudeRef";
const char* const kTimeStamp = "Xmp.exif.GPSTimeStamp";
const char* const kMapDatum = "Xmp.exif.GPSMapDatum";
const char* const kVersionId = "Xmp.exif.GPSVersionID";

// "DDD,MM,SS.sssR", with the seconds of the GPS directory's rational.
std::string CoordinateText(const GpsCoordinate& c) {
  static_assert(kSecondsDenominator == 1000);
  const std::uint32_t thousandths = c.parts[2].numerator;
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, ".%03u", thousandths % 1000);
  return std::to_string(c.parts[0].numerator) + ',' + std::to_string(c.parts[1].numerator) + ',' +
         std::to_string(thousandths / 1000) + fraction +
         (c.reference == '\0' ? std::string() : std::string(1, c.reference));
}

void Set(Exiv2::XmpData& xmp, const char* key, const std::optional<std::string>& value) {
  const auto found = xmp.findKey(Exiv2::XmpKey(key));
  if (found != xmp.end()) {
    xmp.erase(found);
  }
  if (value) {
    xmp[key] = *value;
  }
}

std::optional<std::string> Value(const Exiv2::XmpData& xmp, const char* key) {
  const auto found = xmp.findKey(Exiv2::XmpKey(key));
  if (found == xmp.end()) {
    return std::nullopt;
  }
  return found->toString();
}

std::optional<double> Number(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// A GPSCoordinate of XMP, "DDD,MM,SSk" or "DDD,MM.mmk", as signed degrees.
std::optional<double> SignedCoordinate(std::string_view text, char positive, char negative) {
  if (text.size() < 2) {
    return std::nullopt;
  }
  const char reference = static_cast<char>(std::toupper(static_cast<unsigned char>(text.back())));
  if (reference != positive && reference != negative) {
    return std::nullopt;
  }
  text.remove_suffix(1);
  std::vector<double> parts;
  while (!text.empty() || parts.empty()) {
    const std::size_t comma = text.find(',');
    const std::optional<double> part = Number(text.substr(0, comma));
    if (!part || *part < 0 || parts.size() == 3) {
      return std::nullopt;
    }
    parts.push_back(*part);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
  }
  if (parts.size() < 2) {
    return std::nullopt;
  }
  const double degrees = parts[0] + parts[1] / 60 + (parts.size() == 3 ? parts[2] / 3600 : 0);
  return reference == negative ? -degrees : degrees;
}

// A rational "n/d" or a plain number.
std::optional<double> RationalValue(std::string_view text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) {
    return Number(text);
  }
  const std::optional<double> numerator = Number(text.substr(0, slash));
  const std::optional<double> denominator = Number(text.substr(slash + 1));
  if (!numerator || !denominator || *denominator == 0) {
    return std::nullopt;
  }
  return *numerator / *denominator;
}

// Exiv2 keeps, for the whole program, the namespace a packet binds to each prefix: a
// packet that binds one of Exiv2's own prefixes ("exif", "tiff", ...) to another namespace
// takes that prefix over for every later packet, and Exiv2 then writes broken XML. Such a
// binding (a mistyped address, say) is found in the text before Exiv2 sees it: the prefix,
// or empty when there is none.
std::string PrefixTakenOver(std::string_view text) {
  static constexpr std::string_view kDeclaration = "xmlns:";
  for (std::size_t at = text.find(kDeclaration); at != std::string_view::npos;
       at = text.find(kDeclaration, at + 1)) {
    std::size_t i = at + kDeclaration.size();
    const std::size_t nameStart = i;
    while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) ||
                               text[i] == '_' || text[i] == '-' || text[i] == '.')) {
      ++i;
    }
    const std::string prefix(text.substr(nameStart, i - nameStart));
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
      ++i;
    }
    if (prefix.empty() || i >= text.size() || text[i] != '=') {
      continue;
    }
    ++i;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
      ++i;
    }
    if (i >= text.size() || (text[i] != '"' && text[i] != '\'')) {
      continue;
    }
    const std::size_t end = text.find(text[i], i + 1);
    if (end == std::string_view::npos) {
      continue;  // the XML parser refuses it
    }
    const std::string_view uri = text.substr(i + 1, end - i - 1);
    std::string own;
    try {
      own = Exiv2::XmpProperties::ns(prefix);
    } catch (const std::exception&) {
      continue;  // a prefix Exiv2 does not know: the packet's own
    }
    if (uri != own) {
      return prefix;
    }
  }
  return {};
}

// Reads an XMP packet; false with `error` set when it is not one.
bool Decode(std::string_view text, Exiv2::XmpData& xmp, std::string& error) {
  PrepareExiv2();
  if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
    return true;
  }
  if (const std::string prefix = PrefixTakenOver(text); !prefix.empty()) {
    error = "it binds the prefix \"" + prefix + "\" to another namespace than XMP's own";
    return false;
  }
  try {
    if (Exiv2::XmpParser::decode(xmp, std::string(text)) != 0) {
      error = "it is not a readable XMP packet";
      return false;
    }
  } catch (const std::exception& e) {
    error = "it is not a readable XMP packet: " + Exiv2Problem(e).toStdString();
    return false;
  }
  // The XMP toolkit reads XML without any RDF as an empty packet: such a file is not a
  // sidecar, and writing over it would lose it.
  if (xmp.empty() && text.find("rdf:RDF") == std::string_view::npos) {
    error = "it holds no XMP";
    return false;
  }
  return true;
}

}  // namespace

QString SidecarPath(const QString& photo, SidecarNaming naming) {
  if (naming == SidecarNaming::kBaseName) {
    const qsizetype slash = photo.lastIndexOf(u'/');
    const qsizetype dot = photo.lastIndexOf(u'.');
    // A dot that starts the name (".hidden") is no extension.
    if (dot > slash + 1) {
      return photo.left(dot) + QStringLiteral(".xmp");
    }
  }
  return photo + QStringLiteral(".xmp");
}

SidecarGps SidecarGpsOfPoint(const TrackPoint& point, int latitudeCorrection,
                             int longitudeCorrection) {
  SidecarGps gps;
  gps.latitude = CoordinateText(CoordinateRationals(point.latitude, point.latitudeRef,
                                                    point.CorrectionOf(latitudeCorrection), true));
  gps.longitude = CoordinateText(CoordinateRationals(
      point.longitude, point.longitudeRef, point.CorrectionOf(longitudeCorrection), false));
  const auto setAltitude = [&gps, &point] {
    const Rational altitude = AltitudeRational(point.altitude);
    gps.altitude = std::to_string(altitude.numerator) + '/' + std::to_string(altitude.denominator);
    gps.altitudeRef = point.altitudeBelowSea ? "1" : "0";
  };
  if (point.isPlaced != 0) {
    // Placed by hand: its altitude when one was given, on the map's datum; no time.
    if (point.hasPlacedAltitude != 0) {
      setAltitude();
    }
    gps.mapDatum = "WGS-84";
  } else if (point.ggaMatchesRmc == 1) {
    setAltitude();
    gps.mapDatum = "WGS-84";
    // The UTC date of the point with the UTC time of day of its sentence, as the JPEG
    // writer's GPSDateStamp and GPSTimeStamp.
    std::string date = DateStampText(point.utcTime);
    const int t = std::max(point.utcTimeOfDay, 0);
    if (date.size() == 10 && t < 240000) {
      date[4] = '-';
      date[7] = '-';
      char time[48];  // room for any int, though t is below 240000
      std::snprintf(time, sizeof time, "T%02d:%02d:%02dZ", t / 10000, t % 10000 / 100, t % 100);
      gps.timeStamp = date + time;
    }
  }
  return gps;
}

SidecarText SetSidecarGps(std::string_view existing, const SidecarGps& gps) {
  SidecarText result;
  Exiv2::XmpData xmp;
  if (!Decode(existing, xmp, result.error)) {
    return result;
  }
  try {
    Set(xmp, kVersionId, gps.versionId);
    Set(xmp, kLatitude, gps.latitude);
    Set(xmp, kLongitude, gps.longitude);
    Set(xmp, kAltitude, gps.altitude);
    Set(xmp, kAltitudeRef, gps.altitudeRef);
    Set(xmp, kTimeStamp, gps.timeStamp);
    Set(xmp, kMapDatum, gps.mapDatum);
    std::string packet;
    if (Exiv2::XmpParser::encode(
            packet, xmp,
            Exiv2::XmpParser::omitPacketWrapper | Exiv2::XmpParser::useCompactFormat) != 0) {
      result.error = "its properties cannot be written as XMP";
      return result;
    }
    // What is written must read back as set: nothing else may replace the user's file.
    Exiv2::XmpData written;
    std::string unreadable;
    if (!Decode(packet, written, unreadable) || Value(written, kLatitude) != gps.latitude ||
        Value(written, kLongitude) != gps.longitude) {
      result.error = "its properties cannot be written as XMP";
      return result;
    }
    result.text = kXmlDeclaration + packet;
  } catch (const std::exception& e) {
    result.error = "its properties cannot be written as XMP: " + Exiv2Problem(e).toStdString();
  }
  return result;
}

SidecarRead ReadSidecarPosition(std::string_view text) {
  SidecarRead result;
  Exiv2::XmpData xmp;
  if (!Decode(text, xmp, result.error)) {
    return result;
  }
  const std::optional<std::string> latitude = Value(xmp, kLatitude);
  const std::optional<std::string> longitude = Value(xmp, kLongitude);
  if (!latitude || !longitude) {
    return result;
  }
  const std::optional<double> north = SignedCoordinate(*latitude, 'N', 'S');
  const std::optional<double> east = SignedCoordinate(*longitude, 'E', 'W');
  if (!north || !east || std::fabs(*north) > 90 || std::fabs(*east) > 180) {
    result.error = "its position " + *latitude + " " + *longitude + " is not one";
    return result;
  }
  SidecarPosition position{*north, *east, std::nullopt};
  if (const std::optional<std::string> altitude = Value(xmp, kAltitude)) {
    position.altitude = RationalValue(*altitude);
    if (position.altitude && Value(xmp, kAltitudeRef) == "1") {
      position.altitude = -*position.altitude;
    }
  }
  result.position = position;
  return result;
}

SidecarFile ReadSidecarFile(const QString& path) {
  SidecarFile result;
  if (!PathExists(path)) {
    return result;
  }
  result.exists = true;
  QFile file;
  if (const QString problem = OpenForReading(file, path); !problem.isEmpty()) {
    result.problem = problem;
    return result;
  }
  if (file.size() > kLargestSidecar) {
    result.problem = QStringLiteral("too large for an XMP sidecar");
    return result;
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    result.problem = file.errorString();
    return result;
  }
  result.text = bytes.toStdString();
  return result;
}

QString WriteSidecar(const QString& path, const SidecarGps& gps) {
  const SidecarFile existing = ReadSidecarFile(path);
  if (!existing.problem.isEmpty()) {
    return QStringLiteral("%1: %2").arg(path, existing.problem);
  }
  const SidecarText edited = SetSidecarGps(existing.text, gps);
  if (!edited.error.empty()) {
    return QStringLiteral("%1: %2").arg(path, QString::fromStdString(edited.error));
  }
  const std::span<const std::uint8_t> bytes(
      reinterpret_cast<const std::uint8_t*>(edited.text.data()), edited.text.size());
  // A sidecar that already holds the user's edits reaches the disk before it is replaced.
  return WriteFileAtomically(
      path, [&](int fd) { return WriteAll(fd, bytes) ? QString() : WriteProblem(path); },
      existing.exists);
}

}  // namespace trevalo
