#pragma once
// What a receiver's sentence must be to be read, and which RMC sentences make a point: the
// count and the parse apply these alike, so the n-th point is always the n-th counted
// point sentence.

#include <array>
#include <cstdint>
#include <string_view>

namespace trevalo {

// A '$' sentence's checksum is wrong: its text holds a '*', and the two hex digits after
// the first '*' are missing or differ from the XOR of the bytes before it (NMEA 0183). A
// receiver writes one on every sentence, so a wrong one means a byte changed on the way (a
// flipped bit, a line cut off and joined to the next), and such a sentence is not used. A
// sentence without a '*' has no checksum and is read as it is; the logger's own '@'
// sentences carry none and are never checked.
bool ChecksumFails(std::string_view text);

// The epoch of a point sentence: its time and date fields as written, and the system
// (talker) that wrote it. A receiver that writes one RMC per system ($GPRMC, $GLRMC,
// $GARMC, ...) writes the same time and date in each.
class EpochKey {
 public:
  EpochKey() = default;
  // The key of a point sentence's text (its fields before any '*'); no epoch when the time
  // is empty or a field longer than a receiver writes.
  static EpochKey Of(std::string_view text);
  // Another system's view of the epoch of `last`: the same time and date from another
  // talker. (One talker's sentences of one time stay points of their own, as a merged log
  // writes a waypoint taken at a track point's time.)
  bool OtherSystemOf(const EpochKey& last) const {
    return timeSize_ != 0 && timeSize_ == last.timeSize_ && dateSize_ == last.dateSize_ &&
           time_ == last.time_ && date_ == last.date_ &&
           (talker_[0] != last.talker_[0] || talker_[1] != last.talker_[1]);
  }
  bool operator==(const EpochKey&) const = default;

 private:
  friend class PointSentenceCounter;
  static EpochKey FromFields(const char* text, std::size_t timeBegin, std::size_t timeEnd,
                             std::size_t dateBegin, std::size_t dateEnd);
  static constexpr std::size_t kMostTime = 16;
  static constexpr std::size_t kMostDate = 8;
  std::array<char, kMostTime> time_{};
  std::array<char, kMostDate> date_{};
  std::uint8_t timeSize_ = 0;  // 0: no epoch, never another system's view of one
  std::uint8_t dateSize_ = 0;
  std::array<char, 2> talker_{};
};

// Follows a log's point sentences (whose checksums held) in order: one that is another
// system's view of the last point's epoch is no new point.
class EpochFollower {
 public:
  // Whether the point sentence `text` starts a point; it is the last one from now.
  bool StartsPoint(std::string_view text) {
    const EpochKey key = EpochKey::Of(text);
    const bool starts = !key.OtherSystemOf(last_);
    last_ = key;
    return starts;
  }
  const EpochKey& last() const { return last_; }
  // Goes on after the point sentence of key `last` (a part of a log read apart from the
  // part before it).
  void ContinueAfter(const EpochKey& last) { last_ = last; }
  bool operator==(const EpochFollower&) const = default;

 private:
  EpochKey last_;
};

// The count's reading of point sentences, one after another: the verdicts ChecksumFails and
// an EpochFollower give. The count finds where a sentence's fields stop and the XOR before
// that in a few vector steps (sentence_stop.h); the epoch of a sentence is worked out only
// when the next one comes from another talker.
class PointSentenceCounter {
 public:
  enum class Verdict { kRefused, kOtherSystem, kNewPoint };
  // `text` is the bytes after the '$' of a point sentence, `available` of them data (the
  // text ends at the first CR, LF or '$', or after kMaxSentenceText bytes).
  Verdict Take(const char* text, std::size_t available);
  // The same for a text whose first '*', CR, LF or '$' is at `stop` (before
  // kStopSearchBytes), `sum` being the XOR of the bytes before it; 128 bytes may be read.
  Verdict TakeStopped(const char* text, unsigned stop, unsigned char sum);
  // The epoch of the last point sentence whose checksum held.
  EpochKey last();

 private:
  EpochKey Resolve();
  EpochKey last_;
  // The last sentence's first bytes and where its fields end, while its key is not worked
  // out.
  static constexpr unsigned kRawBytes = 128;
  bool pending_ = false;
  std::array<char, kRawBytes> raw_{};
  unsigned rawFieldsEnd_ = 0;
  std::array<char, 2> lastTalker_{};
};

}  // namespace trevalo
