// The analyses' own filters over the image-analysis service's raw answers.
#include <gtest/gtest.h>

#include <cmath>

#include "vision/classify.h"
#include "vision/count_people.h"
#include "vision/read_text.h"
#include "support/fakes.h"

namespace {

// The one picture analysed, and the key of its answers.
const Image kPicture{};
const int kKey = FakeVision::key(kPicture);

TEST(Classify, FirstEightStrictlyAboveTheFloorInServiceOrderUnchanged) {
  const float above = std::nextafter(0.12f, 1.0f);
  FakeVision vision;
  vision.labels[kKey] = {{"at", 0.12f}, {"above", above}, {"nan", std::nanf("")}, {" Traffic light ", 0.123456f}};
  std::vector<std::pair<std::string, float>> expected = {{"above", above}, {" Traffic light ", 0.123456f}}, scores;
  for (int i = 0; i < 8; ++i) {
    std::string label(1, 'l');
    label += std::to_string(i);
    vision.labels[kKey].push_back({label, i == 7 ? 0.99f : 0.2f});  // l7: the best, but too late
    if (i < 6) expected.push_back({label, 0.2f});
  }
  for (const LabelScore& s : classify(vision, kPicture)) scores.push_back({s.label, s.confidence});
  EXPECT_EQ(scores, expected);
}

TEST(CountPeople, CountsConfidencesStrictlyAboveOneHalf) {
  for (auto [confidences, count] : std::vector<std::pair<std::vector<float>, int64_t>>{
           {{0.9f, 0.5f, 0.51f}, 2}, {{}, 0}, {{std::nextafter(0.5f, 1.0f)}, 1}, {{std::nanf(""), 1.0f}, 1}}) {
    FakeVision vision;
    for (float c : confidences) vision.people[kKey].push_back({c});
    EXPECT_EQ(countPeople(vision, kPicture), count) << testing::PrintToString(confidences);
  }
}

TextObservation reading(std::string text, float confidence) { return {RecognizedText{std::move(text), confidence}}; }

std::vector<std::string> read(std::vector<TextObservation> observations) {
  FakeVision vision;
  vision.texts[kKey] = std::move(observations);
  return readText(vision, kPicture);
}

TEST(ReadText, FiltersAndTrimsEachReading) {
  // A reading needs a confidence above 0.4 and two characters (grapheme
  // clusters) once Unicode white space is trimmed from both ends.
  using Lines = std::vector<std::string>;
  for (auto [text, confidence, lines] : std::vector<std::tuple<std::string, float, Lines>>{
           {"  EXIT \n", 0.9f, {"EXIT"}}, {"  A \t", 0.9f, {}}, {"ab", 0.9f, {"ab"}}, {"EXIT", 0.4f, {}},
           {"EXIT", 0.41f, {"EXIT"}}, {"EXIT", std::nanf(""), {}}, {"\tNO  ENTRY\n", 0.9f, {"NO  ENTRY"}},
           {"e\u0301", 0.9f, {}},  // e and a combining acute accent are one character
           {"\u00e9", 0.9f, {}}, {"\u3000OK\u0085\u2028\u000c", 0.9f, {"OK"}}, {"\u200bA", 0.9f, {"\u200bA"}},
           {"\xff\xfe", 0.9f, {"\xff\xfe"}}, {" \xff ", 0.9f, {}}})
    EXPECT_EQ(read({reading(text, confidence)}), lines) << testing::PrintToString(text);
  EXPECT_EQ(read({reading("SALE", 0.8f), reading("OPEN", 0.7f), TextObservation{}, reading("SALE", 0.9f)}),
            (Lines{"SALE", "OPEN", "SALE"}));  // service order, missing candidates skipped
}

}  // namespace
