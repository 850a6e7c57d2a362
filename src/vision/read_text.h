#pragma once
#include <string>
#include <vector>

#include "base/image.h"
#include "vision/vision.h"

// Shorter text (in characters, after trimming) is never shown, nor text
// read with at most kConfidenceFloor confidence.
constexpr int kMinimumCharacters = 2;
constexpr float kConfidenceFloor = 0.4f;

// The legible text lines of `picture`: the service's best reading of each
// piece of text, kept when its confidence is above 0.4 and it still has at
// least two characters after trimming white space at both ends. Order and
// repeats are kept. Errors of the service pass through unchanged.
std::vector<std::string> readText(Vision& vision, const Image& picture);
