#include "motion/measure_motion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>
#include <set>

#include "app/fail.h"
#include "platform/frame_source.h"

namespace {

using Grey = std::vector<uint8_t>;

// A random texture of levels lo ... hi, reproducible.
Grey texture(int lo = 20, int hi = 230, uint32_t seed = 7) {
  Grey grey(160 * 90);
  for (auto& level : grey) {
    seed = seed * 1664525u + 1013904223u;
    level = static_cast<uint8_t>(lo + (seed >> 24) % (hi - lo + 1));
  }
  return grey;
}

// The content of `grey` moved by (dx, dy); uncovered pixels take `fill`.
Grey moved(const Grey& grey, int dx, int dy, uint8_t fill = 128) {
  Grey out(grey.size(), fill);
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 160; ++x) {
      const int sx = x - dx, sy = y - dy;
      if (sx >= 0 && sx < 160 && sy >= 0 && sy < 90) out[y * 160 + x] = grey[sy * 160 + sx];
    }
  return out;
}

// Straightforward mean absolute difference over the window, as a check.
double meanDifference(const Grey& a, const Grey& b, int dx, int dy) {
  double sum = 0;
  for (int y = 6; y <= 83; ++y)
    for (int x = 6; x <= 153; ++x) sum += std::abs(a[y * 160 + x] - b[(y + dy) * 160 + x + dx]);
  return sum / 11544;
}

void expectSample(const MotionSample& sample, long dx, long dy, double energy) {
  EXPECT_EQ(sample.dx, dx);
  EXPECT_EQ(sample.dy, dy);
  EXPECT_DOUBLE_EQ(sample.energy, energy);
}

TEST(BestShift, FindsTheDisplacementOfTheContent) {
  const Grey a = texture();
  for (auto [dx, dy] : {std::pair{3, 0}, {-2, 0}, {0, 4}, {0, -6}, {6, -5}, {-1, 1}}) {
    const Grey b = moved(a, dx, dy);
    expectSample(bestShift(a, b), dx, dy, meanDifference(a, b, 0, 0) / 255);
  }
}

TEST(BestShift, IdenticalAndUniformFramesDoNotMove) {
  const Grey a = texture();
  expectSample(bestShift(a, a), 0, 0, 0.0);
  expectSample(bestShift(Grey(14400, 10), Grey(14400, 60)), 0, 0, 50.0 / 255);
  expectSample(bestShift(Grey(14400, 200), Grey(14400, 0)), 0, 0, 200.0 / 255);
}

TEST(BestShift, TiesGoToTheSmallerShiftThenTheEarlierOne) {
  // Columns alternating 0 / 200, moved one pixel: shifts -5, -3, -1, 1, 3,
  // 5 all cost 0; -1 and 1 tie on size and -1 comes first.
  Grey a(14400);
  for (int i = 0; i < 14400; ++i) a[i] = (i % 160) % 2 ? 200 : 0;
  const Grey b = moved(a, 1, 0);
  expectSample(bestShift(a, b), -1, 0, 200.0 / 255);
}

TEST(BestShift, AShiftMustLowerTheDifferenceByATenth) {
  // Rows 6 ... 83 brighten by 10 except row 40, whose texture moves 3 to the
  // right. The best shift (3, 0) then keeps most of the difference.
  Grey a(14400, 100), b(14400, 110);
  const Grey tex = texture(0, 120);
  for (int x = 0; x < 160; ++x) a[40 * 160 + x] = tex[x];
  for (int x = 3; x < 160; ++x) b[40 * 160 + x] = tex[x - 3];
  const double zero = meanDifference(a, b, 0, 0);
  const double best = meanDifference(a, b, 3, 0);
  for (int dy = -6; dy <= 6; ++dy)
    for (int dx = -6; dx <= 6; ++dx) ASSERT_GE(meanDifference(a, b, dx, dy), best);
  ASSERT_GT(best, 0.9 * zero);
  ASSERT_LT(best, 0.97 * zero);
  expectSample(bestShift(a, b), 0, 0, zero / 255);

  // With a textured band of 8 rows the saving passes a tenth.
  for (int y = 36; y < 44; ++y)
    for (int x = 0; x < 160; ++x) {
      a[y * 160 + x] = tex[(y * 160 + x) % 14400];
      b[y * 160 + x] = x >= 3 ? tex[(y * 160 + x - 3) % 14400] : 110;
    }
  ASSERT_LE(meanDifference(a, b, 3, 0), 0.9 * meanDifference(a, b, 0, 0));
  expectSample(bestShift(a, b), 3, 0, meanDifference(a, b, 0, 0) / 255);
}

