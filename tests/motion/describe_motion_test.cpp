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

TEST(DescribeMotion, PhrasesAtTheirBoundaries) {
  struct Case {
    std::vector<MotionSample> samples;
    std::string phrase;
  };
  const std::vector<Case> cases = {
      {{}, kLocked},
      {{{0, 0, 0.005}}, kLocked},
      {{{1, -1, 0.011}}, kLocked},  // a one-pixel shift is still locked off
      {{{0, 0, 0.012}}, kStill},    // the locked-off bound is strict
      {{{2, 0, 0.005}}, kLeft},     // two pixels are never locked off
      {{{1, 1, 0.015}}, kLeft},     // one pixel is a direction once not locked off
      {{{-3, 0, 0.03}}, kRight},
      {{{0, -3, 0.05}}, kDown},
      {{{2, 2, 0.05}}, kLeft},      // equal magnitudes: horizontal wins
      {{{1, 3, 0.05}}, kUp},        // vertical larger
      {{{0, 0, 0.08}}, kSlight},    // strictly above 0.08 for a lot
      {{{0, 0, 0.0801}}, kLot},
      {{{0, 0, 0.02}}, kStill},     // strictly above 0.02 for slight
      {{{0, 0, 0.0201}}, kSlight},
      // Medians take the upper middle, each statistic on its own.
      {{{-2, 0, 0.05}, {3, 0, 0.05}}, kSlight},  // median dx 3, 1 of 2 agree < 1.2
      {{{0, 0, 0.01}, {0, 0, 0.05}, {0, 0, 0.01}, {0, 0, 0.05}}, kSlight},  // median energy 0.05
      {{{0, 0, 0.10}, {0, 0, 0.10}, {0, 0, 0.10}, {0, 0, 0.10}}, kLot},
      {{{2, 5, 0.05}, {-2, 0, 0.05}, {3, 0, 0.05}}, kLeft},  // median dy 0 although one moved 5
      {{{5, 0, 0.2}, {1, 0, 0.011}, {0, 0, 0.001}}, kLocked},  // median 0.011, middle shift 1
      // A direction needs 0.6 x n samples agreeing in sign.
      {{{3, 0, 0.05}, {3, 0, 0.05}}, kLeft},                                  // 2 of 2
      {{{3, 0, 0.05}, {0, 0, 0.05}}, kSlight},                                // 1 of 2 < 1.2
      {{{3, 0, 0.05}, {2, 0, 0.05}, {-4, 0, 0.05}}, kLeft},                   // 2 of 3 >= 1.8
      {{{3, 0, 0.05}, {0, 0, 0.05}, {-4, 0, 0.05}}, kSlight},                 // median 0
      {{{3, 0, 0.05}, {2, 0, 0.05}, {2, 0, 0.05}, {-4, 0, 0.05}}, kLeft},     // 3 of 4 >= 2.4
      {{{3, 0, 0.05}, {2, 0, 0.05}, {0, 0, 0.05}, {-4, 0, 0.05}}, kSlight},   // 2 of 4
      {{{0, -3, 0.05}, {0, -2, 0.05}, {0, -2, 0.05}, {0, 4, 0.05}}, kDown},
      {{{0, -3, 0.05}, {0, -2, 0.05}, {0, 1, 0.05}, {0, 4, 0.05}}, kSlight},  // median 1, 2 of 4
      {{{4, 1, 0.05}, {-4, 1, 0.05}}, kUp},  // horizontal fails on agreement, vertical is asked though smaller
  };
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(describeMotion(cases[i].samples), cases[i].phrase) << "case " << i;
}

}  // namespace
