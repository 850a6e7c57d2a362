#include "pipeline/clip_summary.h"

#include <gtest/gtest.h>

namespace {

// The document's layout, rounding and key order are pinned by the analysis
// and command-line tests; what they cannot reach is the digest's limits.
TEST(ClipSummary, VisionDigestKeepsTwelveLabelsAndTwentyFourLines) {
  ClipDigest digest;
  // Fifteen labels; "tie-a" and "tie-b" share a confidence and keep their order.
  for (int i = 0; i < 13; ++i) digest.labels.emplace_back("label-" + std::to_string(i), 0.2f + 0.05f * i);
  digest.labels.emplace_back("tie-a", 0.9f);
  digest.labels.emplace_back("tie-b", 0.9f);
  for (int i = 0; i < 30; ++i) digest.texts.push_back("line " + std::to_string(i));
  digest.peakPeople = 5;
  StreamFacts square;
  square.duration = 1, square.width = 1080, square.height = 1080, square.fps = 30;
  Document document = clipSummary(square, digest, "camera moving up");
  const Document& vision = document["vision"];
  ASSERT_EQ(vision["labels"].size(), 12u);
  EXPECT_EQ(vision["labels"][0], (Document{{"label", "tie-a"}, {"confidence", 0.8999999761581421}}));
  EXPECT_EQ(vision["labels"][1]["label"], "tie-b");
  EXPECT_EQ(vision["labels"][2]["label"], "label-12");
  EXPECT_EQ(vision["labels"][11]["label"], "label-3");
  ASSERT_EQ(vision["text"].size(), 24u);
  EXPECT_EQ(vision["text"][23], "line 23");
  EXPECT_EQ(vision["people"], 5);
  EXPECT_EQ(document["motion"], "camera moving up");
  EXPECT_EQ(document["facts"]["vertical"], false);  // a square picture is not vertical
}

}  // namespace
