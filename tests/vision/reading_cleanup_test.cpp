#include "vision/reading_cleanup.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// "8@40 Show rulers": words split at spaces, each at confidence 95 unless
// "@N" follows it.
std::vector<ReadWord> wordsOf(const std::string& line) {
  std::vector<ReadWord> words;
  std::istringstream in(line);
  for (std::string word; in >> word;) {
    size_t at = word.rfind('@');
    if (at == std::string::npos || at == 0) words.push_back({word, 95});
    else words.push_back({word.substr(0, at), std::stof(word.substr(at + 1))});
  }
  return words;
}

TEST(CleanedReading, DropsMarksAndGlyphsBesideTheWritingAndNoise) {
  const std::pair<const char*, const char*> rows[] = {
      // Icons, check boxes and borders read as marks, at either end, as often as they come.
      {"| Places", "Places"},
      {"\xC2\xA9 Search", "Search"},                // ©
      {"\xE2\x80\x9C Show guides", "Show guides"},  // “
      {"Custom padding color: |", "Custom padding color:"},
      {"| = Recently Us... |", "Recently Us..."},
      {"|: Desktop", "Desktop"},
      {"\xEF\xBF\xBD ab", "ab"},  // a replacement character alone
      // Marks that start real lines, and marks that are words of their own.
      {"$ head -4 /usr/share/common-licenses/GPL-3", "$ head -4 /usr/share/common-licenses/GPL-3"},
      {"# make install", "# make install"},
      {"- milk", "- milk"},
      {"> quoted", "> quoted"},
      {"Fish & Chips", "Fish & Chips"},
      {"|", ""},
      // A check box read as one character: unsure, before a word read surely.
      {"8@55 Show rulers", "Show rulers"},
      {"a@69.9 Show@85 grid", "Show grid"},
      {"a@70 Show grid", "a Show grid"},
      {"8@40 Show@84.9 rulers", "8@40 Show@84.9 rulers"},
      {"I@40 think", "think"},
      {"Ab@10 Show", "Ab@10 Show"},
      {"Abstract 3@20", "Abstract 3@20"},  // only at the start
      {"3@20", "3@20"},
      // Noise: letters and digits no more than half of the characters.
      {"@;", ""},
      {"a =", "a"},  // then too short to be kept
      {"C++", ""},
      {"(C)", ""},
      {"10%", "10%"},
      {"Ctrl+N", "Ctrl+N"},
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},  // été
      {"", ""},
  };
  for (const auto& [line, cleaned] : rows) {
    std::string expected;
    for (const ReadWord& w : wordsOf(cleaned)) expected += (expected.empty() ? "" : " ") + w.text;
    EXPECT_EQ(cleanedReading(wordsOf(line)), expected) << line;
  }
  EXPECT_EQ(cleanedReading({{"two", 90}, {"", 0}, {"words", 90}}), "two words");
}

TEST(ReadingConfidence, ShortReadingsAreSquared) {
  const struct {
    float mean;
    const char* reading;
    float confidence;
  } rows[] = {
      {61, "Buu", 0.3721f},  {90, "Buu", 0.81f},     {61, "Buus", 0.61f},       {50, "\xC3\xA9t\xC3\xA9", 0.25f},
      {50, "a b", 0.25f},    {150, "ab", 1.0f},      {-5, "long reading", 0}, {100, "long reading", 1.0f},
  };
  for (const auto& r : rows) EXPECT_FLOAT_EQ(readingConfidence(r.mean, r.reading), r.confidence) << r.reading;
}

}  // namespace
