#include "motion/describe_motion.h"

#include <gtest/gtest.h>

namespace {

const std::string kLocked = "locked off, no camera movement";
const std::string kLeft = "camera moving left across the frame";
const std::string kRight = "camera moving right across the frame";
const std::string kUp = "camera moving up";
const std::string kDown = "camera moving down";
const std::string kLot = "a lot of movement in frame, unsteady or fast-moving subject";
const std::string kSlight = "slight movement, drifting or handheld";
const std::string kStill = "almost still";

TEST(DescribeMotion, PhrasesForEachSituation) {
  struct Case {
    std::vector<MotionSample> samples;
    std::string phrase;
  };
  const std::vector<Case> cases = {
      {{{0, 0, 0.005}}, kLocked},
      {{{1, -1, 0.011}}, kLocked},     // a one-pixel shift is still locked off
      {{{-1, 1, 0.0119}}, kLocked},
      {{{0, 0, 0.012}}, kStill},       // the locked-off bound is strict
      {{{2, 0, 0.005}}, kLeft},        // two pixels are never locked off
      {{{1, 0, 0.05}}, kLeft},         // one pixel is a direction once not locked off
      {{{-3, 0, 0.03}}, kRight},
      {{{0, -3, 0.05}}, kDown},
      {{{0, 2, 0.005}}, kUp},
      {{{2, 2, 0.05}}, kLeft},         // equal magnitudes: horizontal wins
      {{{-2, -2, 0.05}}, kRight},
      {{{1, 3, 0.05}}, kUp},           // vertical larger
      {{{-1, -3, 0.05}}, kDown},
      {{{0, 0, 0.10}}, kLot},
      {{{0, 0, 0.08}}, kSlight},       // strictly above 0.08 for a lot
      {{{0, 0, 0.0801}}, kLot},
      {{{0, 0, 0.02}}, kStill},        // strictly above 0.02 for slight
      {{{0, 0, 0.0201}}, kSlight},
      {{{1, 1, 0.015}}, kLeft},
  };
  for (const auto& c : cases) {
    const auto& s = c.samples[0];
    EXPECT_EQ(describeMotion(c.samples), c.phrase) << s.dx << "," << s.dy << "," << s.energy;
  }
}

TEST(DescribeMotion, MediansTakeTheUpperMiddle) {
  // Median dx is 3, only one sample agrees, 1 < 1.2.
  EXPECT_EQ(describeMotion({{-2, 0, 0.05}, {3, 0, 0.05}}), kSlight);
  // Energies 0.01, 0.01, 0.05, 0.05: median 0.05, not locked off.
  EXPECT_EQ(describeMotion({{0, 0, 0.01}, {0, 0, 0.05}, {0, 0, 0.01}, {0, 0, 0.05}}), kSlight);
  EXPECT_EQ(describeMotion({{0, 0, 0.10}, {0, 0, 0.10}, {0, 0, 0.10}, {0, 0, 0.10}}), kLot);
  // The medians of dx and dy are taken separately: dx median 2 (2 of 3
  // agree), dy median 0 although one sample moved 5 down.
  EXPECT_EQ(describeMotion({{2, 5, 0.05}, {-2, 0, 0.05}, {3, 0, 0.05}}), kLeft);
  // Median energy 0.011 with a middle shift of one pixel: locked off.
  EXPECT_EQ(describeMotion({{5, 0, 0.2}, {1, 0, 0.011}, {0, 0, 0.001}}), kLocked);
}

TEST(DescribeMotion, DirectionNeedsSixTenthsOfTheSamplesToAgree) {
  struct Case {
    std::vector<MotionSample> samples;
    std::string phrase;
  };
  const std::vector<Case> cases = {
      {{{3, 0, 0.05}, {3, 0, 0.05}}, kLeft},                                  // 2 of 2
      {{{3, 0, 0.05}, {0, 0, 0.05}}, kSlight},                                // 1 of 2 < 1.2
      {{{3, 0, 0.05}, {2, 0, 0.05}, {-4, 0, 0.05}}, kLeft},                   // 2 of 3 >= 1.8
      {{{3, 0, 0.05}, {0, 0, 0.05}, {-4, 0, 0.05}}, kSlight},                 // median 0
      {{{3, 0, 0.05}, {2, 0, 0.05}, {2, 0, 0.05}, {-4, 0, 0.05}}, kLeft},     // 3 of 4 >= 2.4
      {{{3, 0, 0.05}, {2, 0, 0.05}, {0, 0, 0.05}, {-4, 0, 0.05}}, kSlight},   // 2 of 4
      {{{0, -3, 0.05}, {0, -2, 0.05}, {0, -2, 0.05}, {0, 4, 0.05}}, kDown},
      {{{0, -3, 0.05}, {0, -2, 0.05}, {0, 1, 0.05}, {0, 4, 0.05}}, kSlight},  // median 1, 2 of 4
      // Horizontal fails on agreement; vertical is asked even though smaller.
      {{{4, 1, 0.05}, {-4, 1, 0.05}}, kUp},
  };
  for (const auto& c : cases) EXPECT_EQ(describeMotion(c.samples), c.phrase);
}

TEST(DescribeMotion, EmptyListIsNoMovement) { EXPECT_EQ(describeMotion({}), kLocked); }

}  // namespace
