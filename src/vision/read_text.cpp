#include "vision/read_text.h"

#include <utf8proc.h>

#include <string_view>

#include "base/utf8.h"

namespace {

// Space separators, tab, the line breaks U+000A to U+000D, NEL, and the line
// and paragraph separators.
bool isTrimmed(int32_t c) {
  if (c < 0) return false;
  if (c == 0x09 || (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029) return true;
  return utf8proc_category(c) == UTF8PROC_CATEGORY_ZS;
}

std::string_view trimmed(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size()) {
    Utf8Char d = utf8CharAt(text, begin);
    if (!isTrimmed(d.codepoint)) break;
    begin += d.length;
  }
  // The end is found going forwards: the last code point that is kept.
  size_t end = begin;
  for (size_t at = begin; at < text.size();) {
    Utf8Char d = utf8CharAt(text, at);
    at += d.length;
    if (!isTrimmed(d.codepoint)) end = at;
  }
  return text.substr(begin, end - begin);
}

// Whether `text` holds at least `count` extended grapheme clusters.
bool hasCharacters(std::string_view text, int count) {
  int clusters = 0;
  utf8proc_int32_t previous = -1;
  utf8proc_int32_t state = 0;
  for (size_t at = 0; at < text.size();) {
    Utf8Char d = utf8CharAt(text, at);
    at += d.length;
    // A malformed byte is its own character.
    bool startsCluster = clusters == 0 || previous < 0 || d.codepoint < 0 ||
                         utf8proc_grapheme_break_stateful(previous, d.codepoint, &state);
    if (startsCluster) {
      if (++clusters >= count) return true;
      if (d.codepoint < 0) state = 0;
    }
    previous = d.codepoint;
  }
  return clusters >= count;
}

}  // namespace

std::vector<std::string> readText(Vision& vision, const Image& picture) {
  std::vector<std::string> lines;
  for (const auto& observation : vision.textObservations(picture)) {
    if (!observation.top) continue;
    if (!(observation.top->confidence > kConfidenceFloor)) continue;
    std::string_view text = trimmed(observation.top->string);
    if (!hasCharacters(text, kMinimumCharacters)) continue;
    lines.emplace_back(text);
  }
  return lines;
}
