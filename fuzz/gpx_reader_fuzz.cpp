// Any bytes as a GPX file: the scan and the parse must not crash or run away, must agree
// with each other and with the reading in one pass, must not depend on how UTF-8 data is cut into
// reads, and must give only points that can be measurements.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include <QByteArray>
#include <QUtf8StringView>
#include <QXmlStreamReader>

#include "fuzz_check.h"
#include "gpx/gpx_reader.h"
#include "track/time_zone.h"
#include "track/track_walk.h"

namespace {

// Gives the data a few bytes at a time, so that every boundary falls somewhere new.
class TrickleSource final : public trevalo::ByteSource {
 public:
  TrickleSource(std::string_view bytes, std::size_t step) : bytes_(bytes), step_(step) {}
  std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) override {
    if (offset >= bytes_.size()) {
      return 0;
    }
    const std::size_t n = std::min({size, step_, bytes_.size() - offset});
    std::memcpy(buffer, bytes_.data() + offset, n);
    return static_cast<std::int64_t>(n);
  }
  std::uint64_t SizeHint() const override { return step_; }

 private:
  std::string_view bytes_;
  std::size_t step_;
};

struct Read {
  trevalo::ScanResult scan;
  trevalo::PackedPoints points;
};

// Whether Qt's reader reads the whole document, given at once, without an error.
bool WellFormed(std::string_view bytes) {
  QXmlStreamReader xml(QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())));
  while (!xml.atEnd()) {
    xml.readNext();
  }
  return !xml.hasError();
}

Read ReadAll(trevalo::ByteSource& source, int zone) {
  Read read;
  read.scan = trevalo::ScanGpx(source, zone);
  const trevalo::ParseResult parse =
      trevalo::ParseGpx(source, read.scan.pointCount, zone, read.points);
  Check(parse.ok && !parse.readFailed);
  return read;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  trevalo::MemoryByteSource whole(bytes);
  const int zone = 900;
  const Read read = ReadAll(whole, zone);
  const trevalo::ScanResult& scan = read.scan;
  Check(read.points.size() == scan.pointCount);
  Check(scan.hasTimes == (scan.pointCount != 0));
  if (scan.hasTimes) {
    Check(scan.utcStart == read.points.front().utcTime);
    Check(scan.localStart == trevalo::ShiftByZone(scan.utcStart, zone));
    Check(scan.localEnd == trevalo::ShiftByZone(read.points.back().utcTime, zone));
  }
  std::int32_t laps = 0;
  std::int32_t waypoints = 0;
  for (const trevalo::TrackPoint& point : read.points) {
    laps += point.isLap;
    waypoints += point.isWaypoint;
    Check(point.localTime == trevalo::ShiftByZone(point.utcTime, zone));
    Check(point.altitude >= 0 && point.altitude <= trevalo::kMostAltitudeMetres);
    Check(point.speed >= 0 && point.speed <= trevalo::kMostSpeedKmh);
    Check(point.course >= 0 && point.course <= 360);
    Check(point.dop >= 0 && point.dop <= trevalo::kMostDop);
    Check(point.hdop >= 0 && point.hdop <= trevalo::kMostDop);
    Check(point.satellitesInView >= 0 && point.satellitesInView <= 255);
    if (trevalo::IsUsable(point)) {
      const trevalo::Coordinate position = trevalo::BuildPosition(point, {});
      Check(std::fabs(position.latitudeDegrees) <= 90 &&
            std::fabs(position.longitudeDegrees) <= 180);
    }
  }
  Check(laps == scan.lapCount && waypoints == scan.waypointCount);

  trevalo::PackedPoints oncePoints;
  trevalo::ParseResult onceParse;
  Check(trevalo::ReadGpxLog(whole, zone, oncePoints, onceParse) == scan);
  Check(!onceParse.readFailed && oncePoints == read.points);

  // The same document read in small pieces gives the same points. (Qt's decoder may see
  // bytes that are not UTF-8 differently where a piece ends; any block size is the same
  // for both passes over a file, so they still agree with each other.)
  if (!QUtf8StringView(bytes.data(), static_cast<qsizetype>(bytes.size())).isValidUtf8()) {
    return 0;
  }
  TrickleSource trickle(bytes, 1 + size % 97);
  const Read pieces = ReadAll(trickle, zone);
  // Where Qt's reader notices that a document is not well formed can move with the pieces
  // (a character XML does not allow, say): the points before it are the same either way.
  if (WellFormed(bytes)) {
    Check(pieces.scan.pointCount == scan.pointCount && pieces.scan.problem == scan.problem);
  }
  const std::size_t common = std::min(read.points.size(), pieces.points.size());
  for (std::size_t i = 0; i < common; ++i) {
    const trevalo::TrackPoint& a = read.points[i];
    const trevalo::TrackPoint& b = pieces.points[i];
    Check(a.utcTime == b.utcTime && a.latitude == b.latitude && a.longitude == b.longitude &&
          a.altitude == b.altitude && a.isLap == b.isLap && a.isWaypoint == b.isWaypoint);
  }
  return 0;
}
