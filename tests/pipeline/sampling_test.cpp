#include "pipeline/sampling.h"

#include <gtest/gtest.h>

#include "support/fakes.h"

namespace {

// The ten-second case is pinned by the golden analysis document.
TEST(SampleTimes, CountMarginAndStepFollowTheDuration) {
  // duration, count, first and last time
  for (auto [duration, n, first, last] : std::vector<std::tuple<double, size_t, double, double>>{
           {5, 8, 0.1, 4.9},         // 4.17 rounds to 4, raised to 8
           {15, 13, 0.3, 14.7},      // 12.5 rounds away from zero
           {17.5, 15, 0.35, 17.15},  // 2 % is exactly 0.35
           {60, 30, 0.35, 59.65}}) {  // 50 lowered to 30
    const std::vector<double> times = sampleTimes(duration);
    ASSERT_EQ(times.size(), n) << duration;
    for (size_t i = 0; i < n; ++i)
      EXPECT_NEAR(times[i], first + (last - first) / double(n - 1) * double(i), 1e-12) << duration << " " << i;
  }
}

// A clip of which nothing decodes is pinned by the golden analysis tests.
TEST(SampleCandidates, UndecodableTimesGiveNoCandidateAndAFailedPrintKeepsOne) {
  // Striped frames whose top-left red value is the number of the request;
  // requests 0 and 3 cannot be decoded.
  int number = 0;
  FakeFrameSource source([&](double) {
    if (number == 0 || number == 3) throw Fail("cannot decode " + std::to_string(number++));
    auto image = std::make_shared<Image>(*flatPicture(90, 40, 20, 20, 20));
    for (size_t i = 0; i < image->rgb.size(); ++i) image->rgb[i] = (i / 3 / 9) % 2 ? 230 : 20;
    image->rgb[0] = static_cast<uint8_t>(number++);
    return Picture(image);
  });
  FakeVision vision;
  vision.failing[1] = true;
  const std::vector<FrameSample> candidates = sampleCandidates(source, vision, 12);
  EXPECT_EQ(source.requests, sampleTimes(12));  // every time is tried
  std::vector<int> keys;
  for (const FrameSample& c : candidates) {
    keys.push_back(FakeVision::key(*c.image));
    EXPECT_EQ(c.time, source.requests[keys.back()]);
    EXPECT_EQ(c.print.has_value(), keys.back() != 1);
    EXPECT_GT(c.sharp, 1.0);
    EXPECT_EQ(c.lum, meanLuminance(*c.image));
  }
  EXPECT_EQ(keys, (std::vector<int>{1, 2, 4, 5, 6, 7, 8, 9}));
}

TEST(MeanLuminance, IsTheMeanOfTheLinearGreyRendering) {
  EXPECT_EQ(meanLuminance(*flatPicture(72, 40, 0, 0, 0)), 0.0);
  EXPECT_DOUBLE_EQ(meanLuminance(*flatPicture(72, 40, 128, 128, 128)), 55.0 / 255);  // linear light, not 128 / 255
  EXPECT_EQ(meanLuminance(Image{}), 0.5);
}

}  // namespace
