#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "track/time_index.h"

namespace trevalo {
namespace {

// The walks over every point that the index replaces: what it must answer, exactly.
std::size_t NearestByWalk(const std::vector<TrackPoint>& points, TimeValue localTime) {
  std::size_t best = 0;
  TimeValue bestDistance = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const TimeValue distance = std::llabs(points[i].localTime - localTime);
    if (i == 0 || distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  return best;
}

std::optional<FixesAround> AroundByWalk(const std::vector<TrackPoint>& points,
                                        TimeValue localTime) {
  std::optional<std::size_t> before;
  std::optional<std::size_t> after;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const TimeValue t = points[i].localTime;
    if (t == localTime) {
      return std::nullopt;
    }
    if (t < localTime && (!before || t > points[*before].localTime)) {
      before = i;
    } else if (t > localTime && (!after || t < points[*after].localTime)) {
      after = i;
    }
  }
  if (!before || !after) {
    return std::nullopt;
  }
  return FixesAround{*before, *after};
}

std::vector<TrackPoint> PointsAt(const std::vector<TimeValue>& times) {
  std::vector<TrackPoint> points(times.size());
  for (std::size_t i = 0; i < times.size(); ++i) {
    points[i].localTime = times[i];
  }
  return points;
}

void ExpectSameAnswers(const std::vector<TrackPoint>& points, TimeValue from, TimeValue to) {
  const TimeIndex index(points);
  for (TimeValue t = from; t <= to; ++t) {
    ASSERT_EQ(index.Nearest(points, t), NearestByWalk(points, t)) << "at " << t;
    const std::optional<FixesAround> around = index.Around(points, t);
    const std::optional<FixesAround> walked = AroundByWalk(points, t);
    ASSERT_EQ(around.has_value(), walked.has_value()) << "at " << t;
    if (around) {
      ASSERT_EQ(around->before, walked->before) << "at " << t;
      ASSERT_EQ(around->after, walked->after) << "at " << t;
    }
  }
}

TEST(TimeIndex, AnswersAsTheWalkOverEveryPointDoes) {
  // Ties both ways, repeated times, a clock set back, and times before and after them all.
  ExpectSameAnswers(PointsAt({100, 110, 110, 120, 90, 95, 130, 130, 100}), 80, 140);
  ExpectSameAnswers(PointsAt({10, 20, 30, 40}), 0, 50);  // in order: no order is kept
  ExpectSameAnswers(PointsAt({40, 30, 20, 10}), 0, 50);
  ExpectSameAnswers(PointsAt({5, 5, 5}), 0, 10);
  ExpectSameAnswers(PointsAt({7}), 0, 10);
  ExpectSameAnswers({}, 0, 3);
}

TEST(TimeIndex, AgreesWithTheWalkOnRandomLogs) {
  std::mt19937 random(20261208);
  for (int log = 0; log < 300; ++log) {
    const std::size_t size = 1 + random() % 60;
    std::vector<TimeValue> times(size);
    TimeValue t = 1000;
    for (TimeValue& time : times) {
      // Mostly forwards a second or a few, often the same second, sometimes backwards.
      const unsigned step = random() % 10;
      t += step < 5 ? 1 + random() % 3 : step < 8 ? 0 : -static_cast<TimeValue>(random() % 20);
      time = t;
    }
    SCOPED_TRACE(log);
    ExpectSameAnswers(PointsAt(times), 960, t + 40);
  }
}

}  // namespace
}  // namespace trevalo
