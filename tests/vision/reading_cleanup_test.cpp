#include "vision/reading_cleanup.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// "8@40 Show rulers": the words of a line, each at confidence 95 unless "@N" follows it.
std::vector<ReadWord> wordsOf(const std::string& line) {
  std::vector<ReadWord> words;
  std::istringstream in(line);
  for (std::string word; in >> word;) {
    size_t at = word.rfind('@');
    words.push_back(at == std::string::npos || at == 0 ? ReadWord{word, 95}
                                                        : ReadWord{word.substr(0, at), std::stof(word.substr(at + 1))});
  }
  return words;
}

TEST(CleanedReading, DropsMarksAndGlyphsBesideTheWritingAndNoise) {
  const std::pair<const char*, const char*> rows[] = {
      // Icons, check boxes and borders read as marks, at either end, as often as they come.
      {"| Places", "Places"}, {"\xC2\xA9 Search", "Search"}, {"Custom padding color: |", "Custom padding color:"},
      {"| = Recently Us... |", "Recently Us..."}, {"|: Desktop", "Desktop"}, {"\xEF\xBF\xBD ab", "ab"}, {"|", ""},
      // Marks that start real lines, and marks that are words of their own.
      {"$ head -4 /usr/share", "$ head -4 /usr/share"}, {"# make", "# make"}, {"- milk", "- milk"},
      {"> quoted", "> quoted"}, {"Fish & Chips", "Fish & Chips"},
      // A check box read as one character: unsure, at the start, before a word read surely.
      {"8@55 Show rulers", "Show rulers"}, {"a@69.9 Show@85 grid", "Show grid"}, {"a@70 Show", "a Show"},
      {"8@40 Show@84.9 rulers", "8 Show rulers"}, {"Ab@10 Show", "Ab Show"}, {"Abstract 3@20", "Abstract 3"}, {"3@20", "3"},
      // An icon read as a mark and a letter, when unsure.
      {"\xC2\xBBs@37 800px-De@77", "800px-De"}, {"\xC2\xBBs@70 file", "\xC2\xBBs file"},
      {"\xC2\xBB" "ab@37 file", "\xC2\xBB" "ab file"}, {"as@37 file", "as file"}, {"\xC3\xA9t@37 file", "\xC3\xA9t file"},
      // Noise: letters and digits no more than half of the characters.
      {"@;", ""}, {"a =", "a"}, {"C++", ""}, {"10%", "10%"}, {"Ctrl+N", "Ctrl+N"}, {"", ""},
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
  };
  for (const auto& [line, cleaned] : rows) EXPECT_EQ(cleanedReading(wordsOf(line)), cleaned) << line;
  EXPECT_EQ(cleanedReading({{"two", 90}, {"", 0}, {"words", 90}}), "two words");
}

TEST(CleanedReading, DropsAOneCharacterFirstWordSetApartByItsGap) {
  // "3 Show menubar" as Tesseract read and placed it in a crop, all at 95:
  // the check box 21 pixels before the label, the label's own word gap 13
  // (crop pixels).
  auto line = [](const char* first, float firstGap, float otherGap) {
    std::vector<ReadWord> words = {{first, 95, 0, 20}};
    words.push_back({"Show", 95, 20 + firstGap, 80 + firstGap});
    words.push_back({"menubar", 95, 80 + firstGap + otherGap, 180 + firstGap + otherGap});
    return cleanedReading(words);
  };
  EXPECT_EQ(line("3", 21, 13), "Show menubar");
  EXPECT_EQ(line("3", 16.8f, 13), "3 Show menubar");  // under 1.3 times the other gap
  EXPECT_EQ(line("a", 21, 13), "Show menubar");
  EXPECT_EQ(line("A", 21, 13), "A Show menubar");
  EXPECT_EQ(line("I", 21, 13), "I Show menubar");
  EXPECT_EQ(line("3", 21, 0), "3 Show menubar");  // no gap to compare with
  EXPECT_EQ(cleanedReading({{"3", 95}, {"Show", 95}, {"menubar", 95}}), "3 Show menubar");  // extents unknown
  EXPECT_EQ(cleanedReading({{"5", 95, 0, 20}, {"Home", 95, 60, 120}}), "5 Home");  // two words: nothing to compare
}

TEST(ReadingConfidence, ShortReadingsAreSquared) {
  const std::tuple<float, const char*, float> rows[] = {
      {61, "Buu", 0.3721f}, {90, "Buu", 0.81f}, {61, "Buus", 0.61f}, {50, "\xC3\xA9t\xC3\xA9", 0.25f},
      {50, "a b", 0.25f},   {150, "ab", 1.0f},  {-5, "long reading", 0}, {100, "long reading", 1.0f},
  };
  for (const auto& [mean, reading, confidence] : rows)
    EXPECT_FLOAT_EQ(readingConfidence(mean, reading), confidence) << reading;
}

TEST(WithoutGlyphBefore, DropsOnlyAOneCharacterWordBeforeTheOtherReading) {
  const std::tuple<const char*, const char*, const char*> rows[] = {
      {"Q Search", "Search", "Search"},
      {"\xC2\xA9 Search", "Search", "Search"},  // a two-byte character
      {"Q Search", "Sarch", "Q Search"},    {"Qu Search", "Search", "Qu Search"},
      {"QSearch", "Search", "QSearch"},     {"Q  Search", "Search", "Q  Search"},
      {"Q Search", "", "Q Search"},         {"", "Search", ""},
      {"Q", "", "Q"},                       {"3 items", "items", "items"},
  };
  for (const auto& [reading, other, expected] : rows) EXPECT_EQ(withoutGlyphBefore(reading, other), expected) << reading;
}

}  // namespace
