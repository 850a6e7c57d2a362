#include "vision/ctc_reading.h"

#include <gtest/gtest.h>

namespace {

TEST(LatinAlphabet, BlankFirstSpaceLastAndOnlyWesternSymbolsAllowed) {
  const struct {
    const char* name;
    std::string keys;
  } cases[] = {{"with a final newline", "a\n中\n€\n\xc3\xa9\n"},
               {"without one", "a\n中\n€\n\xc3\xa9"},
               {"with CRLF", "a\r\n中\r\n€\r\n\xc3\xa9\r\n"}};
  for (const auto& c : cases) {
    CtcAlphabet alphabet = latinAlphabet(c.keys);
    EXPECT_EQ(alphabet.symbols, (std::vector<std::string>{"", "a", "中", "€", "é", " "})) << c.name;
    EXPECT_EQ(alphabet.allowed, (std::vector<uint8_t>{1, 1, 0, 1, 1, 1})) << c.name;
  }
  // A line of two characters is no symbol of a one-character class.
  EXPECT_EQ(latinAlphabet("ab\nc").allowed, (std::vector<uint8_t>{1, 0, 1, 1}));
}

TEST(BestPath, MergesRepeatsDropsBlanksSkipsDisallowedAndTrimsSpaces) {
  // Classes: blank, "a", "b", "中" (not allowed), " ".
  const CtcAlphabet alphabet = latinAlphabet("a\nb\n中");
  auto row = [](int best, float p) {
    std::vector<float> r(5, (1 - p) / 4);
    r[size_t(best)] = p;
    return r;
  };
  const struct {
    const char* name;
    std::vector<std::vector<float>> rows;
    std::optional<std::string> text;
    float confidence;
  } cases[] = {
      {"repeats merge", {row(1, 0.9f), row(1, 0.7f), row(2, 0.8f)}, "ab", (0.9f + 0.8f) / 2},
      {"a blank splits a double letter", {row(1, 0.9f), row(0, 0.9f), row(1, 0.5f)}, "aa", 0.7f},
      {"a disallowed class gives way to the likeliest allowed one",
       {row(1, 0.6f), {0.1f, 0.05f, 0.3f, 0.5f, 0.05f}}, "ab", (0.6f + 0.3f) / 2},
      {"spaces at the ends are trimmed and not counted",
       {row(4, 0.2f), row(1, 0.8f), row(4, 0.9f), row(2, 0.6f), row(4, 0.1f)}, "a b", (0.8f + 0.9f + 0.6f) / 3},
      {"only blanks and spaces", {row(0, 0.9f), row(4, 0.9f)}, std::nullopt, 0},
      {"no rows", {}, std::nullopt, 0},
  };
  for (const auto& c : cases) {
    std::vector<float> flat;
    for (const auto& r : c.rows) flat.insert(flat.end(), r.begin(), r.end());
    std::optional<RecognizedText> read = bestPath(flat, alphabet);
    ASSERT_EQ(read.has_value(), c.text.has_value()) << c.name;
    if (!read) continue;
    EXPECT_EQ(read->string, *c.text) << c.name;
    EXPECT_NEAR(read->confidence, c.confidence, 1e-6) << c.name;
  }
  // Rows that do not match the alphabet are not read.
  EXPECT_FALSE(bestPath(std::vector<float>(7, 0.1f), alphabet));
}

}  // namespace
