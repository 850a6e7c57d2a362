#pragma once
#include <cstdint>

// The largest picture a clip may have: at most 16384 pixels on a side and
// 8192 x 4320 in area. Larger ones are refused before anything is decoded,
// and the decoder refuses larger pictures inside the stream, so what a run
// holds stays bounded whatever a file declares.
inline constexpr int kMaxPictureSide = 16384;
inline constexpr int64_t kMaxPictureArea = int64_t{8192} * 4320;
