#include "nmea/satellite_summary.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "nmea/nmea_fields.h"

namespace trevalo {
namespace {

void AppendSatelliteGroups(const SentenceFields& fields, int groups, std::string& text) {
  const std::size_t fieldCount = static_cast<std::size_t>(groups) * 4;
  std::size_t length = 0;
  for (std::size_t n = 0; n < fieldCount; ++n) {
    length += 1 + std::max<std::size_t>(fields[4 + n].size(), 1);
  }
  std::size_t at = text.size();
  text.resize(at + length);
  for (std::size_t n = 0; n < fieldCount; ++n) {
    const std::string_view field = fields[4 + n];
    text[at++] = ',';
    if (field.empty()) {
      text[at++] = '0';
    } else {
      std::memcpy(&text[at], field.data(), field.size());
      at += field.size();
    }
  }
}

// The signal id: a field after the last satellite group, before the checksum (NMEA 4.10
// on); empty for a sentence without one.
std::string_view SignalId(std::string_view text, int groups) {
  const std::string_view body = text.substr(0, text.find('*'));
  if (std::count(body.begin(), body.end(), ',') != 4 + groups * 4) {
    return {};
  }
  return body.substr(body.rfind(',') + 1);
}

}  // namespace

void SatelliteSummary::Take(std::string_view text, TrackPoint& point) {
  const SentenceFields f(text);
  const int total = ReadInt(f[1]);
  const int number = ReadInt(f[2]);
  const int count = ReadInt(f[3]);
  const int remaining = count <= 0 ? 0 : (count % 4 == 0 ? 4 : count % 4);
  const int groups = number < total ? 4 : (number == total ? remaining : 0);
  if (number == 1) {
    StartSequence(Sequence{std::string(text.substr(0, 2)), std::string(SignalId(text, groups)),
                           std::clamp(count, 0, 255)},
                  f[3]);
  }
  if (skipping_) {
    return;
  }
  // One system's count as written; counts of several are summed within what can be real.
  point.satellitesInView = earlierCount_ == 0 ? count : earlierCount_ + std::clamp(count, 0, 255);
  // A sequence is summarised afresh from its first message; a log whose messages never
  // start one (damaged or hostile) would add to the same summary without end.
  if (groups_.size() < kMostSatelliteGroupBytes) {
    AppendSatelliteGroups(f, groups, groups_);
  }
  if (number == total) {
    point.satelliteText.assign(countText_).append(groups_);
  }
}

void SatelliteSummary::StartSequence(Sequence sequence, std::string_view countField) {
  skipping_ = false;
  bool systemTaken = false;
  bool signalTaken = false;
  int takenCount = 0;
  for (const Sequence& s : sequences_) {
    takenCount += s.count;
    if (s.talker == sequence.talker) {
      systemTaken = true;
      signalTaken = signalTaken || s.signal == sequence.signal;
    }
  }
  if (sequences_.empty() || signalTaken) {
    sequences_.clear();
    earlierCount_ = 0;
    countText_.assign(countField);
    groups_.clear();
  } else if (systemTaken) {
    skipping_ = true;
    return;
  } else {
    earlierCount_ = takenCount;
    char text[16];
    std::snprintf(text, sizeof text, "%02d", std::max(0, takenCount + sequence.count));
    countText_ = text;
  }
  sequences_.push_back(std::move(sequence));
}

}  // namespace trevalo
