#pragma once
// When a photo was taken, as precisely as the photo says: its capture date (PhotoInfo's
// dateTime, the camera's own clock), the fraction of its second, and the zone the clock was
// set to, where newer cameras and phones record them.

#include <optional>
#include <string>
#include <string_view>

#include "photo/photo_info.h"
#include "track/calendar_time.h"

namespace trevalo {

struct CaptureDetail {
  // The fraction of the capture second in milliseconds (SubSecTimeOriginal, else
  // SubSecTime); none when the photo records none.
  std::optional<int> millis;
  // Seconds the camera's clock was ahead of UTC (OffsetTimeOriginal, else OffsetTime); none
  // when the photo records no zone.
  std::optional<int> offsetSeconds;
  bool operator==(const CaptureDetail&) const = default;
};

CaptureDetail CaptureDetailOf(const PhotoInfo& info);

// The capture time of an EXIF date text ("YYYY:MM:DD hh:mm:ss"), on the camera's own clock;
// none when the text is too short to hold one or its fields are out of range.
std::optional<TimeValue> CaptureTime(const std::string& text);

// A zone as EXIF and XMP write it ("+02:00", "-05:00", "+0530", "Z"): seconds east of UTC;
// none for any other text or a zone beyond 14 hours.
std::optional<int> ZoneOffsetSeconds(std::string_view text);

// Digits of a fraction of a second ("864", "06", "5"): milliseconds, the fourth digit on
// dropped; none when the text does not start with a digit.
std::optional<int> FractionMillis(std::string_view text);

// "+02:00" for 7200 seconds.
std::string OffsetSecondsText(int offsetSeconds);

// The UTC instant of a capture time read on a clock of the recorded zone, in ISO 8601
// ("2021-02-13T17:03:31.864Z", the fraction only when recorded); empty without a zone or
// for a time that cannot be written.
std::string UtcTimeText(TimeValue clockTime, const CaptureDetail& detail);

}  // namespace trevalo