TEST(BestShift, BuffersOfAnotherSizeGiveNoMotion) {
  expectSample(bestShift({}, {}), 0, 0, 0.0);
  expectSample(bestShift(Grey(2304, 0), Grey(2304, 255)), 0, 0, 0.0);
}

Picture pictureOf(const Grey& grey) {
  // Grey level g is drawn as the sRGB value whose linear light is g / 255, so
  // that the 160 x 90 rendering gives back g exactly.
  auto image = std::make_shared<Image>(Image{160, 90, std::vector<uint8_t>(14400 * 3)});
  for (size_t i = 0; i < grey.size(); ++i) {
    const double linear = grey[i] / 255.0;
    const double encoded = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    const uint8_t value = static_cast<uint8_t>(std::lround(encoded * 255));
    image->rgb[i * 3] = image->rgb[i * 3 + 1] = image->rgb[i * 3 + 2] = value;
  }
  return image;
}

// Frames by time: the first frame of each pair is `still`, the second
// `later`; requests at the times in `failing` throw.
struct FakeSource : FrameSource {
  Picture still, later;
  std::set<double> failing;
  std::vector<double> requested;
  std::set<double> firsts;
  Picture frameAt(double seconds) override {
    requested.push_back(seconds);
    if (failing.count(seconds)) throw Fail("cannot decode");
    return firsts.count(seconds) ? still : later;
  }
};

FakeSource sourceFor(const std::vector<double>& at, const Grey& first, const Grey& second) {
  FakeSource source;
  source.firsts = {at.begin(), at.end()};
  source.still = pictureOf(first);
  source.later = pictureOf(second);
  return source;
}

TEST(MeasureMotion, MeasuresPairsAtTheFirstFourTimes) {
  const Grey a = texture(60, 180);
  const std::vector<double> at = {1, 2, 3, 4, 5, 6};
  FakeSource source = sourceFor(at, a, moved(a, 3, 0));
  const std::vector<MotionSample> samples = motionSamples(source, 10, at);
  EXPECT_EQ(source.requested, (std::vector<double>{1, 1.12, 2, 2.12, 3, 3.12, 4, 4.12}));
  ASSERT_EQ(samples.size(), 4u);
  for (const auto& s : samples) {
    EXPECT_EQ(s.dx, 3);
    EXPECT_EQ(s.dy, 0);
    EXPECT_GT(s.energy, 0.1);
  }
  FakeSource again = sourceFor(at, a, moved(a, 3, 0));
  EXPECT_EQ(measureMotion(again, 10, at), "camera moving left across the frame");
}

TEST(MeasureMotion, NothingWithoutAMeasurablePair) {
  FakeSource source = sourceFor({0.9}, texture(), texture());
  EXPECT_EQ(measureMotion(source, 1.0, {}), std::nullopt);
  EXPECT_EQ(measureMotion(source, 1.0, {0.9}), std::nullopt);  // 1.02 is past the end
  EXPECT_EQ(measureMotion(source, 1.0, {0.95, 1.0, 5.0, std::numeric_limits<double>::quiet_NaN()}), std::nullopt);
  EXPECT_TRUE(source.requested.empty());
}

TEST(MeasureMotion, TimesTooCloseToTheEndAreNotReplacedByLaterOnes) {
  const Grey a = texture();
  const std::vector<double> at = {9.95, 1, 9.9, 2, 3};
  FakeSource source = sourceFor(at, a, a);
  EXPECT_EQ(motionSamples(source, 10, at).size(), 2u);
  EXPECT_EQ(source.requested, (std::vector<double>{1, 1.12, 2, 2.12}));
}

TEST(MeasureMotion, DecodeFailuresCostOnlyTheirTime) {
  const Grey a = texture();
  const std::vector<double> at = {1, 2, 3};
  FakeSource source = sourceFor(at, a, a);
  source.failing = {2 + 0.12, 3};
  const std::vector<MotionSample> samples = motionSamples(source, 10, at);
  ASSERT_EQ(samples.size(), 1u);
  expectSample(samples[0], 0, 0, 0.0);
  // A failed first frame is not followed by its partner.
  EXPECT_EQ(source.requested, (std::vector<double>{1, 1.12, 2, 2.12, 3}));
  EXPECT_EQ(measureMotion(source, 10, {1}), "locked off, no camera movement");

  source.failing = {1, 2, 3};
  EXPECT_EQ(measureMotion(source, 10, at), std::nullopt);
}

TEST(MeasureMotion, UnrenderableFramesAreSkipped) {
  FakeSource source;
  source.firsts = {1};
  source.still = std::make_shared<Image>();
  source.later = pictureOf(texture());
  EXPECT_EQ(measureMotion(source, 10, {1}), std::nullopt);
  source.still = nullptr;
  EXPECT_EQ(measureMotion(source, 10, {1}), std::nullopt);
}

}  // namespace
