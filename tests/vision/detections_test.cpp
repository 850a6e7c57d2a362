#include "vision/detections.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(Plausible, BallsAndFrisbeesNeedABoxTwelvePixelsAcross) {
  const float under = std::nextafter(kSmallThingSide, 0.0f);
  // Class (person 0, frisbee 29, sports ball 32, kite 33), box width and height, plausible.
  const std::tuple<int, float, float, bool> rows[] = {
      {32, 15, 10, false},  // a speck of litter on a lawn, as the detector saw it
      {32, 12, 12, true}, {32, under, 40, false}, {32, 40, under, false}, {32, NAN, 40, false},
      {29, 16, 10, false}, {29, 30, 14, true},    {0, 3, 8, true},        {33, 4, 4, true},
  };
  for (const auto& [label, width, height, expected] : rows)
    EXPECT_EQ(plausible({label, 0.9f, 0, 0, width, height}), expected) << cocoName(label) << " " << width << " x " << height;
}

}  // namespace
