#include "motion/describe_motion.h"
#include "motion/measure_motion.h"

#include <gtest/gtest.h>

#include <set>

#include "support/fakes.h"

namespace {

const std::string kLocked = "locked off, no camera movement";
const std::string kLeft = "camera moving left across the frame";
const std::string kUp = "camera moving up";
const std::string kDown = "camera moving down";
const std::string kLot = "a lot of movement in frame, unsteady or fast-moving subject";
const std::string kSlight = "slight movement, drifting or handheld";
const std::string kStill = "almost still";

using Grey = std::vector<uint8_t>;

// A reproducible random texture of levels 20 ... 230.
Grey texture() {
  Grey grey(160 * 90);
  uint32_t seed = 7;
  for (auto& level : grey) level = static_cast<uint8_t>(20 + ((seed = seed * 1664525u + 1013904223u) >> 24) % 211);
  return grey;
}

// The content of `grey` moved by (dx, dy); uncovered pixels are 128.
Grey moved(const Grey& grey, int dx, int dy) {
  Grey out(grey.size(), 128);
  for (int y = std::max(0, dy); y < std::min(90, 90 + dy); ++y)
    for (int x = std::max(0, dx); x < std::min(160, 160 + dx); ++x) out[y * 160 + x] = grey[(y - dy) * 160 + x - dx];
  return out;
}

TEST(BestShift, FindsTheShiftOfTheContentAndTheZeroShiftEnergy) {
  const Grey a = texture();
  Grey columns(14400);
  for (size_t i = 0; i < columns.size(); ++i) columns[i] = i % 2 ? 200 : 0;
  // The pictures, the shift and the energy found.
  const std::vector<std::tuple<Grey, Grey, long, long, double>> cases = {
      {a, a, 0, 0, 0.0},
      {Grey(14400, 10), Grey(14400, 60), 0, 0, 50.0 / 255},  // every shift ties: (0, 0)
      // Alternating columns moved one pixel: -5, -3, -1, 1, 3, 5 all cost 0;
      // -1 and 1 tie on size and -1 comes first.
      {columns, moved(columns, 1, 0), -1, 0, 200.0 / 255},
      {Grey(2304, 0), Grey(2304, 255), 0, 0, 0.0},  // another size
  };
  for (const auto& [first, second, dx, dy, energy] : cases) {
    const MotionSample s = bestShift(first, second);
    EXPECT_EQ(std::tuple(s.dx, s.dy, s.energy), std::tuple(dx, dy, energy));
  }
  // Texture moved up to the reach of 6 pixels each way.
  for (auto [dx, dy] : {std::pair{3, 0}, {-1, 1}, {0, -6}, {6, -5}}) {
    const MotionSample s = bestShift(a, moved(a, dx, dy));
    EXPECT_EQ(std::tuple(s.dx, s.dy), std::tuple(long(dx), long(dy)));
  }
}

// Frames by time: the texture at the times in `at`, the texture moved 3 to
// the right at any other time; the times in `failing` cannot be decoded.
FakeFrameSource pairs(const std::vector<double>& at, std::set<double> failing = {}) {
  auto pictureOf = [](const Grey& grey) {
    auto image = std::make_shared<Image>(Image{160, 90, {}});
    for (uint8_t level : grey) image->rgb.insert(image->rgb.end(), {level, level, level});
    return Picture(image);
  };
  const Picture first = pictureOf(texture()), second = pictureOf(moved(texture(), 3, 0));
  return FakeFrameSource([=](double t) {
    if (failing.count(t)) throw Fail("cannot decode");
    return std::count(at.begin(), at.end(), t) ? first : second;
  });
}

// Pairs on real video are pinned through the frames command.
TEST(MeasureMotion, MeasuresPairsAtTheFirstFourTimesOnlyAndSkipsFailures) {
  // 9.95 + 0.12 lies past the end: that time is skipped, not replaced by the fifth.
  const std::vector<double> at = {1, 9.95, 2, 3, 4, 5, 6};
  FakeFrameSource source = pairs(at);
  const std::vector<MotionSample> samples = motionSamples(source, 10, at);
  EXPECT_EQ(source.requests, (std::vector<double>{1, 1.12, 2, 2.12, 3, 3.12}));
  ASSERT_EQ(samples.size(), 3u);
  for (const auto& s : samples) EXPECT_TRUE(s.dx == 3 && s.dy == 0 && s.energy > 0.1) << s.dx << "," << s.energy;
  // A decode failure costs only its own pair: no partner after a failed first frame.
  FakeFrameSource failing = pairs(at, {2 + 0.12, 3});
  EXPECT_EQ(motionSamples(failing, 10, {1, 2, 3}).size(), 1u);
  EXPECT_EQ(failing.requests, (std::vector<double>{1, 1.12, 2, 2.12, 3}));
  FakeFrameSource broken = pairs(at, {1, 2, 3});
  EXPECT_EQ(measureMotion(broken, 10, {1, 2, 3}), std::nullopt);
}

// "camera moving right" on real video is pinned through the frames command.
TEST(DescribeMotion, PhrasesAtTheirBoundaries) {
  const std::vector<std::pair<std::vector<MotionSample>, std::string>> cases = {
      {{}, kLocked},
      {{{1, -1, 0.011}}, kLocked},  // a one-pixel shift is still locked off
      {{{0, 0, 0.012}}, kStill},    // the locked-off bound is strict
      {{{2, 0, 0.005}}, kLeft},     // two pixels are never locked off
      {{{1, 1, 0.015}}, kLeft},     // one pixel is a direction once not locked off
      {{{0, -3, 0.05}}, kDown},
      {{{2, 2, 0.05}}, kLeft},      // equal magnitudes: horizontal wins
      {{{0, 0, 0.08}}, kSlight},    // strictly above 0.08 for a lot
      {{{0, 0, 0.0801}}, kLot},
      {{{0, 0, 0.02}}, kStill},     // strictly above 0.02 for slight
      {{{0, 0, 0.0201}}, kSlight},
      // Medians take the upper middle, each statistic on its own.
      {{{0, 0, 0.01}, {0, 0, 0.05}, {0, 0, 0.01}, {0, 0, 0.05}}, kSlight},  // median energy 0.05
      {{{2, 5, 0.05}, {-2, 0, 0.05}, {3, 0, 0.05}}, kLeft},                  // median dy 0 although one moved 5
      // A direction needs 0.6 x n samples agreeing in sign.
      {{{3, 0, 0.05}, {0, 0, 0.05}}, kSlight},                                // 1 of 2 < 1.2
      {{{3, 0, 0.05}, {2, 0, 0.05}, {-4, 0, 0.05}}, kLeft},                   // 2 of 3 >= 1.8
      {{{3, 0, 0.05}, {2, 0, 0.05}, {0, 0, 0.05}, {-4, 0, 0.05}}, kSlight},   // 2 of 4 < 2.4
      {{{4, 1, 0.05}, {-4, 1, 0.05}}, kUp},  // horizontal fails on agreement, vertical is asked though smaller
  };
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(describeMotion(cases[i].first), cases[i].second) << "case " << i;
}

}  // namespace
