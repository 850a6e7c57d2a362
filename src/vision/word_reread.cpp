#include "vision/word_reread.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include "base/utf8.h"

namespace {

int characters(std::string_view text) {
  int count = 0;
  for (size_t at = 0; at < text.size(); at += utf8CharAt(text, at).length) ++count;
  return count;
}

// `text` without the characters at either end that are neither letters nor
// digits.
std::string_view bare(std::string_view text) {
  auto isWriting = [](unsigned char c) { return c >= 0x80 || std::isalnum(c); };
  while (!text.empty() && !isWriting(text.front())) text.remove_prefix(1);
  while (!text.empty() && !isWriting(text.back())) text.remove_suffix(1);
  return text;
}

bool hasCapitalAfterSmallLetter(std::string_view text) {
  for (size_t i = 1; i < text.size(); ++i)
    if (std::islower(static_cast<unsigned char>(text[i - 1])) && std::isupper(static_cast<unsigned char>(text[i])))
      return true;
  return false;
}

}  // namespace

bool worthRereading(const ReadWord& word, const Lexicon& english) {
  if (word.confidence >= kDoubtfulWord) return false;
  int letters = 0;
  for (size_t at = 0; at < word.text.size();) {
    Utf8Char c = utf8CharAt(word.text, at);
    if (isLetterOrNumber(c.codepoint)) ++letters;
    at += c.length;
  }
  return letters >= kDoubtfulLetters && !english.contains(bare(word.text));
}

bool takesReread(const ReadWord& word, const RecognizedText& second) {
  if (second.confidence < kSureWord || 100 * second.confidence <= word.confidence) return false;
  if (second.string.empty() || second.string.find(' ') != std::string::npos) return false;
  if (std::abs(characters(second.string) - characters(word.text)) > kWordLengthSlack) return false;
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
