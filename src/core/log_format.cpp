#include "core/log_format.h"

#include "core/gpx_reader.h"

namespace trevalo {
namespace {

class NmeaFormat final : public LogFormat {
 public:
  ScanResult Scan(ByteSource& source, int effectiveZone) const override {
    return ScanLog(source, effectiveZone);
  }
  ParseResult Parse(ByteSource& source, std::uint32_t pointCount, int effectiveZone,
                    std::vector<TrackPoint>& points) const override {
    return ParseLog(source, pointCount, effectiveZone, points);
  }
};

class GpxFormat final : public LogFormat {
 public:
  ScanResult Scan(ByteSource& source, int effectiveZone) const override {
    return ScanGpx(source, effectiveZone);
  }
  ParseResult Parse(ByteSource& source, std::uint32_t pointCount, int effectiveZone,
                    std::vector<TrackPoint>& points) const override {
    return ParseGpx(source, pointCount, effectiveZone, points);
  }
};

}  // namespace

const LogFormat& NmeaLogFormat() {
  static const NmeaFormat format;
  return format;
}

const LogFormat& GpxLogFormat() {
  static const GpxFormat format;
  return format;
}

bool IsGpxFileName(const QString& filePath) {
  return filePath.endsWith(QStringLiteral(".gpx"), Qt::CaseInsensitive);
}

const LogFormat& LogFormatFor(const QString& filePath) {
  return IsGpxFileName(filePath) ? GpxLogFormat() : NmeaLogFormat();
}

}  // namespace trevalo
