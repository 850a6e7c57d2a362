#include "analysis/classify.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/fail.h"

namespace {

// Answers every picture with the same fixed observations.
class ListedVision : public Vision {
 public:
  std::vector<Classification> labels;
  bool failing = false;
  std::vector<Classification> classifications(const Image&) override {
    if (failing) throw Fail("service refused");
    return labels;
  }
  std::vector<TextObservation> textObservations(const Image&) override { return {}; }
  std::vector<HumanObservation> humans(const Image&) override { return {}; }
  FeaturePrint featurePrint(const Image&) override { return {}; }
  double distance(const FeaturePrint&, const FeaturePrint&) override { return 0; }
};

std::vector<std::string> labelsOf(const std::vector<LabelScore>& scores) {
  std::vector<std::string> names;
  for (const LabelScore& s : scores) names.push_back(s.label);
  return names;
}

TEST(Classify, KeepsOnlyConfidencesAboveTheFloor) {
  ListedVision vision;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  vision.labels = {{"at", 0.12f}, {"above", std::nextafter(0.12f, 1.0f)}, {"below", 0.05f},
                   {"nan", nan},  {"zero", 0.0f},                           {"one", 1.0f}};
  std::vector<LabelScore> result = classify(vision, Image{});
  EXPECT_EQ(labelsOf(result), (std::vector<std::string>{"above", "one"}));
  EXPECT_EQ(result[0].confidence, std::nextafter(0.12f, 1.0f));
}

TEST(Classify, AllAtOrBelowTheFloorGivesNothing) {
  ListedVision vision;
  vision.labels = {{"a", 0.12f}, {"b", 0.1f}};
  EXPECT_TRUE(classify(vision, Image{}).empty());
  vision.labels = {};
  EXPECT_TRUE(classify(vision, Image{}).empty());
}

TEST(Classify, TakesTheFirstEightInServiceOrderWithoutSorting) {
  ListedVision vision;
  for (int i = 0; i < 12; ++i) vision.labels.push_back({"l" + std::to_string(i), 0.2f + 0.01f * float(i)});
  vision.labels[9].confidence = 0.99f;  // higher, but ninth
  vision.labels.insert(vision.labels.begin() + 3, {"dropped", 0.1f});
  std::vector<LabelScore> result = classify(vision, Image{});
  EXPECT_EQ(labelsOf(result), (std::vector<std::string>{"l0", "l1", "l2", "l3", "l4", "l5", "l6", "l7"}));
  EXPECT_FLOAT_EQ(result[7].confidence, 0.27f);
}

TEST(Classify, PassesLabelsThroughUnchanged) {
  ListedVision vision;
  vision.labels = {{" Traffic light ", 0.123456f}};
  std::vector<LabelScore> result = classify(vision, Image{});
  ASSERT_EQ(result.size(), 1u);
  EXPECT_EQ(result[0].label, " Traffic light ");
  EXPECT_EQ(result[0].confidence, 0.123456f);
}

TEST(Classify, ServiceErrorsPassThrough) {
  ListedVision vision;
  vision.failing = true;
  EXPECT_THROW(classify(vision, Image{}), Fail);
}

}  // namespace
