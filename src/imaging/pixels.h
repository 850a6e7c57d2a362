#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "base/image.h"

// The grey rendering that the sharpness and motion measures work on.
inline constexpr int kGreyWidth = 160;
inline constexpr int kGreyHeight = 90;

// The whole picture stretched over width x height pixels (its aspect ratio is
// not kept) as 8-bit linear-light grey, row-major with no row padding: 0 is
// black, 255 white, with no gamma curve. Nothing when either requested side
// is not positive or the picture is empty or malformed.
std::optional<std::vector<uint8_t>> pixels(const Image& picture, long width, long height);
