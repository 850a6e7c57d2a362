#include "pipeline/selection.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/fakes.h"

namespace {

using Kept = std::vector<int64_t>;

double none(int, int) { return 0.0; }

// Its print carries the id.
FrameSample sample(int id, double sharp = 1, double lum = 0.5, bool printed = true) {
  return {id * 1.5 + 0.25, nullptr, printed ? std::optional(FeaturePrint{{float(id)}}) : std::nullopt, sharp, lum};
}

TEST(SceneBoundaries, CutWhereTheChangeReachesMeanPlusSpread) {
  const std::vector<std::pair<std::vector<double>, Kept>> cases = {
      {{0.1, 0.1, 0.9, 0.1}, {0, 3, 5}},   // threshold about 0.785
      {{0.1, 0.1, 0.1}, {0, 4}},           // threshold lifted from 0.1 to 0.12
      {{0.5, 0.5, 0.5}, {0, 1, 2, 3, 4}},  // every change equals the threshold
      {{0, 0, 0.9}, {0, 3, 4}},            // population deviation: threshold 0.894; n - 1 would give 1.03
      {{0}, {0, 2}},
  };
  for (const auto& [changes, boundaries] : cases) EXPECT_EQ(sceneBoundaries(changes), boundaries);
}

TEST(SelectFrames, KeepsTheDocumentedPositions) {
  const double fromSharpest[] = {0.3, 0.1, 0, 0.2, 0.3};
  const double steps[] = {0.1, 0.1, 0.9, 0.1};
  // What the case shows, the sharpness of each frame, the distances, the count and the positions kept.
  using Case = std::tuple<const char*, std::vector<double>, std::function<double(int, int)>, int64_t, Kept>;
  for (const auto& [what, sharps, distance, count, kept] : std::vector<Case>{
           {"static clip: sharpest, then the lowest positions", {1, 1, 1, 1, 1, 9, 1, 1, 1, 1}, none, 3, {0, 1, 5}},
           {"sharpest of each scene, no fill when enough", {1, 3, 2, 1, 5},
            [&](int from, int to) { return to == from + 1 ? 2 * steps[from] : 0.0; }, 2, {1, 4}},
           {"equal sharpness goes to the earlier frame", {1, 4, 2, 4, 3}, none, 1, {1}},
           {"count above the pool keeps everything", {1, 2, 3}, none, INT64_MAX, {0, 1, 2}},
           {"single frame", {4}, none, 3, {0}},
           {"negative count", {1, 2, 3}, none, INT64_MIN, {}},
           // Changes from the sharpest (2): 0 and 4 tie at the largest, 0 wins.
           {"second pick is the most changed from the sharpest", {1, 1, 5, 1, 1},
            [&](int from, int to) { return from == 2 ? fromSharpest[to] : 0.0; }, 2, {0, 2}},
           // A third pick takes the smallest change from either kept frame.
           {"novelty is the smallest change from the kept frames", {1, 1, 5, 1, 1},
            [&](int from, int to) { return from == 2 ? fromSharpest[to] : from == 0 ? (to == 4 ? 0.05 : 0.25) : 0.0; },
            3, {0, 2, 3}},
           // Scenes give 0 and 4, the fill adds 1: the result is in time order.
           {"kept list ends in time order", {1, 1, 1, 1, 7},
            [](int from, int to) { return from == 2 && to == 3 ? 2.0 : 0.0; }, 3, {0, 1, 4}},
           // Changes [0, 0.5, 0]: threshold max(0.1667 + 1.4 x 0.2357, 0.12) = 0.497, so the failure cuts in two.
           {"a failed distance counts as half", {1, 2, 3, 1},
            [](int from, int to) { return from == 1 && to == 2 ? throw std::runtime_error("no distance") : 0.0; },
            2, {1, 2}}}) {
    FakeVision vision;
    vision.distanceOf = distance;
    std::vector<FrameSample> samples;
    for (size_t i = 0; i < sharps.size(); ++i) samples.push_back(sample(int(i), sharps[i]));
    EXPECT_EQ(selectFrames(samples, count, vision).kept, kept) << what;
  }
}

TEST(SelectFrames, PoolIsTheStrictlyWellExposedFramesUnlessNoneIs) {
  FakeVision vision;
  vision.distanceOf = none;
  const Selection selection =
      selectFrames({sample(0, 9, 0.06), sample(1, 1, 0.5), sample(2, 9, 0.97), sample(3, 2, 0.3)}, 5, vision);
  ASSERT_EQ(selection.pool.size(), 2u);
  EXPECT_EQ(std::pair(selection.pool[0].time, selection.pool[1].time), std::pair(sample(1).time, sample(3).time));
  EXPECT_EQ(selection.kept, (Kept{0, 1}));  // positions in the pool
  const Selection dark = selectFrames({sample(0, 1, 0.01), sample(1, 5, 0.06), sample(2, 2, 0.0)}, 1, vision);
  EXPECT_EQ(std::pair(dark.pool.size(), dark.kept), std::pair(size_t{3}, Kept{1}));
}

TEST(SelectFrames, WithoutPrintsEveryFrameIsItsOwnScene) {
  FakeVision vision;
  std::vector<FrameSample> list;
  for (int i = 0; i < 6; ++i) list.push_back(sample(i, 6 - i, 0.5, false));
  EXPECT_EQ(selectFrames(list, 4, vision).kept, (Kept{0, 1, 2, 3}));
  EXPECT_TRUE(vision.distanceCalls.empty());
}

}  // namespace
