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

TEST(PersonConfidence, StandingFiguresCountFromALowerScore) {
  // Raw score, box width and height, confidence above the people floor (0.5).
  const std::tuple<float, float, float, bool> rows[] = {
      {0.28f, 16, 50, true},   // a walker in a group, 50 pixels tall, as the detector saw it
      {0.27f, 16, 50, false},  // at the figure pivot itself: 0.5, not above it
      {0.28f, 20, 43, false},  // a little less than 2.2 times as tall as wide
      {0.28f, 20, 44, true},   {0.28f, 19, 19, false},  // a rock on the lawn
      {0.28f, 10, 31, false},  // thin enough, but too short to show a figure: a sign post
      {0.28f, 10, 32, true},
      {0.39f, 40, 60, false},  {0.41f, 40, 60, true},   // anything else: the usual pivot, 0.4
      {0.28f, 0, 50, false},   {0.28f, -4, 50, false},  {NAN, 16, 50, false},
  };
  for (const auto& [score, width, height, above] : rows)
    EXPECT_EQ(personConfidence({0, score, 0, 0, width, height}) > 0.5f, above) << score << " " << width << " x " << height;
  EXPECT_EQ(personConfidence({0, 0.6f, 0, 0, 40, 40}), calibratedConfidence(0.6f));
  EXPECT_EQ(personConfidence({0, 1.0f, 0, 0, 10, 40}), 1.0f);
}

}  // namespace
