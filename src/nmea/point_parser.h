#pragma once
// The reading of a logger log's sentences into points, one sentence at a time: what ParseLog
// runs from the first sentence to the last, and what a log read on two threads runs over
// each part, comparing the parsers' states where the parts meet.

#include <cstdint>
#include <string_view>

#include "nmea/log_reader.h"
#include "nmea/nmea_fields.h"
#include "nmea/point_sentence.h"
#include "nmea/satellite_summary.h"
#include "nmea/sentence_counter.h"
#include "nmea/sentence_reader.h"
#include "track/calendar_time.h"

namespace trevalo {

// A sentence's kind; the start character sits just before the text in the reader's buffer.
inline CountedKind KindOf(const Sentence& s) {
  return ClassifySentence(s.text.data() - 1, s.text.size() + 1);
}

// `Points` is a std::vector<TrackPoint> or a PointWindow, assigned pointCount points.
template <class Points>
class PointParser {
 public:
  // `firstPoint` is the index of the next point sentence: the count of point sentences
  // before the first sentence this parser takes (0 from the start of the data).
  PointParser(std::uint32_t pointCount, int effectiveZone, Points& points,
              std::uint32_t firstPoint = 0)
      : pointCount_(pointCount),
        firstPoint_(firstPoint),
        effectiveZone_(effectiveZone),
        points_(points) {
    state_.p = firstPoint;
  }

  // The point before the first sentence this parser takes is of epoch `last`: a sentence
  // of that epoch starts no point (a part of a log read apart from the part before it).
  void ContinueAfterEpoch(const EpochKey& last) { state_.epochs.ContinueAfter(last); }

  // Reads the epochs in the order another parser of the same log decided, before any
  // sentence is taken.
  void AssumeOrder(bool rmcFirst) {
    state_.orderKnown = true;
    state_.rmcFirst = rmcFirst;
  }

  // Whether the sentences still to come are read.
  bool wantsMore() const {
    return state_.p < pointCount_ || state_.rmcFirst || state_.lastEpochOpen;
  }
  // Takes the next sentence; false when a date or time out of range stops the parse (the
  // result says where).
  bool Take(const Sentence& sentence);
  // After the last sentence taken: completes the open epoch and the last point's device
  // value.
  void Finish(bool readFailed);
  // Takes the reader's sentences until the parse is over and completes it (unless a date
  // stopped it): what is left of a parse that has not failed.
  ParseResult& ReadOn(SentenceReader& reader);

  ParseResult& result() { return result_; }
  // The point sentences taken so far, those before `firstPoint` included.
  std::uint32_t pointsTaken() const { return state_.p; }

  // What decides how the next sentences are read, beside the open points: two parsers in
  // the same state with the same open points read every further sentence alike.
  struct State {
    std::uint32_t p = 0;
    bool rmcSeen = false;
    // Most receivers, the logger among them, write an epoch's RMC last; others (u-blox)
    // write it first. The first GGA after the first point tells: when it carries that
    // point's time and none came before it, the GGA, GSA and GSV sentences after each RMC
    // belong to it.
    bool orderKnown = false;
    bool rmcFirst = false;
    // A receiver that writes one RMC per system makes one point of them (the first with a
    // usable fix, or the combined "GN" one where there is one).
    EpochFollower epochs;
    bool lastPointCombined = false;
    // The last point is complete, but other systems' RMC sentences of its epoch may follow.
    bool lastEpochOpen = false;
    SatelliteSummary satellites;
    bool operator==(const State&) const = default;
  };
  const State& state() const { return state_; }

 private:
  // Fills the fix of an RMC sentence into `point`; false when its date or time is out of
  // range.
  bool FillFix(const SentenceFields& f, TrackPoint& point);
  // Another system's RMC of the last point's epoch: its fix replaces the point's when it is
  // the better one.
  void TakeSameEpoch(const SentenceFields& f, std::string_view text);

  const std::uint32_t pointCount_;
  const std::uint32_t firstPoint_;
  const int effectiveZone_;
  Points& points_;
  ParseResult result_;
  State state_;
  DateStamps dateStamps_;
};

}  // namespace trevalo
