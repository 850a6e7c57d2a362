#pragma once
#include <string>
#include <tuple>
#include <utility>

// Width, height, chroma subsampling and colour space (TurboJPEG's TJSAMP_*
// and TJCS_* values) of a JPEG file; all 0 when it does not decode.
std::tuple<int, int, int, int> jpegHeader(const std::string& path);

// Width and height of a JPEG file, or (0, 0) when it does not decode.
std::pair<int, int> jpegSize(const std::string& path);
