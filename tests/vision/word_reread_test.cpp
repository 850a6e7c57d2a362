#include "vision/word_reread.h"

#include <gtest/gtest.h>

namespace {

const Lexicon kEnglish("detach\ngalleries\ngeneral\n");

TEST(WordReread, ReadsAgainWholeLinesOfWritingItIsUnsureOf) {
  // The reading; whether it is read again; whether, too wide to be read at
  // once, it is read again in pieces (only what would not be shown).
  const struct {
    RecognizedText reading;
    bool again, inPieces;
  } rows[] = {
      {{"Lock", 0.53f}, true, false}, {{"px", 0.05f}, true, true}, {{"Show grid", 0.799f}, true, false},
      {{"Gus GENERAL PURLEC UACUNse", 0.4f}, true, true},   // not shown
      {{"Gus GENERAL PURLEC UACUNse", 0.41f}, true, false},  // shown: Tesseract keeps it
      {{"Show grid", 0.8f}, false, false},                   // sure enough
      {{"e", 0.0f}, false, false}, {{"9", 0.3f}, false, false},  // one character: an icon
      {{"\xC3\xA9", 0.1f}, false, false}, {{"\xC3\xA9t", 0.1f}, true, true},  // characters, not bytes
  };
  for (const auto& row : rows) {
    EXPECT_EQ(worthReadingAgain(row.reading), row.again) << row.reading.string;
    EXPECT_EQ(worthReadingInPieces(row.reading), row.inPieces) << row.reading.string << " " << row.reading.confidence;
  }
}

TEST(WordReread, ReadsAgainOnlyDoubtfulWordsThatAreNotEnglish) {
  const std::pair<ReadWord, bool> rows[] = {
      {{"checklist.oct", 0}, true}, {{"letterodt", 39}, true}, {{"1M4G_0502.JPG", 49.9f}, true},
      {{"checklist.oct", 50}, false},             // sure enough
      {{"Detach", 32}, false}, {{"GENERAL", 34}, false},  // English, whatever the case
      {{"(galleries,", 20}, false},               // English inside its marks
      {{"\xC2\xBBs", 37}, false}, {{"ab", 10}, false}, {{"|+|", 5}, false},  // icons and marks
      {{"123:", 10}, true}, {{"\xC3\xA9t\xC3\xA9", 10}, true},             // digits and letters from outside ASCII count
  };
  for (const auto& [word, worth] : rows) EXPECT_EQ(worthRereading(word, kEnglish), worth) << word.text;
}

TEST(WordReread, TakesASurerReadingOfAboutTheSameLength) {
  const ReadWord doubtful{"checklist.oct", 0};
  const std::pair<RecognizedText, bool> rows[] = {
      {{"checklist.txt", 0.88f}, true}, {{"checklist.txt", 0.85f}, true},
      {{"checklist.txt", 0.84f}, false},                        // not sure enough
      {{"checklist.t", 0.9f}, true}, {{"checklist.txt+S", 0.9f}, true},
      {{"checklist.txt+S1", 0.9f}, false}, {{"checklist", 0.9f}, false},  // took in or lost a neighbour
      {{"checklist txt", 0.9f}, false}, {{"", 0.9f}, false},    // not one word
      {{"checkList.txt", 0.99f}, false}, {{"CHECKLIST.TXT", 0.9f}, true}, {{"Checklist.txt", 0.9f}, true},
  };
  for (const auto& [second, takes] : rows) EXPECT_EQ(takesReread(doubtful, second), takes) << second.string;
  // Never a reading less sure than Tesseract's own, and lengths are counted in characters.
  EXPECT_FALSE(takesReread({"Wivenhoe", 90}, {"Wivenhoe", 0.89f}));
  EXPECT_TRUE(takesReread({"Telecharge", 10}, {"T\xC3\xA9l\xC3\xA9" "charge\xE2\x80\xA6", 0.9f}));
}

TEST(WordReread, FindsTheWordsColumnsInTheColourCrop) {
  // Grey crop 80 rows (64 plus a margin of 8), colour crop 48 rows and 534 wide: the
  // word's extent loses the margin, scales by 48 / 64 and gains 5.76 columns either side.
  auto columns = wordColumns({"budget.ods", 90, 199, 345}, 80, 8, 48, 534);
  ASSERT_TRUE(columns);
  EXPECT_EQ(columns->from, 137);  // floor(191 * 0.75 - 5.76)
  EXPECT_EQ(columns->to, 259);    // ceil(337 * 0.75 + 5.76)
  // Clipped to the crop at both ends.
  columns = wordColumns({"beach.png", 90, 2, 700}, 80, 8, 48, 500);
  ASSERT_TRUE(columns);
  EXPECT_EQ(columns->from, 0);
  EXPECT_EQ(columns->to, 500);
  // No extent, or none inside the crop.
  EXPECT_FALSE(wordColumns({"word", 90}, 80, 8, 48, 500));
  EXPECT_FALSE(wordColumns({"word", 90, 900, 950}, 80, 8, 48, 500));
  EXPECT_FALSE(wordColumns({"word", 90, 10, 20}, 16, 8, 48, 500));
}

}  // namespace
