// Any bytes as an existing XMP sidecar: reading its position must not crash; setting the
// GPS properties either refuses the file or gives a sidecar that reads back the position
// set, and setting them again changes nothing.

#include <cmath>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "photo/xmp_sidecar.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view existing(reinterpret_cast<const char*>(data), size);
  (void)trevalo::ReadSidecarPosition(existing);

  trevalo::TrackPoint point;
  point.latitude = 3723.4567;
  point.latitudeRef = "S";
  point.longitude = 12658.1234;
  point.longitudeRef = "E";
  point.altitude = 45.3;
  point.ggaMatchesRmc = size % 2;  // with and without altitude, time and datum
  point.utcTime = 1242563719;
  point.utcTimeOfDay = 123519;
  const trevalo::SidecarGps gps = trevalo::SidecarGpsOfPoint(point, 0, 0);
  const trevalo::SidecarText written = trevalo::SetSidecarGps(existing, gps);
  if (!written.error.empty()) {
    Check(written.text.empty());
    return 0;
  }
  const trevalo::SidecarRead read = trevalo::ReadSidecarPosition(written.text);
  Check(read.error.empty() && read.position.has_value());
  Check(std::fabs(read.position->latitude + (37 + 23 / 60.0 + 27.402 / 3600)) < 1e-9);
  Check(std::fabs(read.position->longitude - (126 + 58 / 60.0 + 7.404 / 3600)) < 1e-9);
  Check(read.position->altitude.has_value() == (point.ggaMatchesRmc == 1));
  Check(trevalo::SetSidecarGps(written.text, gps).text == written.text);
  return 0;
}
