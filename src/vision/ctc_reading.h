#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vision/vision.h"

// The symbols of a CTC recogniser's classes: class 0 is the blank, then one
// per line of its keys file, then the space. Only the `allowed` ones are
// ever read.
struct CtcAlphabet {
  std::vector<std::string> symbols;
  std::vector<uint8_t> allowed;
};

// The alphabet of a keys file (one symbol per line; the last line may lack
// its newline) with the symbols of Western text allowed: printable ASCII,
// the Latin-1 and Latin Extended-A letters and signs, the general
// punctuation (dashes, curly quotes, the ellipsis) and the euro sign. A
// recogniser trained on Chinese as well then never reads a Latin line as
// Chinese characters.
CtcAlphabet latinAlphabet(std::string_view keys);

// Best-path decoding of the recogniser's output, one row of class
// probabilities per step: at each step the likeliest allowed class (the
// blank included), repeats merged, blanks dropped, spaces at either end
// trimmed. The confidence is the mean probability of the symbols kept. None
// when no symbol is left or the rows do not match the alphabet.
std::optional<RecognizedText> bestPath(std::span<const float> probabilities, const CtcAlphabet& alphabet);
