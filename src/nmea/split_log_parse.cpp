#include "nmea/split_log_parse.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "nmea/point_parser.h"
#include "nmea/sentence_counter.h"
#include "nmea/sentence_reader.h"

namespace trevalo {
namespace {

// The second parser's state is compared after this many points of its own part: enough for
// it to have read whole epochs and for every open point to be one it filled itself.
constexpr std::uint32_t kPointsBeforeMeeting = PointWindow::kSpan + 4;

// The points a parse makes of the sentences before `end`, the start of a line (at most
// `pointCount`), and the epoch of the last of them; nullopt when the data cannot be read.
struct PointsBefore {
  std::uint32_t count = 0;
  EpochKey lastEpoch;
};
std::optional<PointsBefore> PointSentencesBefore(ByteSource& source, std::uint64_t end,
                                                 std::uint32_t pointCount) {
  const SentenceCount count = CountSentencesIn(source, 0, end);
  if (count.readFailed) {
    return std::nullopt;
  }
  return PointsBefore{std::min(count.pointCount, pointCount), count.lastEpoch};
}

// Where the two parsers meet: the second parser's state just after it took the sentence at
// `offset`, which the first parser compares with its own when it has taken that sentence.
struct Meeting {
  std::uint64_t offset = 0;  // the first parser takes no sentence after this one
  PointParser<PointWindow>::State state;
  PointWindow::OpenPoints openPoints;
  std::int32_t deviceValueCount = 0;  // the second parser's count at the meeting
};

// What the threads tell each other, once each: the first, the order of the epochs'
// sentences, which it decides within the first points (nullopt when it has not when it
// reaches the split); the second, where to meet, or that there is no meeting.
class MeetingPlace {
 public:
  void TellOrder(std::optional<bool> rmcFirst) { Tell(order_, rmcFirst); }
  std::optional<bool> AwaitOrder() { return Await(order_); }
  void TellMeeting(std::optional<Meeting> meeting) { Tell(meeting_, std::move(meeting)); }
  const std::optional<Meeting>& AwaitMeeting() { return Await(meeting_); }

 private:
  template <class T>
  struct Message {
    bool told = false;
    std::optional<T> value;
  };

  template <class T>
  void Tell(Message<T>& message, std::optional<T> value) {
    {
      const std::lock_guard lock(mutex_);
      message.value = std::move(value);
      message.told = true;
    }
    told_.notify_all();
  }
  template <class T>
  const std::optional<T>& Await(Message<T>& message) {
    std::unique_lock lock(mutex_);
    told_.wait(lock, [&message] { return message.told; });
    return message.value;
  }

  std::mutex mutex_;
  std::condition_variable told_;
  Message<bool> order_;
  Message<Meeting> meeting_;
};

// The second part: from the line at `split` to the end of the data.
class SecondPart {
 public:
  SecondPart(ByteSource& source, std::uint32_t pointCount, int effectiveZone, std::uint64_t split)
      : source_(source), pointCount_(pointCount), effectiveZone_(effectiveZone), split_(split) {}

  void Run(MeetingPlace& place, const std::atomic<bool>& abandoned) {
    const std::optional<PointsBefore> before = PointSentencesBefore(source_, split_, pointCount_);
    const std::optional<std::uint32_t> firstPoint =
        before ? std::optional<std::uint32_t>(before->count) : std::nullopt;
    // A fresh parser must not reach back to the first part's points, as it would when the
    // order of the epochs' sentences is decided in its part (at the second point).
    if (!firstPoint || *firstPoint < 2 || *firstPoint + kPointsBeforeMeeting >= pointCount_) {
      place.TellMeeting(std::nullopt);
      return;
    }
    // A receiver that writes the RMC first completes the point before the split with the
    // sentences after it.
    const std::optional<bool> rmcFirst = place.AwaitOrder();
    window_.emplace(points_, *firstPoint - (rmcFirst.value_or(false) ? 1 : 0));
    window_->assign(pointCount_, TrackPoint{});
    parser_.emplace(pointCount_, effectiveZone_, *window_, *firstPoint);
    parser_->ContinueAfterEpoch(before->lastEpoch);
    if (rmcFirst) {
      parser_->AssumeOrder(*rmcFirst);
    }
    SentenceReader reader(source_, split_);
    Sentence sentence;
    const std::uint32_t meetingPoint = *firstPoint + kPointsBeforeMeeting;
    bool met = false;
    while (parser_->wantsMore() && !abandoned.load(std::memory_order_relaxed) &&
           reader.Next(sentence)) {
      if (!parser_->Take(sentence)) {
        break;  // a date out of range; the first parser finds it too when it is past the meeting
      }
      // The parts meet where the first part's packed points end at a whole number of
      // blocks, so that the second's are joined without being copied (and held twice),
      // unless too few points are left for that.
      if (!met && parser_->pointsTaken() >= meetingPoint &&
          (window_->packedEnd() % PackedPoints::kJoinWithoutCopy == 0 ||
           pointCount_ - parser_->pointsTaken() < 2 * PackedPoints::kJoinWithoutCopy)) {
        met = true;
        place.TellMeeting(Meeting{sentence.offset, parser_->state(), window_->openPoints(),
                                  parser_->result().deviceValueCount});
        window_->DropPacked();
      }
    }
    if (!met) {
      place.TellMeeting(std::nullopt);
    }
    readFailed_ = reader.readFailed();
  }

