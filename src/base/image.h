#pragma once
#include <cstdint>
#include <memory>
#include <vector>

// A decoded picture: 8-bit sRGB, three bytes per pixel (R, G, B), rows packed
// top to bottom with no padding.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

// Pictures are shared read-only between the candidate list, the writer and
// the analyses.
using Picture = std::shared_ptr<const Image>;
