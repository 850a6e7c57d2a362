#include "vision/reading_cleanup.h"

#include <utf8proc.h>

#include <vector>

#include "base/utf8.h"

namespace {

bool isLetterOrDigit(int32_t c) {
  if (c < 0) return false;
  auto category = utf8proc_category(c);
  return (category >= UTF8PROC_CATEGORY_LU && category <= UTF8PROC_CATEGORY_LO) ||
         (category >= UTF8PROC_CATEGORY_ND && category <= UTF8PROC_CATEGORY_NO);
}

// A word of one character that can only be a mark beside the writing.
bool isStrayMark(std::string_view word) {
  if (word.empty()) return false;
  Utf8Char c = utf8CharAt(word, 0);
  if (c.length != word.size() || c.codepoint < 0) return false;
  if (c.codepoint < 0x80 && std::string_view("$#-+*>").find(char(c.codepoint)) != std::string_view::npos) return false;
  auto category = utf8proc_category(c.codepoint);
  return category >= UTF8PROC_CATEGORY_PC && category <= UTF8PROC_CATEGORY_SO;
}

std::vector<std::string_view> words(std::string_view text) {
  std::vector<std::string_view> found;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && text[at] == ' ') ++at;
    size_t end = text.find(' ', at);
    if (end == std::string_view::npos) end = text.size();
    if (end > at) found.push_back(text.substr(at, end - at));
    at = end;
  }
  return found;
}

}  // namespace

std::string cleanedReading(std::string_view reading) {
  std::vector<std::string_view> kept = words(reading);
  if (kept.size() >= 2 && isStrayMark(kept.front())) kept.erase(kept.begin());
  if (kept.size() >= 2 && isStrayMark(kept.back())) kept.pop_back();
  int letters = 0, others = 0;
  for (std::string_view word : kept)
    for (size_t at = 0; at < word.size();) {
      Utf8Char c = utf8CharAt(word, at);
      at += c.length;
      ++(isLetterOrDigit(c.codepoint) ? letters : others);
    }
  if (letters <= others) return {};
  // The words as they stood, with the spaces between them.
  if (kept.empty()) return {};
  const char* begin = kept.front().data();
  const char* end = kept.back().data() + kept.back().size();
  return std::string(begin, size_t(end - begin));
}
