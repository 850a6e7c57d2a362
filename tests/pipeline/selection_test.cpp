#include "pipeline/selection.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

#include "support/fakes.h"

namespace {

using Distance = std::function<double(int from, int to)>;
using Kept = std::vector<int64_t>;

double none(int, int) { return 0.0; }

// The distance from print 1 to print 2 fails; every other one is 0.
double failsFromOneToTwo(int from, int to) {
  if (from == 1 && to == 2) throw std::runtime_error("no distance");
  return 0.0;
}

FakeVision visionWith(Distance distance = none) {
  FakeVision vision;
  vision.distanceOf = std::move(distance);
  return vision;
}

// Its print carries the id.
FrameSample sample(int id, double sharp = 1, double lum = 0.5, bool printed = true) {
  FrameSample s;
  s.time = id * 1.5 + 0.25;
  s.sharp = sharp;
  s.lum = lum;
  if (printed) s.print = FeaturePrint{{static_cast<float>(id)}};
  return s;
}

std::vector<FrameSample> samples(const std::vector<double>& sharps) {
  std::vector<FrameSample> list;
  for (size_t i = 0; i < sharps.size(); ++i) list.push_back(sample(int(i), sharps[i]));
  return list;
}

TEST(VisualChange, HalfTheDistanceCappedAtOneAndHalfWithoutADistance) {
  for (auto [distance, change] : std::vector<std::pair<double, double>>{
           {0, 0}, {0.4, 0.2}, {2, 1}, {7.5, 1}, {std::numeric_limits<double>::quiet_NaN(), 1}}) {
    FakeVision vision = visionWith([d = distance](int, int) { return d; });
    EXPECT_EQ(visualChange(vision, sample(0), sample(1)), change) << distance;
  }
  FakeVision failing = visionWith(failsFromOneToTwo);
  EXPECT_EQ(visualChange(failing, sample(1), sample(2)), 0.5);
  FakeVision vision;
  EXPECT_EQ(visualChange(vision, sample(0, 1, 0.5, false), sample(1)), 0.5);
  EXPECT_EQ(visualChange(vision, sample(0), sample(1, 1, 0.5, false)), 0.5);
  EXPECT_TRUE(vision.distanceCalls.empty());
}

TEST(SceneBoundaries, CutWhereTheChangeReachesMeanPlusSpread) {
  const std::vector<std::pair<std::vector<double>, Kept>> cases = {
      {{0.1, 0.1, 0.9, 0.1}, {0, 3, 5}},   // threshold about 0.785
      {{0.1, 0.1, 0.1}, {0, 4}},           // threshold lifted from 0.1 to 0.12
      {{0.5, 0.5, 0.5}, {0, 1, 2, 3, 4}},  // every change equals the threshold
      {{0, 0, 0.9}, {0, 3, 4}},            // population deviation: threshold 0.894; n - 1 would give 1.03
      {{0.2, 0.13}, {0, 3}},               // above the mean is not enough: threshold 0.214
      {{0}, {0, 2}},
  };
  for (const auto& [changes, boundaries] : cases) EXPECT_EQ(sceneBoundaries(changes), boundaries);
}

TEST(SelectFrames, KeepsTheDocumentedPositions) {
  const double fromSharpest[] = {0.3, 0.1, 0, 0.2, 0.3};
  const double steps[] = {0.1, 0.1, 0.9, 0.1};
  struct Case {
    const char* what;
    std::vector<double> sharps;
    Distance distance;
    int64_t count;
    Kept kept;
  };
  const std::vector<Case> cases = {
      {"static clip: sharpest, then the lowest positions", {1, 1, 1, 1, 1, 9, 1, 1, 1, 1}, none, 3, {0, 1, 5}},
      {"sharpest of each scene, no fill when enough", {1, 3, 2, 1, 5},
       [&](int from, int to) { return to == from + 1 ? 2 * steps[from] : 0.0; }, 2, {1, 4}},
      {"equal sharpness goes to the earlier frame", {1, 4, 2, 4, 3}, none, 1, {1}},
      {"count above the pool keeps everything", {1, 2, 3}, none, std::numeric_limits<int64_t>::max(), {0, 1, 2}},
      {"single frame", {4}, none, 3, {0}},
      // Changes from the sharpest (2): 0 and 4 tie at the largest, 0 wins.
      {"second pick is the most changed from the sharpest", {1, 1, 5, 1, 1},
       [&](int from, int to) { return from == 2 ? fromSharpest[to] : 0.0; }, 2, {0, 2}},
      // A third pick takes the smallest change from either kept frame.
      {"novelty is the smallest change from the kept frames", {1, 1, 5, 1, 1},
       [&](int from, int to) { return from == 2 ? fromSharpest[to] : from == 0 ? (to == 4 ? 0.05 : 0.25) : 0.0; }, 3,
       {0, 2, 3}},
      // Scenes give 0 and 4, the fill adds 1: the result is in time order.
      {"kept list ends in time order", {1, 1, 1, 1, 7}, [](int from, int to) { return from == 2 && to == 3 ? 2.0 : 0.0; },
       3, {0, 1, 4}},
      // Changes [0, 0.5, 0]: threshold max(0.1667 + 1.4 x 0.2357, 0.12) = 0.497, so the failure cuts the pool in two.
      {"a failed distance counts as half", {1, 2, 3, 1}, failsFromOneToTwo, 2, {1, 2}},
  };
  for (const auto& c : cases) {
    FakeVision vision = visionWith(c.distance);
    EXPECT_EQ(selectFrames(samples(c.sharps), c.count, vision).kept, c.kept) << c.what;
  }
}

TEST(SelectFrames, WithoutPrintsEveryFrameIsItsOwnScene) {
  FakeVision vision;
  std::vector<FrameSample> list;
  for (int i = 0; i < 6; ++i) list.push_back(sample(i, 6 - i, 0.5, false));
  EXPECT_EQ(selectFrames(list, 4, vision).kept, (Kept{0, 1, 2, 3}));
  EXPECT_EQ(selectFrames(list, 10, vision).kept, (Kept{0, 1, 2, 3, 4, 5}));
  EXPECT_TRUE(vision.distanceCalls.empty());
}

TEST(SelectFrames, PoolIsTheStrictlyWellExposedFramesUnlessNoneIs) {
  FakeVision vision = visionWith();
  std::vector<FrameSample> list = {sample(0, 9, 0.06), sample(1, 1, 0.5), sample(2, 9, 0.97), sample(3, 2, 0.3),
                                   sample(4, 9, 0.98)};
  const Selection selection = selectFrames(list, 5, vision);
  ASSERT_EQ(selection.pool.size(), 2u);
  EXPECT_EQ(std::pair(selection.pool[0].time, selection.pool[1].time), std::pair(list[1].time, list[3].time));
  EXPECT_EQ(selection.kept, (Kept{0, 1}));  // positions in the pool
  const Selection dark = selectFrames({sample(0, 1, 0.01), sample(1, 5, 0.06), sample(2, 2, 0.0)}, 1, vision);
  EXPECT_EQ(dark.pool.size(), 3u);
  EXPECT_EQ(dark.kept, Kept{1});
}

TEST(SelectFrames, NothingKeptForZeroOrNegativeCountButChangesAreMeasured) {
  for (int64_t count : {int64_t{0}, int64_t{-1}, std::numeric_limits<int64_t>::min()}) {
    FakeVision vision;
    EXPECT_TRUE(selectFrames(samples({1, 2, 3, 4}), count, vision).kept.empty()) << count;
    EXPECT_EQ(vision.distanceCalls.size(), 3u) << count;
  }
}

TEST(SelectFrames, KeptFrameIsTheReceiverOfTheFillDistances) {
  // from -> to is small, to -> from is large: the pick shows which print
  // the distance was asked of.
  FakeVision vision = visionWith([](int from, int to) {
    if (to == from + 1) return 0.0;  // neighbours: one scene
    if (from == 0) return to == 2 ? 1.0 : 0.5;
    if (to == 0) return from == 3 ? 1.0 : 0.2;
    return 0.0;
  });
  EXPECT_EQ(selectFrames(samples({9, 1, 1, 1}), 2, vision).kept, (Kept{0, 2}));
  for (size_t i = 3; i < vision.distanceCalls.size(); ++i) EXPECT_EQ(vision.distanceCalls[i].first, 0);
}

}  // namespace
