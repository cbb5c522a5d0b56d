#pragma once
// XMP sidecars: the position of a photo that is never written itself (a camera RAW, a
// HEIF), in a small XML file beside it that darktable, digiKam, Lightroom and exiftool read.
//
// Only the GPS properties below are set; every other property of an existing sidecar is
// kept. The values are those of the EXIF GPS directory the JPEG writer builds for the
// same point, so a position reads the same from a tagged JPEG and from a sidecar.

#include <optional>
#include <string>
#include <string_view>

#include <QString>

#include "track/track_point.h"

namespace trevalo {

enum class SidecarNaming {
  kFullName,  // IMG_1.CR3.xmp (darktable, digiKam)
  kBaseName,  // IMG_1.xmp (Adobe)
};

// The sidecar of a photo: beside it, named by `naming`.
QString SidecarPath(const QString& photo, SidecarNaming naming);

// The GPS properties of the "exif" namespace of XMP, as text values; a property that is
// absent is removed from the sidecar.
struct SidecarGps {
  std::string latitude;   // GPSCoordinate "DDD,MM,SS.Sk": the JPEG writer's rationals
  std::string longitude;  //
  std::string versionId = "2.2.0.0";
  std::optional<std::string> altitude;     // rational "453/10"
  std::optional<std::string> altitudeRef;  // "0" above, "1" below sea level
  std::optional<std::string> timeStamp;    // UTC date and time "YYYY-MM-DDThh:mm:ssZ"
  std::optional<std::string> mapDatum;     // "WGS-84"
  bool operator==(const SidecarGps&) const = default;
};

// The properties for a point moved by the position correction (hundredths of an arc second);
// like the JPEG writer, altitude, time and datum only when the point's GGA data belongs to
// its RMC epoch. A point placed by hand is never moved: its altitude when it has one, and the
// datum.
SidecarGps SidecarGpsOfPoint(const TrackPoint& point, int latitudeCorrection,
                             int longitudeCorrection);

struct SidecarText {
  std::string text;   // the whole sidecar file
  std::string error;  // why the existing one cannot be used; then `text` is empty
};

// The sidecar `existing` (empty: none yet) with its GPS properties set to `gps`.
SidecarText SetSidecarGps(std::string_view existing, const SidecarGps& gps);

// The position a sidecar holds, in signed degrees and metres.
struct SidecarPosition {
  double latitude = 0;
  double longitude = 0;
  std::optional<double> altitude;
};
struct SidecarRead {
  std::optional<SidecarPosition> position;  // none when it holds none
  std::string error;                        // it cannot be read as XMP
};
SidecarRead ReadSidecarPosition(std::string_view text);

// Sets the GPS properties of the sidecar file at `path` (creating it when there is none)
// through a temporary file and a rename. Returns the empty text, else why not; a sidecar
// that cannot be read is left as it is.
QString WriteSidecar(const QString& path, const SidecarGps& gps);

// The sidecar's text, or why it cannot be read; `exists` tells whether there is a file.
struct SidecarFile {
  bool exists = false;
  std::string text;
  QString problem;  // why a file there cannot be read as a sidecar
};
SidecarFile ReadSidecarFile(const QString& path);

}  // namespace trevalo
