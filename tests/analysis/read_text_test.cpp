#include "analysis/read_text.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// A service that answers every text request with a fixed list of readings.
struct FakeVision : Vision {
  std::vector<TextObservation> readings;
  std::vector<Classification> classifications(const Image&) override { return {}; }
  std::vector<TextObservation> textObservations(const Image&) override { return readings; }
  std::vector<HumanObservation> humans(const Image&) override { return {}; }
  FeaturePrint featurePrint(const Image&) override { return {}; }
  double distance(const FeaturePrint&, const FeaturePrint&) override { return 0; }
};

TextObservation reading(std::string text, float confidence) { return {RecognizedText{std::move(text), confidence}}; }

std::vector<std::string> filtered(std::vector<TextObservation> readings) {
  FakeVision vision;
  vision.readings = std::move(readings);
  return readText(vision, Image{});
}

using Lines = std::vector<std::string>;

TEST(ReadText, TrimsSpacesAndLineFeed) { EXPECT_EQ(filtered({reading("  EXIT \n", 0.9f)}), Lines{"EXIT"}); }

struct Case {
  const char* name;
  std::string text;
  float confidence;
  Lines expected;
};

class ReadTextCase : public testing::TestWithParam<Case> {};

TEST_P(ReadTextCase, Filters) {
  EXPECT_EQ(filtered({reading(GetParam().text, GetParam().confidence)}), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Readings, ReadTextCase,
    testing::Values(
        Case{"SingleLetter", "A", 0.9f, {}},
        Case{"SingleLetterInSpaces", "  A \t", 0.9f, {}},
        Case{"OnlySpaces", " \n\r ", 0.9f, {}},
        Case{"Empty", "", 0.9f, {}},
        Case{"TwoLetters", "ab", 0.9f, {"ab"}},
        Case{"ConfidenceAtFloor", "EXIT", 0.4f, {}},
        Case{"ConfidenceJustAbove", "EXIT", 0.41f, {"EXIT"}},
        Case{"ConfidenceOne", "EXIT", 1.0f, {"EXIT"}},
        Case{"ConfidenceZero", "EXIT", 0.0f, {}},
        Case{"InnerSpacesKept", "\tNO  ENTRY\n", 0.9f, {"NO  ENTRY"}},
        // e followed by a combining acute accent is one character.
        Case{"CombiningAccentAlone", "e\u0301", 0.9f, {}},
        Case{"CombiningAccentAndLetter", " e\u0301t ", 0.9f, {"e\u0301t"}},
        Case{"PrecomposedPair", "\u00e9t", 0.9f, {"\u00e9t"}},
        // Two regional indicators form one flag.
        Case{"FlagAlone", "\U0001F1EC\U0001F1E7", 0.9f, {}},
        Case{"IdeographicSpaceTrimmed", "\u3000OK\u3000", 0.9f, {"OK"}},
        Case{"NoBreakSpaceTrimmed", "\u00a0OK\u00a0", 0.9f, {"OK"}},
        Case{"NextLineAndSeparatorsTrimmed", "\u0085\u2028OK\u2029\u000b\u000c", 0.9f, {"OK"}},
        Case{"ZeroWidthSpaceIsNotTrimmed", "\u200bA", 0.9f, {"\u200bA"}},
        Case{"SingleLetterInIdeographicSpaces", "\u3000A\u3000", 0.9f, {}},
        Case{"MalformedBytesKept", "\xff\xfe", 0.9f, {"\xff\xfe"}},
        Case{"MalformedByteAlone", " \xff ", 0.9f, {}}),
    [](const auto& info) { return info.param.name; });

TEST(ReadText, KeepsRepeatsInServiceOrder) {
  EXPECT_EQ(filtered({reading("SALE", 0.8f), reading("OPEN", 0.7f), reading("SALE", 0.9f)}),
            (Lines{"SALE", "OPEN", "SALE"}));
}

TEST(ReadText, SkipsObservationWithoutCandidateAndGoesOn) {
  EXPECT_EQ(filtered({reading("ONE", 0.9f), TextObservation{}, reading("TWO", 0.9f)}), (Lines{"ONE", "TWO"}));
}

TEST(ReadText, NoObservationsGiveNoLines) { EXPECT_EQ(filtered({}), Lines{}); }

TEST(ReadText, ServiceErrorPassesThrough) {
  struct Failing : FakeVision {
    std::vector<TextObservation> textObservations(const Image&) override { throw std::runtime_error("busy"); }
  } vision;
  EXPECT_THROW(readText(vision, Image{}), std::runtime_error);
}

}  // namespace
