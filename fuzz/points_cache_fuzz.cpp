// Any bytes as the points of a cached log: reading must not crash, every point of what is
// taken must read back without fault and be found by the time index without overflow, and
// what is taken must be written back as the same bytes (so an entry read is the entry
// written).

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "track/packed_points.h"
#include "track/time_index.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::optional<trevalo::PackedPoints> points = trevalo::PackedPoints::FromBytes(bytes);
  if (!points) {
    return 0;
  }
  std::size_t count = 0;
  for (const trevalo::TrackPoint& point : *points) {
    Check(point.localTime - point.utcTime == points->front().localTime - points->front().utcTime);
    ++count;
  }
  Check(count == points->size());
  const trevalo::TimeIndex index(*points);
  for (std::size_t i = 0; i < points->size(); i += 1 + points->size() / 8) {
    const trevalo::TimeValue time = points->localTimeAt(i);
    for (const trevalo::TimeValue asked : {time - 1, time, time + 1, time + 86400 * 365}) {
      Check(index.Nearest(*points, asked) < points->size());
      (void)index.Around(*points, asked);
    }
  }
  std::string written;
  Check(points->AppendBytes(written));
  Check(written == bytes);
  return 0;
}
