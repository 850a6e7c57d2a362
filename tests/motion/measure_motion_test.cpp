#include "motion/measure_motion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <set>

#include "support/fakes.h"

namespace {

using Grey = std::vector<uint8_t>;

// A reproducible random texture of levels lo ... hi.
Grey texture(int lo = 20, int hi = 230) {
  Grey grey(160 * 90);
  uint32_t seed = 7;
  for (auto& level : grey) level = static_cast<uint8_t>(lo + ((seed = seed * 1664525u + 1013904223u) >> 24) % (hi - lo + 1));
  return grey;
}

// The content of `grey` moved by (dx, dy); uncovered pixels are 128.
Grey moved(const Grey& grey, int dx, int dy) {
  Grey out(grey.size(), 128);
  for (int y = std::max(0, dy); y < std::min(90, 90 + dy); ++y)
    for (int x = std::max(0, dx); x < std::min(160, 160 + dx); ++x) out[y * 160 + x] = grey[(y - dy) * 160 + x - dx];
  return out;
}

// Mean absolute difference over the comparison window at one shift.
double meanDifference(const Grey& a, const Grey& b, int dx, int dy) {
  double sum = 0;
  for (int y = 6; y <= 83; ++y)
    for (int x = 6; x <= 153; ++x) sum += std::abs(a[y * 160 + x] - b[(y + dy) * 160 + x + dx]);
  return sum / 11544;
}

TEST(BestShift, FindsTheShiftOfTheContentAndTheZeroShiftEnergy) {
  struct Case {
    std::string name;
    Grey a, b;
    long dx, dy;
    double energy;
  };
  const Grey a = texture();
  Grey columns(14400);
  for (size_t i = 0; i < columns.size(); ++i) columns[i] = i % 2 ? 200 : 0;
  std::vector<Case> cases = {
      {"identical", a, a, 0, 0, 0.0},
      {"uniform 10 to 60", Grey(14400, 10), Grey(14400, 60), 0, 0, 50.0 / 255},  // every shift ties: (0, 0)
      {"uniform 200 to 0", Grey(14400, 200), Grey(14400, 0), 0, 0, 200.0 / 255},
      // Alternating columns moved one pixel: -5, -3, -1, 1, 3, 5 all cost 0;
      // -1 and 1 tie on size and -1 comes first.
      {"tie", columns, moved(columns, 1, 0), -1, 0, 200.0 / 255},
      {"another size", Grey(2304, 0), Grey(2304, 255), 0, 0, 0.0},
      {"empty", {}, {}, 0, 0, 0.0},
  };
  for (auto [dx, dy] : {std::pair{3, 0}, {-2, 0}, {0, 4}, {0, -6}, {6, -5}, {-1, 1}})
    cases.push_back({"moved", a, moved(a, dx, dy), dx, dy, meanDifference(a, moved(a, dx, dy), 0, 0) / 255});
  for (const auto& c : cases) {
    const MotionSample s = bestShift(c.a, c.b);
    EXPECT_EQ(std::pair(s.dx, s.dy), std::pair(c.dx, c.dy)) << c.name;
    EXPECT_DOUBLE_EQ(s.energy, c.energy) << c.name << " " << c.dx << "," << c.dy;
  }
}

TEST(BestShift, AShiftSavingLessThanATenthIsRejected) {
  // Everything brightens by 10 except row 40, whose texture moves 3 to the
  // right: the best shift (3, 0) costs about 0.95 of the unshifted one.
  Grey a(14400, 100), b(14400, 110);
  const Grey tex = texture(0, 120);
  for (int x = 0; x < 160; ++x) a[40 * 160 + x] = tex[x], b[40 * 160 + x] = x >= 3 ? tex[x - 3] : 110;
  const double zero = meanDifference(a, b, 0, 0), best = meanDifference(a, b, 3, 0);
  ASSERT_TRUE(best > 0.94 * zero && best < 0.96 * zero) << best / zero;
  const MotionSample s = bestShift(a, b);
  EXPECT_EQ(std::pair(s.dx, s.dy), std::pair(0L, 0L));
  EXPECT_DOUBLE_EQ(s.energy, zero / 255);
}

Picture pictureOf(const Grey& grey) {
  auto image = std::make_shared<Image>(Image{160, 90, {}});
  for (uint8_t level : grey) image->rgb.insert(image->rgb.end(), {level, level, level});
  return image;
}

// Frames by time: `first` at the times in `at`, `second` at any other time;
// the times in `failing` cannot be decoded.
FakeFrameSource pairs(const std::vector<double>& at, Picture first, Picture second, std::set<double> failing = {}) {
  return FakeFrameSource([=](double t) {
    if (failing.count(t)) throw Fail("cannot decode");
    return std::count(at.begin(), at.end(), t) ? first : second;
  });
}

TEST(MeasureMotion, MeasuresPairsAtTheFirstFourTimesOnly) {
  const Grey a = texture();
  const std::vector<double> at = {1, 2, 3, 4, 5, 6};
  FakeFrameSource source = pairs(at, pictureOf(a), pictureOf(moved(a, 3, 0)));
  const std::vector<MotionSample> samples = motionSamples(source, 10, at);
  EXPECT_EQ(source.requests, (std::vector<double>{1, 1.12, 2, 2.12, 3, 3.12, 4, 4.12}));
  ASSERT_EQ(samples.size(), 4u);
  for (const auto& s : samples) EXPECT_TRUE(s.dx == 3 && s.dy == 0 && s.energy > 0.1) << s.dx << "," << s.energy;
  EXPECT_EQ(measureMotion(source, 10, at), "camera moving left across the frame");

  // Times too close to the end are skipped, not replaced by the fifth.
  const std::vector<double> late = {9.95, 1, 9.9, 2, 3};
  FakeFrameSource lateSource = pairs(late, pictureOf(a), pictureOf(a));
  EXPECT_EQ(motionSamples(lateSource, 10, late).size(), 2u);
  EXPECT_EQ(lateSource.requests, (std::vector<double>{1, 1.12, 2, 2.12}));
}

TEST(MeasureMotion, NothingWithoutAMeasurablePair) {
  FakeFrameSource source = pairs({}, pictureOf(texture()), pictureOf(texture()));
  EXPECT_EQ(measureMotion(source, 1.0, {}), std::nullopt);
  EXPECT_EQ(measureMotion(source, 1.0, {0.9}), std::nullopt);  // 1.02 is past the end
  EXPECT_EQ(measureMotion(source, 1.0, {0.95, 1.0, 5.0, std::numeric_limits<double>::quiet_NaN()}), std::nullopt);
  EXPECT_TRUE(source.requests.empty());
  // Frames that cannot be rendered.
  for (Picture bad : {std::make_shared<const Image>(), Picture()}) {
    FakeFrameSource blank = pairs({1}, bad, pictureOf(texture()));
    EXPECT_EQ(measureMotion(blank, 10, {1}), std::nullopt);
  }
}

TEST(MeasureMotion, DecodeFailuresCostOnlyTheirTime) {
  const std::vector<double> at = {1, 2, 3};
  FakeFrameSource source = pairs(at, pictureOf(texture()), pictureOf(texture()), {2 + 0.12, 3});
  const std::vector<MotionSample> samples = motionSamples(source, 10, at);
  ASSERT_EQ(samples.size(), 1u);
  EXPECT_EQ(std::tuple(samples[0].dx, samples[0].dy, samples[0].energy), std::tuple(0L, 0L, 0.0));
  // A failed first frame is not followed by its partner.
  EXPECT_EQ(source.requests, (std::vector<double>{1, 1.12, 2, 2.12, 3}));
  EXPECT_EQ(measureMotion(source, 10, {1}), "locked off, no camera movement");
  FakeFrameSource broken = pairs(at, pictureOf(texture()), pictureOf(texture()), {1, 2, 3});
  EXPECT_EQ(measureMotion(broken, 10, at), std::nullopt);
}

}  // namespace
