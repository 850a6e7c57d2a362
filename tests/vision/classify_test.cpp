#include "vision/classify.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/fakes.h"

namespace {

using Scores = std::vector<std::pair<std::string, float>>;

// classify on a picture the service answers with `labels`, in that order.
Scores classified(std::vector<Classification> labels) {
  FakeVision vision;
  vision.labels[FakeVision::key(Image{})] = std::move(labels);
  Scores scores;
  for (const LabelScore& s : classify(vision, Image{})) scores.push_back({s.label, s.confidence});
  return scores;
}

TEST(Classify, KeepsConfidencesStrictlyAboveTheFloorUnchanged) {
  const float above = std::nextafter(0.12f, 1.0f);
  EXPECT_EQ(classified({{"at", 0.12f},
                        {"above", above},
                        {"below", 0.05f},
                        {"nan", std::nanf("")},
                        {"zero", 0.0f},
                        {" Traffic light ", 0.123456f},
                        {"one", 1.0f}}),
            (Scores{{"above", above}, {" Traffic light ", 0.123456f}, {"one", 1.0f}}));
  EXPECT_EQ(classified({{"a", 0.12f}, {"b", 0.1f}}), Scores{});
  EXPECT_EQ(classified({}), Scores{});
  FakeVision failing;  // the service's own error passes through
  failing.failing[FakeVision::key(Image{})] = true;
  EXPECT_THROW(classify(failing, Image{}), Fail);
}

TEST(Classify, TakesTheFirstEightInServiceOrderWithoutSorting) {
  std::vector<Classification> labels;
  Scores firstEight;
  for (int i = 0; i < 12; ++i) {
    labels.push_back({"l" + std::to_string(i), i == 9 ? 0.99f : 0.2f + 0.01f * float(i)});  // l9: best, but too late
    if (i < 8) firstEight.push_back({labels.back().identifier, labels.back().confidence});
  }
  labels.insert(labels.begin() + 3, {"dropped", 0.1f});
  EXPECT_EQ(classified(labels), firstEight);
}

}  // namespace
