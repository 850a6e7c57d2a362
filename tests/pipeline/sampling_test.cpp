#include "pipeline/sampling.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <tuple>

#include "support/fakes.h"
#include "support/failure.h"

namespace {

TEST(SampleTimes, CountMarginAndStepFollowTheDuration) {
  // duration, count, first and last time
  const std::vector<std::tuple<double, size_t, double, double>> cases = {
      {5, 8, 0.1, 4.9},         // 4.17 rounds to 4, raised to 8
      {15, 13, 0.3, 14.7},      // 12.5 rounds away from zero
      {17.5, 15, 0.35, 17.15},  // 2 % is exactly 0.35
      {60, 30, 0.35, 59.65},    // 50 lowered to 30
      {0.5, 8, 0.01, 0.49},
  };
  for (const auto& [duration, n, first, last] : cases) {
    const std::vector<double> times = sampleTimes(duration);
    ASSERT_EQ(times.size(), n) << duration;
    EXPECT_EQ(times[0], first) << duration;
    for (size_t i = 0; i < n; ++i)
      EXPECT_NEAR(times[i], first + (last - first) / double(n - 1) * double(i), 1e-12) << duration << " " << i;
  }
}

// Striped frames whose top-left red value is the number of the request, so
// that FakeVision tells them apart; the requests for which `fails` holds
// cannot be decoded.
FakeFrameSource frames(std::function<bool(int)> fails = [](int) { return false; }) {
  return FakeFrameSource([fails, number = std::make_shared<int>(0)](double) {
    if (fails(*number)) throw Fail("cannot decode " + std::to_string((*number)++));
    auto image = std::make_shared<Image>(Image{90, 40, std::vector<uint8_t>(90 * 40 * 3)});
    for (size_t i = 0; i < image->rgb.size(); ++i) image->rgb[i] = (i / 3 / 9) % 2 ? 230 : 20;
    image->rgb[0] = static_cast<uint8_t>((*number)++);
    return Picture(image);
  });
}

TEST(SampleCandidates, ScoresEveryDecodedTimeInOrder) {
  FakeFrameSource source = frames();
  FakeVision vision;
  vision.failing[1] = true;  // a failed print keeps the measured candidate
  const std::vector<FrameSample> candidates = sampleCandidates(source, vision, 12);
  EXPECT_EQ(source.requests, sampleTimes(12));
  ASSERT_EQ(candidates.size(), 10u);
  for (size_t i = 0; i < candidates.size(); ++i) {
    const FrameSample& c = candidates[i];
    EXPECT_EQ(c.time, source.requests[i]);
    ASSERT_EQ(FakeVision::key(*c.image), int(i));
    EXPECT_EQ(c.print.value_or(FeaturePrint{{-1}}).values, std::vector<float>{i == 1 ? -1 : float(i)});
    EXPECT_GT(c.sharp, 1.0);
    EXPECT_EQ(c.lum, meanLuminance(*c.image));
  }
}

TEST(SampleCandidates, UndecodableTimesGiveNoCandidate) {
  FakeFrameSource source = frames([](int number) { return number != 2; });
  FakeVision vision;
  const std::vector<FrameSample> candidates = sampleCandidates(source, vision, 5);
  EXPECT_EQ(source.requests.size(), 8u);  // every time is still tried
  ASSERT_EQ(candidates.size(), 1u);
  EXPECT_EQ(candidates[0].time, sampleTimes(5)[2]);
  // Nothing decodable, or only empty answers: the run fails.
  FakeFrameSource none = frames([](int) { return true; }), nulls([](double) { return Picture(); });
  for (FakeFrameSource* broken : {&none, &nulls}) {
    EXPECT_EQ(failureOf([&] { sampleCandidates(*broken, vision, 60); }), "no frame of this file could be decoded");
    EXPECT_EQ(broken->requests.size(), 30u);
  }
}

TEST(MeanLuminance, IsTheMeanOfTheLinearGreyRendering) {
  EXPECT_EQ(meanLuminance(*flatPicture(72, 40, 0, 0, 0)), 0.0);
  EXPECT_EQ(meanLuminance(*flatPicture(1920, 1080, 255, 255, 255)), 1.0);
  EXPECT_DOUBLE_EQ(meanLuminance(*flatPicture(72, 40, 128, 128, 128)), 55.0 / 255);  // linear light, not 128 / 255
  EXPECT_EQ(meanLuminance(Image{}), 0.5);
}

}  // namespace