  // Completes the part once the first part has met it: the result of the whole parse.
  ParseResult Join(const Meeting& meeting, std::int32_t firstPartDeviceValues,
                   PackedPoints& points) {
    ParseResult& result = parser_->result();
    result.deviceValueCount += firstPartDeviceValues - meeting.deviceValueCount;
    if (result.ok) {
      parser_->Finish(readFailed_);
    }
    window_->Finish();
    points.Append(std::move(points_));
    return result;
  }

 private:
  ByteSource& source_;
  const std::uint32_t pointCount_;
  const int effectiveZone_;
  const std::uint64_t split_;
  PackedPoints points_;
  std::optional<PointWindow> window_;
  std::optional<PointParser<PointWindow>> parser_;
  bool readFailed_ = false;
};

}  // namespace

ParseResult ParsePackedLog(ByteSource& source, std::uint32_t pointCount, int effectiveZone,
                           PackedPoints& points) {
  if (WorthTwoThreads(source, kLeastSplitLogBytes)) {
    // The second thread counts the points before its part first: its part is the smaller.
    return ParseLogOnTwoThreads(source, pointCount, effectiveZone, points,
                                source.SizeHint() / 20 * 11);
  }
  PointWindow window(points);
  const ParseResult parsed = ParseLog(source, pointCount, effectiveZone, window);
  window.Finish();
  return parsed;
}

ParseResult ParseLogOnTwoThreads(ByteSource& source, std::uint32_t pointCount, int effectiveZone,
                                 PackedPoints& points, std::uint64_t splitNear, bool* partsJoined) {
  if (partsJoined != nullptr) {
    *partsJoined = false;
  }
  PointWindow window(points);
  window.assign(pointCount, TrackPoint{});
  PointParser<PointWindow> parser(pointCount, effectiveZone, window);
  SentenceReader reader(source);
  Sentence sentence;
  // What is left when the first thread reads on alone.
  const auto finishAlone = [&] {
    const ParseResult result = parser.result().ok ? parser.ReadOn(reader) : parser.result();
    window.Finish();
    return result;
  };
  const std::optional<std::uint64_t> split = NextLineStart(source, splitNear);
  if (!split) {
    return finishAlone();
  }

  SecondPart second(source, pointCount, effectiveZone, *split);
  MeetingPlace place;
  std::atomic<bool> abandoned = false;
  std::thread thread([&] { second.Run(place, abandoned); });
  bool orderTold = false;
  const auto tellOrder = [&](std::optional<bool> rmcFirst) {
    if (!orderTold) {
      orderTold = true;
      place.TellOrder(rmcFirst);
    }
  };
  const auto abandonSecond = [&] {
    tellOrder(std::nullopt);  // the second thread may be waiting for it
    abandoned = true;
    thread.join();
  };

  const Meeting* meeting = nullptr;
  bool waited = false;
  bool pending = false;  // `sentence` is read but not yet taken
  while (parser.wantsMore() && reader.Next(sentence)) {
    if (!orderTold && parser.state().orderKnown) {
      tellOrder(parser.state().rmcFirst);
    }
    // Until the split the meeting is not needed; it lies beyond it.
    if (!waited && sentence.offset > *split) {
      waited = true;
      tellOrder(std::nullopt);
      const std::optional<Meeting>& told = place.AwaitMeeting();
      meeting = told ? &*told : nullptr;
    }
    if (meeting != nullptr && sentence.offset > meeting->offset) {
      pending = true;
      break;
    }
    if (!parser.Take(sentence)) {
      abandonSecond();
      return finishAlone();
    }
  }
  if (meeting != nullptr && pending && parser.state() == meeting->state &&
      window.openPoints() == meeting->openPoints) {
    thread.join();
    if (partsJoined != nullptr) {
      *partsJoined = true;
    }
    return second.Join(*meeting, parser.result().deviceValueCount, points);
  }
  abandonSecond();
  if (pending) {
    parser.Take(sentence);  // a failure is in the result, which finishAlone keeps
  }
  return finishAlone();
}

}  // namespace trevalo
