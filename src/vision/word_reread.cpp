#include "vision/word_reread.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include "vision/read_text.h"

namespace {

bool hasCapitalAfterSmallLetter(std::string_view text) {
  for (size_t i = 1; i < text.size(); ++i)
    if (std::islower(static_cast<unsigned char>(text[i - 1])) && std::isupper(static_cast<unsigned char>(text[i])))
      return true;
  return false;
}

}  // namespace

bool worthReadingAgain(const RecognizedText& reading) {
  return reading.confidence < kSureReading && counted(reading.string).characters >= kMinimumCharacters;
}

bool worthReadingInPieces(const RecognizedText& reading) {
  return worthReadingAgain(reading) && reading.confidence <= kConfidenceFloor;
}

bool worthRereading(const ReadWord& word, const Lexicon& english) {
  if (word.confidence >= kDoubtfulWord) return false;
  return counted(word.text).letters >= kDoubtfulLetters && !english.contains(withoutMarksAround(word.text));
}

bool takesReread(const ReadWord& word, const RecognizedText& second) {
  if (second.confidence < kSureWord || 100 * second.confidence <= word.confidence) return false;
  if (second.string.empty() || second.string.find(' ') != std::string::npos) return false;
  if (std::abs(counted(second.string).characters - counted(word.text).characters) > kWordLengthSlack) return false;
  return !hasCapitalAfterSmallLetter(second.string);
}

std::optional<Columns> wordColumns(const ReadWord& word, int greyHeight, int greyMargin, int cropHeight,
                                   int cropWidth) {
  if (word.right <= word.left || greyHeight <= 2 * greyMargin) return std::nullopt;
  const float scale = float(cropHeight) / float(greyHeight - 2 * greyMargin), pad = kWordPad * float(cropHeight);
  auto column = [&](float x) { return int(std::clamp(x, 0.0f, float(cropWidth))); };
  Columns columns{column(std::floor((word.left - float(greyMargin)) * scale - pad)),
                  column(std::ceil((word.right - float(greyMargin)) * scale + pad))};
  if (columns.to <= columns.from) return std::nullopt;
  return columns;
}
