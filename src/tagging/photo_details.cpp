#include "tagging/photo_details.h"

#include <array>
#include <utility>

#include "photo/capture_time.h"

namespace trevalo {
namespace {

QString Latin(const std::string& text) {
  return QString::fromLatin1(text);
}

QString LightSourceText(int source) {
  switch (source) {
    case 1:
      return QStringLiteral("Daylight");
    case 2:
      return QStringLiteral("Fluorescent");
    case 3:
      return QStringLiteral("Incandescent");
    case 4:
      return QStringLiteral("Flash");
    case 9:
      return QStringLiteral("Fine weather");
    case 11:
      return QStringLiteral("Shade");
    default:
      return QStringLiteral("unknown");
  }
}

QString MeteringModeText(int mode) {
  switch (mode) {
    case 2:
      return QStringLiteral("Center weight");
    case 3:
      return QStringLiteral("Spot");
    case 5:
      return QStringLiteral("Matrix");
    default:
      return {};
  }
}

QString ExposureModeText(int mode) {
  switch (mode) {
    case 0:
      return QStringLiteral("Auto");
    case 1:
      return QStringLiteral("Manual");
    case 2:
      return QStringLiteral("Auto bracketing");
    default:
      return {};
  }
}

QString NormalOrNumber(int value) {
  return value == 0 ? QStringLiteral("Normal") : NumberText(value);
}

}  // namespace

QString NumberText(double value) {
  QString text = QString::asprintf("%.2f", value);
  if (text.endsWith(QStringLiteral(".00"))) {
    text.chop(3);
  }
  return text;
}

QString FlashText(int flash) {
  if ((flash & 1) == 0) {
    return flash == 24 ? QStringLiteral("No(Auto?)") : QStringLiteral("No");
  }
  static const std::array<std::pair<int, const char*>, 17> kFired = {{
      {5, "Strobe light not detected"},
      {7, "Strobe light detected"},
      {9, "Manual"},
      {13, "Manual, Return light not detected"},
      {15, "Manual, Return light detected"},
      {25, "Auto"},
      {29, "Auto, Return light not detected"},
      {31, "Auto, Return light detected"},
      {65, "Red eye reduction mode"},
      {69, "Red eye reduction mode return light not detected"},
      {71, "Red eye reduction mode return light detected"},
      {73, "Manual, Red eye reduction mode"},
      {77, "Manual, Red eye reduction mode, return light not detected"},
      {79, "Red eye reduction mode, return light detected"},
      {89, "Auto, Red eye reduction mode"},
      {93, "Auto, Red eye reduction mode, return light not detected"},
      {95, "Auto, Red eye reduction mode, return light detected"},
  }};
  for (const auto& [value, text] : kFired) {
    if (value == flash) {
      return QLatin1String(text);
    }
  }
  return {};
}

QString ExposureProgramText(int program) {
  static const char* const kPrograms[] = {"Manual",
                                          "Program(Auto)",
                                          "Aperture priority (Semi-auto)",
                                          "Shutter priority (Semi-auto)",
                                          "Creative Program (Based towards depth of field)",
                                          "Action program (Based towards fast shutter speed)",
                                          "Portrait",
                                          "Landscape"};
  return program >= 1 && program <= 8 ? QLatin1String(kPrograms[program - 1])
                                      : QStringLiteral("unknown");
}

std::vector<DetailRow> PhotoDetailRows(const PhotoRow& row, const std::optional<PhotoInfo>& info) {
  std::vector<DetailRow> rows;
  const auto add = [&](const char* key, QString value) {
    if (!value.isEmpty()) {
      rows.push_back({QLatin1String(key), std::move(value)});
    }
  };
  add("IMGINFO_LIST_FILENAME", row.path);
  add("IMGINFO_LIST_DATETIME", row.dateText);
  // The zone the camera's clock was set to, and the UTC instant the time names.
  if (row.capture.offsetSeconds && !row.dateText.isEmpty()) {
    add("IMGINFO_LIST_ZONE", QString::fromStdString(OffsetSecondsText(*row.capture.offsetSeconds)));
    add("IMGINFO_LIST_UTCTIME", QString::fromStdString(UtcTimeText(row.captureTime, row.capture)));
  }
  if (!row.latitudeText.isEmpty()) {
    add("IMGINFO_LIST_LAT", row.latitudeText);
    add("IMGINFO_LIST_LONG", row.longitudeText);
    add("IMGINFO_LIST_ALT", row.altitudeText);
  }
  if (!info) {
    return rows;
  }
  const PhotoInfo& p = *info;
  add("IMGINFO_LIST_CAMMAKER", Latin(p.cameraMake));
  add("IMGINFO_LIST_CAMMODEL", Latin(p.cameraModel));
  const bool turned = p.orientation == 6 || p.orientation == 8;
  add("IMGINFO_LIST_RESOLUTION",
      QStringLiteral("%1 x %2").arg(turned ? p.height : p.width).arg(turned ? p.width : p.height));
  add("IMGINFO_LIST_EXPOSURETIME", Latin(p.exposureTimeText));
  if (p.aperture != 0) {
    add("IMGINFO_LIST_APERTURE", QString::asprintf("F%.1f", p.aperture));
  }
  if (p.exposureProgram != 0) {
    add("IMGINFO_LIST_EXPOSUREPROGRAM", ExposureProgramText(p.exposureProgram));
  }
  if (p.focalLength != 0) {
    add("IMGINFO_LIST_FOCALLENGTH", NumberText(p.focalLength) + QStringLiteral("mm"));
  }
  if (p.iso != 0) {
    add("IMGINFO_LIST_ISO", NumberText(p.iso));
  }
  if (p.hasExposureBias) {
    add("IMGINFO_LIST_EXPOSUREBIAS", NumberText(p.exposureBias));
  }
  if (p.hasLightSource) {
    add("IMGINFO_LIST_LIGHTSOURCE", LightSourceText(p.lightSource));
  }
  if (p.hasFlash) {
    add("IMGINFO_LIST_FLASH", FlashText(p.flash));
  }
  if (p.subjectDistance != 0) {
    add("IMGINFO_LIST_DISTANCE",
        p.subjectDistance < 0 ? QStringLiteral("Infinite") : NumberText(p.subjectDistance));
  }
  add("IMGINFO_LIST_METERINGMODE", MeteringModeText(p.meteringMode));
  if (p.hasExposureMode) {
    add("IMGINFO_LIST_EXPOSUREMODE", ExposureModeText(p.exposureMode));
  }
  if (p.hasWhiteBalance) {
    add("IMGINFO_LIST_WHITEBALANCE",
        p.whiteBalance == 0 ? QStringLiteral("Auto") : QStringLiteral("Manual"));
  }
  if (p.maxAperture != 0) {
    add("IMGINFO_LIST_MAXAPERTURE", QString::asprintf("F%.1f", p.maxAperture));
  }
  if (p.focalLength35mm != 0) {
    add("IMGINFO_LIST_FOCALLENGTH35MM", QStringLiteral("%1mm").arg(p.focalLength35mm));
  }
  if (p.hasContrast) {
    add("IMGINFO_LIST_CONTRAST", NormalOrNumber(p.contrast));
  }
  if (p.hasSaturation) {
    add("IMGINFO_LIST_SATURATION", NormalOrNumber(p.saturation));
  }
  if (p.hasSharpness) {
    add("IMGINFO_LIST_SHARPNESS", NormalOrNumber(p.sharpness));
  }
  return rows;
}

}  // namespace trevalo
