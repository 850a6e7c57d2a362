#pragma once
#include <string>
#include <utility>

// Width and height of a JPEG file, or (0, 0) when it does not decode.
std::pair<int, int> jpegSize(const std::string& path);
