#include "vision/count_people.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/fakes.h"

namespace {

TEST(CountPeople, CountsConfidencesStrictlyAboveOneHalf) {
  const float nan = std::nanf("");
  const std::pair<std::vector<float>, int64_t> cases[] = {
      {{0.9f, 0.5f, 0.51f}, 2},
      {{}, 0},
      {{0.5f, 0.5f}, 0},
      {{std::nextafter(0.5f, 1.0f)}, 1},
      {{nan, 1.0f, nan}, 1},
      {{0.2f, 0.49f}, 0},
      {std::vector<float>(40, 0.8f), 40},
  };
  for (const auto& [confidences, count] : cases) {
    FakeVision vision;
    for (float c : confidences) vision.people[FakeVision::key(Image{})].push_back({c});
    EXPECT_EQ(countPeople(vision, Image{}), count) << testing::PrintToString(confidences);
  }
  FakeVision failing;  // the service's own error passes through
  failing.failing[FakeVision::key(Image{})] = true;
  EXPECT_THROW(countPeople(failing, Image{}), Fail);
}

}  // namespace
