#include "vision/read_text.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/fakes.h"

namespace {

using Lines = std::vector<std::string>;

TextObservation reading(std::string text, float confidence) { return {RecognizedText{std::move(text), confidence}}; }

// readText on a picture the service answers with `observations`.
Lines read(std::vector<TextObservation> observations) {
  FakeVision vision;
  vision.texts[FakeVision::key(Image{})] = std::move(observations);
  return readText(vision, Image{});
}

TEST(ReadText, FiltersAndTrimsEachReading) {
  struct Case {
    const char* name;
    std::string text;
    float confidence;
    Lines expected;
  } cases[] = {
      {"TrimsSpacesAndLineFeed", "  EXIT \n", 0.9f, {"EXIT"}},
      {"SingleLetter", "A", 0.9f, {}},
      {"SingleLetterInSpaces", "  A \t", 0.9f, {}},
      {"OnlySpaces", " \n\r ", 0.9f, {}},
      {"TwoLetters", "ab", 0.9f, {"ab"}},
      {"ConfidenceAtFloor", "EXIT", 0.4f, {}},
      {"ConfidenceJustAbove", "EXIT", 0.41f, {"EXIT"}},
      {"ConfidenceNaN", "EXIT", std::nanf(""), {}},
      {"InnerSpacesKept", "\tNO  ENTRY\n", 0.9f, {"NO  ENTRY"}},
      // e and a combining acute accent are one character; so are two
      // regional indicators forming a flag.
      {"CombiningAccentAlone", "e\u0301", 0.9f, {}},
      {"CombiningAccentAndLetter", " e\u0301t ", 0.9f, {"e\u0301t"}},
      {"PrecomposedAlone", "\u00e9", 0.9f, {}},
      {"FlagAlone", "\U0001F1EC\U0001F1E7", 0.9f, {}},
      {"IdeographicSpaceTrimmed", "\u3000OK\u3000", 0.9f, {"OK"}},
      {"NextLineAndSeparatorsTrimmed", "\u0085\u2028OK\u2029\u000b\u000c", 0.9f, {"OK"}},
      {"ZeroWidthSpaceIsNotTrimmed", "\u200bA", 0.9f, {"\u200bA"}},
      {"MalformedBytesKept", "\xff\xfe", 0.9f, {"\xff\xfe"}},
      {"MalformedByteAlone", " \xff ", 0.9f, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(read({reading(c.text, c.confidence)}), c.expected) << c.name;
}

TEST(ReadText, KeepsServiceOrderSkipsMissingCandidatesPassesErrors) {
  EXPECT_EQ(read({reading("SALE", 0.8f), reading("OPEN", 0.7f), TextObservation{}, reading("SALE", 0.9f)}),
            (Lines{"SALE", "OPEN", "SALE"}));
  EXPECT_EQ(read({}), Lines{});
  FakeVision failing;  // the service's own error passes through
  failing.failing[FakeVision::key(Image{})] = true;
  EXPECT_THROW(readText(failing, Image{}), Fail);
}

}  // namespace
