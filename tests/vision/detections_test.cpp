#include "vision/detections.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(Plausible, BallsAndFrisbeesNeedABoxTwelvePixelsAcross) {
  constexpr int kPerson = 0, kFrisbee = 29, kSportsBall = 32, kKite = 33;
  const float justUnder = std::nextafter(kSmallThingSide, 0.0f);
  struct Row {
    int label;
    float width, height;
    bool plausible;
  } rows[] = {
      {kSportsBall, 15, 10, false},  // a speck of litter on a lawn, as the detector saw it
      {kSportsBall, 12, 12, true},   {kSportsBall, justUnder, 40, false}, {kSportsBall, 40, justUnder, false},
      {kSportsBall, NAN, 40, false}, {kFrisbee, 16, 10, false},          {kFrisbee, 30, 14, true},
      {kPerson, 3, 8, true},         {kKite, 4, 4, true},
  };
  for (const Row& r : rows) {
    Detection d{r.label, 0.9f, 0, 0, r.width, r.height};
    EXPECT_EQ(plausible(d), r.plausible) << cocoName(r.label) << " " << r.width << " x " << r.height;
  }
}

}  // namespace
