#include "pipeline/clip_summary.h"

#include <gtest/gtest.h>

#include "app/emit.h"

namespace {

StreamFacts facts(double duration, int64_t width, int64_t height, float fps) {
  StreamFacts f;
  f.duration = duration, f.width = width, f.height = height, f.fps = fps;
  return f;
}

TEST(ClipSummary, EmptyRunHasEveryKeyAndNullMotion) {
  Document document = clipSummary(facts(12.345, 1920, 1080, 29.97f), ClipDigest{}, std::nullopt);
  EXPECT_EQ(encodeJson(document),
            R"({"facts":{"duration_s":12.35,"fps":29.969999313354492,"height":1080,"vertical":false,"width":1920},)"
            R"("frames":[],"motion":null,"ok":true,"vision":{"labels":[],"people":0,"text":[]}})");
}

TEST(ClipSummary, FrameRecordsRoundTimesAndConfidences) {
  ClipDigest digest;
  digest.records = {{0.125, "/o/frame-00.jpg", {{"dog", 0.6f}, {"grass", 0.125f}}, {"EXIT", "EXIT"}, 2},
                    {2.3456, "/o/frame-01.jpg", {{"dog", 0.8765f}}, {}, 0}};
  EXPECT_EQ(encodeJson(clipSummary(facts(1, 1, 1, 1), digest, std::nullopt)["frames"]),
            R"([{"labels":[{"confidence":0.6000000238418579,"label":"dog"},{"confidence":0.12999999523162842,)"
            R"("label":"grass"}],"path":"\/o\/frame-00.jpg","people":2,"t":0.13,"text":["EXIT","EXIT"]},)"
            R"({"labels":[{"confidence":0.8799999952316284,"label":"dog"}],"path":"\/o\/frame-01.jpg","people":0,)"
            R"("t":2.35,"text":[]}])");
}

TEST(ClipSummary, FactsRoundingAndOrientation) {
  struct Case {
    StreamFacts facts;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {facts(1.005, 1080, 1920, 30.0f), R"({"duration_s":1.0,"fps":30.0,"height":1920,"vertical":true,"width":1080})"},
      {facts(60.0, 1080, 1080, 23.976f),
       R"({"duration_s":60.0,"fps":23.979999542236328,"height":1080,"vertical":false,"width":1080})"},
      {facts(0.5, 2, 1, 0.0f), R"({"duration_s":0.5,"fps":0.0,"height":1,"vertical":false,"width":2})"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(encodeJson(clipSummary(c.facts, ClipDigest{}, "almost still")["facts"]), c.expected);
}

TEST(ClipSummary, VisionDigestKeepsTwelveLabelsAndTwentyFourLines) {
  ClipDigest digest;
  // Fifteen labels; "tie-a" and "tie-b" share a confidence and keep their order.
  for (int i = 0; i < 13; ++i) digest.labels.emplace_back("label-" + std::to_string(i), 0.2f + 0.05f * i);
  digest.labels.emplace_back("tie-a", 0.9f);
  digest.labels.emplace_back("tie-b", 0.9f);
  for (int i = 0; i < 30; ++i) digest.texts.push_back("line " + std::to_string(i));
  digest.peakPeople = 5;
  Document vision = clipSummary(facts(1, 1, 1, 1), digest, "camera moving up")["vision"];
  ASSERT_EQ(vision["labels"].size(), 12u);
  EXPECT_EQ(vision["labels"][0], (Document{{"label", "tie-a"}, {"confidence", 0.8999999761581421}}));
  EXPECT_EQ(vision["labels"][1]["label"], "tie-b");
  EXPECT_EQ(vision["labels"][2]["label"], "label-12");
  EXPECT_EQ(vision["labels"][11]["label"], "label-3");
  ASSERT_EQ(vision["text"].size(), 24u);
  EXPECT_EQ(vision["text"][23], "line 23");
  EXPECT_EQ(vision["people"], 5);
  EXPECT_EQ(clipSummary(facts(1, 1, 1, 1), digest, "camera moving up")["motion"], "camera moving up");
}

}  // namespace
