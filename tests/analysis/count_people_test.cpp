#include "analysis/count_people.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/fail.h"

namespace {

class PeopleVision : public Vision {
 public:
  std::vector<HumanObservation> people;
  bool failing = false;
  std::vector<Classification> classifications(const Image&) override { return {}; }
  std::vector<TextObservation> textObservations(const Image&) override { return {}; }
  std::vector<HumanObservation> humans(const Image&) override {
    if (failing) throw Fail("service refused");
    return people;
  }
  FeaturePrint featurePrint(const Image&) override { return {}; }
  double distance(const FeaturePrint&, const FeaturePrint&) override { return 0; }
};

TEST(CountPeople, CountsConfidencesStrictlyAboveOneHalf) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    std::vector<float> confidences;
    int64_t count;
  } cases[] = {
      {{0.9f, 0.5f, 0.51f}, 2},
      {{}, 0},
      {{0.5f, 0.5f}, 0},
      {{std::nextafter(0.5f, 1.0f)}, 1},
      {{nan, 1.0f, nan}, 1},
      {{0.2f, 0.49f}, 0},
      {std::vector<float>(40, 0.8f), 40},
  };
  for (const Case& c : cases) {
    PeopleVision vision;
    for (float f : c.confidences) vision.people.push_back({f});
    EXPECT_EQ(countPeople(vision, Image{}), c.count) << c.confidences.size();
  }
}

TEST(CountPeople, ServiceErrorsPassThrough) {
  PeopleVision vision;
  vision.failing = true;
  EXPECT_THROW(countPeople(vision, Image{}), Fail);
}

}  // namespace
