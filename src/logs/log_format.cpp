#include "logs/log_format.h"

#include <string_view>

#include "gpx/gpx_reader.h"
#include "nmea/split_log_parse.h"

namespace trevalo {
namespace {

class NmeaFormat final : public LogFormat {
 public:
  ScanResult Scan(ByteSource& source, int effectiveZone) const override {
    return ScanLog(source, effectiveZone);
  }
  ParseResult Parse(ByteSource& source, std::uint32_t pointCount, int effectiveZone,
                    PackedPoints& points) const override {
    return ParsePackedLog(source, pointCount, effectiveZone, points);
  }
};

class GpxFormat final : public LogFormat {
 public:
  ScanResult Scan(ByteSource& source, int effectiveZone) const override {
    return ScanGpx(source, effectiveZone);
  }
  ParseResult Parse(ByteSource& source, std::uint32_t pointCount, int effectiveZone,
                    PackedPoints& points) const override {
    return ParseGpx(source, pointCount, effectiveZone, points);
  }
  ScanResult ScanAndParse(ByteSource& source, int effectiveZone, PackedPoints& points,
                          ParseResult& parsed) const override {
    return ReadGpxLog(source, effectiveZone, points, parsed);
  }
};

}  // namespace

ScanResult LogFormat::ScanAndParse(ByteSource& source, int effectiveZone, PackedPoints& points,
                                   ParseResult& parsed) const {
  const ScanResult scan = Scan(source, effectiveZone);
  parsed = ParseResult{};
  if (scan.problem != ScanProblem::kUnreadable) {
    parsed = Parse(source, scan.pointCount, effectiveZone, points);
  }
  return scan;
}

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

const LogFormat& LogFormatFor(ByteSource& source) {
  char head[64];
  const std::int64_t read = source.ReadAt(0, head, sizeof head);
  std::string_view text(head, read > 0 ? static_cast<std::size_t>(read) : 0);
  if (text.starts_with("\xEF\xBB\xBF")) {
    text.remove_prefix(3);
  }
  while (!text.empty() &&
         (text[0] == ' ' || text[0] == '\t' || text[0] == '\r' || text[0] == '\n')) {
    text.remove_prefix(1);
  }
  return text.starts_with("<?xml") || text.starts_with("<gpx") ? GpxLogFormat() : NmeaLogFormat();
}

}  // namespace trevalo
