#pragma once
#include <optional>
#include <string_view>

#include "vision/language_correction.h"
#include "vision/reading_cleanup.h"
#include "vision/vision.h"

// Lines Tesseract reads with less confidence than kSureReading are read again
// whole by the CTC recogniser, whose reading replaces Tesseract's when it is
// surer and at least kSureReading. Tesseract keeps the lines it reads well:
// it keeps word gaps that the other one often loses ("FG to BG" as "FGto
// BG"), while the other one reads small grey UI text and signs that
// Tesseract garbles ("Ctrl+N" as "Ctd+N"). A reading too short to be shown
// (under kMinimumCharacters) is not read again: it is mostly an icon (a
// toolbox's tools read as "e", "9", "B"), and the frame's budget for second
// readings is better spent on lines of writing.
constexpr float kSureReading = 0.8f;
bool worthReadingAgain(const RecognizedText& reading);
// Whether such a line may be read again in pieces of whole words when it is
// too wide for the CTC recogniser: only when its reading would not be shown
// (kConfidenceFloor or less). Surer ones keep Tesseract's reading, which
// keeps the gaps between words that the pieces' readings often lose.
bool worthReadingInPieces(const RecognizedText& reading);

// Single words of a line Tesseract read, which it was unsure of, read again
// by the CTC recogniser on their own: a line too long for that recogniser
// ("beach.png budget.ods checklist.oct letter.odt") keeps its sure words and
// has its garbled one mended ("checklist.txt").

// Whether `word` is one to read again: Tesseract's confidence in it is under
// kDoubtfulWord, it has kDoubtfulLetters letters or digits or more (shorter
// ones are mostly icons and marks), and without the marks around it, it is
// not an English word (Tesseract is unsure of small words it reads right).
constexpr float kDoubtfulWord = 50;
constexpr int kDoubtfulLetters = 3;
bool worthRereading(const ReadWord& word, const Lexicon& english);

// Whether `second`, the CTC recogniser's reading of the word alone, replaces
// it: at least kSureWord and surer than Tesseract, one word, at most
// kWordLengthSlack characters longer or shorter (a longer one took in its
// neighbour's letters), and no capital right after a small letter
// ("galleRies", a mixed case that writing almost never has).
constexpr float kSureWord = 0.85f;
constexpr int kWordLengthSlack = 2;
bool takesReread(const ReadWord& word, const RecognizedText& second);

// Columns [from, to) of a line's colour crop, `cropHeight` rows tall and
// `cropWidth` wide, that hold `word`, whose extent was measured on the grey
// crop of `greyHeight` rows framed by a margin of `greyMargin`; with a
// margin of kWordPad of the crop's height on either side. None when the
// word's extent is unknown or lies outside the crop.
constexpr float kWordPad = 0.12f;
struct Columns {
  int from = 0, to = 0;
};
std::optional<Columns> wordColumns(const ReadWord& word, int greyHeight, int greyMargin, int cropHeight, int cropWidth);
