#include "vision/reading_cleanup.h"

#include <algorithm>
#include <string_view>

#include "base/utf8.h"

namespace {

// A word that can only be marks beside the writing.
bool isStrayMark(std::string_view word) {
  if (word.size() == 1 && std::string_view("$#-+*>").find(word[0]) != std::string_view::npos) return false;
  return counted(word).letters == 0;
}

// A mark outside ASCII ("»", "©", "•"): the shape of an icon, seldom of a
// word read right.
bool hasIconMark(std::string_view word) {
  for (size_t at = 0; at < word.size();) {
    Utf8Char c = utf8CharAt(word, at);
    at += c.length;
    if (c.codepoint >= 0x80 && !isLetterOrNumber(c.codepoint)) return true;
  }
  return false;
}

// Whether the first word stands apart from the rest of the line as an icon
// or a check box does, by the gaps between the words; unknown extents, or
// fewer than three words, say nothing.
bool setApart(const std::vector<ReadWord>& words) {
  if (words.size() < 3 || words[0].text == "A" || words[0].text == "I") return false;
  float widest = 0;
  for (size_t i = 0; i < words.size(); ++i) {
    if (!(words[i].right > words[i].left)) return false;
    if (i >= 2) widest = std::max(widest, words[i].left - words[i - 1].right);
  }
  return widest > 0 && words[1].left - words[0].right >= kGlyphGap * widest;
}

}  // namespace

std::string cleanedReading(std::vector<ReadWord> words) {
  std::erase_if(words, [](const ReadWord& w) { return w.text.empty(); });
  while (words.size() >= 2 && isStrayMark(words.front().text)) words.erase(words.begin());
  while (words.size() >= 2 && isStrayMark(words.back().text)) words.pop_back();
  if (words.size() >= 2) {
    CharacterCount first = counted(words[0].text);
    if (first.characters == 1 && first.letters == 1 && words[0].confidence < kGlyphConfidence &&
        words[1].confidence >= kWordConfidence)
      words.erase(words.begin());
    else if (first.characters <= 2 && hasIconMark(words[0].text) && words[0].confidence < kGlyphConfidence)
      words.erase(words.begin());
    else if (first.characters == 1 && first.letters == 1 && setApart(words))
      words.erase(words.begin());
  }
  std::string line;
  CharacterCount total;
  for (const ReadWord& w : words) {
    if (!line.empty()) line += ' ';
    line += w.text;
    CharacterCount c = counted(w.text);
    total.letters += c.letters, total.characters += c.characters;
  }
  if (total.letters * 2 <= total.characters) return {};
  return line;
}

CharacterCount counted(std::string_view text) {
  CharacterCount count;
  for (size_t at = 0; at < text.size();) {
    Utf8Char c = utf8CharAt(text, at);
    at += c.length;
    ++count.characters;
    if (isLetterOrNumber(c.codepoint)) ++count.letters;
  }
  return count;
}

float readingConfidence(float meanConfidence, const std::string& reading) {
  float confidence = std::clamp(meanConfidence / 100.0f, 0.0f, 1.0f);
  return counted(reading).characters <= kShortReading ? confidence * confidence : confidence;
}

std::string withoutGlyphBefore(const std::string& reading, std::string_view other) {
  if (reading.empty() || other.empty()) return reading;
  const size_t first = utf8CharAt(reading, 0).length;
  if (reading.size() > first && reading[first] == ' ' && std::string_view(reading).substr(first + 1) == other)
    return std::string(other);
  return reading;
}
