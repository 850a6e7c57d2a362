#pragma once
#include <cstdint>

// The largest picture a clip may have, on each side and in area: larger ones
// are refused before anything is decoded.
inline constexpr int kMaxPictureSide = 16384;
inline constexpr int64_t kMaxPictureArea = int64_t{kMaxPictureSide} * kMaxPictureSide;
