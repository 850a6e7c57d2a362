#include "vision/ctc_reading.h"

#include "base/lines.h"
#include "base/utf8.h"

namespace {

bool isWestern(int32_t c) {
  return (c >= 0x20 && c <= 0x7e) || (c >= 0xa0 && c <= 0x17f) || (c >= 0x2010 && c <= 0x2027) || c == 0x20ac;
}

// A symbol is one character.
bool isWesternSymbol(const std::string& symbol) {
  if (symbol.empty()) return false;
  Utf8Char c = utf8CharAt(symbol, 0);
  return c.length == symbol.size() && isWestern(c.codepoint);
}

}  // namespace

CtcAlphabet latinAlphabet(std::string_view keys) {
  CtcAlphabet alphabet;
  alphabet.symbols.emplace_back();
  for (std::string_view line : linesOf(keys)) alphabet.symbols.emplace_back(line);
  alphabet.symbols.emplace_back(" ");
  alphabet.allowed.resize(alphabet.symbols.size());
  alphabet.allowed[0] = 1;
  for (size_t i = 1; i < alphabet.symbols.size(); ++i) alphabet.allowed[i] = isWesternSymbol(alphabet.symbols[i]);
  return alphabet;
}

std::optional<RecognizedText> bestPath(std::span<const float> probabilities, const CtcAlphabet& alphabet) {
  const size_t classes = alphabet.symbols.size();
  if (classes == 0 || alphabet.allowed.size() != classes || probabilities.size() % classes != 0) return std::nullopt;
  struct Kept {
    size_t symbol;
    float probability;
  };
  std::vector<Kept> kept;
  size_t previous = 0;
  for (size_t row = 0; row < probabilities.size(); row += classes) {
    const float* p = probabilities.data() + row;
    size_t best = 0;
    for (size_t c = 1; c < classes; ++c)
      if (alphabet.allowed[c] && p[c] > p[best]) best = c;
    if (best != 0 && best != previous) kept.push_back({best, p[best]});
    previous = best;
  }
  auto isSpace = [&](const Kept& k) { return alphabet.symbols[k.symbol] == " "; };
  size_t from = 0, to = kept.size();
  while (from < to && isSpace(kept[from])) ++from;
  while (to > from && isSpace(kept[to - 1])) --to;
  if (from == to) return std::nullopt;
  RecognizedText reading;
  double sum = 0;
  for (size_t i = from; i < to; ++i) {
    reading.string += alphabet.symbols[kept[i].symbol];
    sum += kept[i].probability;
  }
  reading.confidence = float(sum / double(to - from));
  return reading;
}
