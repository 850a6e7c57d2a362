#include "pipeline/sampling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <stdexcept>

#include "app/fail.h"
#include "imaging/laplacian_energy.h"
#include "platform/frame_source.h"
#include "platform/vision.h"

namespace {

Picture uniform(uint8_t level, int width = 72, int height = 40) {
  return std::make_shared<Image>(Image{width, height, std::vector<uint8_t>(size_t(width) * height * 3, level)});
}

Picture stripes() {
  auto image = std::make_shared<Image>(Image{90, 40, std::vector<uint8_t>(90 * 40 * 3)});
  for (size_t i = 0; i < image->rgb.size(); ++i) image->rgb[i] = (i / 3 / 9) % 2 ? 230 : 20;
  return image;
}

// Frames by index of the request; a request whose index is in `failing`
// throws, as an undecodable time does.
struct FakeSource : FrameSource {
  std::set<size_t> failing;
  Picture picture = stripes();
  std::vector<double> requested;
  Picture frameAt(double seconds) override {
    requested.push_back(seconds);
    if (failing.count(requested.size() - 1)) throw Fail("cannot decode");
    return picture;
  }
};

// Prints numbered in the order they were asked for; the requests whose
// numbers are in `failing` throw.
struct FakeVision : Vision {
  std::set<int> failing;
  int asked = 0;
  std::vector<Classification> classifications(const Image&) override { return {}; }
  std::vector<TextObservation> textObservations(const Image&) override { return {}; }
  std::vector<HumanObservation> humans(const Image&) override { return {}; }
  FeaturePrint featurePrint(const Image&) override {
    const int number = asked++;
    if (failing.count(number)) throw std::runtime_error("no print");
    return FeaturePrint{{static_cast<float>(number)}};
  }
  double distance(const FeaturePrint&, const FeaturePrint&) override { return 0; }
};

TEST(SampleTimes, CountMarginAndStepFollowTheDuration) {
  struct Case {
    double duration;
    size_t n;
    double first, last;
  };
  const std::vector<Case> cases = {
      {5, 8, 0.1, 4.9},         // 4.17 rounds to 4, raised to 8
      {12, 10, 0.24, 11.76},
      {15, 13, 0.3, 14.7},      // 12.5 rounds away from zero
      {17.5, 15, 0.35, 17.15},  // 2 % is exactly 0.35
      {60, 30, 0.35, 59.65},    // 50 lowered to 30
      {0.5, 8, 0.01, 0.49},
      {9.0, 8, 0.18, 8.82},     // 7.5 rounds up to 8
      {10.6, 9, 0.212, 10.388},
      {3600, 30, 0.35, 3599.65},
  };
  for (const auto& c : cases) {
    const std::vector<double> times = sampleTimes(c.duration);
    ASSERT_EQ(times.size(), c.n) << c.duration;
    const double step = (c.last - c.first) / double(c.n - 1);
    for (size_t i = 0; i < c.n; ++i) EXPECT_NEAR(times[i], c.first + step * double(i), 1e-9) << c.duration << " " << i;
    EXPECT_EQ(times[0], c.first) << c.duration;
  }
}

TEST(SampleTimes, ExamplesAtTheirDocumentedValues) {
  const std::vector<double> twelve = sampleTimes(12);
  const double expected[] = {0.24, 1.52, 2.80, 4.08, 5.36, 6.64, 7.92, 9.20, 10.48, 11.76};
  for (size_t i = 0; i < 10; ++i) EXPECT_NEAR(twelve[i], expected[i], 1e-12);
  EXPECT_NEAR(sampleTimes(5)[1], 0.1 + 0.685714285714, 1e-11);
  EXPECT_NEAR(sampleTimes(5)[7], 4.9, 1e-12);
  EXPECT_NEAR(sampleTimes(15)[1] - sampleTimes(15)[0], 1.2, 1e-12);
  EXPECT_NEAR(sampleTimes(60)[1] - sampleTimes(60)[0], 59.3 / 29, 1e-12);
  EXPECT_NEAR(sampleTimes(0.5)[1] - sampleTimes(0.5)[0], 0.48 / 7, 1e-12);
}

TEST(SampleCandidates, ScoresEveryDecodedTimeInOrder) {
  FakeSource source;
  FakeVision vision;
  const std::vector<FrameSample> candidates = sampleCandidates(source, vision, 12);
  EXPECT_EQ(source.requested, sampleTimes(12));
  ASSERT_EQ(candidates.size(), 10u);
  const double sharp = laplacianEnergy(*source.picture);
  EXPECT_GT(sharp, 1.0);
  for (size_t i = 0; i < candidates.size(); ++i) {
    EXPECT_EQ(candidates[i].time, source.requested[i]);
    EXPECT_EQ(candidates[i].image, source.picture);
    EXPECT_EQ(candidates[i].sharp, sharp);
    ASSERT_TRUE(candidates[i].print);
    EXPECT_EQ(candidates[i].print->values, std::vector<float>{float(i)});
  }
}

TEST(SampleCandidates, UndecodableTimesGiveNoCandidate) {
  FakeSource source;
  for (size_t i = 0; i < 8; ++i)
    if (i != 2) source.failing.insert(i);
  FakeVision vision;
  const std::vector<FrameSample> candidates = sampleCandidates(source, vision, 5);
  EXPECT_EQ(source.requested.size(), 8u);  // every time is still tried
  ASSERT_EQ(candidates.size(), 1u);
  EXPECT_EQ(candidates[0].time, sampleTimes(5)[2]);
}

TEST(SampleCandidates, FailedPrintKeepsTheMeasuredCandidate) {
  FakeSource source;
  FakeVision vision;
  vision.failing = {1};
  const std::vector<FrameSample> candidates = sampleCandidates(source, vision, 5);
  ASSERT_EQ(candidates.size(), 8u);
  EXPECT_FALSE(candidates[1].print);
  EXPECT_GT(candidates[1].sharp, 1.0);
  EXPECT_NEAR(candidates[1].lum, candidates[0].lum, 0);
  EXPECT_TRUE(candidates[2].print);
}

TEST(SampleCandidates, NoDecodableFrameFails) {
  FakeSource source;
  for (size_t i = 0; i < 30; ++i) source.failing.insert(i);
  FakeVision vision;
  try {
    sampleCandidates(source, vision, 60);
    FAIL() << "no failure";
  } catch (const Fail& fail) {
    EXPECT_EQ(fail.message, "no frame of this file could be decoded");
  }
  EXPECT_EQ(source.requested.size(), 30u);
  EXPECT_EQ(vision.asked, 0);
}

TEST(SampleCandidates, NullPicturesCountAsUndecodable) {
  FakeSource source;
  source.picture = nullptr;
  FakeVision vision;
  EXPECT_THROW(sampleCandidates(source, vision, 5), Fail);
}

TEST(MeanLuminance, IsTheMeanOfTheLinearGreyRendering) {
  EXPECT_EQ(meanLuminance(*uniform(0)), 0.0);
  EXPECT_EQ(meanLuminance(*uniform(255)), 1.0);
  EXPECT_DOUBLE_EQ(meanLuminance(*uniform(128)), 55.0 / 255);  // linear light, not 128 / 255
  EXPECT_EQ(meanLuminance(Image{}), 0.5);

  FakeSource source;
  source.picture = uniform(255, 1920, 1080);
  FakeVision vision;
  EXPECT_EQ(sampleCandidates(source, vision, 5)[0].lum, 1.0);
  source.picture = uniform(0);
  EXPECT_EQ(sampleCandidates(source, vision, 5)[0].lum, 0.0);
  EXPECT_EQ(sampleCandidates(source, vision, 5)[0].sharp, 0.0);
}

}  // namespace
