#pragma once
// A log's points as it keeps them while loaded: a long log is held by the million, so each
// point is a 64-byte record rather than a TrackPoint with its ten texts (over 300 bytes).
//
// The record keeps the numbers in the form the files write them (decimal digits and a
// scale for altitude, course and the dilutions), the reference letters and marks as
// codes, and makes the texts on demand: the time text from the time of day and its
// fraction, the date stamp from the local time, the fix type from its number. A point
// whose values do not fit that form (a time written otherwise, an altitude of more digits
// than a receiver writes, letters other than the usual ones) is kept whole beside the
// records, so every point reads back exactly as it was appended, whatever the file held.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "track/block_list.h"
#include "track/calendar_time.h"
#include "track/track_point.h"

namespace trevalo {

class PackedPoints {
 public:
  PackedPoints() = default;
  explicit PackedPoints(const std::vector<TrackPoint>& points);

  void Reserve(std::size_t count) { records_.Reserve(count); }
  void Append(const TrackPoint& point);
  // Appends every point of `tail` in its order, leaving it empty. When this holds a multiple
  // of kJoinWithoutCopy points, the tail's records are taken over without being copied.
  void Append(PackedPoints&& tail);
  static constexpr std::size_t kJoinWithoutCopy = 256;
  // Gives back all memory.
  void Clear();

  std::size_t size() const { return records_.size(); }
  bool empty() const { return records_.empty(); }
  // The point exactly as it was appended.
  TrackPoint operator[](std::size_t index) const;
  TrackPoint front() const { return (*this)[0]; }
  TrackPoint back() const { return (*this)[size() - 1]; }
  // What the time index reads, without making the whole point.
  TimeValue localTimeAt(std::size_t index) const;

  // Bytes held for the points (records, texts and whole points), for measurements.
  std::size_t memoryBytes() const;
  // How many points did not fit a record.
  std::size_t wholePointCount() const { return wholePoints_.size(); }

  bool operator==(const PackedPoints& other) const;

  // The points as this build holds them (records and texts), appended to `bytes`, for the
  // cache of loaded logs; false, appending nothing, when a point did not fit a record.
  bool AppendBytes(std::string& bytes) const;
  // The points AppendBytes wrote; none when `bytes` are not such points. Every record is
  // checked to read back safely, so bytes from a damaged file give none or plain numbers.
  static std::optional<PackedPoints> FromBytes(std::string_view bytes);
  // The fewest bytes AppendBytes writes for `count` points.
  static std::uint64_t LeastBytesFor(std::uint64_t count);

  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = TrackPoint;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = TrackPoint;

    Iterator(const PackedPoints* points, std::size_t index) : points_(points), index_(index) {}
    TrackPoint operator*() const { return (*points_)[index_]; }
    Iterator& operator++() {
      ++index_;
      return *this;
    }
    bool operator==(const Iterator& other) const { return index_ == other.index_; }

   private:
    const PackedPoints* points_;
    std::size_t index_;
  };
  Iterator begin() const { return Iterator(this, 0); }
  Iterator end() const { return Iterator(this, size()); }

 private:
  struct Record {
    TimeValue utcTime;
    double latitude;
    double longitude;
    double speed;
    std::int32_t utcTimeOfDay;
    std::int32_t altitudeDigits;
    std::int32_t courseDigits;
    std::uint32_t satelliteText;
    std::uint16_t dopDigits;
    std::uint16_t hdopDigits;
    std::uint16_t timeFraction;  // the digits after the time text's decimal point
    std::int16_t deviceValue;
    std::uint8_t satellitesInView;
    std::uint8_t letters;  // the reference letters and the GSA mode
    std::uint32_t altitudeScale : 4;
    std::uint32_t courseScale : 4;
    std::uint32_t dopScale : 3;
    std::uint32_t hdopScale : 3;
    std::uint32_t timeForm : 3;          // how many fraction digits the time text has; or none
    std::uint32_t fixType : 3;           // the fix type's number plus one; 0 for no text
    std::uint32_t ggaTimeIsRmcTime : 1;  // else the GGA time text is empty
    std::uint32_t isWaypoint : 1;
    std::uint32_t isLap : 1;
    std::uint32_t isValid : 1;
    std::uint32_t ggaMatchesRmc : 1;
    std::uint32_t altitudeBelowSea : 1;
    std::uint32_t isInterpolated : 1;
    std::uint32_t differential : 1;
    std::uint32_t whole : 1;  // the point is among wholePoints_
  };
  static_assert(sizeof(Record) <= 64, "a point's record must stay within 64 bytes");
  struct WholePoint {
    std::size_t index;
    TrackPoint point;
  };

  // Fills `record` from `point`; false when the point does not fit a record.
  bool Pack(const TrackPoint& point, Record& record);
  void Unpack(const Record& record, TrackPoint& point) const;
  // The offset of the satellite text in texts_ plus one, 0 for no text; the text of the
  // point before is shared. None when the text cannot be kept there.
  std::optional<std::uint32_t> KeepSatelliteText(const std::string& text);
  // The record refers only to what this holds and Unpack reads it without fault.
  bool Readable(const Record& record) const;
  // The text at `reference` (a satellite text's offset plus one) lies within texts_.
  bool HoldsText(std::uint32_t reference) const;

  BlockList<Record, kJoinWithoutCopy> records_;
  // Points that do not fit a record, by their index, in the order appended.
  std::vector<WholePoint> wholePoints_;
  // The satellite summaries, each a 16-bit length and the text.
  std::string texts_;
  std::uint32_t lastText_ = 0;
  // Local time minus UTC of the first point: the log's zone, the same for every point the
  // readers make.
  TimeValue zoneOffset_ = 0;
  DateStamps dateStamps_;
};

// The points of a reader that fills them in order and goes back at most a few points: the
// points it has left behind are packed as it goes, so that a long log is never held
// unpacked in full. Used as the reader's vector: assign() once, then [] at or after the
// last packed point; Finish() packs the rest. A window may start at a later point: the
// points before `firstIndex` are another reader's, and the packed points start there.
class PointWindow {
 public:
  explicit PointWindow(PackedPoints& packed, std::size_t firstIndex = 0)
      : packed_(packed), firstIndex_(firstIndex) {}
  // `count` points in all (those before the first index included), each `value`.
  void assign(std::size_t count, const TrackPoint& value);
  // A point not yet packed; asking for one packs those more than kSpan points before it.
  TrackPoint& operator[](std::size_t index);
  void Finish();

  // The index of the first point not yet packed.
  std::size_t packedEnd() const { return firstIndex_ + packed_.size(); }
  // Drops the points packed so far: the packed points start at packedEnd() from now on.
  void DropPacked();
  // The points not yet packed, from packedEnd() on.
  struct OpenPoints {
    std::size_t packedEnd = 0;
    std::vector<TrackPoint> points;
    bool operator==(const OpenPoints&) const = default;
  };
  OpenPoints openPoints() const;

  static constexpr std::size_t kSpan = 4;

 private:
  void PackOne();

  PackedPoints& packed_;
  std::size_t firstIndex_;
  std::size_t count_ = 0;
  TrackPoint start_;
  TrackPoint slots_[kSpan];
};

// The time index reads local times through this, whichever way the points are held.
inline TimeValue LocalTimeAt(const PackedPoints& points, std::size_t index) {
  return points.localTimeAt(index);
}
inline TimeValue LocalTimeAt(const std::vector<TrackPoint>& points, std::size_t index) {
  return points[index].localTime;
}

}  // namespace trevalo
