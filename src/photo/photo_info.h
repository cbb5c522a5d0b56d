#pragma once
// What a photo's EXIF data says, as the photo list, the time lookup and the detail view
// need it, and what it already holds of a position.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace trevalo {

struct PhotoInfo {
  std::string cameraMake;   // at most 31 characters
  std::string cameraModel;  // at most 39 characters
  std::string dateTime;     // "YYYY:MM:DD HH:MM:SS", or empty
  // What newer cameras and phones add to it, as written: the zone their clock was set to
  // ("+02:00") for the capture time and for DateTime, and the fractions of its second
  // ("864" is 0.864 s).
  std::string offsetTimeOriginal;
  std::string offsetTime;
  std::string subSecTimeOriginal;
  std::string subSecTime;
  std::vector<std::uint32_t> dateFieldOffsets;  // from the TIFF header, at most 10
  int width = 0;
  int height = 0;
  int orientation = 0;
  double exposureTime = 0;  // seconds
  std::string exposureTimeText;
  double aperture = 0;  // F-number
  double maxAperture = 0;
  int exposureProgram = 0;
  int iso = 0;
  bool hasExposureBias = false;
  double exposureBias = 0;
  double subjectDistance = 0;  // metres
  int meteringMode = 0;
  bool hasLightSource = false;
  int lightSource = 0;
  bool hasFlash = false;
  int flash = 0;
  double focalLength = 0;  // millimetres
  bool hasExposureMode = false;
  int exposureMode = 0;
  bool hasWhiteBalance = false;
  int whiteBalance = 0;
  int focalLength35mm = 0;
  bool hasContrast = false;
  int contrast = 0;
  bool hasSaturation = false;
  int saturation = 0;
  bool hasSharpness = false;
  int sharpness = 0;

  bool operator==(const PhotoInfo&) const = default;
};

// A GPS directory found in a photo.
struct ExistingGps {
  bool present = false;      // the photo has a GPS directory pointer
  bool valid = false;        // the directory could be measured
  std::uint32_t offset = 0;  // from the TIFF header
  std::uint32_t size = 0;    // entry table, link and out-of-line values
  // The position it holds, when it holds one.
  std::optional<double> latitudeDegrees;   // signed, north positive
  std::optional<double> longitudeDegrees;  // signed, east positive
  std::optional<double> altitudeMetres;    // signed
};

}  // namespace trevalo
